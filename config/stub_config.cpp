// Placeholder until the configuration readers land.
#include "config/config_error.h"
#include "config/needle_tables.h"
#include "config/notch_config.h"

namespace config {

float CurveTable::lookup(float x) const {
    return x;
}

void NotchConfig::load(const platform::Path&) {}

NotchConfig& notchConfig() {
    static NotchConfig* instance = new NotchConfig();
    return *instance;
}

NeedleTables& needleTables() {
    static NeedleTables* instance = new NeedleTables();
    return *instance;
}

bool panelModifyFileExists(const platform::Path& pluginDirectory) {
    return platform::exists(platform::joinPath(pluginDirectory, "..\\PanelModify.txt"));
}

void loadNeedleTables(NeedleTables&, const platform::Path&) {}

}  // namespace config
