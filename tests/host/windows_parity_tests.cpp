// What cabhost gives every author whatever the platform: a plug-in library driven with the
// scenario's chain, and the real-time mode's pacing and status line.
#include <gtest/gtest.h>

#include <sstream>

#include "host/run.h"
#include "host/vehicle_mirror.h"
#include "host_test_support.h"

namespace {

using hosttest::TempDir;
namespace fs = std::filesystem;

const fs::path SentrelLibrary = SENTREL_LIBRARY;
const fs::path CorvaneLibrary = CORVANE_LIBRARY;

TEST(RunPluginChain, LibraryGetsTheScenarioChainThroughAMirrorAndTheSummaryNamesIt) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    fs::copy_file(CorvaneLibrary, vehicle / "plugin" / CorvaneLibrary.filename());
    const auto before = hosttest::snapshot(vehicle);
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "vehicle = \"vehicle\"\nchain = [\"" + SentrelLibrary.string() +
                                      "\", \"missing/lib.so\"]\nduration_s = 8.0\n"
                                      "[[event]]\ndoor = \"close\"\nreverser = 1\npower = 4\n");
    cabhost::RunSettings settings;
    settings.scenarioFile = scenario;
    settings.outDir = dir.path() / "out";
    settings.pluginLibrary = vehicle / "plugin" / CorvaneLibrary.filename();
    settings.plots = false;
    std::ostringstream out, err;
    const cabhost::RunOutcome outcome = cabhost::runCommand(settings, out, err);
    ASSERT_EQ(outcome.exitCode, cabhost::ExitOk) << err.str();

    // Sentrel passed the driver's power on: the train moved under the library too.
    EXPECT_GT(outcome.simulation.trace.rows.back().state.speed, 5.0f);
    // Only the library that was loaded is named, as the scenario names it; the library under test
    // is named by the author's path, not the mirror's.
    EXPECT_NE(out.str().find("\nchained: " + SentrelLibrary.string() + "\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("plug-in: " + settings.pluginLibrary->string() + "\n"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("driven alone"), std::string::npos) << out.str();
    // Nothing beside the author's files: no list, no log; the log is in the output folder.
    EXPECT_EQ(hosttest::snapshot(vehicle), before);
    EXPECT_TRUE(fs::exists(dir.path() / "out" / fs::u8path(cabhost::AudioLogName)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "out" / ".cabhost-vehicle")));
}

TEST(RunPluginChain, ChainOfLibrariesThatAreNotThereIsSaidInTheSummary) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "vehicle = \"vehicle\"\nchain = [\"a/none.so\"]\nduration_s = 0.1\n");
    cabhost::RunSettings settings;
    settings.scenarioFile = scenario;
    settings.outDir = dir.path() / "out";
    settings.plots = false;
    std::ostringstream out, err;
    ASSERT_EQ(cabhost::runCommand(settings, out, err).exitCode, cabhost::ExitOk) << err.str();
    EXPECT_NE(out.str().find("chained: none of the scenario's libraries could be loaded"), std::string::npos)
        << out.str();
}

TEST(Realtime, StatusLineShowsTimeSpeedNotchesAndModeWhenLinkedIn) {
    cabhost::TraceRow row;
    row.state.speed = 42.25f;
    row.out.power = 4;
    row.out.brake = 0;
    row.corvane.pulseMode = 27;
    EXPECT_EQ(cabhost::realtimeStatus(row, 12.34, 50.0, true),
              "cabhost: 12.3 of 50.0 s, 42.2 km/h, notch P4 B0, mode 27");
    row.out.power = 0;
    row.out.brake = 9;
    EXPECT_EQ(cabhost::realtimeStatus(row, 3.0, 3.0, false), "cabhost: 3.0 of 3.0 s, 42.2 km/h, notch P0 B9");
}

TEST(Realtime, RunTakesAtLeastTheSimulatedTime) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "vehicle = \"vehicle\"\nduration_s = 0.5\n");
    cabhost::RunSettings settings;
    settings.scenarioFile = scenario;
    settings.outDir = dir.path() / "out";
    settings.plots = false;
    settings.realtime = true;
    settings.progress = true;  // as on a terminal
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cabhost::runCommand(settings, out, err).exitCode, cabhost::ExitOk) << err.str();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_NE(err.str().find("\rcabhost: "), std::string::npos);
    EXPECT_NE(err.str().find(" km/h, notch P0 B0, mode "), std::string::npos) << err.str();
}

}  // namespace
