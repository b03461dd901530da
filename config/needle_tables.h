// Calibration tables of the cab gauges and the needle adjustment switch file.
#pragma once

#include <array>
#include <string_view>

#include "config/curve_table.h"
#include "platform/platform.h"

namespace config {

struct NeedleTables {
    CurveTable pressureLeftNeedle;
    CurveTable pressureRightNeedle;
    CurveTable speedNeedle;
    CurveTable currentNeedle;
    CurveTable voltageNeedle;
};

constexpr size_t NeedleTableCount = 5;
// The files in the order they are read, relative to the plug-in directory.
constexpr std::array<std::string_view, NeedleTableCount> NeedleTableFiles = {
    "..\\NeedleTable\\PressureL.csv", "..\\NeedleTable\\PressureR.csv", "..\\NeedleTable\\Speed.csv",
    "..\\NeedleTable\\Current.csv",   "..\\NeedleTable\\Voltage.csv",
};
constexpr std::string_view PanelModifyFile = "..\\PanelModify.txt";

// True when ..\PanelModify.txt exists beside the plug-in directory (its content is never read).
// Throws platform::FileSystemError when existence cannot be determined.
bool panelModifyFileExists(const platform::Path& pluginDirectory);

// Reads the five tables from ..\NeedleTable\ beside the plug-in directory; a missing file leaves its
// table empty. Throws ConfigError on a malformed row. The result tells, in the order of
// NeedleTableFiles, which files could be opened.
std::array<bool, NeedleTableCount> loadNeedleTables(NeedleTables& tables, const platform::Path& pluginDirectory);

}  // namespace config
