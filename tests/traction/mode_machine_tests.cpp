// The main-circuit mode ladders with their hysteresis and timers, and the noise shares and ramp.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "traction_rig.h"

namespace {

using traction_test::Rig;

// Each step: the voltage ratio of the frame and the mode expected after it.
void walk(Rig& rig, float current, int32_t power, int32_t brake, const std::vector<std::pair<float, int32_t>>& steps) {
    for (const auto& [ratio, expected] : steps) {
        rig.mode(ratio, current, power, brake);
        EXPECT_EQ(rig.m().pulseMode, expected) << "ratio " << ratio;
    }
}

TEST(PowerLadder, StepsWithHysteresisAndZeroesTheStepTimerAt27And15) {
    Rig rig;
    rig.driver(2);
    rig.t().effectiveNotch = 2;
    rig.mode(0.0f, 0.0f, 2);
    EXPECT_EQ(rig.m().pulseMode, 100);
    walk(rig, 300.0f, 2, 0, {{0.05f, 99}, {0.12f, 99}, {0.17f, 45}, {0.14f, 45}, {0.10f, 99}, {0.19f, 27}});
    EXPECT_EQ(rig.m().modeStepTimer, rig.timeStep);
    walk(rig, 300.0f, 2, 0, {{0.30f, 27}, {0.32f, 15}});
    EXPECT_EQ(rig.m().modeStepTimer, rig.timeStep);
    walk(rig, 300.0f, 2, 0,
         {{0.6f, 9}, {0.8f, 5}, {0.93f, 3}, {0.95f, 3}, {0.96f, 2}, {1.0f, 1}, {0.97f, 2}, {0.9f, 3}});

    rig.mode(0.5f, 0.0f, 2);
    EXPECT_EQ(rig.m().pulseMode, 100);
    EXPECT_EQ(rig.m().modeTimerPower, 0);
}

TEST(PowerLadder, NotchedOffTheLoadCurrentDecidesAndAboveNinetyNineDrops) {
    Rig rig;
    for (const auto& [load, expected] : std::vector<std::pair<float, int32_t>>{{10.0f, 3}, {75.0f, 2}, {150.0f, 1}}) {
        rig.m().pulseMode = 1;
        rig.mode(0.5f, 300.0f, 0, 0, load);
        EXPECT_EQ(rig.m().pulseMode, expected) << load;
    }
    rig.m().pulseMode = 100;
    rig.mode(0.05f, 300.0f, 0, 0, 150.0f);
    EXPECT_EQ(rig.m().pulseMode, 99);

    // Before the line voltage exists the ratio is NaN: no threshold holds, only the drop to 99.
    rig.m().pulseMode = 100;
    rig.mode(std::nanf(""), 300.0f, 2);
    EXPECT_EQ(rig.m().pulseMode, 99);
    rig.mode(std::nanf(""), 300.0f, 2);
    EXPECT_EQ(rig.m().pulseMode, 99);
}

TEST(PowerLadder, FullVoltageStepsNeedTimeNotchAndDriver) {
    Rig rig;
    rig.timeStep = 125;
    rig.driver(2);
    rig.t().effectiveNotch = 2;
    rig.m().pulseMode = 3;
    walk(rig, 300.0f, 2, 0, {{0.96f, 3}, {0.96f, 3}, {0.96f, 2}, {1.0f, 2}, {1.0f, 2}, {1.0f, 2}, {1.0f, 1}});

    rig.m().pulseMode = 3;
    rig.driver(0);
    rig.mode(1.0f, 300.0f, 2);
    EXPECT_EQ(rig.m().pulseMode, 3);
    rig.driver(2);
    rig.t().effectiveNotch = 1;
    rig.mode(1.0f, 300.0f, 2);
    EXPECT_EQ(rig.m().pulseMode, 3);
}

TEST(BrakeLadder, StepsWithHysteresisAndTheBrakeTimer) {
    Rig rig;
    rig.state.speed = 30.0f;
    rig.mode(0.0f, 0.0f, 0, 3);
    walk(rig, -300.0f, 0, 3,
         {{0.2f, 127},
          {0.3f, 127},
          {0.33f, 115},
          {0.3f, 115},
          {0.5f, 109},
          {0.65f, 105},
          {0.8f, 103},
          {0.95f, 102},
          {1.0f, 102}});
    rig.state.speed = 50.0f;  // above the speed at which the motor reaches the line voltage, plus 3
    walk(rig, -300.0f, 0, 3, {{1.0f, 101}, {0.99f, 102}});

    // Brake released: the load current against the brake jerk thresholds.
    rig.m().pulseMode = 101;
    rig.mode(1.0f, -300.0f, 0, 0, 150.0f);
    EXPECT_EQ(rig.m().pulseMode, 102);
    rig.mode(1.0f, -300.0f, 0, 0, 50.0f);
    EXPECT_EQ(rig.m().pulseMode, 103);

    // A fresh regeneration stays at 103 for its first 250 ms.
    rig.mode(0.0f, 0.0f, 0, 3);
    walk(rig, -300.0f, 0, 3, {{0.95f, 103}, {0.95f, 103}, {0.95f, 102}});
}

TEST(BrakeLadder, Mode145OnlyFrom127AtLowMotorSpeedWithAirPressure) {
    Rig rig;
    rig.t().motorSpeed = 5.0f;
    rig.state.sapPressure = 330.0f;
    rig.m().pulseMode = 115;
    walk(rig, -300.0f, 0, 3, {{0.2f, 127}, {0.2f, 145}, {0.2f, 145}});
    rig.m().pulseMode = 127;
    rig.state.sapPressure = 320.0f;
    walk(rig, -300.0f, 0, 3, {{0.2f, 127}});
    rig.state.sapPressure = 330.0f;
    rig.t().motorSpeed = 5.6f;
    walk(rig, -300.0f, 0, 3, {{0.2f, 127}});
}

TEST(NegativePowerLadder, UsesThePowerHandleAndThePowerThresholds) {
    Rig rig;
    rig.mode(0.0f, 0.0f, 0, 3);
    rig.mode(0.5f, -300.0f, 0, 3);
    EXPECT_EQ(rig.m().pulseMode, 109);

    rig.p.input.negativePowerActive = true;
    rig.mode(0.0f, 0.0f, -3);
    rig.mode(0.5f, -300.0f, -3);
    EXPECT_EQ(rig.m().pulseMode, 115);
    rig.mode(0.9f, -300.0f, 0, 3);  // the brake handle does not command this ladder
    EXPECT_EQ(rig.m().pulseMode, 115);
    rig.mode(0.9f, -300.0f, -3);
    EXPECT_EQ(rig.m().pulseMode, 105);
}

TEST(NoiseShares, FieldRampAlongItsThreeCases) {
    Rig rig;
    sim::ModeState& m = rig.m();
    auto ramp = [&](int32_t mode, float ratio, int32_t driverPower, int32_t driverBrake, float load = 0.0f) {
        m.pulseMode = mode;
        rig.t().voltageRatio = ratio;
        rig.t().loadCurrent = load;
        rig.driver(driverPower, driverBrake);
        sim::FrameContext f = rig.context({});
        sim::noiseSharesStep(rig.p, f);
        return m.fieldRamp;
    };
    m.modeTimerPower = 250;
    EXPECT_EQ(ramp(2, 1.0f, 2, 0), 0.0f);
    m.modeTimerPower = 500;
    EXPECT_NEAR(ramp(2, 1.0f, 2, 0), 0.5f, 1e-6f);
    m.modeTimerPower = 749;
    EXPECT_LT(ramp(2, 1.0f, 2, 0), 1.0f);
    m.modeTimerPower = 751;
    EXPECT_EQ(ramp(2, 1.0f, 2, 0), 1.0f);
    EXPECT_EQ(ramp(2, 0.999f, 2, 0), 1.0f);
    EXPECT_FLOAT_EQ(ramp(2, 1.0f, 0, 0, 75.0f), 0.5f);  // halfway between the power jerk thresholds
    EXPECT_EQ(ramp(2, 1.0f, 0, 0, 10.0f), 0.0f);
    EXPECT_EQ(ramp(2, 1.0f, -1, 0, 10.0f), 1.0f);

    m.modeTimerBrake = 500;
    EXPECT_NEAR(ramp(102, 1.0f, 0, 2), 0.5f, 1e-6f);
    EXPECT_NEAR(ramp(102, 1.0f, -1, 0), 0.5f, 1e-6f);
    EXPECT_EQ(ramp(102, 1.0f, 1, 0), 1.0f);
    EXPECT_FLOAT_EQ(ramp(102, 1.0f, 0, 0, 150.0f), 0.5f);
    EXPECT_EQ(ramp(1, 1.0f, 0, 0, 10.0f), 1.0f);

    // A jerk value of 0 makes the line degenerate; the ramp must still be a number.
    rig.config.powerJerk = 0.0f;
    rig.reload();
    EXPECT_EQ(ramp(2, 1.0f, 0, 0, 0.0f), 0.0f);
}

TEST(NoiseShares, GainsAndModeOneTimer) {
    Rig rig;
    rig.t().excitationCurrent = 50.0f;
    rig.mode(0.5f, 300.0f, 2, 0, 6.0f);
    EXPECT_EQ(rig.m().powerGain, 0.5f);
    EXPECT_EQ(rig.m().brakeGain, 0.0f);
    rig.mode(0.5f, -300.0f, 0, 3, 30.0f);  // 10 × 30 ÷ (800 − 50)
    EXPECT_FLOAT_EQ(rig.m().brakeGain, 0.4f);
    EXPECT_EQ(rig.m().powerGain, 0.0f);
    rig.t().excitationCurrent = 800.0f;  // 0 ÷ 0 must not reach the volumes as NaN
    rig.mode(0.5f, -300.0f, 0, 3, 0.0f);
    EXPECT_EQ(rig.m().brakeGain, 0.0f);

    rig.driver(2);
    rig.t().effectiveNotch = 2;
    rig.m().pulseMode = 2;
    rig.m().modeTimerPower = 1000;
    rig.mode(1.0f, 300.0f, 2);
    rig.mode(1.0f, 300.0f, 2);
    EXPECT_EQ(rig.m().mode1Timer, 2 * rig.timeStep);
    rig.mode(0.97f, 300.0f, 2);
    EXPECT_EQ(rig.m().mode1Timer, 0);
}

}  // namespace
