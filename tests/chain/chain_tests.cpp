// The chained libraries through chain's own functions: the list file, loading, the chained step
// with its resync, gates, de-duplication and pipeline, forwarding, the version check and release.
#include <gtest/gtest.h>

#include "chain_test_support.h"

namespace {

using chaintest::Calls;
namespace fs = std::filesystem;
using host::Handles;

class ChainTest : public chaintest::ScratchFolder {
protected:
    void TearDown() override {
        chain::disposeChainedPlugins(chain);
        ScratchFolder::TearDown();
    }

    void load() { chain::loadChainedPlugins(chain, pluginDirectory); }

    Handles step(int32_t power, int32_t brake, int32_t reverser, chain::Gates gates = {}) {
        host::VehicleState state{};
        state.time = ++time;
        return chain::stepChainedPlugins(chain, state, panel, sound, power, brake, reverser, gates);
    }

    chain::ChainState chain;
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    int32_t time = 0;
};

// ---- The list file -----------------------------------------------------------------------------

TEST_F(ChainTest, NoListFileLeavesTheChainEmptyAndTheHandlesZero) {
    load();
    EXPECT_TRUE(chain.chainedPlugins.empty());
    const Handles out = step(3, 2, 1);
    EXPECT_EQ(out.power, 0);
    EXPECT_EQ(out.brake, 0);
    EXPECT_EQ(out.reverser, 0);
    EXPECT_TRUE(chain.chainResyncPending);  // only a frame with libraries uses up the resync
}

TEST_F(ChainTest, LinesThatNameNoLibraryAreSkippedAndTheOthersLoadInOrder) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B", "", pluginDirectory / "sub");
    const fs::path absolute = install(CHAIN_RECORDING_PLUGIN, "c.so", "C", "", root / "elsewhere");
    fs::create_directories(pluginDirectory / "folder.so");
    writeFile(pluginDirectory / "notes.so", "this is not a library\n");
    const std::string longLine(100000, 'x');
    std::string list;
    list += "\n";                                 // the plug-in folder itself
    list += "missing.so\n";                       // nothing there
    list += "a.so\n";                             // relative
    list += "folder.so\n";                        // a directory
    list += "notes.so\n";                         // not a library
    list += longLine + "\n";                      // longer than any path
    list += std::string("a.so\0junk", 9) + "\n";  // a NUL cuts no name short
    list += "sub\\b.so\n";                        // either separator
    list += absolute.string() + "\n";             // absolute
    list += "../plugin/sub/./b.so";               // last line without a line end
    writeList(list);
    load();
    // b.so listed twice is one library: its Load runs for each line, but it is chained once.
    ASSERT_EQ(chain.chainedPlugins.size(), 3u);
    EXPECT_EQ(takeCalls(), (Calls{"A Load", "B Load", "C Load", "B Load"}));
}

TEST_F(ChainTest, ByteOrderMarkAndCrLfLineEndsReadLikePlainLines) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B");
    writeList(
        "\xEF\xBB\xBF"
        "a.so\r\nb.so\r\n");
    load();
    EXPECT_EQ(takeCalls(), (Calls{"A Load", "B Load"}));
}

TEST_F(ChainTest, EachLoadRunsBeforeTheNextLineIsTried) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\nlate.so\n");
    // late.so only exists once A's Load has run.
    chaintest::probeHandler() = [&](const std::string& entry, int32_t) {
        if (entry == "Load" && !fs::exists(pluginDirectory / "late.so"))
            install(CHAIN_RECORDING_PLUGIN, "late.so", "L");
    };
    load();
    EXPECT_EQ(takeCalls(), (Calls{"A Load", "L Load"}));
}

