// Gauge needles through their calibration tables, the simulated line voltage and the needle
// adjustment display.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace frame {
struct Plugin;
}

namespace sim {

struct InstrumentState {
    float nominalVoltage = 0.0f;  // V
    float lineVoltage = 0.0f;     // V
    int32_t voltageTimer = 0;     // ms
    float previousLineVoltage = 0.0f;
};

void loadInstruments(frame::Plugin& plugin);
// Frame step 17.
void lineVoltageStep(frame::Plugin& plugin, FrameContext& frame);
// Frame step 19: needles, then the adjustment display (panel 252 is written by the frame between).
void needlesStep(frame::Plugin& plugin, FrameContext& frame);
void adjustmentDisplayStep(frame::Plugin& plugin, FrameContext& frame);

// A float as a panel value: truncated toward zero, NaN as 0, saturated at the int32 range.
int32_t toPanelValue(float value);

}  // namespace sim
