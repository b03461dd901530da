// `cabhost check` on the sample vehicle and on broken copies of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "host/check.h"
#include "host/wav_file.h"
#include "host_test_support.h"
#include "sound/wave_screen.h"

namespace {

using hosttest::TempDir;
namespace fs = std::filesystem;

bool anyContains(const std::vector<std::string>& lines, const std::string& a, const std::string& b = "") {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
    });
}

TEST(Check, SampleVehicleHasNoErrors) {
    std::ostringstream out, err;
    EXPECT_EQ(cabhost::checkCommand(hosttest::SampleVehicle, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(out.str().find("power: 14 notches"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("brake: 8 notches"), std::string::npos);
    EXPECT_NE(out.str().find("motor-noise layers: 41 of 41"), std::string::npos);
    // The plug-in folder itself may be named too.
    const cabhost::CheckReport direct = cabhost::checkVehicleFolder(hosttest::SampleVehicle / "plugin");
    EXPECT_TRUE(direct.errors.empty());
    EXPECT_TRUE(direct.found);
}

TEST(Check, FolderProblems) {
    TempDir dir;
    EXPECT_TRUE(anyContains(cabhost::checkVehicleFolder(dir.path() / "none").errors, "no such folder"));
    hosttest::writeFile(dir.path() / "file.txt", "x");
    EXPECT_TRUE(anyContains(cabhost::checkVehicleFolder(dir.path() / "file.txt").errors, "not a folder"));
    EXPECT_TRUE(anyContains(cabhost::checkVehicleFolder(dir.path()).errors, "no Notch.txt"));
    hosttest::writeFile(dir.path() / "a" / "Notch.txt", "");
    hosttest::writeFile(dir.path() / "b" / "Notch.txt", "");
    EXPECT_TRUE(anyContains(cabhost::checkVehicleFolder(dir.path()).errors, "several plug-in folders"));
    std::ostringstream out, err;
    EXPECT_EQ(cabhost::checkCommand(dir.path() / "none", out, err), 1);
}

TEST(Check, EveryBrokenFileIsNamedWithItsLine) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    // The power parameter file loses its notch count, and two needle tables get a row with one field.
    const fs::path power = vehicle / "plugin" / "notch" / "PowerParams.txt";
    std::string text = hosttest::readFile(power);
    const size_t line = text.find("\nRequiredNotch_Up");
    ASSERT_NE(line, std::string::npos);
    text.replace(line + 1, 16, "RequiredNotchUp_");
    hosttest::writeFile(power, text);
    hosttest::writeFile(vehicle / "NeedleTable" / "Speed.csv", "speed,value\n0,0\n50\n");
    hosttest::writeFile(vehicle / "NeedleTable" / "Voltage.csv", "v,value\n0,0\n\n1500\n");

    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    ASSERT_EQ(r.errors.size(), 3u) << (r.errors.empty() ? "" : r.errors[0]);
    EXPECT_TRUE(anyContains(r.errors, "PowerParams.txt"));
    EXPECT_TRUE(anyContains(r.errors, "Speed.csv", "3")) << r.errors[1];
    EXPECT_TRUE(anyContains(r.errors, "Voltage.csv", "4")) << r.errors[2];
    std::ostringstream out, err;
    EXPECT_EQ(cabhost::checkCommand(vehicle, out, err), 1);
    EXPECT_NE(err.str().find("3 errors"), std::string::npos);
}

TEST(Check, Utf16FilesAreNamedOnceEach) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(vehicle / "NeedleTable" / "Speed.csv", std::string("\xFF\xFEs\0,\0v\0\n\0", 10));
    hosttest::writeFile(vehicle / "plugin" / "detailmodules.txt", std::string("a\0.\0d\0l\0l\0", 10));
    cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    r.errors.insert(r.errors.end(), r.warnings.begin(), r.warnings.end());
    for (const char* file : {"Speed.csv", "detailmodules.txt"}) {
        EXPECT_EQ(std::count_if(r.errors.begin(), r.errors.end(), [&](auto& l) { return l.find(file) != l.npos; }), 1);
        EXPECT_TRUE(anyContains(r.errors, file, "saved as UTF-16")) << file;
    }
}

TEST(Check, MissingOptionalFilesAreListedWithTheirEffect) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    fs::remove(vehicle / "atsmotornoise" / "7.wav");
    fs::remove(vehicle / "atsmotornoise" / "40.wav");
    fs::remove(vehicle / "NeedleTable" / "Speed.csv");
    fs::remove(vehicle / "bc.wav");
    fs::remove(vehicle / "plugin" / "notch" / "BrakeNoLoadCurrent.csv");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(r.errors.empty()) << r.errors[0];
    EXPECT_TRUE(anyContains(r.missing, "7.wav, 40.wav", "gap in the crossfade"));
    EXPECT_TRUE(anyContains(r.facts, "39 of 41"));
    EXPECT_TRUE(anyContains(r.missing, "Speed.csv", "speed in km/h x 100"));
    EXPECT_TRUE(anyContains(r.missing, "bc.wav", "brake-cylinder"));
    EXPECT_TRUE(anyContains(r.missing, "brake no-load current"));
    std::ostringstream out, err;
    EXPECT_EQ(cabhost::checkCommand(vehicle, out, err), 0);
}

