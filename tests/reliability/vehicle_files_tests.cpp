// Corvane's files in awkward places and chained libraries that misbehave.
#include "reliability_support.h"

namespace reliability {
namespace {

struct ChainedCounts {
    int32_t loads = 0, disposes = 0, keyDowns = 0;
};

// The chained copy as Corvane loaded it: the same path gives the same loaded library.
struct ChainedControl {
    void* library = nullptr;
    void (*configure)(int32_t, int32_t) = nullptr;
    void (*counts)(int32_t*, int32_t*, int32_t*) = nullptr;

    explicit ChainedControl(const fs::path& path) {
        library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(library, nullptr) << ::dlerror();
        if (!library) return;
        bind(library, configure, "ReliabilityConfigure");
        bind(library, counts, "ReliabilityCounts");
    }
    ChainedCounts read() const {
        ChainedCounts c;
        counts(&c.loads, &c.disposes, &c.keyDowns);
        return c;
    }
};

TEST(VehicleFiles, APluginFolderFarBeyond260CharactersFindsItsFiles) {
    Vehicle vehicle(true, 8);
    ASSERT_GT(vehicle.pluginFolder().native().size(), 500u);
    HostRun run(vehicle.open());
    run.start();
    EXPECT_STREQ(run.c.lastError(), "");
    run.state.speed = 60.0f;
    run.frames(2);
    // Without its needle table the speedometer would show the speed times 100.
    EXPECT_NE(run.panel[22], 6000);
    run.c.dispose();
}

TEST(VehicleFiles, VersionErrorNamesTheWholePathOfADeepChainedLibrary) {
    Vehicle vehicle(true, 6);
    const fs::path chained = vehicle.chainPlugin();
    ASSERT_GT(chained.native().size(), 400u);
    ChainedControl control(chained);
    control.configure(0x10000, 0);
    HostRun run(vehicle.open());
    run.start();
    EXPECT_EQ(std::string(run.c.lastError()), "");
    run.c.getPluginVersion();
    EXPECT_EQ(std::string(run.c.lastError()), chained.native() + "のバージョンが不正です。");
    run.c.dispose();
}

TEST(VehicleFiles, ALogThatCannotBeCreatedOnlySilencesTheOwnSounds) {
    Vehicle vehicle;
    vehicle.copySounds();
    // A folder where the log file would be: opening it for writing fails.
    fs::create_directories(vehicle.pluginFolder() / "XAudio2初期化ログ.txt");
    HostRun run(vehicle.open());
    run.start();
    EXPECT_STREQ(run.c.lastError(), "");
    run.c.doorClose();
    run.c.setReverser(1);
    run.c.setPower(4);
    run.state.current = 300.0f;
    run.frames(100);
    EXPECT_EQ(run.panel[42], 1);
    run.c.dispose();
}

TEST(VehicleFiles, ALogRemovedWhileTheEngineRunsChangesNothing) {
    Vehicle vehicle;
    vehicle.copySounds();
    HostRun run(vehicle.open());
    run.start();
    fs::remove_all(vehicle.pluginFolder() / "XAudio2初期化ログ.txt");
    run.frames(10);
    // The next Load writes the log afresh.
    run.c.dispose();
    run.start();
    EXPECT_TRUE(fs::exists(vehicle.pluginFolder() / "XAudio2初期化ログ.txt"));
    run.frames(10);
    run.c.dispose();
}

// A second Load without Dispose calls each listed library's Load again but keeps one entry for it,
// so every forwarded call arrives once (twice would toggle its switches back).
TEST(ChainedFaults, SecondLoadWithoutDisposeForwardsEachCallOnce) {
    Vehicle vehicle;
    ChainedControl control(vehicle.chainPlugin());
    HostRun run(vehicle.open());
    run.start();
    run.start();
    run.c.keyDown(5);
    EXPECT_EQ(control.read().keyDowns, 1);
    run.c.dispose();
}

// A chained Load that throws must not leave the loading marked as running: every later Load would
// take its own chained libraries for a call back into it and load none.
TEST(ChainedFaults, AChainedLoadThatThrowsDoesNotDisableLaterLoads) {
    Vehicle vehicle;
    ChainedControl control(vehicle.chainPlugin());
    control.configure(host::PluginInterfaceVersion, 1);
    HostRun run(vehicle.open());
    run.c.load();
    EXPECT_NE(std::string(run.c.lastError()), "");
    run.c.dispose();
    control.configure(host::PluginInterfaceVersion, 0);
    run.start();
    EXPECT_EQ(control.read().loads, 2);
    run.c.keyDown(5);
    EXPECT_EQ(control.read().keyDowns, 1);
    run.c.dispose();
}

TEST(ChainedFaults, AChainedLoadThatThrowsEndsLoadWithItsMessageAndTheFramesRun) {
    Vehicle vehicle;
    ChainedControl control(vehicle.chainPlugin());
    control.configure(host::PluginInterfaceVersion, 1);
    HostRun run(vehicle.open());
    run.c.load();
    EXPECT_STREQ(run.c.lastError(), "the chained plug-in failed to load");
    run.c.setVehicleSpec(host::VehicleSpec{8, 0, 0, 0, 10});
    run.frames(20);
    run.c.dispose();
    run.c.dispose();
}

}  // namespace
}  // namespace reliability
