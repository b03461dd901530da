// The entry points' own work: sound requests, cab switches with their latches, handle inputs,
// the VehicleSpec record, and what Load and Initialize keep.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>

#include "config/config_error.h"
#include "config/notch_config.h"
#include "corvane/lifecycle.h"

namespace {

using host::SoundContinue;
using host::SoundPlayOnce;
using host::SoundStop;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::VehicleSpec spec{8, 0, 0, 0, 4};
        corvane::setVehicleSpec(p, spec);
    }

    // One frame at the given time; returns the handles.
    host::Handles frameAt(int32_t time, float speed = 0.0f) {
        host::VehicleState state{};
        state.time = time;
        state.speed = speed;
        return corvane::elapse(p, state, panel, sound, sim::FrameKeys{});
    }

    corvane::Plugin p;
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
    corvane::doorClose(p);
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

// Each switch flips once per press however often the host repeats KeyDown, and sounds as it flips;
// switch 7 flips on release. The needle adjustment moves on every repeat.
TEST_F(FrameTest, EachSwitchFlipsOncePerPressWithItsSounds) {
    using namespace host::KeyIndex;
    using In = sim::InputState;
    using T = sim::SoundTriggers;
    const struct {
        int key;
        bool In::*toggle;
        host::SoundTrigger T::*on, T::*off;
        bool stopsTheOther = false;  // the held sounds of the emergency latch replace each other
    } rows[] = {{Switch5, &In::toggle5, &T::cabSwitchOn, &T::cabSwitchOff},
                {Switch6, &In::toggle6, &T::switchSixOnOrLimitDown, &T::switchSixOffOrLimitUp},
                {Switch8, &In::toggle8, &T::cabSwitchOn, &T::cabSwitchOff},
                {Switch12, &In::toggle12, &T::cabSwitchOn, &T::cabSwitchOff},
                {EmergencyLatch, &In::ebLatch, &T::emergencyLatchSet, &T::emergencyLatchReleased},
                {EmergencyLatch, &In::ebLatch, &T::emergencyLatchSetHeld, &T::emergencyLatchReleasedHeld, true}};
    for (const auto& row : rows) {
        p = corvane::Plugin{};
        for (int i = 0; i < 2; ++i) corvane::keyDown(p, row.key, false);
        EXPECT_TRUE(p.input.*row.toggle && (p.input.triggers.*row.on).play) << row.key;
        EXPECT_EQ((p.input.triggers.*row.off).stop, row.stopsTheOther) << row.key;
        corvane::keyUp(p, row.key);
        corvane::keyDown(p, row.key, false);
        EXPECT_TRUE(!(p.input.*row.toggle) && (p.input.triggers.*row.off).play) << row.key;
        EXPECT_EQ((p.input.triggers.*row.on).stop, row.stopsTheOther) << row.key;
    }
    corvane::keyDown(p, Switch7, false);
    EXPECT_FALSE(p.input.toggle7);
    corvane::keyUp(p, Switch7);
    EXPECT_TRUE(p.input.toggle7);
    p.input.panelModifyMode = true;
    p.input.adjustTarget = 3;
    for (int i = 0; i < 3; ++i) corvane::keyDown(p, Switch5, false);
    EXPECT_EQ(p.input.adjustValue, 30);
}

TEST_F(FrameTest, ShiftHeldMakesKeysFiveAndSixDoNothing) {
    p.input.panelModifyMode = true;
    p.input.adjustTarget = 5;
    corvane::keyDown(p, 5, true);
    corvane::keyDown(p, 6, true);
    EXPECT_FALSE(p.input.toggle5);
    EXPECT_FALSE(p.input.toggle6);
    EXPECT_FALSE(p.input.keysHeld.test(host::KeyIndex::Switch5));
    EXPECT_EQ(p.input.adjustValue, 0);
    corvane::keyDown(p, 6, false);
    EXPECT_TRUE(p.input.toggle6);
    EXPECT_TRUE(p.input.triggers.switchSixOnOrLimitDown.play);
    EXPECT_EQ(p.input.adjustValue, -100);  // the speed needle moves in hundreds
}

TEST_F(FrameTest, KeyZeroCyclesTheAdjustTargetOnlyInModificationMode) {
    corvane::keyDown(p, 0, false);
    EXPECT_EQ(p.input.adjustTarget, 0);
    p.input.panelModifyMode = true;
    p.input.adjustValue = 50;
    for (int i = 0; i < 7; ++i) corvane::keyDown(p, 0, false);
    EXPECT_EQ(p.input.adjustTarget, 7);
    corvane::keyDown(p, 0, false);
    EXPECT_EQ(p.input.adjustTarget, 0);
    EXPECT_EQ(p.input.adjustValue, 0);
}

