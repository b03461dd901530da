// The main-circuit mode: one ladder while the motors draw current, one while they regenerate, 100
// without current. Each rule sees the mode the rules before it left; the gaps between the raise
// and lower thresholds are the hysteresis that keeps the mode from chattering.
#include "sim/mode_machine.h"

#include "sim/frame_step.h"
#include "sim/input_state.h"

namespace sim {
namespace {

void raiseTo(int32_t& mode, int32_t value) {
    if (mode < value) mode = value;
}

bool lowerTo(int32_t& mode, int32_t value) {
    if (mode > value) {
        mode = value;
        return true;
    }
    return false;
}

// NaN becomes the lower bound: the shares and the ramp scale sound volumes.
float clampUnit(float value) {
    if (!(value > 0.0f)) return 0.0f;
    return value > 1.0f ? 1.0f : value;
}

float apply(const StraightLine& line, float x) {
    return line.slope * x + line.offset;
}

struct Inputs {
    float ratio;
    int32_t power;
    int32_t brake;
    float loadCurrent;
    int32_t driverPower;
};

void powerLadder(ModeState& m, LayerRewinds& rewinds, const TractionState& t, const Inputs& in) {
    const float r = in.ratio;
    const int32_t p = in.power;
    const float l = in.loadCurrent;
    int32_t& mode = m.pulseMode;
    if (r < 0.11496045f && p > 0) raiseTo(mode, 99);
    if (r < 0.13348082f && p > 0) raiseTo(mode, 45);
    if (r < 0.2687225f && p > 0) raiseTo(mode, 27);
    if (r < 0.47460008f && p > 0) raiseTo(mode, 15);
    if (r < 0.7493905f && p > 0) raiseTo(mode, 9);
    if (r < 0.874726f && p > 0) raiseTo(mode, 5);
    if ((r < 0.9331526f && p > 0) || (p <= 0 && l < t.powerJerkQuarter)) raiseTo(mode, 3);
    if (((r < 0.98f && p > 0) || (p <= 0 && l < t.powerJerkHalf)) && mode < 2) {
        mode = 2;
    } else if (mode > 99) {
        mode = 99;
    }
    if (r > 0.16496044f && lowerTo(mode, 45)) rewinds.add(3);
    if (r > 0.18348081f && lowerTo(mode, 27)) {
        m.modeStepTimer = 0;
        rewinds.add(4);
    }
    if (r > 0.31872252f && lowerTo(mode, 15)) {
        m.modeStepTimer = 0;
        rewinds.add(6);
    }
    if (r > 0.5246001f && lowerTo(mode, 9)) rewinds.add(8);
    if (r > 0.7993905f && lowerTo(mode, 5)) {
        rewinds.add(10);
        rewinds.add(11);
    }
    if (r > 0.924726f) lowerTo(mode, 3);
    if (r > 0.9531526f && t.effectiveNotch >= 2 && mode > 2 && m.modeTimerPower > 250 && in.driverPower != 0) mode = 2;
    if (r == 1.0f && t.effectiveNotch >= 2 && mode >= 1 && m.modeTimerPower > 750 && in.driverPower != 0) mode = 1;
}

// The two regenerating ladders differ in their thresholds, in the handle that commands the brake
// and in the speed at which the motor reaches the line voltage.
struct BrakeLadder {
    float lower115, lower109, lower105, lower103, lower102;
    float kmhAtFullVoltage, fullVoltage;
    float raise103, raise105, raise109, raise115, enter127;
};

constexpr BrakeLadder BrakeNotchLadder{.lower115 = 0.32299119f,
                                       .lower109 = 0.47793898f,
                                       .lower105 = 0.60710424f,
                                       .lower103 = 0.7693823f,
                                       .lower102 = 0.92617899f,
                                       .kmhAtFullVoltage = 39.561718f,
                                       .fullVoltage = 1650.0f,
                                       .raise103 = 0.906179f,
                                       .raise105 = 0.71938229f,
                                       .raise109 = 0.55710423f,
                                       .raise115 = 0.42793897f,
                                       .enter127 = 0.27299118f};
constexpr BrakeLadder NegativePowerLadder{.lower115 = 0.51516259f,
                                          .lower109 = 0.69648987f,
                                          .lower105 = 0.84939051f,
                                          .lower103 = 0.97472602f,
                                          .lower102 = 0.97315258f,
                                          .kmhAtFullVoltage = 23.217688f,
                                          .fullVoltage = 1350.0f,
                                          .raise103 = 0.9531526f,
                                          .raise105 = 0.924726f,
                                          .raise109 = 0.7993905f,
                                          .raise115 = 0.64648986f,
                                          .enter127 = 0.4651626f};

void brakeLadder(ModeState& m, const TractionState& t, const Inputs& in, const BrakeLadder& k, bool commanded,
                 float absoluteSpeed, float lineVoltage, float sapPressure) {
    const float r = in.ratio;
    const float l = in.loadCurrent;
    const int32_t timer = m.modeTimerBrake;
    int32_t& mode = m.pulseMode;
    if (r > k.lower115 && commanded) lowerTo(mode, 115);
    if (r > k.lower109 && commanded) lowerTo(mode, 109);
    if (r > k.lower105 && commanded) lowerTo(mode, 105);
    if (r > k.lower103 && commanded) lowerTo(mode, 103);
    if (r > k.lower102 && commanded && timer > 250) lowerTo(mode, 102);
    if (absoluteSpeed > lineVoltage * k.kmhAtFullVoltage / k.fullVoltage + 3.0f && commanded && timer > 750)
        lowerTo(mode, 101);
    if (r == 1.0f && timer > 750 && mode <= 101) mode = 101;
    if ((r < 1.0f || (!commanded && l < t.brakeJerkHalf) || timer < 750) && mode < 102 && timer > 250) mode = 102;
    if (r < k.raise103 || (!commanded && l < t.brakeJerkQuarter) || timer < 250) raiseTo(mode, 103);
    if (r < k.raise105) raiseTo(mode, 105);
    if (r < k.raise109) raiseTo(mode, 109);
    if (r < k.raise115) raiseTo(mode, 115);
    if (r < k.enter127) {
        if (mode < 127) {
            mode = 127;
        } else if (t.motorSpeed < 5.6f && sapPressure > 320.0f) {
            mode = 145;
        }
    }
}

}  // namespace

void loadModeMachine(ModeState& m) {
    m.powerGain = 0.0f;
    m.brakeGain = 0.0f;
    m.mode1Timer = 0;
    m.fieldRamp = 0.0f;
}

LayerRewinds modeMachineStep(ModeState& m, const TractionState& t, const InputState& input, float lineVoltage,
                             const FrameContext& f) {
    LayerRewinds rewinds;
    const float current = f.state.current;
    const Inputs in{t.voltageRatio, f.out.power, f.out.brake, t.loadCurrent, input.driverHandles.power};
    if (current > 0.0f) {
        m.modeTimerPower = addWrapping(m.modeTimerPower, f.timeStep);
        m.modeTimerBrake = 0;
        powerLadder(m, rewinds, t, in);
    } else if (current < 0.0f) {
        m.modeTimerBrake = addWrapping(m.modeTimerBrake, f.timeStep);
        m.modeTimerPower = 0;
        if (input.negativePowerActive) {
            brakeLadder(m, t, in, NegativePowerLadder, in.power < 0, f.absoluteSpeed, lineVoltage, f.state.sapPressure);
        } else {
            brakeLadder(m, t, in, BrakeNotchLadder, in.brake != 0, f.absoluteSpeed, lineVoltage, f.state.sapPressure);
        }
    } else {
        m.pulseMode = 100;
        m.modeTimerPower = 0;
        m.modeTimerBrake = 0;
    }
    return rewinds;
}

void modeStepTimerAdvance(ModeState& m, const FrameContext& f) {
    m.modeStepTimer = addWrapping(m.modeStepTimer, f.timeStep);
}

void noiseSharesStep(ModeState& m, const TractionState& t, const DriverHandles& driver, const FrameContext& f) {
    const float current = f.state.current;
    const float l = t.loadCurrent;
    m.powerGain = current > 0.0f ? clampUnit(l / 12.0f) : 0.0f;
    m.brakeGain =
        current < 0.0f
            ? clampUnit(10.0f * l / (f.config.highestBrakeMaxCurrentAt(f.absoluteSpeed) - t.excitationCurrent))
            : 0.0f;
    m.mode1Timer = m.pulseMode == 1 ? addWrapping(m.mode1Timer, f.timeStep) : 0;

    const int32_t driverPower = driver.power;
    const int32_t driverBrake = driver.brake;
    const bool fullVoltage = t.voltageRatio == 1.0f;
    float ramp = 1.0f;
    if (m.pulseMode == 2 && fullVoltage) {
        if (driverPower > 0) {
            ramp = 0.002f * static_cast<float>(m.modeTimerPower) - 0.5000001f;
        } else if (driverPower == 0) {
            ramp = apply(t.powerJerkLine, l);
        }
    } else if (m.pulseMode == 102 && fullVoltage) {
        if (driverPower < 0 || driverBrake > 0) {
            ramp = 0.002f * static_cast<float>(m.modeTimerBrake) - 0.5000001f;
        } else if (driverPower == 0 && driverBrake == 0) {
            ramp = apply(t.brakeJerkLine, l);
        }
    }
    m.fieldRamp = clampUnit(ramp);
}

}  // namespace sim
