// `cabhost new`: the vehicle it writes passes the check and departs in the scenario beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "host/check.h"
#include "host/new_vehicle.h"
#include "host/run.h"
#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;
using hosttest::TempDir;

struct Size {
    int power, brake;
};

TEST(NewVehicle, PassesTheCheckAndMovesInItsDeparture) {
    // A small vehicle without high notches, the default, one with high notches and more brake notches,
    // and the most power notches a vehicle may have.
    for (const Size size : {Size{3, 8}, Size{5, 8}, Size{12, 10}, Size{255, 8}}) {
        SCOPED_TRACE(std::to_string(size.power) + " power notches");
        TempDir dir;
        cabhost::NewVehicleSettings settings;
        settings.folder = dir.path() / "My Train";
        settings.powerNotches = size.power;
        settings.brakeNotches = size.brake;
        settings.chainLibrary = fs::path(SENTREL_LIBRARY);
        std::ostringstream out, err;
        ASSERT_EQ(cabhost::newVehicleCommand(settings, out, err), 0) << err.str();
        // Named after the vehicle, so that its runs do not replace a sample's results.
        EXPECT_NE(out.str().find("My Train.toml: a departure scenario, whose runs go to " +
                                 (fs::path("out") / "My Train").string()),
                  std::string::npos)
            << out.str();

        std::ostringstream checkOut, checkErr;
        EXPECT_EQ(cabhost::checkCommand(settings.folder, checkOut, checkErr), 0) << checkErr.str();
        const std::string report = checkOut.str();
        EXPECT_NE(report.find("power: " + std::to_string(size.power) + " notches"), std::string::npos) << report;
        EXPECT_NE(report.find("brake: " + std::to_string(size.brake) + " notches"), std::string::npos) << report;
        EXPECT_NE(report.find("motor-noise layers: 41 of 41"), std::string::npos) << report;
        const cabhost::CheckReport r = cabhost::checkVehicleFolder(settings.folder);
        // Nothing is missing but Sentrel.dll, which the simulator chains and which this test does not
        // copy in; it is also the only warning.
        for (const std::string& m : r.missing) EXPECT_NE(m.find("Sentrel.dll"), std::string::npos) << m;
        for (const std::string& w : r.warnings) EXPECT_NE(w.find("detailmodules.txt"), std::string::npos) << w;

        cabhost::RunSettings run;
        run.scenarioFile = settings.folder / (settings.folder.filename().string() + ".toml");
        run.outDir = dir.path() / "out";
        run.plots = false;
        std::ostringstream runOut, runErr;
        const cabhost::RunOutcome outcome = cabhost::runCommand(run, runOut, runErr);
        ASSERT_EQ(outcome.exitCode, cabhost::ExitOk) << runErr.str() << runOut.str();
        const cabhost::Trace& trace = outcome.simulation.trace;
        ASSERT_FALSE(trace.rows.empty());
        float top = 0.0f;
        for (const cabhost::TraceRow& row : trace.rows) top = std::max(top, std::fabs(row.state.speed));
        // The power goes off at 60 km/h; every event of the departure fires, and it meets what it
        // expects of itself.
        EXPECT_GT(top, 60.0f) << runOut.str();
        EXPECT_EQ(outcome.simulation.firedEvents.size(), 5u) << runOut.str();
        EXPECT_NE(runOut.str().find("expectations: 2 of 2 met"), std::string::npos) << runOut.str();
    }
}

TEST(NewVehicle, RefusesAFolderInUseAndImpossibleNotchCounts) {
    TempDir dir;
    hosttest::writeFile(dir.path() / "Mine" / "Notch.txt", "mine");
    cabhost::NewVehicleSettings settings;
    settings.folder = dir.path() / "Mine";
    std::ostringstream out, err;
    EXPECT_EQ(cabhost::newVehicleCommand(settings, out, err), 2);
    EXPECT_NE(err.str().find("not empty"), std::string::npos) << err.str();
    EXPECT_EQ(hosttest::readFile(dir.path() / "Mine" / "Notch.txt"), "mine");
    EXPECT_FALSE(fs::exists(dir.path() / "Mine" / "plugin"));

    settings.folder = dir.path() / "New";
    settings.brakeNotches = 7;
    EXPECT_EQ(cabhost::newVehicleCommand(settings, out, err), 2);
    settings.brakeNotches = 8;
    settings.powerNotches = 0;
    EXPECT_EQ(cabhost::newVehicleCommand(settings, out, err), 2);
    EXPECT_FALSE(fs::exists(dir.path() / "New"));
    // No name, and a file where a parent folder must be: refused as mistakes, before anything is written.
    settings.powerNotches = 5;
    for (const fs::path& folder : {fs::path(), dir.path() / "Mine" / "Notch.txt" / "Train"}) {
        std::ostringstream e;
        settings.folder = folder;
        EXPECT_EQ(cabhost::newVehicleCommand(settings, out, e), 2) << e.str();
        EXPECT_EQ(e.str().find("filesystem error"), std::string::npos) << e.str();
    }
    // A folder name with a blank and a newline: the scenario stays valid TOML and the hint is quoted.
    settings.folder = dir.path() / "My Train\n2";
    std::ostringstream hint;
    ASSERT_EQ(cabhost::newVehicleCommand(settings, hint, err), 0) << err.str();
    EXPECT_NE(hint.str().find("next: cabhost check \""), std::string::npos) << hint.str();
    const fs::path scenario = dir.path() / "My Train\n2" / "My Train\n2.toml";
    EXPECT_NO_THROW(cabhost::parseScenario(hosttest::readFile(scenario), scenario));
    // An empty folder is fine.
    fs::create_directories(dir.path() / "Empty");
    settings.folder = dir.path() / "Empty";
    settings.powerNotches = 5;
    EXPECT_EQ(cabhost::newVehicleCommand(settings, out, err), 0) << err.str();
}

}  // namespace
