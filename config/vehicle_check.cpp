#include "config/vehicle_check.h"

#include <exception>

namespace config {
namespace {

void noteMissingCurves(VehicleCheck& check, const NotchFilesFound& found) {
    const NotchConfig& c = check.config;
    if (!found.powerCurrent) {
        check.missing.push_back({"power current file", c.powerCurrentPath,
                                 "every power notch table is empty: notch currents read as the speed itself"});
    }
    if (!found.powerNoLoadCurrent) {
        check.missing.push_back({"power no-load current file", c.powerNoLoadCurrentPath,
                                 "every no-load current table is empty: no-load currents read as the speed itself"});
    }
    if (!found.brakeMaxCurrent) {
        check.missing.push_back({"brake maximum current file", c.brakeMaxCurrentPath,
                                 "every brake notch table is empty: maximum brake currents read as the speed itself"});
    }
    if (!found.brakeNoLoadCurrent) {
        check.missing.push_back({"brake no-load current file", c.brakeNoLoadCurrentPath,
                                 "the regenerative no-load current reads as the speed itself"});
    }
}

constexpr const char* NeedleNames[NeedleTableCount] = {"left pressure gauge needle table",
                                                       "right pressure gauge needle table", "speedometer needle table",
                                                       "ammeter needle table", "voltmeter needle table"};
constexpr const char* NeedleEffects[NeedleTableCount] = {
    "the left pressure gauge receives the pressure in kPa unchanged",
    "the right pressure gauge receives the pressure in kPa unchanged",
    "the speedometer receives the speed in km/h x 100", "the ammeter receives the current in A unchanged",
    "the voltmeter receives the line voltage in V unchanged"};

}  // namespace

VehicleCheck checkVehicle(const platform::Path& pluginDirectory) {
    VehicleCheck check;
    try {
        NotchFilesFound found;
        check.config.load(platform::joinPath(pluginDirectory, "Notch.txt"), &found);
        noteMissingCurves(check, found);

        check.panelModify = panelModifyFileExists(pluginDirectory);
        if (!check.panelModify) {
            check.missing.push_back({"needle adjustment switch", platform::joinPath(pluginDirectory, PanelModifyFile),
                                     "the needle adjustment mode is off (the usual state for driving)"});
        }

        const std::array<bool, NeedleTableCount> opened = loadNeedleTables(check.needles, pluginDirectory);
        for (size_t i = 0; i < NeedleTableCount; ++i) {
            if (opened[i]) continue;
            check.missing.push_back(
                {NeedleNames[i], platform::joinPath(pluginDirectory, NeedleTableFiles[i]), NeedleEffects[i]});
        }
        check.ok = true;
    } catch (const std::exception& error) {
        check.ok = false;
        check.error = error.what();
    }
    return check;
}

}  // namespace config
