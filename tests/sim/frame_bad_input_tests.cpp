// Clocks that run backwards or jump, speeds that are not numbers, and the promise that a frame
// allocates nothing.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "tests/sim/sim_test_support.h"

namespace {
// Counts heap allocations while armed; the whole test program goes through it.
bool countAllocations = false;
int allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (countAllocations) ++allocations;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using simtest::SimTest;
using simtest::StepFrame;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// Step 3 for one clock reading and speed; the frame state carries the previous values.
struct Motion {
    int32_t timeStep;
    float absoluteSpeed;
    float acceleration;
};
Motion motion(sim::FrameState& fs, int32_t timeMs, float speed) {
    StepFrame s;
    s.state.time = timeMs;
    s.state.speed = speed;
    sim::FrameContext f = s.context(0);
    sim::motionStep(fs, f);
    return {f.timeStep, f.absoluteSpeed, f.acceleration};
}

TEST(MotionStep, TimeStepAndAccelerationFromTheClockAndTheSpeed) {
    sim::FrameState fs;
    Motion m = motion(fs, 2000, -10.0f);
    EXPECT_EQ(m.timeStep, 2000);  // from a previous time of 0
    EXPECT_EQ(m.absoluteSpeed, 10.0f);
    EXPECT_EQ(m.acceleration, 5.0f);
    fs.previousTime = 2000;
    fs.previousAbsoluteSpeed = 10.0f;
    m = motion(fs, 2100, 9.0f);
    EXPECT_EQ(m.timeStep, 100);
    EXPECT_EQ(m.acceleration, -10.0f);
}

TEST(MotionStep, AFrameWithoutElapsedTimeHasNoAcceleration) {
    sim::FrameState fs;
    fs.previousTime = 500;
    fs.previousAbsoluteSpeed = 3.0f;
    const Motion m = motion(fs, 500, 20.0f);
    EXPECT_EQ(m.timeStep, 0);
    EXPECT_EQ(m.acceleration, 0.0f);
}

TEST(MotionStep, AClockThatRunsBackwardsOrJumpsGivesAWrappedTimeStep) {
    sim::FrameState fs;
    fs.previousTime = 1000;
    EXPECT_EQ(motion(fs, 400, 0.0f).timeStep, -600);
    fs.previousTime = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(motion(fs, std::numeric_limits<int32_t>::min(), 0.0f).timeStep, 1);
    fs.previousTime = 0;
    const Motion jump = motion(fs, std::numeric_limits<int32_t>::min(), 1.0f);  // a jump by 2^31
    EXPECT_EQ(jump.timeStep, std::numeric_limits<int32_t>::min());
    EXPECT_TRUE(std::isfinite(jump.acceleration));
}

using FrameBadInput = SimTest;

TEST_F(FrameBadInput, ClockJumpsKeepTheTimersDefined) {
    panel[3] = 1;
    frameAt(0);
    frameAt(std::numeric_limits<int32_t>::min());  // 2^31 later
    EXPECT_EQ(p.sim.frame.blinkTimer, std::numeric_limits<int32_t>::min());
    frameAt(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(panel[68], 1);
    p.input.negativeNotchFlash = true;
    p.sim.frame.flashTimer = 50;
    frameAt(std::numeric_limits<int32_t>::max() - 10);  // backwards
    EXPECT_TRUE(p.input.negativeNotchFlash);
    EXPECT_EQ(p.sim.frame.flashTimer, 40);
    frameAt(std::numeric_limits<int32_t>::min() + 49);  // 60 ms later across the wrap
    EXPECT_FALSE(p.input.negativeNotchFlash);
    p.input.negativeNotchFlash = true;
    p.sim.frame.flashTimer = 50;
    frameAt(std::numeric_limits<int32_t>::min() + 49 + std::numeric_limits<int32_t>::max());
    EXPECT_EQ(p.sim.frame.flashTimer, 0);  // the sum wrapped negative and is set back to 0
    EXPECT_TRUE(p.input.negativeNotchFlash);
}

TEST_F(FrameBadInput, NonFiniteInputsNeverReachThePanelUndefined) {
    for (float value : {NaN, Inf, -Inf}) {
        host::VehicleState state{};
        state.time = 20 * (p.sim.frame.frameCounter + 1);
        state.speed = value;
        state.bcPressure = value;
        state.mrPressure = value;
        state.bpPressure = value;
        state.sapPressure = value;
        state.current = value;
        panel[3] = 1;
        frame(state);
        if (value != value) {
            EXPECT_EQ(panel[22], 0);
            EXPECT_EQ(panel[130], 0);
        }
        EXPECT_TRUE(panel[68] == 1 || panel[68] == 2);
    }
    frameAt(20 * (p.sim.frame.frameCounter + 1), 10.0f);
    EXPECT_EQ(panel[22], 1000);  // back to normal with an empty table
}

TEST_F(FrameBadInput, AnyValueInPanelThreeIsAccepted) {
    int32_t time = 0;
    for (int32_t value : {std::numeric_limits<int32_t>::min(), -1, 2, 1000, std::numeric_limits<int32_t>::max()}) {
        panel[3] = value;
        frameAt(time += 20);
        EXPECT_EQ(panel[68], 2) << value;
        EXPECT_EQ(panel[3], value);  // read, never written
    }
}

TEST_F(FrameBadInput, AFrameAllocatesNothing) {
    corvane::doorClose(p);
    corvane::setReverser(p, 1);
    frameAt(0);
    host::VehicleState state{};
    panel[3] = 1;
    allocations = 0;
    countAllocations = true;
    for (int i = 1; i <= 200; ++i) {
        state.time = i * 20;
        state.speed = static_cast<float>(i % 60);
        state.current = static_cast<float>((i % 7) * 50 - 150);
        state.sapPressure = static_cast<float>((i * 13) % 400);
        state.bcPressure = static_cast<float>((i * 7) % 400);
        state.bpPressure = static_cast<float>((i * 3) % 500);
        if (i == 50) corvane::keyDown(p, 9, false);
        if (i == 100) corvane::keyDown(p, 9, false);
        frame(state);
    }
    countAllocations = false;
    EXPECT_EQ(allocations, 0);
}

}  // namespace
