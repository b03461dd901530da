// The reverser and power rules applied to the chained plug-ins' result, and the lamp condition of
// panel 41.
#include "tests/sim/sim_test_support.h"

namespace {

using simtest::SimTest;
using simtest::StepFrame;

class HandleRules : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        p.input.doorsClosed = true;
        p.input.driverHandles.reverser = 1;
        p.input.powerLimitMode = 2;
        step.state.sapPressure = 400.0f;
        step.state.speed = 40.0f;
    }

    // The rules on a chained result.
    host::Handles apply(host::Handles chained) {
        sim::FrameContext f = step.context();
        f.out = chained;
        sim::outputHandleRules(p.input, f);
        sim::emergencyLatchStep(p.sim.brakes, p.input, f);
        return f.out;
    }

    StepFrame step;
};

TEST_F(HandleRules, TheReverserNeedsClosedDoors) {
    EXPECT_EQ(apply({0, 0, 0, 0}).reverser, 1);
    EXPECT_EQ(apply({0, 0, -1, 0}).reverser, 1);  // the chained reverser is replaced by the driver's
    p.input.doorsClosed = false;
    EXPECT_EQ(apply({0, 0, 1, 0}).reverser, 0);
    p.input.doorsClosed = true;
    p.input.driverHandles.reverser = -1;
    EXPECT_EQ(apply({0, 0, 0, 0}).reverser, -1);
}

TEST_F(HandleRules, BrakingToAStandWithLittleAirDropsTheReverser) {
    step.state.sapPressure = 79.0f;
    step.state.speed = 6.9f;
    EXPECT_EQ(apply({1, 0, 0, 0}).reverser, 0);
    step.state.speed = 7.0f;
    EXPECT_EQ(apply({1, 0, 0, 0}).reverser, 1);
    step.state.sapPressure = 319.0f;
    step.state.speed = 5.9f;
    EXPECT_EQ(apply({1, 0, 0, 0}).reverser, 0);
    step.state.sapPressure = 320.0f;
    EXPECT_EQ(apply({1, 0, 0, 0}).reverser, 1);
    step.state.sapPressure = 10.0f;
    step.state.speed = -30.0f;  // the signed speed counts: backwards is below both limits
    EXPECT_EQ(apply({1, 0, 0, 0}).reverser, 0);
    EXPECT_EQ(apply({0, 0, 0, 0}).reverser, 1);  // no brake
    EXPECT_EQ(apply({1, 1, 0, 0}).reverser, 1);  // power on
}

TEST_F(HandleRules, ANegativeDriverPowerBelowFifteenDropsTheReverser) {
    p.input.driverHandles.power = -1;
    step.state.speed = 14.9f;
    EXPECT_EQ(apply({0, 0, 0, 0}).reverser, 0);
    step.state.speed = 15.0f;
    EXPECT_EQ(apply({0, 0, 0, 0}).reverser, 1);
}

TEST_F(HandleRules, SwitchEightDropsTheReverserWhileBrakingWithoutNegativePower) {
    p.input.toggle8 = true;
    EXPECT_EQ(apply({3, 0, 0, 0}).reverser, 0);
    p.input.negativePowerActive = true;
    EXPECT_EQ(apply({3, 0, 0, 0}).reverser, 1);
    p.input.negativePowerActive = false;
    EXPECT_EQ(apply({3, 2, 0, 0}).reverser, 1);
    EXPECT_EQ(apply({0, 0, 0, 0}).reverser, 1);
}

TEST_F(HandleRules, PowerLimitModesCapThePower) {
    p.input.powerLimitMode = 0;
    EXPECT_EQ(apply({0, 4, 0, 0}).power, 2);
    EXPECT_EQ(apply({0, 1, 0, 0}).power, 1);
    EXPECT_EQ(apply({0, -6, 0, 0}).power, -6);
    p.input.powerLimitMode = 1;
    EXPECT_EQ(apply({0, 4, 0, 0}).power, 3);
    EXPECT_EQ(apply({0, 3, 0, 0}).power, 3);
    p.input.powerLimitMode = 2;
    EXPECT_EQ(apply({0, 40, 0, 0}).power, 40);
}

TEST_F(HandleRules, ChainedHandlesOutsideTheirRangesPassWithoutHarm) {
    p.input.ebLatch = true;
    step.state.current = -100.0f;
    const host::Handles out = apply({2147483647, 0, 0, 0});
    EXPECT_EQ(out.brake, -2147483647 + 10);  // N + 4 + brake wraps instead of overflowing
    EXPECT_EQ(out.reverser, 1);
    p.input.ebLatch = false;
    EXPECT_EQ(apply({-2147483647 - 1, 2147483647, 0, 0}).power, 2147483647);
}

class RegenerationMatch : public SimTest {
protected:
    bool step18(float speed, float current, float r7) {
        StepFrame s;
        s.state.speed = speed;
        s.state.current = current;
        p.sim.traction.r7 = r7;
        sim::FrameContext f = s.context();
        sim::regenerationMatchStep(p.input.regenerationMatch, p.sim.traction, p.sim.frame, f);
        return p.input.regenerationMatch;
    }
};

TEST_F(RegenerationMatch, SetsWhenTheBrakeCurrentMeetsTheLimitAndHoldsBelowThirty) {
    p.sim.frame.r30 = 400.0f;
    EXPECT_FALSE(step18(20.0f, -300.0f, 302.0f));  // more than 1 A apart
    EXPECT_TRUE(step18(20.0f, -300.0f, 300.5f));
    EXPECT_TRUE(step18(29.9f, -50.0f, 300.0f));  // once set it holds while braking below 30
    EXPECT_FALSE(step18(30.0f, -50.0f, 300.0f));
    EXPECT_FALSE(step18(20.0f, -50.0f, 300.0f));  // and does not come back by itself
}

TEST_F(RegenerationMatch, NeedsALimitBelowTheThirtyKilometreLimitAndABrakingCurrent) {
    p.sim.frame.r30 = 400.0f;
    EXPECT_FALSE(step18(20.0f, -399.0f, 399.0f));  // R7 must be below R30 - 1
    EXPECT_TRUE(step18(20.0f, -398.5f, 398.9f));
    EXPECT_FALSE(step18(20.0f, 0.0f, 300.0f));  // no braking current clears it
    p.input.regenerationMatch = true;
    EXPECT_FALSE(step18(20.0f, 10.0f, 300.0f));
}

TEST_F(RegenerationMatch, SetsThePanelLampInTheFrame) {
    p.sim.frame.r30 = 400.0f;
    p.sim.traction.r7 = 0.0f;
    p.input.regenerationMatch = true;
    host::VehicleState state{};
    state.time = 20;
    state.speed = 10.0f;
    state.current = -100.0f;
    frame(state);
    EXPECT_EQ(panel[41], 1);
    state.time = 40;
    corvane::setReverser(p, 0);  // the reverser in neutral clears it
    frame(state);
    EXPECT_EQ(panel[41], 0);
}

}  // namespace
