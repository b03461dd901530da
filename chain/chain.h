// Further plug-in libraries listed in detailmodules.txt: loaded in Load, called before Corvane's
// own work in every entry point, and fed the driver's handles inside each frame.
#pragma once

#include <cstdint>

#include "frame/host_interface.h"
#include "platform/platform.h"

namespace chain {

// Load step 1: reads the list, loads each library and calls its Load before reading the next line.
void loadChainedPlugins(const platform::Path& pluginDirectory);
// Calls every Dispose and releases every library, in list order, and empties the list.
void disposeChainedPlugins();
// Throws VersionError (message: library path + fixed text) for the first library of another version.
void checkChainedVersions();

void forwardSetVehicleSpec(const host::VehicleSpec& spec);
void forwardInitialize(int32_t value);
void forwardKeyDown(int32_t key);
void forwardKeyUp(int32_t key);
void forwardHornBlow(int32_t horn);
void forwardDoorOpen();
void forwardDoorClose();
void forwardSetSignal(int32_t signal);
void forwardSetBeaconData(const host::BeaconData& beacon);

struct Gates {
    bool power = true;
    bool brake = true;
    bool reverser = true;
};

// The chained step of one frame; returns the handles of the last library that ran (kept between frames).
host::Handles stepChainedPlugins(const host::VehicleState& state, int32_t* panel, int32_t* sound,
                                 int32_t driverPower, int32_t driverBrake, int32_t driverReverser, Gates gates);

}  // namespace chain