TEST_F(ChainTest, ALibraryWithSomeEntryPointsStaysAndOneWithNoneIsDropped) {
    install(CHAIN_PARTIAL_PLUGIN, "partial.so", "P");
    fs::copy_file(CHAIN_EMPTY_PLUGIN, pluginDirectory / "empty.so");
    writeList("partial.so\nempty.so\n");
    load();
    ASSERT_EQ(chain.chainedPlugins.size(), 1u);
    const chain::ChainedPlugin& partial = chain.chainedPlugins[0];
    EXPECT_EQ(partial.load, nullptr);
    EXPECT_EQ(partial.elapse, nullptr);
    EXPECT_NE(partial.setPower, nullptr);
    EXPECT_NE(partial.dispose, nullptr);
    EXPECT_FALSE(chaintest::isMapped(pluginDirectory / "empty.so"));
    EXPECT_TRUE(takeLog().empty());

    // Every call is skipped where the entry is missing; nothing changes the handles.
    chain::forwardKeyDown(chain, 4);
    chain::forwardHornBlow(chain, 1);
    EXPECT_NO_THROW(chain::checkChainedVersions(chain));
    const Handles out = step(2, 3, 1);
    EXPECT_EQ(out.power, 0);
    EXPECT_EQ(takeCalls(), (Calls{"P KeyDown 4", "P SetPower 2", "P SetBrake 3"}));
    EXPECT_EQ(partial.lastReverserSent, 1);  // recorded although the library has no SetReverser
}

