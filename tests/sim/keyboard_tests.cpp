// Holding back a one-notch brake step from the first chained library while the key that made the
// step is still down, on trains with twelve or more service notches.
#include "sim/keyboard.h"
#include "tests/sim/sim_test_support.h"

namespace {

using simtest::SimTest;

constexpr int BrakeUpKey = 0x5A;  // any key code will do
constexpr int BrakeDownKey = 0x51;

class KeyboardGate : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        setServiceNotches(14);
        time = 0;
        frameAt(time);
    }
    // The driver moves the brake with a key held; the key stays down for the next frame.
    void stepBrake(int32_t notch, int key) {
        keyboard.hold(key);
        corvane::setBrake(p, notch, &keyboard);
    }
    void nextFrame() { frameAt(time += 20); }
    bool forwarded() const { return p.sim.keyboard.forwardBrake; }
    int32_t accepted() const { return p.sim.keyboard.acceptedBrakeNotch; }

    int32_t time = 0;
};

TEST_F(KeyboardGate, AHeldBrakeKeyMakesTheFirstLibraryStepTwoNotchesAtATime) {
    stepBrake(1, BrakeUpKey);
    nextFrame();
    EXPECT_FALSE(forwarded());
    EXPECT_EQ(accepted(), 0);
    stepBrake(2, BrakeUpKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 2);
    stepBrake(3, BrakeUpKey);
    nextFrame();
    EXPECT_FALSE(forwarded());
    EXPECT_EQ(accepted(), 2);
    nextFrame();  // the key stays down: still held back
    EXPECT_FALSE(forwarded());
    keyboard.hold(BrakeUpKey, false);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 3);
}

TEST_F(KeyboardGate, DownwardStepsAreHeldByTheKeyOfTheLastDecrease) {
    p.input.driverHandles.brake = 6;
    nextFrame();
    EXPECT_EQ(accepted(), 6);
    stepBrake(5, BrakeDownKey);
    nextFrame();
    EXPECT_FALSE(forwarded());
    EXPECT_EQ(accepted(), 6);
    stepBrake(4, BrakeDownKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 4);
    // Down keys are those of the last decrease only.
    keyboard.releaseAll();
    stepBrake(5, BrakeUpKey);
    keyboard.hold(BrakeUpKey, false);
    nextFrame();
    EXPECT_EQ(accepted(), 5);
    keyboard.hold(BrakeUpKey);
    corvane::setBrake(p, 4, &keyboard);  // decrease while the up key is down: Down keys = {up}
    keyboard.hold(BrakeUpKey, false);
    keyboard.hold(BrakeDownKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
}

TEST_F(KeyboardGate, AKeyDownAtBothTheLastIncreaseAndDecreaseHoldsNothing) {
    stepBrake(3, BrakeUpKey);
    nextFrame();
    nextFrame();
    keyboard.releaseAll();
    nextFrame();
    stepBrake(2, BrakeUpKey);  // the same key down at the decrease
    nextFrame();
    EXPECT_TRUE(forwarded());
    stepBrake(3, BrakeUpKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 3);
}

TEST_F(KeyboardGate, ReleaseServiceMaximumAndEmergencyAreAlwaysForwarded) {
    p.input.driverHandles.brake = 13;
    p.sim.keyboard.acceptedBrakeNotch = 13;
    stepBrake(14, BrakeUpKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 14);
    stepBrake(15, BrakeUpKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 15);
    p.input.driverHandles.brake = 1;
    p.sim.keyboard.acceptedBrakeNotch = 1;
    stepBrake(0, BrakeDownKey);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 0);
}

TEST_F(KeyboardGate, AFailedReadInTheBrakeInputForgetsTheLearnedKeys) {
    stepBrake(1, BrakeUpKey);
    corvane::setBrake(p, 0, &keyboard);  // the same key down at a decrease
    EXPECT_TRUE(p.sim.keyboard.upKeys.any());
    EXPECT_TRUE(p.sim.keyboard.downKeys.any());
    keyboard.fails = true;
    corvane::setBrake(p, 1, &keyboard);
    EXPECT_FALSE(p.sim.keyboard.upKeys.any());
    EXPECT_FALSE(p.sim.keyboard.downKeys.any());
    keyboard.fails = false;
    nextFrame();  // the key is still down, but nothing is learned to hold it
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 1);
}

TEST_F(KeyboardGate, AFailedReadInTheFrameForwardsTheStep) {
    stepBrake(1, BrakeUpKey);
    keyboard.fails = true;
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 1);
}

TEST_F(KeyboardGate, WithElevenNotchesOrFewerTheKeyboardIsNeverRead) {
    for (int32_t n : {8, 11, 12}) {
        setServiceNotches(n);
        p.sim.keyboard = sim::KeyboardState{};
        p.input.driverHandles.brake = 0;
        keyboard.reads = 0;
        stepBrake(1, BrakeUpKey);
        nextFrame();
        EXPECT_EQ(keyboard.reads, n > 11 ? 2 : 0) << n;  // in SetBrake and in the frame
        EXPECT_EQ(forwarded(), n <= 11) << n;
        EXPECT_EQ(accepted(), n <= 11 ? 1 : 0) << n;
    }
}

TEST_F(KeyboardGate, OnlyTheHighBitOfAKeyStateMeansDown) {
    keyboard.keys[200] = 0x01;  // a toggled key that is up
    corvane::setBrake(p, 1, &keyboard);
    nextFrame();
    EXPECT_TRUE(forwarded());
    keyboard.keys[255] = 0x81;  // the highest key, down and toggled
    corvane::setBrake(p, 2, &keyboard);
    nextFrame();
    EXPECT_FALSE(forwarded());  // held by key 255 alone
    EXPECT_EQ(accepted(), 1);
    keyboard.keys[255] = 0x01;
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 2);
}

}  // namespace
