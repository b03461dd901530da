// The notch definition file with its two parameter files and four current files, cut from one
// input at the separator line, read as Load reads them, then every table looked up at the edges.
#include <cmath>
#include <limits>

#include "config/config_error.h"
#include "config/notch_config.h"
#include "config/vehicle_check.h"
#include "fuzz_files.h"

namespace {

constexpr std::string_view Separator = "\n%%%%\n";
constexpr const char* FileNames[] = {
    "plugin/Notch.txt",
    "plugin/notch/PowerParams.txt",
    "plugin/notch/BrakeParams.txt",
    "plugin/notch/PowerCurrent.csv",
    "plugin/notch/PowerNoLoadCurrent.csv",
    "plugin/notch/BrakeMaxCurrent.csv",
    "plugin/notch/BrakeNoLoadCurrent.csv",
};

// The notch file may name any path; devices and other folders are not this target's business.
bool namesForeignFiles(std::string_view notchFile) {
    for (std::string_view word : {"..", "dev", "proc", "sys", "run"}) {
        if (notchFile.find(word) != std::string_view::npos) return true;
    }
    return false;
}

volatile float sink;

void lookAtEveryTable(const config::NotchConfig& c) {
    const float speeds[] = {0.0f,
                            -0.0f,
                            15.0f,
                            -30.0f,
                            1e30f,
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::denorm_min()};
    const int count = static_cast<int>(std::max(c.powerNotchCount, c.brakeNotchCount)) + 2;
    for (float speed : speeds) {
        for (int i = -2; i <= count; ++i) {
            sink = c.powerCurrentAt(i, speed);
            sink = c.powerNoLoadCurrentAt(i, speed);
            sink = c.brakeMaxCurrentAt(i, speed);
        }
        sink = c.powerCurrentAt(std::numeric_limits<int>::min(), speed);
        sink = c.brakeMaxCurrentAt(std::numeric_limits<int>::max(), speed);
        sink = c.highestBrakeMaxCurrentAt(speed);
        sink = c.brakeNoLoadCurrentAt(speed);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts = fuzz::splitInput(data, size, Separator);
    if (namesForeignFiles(parts[0])) return -1;
    fuzz::clearScratch();
    for (size_t i = 0; i < parts.size() && i < std::size(FileNames); ++i) {
        fuzz::writeScratchFile(FileNames[i], parts[i]);
    }
    const platform::Path plugin = fuzz::scratchDirectory() / "plugin" / "";

    config::NotchConfig notch;
    try {
        notch.load(platform::joinPath(plugin, "Notch.txt"));
    } catch (const config::ConfigError& error) {
        if (error.what()[0] == '\0') __builtin_trap();  // every error names its file
    }
    lookAtEveryTable(notch);

    // A second load into the same record, as a second Load of the plug-in does.
    try {
        notch.load(platform::joinPath(plugin, "Notch.txt"));
    } catch (const config::ConfigError&) {
    }
    lookAtEveryTable(notch);

    const config::VehicleCheck check = config::checkVehicle(plugin);
    if (!check.ok && check.error.empty()) __builtin_trap();
    return 0;
}
