// Loads a vehicle's configuration into local records, for the stand-in host's check command: the
// same readers and rules as Load, without touching the plug-in's process-wide state.
#pragma once

#include <string>
#include <vector>

#include "config/needle_tables.h"
#include "config/notch_config.h"
#include "platform/platform.h"

namespace config {

// An optional file that is not there, and what the plug-in does without it.
struct MissingFile {
    std::string what;  // e.g. "speedometer needle table"
    platform::Path path;
    std::string effect;  // e.g. "the speedometer receives the speed x 100"
};

struct VehicleCheck {
    bool ok = false;
    std::string error;  // the first configuration error, naming the file and line
    NotchConfig config;
    NeedleTables needles;
    bool panelModify = false;
    std::vector<MissingFile> missing;
    // Slips that Load reads without an error but that are rarely meant: a number followed by other
    // text, a misspelt section or key, a keyword in the wrong letter case. Each names file and line.
    std::vector<std::string> warnings;
};

// pluginDirectory is the folder that holds Notch.txt; the needle tables and PanelModify.txt lie in
// its parent, the vehicle folder. Never throws.
VehicleCheck checkVehicle(const platform::Path& pluginDirectory);

}  // namespace config
