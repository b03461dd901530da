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

enum class Ladder { power, brake, negativePower };

// The mode after one frame from the start mode, with the mode timer standing at timer after the
// frame's advance: power on notch 2, brake notch 3, or negative power −3.
int32_t modeAfter(Ladder ladder, int32_t start, float ratio, int32_t timer, int32_t driverPower = 2,
                  int32_t notch = 2) {
    Rig rig;
    rig.t().effectiveNotch = notch;
    rig.m().pulseMode = start;
    rig.m().modeTimerPower = rig.m().modeTimerBrake = timer - rig.timeStep;
    rig.p.input.negativePowerActive = ladder == Ladder::negativePower;
    if (ladder == Ladder::power) {
        rig.driver(driverPower);
        rig.mode(ratio, 300.0f, 2);
    } else if (ladder == Ladder::brake) {
        rig.driver(0, 3);
        rig.mode(ratio, -300.0f, 0, 3);
    } else {
        rig.driver(-3);
        rig.mode(ratio, -300.0f, -3);
    }
    return rig.m().pulseMode;
}

// Every ratio threshold of the three ladders at its value and at the next float below and above.
// The start mode is chosen so that only the rule under test acts; the expected modes are read off
// the rule tables (a raise needs the ratio strictly below its threshold, a lower strictly above).
TEST(ModeLadders, EveryRatioThresholdAtItsValueAndTheNextFloatOnEachSide) {
    const struct {
        Ladder ladder;
        int32_t start;
        float threshold;
        int32_t below, at, above;
        int32_t timer = 300;  // the mode timer after this frame's advance
    } rows[] = {{Ladder::power, 1, 0.11496045f, 99, 45, 45},
                {Ladder::power, 1, 0.13348082f, 45, 27, 27},
                {Ladder::power, 1, 0.2687225f, 27, 15, 15},
                {Ladder::power, 1, 0.47460008f, 15, 9, 9},
                {Ladder::power, 1, 0.7493905f, 9, 5, 5},
                {Ladder::power, 1, 0.874726f, 5, 3, 3},
                {Ladder::power, 1, 0.9331526f, 3, 2, 2},
                {Ladder::power, 1, 0.98f, 2, 1, 1},
                {Ladder::power, 99, 0.16496044f, 99, 99, 45},
                {Ladder::power, 99, 0.18348081f, 45, 45, 27},
                {Ladder::power, 99, 0.31872252f, 27, 27, 15},
                {Ladder::power, 99, 0.5246001f, 15, 15, 9},
                {Ladder::power, 99, 0.7993905f, 9, 9, 5},
                {Ladder::power, 99, 0.924726f, 5, 5, 3},
                {Ladder::power, 3, 0.9531526f, 3, 3, 2},
                {Ladder::power, 2, 1.0f, 2, 1, 2, 800},
                {Ladder::brake, 145, 0.32299119f, 145, 145, 115},
                {Ladder::brake, 145, 0.47793898f, 115, 115, 109},
                {Ladder::brake, 145, 0.60710424f, 109, 109, 105},
                {Ladder::brake, 145, 0.7693823f, 105, 105, 103},
                {Ladder::brake, 145, 0.92617899f, 103, 103, 102},
                {Ladder::brake, 102, 0.906179f, 103, 102, 102},
                {Ladder::brake, 102, 0.71938229f, 105, 103, 103},
                {Ladder::brake, 102, 0.55710423f, 109, 105, 105},
                {Ladder::brake, 102, 0.42793897f, 115, 109, 109},
                {Ladder::brake, 102, 0.27299118f, 127, 115, 115},
                {Ladder::brake, 101, 1.0f, 102, 101, 101, 800},
                {Ladder::negativePower, 145, 0.51516259f, 145, 145, 115},
                {Ladder::negativePower, 145, 0.69648987f, 115, 115, 109},
                {Ladder::negativePower, 145, 0.84939051f, 109, 109, 105},
                {Ladder::negativePower, 145, 0.97472602f, 105, 105, 103, 200},
                {Ladder::negativePower, 145, 0.97315258f, 105, 105, 102},
                {Ladder::negativePower, 102, 0.9531526f, 103, 102, 102},
                {Ladder::negativePower, 102, 0.924726f, 105, 103, 103},
                {Ladder::negativePower, 102, 0.7993905f, 109, 105, 105},
                {Ladder::negativePower, 102, 0.64648986f, 115, 109, 109},
                {Ladder::negativePower, 102, 0.4651626f, 127, 115, 115}};
    for (const auto& row : rows) {
        const float ratios[] = {std::nextafter(row.threshold, 0.0f), row.threshold,
                                std::nextafter(row.threshold, 2.0f)};
        const int32_t expected[] = {row.below, row.at, row.above};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(modeAfter(row.ladder, row.start, ratios[i], row.timer), expected[i])
                << row.start << " at " << ratios[i];
        }
    }
}

