// The host's train: current, motion and air.
#include "host/train_model.h"

#include <algorithm>
#include <cmath>

namespace cabhost {
namespace {

constexpr double GravityMPerS2 = 9.80665;

double tableCurrent(const std::vector<config::CurveTable>& tables, int index, double speedKmh) {
    const int last = static_cast<int>(tables.size()) - 1;
    const config::CurveTable& table = tables[std::clamp(index, 0, last)];
    if (table.points.empty()) return 0.0;  // an empty table would return the speed itself
    const double value = table.lookup(static_cast<float>(std::fabs(speedKmh)));
    return std::isfinite(value) ? std::max(0.0, value) : 0.0;
}

// Without the vehicle's tables: every notch draws its share of the maximum current up to the base
// speed, and the current falls with speed beyond it, as a series motor's does.
double fallbackCurrent(const TrainParams& params, int index, int notchCount, double speedKmh) {
    const double share = std::clamp((index + 1.0) / std::max(notchCount, 1), 0.0, 1.0);
    const double v = std::fabs(speedKmh);
    const double base = std::max(params.fallbackBaseSpeedKmh, 1.0);
    const double falloff = v <= base ? 1.0 : (base / v) * (base / v);
    return params.fallbackMaxCurrentA * share * falloff;
}

double powerCurrentA(const TrainParams& params, const CurrentTables& tables, int notch, double speedKmh) {
    if (tables.power.empty()) return fallbackCurrent(params, notch - 1, 5, speedKmh);
    return tableCurrent(tables.power, notch - 1, speedKmh);
}

double brakeCurrentA(const TrainParams& params, const CurrentTables& tables, int brakeIndex, double speedKmh) {
    if (tables.brake.empty()) return fallbackCurrent(params, brakeIndex, 8, speedKmh);
    return tableCurrent(tables.brake, brakeIndex, speedKmh);
}

// Moves value toward target by at most step; arrives exactly.
double approach(double value, double target, double step) {
    if (value < target) return std::min(target, value + step);
    return std::max(target, value - step);
}

}  // namespace

double portableExp(double x) {
    if (std::isnan(x)) return x;
    if (x < -700.0) return 0.0;
    x = std::min(x, 700.0);
    // x = k ln 2 + r with |r| <= ln 2 / 2; the high part of ln 2 has trailing zero bits, so k times
    // it is exact.
    constexpr double InvLn2 = 1.44269504088896338700e+00;
    constexpr double Ln2Hi = 6.93147180369123816490e-01;
    constexpr double Ln2Lo = 1.90821492927058770002e-10;
    const double k = std::floor(x * InvLn2 + 0.5);
    const double r = (x - k * Ln2Hi) - k * Ln2Lo;
    // The series of e^r to the 17th power, nested: its remainder is far below an ulp for |r| <= 0.35.
    double sum = 1.0;
    for (int n = 17; n >= 1; --n) sum = 1.0 + r * sum / n;
    return std::ldexp(sum, static_cast<int>(k));
}

bool isEmergency(const TrainInputs& in) {
    const int32_t n = in.brakeNotches;
    return in.handles.brake == n + 1 || in.handles.brake >= n + 4;
}

double targetCurrentA(const TrainParams& params, const CurrentTables& tables, const TrainInputs& in, double speedKmh) {
    const host::Handles& h = in.handles;
    const int32_t n = in.brakeNotches;
    // The door interlock and a neutral reverser open the motor circuit.
    if (!in.doorsClosed || h.reverser == 0) return 0.0;
    if (h.power > 0) {
        if (h.brake != 0) return 0.0;  // the brake cuts the power
        return powerCurrentA(params, tables, h.power, speedKmh);
    }

    // The electric brake: which notch's maximum current the host draws (table index, -1 = none).
    const int32_t driverIndex = std::clamp(in.driverBrake, 1, std::max(n, 1)) - 1;
    int32_t index = -1;
    if (h.power == -1) {
        index = 0;
    } else if (h.power == -8) {
        index = 7;
    } else if (h.power < 0) {
        index = driverIndex;
    } else if (h.brake == n + 2 || h.brake == n + 3) {
        index = driverIndex;
    } else if (h.brake >= n + 4) {
        const int32_t notch = h.brake - n - 4;  // the service notch that the emergency latch kept
        if (notch > 0) index = std::min(notch, n) - 1;
    } else if (h.brake >= 1 && h.brake <= n && params.regenOnServiceBrake) {
        index = h.brake - 1;
    }
    if (index < 0) return 0.0;

    const double v = std::fabs(speedKmh);
    const double fade = params.regenFadeKmh;
    if (v <= fade) return 0.0;
    const double share = fade > 0.0 ? std::min(1.0, (v - fade) / fade) : 1.0;
    return -brakeCurrentA(params, tables, index, speedKmh) * share;
}

double targetSapKpa(const TrainParams& params, const TrainInputs& in, double currentA) {
    const int32_t b = in.handles.brake;
    const int32_t n = std::max(in.brakeNotches, 1);
    if (b <= 0) return 0.0;
    if (b <= n) return params.serviceSapKpa * b / n;
    if (b == n + 2 || b == n + 3) {
        const double demandKpa = params.serviceSapKpa * std::clamp(in.driverBrake, 0, n) / n;
        if (params.brakeKnPerKpa <= 0.0) return 0.0;
        const double electricKpa = std::max(0.0, -currentA) * params.effortKnPerA / params.brakeKnPerKpa;
        return std::max(0.0, demandKpa - electricKpa);
    }
    return params.serviceSapKpa;
}

void stepTrain(const TrainParams& params, const CurrentTables& tables, TrainState& train, const TrainInputs& in,
               double dtS) {
    if (!(dtS > 0.0)) return;

    // Motor current follows its target at a limited rate.
    const double target = targetCurrentA(params, tables, in, train.speedKmh);
    train.currentA = approach(train.currentA, target, params.currentRateAPerS * dtS);

    // Air: the straight air pipe follows the notch, the brake pipe vents in emergency, the
    // cylinder follows the stronger of the two with a lag.
    const bool emergency = isEmergency(in);
    const double sapBefore = train.sapKpa, bcBefore = train.bcKpa, bpBefore = train.bpKpa;
    train.sapKpa = approach(train.sapKpa, targetSapKpa(params, in, train.currentA), params.sapRateKpaPerS * dtS);
    if (emergency) {
        train.bpKpa = approach(train.bpKpa, 0.0, params.bpVentKpaPerS * dtS);
    } else if (train.mrKpa > train.bpKpa) {
        train.bpKpa = approach(train.bpKpa, std::min(params.bpChargedKpa, train.mrKpa), params.bpChargeKpaPerS * dtS);
    }
    train.erKpa = emergency ? 0.0 : params.bpChargedKpa;
    const double charged = std::max(params.bpChargedKpa, 1.0);
    const double bpShare = std::clamp(1.0 - train.bpKpa / charged, 0.0, 1.0);
    const double bcTarget = std::max(train.sapKpa, params.emergencyBcKpa * bpShare);
    const double follow = params.bcLagS > 0.0 ? 1.0 - portableExp(-dtS / params.bcLagS) : 1.0;
    train.bcKpa += (bcTarget - train.bcKpa) * follow;
    if (std::fabs(bcTarget - train.bcKpa) < 0.05) train.bcKpa = bcTarget;

    // Main reservoir: filling the pipes and cylinders draws on it, the compressor refills it.
    const double filled = std::max(0.0, train.sapKpa - sapBefore) + std::max(0.0, train.bcKpa - bcBefore) +
                          std::max(0.0, train.bpKpa - bpBefore);
    train.mrKpa = std::max(0.0, train.mrKpa - filled * params.airUsePerKpa);
    if (train.mrKpa < params.mrCutInKpa) train.compressorOn = true;
    if (train.mrKpa >= params.mrCutOutKpa) train.compressorOn = false;
    if (train.compressorOn) train.mrKpa = std::min(params.mrCutOutKpa, train.mrKpa + params.compressorKpaPerS * dtS);

    // Motion. Forces in kN along the track; traction pushes in the reverser's direction, brakes
    // and resistance oppose the motion and never reverse it.
    const double v = train.speedKmh;
    const double massKg = std::max(params.massT, 0.001) * 1000.0 * std::max(params.rotatingMassFactor, 1.0);
    const double direction = in.handles.reverser > 0 ? 1.0 : in.handles.reverser < 0 ? -1.0 : 0.0;
    const double drive = train.currentA > 0.0 ? train.currentA * params.effortKnPerA * direction : 0.0;
    const double grade = -params.massT * GravityMPerS2 * params.gradientPermille / 1000.0;
    const double speed = std::fabs(v);
    const double oppose = std::max(0.0, train.bcKpa) * params.brakeKnPerKpa +
                          (train.currentA < 0.0 ? -train.currentA * params.effortKnPerA : 0.0) + params.resistanceKn +
                          params.resistanceKnPerKmh * speed + params.resistanceKnPerKmh2 * speed * speed;
    const double push = drive + grade;
    double accelMPerS2 = 0.0;
    if (v == 0.0) {
        if (std::fabs(push) > oppose) accelMPerS2 = (push - std::copysign(oppose, push)) * 1000.0 / massKg;
    } else {
        accelMPerS2 = (push - std::copysign(oppose, v)) * 1000.0 / massKg;
    }
    double next = v + accelMPerS2 * dtS * 3.6;
    // Brakes and resistance stop the train; whether it then moves off again is decided at rest.
    if (v != 0.0 && (next > 0.0) != (v > 0.0)) next = 0.0;
    if (std::fabs(next) < 1e-9) next = 0.0;
    train.locationM += (v + next) / 2.0 / 3.6 * dtS;
    train.speedKmh = next;
}

host::VehicleState vehicleState(const TrainState& train, int32_t timeMs) {
    host::VehicleState s{};
    s.location = train.locationM;
    s.speed = static_cast<float>(train.speedKmh);
    s.time = timeMs;
    s.bcPressure = static_cast<float>(train.bcKpa);
    s.mrPressure = static_cast<float>(train.mrKpa);
    s.erPressure = static_cast<float>(train.erKpa);
    s.bpPressure = static_cast<float>(train.bpKpa);
    s.sapPressure = static_cast<float>(train.sapKpa);
    s.current = static_cast<float>(train.currentA);
    return s;
}

}  // namespace cabhost