// A library that is no plug-in, listed first, would hold the driver's handles after the first
// frame: the plug-in behind it must go on receiving every change.
TEST_F(ChainTest, TheDriversHandlesReachThePlugInBehindALibraryThatIsNone) {
    fs::copy_file(CHAIN_EMPTY_PLUGIN, pluginDirectory / "empty.so");
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("empty.so\na.so\n");
    load();
    ASSERT_EQ(chain.chainedPlugins.size(), 1u);
    takeCalls();
    step(0, 0, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 0", "A SetBrake 0", "A SetReverser 1", "A Elapse"}));
    const Handles out = step(4, 0, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 4", "A Elapse"}));
    EXPECT_EQ(out.power, 4);
    step(0, 8, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 0", "A SetBrake 8", "A Elapse"}));
}

TEST_F(ChainTest, ALoadThatCallsBackIntoTheLoadingDropsThatLibrary) {
    install(CHAIN_RECORDING_PLUGIN, "self.so", "S");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B");
    writeList("self.so\nb.so\n");
    int nestedLoads = 0;
    chaintest::probeHandler() = [&](const std::string& entry, int32_t) {
        if (entry == "Load" && nestedLoads++ == 0) chain::loadChainedPlugins(chain, pluginDirectory);
    };
    load();
    ASSERT_EQ(chain.chainedPlugins.size(), 1u);
    EXPECT_EQ(takeCalls(), (Calls{"S Load", "B Load"}));
    EXPECT_FALSE(chaintest::isMapped(pluginDirectory / "self.so"));
    EXPECT_FALSE(chain.chainedLoadRunning);
}

// ---- The chained step --------------------------------------------------------------------------

TEST_F(ChainTest, FirstFrameHandsOverEveryPositionThenOnlyChanges) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\n");
    load();
    takeLog();
    chain::Gates closed;
    closed.power = closed.brake = closed.reverser = false;
    step(0, 0, 0, closed);  // zeros, and the gates do not hold the first frame back
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 0", "A SetBrake 0", "A SetReverser 0", "A Elapse"}));
    EXPECT_FALSE(chain.chainResyncPending);
    step(0, 0, 0);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse"}));
    step(2, 0, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 2", "A SetReverser 1", "A Elapse"}));
    const Handles out = step(2, 5, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A SetBrake 5", "A Elapse"}));
    EXPECT_EQ(out.power, 2);
    EXPECT_EQ(out.brake, 5);
    EXPECT_EQ(out.reverser, 1);
}

TEST_F(ChainTest, ABrakeChangeHeldByTheGateIsHandedOverWhenTheGateOpens) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\n");
    load();
    step(0, 3, 0);
    takeLog();
    chain::Gates brakeClosed;
    brakeClosed.brake = false;
    step(1, 4, 0, brakeClosed);  // power passes, the brake waits
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 1", "A Elapse"}));
    EXPECT_EQ(chain.chainedPlugins[0].lastBrakeSent, 3);
    step(1, 5, 0, brakeClosed);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse"}));
    step(1, 5, 0);
    EXPECT_EQ(takeCalls(), (Calls{"A SetBrake 5", "A Elapse"}));
    // Back at the value last sent before the gate opens: nothing to hand over.
    step(1, 6, 0, brakeClosed);
    step(1, 5, 0);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse", "A Elapse"}));
}

TEST_F(ChainTest, LaterLibrariesReceiveTheResultOfTheOneBeforeOnlyWhenItChanges) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A", "mode=offset\npower=1\nbrake=2\n");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B", "mode=offset\nreverser=-1\n");
    writeList("a.so\nb.so\n");
    load();
    takeLog();
    Handles out = step(0, 0, 1);
    // The first frame gives every library the driver's positions.
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 0", "A SetBrake 0", "A SetReverser 1", "A Elapse", "B SetPower 0",
                                  "B SetBrake 0", "B SetReverser 1", "B Elapse"}));
    EXPECT_EQ(out.power, 0);  // B's result: B was told the driver's power 0
    EXPECT_EQ(out.reverser, 0);
    out = step(0, 0, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse", "B SetPower 1", "B SetBrake 2", "B Elapse"}));
    EXPECT_EQ(out.power, 1);
    EXPECT_EQ(out.brake, 2);
    EXPECT_EQ(out.reverser, 0);
    out = step(0, 0, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse", "B Elapse"}));
    out = step(3, 0, 1);
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 3", "A Elapse", "B SetPower 4", "B Elapse"}));
    EXPECT_EQ(out.power, 4);
    EXPECT_EQ(chain.chainHandles.power, 4);
}

TEST_F(ChainTest, ALibraryWithoutElapsePassesOnWhatTheHandlesHeld) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A", "mode=fixed\npower=2\nbrake=1\nreverser=1\n");
    install(CHAIN_PARTIAL_PLUGIN, "p.so", "P");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B");
    writeList("a.so\np.so\nb.so\n");
    load();
    step(0, 0, 0);
    takeLog();
    const Handles out = step(0, 0, 0);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse", "P SetPower 2", "P SetBrake 1", "B SetPower 2", "B SetBrake 1",
                                  "B SetReverser 1", "B Elapse"}));
    EXPECT_EQ(chain.chainedPlugins[1].lastReverserSent, 1);
    EXPECT_EQ(out.power, 2);
    EXPECT_EQ(out.brake, 1);
    EXPECT_EQ(out.reverser, 1);
}

TEST_F(ChainTest, EveryLibraryGetsTheSameStateAndArraysAndTheHandlesAreKept) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A", "mode=fixed\nbrake=4\naux=9\npanel=3:1\npanel=10:5\nsound=7:2\n");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B", "panel=10:6\n");
    writeList("a.so\nb.so\n");
    load();
    takeLog();
    host::VehicleState state{};
    state.location = 123.5;
    state.speed = -4.25f;
    state.time = 777;
    state.current = -12.5f;
    const Handles out = chain::stepChainedPlugins(chain, state, panel, sound, 0, 0, 0, {});
    const Calls log = takeLog();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[3], "A Elapse 777 123.500 -4.25 0.0 0.0 0.0 0.0 0.0 -12.5");
    EXPECT_EQ(log[7], "B Elapse 777 123.500 -4.25 0.0 0.0 0.0 0.0 0.0 -12.5");
    EXPECT_EQ(panel[3], 1);
    EXPECT_EQ(panel[10], 6);  // the later library wins
    EXPECT_EQ(sound[7], 2);
    EXPECT_EQ(out.brake, 0);  // B passes on what it was told: the driver's brake in the first frame
    EXPECT_EQ(out.auxCommand, 0);

    chain::disposeChainedPlugins(chain);
    const Handles kept = step(1, 1, 1);
    EXPECT_EQ(kept.brake, out.brake);
    EXPECT_EQ(kept.power, out.power);
}

