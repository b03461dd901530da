// Calibration tables of the cab gauges and the needle adjustment switch file.
#pragma once

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

NeedleTables& needleTables();

// True when ..\PanelModify.txt exists beside the plug-in directory (its content is never read).
bool panelModifyFileExists(const platform::Path& pluginDirectory);
// Reads the five tables from ..\NeedleTable\ beside the plug-in directory.
void loadNeedleTables(NeedleTables& tables, const platform::Path& pluginDirectory);

}  // namespace config
