// Handing the braking effort between the electric and the air brake: holdFlag, the positions
// above emergency, the negative power positions and the minus-8 latch.
#include <limits>

#include "tests/sim/brake_test_support.h"

namespace {

using simtest::BrakeStepTest;

// Eight notches: pressures 0, 0, 60, 120, 180, 240, 300, 360, 420 kPa; A = 150, B = 250, Vt = 40.
class Blending : public BrakeStepTest {
protected:
    void SetUp() override {
        BrakeStepTest::SetUp();
        p.sim.traction.r5 = 500.0f;
        p.sim.traction.r7 = 400.0f;
        step.state.current = -100.0f;
        step.state.speed = 60.0f;
        step.state.sapPressure = 100.0f;
    }
    host::Handles blend(int32_t brake, int32_t power = 0, int32_t reverser = 1) {
        sim::FrameContext f = context({brake, power, reverser, 0});
        sim::blendingStep(p.sim.brakes, p.input, p.sim.traction, f);
        return f.out;
    }
    bool& hold() { return p.sim.brakes.holdFlag; }
};

TEST_F(Blending, ANotchThatDemandsTooMuchNeverSetsTheHold) {
    step.state.sapPressure = 0.0f;
    blend(4);
    EXPECT_FALSE(hold());
    EXPECT_EQ(blend(4).brake, 4);
}

TEST_F(Blending, EveryConditionOfTheElectricBrakeIsNeededToHold) {
    auto heldAfter = [&](host::Handles out) {
        hold() = true;
        sim::FrameContext f = context(out);
        sim::blendingStep(p.sim.brakes, p.input, p.sim.traction, f);
        return hold();
    };
    EXPECT_TRUE(heldAfter({3, 0, 1, 0}));
    EXPECT_FALSE(heldAfter({3, 0, 0, 0}));
    EXPECT_FALSE(heldAfter({3, 1, 1, 0}));
    EXPECT_FALSE(heldAfter({0, 0, 1, 0}));
    EXPECT_FALSE(heldAfter({9, 0, 1, 0}));
    EXPECT_FALSE(heldAfter({500, 0, 1, 0}));
    step.state.current = 0.0f;
    EXPECT_FALSE(heldAfter({3, 0, 1, 0}));
    step.state.current = -100.0f;
    p.input.toggle8 = true;
    EXPECT_FALSE(heldAfter({3, 0, 1, 0}));
    p.input.toggle8 = false;
    p.sim.traction.r7 = p.sim.traction.r5;
    EXPECT_FALSE(heldAfter({3, 0, 1, 0}));  // both limits equal and no regeneration match
    p.input.regenerationMatch = true;
    EXPECT_TRUE(heldAfter({3, 0, 1, 0}));
}

TEST_F(Blending, TheMinusEightLatchHoldsThePowerWhileTheBrakeCurrentLasts) {
    p.sim.traction.r7 = 50.0f;
    step.state.speed = 20.0f;
    step.state.sapPressure = 400.0f;
    EXPECT_EQ(blend(0).power, -8);  // -current > R7 below 30 km/h
    EXPECT_TRUE(p.sim.brakes.minus8Latch);
    step.state.current = -10.0f;
    EXPECT_EQ(blend(0).power, -8);  // kept while the current is negative
    step.state.current = 0.0f;
    EXPECT_EQ(blend(0).power, 0);
    EXPECT_FALSE(p.sim.brakes.minus8Latch);
    step.state.current = -100.0f;
    step.state.speed = 30.0f;
    EXPECT_EQ(blend(0).power, 0);  // not at 30 km/h
    step.state.speed = 20.0f;
    EXPECT_EQ(blend(0, 0, 0).power, 0);  // nor in neutral
    EXPECT_EQ(blend(0, 2).power, 2);     // nor with power
    EXPECT_EQ(blend(0).power, -8);
    EXPECT_EQ(blend(0, -1).power, -1);  // a negative power position clears it
    EXPECT_FALSE(p.sim.brakes.minus8Latch);
}

TEST_F(Blending, TheMinusEightLatchKeepsAHeldNotchInPlace) {
    hold() = true;
    p.sim.brakes.minus8Latch = true;
    const host::Handles out = blend(3);
    EXPECT_EQ(out.brake, 3);
    EXPECT_EQ(out.power, -8);
}

class NegativeNotchRegulation : public Blending {
protected:
    void SetUp() override {
        Blending::SetUp();
        step.config.brakeMaxCurrent.push_back(simtest::flatTable(200.0f));  // R0
        p.input.toggle8 = true;
        p.input.negativePowerActive = true;
    }
};

TEST_F(NegativeNotchRegulation, AsksForMinusOneUntilTheCurrentMeetsTheFirstTable) {
    step.state.current = -150.0f;
    EXPECT_EQ(blend(0).power, -1);
    EXPECT_TRUE(p.input.negativePowerActive);
    step.state.current = -199.95f;
    EXPECT_EQ(blend(0).power, 0);
    EXPECT_FALSE(p.input.negativePowerActive);
    step.state.current = -150.0f;
    EXPECT_EQ(blend(0).power, 0);  // ended until a negative position is selected again
}

TEST_F(NegativeNotchRegulation, OnlyWithSwitchEightAndADriverPowerNotBelowZero) {
    step.state.current = -150.0f;
    p.input.driverHandles.power = -1;
    EXPECT_EQ(blend(0).power, 0);
    p.input.driverHandles.power = 0;
    p.input.toggle8 = false;
    EXPECT_EQ(blend(0).power, 0);
    EXPECT_TRUE(p.input.negativePowerActive);
}

TEST_F(Blending, InputsThatAreNotNumbersAreHarmless) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    step.state.speed = nan;
    step.state.current = nan;
    step.state.sapPressure = nan;
    hold() = true;
    const host::Handles out = blend(3);
    EXPECT_FALSE(hold());  // a current that is not a number is no braking current
    EXPECT_EQ(out.brake, 3);
    EXPECT_EQ(out.power, 0);
    EXPECT_FALSE(p.sim.brakes.minus8Latch);
}

}  // namespace
