// The stepped mode of the main circuit, with hysteresis and timers, and the noise shares.
#pragma once

#include <cstdint>

#include "sim/frame_context.h"

namespace sim {

struct DriverHandles;
struct InputState;
struct InstrumentState;
struct TractionState;

struct ModeState {
    // 1, 2, 3, 5, 9, 15, 27, 45, 99 while the current is positive; 100 without current;
    // 101, 102, 103, 105, 109, 115, 127, 145 while it is negative.
    int32_t pulseMode = 0;
    int32_t modeTimerPower = 0, modeTimerBrake = 0;  // ms in the present direction of current
    int32_t modeStepTimer = 1000;                    // ms since the last step to 27 or 15
    float fieldRamp = 0.0f;                          // 0 to 1, progress into full voltage
    int32_t mode1Timer = 0;                          // ms in mode 1
    float powerGain = 0.0f, brakeGain = 0.0f;        // current shares for the motor noise
};

// The motor-noise layers whose recordings a step down the power ladder starts again, one bit per
// layer. The mode machine only names them: the motor-noise step rewinds them, in layer order.
struct LayerRewinds {
    uint64_t layers = 0;

    void add(int layer) { layers |= uint64_t{1} << layer; }
};

void loadModeMachine(ModeState& mode);
// After the motor current. The line voltage is the previous frame's.
LayerRewinds modeMachineStep(ModeState& mode, const TractionState& traction, const InputState& input, float lineVoltage,
                             const FrameContext& frame);
// After the needles: the ammeter reads modeStepTimer before it moves on.
void modeStepTimerAdvance(ModeState& mode, const FrameContext& frame);
// After the previous values: the current shares and the field ramp of the motor noise.
void noiseSharesStep(ModeState& mode, const TractionState& traction, const DriverHandles& driver,
                     const FrameContext& frame);

}  // namespace sim
