// Holding back a one-notch brake step from the first chained library while the key that made the
// step is still down, on trains with twelve or more service notches.
#include "platform/test_hooks.h"
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
        platform::setKeyDown(key, true);
        corvane::setBrake(p, notch, corvane::PlatformKeyboard);
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
    platform::setKeyDown(BrakeUpKey, false);
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
    platform::releaseAllKeys();
    stepBrake(5, BrakeUpKey);
    platform::setKeyDown(BrakeUpKey, false);
    nextFrame();
    EXPECT_EQ(accepted(), 5);
    platform::setKeyDown(BrakeUpKey, true);
    corvane::setBrake(p, 4, corvane::PlatformKeyboard);  // decrease while the up key is down: Down keys = {up}
    platform::setKeyDown(BrakeUpKey, false);
    platform::setKeyDown(BrakeDownKey, true);
    nextFrame();
    EXPECT_TRUE(forwarded());
}

TEST_F(KeyboardGate, AKeyDownAtBothTheLastIncreaseAndDecreaseHoldsNothing) {
    stepBrake(3, BrakeUpKey);
    nextFrame();
    nextFrame();
    platform::releaseAllKeys();
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

TEST_F(KeyboardGate, AKeyReleasedBeforeTheFrameDoesNotHold) {
    stepBrake(1, BrakeUpKey);
    platform::setKeyDown(BrakeUpKey, false);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 1);
}

TEST_F(KeyboardGate, AFailedReadInTheBrakeInputForgetsTheLearnedKeys) {
    stepBrake(1, BrakeUpKey);
    corvane::setBrake(p, 0, corvane::PlatformKeyboard);  // the same key down at a decrease
    EXPECT_TRUE(p.sim.keyboard.upKeys.any());
    EXPECT_TRUE(p.sim.keyboard.downKeys.any());
    platform::setKeyboardReadFails(true);
    corvane::setBrake(p, 1, corvane::PlatformKeyboard);
    EXPECT_FALSE(p.sim.keyboard.upKeys.any());
    EXPECT_FALSE(p.sim.keyboard.downKeys.any());
    platform::setKeyboardReadFails(false);
    nextFrame();  // the key is still down, but nothing is learned to hold it
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 1);
}

TEST_F(KeyboardGate, AFailedReadInTheFrameForwardsTheStep) {
    stepBrake(1, BrakeUpKey);
    platform::setKeyboardReadFails(true);
    nextFrame();
    EXPECT_TRUE(forwarded());
    EXPECT_EQ(accepted(), 1);
}

TEST_F(KeyboardGate, WithElevenNotchesOrFewerNothingIsHeldOrRead) {
    for (int32_t n : {8, 11}) {
        setServiceNotches(n);
        p.sim.keyboard = sim::KeyboardState{};
        p.input.driverHandles.brake = 0;
        stepBrake(1, BrakeUpKey);
        EXPECT_FALSE(p.sim.keyboard.upKeys.any()) << n;  // no capture
        nextFrame();
        EXPECT_EQ(p.sim.keyboard.inputBuffer[BrakeUpKey], 0) << n;  // no read at all
        EXPECT_EQ(p.sim.keyboard.frameBuffer[BrakeUpKey], 0) << n;
        EXPECT_TRUE(forwarded()) << n;
        EXPECT_EQ(accepted(), 1) << n;
        stepBrake(2, BrakeUpKey);
        nextFrame();
        EXPECT_EQ(accepted(), 2) << n;
        platform::releaseAllKeys();
    }
    setServiceNotches(12);
    p.sim.keyboard = sim::KeyboardState{};
    p.input.driverHandles.brake = 0;
    stepBrake(1, BrakeUpKey);
    EXPECT_TRUE(p.sim.keyboard.upKeys.any());
    nextFrame();
    EXPECT_FALSE(forwarded());
}

TEST(KeyboardGateDirect, TheHighBitOfAKeyStateIsWhatCounts) {
    platform::releaseAllKeys();
    platform::setKeyboardReadFails(false);
    sim::KeyboardState kb;
    platform::setKeyDown(200, true);
    sim::captureBrakeKeys(kb, corvane::PlatformKeyboard, 14, 3, 4);
    EXPECT_EQ(kb.inputBuffer[200], 0x80);
    EXPECT_EQ(kb.upKeys.words[3], uint64_t{1} << (200 - 192));
    kb.acceptedBrakeNotch = 3;
    EXPECT_FALSE(sim::brakeGate(kb, corvane::PlatformKeyboard, 14, 4));
    EXPECT_EQ(kb.acceptedBrakeNotch, 3);
    EXPECT_TRUE(sim::brakeGate(kb, corvane::PlatformKeyboard, 14, 5));  // the next step reaches the library directly
    EXPECT_EQ(kb.acceptedBrakeNotch, 5);
    platform::releaseAllKeys();
}

}  // namespace