// ---- Forwarding --------------------------------------------------------------------------------

TEST_F(ChainTest, EveryForwardedCallReachesEveryLibraryInListOrder) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    install(CHAIN_PARTIAL_PLUGIN, "p.so", "P");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B");
    writeList("a.so\np.so\nb.so\n");
    load();
    takeLog();
    chain::forwardSetVehicleSpec(chain, host::VehicleSpec{8, 2, 3, 4, 10});
    chain::forwardInitialize(chain, 2);
    chain::forwardKeyDown(chain, 5);
    chain::forwardKeyUp(chain, 5);
    chain::forwardHornBlow(chain, 1);
    chain::forwardDoorOpen(chain);
    chain::forwardDoorClose(chain);
    chain::forwardSetSignal(chain, 4);
    chain::forwardSetBeaconData(chain, host::BeaconData{7, 3, 0.5f, -20});
    EXPECT_EQ(takeCalls(), (Calls{"A SetVehicleSpec 8 2 3 4 10",
                                  "B SetVehicleSpec 8 2 3 4 10",
                                  "A Initialize 2",
                                  "B Initialize 2",
                                  "A KeyDown 5",
                                  "P KeyDown 5",
                                  "B KeyDown 5",
                                  "A KeyUp 5",
                                  "B KeyUp 5",
                                  "A HornBlow 1",
                                  "B HornBlow 1",
                                  "A DoorOpen",
                                  "P DoorOpen",
                                  "B DoorOpen",
                                  "A DoorClose",
                                  "B DoorClose",
                                  "A SetSignal 4",
                                  "B SetSignal 4",
                                  "A SetBeaconData 7 3 0.50 -20",
                                  "P SetBeaconData 7 3 0.50 -20",
                                  "B SetBeaconData 7 3 0.50 -20"}));
}

// ---- Version check -----------------------------------------------------------------------------

TEST_F(ChainTest, AnotherInterfaceVersionNamesTheLibraryAndStopsAsking) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    // Deeper than the 260 characters a fixed buffer would hold.
    fs::path deep = root;
    for (int i = 0; i < 12; ++i) deep /= "a-rather-long-folder-name-" + std::to_string(i);
    const fs::path old = install(CHAIN_OLD_VERSION_PLUGIN, "old.so", "O", "", deep);
    ASSERT_GT(old.string().size(), 300u);
    install(CHAIN_RECORDING_PLUGIN, "c.so", "C");
    writeList("a.so\n" + old.string() + "\nc.so\n");
    load();
    ASSERT_EQ(chain.chainedPlugins.size(), 3u);
    takeLog();
    try {
        chain::checkChainedVersions(chain);
        FAIL() << "no error";
    } catch (const chain::VersionError& error) {
        EXPECT_EQ(std::string(error.what()), old.string() + "のバージョンが不正です。");
    }
    EXPECT_EQ(takeCalls(), (Calls{"A GetPluginVersion", "O GetPluginVersion"}));
}

TEST_F(ChainTest, MatchingVersionsPass) {
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    install(CHAIN_RECORDING_PLUGIN, "b.so", "B", "version=0x20000\n");
    writeList("a.so\nb.so\n");
    load();
    takeLog();
    EXPECT_NO_THROW(chain::checkChainedVersions(chain));
    EXPECT_EQ(takeCalls(), (Calls{"A GetPluginVersion", "B GetPluginVersion"}));
}

// ---- Dispose and a second Load -------------------------------------------------------------------

