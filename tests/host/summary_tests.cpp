// The run summary shows the needle adjustment mode's gauge and value, which the author calibrating a
// gauge reads off it.
#include <gtest/gtest.h>

#include <sstream>

#include "host/run.h"
#include "host_test_support.h"

namespace {

using hosttest::TempDir;
namespace fs = std::filesystem;

struct Adjustment {
    const char* name;
    const char* events;  // key presses after the doors close
    bool panelModify;    // PanelModify.txt in the vehicle folder
    const char* shows;   // the summary line, or "" for none
};

// Key 0 steps through the gauges (6 presses: the ammeter, 5: the speedometer); key 5 adds 10 panel
// units per press, 100 on the speedometer, and a held key (key_down repeated) steps on every repeat.
const Adjustment Adjustments[] = {
    {"AmmeterStepsOnEveryRepeat",
     "key_down = [0, 0, 0, 0, 0, 0]\n[[event]]\ntime = 0.5\nkey_down = [5, 5]\nkey_up = 5\n"
     "[[event]]\ntime = 1.0\nkey_down = [5]\n",
     true, "needle adjustment mode: on, ammeter (panel 26) forced to 30 (panel value; digits \"0030\")"},
    {"SpeedometerDigitsShowHundreds", "key_down = [0, 0, 0, 0, 0]\n[[event]]\ntime = 0.5\nkey_down = [5, 5, 5]\n", true,
     "needle adjustment mode: on, speedometer (panel 22) forced to 300 (digits \"0003\""},
    {"NoGaugeChosen", "key_down = [5]\n", true, "needle adjustment mode: on, no gauge chosen"},
    {"ModeOff", "key_down = [0, 5]\n", false, ""},
};

TEST(RunSummary, ShowsTheNeedleAdjustment) {
    for (const Adjustment& a : Adjustments) {
        SCOPED_TRACE(a.name);
        TempDir dir;
        const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
        if (a.panelModify) hosttest::writeFile(vehicle / "PanelModify.txt", "");
        const fs::path scenario = dir.path() / "adjust.toml";
        hosttest::writeFile(scenario, std::string("vehicle = \"vehicle\"\nduration_s = 2.0\n[[event]]\ntime = 0.0\n"
                                                  "door = \"close\"\n") +
                                          a.events);
        cabhost::RunSettings settings;
        settings.scenarioFile = scenario;
        settings.outDir = dir.path() / "out";
        settings.plots = false;
        std::ostringstream out, err;
        const cabhost::RunOutcome outcome = cabhost::runCommand(settings, out, err);
        ASSERT_EQ(outcome.exitCode, cabhost::ExitOk) << err.str();
        const std::string summary = out.str();
        if (*a.shows) {
            EXPECT_NE(summary.find(a.shows), std::string::npos) << summary;
        } else {
            EXPECT_EQ(summary.find("needle adjustment"), std::string::npos) << summary;
        }
    }
}

}  // namespace
