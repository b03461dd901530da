// The entry points' own work: sound requests, cab switches with their latches, handle inputs,
// the VehicleSpec record, and what Load and Initialize keep.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>

#include "config/config_error.h"
#include "config/notch_config.h"
#include "corvane/plugin.h"

namespace {

using host::SoundContinue;
using host::SoundPlayOnce;
using host::SoundStop;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::VehicleSpec spec{8, 0, 0, 0, 4};
        frame::setVehicleSpec(p, spec);
    }

    // One frame at the given time; returns the handles.
    host::Handles frameAt(int32_t time, float speed = 0.0f) {
        host::VehicleState state{};
        state.time = time;
        state.speed = speed;
        return frame::elapse(p, state, panel, sound, sim::FrameKeys{});
    }

    frame::Plugin p;
    int32_t panel[256] = {};
    int32_t sound[256] = {};
};

TEST(SoundTrigger, ResetThenPlayThenStopThenContinue) {
    host::SoundTrigger t;
    t.requestPlay();
    EXPECT_EQ(t.consume(), SoundStop);  // the first frame sends a stop and keeps the request
    EXPECT_EQ(t.consume(), SoundPlayOnce);
    EXPECT_EQ(t.consume(), SoundContinue);
    t.requestPlay();
    t.requestStop();
    EXPECT_EQ(t.consume(), SoundStop);  // the later request replaces the earlier
    t.requestStop();
    t.requestPlay();
    EXPECT_EQ(t.consume(), SoundPlayOnce);
}

TEST_F(FrameTest, FirstFrameStopsEveryDrivenSoundAndLeavesTheOthers) {
    for (int i = 0; i < 256; ++i) sound[i] = 777;
    frame::doorClose(p);
    frameAt(100);
    const int driven[] = {95, 96, 97, 98, 107, 108, 109, 110, 220, 223, 224, 227, 228, 229, 243, 244, 239};
    for (int index : driven) EXPECT_EQ(sound[index], SoundStop) << index;
    int untouched = 0;
    for (int i = 0; i < 256; ++i) untouched += sound[i] == 777;
    EXPECT_EQ(untouched, 256 - 17);
    frameAt(120);
    EXPECT_EQ(sound[95], SoundPlayOnce);  // the request raised before the first frame
    frameAt(140);
    EXPECT_EQ(sound[95], SoundContinue);
}

TEST_F(FrameTest, HeldKeyFlipsItsSwitchOnceButAdjustsEveryTime) {
    p.input.panelModifyMode = true;
    p.input.adjustTarget = 3;
    for (int i = 0; i < 3; ++i) frame::keyDown(p, 5, false);
    EXPECT_TRUE(p.input.toggle5);
    EXPECT_EQ(p.input.adjustValue, 30);
    EXPECT_TRUE(p.input.triggers.switchOn107.play);
    frame::keyUp(p, 5);
    frame::keyDown(p, 5, false);
    EXPECT_FALSE(p.input.toggle5);
    EXPECT_TRUE(p.input.triggers.switchOff108.play);
    EXPECT_EQ(p.input.adjustValue, 40);
}

TEST_F(FrameTest, ShiftHeldMakesKeysFiveAndSixDoNothing) {
    p.input.panelModifyMode = true;
    p.input.adjustTarget = 5;
    frame::keyDown(p, 5, true);
    frame::keyDown(p, 6, true);
    EXPECT_FALSE(p.input.toggle5);
    EXPECT_FALSE(p.input.toggle6);
    EXPECT_FALSE(p.input.keyLatch5);
    EXPECT_EQ(p.input.adjustValue, 0);
    frame::keyDown(p, 6, false);
    EXPECT_TRUE(p.input.toggle6);
    EXPECT_TRUE(p.input.triggers.step110.play);
    EXPECT_EQ(p.input.adjustValue, -100);  // the speed needle moves in hundreds
}

