// Electric/air brake blending, the emergency latch, learning of notch pressures, the displayed
// straight-air-pipe pressure and the air-exhaust events.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace frame {
struct Plugin;
}

namespace sim {

struct BrakeState {
    int32_t steadyTimer = 0;
    bool holdFlag = false;
    bool minus8Latch = false;
    float sapOffset = 0.0f;
    float displayedSap = 0.0f, previousDisplayedSap = 0.0f;
    int32_t riseTimer = 0, fallTimer = 0;
    float bcReleaseRate = 0.0f;
    bool ebReleaseArmed = false, ebReleaseGuard = false;
    int32_t releaseTimer1 = 0, releaseTimer2 = 0;
};

void loadBrakes(frame::Plugin& plugin);
// After the output handle rules; acts only while the emergency latch is on.
void emergencyLatchStep(frame::Plugin& plugin, FrameContext& frame);
// After the output handle rules.
void releaseSequencingStep(frame::Plugin& plugin, FrameContext& frame);
// After the emergency latch sounds: the steady-pressure timer and the notch pressures.
void learningStep(frame::Plugin& plugin, FrameContext& frame);
// After traction.
void blendingStep(frame::Plugin& plugin, FrameContext& frame);
// After blending: displayed SAP, exhaust events and the cylinder release rate.
void displayedSapStep(frame::Plugin& plugin, FrameContext& frame);
// Once the handles are final: silences the cylinder exhaust while the release is armed or in emergency.
void cylinderExhaustMuteStep(frame::Plugin& plugin, FrameContext& frame);
// With the previous values.
void storePreviousBrakeValues(frame::Plugin& plugin, FrameContext& frame);

}  // namespace sim
