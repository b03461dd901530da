// The power notch returned to the host, and the state of the main circuit derived from the host's
// motor current. Everything here is single precision in a fixed order so that traces compare bit
// for bit across builds; the voltage ratio is NaN until the line voltage first exists, and every
// comparison with it is then false on purpose.
#include "sim/traction.h"

#include <cmath>
#include <limits>

#include "sim/input_state.h"

namespace sim {
namespace {

// Speed at which the motor voltage reaches 1350 V in power (30.4 Hz).
constexpr float FullVoltageSpeedKmh = 23.217688f;
// Motor speed correction per ampere of load current.
constexpr float SpeedPerAmpere = 0.0104895104f;
constexpr float HzPerKmh = 1.3093468f;
constexpr float MaxExcitationBoost = 11.0f;
// The high notches that stepping at speed and at full voltage walk start at this table index.
constexpr uint32_t FirstHighNotchTable = 8;

// Mirrors std::max: with a NaN in b the first argument is kept.
float maxOf(float a, float b) {
    return a < b ? b : a;
}

// First table index from the high notches whose current at the speed exceeds the reference;
// 0 when there is none. Indices past the last table all read the last table, so the walk stops
// there and stays bounded whatever the notch count says.
int32_t firstHighNotchAbove(const config::NotchConfig& config, float speed, float reference) {
    const uint32_t notches = config.powerNotchCount;
    const size_t lastTable = config.powerCurrent.empty() ? 0 : config.powerCurrent.size() - 1;
    for (uint32_t i = FirstHighNotchTable; i < notches; ++i) {
        const int32_t index = static_cast<int32_t>(i);
        if (config.powerCurrentAt(index, speed) > reference) return index;
        if (i >= lastTable) break;
    }
    return 0;
}

void advanceRepowerTimer(TractionState& t, int32_t dt) {
    const int64_t sum = static_cast<int64_t>(t.repowerTimer) + dt;
    t.repowerTimer = sum > std::numeric_limits<int32_t>::max() ? 750 : addWrapping(t.repowerTimer, dt);
}

// The output stays at notch 2 when the driver steps back to notch 1 under current.
void holdNotchTwo(TractionState& t, host::Handles& out, float speed, float current, const config::NotchConfig& config) {
    const float a = config.powerCurrentAt(0, speed);
    const float b = config.powerCurrentAt(1, speed);
    if (t.r15 > a && out.power >= 2) t.notch2Hold = true;
    if (t.notch2Hold) {
        if (current <= 0.0f) {
            t.notch2Hold = false;
        } else if ((t.r15 > b || t.voltageRatio == 1.0f) && out.power == 1) {
            out.power = 2;
        }
    }
}

// Stepping back to notch 1 keeps a higher notch; notching off keeps the notch until the
// current has died away.
void updateEffectiveNotch(TractionState& t, int32_t power, float current) {
    const bool offWithoutCurrent = power <= 0 && current <= 0.0f;
    if (t.effectiveNotch >= 2) {
        if (power >= 2 || offWithoutCurrent) t.effectiveNotch = power;
    } else {
        if (power >= 1 || offWithoutCurrent) t.effectiveNotch = power;
    }
}

// Notch 1 at speed re-applies power on the high notch that matches the present current.
void reapplyPowerAtSpeed(TractionState& t, host::Handles& out, const FrameContext& f, int32_t driverPower,
                         float peakCurrent) {
    const float speed = f.state.speed;
    const float current = f.state.current;
    bool timerAdvances = true;
    if (t.voltageRatio < 1.0f && f.config.powerNotchCount > FirstHighNotchTable) {
        bool skipApplication = false;
        if (t.notch2Hold && t.repowerNotch == 0 && !t.repowering && driverPower == 1) {
            const int32_t found = firstHighNotchAbove(f.config, speed, current);
            if (found > 0) {
                if (f.config.powerCurrentAt(found, FullVoltageSpeedKmh) > peakCurrent) {
                    t.repowerNotch = 0;
                    skipApplication = true;
                } else {
                    t.repowerNotch = found;
                }
            }
        }
        if (!skipApplication && t.repowerNotch > 0 && !t.repowering && driverPower == 1) {
            if (current > f.config.powerCurrentAt(t.repowerNotch, speed)) {
                t.repowering = true;
                t.repowerSpeed = f.absoluteSpeed;
            }
            out.power = 2;
        }
        if (driverPower == 1 && t.repowering) {
            out.power = t.repowerNotch + 1;
            t.repowerTimer = 0;
            timerAdvances = false;
        }
        if (driverPower != 1) {
            t.repowering = false;
            t.repowerNotch = 0;
        }
    }
    if (timerAdvances) advanceRepowerTimer(t, f.timeStep);
}

// At full voltage in notch 2 the output walks up the high notches as the reference
// current demands. Table i belongs to notch i + 1; the host receives notch i - 1.
void stepUpAtFullVoltage(TractionState& t, host::Handles& out, const FrameContext& f, float lineVoltage,
                         float peakCurrent, bool toggle7) {
    t.fullVoltageSpeed = lineVoltage * FullVoltageSpeedKmh / 1350.0f - (peakCurrent - t.noLoadCurrent) * SpeedPerAmpere;
    if (out.power == 2 && !t.repowering && !toggle7 && t.voltageRatio == 1.0f) {
        if (f.config.powerNotchCount > FirstHighNotchTable) {
            const int32_t found = firstHighNotchAbove(f.config, t.fullVoltageSpeed, peakCurrent);
            if (found > 0) t.fullVoltageNotch = found - 1;
        }
        out.power = t.fullVoltageNotch;
    } else {
        t.fullVoltageNotch = 0;
    }
}

// The no-load current of the effective notch; scaled while power is re-applied or in notch 1.
void updateNoLoadCurrent(TractionState& t, const FrameContext& f) {
    const float current = f.state.current;
    if (!(current > 0.0f && t.effectiveNotch > 0)) {
        t.noLoadCurrent = 0.0f;
        return;
    }
    const int32_t n = t.effectiveNotch - 1;
    const float speed = f.state.speed;
    const float atSpeed = f.config.powerNoLoadCurrentAt(n, speed);
    if (t.repowering) {
        t.noLoadCurrent =
            maxOf(atSpeed * t.repowerSpeed / FullVoltageSpeedKmh,
                  f.config.powerNoLoadCurrentAt(n, f.absoluteSpeed * FullVoltageSpeedKmh / t.repowerSpeed));
    } else if (t.effectiveNotch == 1) {
        t.noLoadCurrent = maxOf(atSpeed * 0.1f, f.config.powerNoLoadCurrentAt(n, f.absoluteSpeed * 10.0f));
    } else {
        t.noLoadCurrent = atSpeed;
    }
}

// Motor speed, frequency, voltage and the ratio to the line voltage.
void updateMotorVoltage(TractionState& t, float speed, float current, bool negativePowerActive, float lineVoltage) {
    if (current > 0.0f) {
        t.motorSpeed = std::fabs(speed + (current - t.noLoadCurrent) * SpeedPerAmpere);
    } else if (current < 0.0f) {
        t.motorSpeed = std::fabs(speed + (current + t.regenNoLoadCurrent) * SpeedPerAmpere);
    }
    t.motorFrequency = t.motorSpeed * HzPerKmh;
    float voltage = 0.0f;
    if (current > 0.0f || (current < 0.0f && negativePowerActive)) {
        voltage = t.motorFrequency / 30.4f * 1350.0f;
    } else if (current < 0.0f) {
        voltage = t.motorFrequency / 51.8f * 1650.0f;
    }
    if (voltage < 0.0f) voltage = 0.0f;
    if (voltage > lineVoltage) voltage = lineVoltage;
    t.motorVoltage = voltage;
    // A line voltage of 0 (before it is first computed) gives 0 / 0: NaN, deliberately.
    t.voltageRatio = t.motorVoltage / lineVoltage;
}

// The extra excitation builds up at 6 A per second on deep negative power under
// regeneration and decays otherwise.
void updateExcitationBoost(TractionState& t, int32_t power, float current, int32_t dt) {
    const float step = static_cast<float>(dt) * 6.0f / 1000.0f;
    const bool boosting = power <= -4 && current < 0.0f;
    if (boosting && t.excitationBoost < MaxExcitationBoost) t.excitationBoost += step;
    if (!boosting && t.excitationBoost > 0.0f) t.excitationBoost -= step;
    if (t.excitationBoost < 0.0f) t.excitationBoost = 0.0f;
    if (t.excitationBoost > MaxExcitationBoost) t.excitationBoost = MaxExcitationBoost;
    t.excitationCurrent += t.excitationBoost;
}

// While the regenerative current exceeds what brake notch 6 allows, the load current is
// held at that limit.
void limitRegenerativeLoad(TractionState& t, const host::Handles& out, float current, int32_t serviceNotches,
                           float load0) {
    if (out.brake > 0 && out.brake <= serviceNotches && out.power == 0 && -current > t.r5) t.regenLimitLatch = true;
    if (out.brake > serviceNotches || out.brake == 0 || out.power != 0 || out.reverser == 0 || current >= 0.0f)
        t.regenLimitLatch = false;
    t.loadCurrent = maxOf(load0, t.regenLimitLatch ? t.r5 - t.excitationCurrent : 0.0f);
}

StraightLine lineThroughQuarterAndHalf(float half, float quarter) {
    StraightLine line;
    line.slope = 1.0f / (half - quarter);
    line.offset = half / (quarter - half) + 1.0f;
    return line;
}

}  // namespace

void loadTraction(TractionState& t, const config::NotchConfig& config) {
    t.r15 = config.powerCurrentAt(1, 15.0f);
    t.powerJerkHalf = config.powerJerk * 0.5f;
    t.powerJerkQuarter = config.powerJerk * 0.25f;
    t.brakeJerkHalf = config.brakeJerk * 0.5f;
    t.brakeJerkQuarter = config.brakeJerk * 0.25f;
    t.powerJerkLine = lineThroughQuarterAndHalf(t.powerJerkHalf, t.powerJerkQuarter);
    t.brakeJerkLine = lineThroughQuarterAndHalf(t.brakeJerkHalf, t.brakeJerkQuarter);
    t.excitationBoost = 0.0f;
    t.regenNoLoadCurrent = 0.0f;
    t.r7 = 0.0f;
    t.motorFrequency = 0.0f;
}

void regenNoLoadCurrentStep(TractionState& t, const FrameContext& f) {
    t.regenNoLoadCurrent = f.state.current < 0.0f ? f.config.brakeNoLoadCurrentAt(f.absoluteSpeed) : 0.0f;
}

void tractionStep(TractionState& t, InputState& in, float lineVoltage, FrameContext& f) {
    host::Handles& out = f.out;
    const float speed = f.state.speed;
    const float current = f.state.current;
    const int32_t driverPower = in.driverHandles.power;

    holdNotchTwo(t, out, speed, current, f.config);
    updateEffectiveNotch(t, out.power, current);
    reapplyPowerAtSpeed(t, out, f, driverPower, in.peakCurrent);
    stepUpAtFullVoltage(t, out, f, lineVoltage, in.peakCurrent, in.toggle7);
    updateNoLoadCurrent(t, f);

    // The load current before the regenerative limit takes the table's no-load current,
    // not the scaled one.
    float load0 = 0.0f;
    if (current > 0.0f && t.effectiveNotch > 0) {
        t.excitationCurrent = t.noLoadCurrent;
        load0 = current - f.config.powerNoLoadCurrentAt(t.effectiveNotch - 1, speed);
    } else if (current < 0.0f) {
        t.excitationCurrent = t.regenNoLoadCurrent;
        load0 = -current - t.regenNoLoadCurrent;
    } else {
        t.excitationCurrent = 0.0f;
    }

    updateMotorVoltage(t, speed, current, in.negativePowerActive, lineVoltage);

    // The shift switch, then the starting-current reference.
    if (in.toggle7 && driverPower > 0 && !t.repowering) {
        // A chained plug-in or a host may hand over any value: the notch stays at the top instead
        // of wrapping round to a large negative one.
        out.power = out.power > INT32_MAX - 4 ? INT32_MAX : out.power + 4;
    }
    if (out.power < 5 && speed < 15.0f && current > in.peakCurrent) in.peakCurrent = current;

    updateExcitationBoost(t, out.power, current, f.timeStep);
    t.r7 = f.config.brakeMaxCurrentAt(7, f.absoluteSpeed);
    t.r5 = f.config.brakeMaxCurrentAt(5, f.absoluteSpeed);

    limitRegenerativeLoad(t, out, current, in.serviceNotches, load0);
}

void motorCurrentStep(TractionState& t) {
    t.motorCurrent = std::sqrt(t.loadCurrent * t.loadCurrent + t.excitationCurrent * t.excitationCurrent);
}

}  // namespace sim
