// The host's train model: what must always hold whatever the parameters, and the handle positions
// it understands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/train_model.h"

namespace {

using cabhost::CurrentTables;
using cabhost::TrainInputs;
using cabhost::TrainParams;
using cabhost::TrainState;

config::CurveTable flat(float value) {
    return config::CurveTable{{{0.0f, value}, {200.0f, value}}};
}

CurrentTables tables() {
    CurrentTables t;
    for (int i = 0; i < 4; ++i) t.power.push_back(flat(100.0f * (i + 1)));
    for (int i = 0; i < 8; ++i) t.brake.push_back(flat(50.0f * (i + 1)));
    return t;
}

TrainInputs inputs(int power, int brake, int reverser = 1, bool doorsClosed = true) {
    TrainInputs in;
    in.handles = {brake, power, reverser, 0};
    in.doorsClosed = doorsClosed;
    in.driverBrake = brake;
    in.brakeNotches = 8;
    return in;
}

// Runs the model for seconds at 20 ms steps.
void run(TrainState& train, const TrainInputs& in, double seconds, const TrainParams& p = {}) {
    const CurrentTables t = tables();
    for (int i = 0; i < static_cast<int>(seconds * 50); ++i) cabhost::stepTrain(p, t, train, in, 0.02);
}

TEST(TrainModel, NoMotionWithoutCurrent) {
    TrainState train;
    run(train, inputs(0, 0), 60.0);
    EXPECT_EQ(train.speedKmh, 0.0);
    EXPECT_EQ(train.locationM, 0.0);
    EXPECT_EQ(train.currentA, 0.0);
}

TEST(TrainModel, NoCurrentAndNoMotionWithDoorsOpenOrReverserNeutral) {
    TrainState open, neutral;
    run(open, inputs(4, 0, 1, false), 30.0);
    run(neutral, inputs(4, 0, 0, true), 30.0);
    for (const TrainState* t : {&open, &neutral}) {
        EXPECT_EQ(t->currentA, 0.0);
        EXPECT_EQ(t->speedKmh, 0.0);
        EXPECT_EQ(t->locationM, 0.0);
    }
}

TEST(TrainModel, BrakeCutsThePower) {
    TrainState train;
    run(train, inputs(4, 3), 10.0);
    EXPECT_EQ(train.currentA, 0.0);
    EXPECT_EQ(train.speedKmh, 0.0);
}

TEST(TrainModel, PowerMovesTheTrainInTheReverserDirection) {
    TrainState forward, backward;
    run(forward, inputs(4, 0, 1), 10.0);
    run(backward, inputs(4, 0, -1), 10.0);
    EXPECT_GT(forward.speedKmh, 5.0);
    EXPECT_GT(forward.locationM, 5.0);
    EXPECT_LT(backward.speedKmh, -5.0);
    EXPECT_LT(backward.locationM, -5.0);
    EXPECT_DOUBLE_EQ(forward.currentA, 400.0);  // the notch's table, reached exactly after the ramp
}

TEST(TrainModel, EmergencyStopsTheTrainAndItStaysStopped) {
    for (double start : {30.0, 80.0, 120.0}) {
        for (int direction : {1, -1}) {
            TrainState train;
            train.speedKmh = start * direction;
            run(train, inputs(0, 9, direction), 60.0);
            EXPECT_EQ(train.speedKmh, 0.0) << start << " " << direction;
            EXPECT_LT(train.bpKpa, 1.0);
            EXPECT_GT(train.bcKpa, 400.0);
            const double stoppedAt = train.locationM;
            run(train, inputs(0, 9, direction), 10.0);
            EXPECT_EQ(train.locationM, stoppedAt);
        }
    }
}

TEST(TrainModel, EmergencyHoldsEvenWithPowerApplied) {
    TrainState train;
    TrainInputs in = inputs(4, 9);
    run(train, in, 20.0);
    EXPECT_EQ(train.speedKmh, 0.0);
}

TEST(TrainModel, StraightAirPipeReachesTheNotchPressureExactly) {
    // Learning notch pressures needs the pipe to stand exactly still.
    TrainState train;
    run(train, inputs(0, 4), 10.0);
    EXPECT_EQ(train.sapKpa, 440.0 * 4 / 8);
    EXPECT_EQ(train.bcKpa, train.sapKpa);
    run(train, inputs(0, 0), 10.0);
    EXPECT_EQ(train.sapKpa, 0.0);
    EXPECT_EQ(train.bcKpa, 0.0);
}

TEST(TrainModel, CompressorKeepsTheMainReservoirBetweenItsLimits) {
    TrainState train;
    TrainParams p;
    for (int cycle = 0; cycle < 10; ++cycle) {
        run(train, inputs(0, 9), 5.0, p);
        run(train, inputs(0, 0), 60.0, p);
    }
    EXPECT_GE(train.mrKpa, p.mrCutInKpa - 60.0);
    EXPECT_LE(train.mrKpa, p.mrCutOutKpa);
    EXPECT_EQ(train.bpKpa, p.bpChargedKpa);
}

TEST(TrainModel, RegenerativeCurrentForThePluginsBrakePositions) {
    const TrainParams p;
    const CurrentTables t = tables();
    const double v = 60.0;
    auto current = [&](int power, int brake, int driverBrake) {
        TrainInputs in = inputs(power, brake);
        in.driverBrake = driverBrake;
        return cabhost::targetCurrentA(p, t, in, v);
    };
    EXPECT_EQ(current(0, 3, 3), -150.0);   // service notch 3
    EXPECT_EQ(current(0, 10, 5), -250.0);  // N + 2: the driver's notch, electric only
    EXPECT_EQ(current(0, 11, 2), -100.0);  // N + 3
    EXPECT_EQ(current(0, 15, 9), -150.0);  // N + 4 + 3: the emergency latch kept notch 3
    EXPECT_EQ(current(0, 12, 9), 0.0);     // N + 4 alone: emergency without electric brake
    EXPECT_EQ(current(0, 9, 9), 0.0);      // emergency
    EXPECT_EQ(current(-1, 0, 0), -50.0);   // notch table 0
    EXPECT_EQ(current(-8, 0, 0), -400.0);  // notch table 7
    EXPECT_EQ(current(-6, 0, 4), -200.0);  // the driver's notch
    EXPECT_EQ(current(2, 0, 0), 200.0);
    EXPECT_EQ(current(9, 0, 0), 400.0);  // beyond the tables: the last one
    // The electric brake fades out at low speed.
    TrainInputs in = inputs(0, 3);
    EXPECT_EQ(cabhost::targetCurrentA(p, t, in, p.regenFadeKmh), 0.0);
    EXPECT_EQ(cabhost::targetCurrentA(p, t, in, p.regenFadeKmh * 1.5), -75.0);
}

TEST(TrainModel, AirMakesUpWhatTheElectricBrakeCannotGive) {
    const TrainParams p;
    TrainInputs in = inputs(0, 10);
    in.driverBrake = 4;
    const double demand = p.serviceSapKpa * 4 / 8;
    EXPECT_EQ(cabhost::targetSapKpa(p, in, 0.0), demand);
    EXPECT_EQ(cabhost::targetSapKpa(p, in, -1000.0), 0.0);
    const double half = demand / 2 * p.brakeKnPerKpa / p.effortKnPerA;
    EXPECT_NEAR(cabhost::targetSapKpa(p, in, -half), demand / 2, 1e-9);
}

TEST(TrainModel, ElectricBrakeStopsTheTrainWithAirMakeUp) {
    // On N + 2 the electric brake fades at low speed and the air takes over, so the train stops.
    TrainState train;
    train.speedKmh = 70.0;
    TrainInputs in = inputs(0, 10);
    in.driverBrake = 4;
    run(train, in, 90.0);
    EXPECT_EQ(train.speedKmh, 0.0);
}

TEST(TrainModel, WithoutTablesTheFallbackCurrentsAreUsed) {
    const TrainParams p;
    const CurrentTables none;
    TrainInputs in = inputs(5, 0);
    EXPECT_DOUBLE_EQ(cabhost::targetCurrentA(p, none, in, 10.0), p.fallbackMaxCurrentA);
    EXPECT_LT(cabhost::targetCurrentA(p, none, in, 2 * p.fallbackBaseSpeedKmh), p.fallbackMaxCurrentA / 2);
}

TEST(TrainModel, UphillTrainRollsBackOnlyWhenTheBrakesAreOff) {
    TrainParams p;
    p.gradientPermille = 25.0;
    TrainState braked, free;
    run(braked, inputs(0, 8), 20.0, p);
    EXPECT_EQ(braked.speedKmh, 0.0);
    run(free, inputs(0, 0), 20.0, p);
    EXPECT_LT(free.speedKmh, 0.0);
}

TEST(TrainModel, ZeroOrNegativeStepChangesNothing) {
    TrainState train;
    train.speedKmh = 50.0;
    const TrainState before = train;
    cabhost::stepTrain(TrainParams{}, tables(), train, inputs(4, 0), 0.0);
    cabhost::stepTrain(TrainParams{}, tables(), train, inputs(4, 0), -1.0);
    EXPECT_EQ(train.speedKmh, before.speedKmh);
    EXPECT_EQ(train.locationM, before.locationM);
}

}  // namespace

