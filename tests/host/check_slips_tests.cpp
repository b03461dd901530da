// `cabhost check` on the usual slips of a new author: each broken vehicle is the sample with one
// edit, and the check must name what the edit did, with its file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "host/check.h"
#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;
using hosttest::TempDir;

enum class Where { Error, Warning, Missing };

struct Slip {
    const char* name;
    const char* file;  // relative to the vehicle folder
    const char* find;
    const char* replace;
    Where where;
    std::vector<std::string> says;  // every piece must stand in one line of that kind
    bool namesLine;                 // the line must also name the edited line's number
};

const std::vector<Slip> Slips = {
    {"UnitAfterLimitingValue",
     "plugin/notch/BrakeParams.txt",
     "CurrentLimitingValue_Empty, 150000",
     "CurrentLimitingValue_Empty, 180 kPa",
     Where::Warning,
     {"BrakeParams.txt", "\"180 kPa\" is read as 180 Pa (0.18 kPa)", "ignored: for 180 kPa write 180000"},
     true},
    {"UnitInCurrentTable",
     "plugin/notch/PowerCurrent.csv",
     "\n30,17,208,",
     "\n30,17,208 A,",
     Where::Warning,
     {"PowerCurrent.csv", "\"208 A\" is read as 208; the text after the number is ignored: write 208 alone"},
     true},
    {"UnitInNeedleTable",
     "NeedleTable/Speed.csv",
     "\n0,0\n",
     "\n0 km/h,0\n",
     Where::Warning,
     {"Speed.csv", "\"0 km/h\" is read as 0"},
     true},
    {"UnitAfterJerkValue",
     "plugin/notch/PowerParams.txt",
     "JerkRegulation_Down, 0, 120",
     "JerkRegulation_Down, 0, 120A",
     Where::Warning,
     {"PowerParams.txt", "\"120A\" is read as 120 A"},
     true},
    {"MisspeltSection",
     "plugin/Notch.txt",
     "[Power]",
     "[Powr]",
     Where::Warning,
     {"Notch.txt", "\"[Powr]\" is not a section line", "did you mean [Power]?"},
     true},
    {"MisspeltSectionStopsLoad",
     "plugin/Notch.txt",
     "[Power]",
     "[Powr]",
     Where::Error,
     {"no Params line in its [Power] section"},
     false},
    {"BlanksInSection",
     "plugin/Notch.txt",
     "[Brake]",
     "[ Brake ]",
     Where::Warning,
     {"\"[ Brake ]\" is not a section line", "without blanks"},
     true},
    {"UnknownKey",
     "plugin/Notch.txt",
     "Params = notch\\PowerParams.txt",
     "Parms = notch\\PowerParams.txt",
     Where::Warning,
     {"key \"Parms\" is not a key of the [Power] section", "did you mean Params?"},
     true},
    {"PowerKeyInBrakeSection",
     "plugin/Notch.txt",
     "MaxCurrent = notch",
     "Current = notch",
     Where::Warning,
     {"key \"Current\" is not a key of the [Brake] section", "MaxCurrent"},
     true},
    {"KeywordInWrongCase",
     "plugin/notch/PowerParams.txt",
     "JerkRegulation_Down, 0, 120",
     "jerkregulation_down, 0, 120",
     Where::Warning,
     {"must be written JerkRegulation_Down", "letter case"},
     true},
    {"MisspeltKeyword",
     "plugin/notch/BrakeParams.txt",
     "CurrentLimitingValue_Full, 250000",
     "CurrentLimitngValue_Full, 250000",
     Where::Warning,
     {"did you mean CurrentLimitingValue_Full?"},
     true},
    {"NotANumberSaysWhatBelongsThere",
     "plugin/notch/BrakeParams.txt",
     "JerkRegulation_Down, 0, 100",
     "JerkRegulation_Down, 0, fast",
     Where::Error,
     {"\"fast\" is not a number (the load current in A", "): invalid stof argument"},
     true},
    {"NotANumberInANeedleTable",
     "NeedleTable/Voltage.csv",
     "\n1500,",
     "\nV1500,",
     Where::Error,
     {"Voltage.csv", "(the physical value", "invalid stof argument"},
     true},
};

size_t lineOf(const std::string& text, size_t at) {
    return static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
}

TEST(CheckSlips, EverySlipIsNamed) {
    for (const Slip& slip : Slips) {
        SCOPED_TRACE(slip.name);
        TempDir dir;
        const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
        const fs::path file = vehicle / slip.file;
        std::string text = hosttest::readFile(file);
        const size_t at = text.find(slip.find);
        ASSERT_NE(at, std::string::npos) << "the sample changed: " << slip.find;
        text.replace(at, std::string(slip.find).size(), slip.replace);
        hosttest::writeFile(file, text);
        // The line the edit landed on (a find that starts with a line end edits the next line).
        const size_t line = lineOf(text, at) + (slip.find[0] == '\n' ? 1 : 0);

        const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
        const std::vector<std::string>& lines = slip.where == Where::Error     ? r.errors
                                                : slip.where == Where::Warning ? r.warnings
                                                                               : r.missing;
        const bool found = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            for (const std::string& piece : slip.says) {
                if (l.find(piece) == std::string::npos) return false;
            }
            return !slip.namesLine || l.find("line " + std::to_string(line) + ":") != std::string::npos;
        });
        std::string all;
        for (const std::string& l : lines) all += l + "\n";
        EXPECT_TRUE(found) << "expected line " << line << " with: " << slip.says[0] << "\ngot:\n" << all;
    }
}

TEST(CheckSlips, TheSampleHasNoWarnings) {
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(hosttest::SampleVehicle);
    // Only the missing chained-plug-in list is worth a word.
    for (const std::string& w : r.warnings) EXPECT_NE(w.find("detailmodules.txt"), std::string::npos) << w;
}

TEST(CheckSlips, ALayerWithALeadingZeroIsNamed) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    fs::rename(vehicle / "atsmotornoise" / "7.wav", vehicle / "atsmotornoise" / "07.wav");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(std::any_of(r.missing.begin(), r.missing.end(),
                            [](const std::string& m) { return m.find("layers 7.wav in") != std::string::npos; }));
    EXPECT_TRUE(std::any_of(r.warnings.begin(), r.warnings.end(), [](const std::string& w) {
        return w.find("07.wav is never read") != std::string::npos && w.find("named 7.wav") != std::string::npos;
    }));
}

TEST(CheckSlips, TheFirstNeedleTableErrorIsCountedOnce) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(vehicle / "NeedleTable" / "PressureL.csv", "p,v\n0,0\n50\n");
    hosttest::writeFile(vehicle / "NeedleTable" / "Speed.csv", "s,v\n0,0\n\n1\n");
    std::ostringstream out, err;
    EXPECT_EQ(cabhost::checkCommand(vehicle, out, err), 1);
    const std::string e = err.str();
    EXPECT_NE(e.find("2 errors"), std::string::npos) << e;
    const size_t first = e.find("PressureL.csv");
    ASSERT_NE(first, std::string::npos) << e;
    EXPECT_EQ(e.find("PressureL.csv", first + 1), std::string::npos) << e;
}

TEST(CheckSlips, AMissingSapSoundChangesNothingAudible) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    fs::remove(vehicle / "sap.wav");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(std::any_of(r.missing.begin(), r.missing.end(), [](const std::string& m) {
        return m.find("sap.wav") != std::string::npos && m.find("never plays it") != std::string::npos;
    }));
}

}  // namespace
