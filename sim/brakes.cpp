// Electric/air brake blending, the emergency latch and its release, learning of the notch
// pressures, the displayed straight-air-pipe pressure and the air-exhaust events.
#include "sim/brakes.h"

#include <algorithm>
#include <cmath>

#include "sim/frame_step.h"
#include "sim/input_state.h"
#include "sound/air_sounds.h"

namespace sim {
namespace {

float brakeTableAt(const config::NotchConfig& config, size_t table, float absoluteSpeed) {
    return table < config.brakeMaxCurrent.size() ? config.brakeMaxCurrent[table].lookup(absoluteSpeed) : 0.0f;
}

}  // namespace

void emergencyLatchStep(BrakeState& b, const InputState& in, FrameContext& f) {
    if (!in.ebLatch) return;
    const int32_t n = in.serviceNotches;
    host::Handles& out = f.out;
    if (out.brake == 0 && out.power == 0) out.reverser = 0;
    if (f.state.current < 0.0f && out.power >= 0) {
        // A chained plug-in may hand back any brake position; the sum wraps rather than overflows.
        out.brake = addWrapping(addWrapping(n, 4), out.brake);
    } else if (out.brake != n + 1) {
        out.brake = addWrapping(n, 4);
    }
    b.ebReleaseArmed = true;
    b.ebReleaseGuard = true;
    b.releaseTimer1 = 0;
    b.releaseTimer2 = 0;
}

void releaseSequencingStep(BrakeState& b, InputState& in, const FrameState& previous, const FrameContext& f) {
    if (in.ebLatch || !b.ebReleaseArmed) return;
    const float bc = f.state.bcPressure;
    const float previousBc = previous.previousBcPressure;
    if (bc >= previousBc && !b.ebReleaseGuard) b.releaseTimer1 = addWrapping(b.releaseTimer1, f.timeStep);
    if (bc > previousBc && !b.ebReleaseGuard) b.releaseTimer2 = addWrapping(b.releaseTimer2, f.timeStep);
    if (bc < previousBc) b.ebReleaseGuard = false;
    if (b.releaseTimer1 > 100) in.triggers.emergencyLatchReleasedHeld.requestStop();
    if (b.releaseTimer2 > 100) {
        b.ebReleaseArmed = false;
        in.triggers.cylinderRefilling.requestPlay();
    }
}

void learningStep(BrakeState& b, BrakePressureTable& table, bool ebLatch, const FrameState& previous,
                  const FrameContext& f) {
    const float sap = f.state.sapPressure;
    const int32_t brake = f.out.brake;
    b.steadyTimer = sap == previous.previousSapPressure ? addWrapping(b.steadyTimer, f.timeStep) : 0;
    if (brake != previous.previousOutputBrake) b.steadyTimer = 0;
    // An infinite pressure from the host would stay in the table for good and spoil every fill.
    if (!ebLatch && !b.ebReleaseArmed && !b.ebReleaseGuard && !b.holdFlag && b.steadyTimer > 500 &&
        std::isfinite(sap) && table.canLearn(brake)) {
        table.learn(brake, sap);
    }
}

void blendingStep(BrakeState& b, InputState& in, const TractionState& traction, FrameContext& f) {
    host::Handles& out = f.out;
    const int32_t n = in.serviceNotches;
    const float speed = f.state.speed;
    const float sap = f.state.sapPressure;
    const float current = f.state.current;
    const float a = in.limitValueEmpty;
    const float bLimit = in.limitValueFull;
    const float vt = in.brakeReferenceSpeed;
    const float r5 = traction.r5;
    const float r7 = traction.r7;

    const bool electricCarries = out.reverser != 0 && out.power == 0 && out.brake > 0 && out.brake <= n &&
                                 !(r7 == r5 && !in.regenerationMatch) && current < 0.0f && !in.toggle8;
    if (!electricCarries) {
        b.holdFlag = false;
    } else {
        if (!b.holdFlag && ((speed > vt && sap < a) || (speed <= vt && sap < bLimit))) b.holdFlag = true;
        const float demand = in.brakePressureTable.pressure(out.brake);
        if (b.holdFlag && ((speed > vt && demand > a) || (speed <= vt && demand > bLimit))) b.holdFlag = false;
    }

    if (b.holdFlag) {
        const float demand = in.brakePressureTable.pressure(out.brake);
        if (demand >= 80.0f) {
            if (!b.minus8Latch) out.brake = speed > vt ? n + 2 : n + 3;
        } else if (speed > vt) {
            if (bLimit > sap) out.power = -6;
        } else if (speed <= vt) {
            if (std::max(bLimit * 0.5f, a) > sap) out.power = -7;
        }
    }

    if (b.minus8Latch) {
        if (out.power < 0 || current >= 0.0f) {
            b.minus8Latch = false;
        } else {
            out.power = -8;
        }
    } else if (out.reverser != 0 && out.power == 0 && speed < 30.0f && -current > r7) {
        b.minus8Latch = true;
        out.power = -8;
    }

    if (in.toggle8) {
        const float r0 = brakeTableAt(f.config, 0, f.absoluteSpeed);
        if (in.negativePowerActive && in.driverHandles.power >= 0) {
            if (std::fabs(-current - r0) >= 0.1f) {
                out.power = -1;
            } else {
                in.negativePowerActive = false;
            }
        }
    }
}

void displayedSapStep(BrakeState& b, sound::AudioState& audio, const InputState& in, const FrameState& fs,
                      const FrameContext& f) {
    const float sap = f.state.sapPressure;
    const float bc = f.state.bcPressure;
    const float dt = static_cast<float>(f.timeStep);
    const int32_t n = in.serviceNotches;

    const float target = in.brakePressureTable.pressure(std::min(in.driverHandles.brake, n));
    const float dSap = sap - fs.previousSapPressure;
    float off = b.sapOffset;
    if (in.ebLatch || b.holdFlag || off < 0.0f) {
        if (std::fabs(sap + off - target) < 10.0f) {
            off -= dSap;
        } else if (sap + off > target) {
            off -= dSap + 0.4f * dt;
        } else {
            off += 0.4f * dt - dSap;
        }
    } else if (off > 0.0f) {
        off = 0.0f;
    }
    if (sap + off < 0.0f) off = -sap;
    // A pressure that is not a number would otherwise stay in the offset after the host recovers.
    if (!std::isfinite(off)) off = 0.0f;
    b.sapOffset = off;
    b.displayedSap = sap + off;

    const float shown = b.displayedSap;
    const float previousShown = b.previousDisplayedSap;
    b.riseTimer = shown >= previousShown ? addWrapping(b.riseTimer, f.timeStep) : 0;
    b.fallTimer = shown > previousShown ? 0 : addWrapping(b.fallTimer, f.timeStep);
    if (shown < previousShown && !sound::exhaustPlaying(audio) && !b.ebReleaseArmed && f.out.brake != n + 1 &&
        b.fallTimer > 100) {
        // The fraction of the recording that is skipped; kept within the recording for any pressure.
        float fraction = 1.0f - std::min(sap, 300.0f) / 300.0f;
        if (!(fraction >= 0.0f)) fraction = 0.0f;
        if (fraction > 1.0f) fraction = 1.0f;
        sound::startExhaust(audio, fraction, f.operationSet);
    }
    if (shown >= previousShown && sound::exhaustPlaying(audio) && b.riseTimer >= 125)
        sound::stopExhaust(audio, f.operationSet);

    if (sap < 6.0f || (shown >= previousShown && bc < 6.0f)) {
        b.bcReleaseRate = 0.0f;
    } else if (f.timeStep != 0) {
        const float rate = (fs.previousBcPressure - bc) * 2.0f / dt;
        const float ceiling = std::max(0.0f, b.bcReleaseRate + dt / 240.0f);
        b.bcReleaseRate = std::min(rate, ceiling);
        // A cylinder pressure that is not a number gives no level rather than a lasting NaN.
        if (!std::isfinite(b.bcReleaseRate)) b.bcReleaseRate = 0.0f;
    }
    // Without elapsed time there is no rate to measure; the level stays as it was.
    sound::setCylinderExhaustLevel(audio, b.bcReleaseRate, f.operationSet);
}

void cylinderExhaustMuteStep(sound::AudioState& audio, const BrakeState& b, const InputState& in,
                             const FrameContext& f) {
    if (b.ebReleaseArmed || f.out.brake == in.serviceNotches + 1) sound::muteCylinderExhaust(audio, f.operationSet);
}

}  // namespace sim
