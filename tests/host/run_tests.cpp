// `cabhost run` end to end: Corvane linked in on the sample vehicle, Sentrel through its exports,
// and what the command does with bad input and with the folders around it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "host/run.h"
#include "host/vehicle_mirror.h"
#include "host_test_support.h"

namespace {

using hosttest::TempDir;
namespace fs = std::filesystem;
using hosttest::Ran;
using hosttest::run;

const fs::path Scenarios = hosttest::SourceDir / "samples" / "scenarios";
const fs::path SentrelLibrary = SENTREL_LIBRARY;

// A scenario on a copy of the sample vehicle, chained to Sentrel so the driver's handles get through.
fs::path writeScenario(const fs::path& dir, const std::string& body) {
    const fs::path file = dir / "scenario.toml";
    hosttest::writeFile(file, "vehicle = \"vehicle\"\nchain = [\"" + SentrelLibrary.string() + "\"]\n" + body);
    return file;
}

const char* const ShortDeparture = R"(
duration_s = 6.0
[[event]]
door = "close"
reverser = 1
power = 2
)";

TEST(RunDeparture, MainCircuitModesFollowTheRisingVoltageRatio) {
    TempDir dir;
    const Ran r = run(Scenarios / "departure.toml", dir.path() / "out");
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    const cabhost::Trace& trace = r.outcome.simulation.trace;
    ASSERT_TRUE(trace.hasCorvane);
    const bool modeMoves = std::any_of(trace.rows.begin(), trace.rows.end(), [](const cabhost::TraceRow& row) {
        return row.corvane.pulseMode != 0 && row.corvane.pulseMode != 100;
    });
    ASSERT_TRUE(modeMoves) << "the main-circuit mode never leaves 100";

    // While the driver holds power, each new mode is the next of the ladder, and the ratio never
    // falls between the steps.
    const std::vector<int32_t> ladder = {99, 45, 27, 15, 9, 5, 3, 2, 1};
    std::vector<int32_t> seen;
    float ratioAtLastStep = 0.0f;
    for (const cabhost::TraceRow& row : trace.rows) {
        if (row.driverPower <= 0 || row.state.current <= 0.0f) continue;
        const int32_t mode = row.corvane.pulseMode;
        if (!seen.empty() && seen.back() == mode) continue;
        seen.push_back(mode);
        EXPECT_GE(row.corvane.voltageRatio, ratioAtLastStep) << "mode " << mode;
        ratioAtLastStep = row.corvane.voltageRatio;
    }
    EXPECT_EQ(seen, ladder);
    // And the demo reaches 80 km/h.
    const auto top = std::max_element(trace.rows.begin(), trace.rows.end(),
                                      [](const auto& a, const auto& b) { return a.state.speed < b.state.speed; });
    EXPECT_GE(top->state.speed, 80.0f);
}

TEST(RunDeparture, WritesTraceSummaryAndLogIntoTheOutputFolderOnly) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    const auto before = hosttest::snapshot(vehicle);
    const fs::path scenario = writeScenario(dir.path(), ShortDeparture);
    const Ran r = run(scenario, dir.path() / "out");
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    EXPECT_EQ(hosttest::snapshot(vehicle), before);  // nothing written beside the vehicle, not even the log
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "trace.csv"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "summary.txt"));
    // The log names the vehicle's own sound files, not the run's copies of them.
    const std::string log = hosttest::readFile(dir.path() / "out" / fs::u8path(cabhost::AudioLogName));
    EXPECT_NE(log.find(fs::absolute(vehicle / "atsmotornoise" / "0.wav").string()), std::string::npos) << log;
    EXPECT_EQ(log.find(".cabhost-vehicle"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "out" / ".cabhost-vehicle")));
    // Everything else in the temporary folder is what the test made.
    std::vector<std::string> top;
    for (const auto& e : fs::directory_iterator(dir.path())) top.push_back(e.path().filename().string());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"out", "scenario.toml", "vehicle"}));
    EXPECT_NE(r.out.find("results in"), std::string::npos);

    // The trace has one row per frame with the columns of the main circuit and the driven elements.
    const std::string csv = hosttest::readFile(dir.path() / "out" / "trace.csv");
    const std::string header = csv.substr(0, csv.find('\n'));
    for (const char* column : {"time_ms", "speed_kmh", "out_power", "current_a", "pulse_mode", "voltage_ratio",
                               "motor_speed_kmh", "panel_22", "panel_38", "sound_239"}) {
        EXPECT_NE(header.find(column), std::string::npos) << column;
    }
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 300);  // 6 s at 20 ms
}