namespace {

// The distance between two doubles of the same sign in units in the last place.
int64_t ulpsApart(double a, double b) {
    int64_t ia, ib;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    return ia > ib ? ia - ib : ib - ia;
}

}  // namespace

// The brake cylinder's lag factor comes from the model's own exp, so that the Linux and Windows
// hosts step the train alike; it must still be e^x.
TEST(TrainModel, PortableExpIsExpToAnUlpOrTwo) {
    EXPECT_EQ(cabhost::portableExp(0.0), 1.0);
    EXPECT_EQ(cabhost::portableExp(-800.0), 0.0);
    EXPECT_TRUE(std::isnan(cabhost::portableExp(std::nan(""))));
    EXPECT_TRUE(std::isfinite(cabhost::portableExp(1e6)));
    int64_t worst = 0;
    for (int ms = 1; ms <= 2000; ++ms) {
        for (int lagTenths = 1; lagTenths <= 50; ++lagTenths) {
            const double x = -(ms / 1000.0) / (lagTenths / 10.0);
            worst = std::max(worst, ulpsApart(cabhost::portableExp(x), std::exp(x)));
        }
    }
    for (double x = -700.0; x <= 700.0; x += 0.37) worst = std::max(worst, ulpsApart(cabhost::portableExp(x), std::exp(x)));
    EXPECT_LE(worst, 2);
}

// A frame interval and lag whose factor the C runtimes round apart (glibc and the Windows runtime
// differ in the last bit here): the model's own exp gives these bits on every build.
TEST(TrainModel, PortableExpGivesFixedBits) {
    const double factor = cabhost::portableExp(-0.011 / 0.9);
    uint64_t bits;
    std::memcpy(&bits, &factor, sizeof bits);
    EXPECT_EQ(bits, 0x3fef9c7c2527d1a8ull);
}
