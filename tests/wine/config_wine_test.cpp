// The configuration readers in a Windows build: the sample vehicle reads to the same bits as on
// Linux, and a vehicle in a folder with a Japanese name, written the way a Japanese editor saves
// it (byte-order mark, CR LF, ideographic spaces, "\" separators), loads; a faulty row is reported
// with the path in UTF-8.
// Usage: config_wine_test.exe SAMPLE_PLUGIN_FOLDER WORK_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/wine/wine_check.h"
#include "config/vehicle_check.h"
#include "tests/config/sample_fingerprint.h"

namespace fs = std::filesystem;

namespace {

using wine_test::failures;

void write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void sampleVehicle(const fs::path& pluginFolder) {
    const config::VehicleCheck check = config::checkVehicle(pluginFolder);
    CHECK(check.ok, "%s", check.error.c_str());
    CHECK(check.config.powerNotchCount == 14, "%u", check.config.powerNotchCount);
    CHECK(check.config.brakeNotchCount == 8, "%u", check.config.brakeNotchCount);
    const uint64_t fingerprint = config_test::fingerprintOf(check);
    CHECK(fingerprint == config_test::SampleVehicleFingerprint, "%016llx",
          static_cast<unsigned long long>(fingerprint));
}

void japaneseFolder(const fs::path& work) {
    const fs::path vehicle = work / L"\u8eca\u4e21 \u30c6\u30b9\u30c8";  // 車両 テスト
    fs::remove_all(vehicle);
    const fs::path plugin = vehicle / L"\u30d7\u30e9\u30b0\u30a4\u30f3";  // プラグイン
    const std::string bom = "\xEF\xBB\xBF";
    const std::string ideographicSpace = "\xE3\x80\x80";
    write(plugin / L"Notch.txt", bom + "; \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\r\n[power]\r\n" + ideographicSpace +
                                     "Params" + ideographicSpace + "=" + ideographicSpace +
                                     "\xE8\xA8\xAD\xE5\xAE\x9A\\p.txt\r\nCurrent = \xE8\xA8\xAD\xE5\xAE\x9A/pc.csv\r\n"
                                     "[BRAKE]\r\nParams = \xE8\xA8\xAD\xE5\xAE\x9A\\b.txt\r\n");
    const fs::path settings = plugin / L"\u8a2d\u5b9a";  // 設定
    write(settings / L"p.txt", bom + "RequiredNotch_Up, 1, 2,\r\nJerkRegulation_Down, 0, 1.5e2\r\n");
    write(settings / L"b.txt",
          "RequiredNotch_Up,0,0,0,0,0,0,0,35\r\nCurrentLimitingValue_Full,250000\r\n"
          "JerkRegulation_Down,90\r\n");
    write(settings / L"pc.csv", bom + "v,1,2\r\n10,5,50\r\n0,7,70\r\n");
    write(vehicle / L"NeedleTable" / L"Speed.csv", "v,y\r\n0,0\r\n100,2\r\n");

    config::VehicleCheck check = config::checkVehicle(plugin);
    CHECK(check.ok, "%s", check.error.c_str());
    CHECK(check.config.powerNotchCount == 2, "%u", check.config.powerNotchCount);
    CHECK(check.config.powerJerk == 150.0f, "%g", check.config.powerJerk);
    CHECK(check.config.brakeReferenceSpeed == 35.0f, "%g", check.config.brakeReferenceSpeed);
    CHECK(check.config.limitValueFull == 250.0f, "%g", check.config.limitValueFull);
    CHECK(check.config.powerCurrentAt(1, -5) == 60.0f, "%g", check.config.powerCurrentAt(1, -5));
    CHECK(check.needles.speedNeedle.lookup(50) == 1.0f, "%g", check.needles.speedNeedle.lookup(50));
    CHECK(check.missing.size() == 8, "%u", static_cast<unsigned>(check.missing.size()));

    write(settings / L"pc.csv", "v,1,2\r\n10,5,50\r\n0,x,70\r\n");
    check = config::checkVehicle(plugin);
    CHECK(!check.ok, "a bad number loads");
    const std::string expected =
        "\\\xE8\xA8\xAD\xE5\xAE\x9A\\pc.csv\" line 3: \"x\" is not a number (the current in A of column 1 is expected here): "
        "invalid stof argument";
    CHECK(check.error.size() > expected.size() &&
              check.error.compare(check.error.size() - expected.size(), expected.size(), expected) == 0,
          "%s", check.error.c_str());
    CHECK(check.error.find("\xE8\xBB\x8A\xE4\xB8\xA1 \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88") != std::string::npos, "%s",
          check.error.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::printf("usage: config_wine_test SAMPLE_PLUGIN_FOLDER WORK_FOLDER\n");
        return 2;
    }
    sampleVehicle(argv[1]);
    japaneseFolder(argv[2]);
    if (failures == 0) std::printf("config_wine_test: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