TEST(RunDeparture, RecordedStatesReplayBitForBit) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    const Ran first = run(writeScenario(dir.path(), ShortDeparture), dir.path() / "first");
    ASSERT_EQ(first.outcome.exitCode, cabhost::ExitOk) << first.err;
    const fs::path replay = dir.path() / "replay.toml";
    hosttest::writeFile(replay, "vehicle = \"vehicle\"\nreplay = \"first/trace.csv\"\n");
    const Ran second = run(replay, dir.path() / "second");
    ASSERT_EQ(second.outcome.exitCode, cabhost::ExitOk) << second.err;
    const auto& a = first.outcome.simulation.trace.rows;
    const auto& b = second.outcome.simulation.trace.rows;
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(std::memcmp(&a[i].state, &b[i].state, sizeof a[i].state), 0) << "frame " << i;
    }
}

TEST(RunSentrel, SecondPairPassedTooFastTripsTheBrakeThroughTheExports) {
    if (!fs::exists(SentrelLibrary)) GTEST_SKIP() << "no " << SentrelLibrary;
    TempDir dir;
    const Ran r = run(Scenarios / "sentrel_beacons.toml", dir.path() / "out", SentrelLibrary);
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    const cabhost::Trace& trace = r.outcome.simulation.trace;
    EXPECT_FALSE(trace.hasCorvane);
    const auto trip = std::find_if(trace.rows.begin(), trace.rows.end(), [](const cabhost::TraceRow& row) {
        return row.out.brake == 9 && row.driverBrake != 9;
    });
    ASSERT_NE(trip, trace.rows.end());
    // Not at the first pair (206.9 m), but right after the second (325.6 m).
    EXPECT_GT(trip->state.location, 325.0);
    EXPECT_LT(trip->state.location, 327.0);
    EXPECT_TRUE(trace.panel.written[120] && trace.panel.written[121]);
    EXPECT_EQ(r.outcome.simulation.hostSoundsStarted.count(24), 1u);  // the reset key's sound
    EXPECT_NE(r.out.find("emergency brake applied by the plug-in"), std::string::npos);
}

TEST(RunErrors, ScenarioErrorNamesTheLineAndNothingIsWritten) {
    TempDir dir;
    const fs::path scenario = dir.path() / "bad.toml";
    hosttest::writeFile(scenario, "duration_s = 5\n[[event]]\nbrakee = 3\n");
    const Ran r = run(scenario, dir.path() / "out");
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitBadInput);
    EXPECT_NE(r.err.find("bad.toml:3:"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

TEST(RunErrors, OutputFolderThatCannotBeWrittenIsReportedBeforeTheRun) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    const fs::path scenario = writeScenario(dir.path(), ShortDeparture);
    hosttest::writeFile(dir.path() / "plain.txt", "x");
    for (const fs::path& out : {dir.path() / "plain.txt", dir.path() / "plain.txt" / "below"}) {
        const Ran r = run(scenario, out);
        EXPECT_EQ(r.outcome.exitCode, cabhost::ExitBadInput) << out;
        EXPECT_NE(r.err.find("plain.txt"), std::string::npos) << r.err;
        EXPECT_TRUE(r.outcome.simulation.trace.rows.empty());
    }
}

TEST(RunErrors, LoadErrorOfCorvaneIsReportedInItsOwnWords) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(vehicle / "plugin" / "notch" / "PowerParams.txt", "; nothing here\n");
    const Ran r = run(writeScenario(dir.path(), ShortDeparture), dir.path() / "out");
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitPluginError);
    EXPECT_NE(r.err.find("Load of Corvane"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(fs::absolute(vehicle / "plugin" / "notch" / "PowerParams.txt").string()), std::string::npos)
        << r.err;  // the vehicle's own path, not the mirror's
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "out" / ".cabhost-vehicle")));
    // The same mistake found while reading the notch files for the train model of a --plugin run.
    const Ran p = run(writeScenario(dir.path(), ShortDeparture), dir.path() / "out", fs::path(ELAPSE_ONLY_PLUGIN));
    EXPECT_EQ(p.outcome.exitCode, cabhost::ExitPluginError) << p.err;
    EXPECT_NE(p.err.find("PowerParams.txt"), std::string::npos) << p.err;
}