TEST_F(FrameTest, KeyZeroCyclesTheAdjustTargetOnlyInModificationMode) {
    frame::keyDown(p, 0, false);
    EXPECT_EQ(p.input.adjustTarget, 0);
    p.input.panelModifyMode = true;
    p.input.adjustValue = 50;
    for (int i = 0; i < 7; ++i) frame::keyDown(p, 0, false);
    EXPECT_EQ(p.input.adjustTarget, 7);
    frame::keyDown(p, 0, false);
    EXPECT_EQ(p.input.adjustTarget, 0);
    EXPECT_EQ(p.input.adjustValue, 0);
}

TEST_F(FrameTest, PowerLimitModeStepsWithinItsRangeAndSoundsOnlyOnAChange) {
    p.input.powerLimitMode = 0;
    frame::keyDown(p, 10, false);
    EXPECT_EQ(p.input.powerLimitMode, 0);
    EXPECT_FALSE(p.input.triggers.step110.play);
    frame::keyUp(p, 10);
    frame::keyDown(p, 11, false);
    EXPECT_EQ(p.input.powerLimitMode, 1);
    EXPECT_TRUE(p.input.triggers.step109.play);
    frame::keyDown(p, 11, false);  // latched: no second step
    EXPECT_EQ(p.input.powerLimitMode, 1);
    frame::keyUp(p, 11);
    frame::keyDown(p, 11, false);
    frame::keyUp(p, 11);
    frame::keyDown(p, 11, false);
    EXPECT_EQ(p.input.powerLimitMode, 2);
}

TEST_F(FrameTest, EmergencyLatchKeyRaisesItsSoundPairs) {
    frame::keyDown(p, 9, false);
    EXPECT_TRUE(p.input.ebLatch);
    EXPECT_TRUE(p.input.triggers.ebOff228.stop);
    EXPECT_TRUE(p.input.triggers.ebOn227.play);
    EXPECT_TRUE(p.input.triggers.ebOn223.play);
    frame::keyUp(p, 9);
    frame::keyDown(p, 9, false);
    EXPECT_FALSE(p.input.ebLatch);
    EXPECT_TRUE(p.input.triggers.ebOn227.stop);
    EXPECT_TRUE(p.input.triggers.ebOff228.play);
    EXPECT_TRUE(p.input.triggers.ebOff224.play);
}

TEST_F(FrameTest, KeySevenActsOnReleaseAndLatchedKeysAreIndependent) {
    frame::keyDown(p, 7, false);
    EXPECT_FALSE(p.input.toggle7);
    frame::keyUp(p, 7);
    EXPECT_TRUE(p.input.toggle7);
    frame::keyDown(p, 12, false);
    frame::keyDown(p, 6, false);
    EXPECT_TRUE(p.input.toggle12);
    EXPECT_TRUE(p.input.toggle6);
}

TEST_F(FrameTest, KeysOutsideTheTablesAreIgnored) {
    const frame::InputState before = p.input;
    for (int32_t key : {1, 2, 3, 4, 13, 255, 256, -1, std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max()}) {
        frame::keyDown(p, key, false);
        frame::keyUp(p, key);
    }
    EXPECT_EQ(p.input.toggle5, before.toggle5);
    EXPECT_EQ(p.input.powerLimitMode, before.powerLimitMode);
    EXPECT_FALSE(p.input.triggers.switchOn107.play);
}

TEST_F(FrameTest, BrakeMovesRaiseTheirSounds) {
    frame::setBrake(p, 9, frame::PlatformKeyboard);
    frame::setBrake(p, 8, frame::PlatformKeyboard);
    EXPECT_TRUE(p.input.triggers.brakeFromEmergency220.play);
    EXPECT_FALSE(p.input.triggers.brakeStep244.play);
    frame::setBrake(p, 7, frame::PlatformKeyboard);
    frame::setBrake(p, 8, frame::PlatformKeyboard);
    EXPECT_TRUE(p.input.triggers.brakeStep244.play);
    frame::setBrake(p, 3, frame::PlatformKeyboard);
    frame::setBrake(p, 0, frame::PlatformKeyboard);
    EXPECT_TRUE(p.input.triggers.brakeReleased243.play);
    EXPECT_EQ(p.input.driverHandles.brake, 0);
}

