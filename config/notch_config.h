// The train's traction and brake characteristics, read from Notch.txt and the files it names.
#pragma once

#include <cstdint>
#include <vector>

#include "config/curve_table.h"
#include "platform/platform.h"

namespace config {

// More notches than any host offers; a larger count in a file is an error, which also keeps the
// number of tables and the work per curve row bounded.
constexpr uint32_t MaxNotchCount = 255;
// The brake blending reads the maximum-current tables of brake notch indices 5 and 7 every frame.
constexpr uint32_t MinBrakeNotchCount = 8;

// Which of the files that Notch.txt names could be opened (the curve files are optional).
struct NotchFilesFound {
    bool notchFile = false;
    bool powerCurrent = false;
    bool powerNoLoadCurrent = false;
    bool brakeMaxCurrent = false;
    bool brakeNoLoadCurrent = false;
};

struct NotchConfig {
    int section = 0;
    platform::Path powerParamsPath, powerCurrentPath, powerNoLoadCurrentPath;
    platform::Path brakeParamsPath, brakeMaxCurrentPath, brakeNoLoadCurrentPath;
    uint32_t powerNotchCount = 0;
    float powerJerk = 0.0f;
    std::vector<CurveTable> powerCurrent;        // element k: power notch k + 1
    std::vector<CurveTable> powerNoLoadCurrent;  // element k: power notch k + 1
    uint32_t brakeNotchCount = 0;
    float brakeJerk = 0.0f;
    float limitValueEmpty = 0.0f;
    float limitValueFull = 0.0f;
    float brakeReferenceSpeed = 0.0f;
    std::vector<CurveTable> brakeMaxCurrent;  // element k: brake notch k + 1
    CurveTable brakeNoLoadCurrent;            // the highest brake notch only

    // Reads Notch.txt and everything it names into this record; throws ConfigError on a
    // configuration error. Tables and counts are replaced; a path is replaced only when its key
    // occurs again. found, when given, tells which files could be opened.
    void load(const platform::Path& notchFile, NotchFilesFound* found = nullptr);

    // Tables by notch index (0-based). Power indices are clamped to the tables there are; a brake
    // index beyond the list gives the highest notch's table. With no table at all the result is an
    // empty table, whose lookup returns the speed itself. Safe for any index.
    const CurveTable& powerCurrentTable(int notchIndex) const;
    const CurveTable& powerNoLoadCurrentTable(int notchIndex) const;
    const CurveTable& brakeMaxCurrentTable(int notchIndex) const;
    const CurveTable& highestBrakeMaxCurrentTable() const;

    // Currents in A at the absolute value of speed (km/h).
    float powerCurrentAt(int notchIndex, float speed) const;
    float powerNoLoadCurrentAt(int notchIndex, float speed) const;
    float brakeMaxCurrentAt(int notchIndex, float speed) const;
    float highestBrakeMaxCurrentAt(float speed) const;
    float brakeNoLoadCurrentAt(float speed) const;
};

}  // namespace config
