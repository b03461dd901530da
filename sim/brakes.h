// Electric/air brake blending, the emergency latch, learning of notch pressures, the displayed
// straight-air-pipe pressure and the air-exhaust events.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace sound {
struct AudioState;
}

namespace sim {

struct BrakePressureTable;
struct InputState;
struct FrameState;
struct TractionState;

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

// The brake state starts with the library and survives a second Load, as the learned notch
// pressures do: Load has nothing to set here.

// After the output handle rules; acts only while the emergency latch is on.
void emergencyLatchStep(BrakeState& brakes, const InputState& input, FrameContext& frame);
// After the emergency latch: the sounds of the cylinder venting and refilling after its release.
void releaseSequencingStep(BrakeState& brakes, InputState& input, const FrameState& previous,
                           const FrameContext& frame);
// After the emergency latch sounds: the steady-pressure timer and the notch pressures.
void learningStep(BrakeState& brakes, BrakePressureTable& table, bool ebLatch, const FrameState& previous,
                  const FrameContext& frame);
// After traction.
void blendingStep(BrakeState& brakes, InputState& input, const TractionState& traction, FrameContext& frame);
// After blending: displayed SAP, exhaust events and the cylinder release rate.
void displayedSapStep(BrakeState& brakes, sound::AudioState& audio, const InputState& input, const FrameState& previous,
                      const FrameContext& frame);
// Once the handles are final: silences the cylinder exhaust while the release is armed or in emergency.
void cylinderExhaustMuteStep(sound::AudioState& audio, const BrakeState& brakes, const InputState& input,
                             const FrameContext& frame);

}  // namespace sim