TEST_F(ChainTest, DisposeCallsEachLibraryInOrderAndReleasesIt) {
    const fs::path a = install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    const fs::path p = install(CHAIN_PARTIAL_PLUGIN, "p.so", "P");
    const fs::path b = install(CHAIN_RECORDING_PLUGIN, "b.so", "B");
    writeList("a.so\np.so\nb.so\n");
    load();
    takeLog();
    EXPECT_TRUE(chaintest::isMapped(a));
    bool aMappedDuringB = false;
    chaintest::probeHandler() = [&](const std::string& entry, int32_t) {
        if (entry == "Dispose" && takeCalls().back() == "B Dispose") aMappedDuringB = chaintest::isMapped(a);
    };
    chain::disposeChainedPlugins(chain);
    EXPECT_FALSE(aMappedDuringB);  // A was released before B was disposed
    EXPECT_TRUE(chain.chainedPlugins.empty());
    EXPECT_FALSE(chaintest::isMapped(a));
    EXPECT_FALSE(chaintest::isMapped(p));
    EXPECT_FALSE(chaintest::isMapped(b));
}

TEST_F(ChainTest, ASecondLoadReloadsWithoutChainingTwiceAndKeepsTheResyncUsedUp) {
    const fs::path a = install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("a.so\n");
    load();
    step(0, 0, 0);
    load();
    ASSERT_EQ(chain.chainedPlugins.size(), 1u);
    takeLog();
    step(2, 0, 0);
    EXPECT_EQ(takeCalls(), (Calls{"A SetPower 2", "A Elapse"}));
    chain::disposeChainedPlugins(chain);
    EXPECT_EQ(takeCalls(), (Calls{"A Dispose"}));
    EXPECT_FALSE(chaintest::isMapped(a));

    // Load after Dispose: no resync, so a position of 0 is not handed over again.
    load();
    takeLog();
    step(0, 0, 0);
    EXPECT_EQ(takeCalls(), (Calls{"A Elapse"}));
}

// ---- Corvane listed in its own list ---------------------------------------------------------------

TEST_F(ChainTest, CorvaneListedBesideItselfIsNotChainedToItself) {
    const fs::path corvane = pluginDirectory / "libCorvane.so";
    fs::copy_file(CORVANE_LIBRARY, corvane);
    install(CHAIN_RECORDING_PLUGIN, "a.so", "A");
    writeList("libCorvane.so\na.so\n");
    platform::LibraryHandle module = platform::loadLibrary(corvane);
    ASSERT_NE(module, nullptr);
    chain::ChainedPlugin entries;
    entries.load = reinterpret_cast<chain::VoidEntry>(platform::findSymbol(module, "Load"));
    entries.dispose = reinterpret_cast<chain::VoidEntry>(platform::findSymbol(module, "Dispose"));
    entries.elapse = reinterpret_cast<chain::ElapseEntry>(platform::findSymbol(module, "Elapse"));
    entries.setVehicleSpec = reinterpret_cast<chain::VehicleSpecEntry>(platform::findSymbol(module, "SetVehicleSpec"));
    ASSERT_TRUE(entries.load && entries.dispose && entries.elapse && entries.setVehicleSpec)
        << "the library does not export the host's entry points";

    entries.load();
    EXPECT_EQ(takeCalls(), (Calls{"A Load"}));
    entries.setVehicleSpec(host::VehicleSpec{8, 0, 0, 0, 4});
    host::VehicleState state{};
    state.time = 20;
    entries.elapse(state, panel, sound);
    state.time = 40;
    entries.elapse(state, panel, sound);
    EXPECT_EQ(takeCalls(), (Calls{"A SetVehicleSpec 8 0 0 0 4", "A SetPower 0", "A SetBrake 0", "A SetReverser 0",
                                  "A Elapse", "A Elapse"}));
    entries.dispose();
    EXPECT_EQ(takeCalls(), (Calls{"A Dispose"}));
    platform::freeLibrary(module);
    EXPECT_FALSE(chaintest::isMapped(corvane));
}

}  // namespace