// A plug-in folder reached through a link: Corvane looks for its sounds beside the link (it takes
// ".." as text), so check must count the sounds there, not beside the link's target.
TEST(Check, SoundsAreLookedForWhereCorvaneOpensThemThroughALinkedPluginFolder) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    fs::create_directories(dir.path() / "linked");
    fs::create_directory_symlink(vehicle / "plugin", dir.path() / "linked" / "plugin");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(dir.path() / "linked" / "plugin");
    EXPECT_TRUE(anyContains(r.facts, "motor-noise layers: 0 of 41"));
    EXPECT_TRUE(anyContains(r.missing, "bc.wav", "brake-cylinder"));
}

TEST(Check, ChainedPluginsThatCannotPassTheHandlesOnAreWarnedAbout) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    EXPECT_TRUE(anyContains(cabhost::checkVehicleFolder(vehicle).warnings, "no detailmodules.txt", "power 0"));
    hosttest::writeFile(vehicle / "plugin" / "detailmodules.txt", "ats\\Missing.dll\r\n\r\n");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(anyContains(r.missing, "line 1", "Missing.dll"));
    EXPECT_TRUE(anyContains(r.warnings, "names no plug-in that exists"));
    fs::create_directories(vehicle / "plugin" / "ats");
    fs::copy_file(SENTREL_LIBRARY, vehicle / "plugin" / "ats" / "Missing.dll");
    const cabhost::CheckReport found = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(found.warnings.empty());
    EXPECT_TRUE(anyContains(found.facts, "chained plug-in", "Missing.dll"));
}

TEST(Check, TooFewBrakeNotchesIsAnError) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    const fs::path brake = vehicle / "plugin" / "notch" / "BrakeParams.txt";
    std::string text = hosttest::readFile(brake);
    const size_t at = text.find("RequiredNotch_Up, 0, 0, 0, 0, 0, 0, 0, 30");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 41, "RequiredNotch_Up, 0, 0, 0, 30");
    hosttest::writeFile(brake, text);
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    ASSERT_FALSE(r.errors.empty());
    EXPECT_TRUE(anyContains(r.errors, "BrakeParams.txt")) << r.errors[0];
}

TEST(Check, SoundsThatCannotBeDecodedAreWarnedAbout) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(vehicle / "atsmotornoise" / "12.wav", "RIFF....not a wave file");
    hosttest::writeFile(vehicle / "sap.wav", "");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(r.errors.empty());
    EXPECT_TRUE(anyContains(r.warnings, "12.wav", "cannot be decoded"));
    EXPECT_TRUE(anyContains(r.warnings, "sap.wav", "cannot be decoded"));
    EXPECT_FALSE(anyContains(r.warnings, "11.wav"));
    EXPECT_TRUE(anyContains(r.facts, "41 of 41"));
}

TEST(Check, SoundsPastTheBoundOnAllTogetherAreNamedAsLoadRefusesThem) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    // Layers 0 to 3 at the per-file bound fill the bound on all sounds; layer 4 comes next in Load.
    const std::vector<int16_t> samples(sound::MaxDecodedBytesPerFile / 2, 1000);
    std::string error;
    for (int n = 0; n < 4; ++n) {
        const fs::path file = vehicle / "atsmotornoise" / (std::to_string(n) + ".wav");
        ASSERT_TRUE(cabhost::writeWav16(file, 44100, 1, samples, error)) << error;
    }
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_TRUE(anyContains(r.warnings, "/4.wav", "all its sounds together (the sounds before it take 256 MB)"));
    EXPECT_FALSE(anyContains(r.warnings, "/3.wav"));
}

}  // namespace
