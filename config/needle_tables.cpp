#include "config/needle_tables.h"

#include "config/curve_file.h"

namespace config {

bool panelModifyFileExists(const platform::Path& pluginDirectory) {
    return platform::exists(platform::joinPath(pluginDirectory, PanelModifyFile));
}

std::array<bool, NeedleTableCount> loadNeedleTables(NeedleTables& tables, const platform::Path& pluginDirectory) {
    CurveTable* const targets[NeedleTableCount] = {&tables.pressureLeftNeedle, &tables.pressureRightNeedle,
                                                   &tables.speedNeedle, &tables.currentNeedle, &tables.voltageNeedle};
    std::array<bool, NeedleTableCount> opened{};
    for (size_t i = 0; i < NeedleTableCount; ++i) {
        opened[i] =
            readCurveColumn(platform::joinPath(pluginDirectory, NeedleTableFiles[i]), 1, *targets[i], "needle table");
    }
    return opened;
}

}  // namespace config