TEST(RunDeparture, MissingSoundFilesAreNamedInTheSummaryAsCheckNamesThem) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    fs::remove(vehicle / "bc.wav");
    fs::remove(vehicle / "atsmotornoise" / "3.wav");
    const Ran r = run(writeScenario(dir.path(), ShortDeparture), dir.path() / "out");
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    EXPECT_NE(r.out.find("note: missing sound: motor-noise layers 3.wav in "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bc.wav: no brake-cylinder exhaust sound"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("sapHigh.wav:"), std::string::npos) << r.out;
}

TEST(RunDeparture, TheSummaryNamesTheChainReadFromTheVehiclesList) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(vehicle / "plugin" / "detailmodules.txt", SentrelLibrary.string() + "\nnone.dll\n");
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, std::string("vehicle = \"vehicle\"\n") + ShortDeparture);
    const Ran r = run(scenario, dir.path() / "out");
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    EXPECT_NE(r.out.find("\nchained (detailmodules.txt): " + SentrelLibrary.string() + "\n  not chained: none.dll: not there\n"),
              std::string::npos)
        << r.out;
}

TEST(RunErrors, ResultThatCannotBeWrittenIsNamedWithStatus4) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    fs::create_directories(dir.path() / "out" / "trace.csv");
    const Ran r = run(writeScenario(dir.path(), ShortDeparture), dir.path() / "out");
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitOutputError);
    EXPECT_NE(r.err.find("trace.csv"), std::string::npos) << r.err;
}

TEST(RunErrors, PluginFilesThatAreNoPlugins) {
    TempDir dir;
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "duration_s = 1\n");
    Ran r = run(scenario, dir.path() / "out", dir.path() / "none.so");
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitBadInput);
    EXPECT_NE(r.err.find("no plug-in library"), std::string::npos) << r.err;
    r = run(scenario, dir.path() / "out", scenario);
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitBadInput);
    EXPECT_NE(r.err.find("cannot load"), std::string::npos) << r.err;
}

TEST(RunErrors, LinkedInCorvaneNeedsAVehicle) {
    TempDir dir;
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "duration_s = 1\n");
    const Ran r = run(scenario, dir.path() / "out");
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitBadInput);
    EXPECT_NE(r.err.find("names no vehicle"), std::string::npos);
    hosttest::writeFile(scenario, "duration_s = 1\nvehicle = \"nowhere\"\n");
    EXPECT_NE(run(scenario, dir.path() / "out").err.find("no such folder"), std::string::npos);
}

// Several scenarios (a folder) run in processes of their own: a line each, a total, the status of
// the first that failed, and a JUnit file that names the failure.
TEST(RunBatch, AFolderOfScenariosGivesALineEachATotalAndJUnit) {
    TempDir dir;
    hosttest::copySampleVehicle(dir.path());
    const std::string base = "vehicle = \"../vehicle\"\nduration_s = 1.0\n[[expect]]\nmode = ";
    hosttest::writeFile(dir.path() / "checks" / "a.toml", base + "100\n");
    hosttest::writeFile(dir.path() / "checks" / "b.toml", base + "27\n");
    const std::string command = "cd '" + dir.path().string() +
                                "' && '" CABHOST_EXE "' run checks --out out --no-plots --junit j.xml >stdout 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), cabhost::ExitExpectationNotMet);
    EXPECT_EQ(hosttest::readFile(dir.path() / "stdout"),
              "passed  checks/a.toml (expectations: 1 of 1 met)\nFAILED  checks/b.toml: expectations: 0 of 1 met\n"
              "total: 1 of 2 scenarios passed\n");
    const std::string junit = hosttest::readFile(dir.path() / "j.xml");
    EXPECT_NE(junit.find("<testsuite name=\"cabhost\" tests=\"2\" failures=\"1\" errors=\"0\""), std::string::npos);
    EXPECT_NE(junit.find("<failure message=\"expectations: 0 of 1 met\">"), std::string::npos) << junit;
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "b" / "trace.csv"));
}

