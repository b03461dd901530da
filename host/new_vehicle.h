// `cabhost new`: writes a complete, commented vehicle folder that passes `cabhost check` and moves
// in the departure scenario written beside it, as the starting point of a vehicle of one's own.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

struct NewVehicleSettings {
    platform::Path folder;  // must not exist yet, or be empty
    int powerNotches = 5;
    int brakeNotches = 8;  // service notches, at least 8
    // A library that passes the driver's handles on, for the scenario's chain (Sentrel); absolute.
    std::optional<platform::Path> chainLibrary;
    // Plug-in libraries copied into the plug-in folder (Corvane.dll and Sentrel.dll of cabhost.exe's
    // word size, where cabhost finds them beside itself).
    std::vector<platform::Path> pluginCopies;
};

// Writes the vehicle; returns the exit code (0 on success, 2 for a refused folder or notch count).
int newVehicleCommand(const NewVehicleSettings& settings, std::ostream& out, std::ostream& err);

// The Sentrel library and the plug-in DLLs that lie where the build puts them beside the host
// executable (dist/bin/cabhost: dist/linux-x86_64/ and dist/windows-x86/; cabhost.exe: its own folder).
void findLibrariesBeside(const platform::Path& executable, NewVehicleSettings& settings);

}  // namespace cabhost
