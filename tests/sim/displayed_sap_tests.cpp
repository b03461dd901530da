// The straight-air-pipe pressure that the gauge shows, the exhaust start and stop events, and the
// volume of the cylinder exhaust.
#include <cmath>
#include <limits>

#include "sound/air_sounds.h"
#include "tests/sim/brake_test_support.h"

namespace {

using simtest::BrakeStepTest;

class DisplayedSap : public BrakeStepTest {
protected:
    void SetUp() override {
        BrakeStepTest::SetUp();
        p.input.driverHandles.brake = 5;  // target 240 kPa
    }
    // Step 13 with the host's pipe at sap, then the frame's end.
    float show(float sap, int32_t timeStepMs = 20, host::Handles out = {}) {
        step.state.sapPressure = sap;
        sim::FrameContext f = context(out, timeStepMs);
        sim::displayedSapStep(p.sim.brakes, p.audio, p.input, p.sim.frame, f);
        storePrevious(f);
        return p.sim.brakes.displayedSap;
    }
    sim::BrakeState& brakes() { return p.sim.brakes; }
};

TEST_F(DisplayedSap, FollowsTheHostWhileNothingHoldsIt) {
    EXPECT_EQ(show(100.0f), 100.0f);
    EXPECT_EQ(show(37.5f), 37.5f);
    brakes().sapOffset = 30.0f;  // a positive offset is dropped at once
    EXPECT_EQ(show(50.0f), 50.0f);
    EXPECT_EQ(brakes().sapOffset, 0.0f);
}

TEST_F(DisplayedSap, RisesAtPointFourKilopascalsPerMillisecondWhateverTheHostDoesThenStands) {
    show(100.0f);
    brakes().holdFlag = true;
    float sap = 100.0f;
    float shown = 100.0f;
    for (int i = 0; i < 10; ++i) {
        sap += (i % 2 == 0) ? 3.0f : -5.0f;  // the host's pipe wanders
        const float next = show(sap);
        EXPECT_NEAR(next - shown, 8.0f, 1e-3f) << i;
        shown = next;
    }
    EXPECT_NEAR(shown, 180.0f, 1e-3f);
    int rises = 0;
    while (rises < 20 && show(sap) > shown + 1.0f) {
        shown = brakes().displayedSap;
        ++rises;
    }
    EXPECT_EQ(rises, 7);
    EXPECT_NEAR(shown, 236.0f, 1e-3f);  // within 10 kPa of 240 it stands
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(show(sap += 1.5f), shown, 1e-3f);
}

TEST_F(DisplayedSap, FallsTowardALowerTarget) {
    show(300.0f);
    p.input.ebLatch = true;
    EXPECT_NEAR(show(300.0f, 50), 280.0f, 1e-3f);
    EXPECT_NEAR(show(300.0f, 50), 260.0f, 1e-3f);
    EXPECT_NEAR(show(300.0f, 50), 240.0f, 1e-3f);
    EXPECT_NEAR(show(300.0f, 50), 240.0f, 1e-3f);
}

// Held, the shown pressure stands while it is less than 10 kPa from the target and moves from
// exactly 10 kPa on: 0.4 kPa per millisecond, 20 kPa in a 50 ms frame.
TEST_F(DisplayedSap, StandsOnlyWithinLessThanTenKilopascalsOfTheTarget) {
    const float rows[][2] = {{std::nextafter(250.0f, 0.0f), std::nextafter(250.0f, 0.0f)},
                             {250.0f, 230.0f},
                             {std::nextafter(230.0f, 300.0f), std::nextafter(230.0f, 300.0f)},
                             {230.0f, 250.0f}};
    for (const auto& row : rows) {
        p.input.ebLatch = false;
        brakes().sapOffset = 0.0f;
        show(row[0]);
        p.input.ebLatch = true;
        EXPECT_EQ(show(row[0], 50), row[1]) << row[0];
    }
}

TEST_F(DisplayedSap, ANegativeOffsetCatchesUpAfterTheHoldEnds) {
    show(300.0f);
    p.input.ebLatch = true;
    show(300.0f, 100);  // 260
    p.input.ebLatch = false;
    EXPECT_LT(brakes().sapOffset, 0.0f);
    p.input.driverHandles.brake = 8;  // target 420: rise back toward the host's value and past it
    EXPECT_NEAR(show(300.0f), 268.0f, 1e-3f);
    EXPECT_NEAR(show(300.0f, 100), 308.0f, 1e-3f);  // the last step may pass the host's value
    EXPECT_EQ(show(300.0f), 300.0f);                // and the positive offset is then dropped
}

TEST_F(DisplayedSap, NeverShowsBelowZero) {
    show(20.0f);
    p.input.driverHandles.brake = 0;
    brakes().holdFlag = true;
    EXPECT_EQ(show(20.0f, 1000), 0.0f);
    EXPECT_EQ(brakes().sapOffset, -20.0f);
}

TEST_F(DisplayedSap, APressureThatIsNotANumberDoesNotStayInTheDisplay) {
    show(100.0f);
    brakes().holdFlag = true;
    show(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(brakes().sapOffset, 0.0f);
    EXPECT_TRUE(std::isnan(brakes().displayedSap));
    brakes().holdFlag = false;
    EXPECT_EQ(show(100.0f), 100.0f);
    EXPECT_EQ(show(std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
    EXPECT_EQ(show(90.0f), 90.0f);
}

TEST_F(DisplayedSap, ExhaustStartsAfterMoreThanOneHundredMillisecondsOfFalling) {
    show(300.0f);
    float sap = 300.0f;
    for (int i = 0; i < 5; ++i) show(sap -= 10.0f);
    EXPECT_EQ(brakes().fallTimer, 100);
    EXPECT_FALSE(sound::exhaustPlaying(p.audio));
    show(sap -= 10.0f);
    EXPECT_TRUE(sound::exhaustPlaying(p.audio));
}

TEST_F(DisplayedSap, ExhaustStopsAfterOneHundredTwentyFiveMillisecondsWithoutFalling) {
    show(300.0f);
    float sap = 300.0f;
    for (int i = 0; i < 8; ++i) show(sap -= 10.0f);
    ASSERT_TRUE(sound::exhaustPlaying(p.audio));
    for (int i = 0; i < 4; ++i) show(sap, 25);
    EXPECT_EQ(brakes().riseTimer, 100);
    EXPECT_TRUE(sound::exhaustPlaying(p.audio));
    show(sap, 25);
    EXPECT_FALSE(sound::exhaustPlaying(p.audio));
    EXPECT_EQ(brakes().fallTimer, 160 + 125);  // equal counts as not rising for the fall timer
}

TEST_F(DisplayedSap, ExhaustDoesNotStartInEmergencyOrWhileTheReleaseIsArmed) {
    show(300.0f);
    float sap = 300.0f;
    for (int i = 0; i < 10; ++i) show(sap -= 10.0f, 20, {9, 0, 0, 0});
    EXPECT_FALSE(sound::exhaustPlaying(p.audio));
    brakes().ebReleaseArmed = true;
    for (int i = 0; i < 10; ++i) show(sap -= 10.0f);
    EXPECT_FALSE(sound::exhaustPlaying(p.audio));
    brakes().ebReleaseArmed = false;
    show(sap -= 10.0f);
    EXPECT_TRUE(sound::exhaustPlaying(p.audio));  // the fall timer kept counting
}

TEST_F(DisplayedSap, ExhaustWithThePipeBelowZeroIsSafe) {
    float sap = 50.0f;
    show(sap);
    for (int i = 0; i < 5; ++i) show(sap -= 1.0f);
    EXPECT_FALSE(sound::exhaustPlaying(p.audio));
    show(-10.0f);  // the exhaust starts from a pipe below zero: the whole recording is skipped
    EXPECT_TRUE(sound::exhaustPlaying(p.audio));
    EXPECT_EQ(brakes().displayedSap, 0.0f);
}

class ReleaseRate : public DisplayedSap {
protected:
    float rate(float bc, float sap = 300.0f, int32_t timeStepMs = 24) {
        step.state.bcPressure = bc;
        show(sap, timeStepMs);
        return brakes().bcReleaseRate;
    }
};

TEST_F(ReleaseRate, RisesByAtMostOneTwoHundredFortiethPerMillisecondAndFallsAtOnce) {
    EXPECT_LT(rate(400.0f), 0.0f);  // the cylinder rose from 0
    EXPECT_EQ(rate(400.0f), 0.0f);  // after a rise the ceiling starts from 0
    EXPECT_NEAR(rate(300.0f), 0.1f, 1e-6f);
    EXPECT_NEAR(rate(200.0f), 0.2f, 1e-6f);
    EXPECT_NEAR(rate(100.0f), 0.3f, 1e-6f);
    EXPECT_NEAR(rate(99.0f), 2.0f / 24.0f, 1e-6f);  // a slow fall is taken at once
    EXPECT_LT(rate(120.0f), 0.0f);                  // filling again: negative, which is silence
}

TEST_F(ReleaseRate, IsZeroWithAnEmptyPipeOrAnEmptyCylinderThatIsNotFalling) {
    rate(400.0f);
    rate(300.0f);
    EXPECT_EQ(rate(200.0f, 5.9f), 0.0f);
    rate(400.0f);
    rate(300.0f);
    EXPECT_EQ(rate(5.0f, 300.0f), 0.0f);  // the displayed pipe stands
    rate(400.0f, 300.0f);
    rate(400.0f, 300.0f);
    EXPECT_GT(rate(5.0f, 290.0f), 0.0f);  // the pipe is falling: still measured
}

TEST_F(ReleaseRate, StaysFiniteWithoutElapsedTimeOrWithACylinderPressureThatIsNotANumber) {
    rate(400.0f);
    rate(400.0f);
    const float before = rate(300.0f);
    EXPECT_GT(before, 0.0f);
    EXPECT_EQ(rate(200.0f, 300.0f, 0), before);
    EXPECT_EQ(rate(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_NEAR(rate(300.0f), 0.0f, 1e-6f);  // a NaN previous value gives no level, not a lasting NaN
    EXPECT_TRUE(std::isfinite(rate(100.0f)));
}

}  // namespace