TEST(RunTimeline, EventsWaitInOrderAndUnfiredOnesAreReported) {
    if (!fs::exists(SentrelLibrary)) GTEST_SKIP() << "no " << SentrelLibrary;
    TempDir dir;
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, R"(
duration_s = 3.0
[frames]
interval_ms = [10, 30]
[[event]]
time = 1.0
door = "close"
[[event]]
after = 0.5
reverser = 1
[[event]]
speed_above = 500
label = "never"
power = 1
[[expect]]
speed_kmh = 0
at_s = 2
[[expect]]
label = "moves"
reach_kmh = 1
)");
    // The run goes through; an expectation not met gives its own status and is named.
    const Ran r = run(scenario, dir.path() / "out", SentrelLibrary);
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitExpectationNotMet) << r.err;
    EXPECT_NE(r.out.find("NOT MET: line 18 \"moves\""), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("1 of 2 expectations not met"), std::string::npos) << r.err;
    const auto& sim = r.outcome.simulation;
    ASSERT_EQ(sim.firedEvents.size(), 2u);
    EXPECT_GE(sim.firedAtS[0], 1.0);
    EXPECT_LT(sim.firedAtS[0], 1.03);
    EXPECT_GE(sim.firedAtS[1], 1.5);
    EXPECT_NE(r.out.find("never fired: event at line 11"), std::string::npos) << r.out;
    // The frame clock alternates 10 and 30 ms.
    const auto& rows = sim.trace.rows;
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0].state.time, 10);
    EXPECT_EQ(rows[1].state.time, 40);
    EXPECT_EQ(rows[2].state.time, 50);
    // Sentrel returns the reverser only once the doors are closed.
    for (const auto& row : rows) EXPECT_EQ(row.out.reverser, row.state.time >= 1500 ? 1 : 0) << row.state.time;
}

}  // namespace

namespace {

TEST(RunLibrary, ErrorsAndMissingEntriesThroughTheExports) {
    TempDir dir;
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "duration_s = 1.0\n[[event]]\npower = 2\n");

    Ran r = run(scenario, dir.path() / "a", fs::path(LOAD_ERROR_PLUGIN));
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitPluginError);
    EXPECT_NE(r.err.find("Load of"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Notch.txt line 3: broken on purpose"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / "a" / "trace.csv"));

    r = run(scenario, dir.path() / "b", fs::path(OLD_VERSION_PLUGIN));
    EXPECT_EQ(r.outcome.exitCode, cabhost::ExitPluginError);
    EXPECT_NE(r.err.find("interface version 0x10000"), std::string::npos) << r.err;

    // A library with Elapse alone still runs; the model applies what it returns.
    r = run(scenario, dir.path() / "c", fs::path(ELAPSE_ONLY_PLUGIN));
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    EXPECT_NE(r.out.find("not exported (calls skipped): Load, Dispose, GetPluginVersion"), std::string::npos) << r.out;
    const cabhost::Trace& trace = r.outcome.simulation.trace;
    EXPECT_EQ(trace.rows.back().out.power, 3);
    EXPECT_TRUE(trace.panel.written[200]);
    EXPECT_EQ(trace.panel.written.count(), 1u);
    EXPECT_EQ(trace.sound.written.count(), 0u);
    EXPECT_EQ(trace.rows.back().state.current, 0.0f);  // the doors were never closed
}

}  // namespace