TEST_F(FrameTest, NegativePowerIsClearedByAPositivePowerAtStandstill) {
    frame::setPower(p, -1);
    EXPECT_TRUE(p.input.negativePowerActive);
    EXPECT_EQ(p.input.driverHandles.power, -1);
    p.sim.frame.absoluteSpeed = 20.0f;
    p.sim.traction.motorCurrent = 100.0f;
    frame::setPower(p, 0);
    EXPECT_TRUE(p.input.negativePowerActive);  // moving with current: stays
    p.sim.frame.absoluteSpeed = 0.0f;
    frame::setPower(p, 0);
    EXPECT_FALSE(p.input.negativePowerActive);
}

TEST_F(FrameTest, NegativePowerIsClearedByTheBrakeUnlessSwitchEightIsOn) {
    frame::setPower(p, -1);
    p.input.toggle8 = true;
    frame::setBrake(p, 2, frame::PlatformKeyboard);  // power still negative: stays
    EXPECT_TRUE(p.input.negativePowerActive);
    p.input.driverHandles.power = 0;
    frame::setBrake(p, 3, frame::PlatformKeyboard);
    EXPECT_TRUE(p.input.negativePowerActive);  // switch 8 keeps it
    p.input.toggle8 = false;
    frame::setBrake(p, 4, frame::PlatformKeyboard);
    EXPECT_FALSE(p.input.negativePowerActive);
}

TEST_F(FrameTest, ReverserZeroClearsTheRegenerationMatch) {
    p.input.regenerationMatch = true;
    frame::setReverser(p, 1);
    EXPECT_TRUE(p.input.regenerationMatch);
    frame::setReverser(p, 0);
    EXPECT_FALSE(p.input.regenerationMatch);
}

TEST_F(FrameTest, DoorsGateTheReverser) {
    frame::setReverser(p, 1);
    EXPECT_EQ(frameAt(100).reverser, 0);  // doors never reported closed
    frame::doorClose(p);
    EXPECT_EQ(frameAt(120).reverser, 1);
    frame::doorOpen(p);
    EXPECT_EQ(frameAt(140).reverser, 0);
}

TEST_F(FrameTest, InitializeResetsOnlyThePeakCurrent) {
    frame::keyDown(p, 5, false);
    p.input.powerLimitMode = 1;
    p.input.peakCurrent = 300.0f;
    frame::initialize(p, 0);
    frame::initialize(p, 1);
    EXPECT_TRUE(p.input.toggle5);
    EXPECT_EQ(p.input.powerLimitMode, 1);
    EXPECT_EQ(p.input.peakCurrent, 0.0f);
}

