// The emergency latch switch: its rewrites of the brake position, and the sounds that follow its
// release once the cylinder has vented and starts to fill again.
#include "tests/sim/brake_test_support.h"

namespace {

using host::SoundContinue;
using host::SoundPlayOnce;
using host::SoundStop;
using simtest::BrakeStepTest;

class EmergencyLatch : public BrakeStepTest {
protected:
    host::Handles latch(host::Handles out, float current) {
        p.input.ebLatch = true;
        step.state.current = current;
        sim::FrameContext f = context(out);
        sim::emergencyLatchStep(p.sim.brakes, p.input, f);
        return f.out;
    }
};

TEST_F(EmergencyLatch, RewritesTheBrakePositionAboveEmergency) {
    EXPECT_EQ(latch({3, 0, 1, 0}, -50.0f).brake, 15);  // N + 4 + brake while regenerating
    EXPECT_EQ(latch({3, 0, 1, 0}, 0.0f).brake, 12);
    EXPECT_EQ(latch({9, 0, 1, 0}, 0.0f).brake, 9);  // emergency stays
    EXPECT_EQ(latch({9, 0, 1, 0}, -50.0f).brake, 21);
    EXPECT_EQ(latch({0, 0, 1, 0}, -50.0f).brake, 12);
    EXPECT_EQ(latch({3, -1, 1, 0}, -50.0f).brake, 12);  // a negative power is not regeneration
    EXPECT_EQ(latch({3, 2, 1, 0}, -50.0f).brake, 15);
}

TEST_F(EmergencyLatch, DropsTheReverserOnlyWithBrakeAndPowerAtZero) {
    EXPECT_EQ(latch({0, 0, 1, 0}, 0.0f).reverser, 0);
    EXPECT_EQ(latch({1, 0, 1, 0}, 0.0f).reverser, 1);
    EXPECT_EQ(latch({0, 1, 1, 0}, 0.0f).reverser, 1);
}

TEST_F(EmergencyLatch, BrakePositionsFarAboveEmergencyFromAChainedPlugInAreSafe) {
    EXPECT_EQ(latch({1000, 0, 1, 0}, 0.0f).brake, 12);
    EXPECT_EQ(latch({1000, 0, 1, 0}, -1.0f).brake, 1012);
}

class ReleaseSequence : public BrakeStepTest {
protected:
    // One frame of the sequence with the cylinder at bc; the previous cylinder pressure moves on.
    void frameWithCylinder(float bc, int32_t timeStepMs = 20) {
        step.state.bcPressure = bc;
        sim::FrameContext f = context({}, timeStepMs);
        sim::releaseSequencingStep(p.sim.brakes, p.input, p.sim.frame, f);
        p.sim.frame.previousBcPressure = bc;
    }
    void armed() {
        p.sim.brakes.ebReleaseArmed = true;
        p.sim.brakes.ebReleaseGuard = true;
    }
    host::SoundTrigger& stop228() { return p.input.triggers.emergencyLatchReleasedHeld; }
    host::SoundTrigger& play229() { return p.input.triggers.cylinderRefilling; }
};

TEST_F(ReleaseSequence, WaitsForTheCylinderToVentThenSoundsWhenItFillsAgain) {
    armed();
    p.sim.frame.previousBcPressure = 400.0f;
    frameWithCylinder(400.0f);
    frameWithCylinder(450.0f);
    EXPECT_EQ(p.sim.brakes.releaseTimer1, 0);  // guarded until the cylinder pressure falls
    frameWithCylinder(300.0f);
    EXPECT_FALSE(p.sim.brakes.ebReleaseGuard);
    EXPECT_EQ(p.sim.brakes.releaseTimer1, 0);
    for (int i = 0; i < 5; ++i) frameWithCylinder(300.0f);
    EXPECT_EQ(p.sim.brakes.releaseTimer1, 100);
    EXPECT_EQ(p.sim.brakes.releaseTimer2, 0);
    EXPECT_FALSE(stop228().stop);
    frameWithCylinder(300.0f);
    EXPECT_TRUE(stop228().stop);  // more than 100 ms without a fall
    for (int i = 0; i < 5; ++i) frameWithCylinder(300.0f + static_cast<float>(i + 1));
    EXPECT_EQ(p.sim.brakes.releaseTimer2, 100);
    EXPECT_TRUE(p.sim.brakes.ebReleaseArmed);
    EXPECT_FALSE(play229().play);
    frameWithCylinder(310.0f);
    EXPECT_FALSE(p.sim.brakes.ebReleaseArmed);
    EXPECT_TRUE(play229().play);
    const int32_t t1 = p.sim.brakes.releaseTimer1;
    frameWithCylinder(320.0f);
    EXPECT_EQ(p.sim.brakes.releaseTimer1, t1);  // disarmed: nothing moves
}

TEST_F(ReleaseSequence, DoesNothingWhileTheLatchIsOn) {
    armed();
    p.sim.brakes.ebReleaseGuard = false;
    p.input.ebLatch = true;
    for (int i = 0; i < 20; ++i) frameWithCylinder(static_cast<float>(i));
    EXPECT_EQ(p.sim.brakes.releaseTimer2, 0);
    EXPECT_TRUE(p.sim.brakes.ebReleaseArmed);
}

TEST_F(ReleaseSequence, InTheFrameTheLatchFollowsTheHandleRulesAndItsReleaseSoundsReachTheSoundArray) {
    corvane::keyDown(p, 9, false);
    corvane::keyUp(p, 9);
    corvane::doorClose(p);
    corvane::setReverser(p, 1);
    host::VehicleState state{};
    int32_t time = 0;
    state.bcPressure = 400.0f;
    state.sapPressure = 400.0f;  // no low-pressure rule drops the reverser: only the latch does
    for (int i = 0; i < 3; ++i) {
        state.time = time += 20;
        EXPECT_EQ(frame(state).reverser, 0);  // the latch acts on the handle rules' result
    }
    corvane::keyDown(p, 9, false);  // latch off
    state.time = time += 20;
    frame(state);
    EXPECT_EQ(sound[228], SoundPlayOnce);
    state.bcPressure = 200.0f;  // vents
    state.time = time += 20;
    frame(state);
    int stops = 0;
    int plays = 0;
    for (int i = 0; i < 10; ++i) {
        state.bcPressure += 5.0f;
        state.time = time += 20;
        frame(state);
        stops += sound[228] == SoundStop;
        plays += sound[229] == SoundPlayOnce;
    }
    EXPECT_GE(stops, 1);
    EXPECT_EQ(plays, 1);
    EXPECT_EQ(sound[229], SoundContinue);
}

}  // namespace
