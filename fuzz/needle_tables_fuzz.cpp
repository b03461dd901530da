// The five needle tables, cut from one input at the separator line, read as Load reads them and
// then written to a panel through the conversion every needle takes.
#include <limits>

#include "config/config_error.h"
#include "config/needle_tables.h"
#include "fuzz_files.h"
#include "sim/instruments.h"

namespace {

constexpr std::string_view Separator = "\n%%%%\n";
constexpr const char* FileNames[] = {
    "NeedleTable/PressureL.csv", "NeedleTable/PressureR.csv", "NeedleTable/Speed.csv",
    "NeedleTable/Current.csv",   "NeedleTable/Voltage.csv",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts = fuzz::splitInput(data, size, Separator);
    fuzz::clearScratch();
    for (size_t i = 0; i < parts.size() && i < std::size(FileNames); ++i) {
        fuzz::writeScratchFile(FileNames[i], parts[i]);
    }
    fuzz::writeScratchFile("plugin/.keep", "");
    const platform::Path plugin = fuzz::scratchDirectory() / "plugin" / "";

    config::NeedleTables tables;
    try {
        config::loadNeedleTables(tables, plugin);
    } catch (const config::ConfigError& error) {
        if (error.what()[0] == '\0') __builtin_trap();
    }

    int32_t panel[256] = {};
    const float inputs[] = {0.0f,
                            -0.0f,
                            1.0f,
                            -250.0f,
                            1500.0f,
                            1e38f,
                            -1e38f,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::denorm_min()};
    for (float a : inputs) {
        for (int32_t timer : {0, 99, 100, std::numeric_limits<int32_t>::min()}) {
            sim::writeNeedles(tables, panel, a, a, timer, a, -a, a, a, a);
        }
    }
    return 0;
}
