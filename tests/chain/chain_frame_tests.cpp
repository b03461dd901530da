// The chained libraries seen through Corvane's entry points: where each call is passed on relative
// to Corvane's own work, and the first frames of a chained Elapse.
#include <gtest/gtest.h>

#include "chain_test_support.h"
#include "config/config_error.h"
#include "corvane/lifecycle.h"
#include "tests/sim/test_keyboard.h"

namespace {

using chaintest::Calls;

class ChainFrameTest : public chaintest::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        p.pluginDirectory = pluginDirectory;
    }

    void TearDown() override {
        chain::disposeChainedPlugins(p.chain);
        ScratchFolder::TearDown();
    }

    // The chained libraries are loaded in the first step of Load, whatever the later steps make of
    // a folder without vehicle files.
    void load() {
        try {
            corvane::load(p);
        } catch (const config::ConfigError&) {
        }
    }

    host::Handles frame() {
        host::VehicleState state{};
        state.time = time += 20;
        return corvane::elapse(p, state, panel, sound, sim::FrameKeys{false, &keyboard});
    }

    corvane::Plugin p;
    simtest::TestKeyboard keyboard;
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    int32_t time = 1000;
};

TEST_F(ChainFrameTest, LoadCallsTheChainedLoadBeforeAnythingElse) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\n");
    int32_t powerLimitModeSeen = -1;
    chaintest::probeHandler() = [&](const std::string& entry, int32_t) {
        if (entry == "Load") powerLimitModeSeen = p.input.powerLimitMode;
    };
    load();
    EXPECT_EQ(takeCalls(), (Calls{"A Load"}));
    EXPECT_EQ(powerLimitModeSeen, 0);  // the start values come later in Load
    EXPECT_EQ(corvane::getPluginVersion(p), host::PluginInterfaceVersion);
    EXPECT_EQ(takeCalls(), (Calls{"A GetPluginVersion"}));
}

TEST_F(ChainFrameTest, EntryPointsPassTheCallOnBeforeTheirOwnWork) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\n");
    load();
    takeLog();
    std::vector<std::string> seen;
    chaintest::probeHandler() = [&](const std::string& entry, int32_t) {
        const sim::InputState& in = p.input;
        if (entry == "SetVehicleSpec") seen.push_back("notches " + std::to_string(in.serviceNotches));
        if (entry == "Initialize") seen.push_back("peak " + std::to_string(static_cast<int>(in.peakCurrent)));
        if (entry == "KeyDown") seen.push_back(std::string("toggle5 ") + (in.toggle5 ? "on" : "off"));
        if (entry == "KeyUp") seen.push_back(std::string("toggle7 ") + (in.toggle7 ? "on" : "off"));
        if (entry == "DoorOpen" || entry == "DoorClose") seen.push_back(in.doorsClosed ? "closed" : "open");
    };
    corvane::setVehicleSpec(p, host::VehicleSpec{8, 0, 0, 0, 4});
    p.input.peakCurrent = 5.0f;
    corvane::initialize(p, 3);
    corvane::keyDown(p, 5, false);
    corvane::keyUp(p, 7);
    corvane::doorClose(p);
    corvane::doorOpen(p);
    corvane::hornBlow(p, 2);
    corvane::setSignal(p, 3);
    corvane::setBeaconData(p, host::BeaconData{7, 1, 2.5f, 30});
    // The handle inputs are kept for the next frame.
    corvane::setPower(p, 2);
    corvane::setBrake(p, 3, &keyboard);
    corvane::setReverser(p, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"notches 0", "peak 5", "toggle5 off", "toggle7 off", "open", "closed"}));
    EXPECT_EQ(takeCalls(),
              (Calls{"A SetVehicleSpec 8 0 0 0 4", "A Initialize 3", "A KeyDown 5", "A KeyUp 7", "A DoorClose",
                     "A DoorOpen", "A HornBlow 2", "A SetSignal 3", "A SetBeaconData 7 1 2.50 30"}));
    EXPECT_TRUE(p.input.toggle5);
    EXPECT_TRUE(p.input.toggle7);
    EXPECT_EQ(p.input.peakCurrent, 0.0f);
}

TEST_F(ChainFrameTest, TheChainedStepRunsInsideTheFrameBeforeCorvanesOwnPanelWork) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A", "panel=42:99\npanel=3:1\n");
    writeList("a.so\n");
    load();
    corvane::setVehicleSpec(p, host::VehicleSpec{8, 0, 0, 0, 4});
    corvane::setPower(p, 2);
    takeLog();
    uint32_t counterSeen = 0;
    int32_t lampSeen = -1;
    chaintest::probeHandler() = [&](const std::string& entry, int32_t) {
        if (entry != "Elapse") return;
        counterSeen = p.sim.frame.frameCounter;
        lampSeen = panel[42];
    };
    frame();
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 2", "A SetBrake 0", "A SetReverser 0", "A Elapse"}));
    EXPECT_EQ(counterSeen, 1u);  // the frame counter has advanced
    EXPECT_EQ(lampSeen, 99);     // the library wrote its value; Corvane had not yet written its own
    EXPECT_EQ(panel[42], 1);     // Corvane's value wins
    EXPECT_EQ(panel[68], 1);     // Corvane read the library's panel 3
    frame();
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse"}));
}

TEST_F(ChainFrameTest, ABrakeStepHeldBackByTheKeyboardReachesTheLibraryOnRelease) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\n");
    load();
    corvane::setVehicleSpec(p, host::VehicleSpec{14, 0, 0, 0, 4});
    const int brakeKey = 0x28;
    keyboard.hold(brakeKey);
    corvane::setBrake(p, 1, &keyboard);
    takeLog();
    frame();  // the first frame hands the brake over although the gate is closed
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 0", "A SetBrake 1", "A SetReverser 0", "A Elapse"}));

    keyboard.releaseAll();
    corvane::setBrake(p, 0, &keyboard);
    frame();
    EXPECT_EQ(takeCalls(), (Calls{"A SetBrake 0", "A Elapse"}));
    keyboard.hold(brakeKey);
    corvane::setBrake(p, 1, &keyboard);
    frame();
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse"}));  // held back while the key is down
    keyboard.hold(brakeKey, false);
    frame();
    EXPECT_EQ(takeCalls(), (Calls{"A SetBrake 1", "A Elapse"}));
}

TEST_F(ChainFrameTest, GetPluginVersionFailsForAnotherVersionAndDisposeReleasesAll) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    const chaintest::fs::path old = install(CHAIN_OLD_VERSION_PLUGIN, "old.so", "O");
    writeList("a.so\nold.so\n");
    load();
    EXPECT_THROW(corvane::getPluginVersion(p), chain::VersionError);
    takeLog();
    corvane::dispose(p);
    EXPECT_EQ(takeCalls(), (Calls{"A Dispose", "O Dispose"}));
    EXPECT_TRUE(p.chain.chainedPlugins.empty());
    EXPECT_FALSE(chaintest::isMapped(old));
}

}  // namespace