TEST_F(FrameTest, PowerLimitModeStepsWithinItsRangeAndSoundsOnlyOnAChange) {
    p.input.powerLimitMode = 0;
    corvane::keyDown(p, 10, false);
    EXPECT_EQ(p.input.powerLimitMode, 0);
    EXPECT_FALSE(p.input.triggers.switchSixOnOrLimitDown.play);
    corvane::keyUp(p, 10);
    corvane::keyDown(p, 11, false);
    EXPECT_EQ(p.input.powerLimitMode, 1);
    EXPECT_TRUE(p.input.triggers.switchSixOffOrLimitUp.play);
    corvane::keyDown(p, 11, false);  // latched: no second step
    EXPECT_EQ(p.input.powerLimitMode, 1);
    corvane::keyUp(p, 11);
    corvane::keyDown(p, 11, false);
    corvane::keyUp(p, 11);
    corvane::keyDown(p, 11, false);
    EXPECT_EQ(p.input.powerLimitMode, 2);
}

TEST_F(FrameTest, KeysOutsideTheTablesAreIgnored) {
    const sim::InputState before = p.input;
    for (int32_t key :
         {1, 2, 3, 4, 13, 255, 256, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        corvane::keyDown(p, key, false);
        corvane::keyUp(p, key);
    }
    EXPECT_EQ(p.input.toggle5, before.toggle5);
    EXPECT_EQ(p.input.powerLimitMode, before.powerLimitMode);
    EXPECT_FALSE(p.input.triggers.cabSwitchOn.play);
}

TEST_F(FrameTest, BrakeMovesRaiseTheirSounds) {
    corvane::setBrake(p, 9, corvane::PlatformKeyboard);
    corvane::setBrake(p, 8, corvane::PlatformKeyboard);
    EXPECT_TRUE(p.input.triggers.brakeFromEmergency.play);
    EXPECT_FALSE(p.input.triggers.brakeStep.play);
    corvane::setBrake(p, 7, corvane::PlatformKeyboard);
    corvane::setBrake(p, 8, corvane::PlatformKeyboard);
    EXPECT_TRUE(p.input.triggers.brakeStep.play);
    corvane::setBrake(p, 3, corvane::PlatformKeyboard);
    corvane::setBrake(p, 0, corvane::PlatformKeyboard);
    EXPECT_TRUE(p.input.triggers.brakeToRelease.play);
    EXPECT_EQ(p.input.driverHandles.brake, 0);
}

TEST_F(FrameTest, NegativePowerIsClearedByAPositivePowerAtStandstill) {
    corvane::setPower(p, -1);
    EXPECT_TRUE(p.input.negativePowerActive);
    EXPECT_EQ(p.input.driverHandles.power, -1);
    p.sim.frame.absoluteSpeed = 20.0f;
    p.sim.traction.motorCurrent = 100.0f;
    corvane::setPower(p, 0);
    EXPECT_TRUE(p.input.negativePowerActive);  // moving with current: stays
    p.sim.frame.absoluteSpeed = 0.0f;
    corvane::setPower(p, 0);
    EXPECT_FALSE(p.input.negativePowerActive);
}

TEST_F(FrameTest, NegativePowerIsClearedByTheBrakeUnlessSwitchEightIsOn) {
    corvane::setPower(p, -1);
    p.input.toggle8 = true;
    corvane::setBrake(p, 2, corvane::PlatformKeyboard);  // power still negative: stays
    EXPECT_TRUE(p.input.negativePowerActive);
    p.input.driverHandles.power = 0;
    corvane::setBrake(p, 3, corvane::PlatformKeyboard);
    EXPECT_TRUE(p.input.negativePowerActive);  // switch 8 keeps it
    p.input.toggle8 = false;
    corvane::setBrake(p, 4, corvane::PlatformKeyboard);
    EXPECT_FALSE(p.input.negativePowerActive);
}

TEST_F(FrameTest, DoorsGateTheReverser) {
    corvane::setReverser(p, 1);
    EXPECT_EQ(frameAt(100).reverser, 0);  // doors never reported closed
    corvane::doorClose(p);
    EXPECT_EQ(frameAt(120).reverser, 1);
    corvane::doorOpen(p);
    EXPECT_EQ(frameAt(140).reverser, 0);
}

TEST_F(FrameTest, InitializeKeepsTheCabSwitches) {
    corvane::keyDown(p, host::KeyIndex::Switch5, false);
    corvane::initialize(p, 1);
    frameAt(100);
    EXPECT_EQ(panel[host::PanelIndex::SwitchFiveOnly], 1);
}

TEST_F(FrameTest, LoadSetsTheStartValuesAndKeepsTheRest) {
    // A copy of the sample vehicle: Load writes its start-up log into the plug-in directory.
    const platform::Path dir = std::filesystem::temp_directory_path() / "corvane-frame-load";
    std::filesystem::remove_all(dir);
    std::filesystem::copy(platform::Path(SAMPLE_VEHICLE_DIR), dir, std::filesystem::copy_options::recursive);
    p.pluginDirectory = dir / "plugin" / "";
    corvane::keyDown(p, 5, false);
    corvane::keyDown(p, 12, false);
    corvane::keyDown(p, 9, false);
    corvane::doorClose(p);
    p.input.negativePowerActive = true;
    p.input.panelModifyMode = true;
    corvane::load(p);
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
    EXPECT_TRUE(p.input.keysHeld.test(host::KeyIndex::Switch5));
    // A route reload (Dispose, then Load in the same process) reads the vehicle again and keeps the
    // switches and the doors: the host reports doors only when they change.
    corvane::keyDown(p, 6, false);
    corvane::dispose(p);
    corvane::load(p);
    EXPECT_TRUE(p.input.keysHeld.test(host::KeyIndex::Switch6));
    EXPECT_TRUE(p.input.ebLatch);
    EXPECT_GT(p.config.powerNotchCount, 0u);
    EXPECT_TRUE(p.input.doorsClosed);
    corvane::dispose(p);
    std::filesystem::remove_all(dir);
}

TEST_F(FrameTest, ANotchFileErrorEndsLoadBeforeTheLaterSteps) {
    // No Notch.txt: the power parameter file cannot be read, which ends Load in step 2, so the
    // switch file test, the needle tables and the start values never run.
    const platform::Path dir = std::filesystem::temp_directory_path() / "corvane-frame-load-order";
    std::filesystem::create_directories(dir / "plugin");
    {
        std::FILE* f = std::fopen((dir / "PanelModify.txt").c_str(), "w");
        if (f) std::fclose(f);
    }
    p.pluginDirectory = dir / "plugin" / "";
    p.input.powerLimitMode = 0;
    p.input.toggle5 = true;
    EXPECT_THROW(corvane::load(p), config::ConfigError);
    EXPECT_FALSE(p.input.panelModifyMode);
    EXPECT_EQ(p.input.powerLimitMode, 0);
    EXPECT_TRUE(p.input.toggle5);
    std::filesystem::remove_all(dir);
}

TEST(FrameBadInput, VehicleSpecsOutsideTheUsefulRangeAreSafe) {
    for (int32_t notches : {0, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 100000}) {
        corvane::Plugin p;
        corvane::setVehicleSpec(p, host::VehicleSpec{notches, 0, 0, 0, 1});
        EXPECT_GE(p.input.serviceNotches, 0);
        EXPECT_LE(p.input.serviceNotches, corvane::MaxServiceNotches);
        EXPECT_EQ(p.input.emergencyNotch, p.input.serviceNotches + 1);
        EXPECT_LE(p.input.brakePressureTable.entries.size(), static_cast<size_t>(corvane::MaxServiceNotches) + 1);
        int32_t panel[256] = {}, sound[256] = {};
        host::VehicleState state{};
        for (int32_t b : {0, 1, notches, -5, std::numeric_limits<int32_t>::max()}) {
            corvane::setBrake(p, b, corvane::PlatformKeyboard);
            state.time += 20;
            corvane::elapse(p, state, panel, sound, sim::FrameKeys{});
        }
    }
}

TEST(FrameBadInput, AFrameBeforeSetVehicleSpecIsSafe) {
    corvane::Plugin p;
    int32_t panel[256] = {}, sound[256] = {};
    host::VehicleState state{};
    state.time = 20;
    state.speed = std::numeric_limits<float>::quiet_NaN();
    corvane::setPower(p, std::numeric_limits<int32_t>::min());
    corvane::setBrake(p, std::numeric_limits<int32_t>::max(), corvane::PlatformKeyboard);
    host::Handles out = corvane::elapse(p, state, panel, sound, sim::FrameKeys{});
    EXPECT_EQ(out.auxCommand, 0);
}

}  // namespace
