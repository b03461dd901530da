// The stepped mode of the main circuit, with hysteresis and timers, and the noise shares.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace frame {
struct Plugin;
}

namespace sim {

struct ModeState {
    int32_t pulseMode = 0;
    int32_t modeTimerPower = 0, modeTimerBrake = 0;
    int32_t modeStepTimer = 1000;
    float fieldRamp = 0.0f;
    int32_t mode1Timer = 0;
    float powerGain = 0.0f, brakeGain = 0.0f;
};

void loadModeMachine(frame::Plugin& plugin);
// Frame step 15, after the motor current. Instruments read modeStepTimer before modeStepTimerAdvance.
void modeMachineStep(frame::Plugin& plugin, FrameContext& frame);
void modeStepTimerAdvance(frame::Plugin& plugin, FrameContext& frame);
// Frame step 20, after the previous values are stored.
void noiseSharesStep(frame::Plugin& plugin, FrameContext& frame);

}  // namespace sim