// The timers of the ladders at their limits: 250 and 750 ms, as they stand after this frame's
// advance. Lowering to 27 or 15 starts the ammeter's step timer again.
TEST(ModeLadders, TimerLimitsAndTheStepTimer) {
    const struct {
        Ladder ladder;
        int32_t start;
        float ratio;
        int32_t timer, expected;
        int32_t driverPower = 2, notch = 2;
    } rows[] = {{Ladder::power, 3, 1.0f, 800, 3, 0},   {Ladder::power, 3, 1.0f, 800, 3, 2, 1},  // driver off, notch 1
                {Ladder::power, 3, 0.96f, 250, 3},     {Ladder::power, 3, 0.96f, 251, 2},
                {Ladder::power, 2, 1.0f, 750, 2},      {Ladder::power, 2, 1.0f, 751, 1},
                {Ladder::brake, 103, 0.95f, 249, 103}, {Ladder::brake, 103, 0.95f, 250, 103},
                {Ladder::brake, 103, 0.95f, 251, 102}, {Ladder::brake, 100, 1.0f, 750, 100},
                {Ladder::brake, 100, 1.0f, 751, 101},  {Ladder::brake, 101, 1.0f, 749, 102},
                {Ladder::brake, 101, 1.0f, 750, 101},  {Ladder::brake, 102, 0.95f, 249, 103},
                {Ladder::brake, 102, 0.95f, 250, 102}};
    for (const auto& row : rows) {
        EXPECT_EQ(modeAfter(row.ladder, row.start, row.ratio, row.timer, row.driverPower, row.notch), row.expected)
            << row.start << " " << row.ratio << " " << row.timer;
    }

    // Each step down the power ladder names the layers whose recordings start again.
    auto layers = [](const sim::LayerRewinds& r) { return r.layers; };
    Rig rig;
    rig.driver(2);
    rig.m().pulseMode = 99;
    rig.mode(0.19f, 300.0f, 2);  // lowered to 45, then to 27
    EXPECT_EQ(rig.m().modeStepTimer, rig.timeStep);
    EXPECT_EQ(layers(rig.rewinds), (1u << 3) | (1u << 4));
    rig.mode(0.25f, 300.0f, 2);  // stays at 27
    EXPECT_EQ(rig.m().modeStepTimer, 2 * rig.timeStep);
    EXPECT_EQ(layers(rig.rewinds), 0u);
    rig.mode(0.32f, 300.0f, 2);  // lowered to 15
    EXPECT_EQ(rig.m().modeStepTimer, rig.timeStep);
    EXPECT_EQ(layers(rig.rewinds), 1u << 6);
    rig.mode(0.6f, 300.0f, 2);  // lowered to 9: the step timer runs on
    EXPECT_EQ(rig.m().modeStepTimer, 2 * rig.timeStep);
    EXPECT_EQ(layers(rig.rewinds), 1u << 8);
    rig.mode(0.8f, 300.0f, 2);  // lowered to 5
    EXPECT_EQ(layers(rig.rewinds), (1u << 10) | (1u << 11));
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
        sim::noiseSharesStep(rig.p.sim.mode, rig.p.sim.traction, rig.p.input.driverHandles, f);
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
