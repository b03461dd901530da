// Placeholders for the brakes and instruments until they land.
#include "frame/plugin.h"

namespace sim {

void loadBrakes(frame::Plugin&) {}
void emergencyLatchStep(frame::Plugin&, FrameContext&) {}
void releaseSequencingStep(frame::Plugin&, FrameContext&) {}
void learningStep(frame::Plugin&, FrameContext&) {}
void blendingStep(frame::Plugin&, FrameContext&) {}
void displayedSapStep(frame::Plugin&, FrameContext&) {}
void cylinderExhaustMuteStep(frame::Plugin&, FrameContext&) {}
void storePreviousBrakeValues(frame::Plugin&, FrameContext&) {}

void loadInstruments(frame::Plugin&) {}
void lineVoltageStep(frame::Plugin&, FrameContext&) {}
void needlesStep(frame::Plugin&, FrameContext&) {}
void adjustmentDisplayStep(frame::Plugin&, FrameContext&) {}

int32_t toPanelValue(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483520.0f) return 2147483647;
    if (value <= -2147483648.0f) return static_cast<int32_t>(-2147483647 - 1);
    return static_cast<int32_t>(value);
}

}  // namespace sim