TEST_F(FrameTest, LoadSetsTheStartValuesAndKeepsTheRest) {
    // A copy of the sample vehicle: Load writes its start-up log into the plug-in directory.
    const platform::Path dir = std::filesystem::temp_directory_path() / "corvane-frame-load";
    std::filesystem::remove_all(dir);
    std::filesystem::copy(platform::Path(SAMPLE_VEHICLE_DIR), dir, std::filesystem::copy_options::recursive);
    p.pluginDirectory = dir / "plugin" / "";
    frame::keyDown(p, 5, false);
    frame::keyDown(p, 12, false);
    frame::keyDown(p, 9, false);
    frame::doorClose(p);
    p.input.negativePowerActive = true;
    p.input.panelModifyMode = true;
    frame::load(p);
    EXPECT_FALSE(p.input.toggle5);
    EXPECT_FALSE(p.input.negativePowerActive);
    EXPECT_EQ(p.input.powerLimitMode, 2);
    EXPECT_FALSE(p.input.panelModifyMode);  // the sample vehicle has no PanelModify.txt
    EXPECT_GE(p.sim.instruments.nominalVoltage, 1400.0f);
    EXPECT_LT(p.sim.instruments.nominalVoltage, 1600.0f);
    // Kept: the doors, the latch switch, toggle12 and the key latches.
    EXPECT_TRUE(p.input.doorsClosed);
    EXPECT_TRUE(p.input.ebLatch);
    EXPECT_TRUE(p.input.toggle12);
    EXPECT_TRUE(p.input.keyLatch5);
    // A route reload (Dispose, then Load in the same process) reads the vehicle again and keeps the
    // switches and the doors: the host reports doors only when they change.
    frame::keyDown(p, 6, false);
    frame::dispose(p);
    frame::load(p);
    EXPECT_TRUE(p.input.keyLatch6);
    EXPECT_TRUE(p.input.ebLatch);
    EXPECT_GT(p.config.powerNotchCount, 0u);
    EXPECT_TRUE(p.input.doorsClosed);
    frame::dispose(p);
    std::filesystem::remove_all(dir);
}

TEST_F(FrameTest, ANotchFileErrorEndsLoadBeforeTheLaterSteps) {
    // No Notch.txt: the power parameter file cannot be read, which ends Load in step 2, so the
    // switch file test, the needle tables and the start values never run.
    const platform::Path dir = std::filesystem::temp_directory_path() / "corvane-frame-load-order";
    std::filesystem::create_directories(dir / "plugin");
    { std::FILE* f = std::fopen((dir / "PanelModify.txt").c_str(), "w"); if (f) std::fclose(f); }
    p.pluginDirectory = dir / "plugin" / "";
    p.input.powerLimitMode = 0;
    p.input.toggle5 = true;
    EXPECT_THROW(frame::load(p), config::ConfigError);
    EXPECT_FALSE(p.input.panelModifyMode);
    EXPECT_EQ(p.input.powerLimitMode, 0);
    EXPECT_TRUE(p.input.toggle5);
    std::filesystem::remove_all(dir);
}

TEST(FrameBadInput, VehicleSpecsOutsideTheUsefulRangeAreSafe) {
    for (int32_t notches : {0, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 100000}) {
        frame::Plugin p;
        frame::setVehicleSpec(p, host::VehicleSpec{notches, 0, 0, 0, 1});
        EXPECT_GE(p.input.serviceNotches, 0);
        EXPECT_LE(p.input.serviceNotches, frame::MaxServiceNotches);
        EXPECT_EQ(p.input.emergencyNotch, p.input.serviceNotches + 1);
        EXPECT_LE(p.input.brakePressureTable.entries.size(), static_cast<size_t>(frame::MaxServiceNotches) + 1);
        int32_t panel[256] = {}, sound[256] = {};
        host::VehicleState state{};
        for (int32_t b : {0, 1, notches, -5, std::numeric_limits<int32_t>::max()}) {
            frame::setBrake(p, b, frame::PlatformKeyboard);
            state.time += 20;
            frame::elapse(p, state, panel, sound, sim::FrameKeys{});
        }
    }
}

TEST(FrameBadInput, AFrameBeforeSetVehicleSpecIsSafe) {
    frame::Plugin p;
    int32_t panel[256] = {}, sound[256] = {};
    host::VehicleState state{};
    state.time = 20;
    state.speed = std::numeric_limits<float>::quiet_NaN();
    frame::setPower(p, std::numeric_limits<int32_t>::min());
    frame::setBrake(p, std::numeric_limits<int32_t>::max(), frame::PlatformKeyboard);
    host::Handles out = frame::elapse(p, state, panel, sound, sim::FrameKeys{});
    EXPECT_EQ(out.auxCommand, 0);
}

}  // namespace
