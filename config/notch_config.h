// The train's traction and brake characteristics, read from Notch.txt and the files it names.
#pragma once

#include <cstdint>
#include <vector>

#include "config/curve_table.h"
#include "platform/platform.h"

namespace config {

struct NotchConfig {
    int section = 0;
    platform::Path powerParamsPath, powerCurrentPath, powerNoLoadCurrentPath;
    platform::Path brakeParamsPath, brakeMaxCurrentPath, brakeNoLoadCurrentPath;
    uint32_t powerNotchCount = 0;
    float powerJerk = 0.0f;
    std::vector<CurveTable> powerCurrent;
    std::vector<CurveTable> powerNoLoadCurrent;
    uint32_t brakeNotchCount = 0;
    float brakeJerk = 0.0f;
    float limitValueEmpty = 0.0f;
    float limitValueFull = 0.0f;
    float brakeReferenceSpeed = 0.0f;
    std::vector<CurveTable> brakeMaxCurrent;
    CurveTable brakeNoLoadCurrent;

    // Reads everything; throws ConfigError on a configuration error.
    void load(const platform::Path& notchFile);
};

// The process-wide record, created on first use.
NotchConfig& notchConfig();

}  // namespace config
