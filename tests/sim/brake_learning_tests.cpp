// Learning the straight-air-pipe pressure of a notch: the steady timer and when learning may
// happen. The table's own fills are tested with the table.
#include <limits>

#include "tests/sim/brake_test_support.h"

namespace {

using simtest::BrakeStepTest;

class Learning : public BrakeStepTest {
protected:
    // One frame of step 8 with the output brake at notch and the pipe at sap; then the frame's end.
    void learnFrame(int32_t notch, float sap, int32_t timeStepMs = 100) {
        step.state.sapPressure = sap;
        sim::FrameContext f = context({notch, 0, 1, 0}, timeStepMs);
        sim::learningStep(p.sim.brakes, p.input.brakePressureTable, p.input.ebLatch, p.sim.frame, f);
        storePrevious(f);
    }
    const sim::BrakePressureTable& table() const { return p.input.brakePressureTable; }
};

TEST_F(Learning, NeedsMoreThanHalfASecondOfExactlyTheSamePressureAtOneNotch) {
    learnFrame(4, 200.0f);  // the pressure changed from the stored 0
    EXPECT_EQ(p.sim.brakes.steadyTimer, 0);
    for (int i = 0; i < 5; ++i) learnFrame(4, 200.0f);
    EXPECT_EQ(p.sim.brakes.steadyTimer, 500);
    EXPECT_FALSE(table().entries[4].learned);
    learnFrame(4, 200.0f);
    EXPECT_TRUE(table().entries[4].learned);
    EXPECT_EQ(table().pressure(4), 200.0f);
    EXPECT_EQ(table().learnedCount, 2);
}

TEST_F(Learning, AnyChangeOfPressureOrNotchRestartsTheTimer) {
    for (int i = 0; i < 5; ++i) learnFrame(4, 200.0f);
    learnFrame(4, 200.001f);
    EXPECT_EQ(p.sim.brakes.steadyTimer, 0);
    for (int i = 0; i < 5; ++i) learnFrame(4, 200.001f);
    learnFrame(5, 200.001f);
    EXPECT_EQ(p.sim.brakes.steadyTimer, 0);
    for (int i = 0; i < 5; ++i) learnFrame(5, 200.001f);
    EXPECT_FALSE(table().entries[5].learned);
    EXPECT_FALSE(table().entries[4].learned);
}

TEST_F(Learning, NothingIsLearnedWhileTheLatchTheReleaseOrTheHoldIsActive) {
    bool* blockers[] = {&p.input.ebLatch, &p.sim.brakes.ebReleaseArmed, &p.sim.brakes.ebReleaseGuard,
                        &p.sim.brakes.holdFlag};
    for (bool* blocker : blockers) {
        *blocker = true;
        for (int i = 0; i < 10; ++i) learnFrame(3, 120.0f);
        EXPECT_FALSE(table().entries[3].learned);
        *blocker = false;
    }
    learnFrame(3, 120.0f);
    EXPECT_TRUE(table().entries[3].learned);
}

TEST_F(Learning, OutOfRangeNotchesAndNonFinitePressuresAreNeverLearned) {
    for (int32_t notch : {9, 12, -1, std::numeric_limits<int32_t>::max()}) {
        for (int i = 0; i < 10; ++i) learnFrame(notch, 300.0f);
    }
    for (float sap : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        for (int i = 0; i < 10; ++i) learnFrame(4, sap);
    }
    EXPECT_EQ(table().learnedCount, 1);
    EXPECT_EQ(table().pressure(12), 0.0f);
    EXPECT_EQ(table().pressure(4), 180.0f);
}

TEST_F(Learning, AnAlreadyLearnedNotchKeepsItsPressure) {
    for (int i = 0; i < 7; ++i) learnFrame(2, 50.0f);
    ASSERT_TRUE(table().entries[2].learned);
    for (int i = 0; i < 7; ++i) learnFrame(2, 70.0f);
    EXPECT_EQ(table().pressure(2), 50.0f);
    EXPECT_EQ(table().learnedCount, 2);
}

}  // namespace
