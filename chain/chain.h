// Further plug-in libraries listed in detailmodules.txt: loaded in Load, called before Corvane's
// own work in every entry point, and fed the driver's handles inside each frame.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "interface/entry_points.h"
#include "interface/host_interface.h"
#include "platform/platform.h"

namespace chain {

// The entry points of a chained library, called with the host's convention and records.
using host::BeaconEntry;
using host::ElapseEntry;
using host::IntEntry;
using host::VehicleSpecEntry;
using host::VersionEntry;
using host::VoidEntry;

// One loaded library. An entry is null when the library does not export that name.
struct ChainedPlugin : host::EntryPoints {
    platform::LibraryHandle module = nullptr;
    // The positions last handed to this library.
    int32_t lastBrakeSent = 0;
    int32_t lastPowerSent = 0;
    int32_t lastReverserSent = 0;
};

// Everything the chaining keeps between calls.
struct ChainState {
    std::vector<ChainedPlugin> chainedPlugins;  // in the order of the list file
    host::Handles chainHandles{};               // result of the latest chained Elapse, kept between frames
    bool chainResyncPending = true;             // the first frame with libraries hands over every position
    // A listed library's Load is running; a call back into the loading from inside it means the
    // library is this plug-in itself (or leads back to it).
    bool chainedLoadRunning = false;
    bool loadReentered = false;
};

// A chained library reports another interface version.
class VersionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The fixed text that follows the library path in the version error, in the host's narrow
// character set: code page 932 on Windows, UTF-8 elsewhere.
extern const char* const VersionErrorText;

// The name of the list file in the plug-in directory.
inline constexpr char ListFileName[] = "detailmodules.txt";

// First in Load: reads the list, loads each library and calls its Load before reading the next line.
// Throws platform::FileSystemError when a listed path cannot be tested for existence.
void loadChainedPlugins(ChainState& chain, const platform::Path& pluginDirectory);
// Calls every Dispose and releases every library, in list order, and empties the list.
void disposeChainedPlugins(ChainState& chain);
// Throws VersionError (message: library path + fixed text) for the first library of another version.
void checkChainedVersions(const ChainState& chain);

void forwardSetVehicleSpec(const ChainState& chain, const host::VehicleSpec& spec);
void forwardInitialize(const ChainState& chain, int32_t value);
void forwardKeyDown(const ChainState& chain, int32_t key);
void forwardKeyUp(const ChainState& chain, int32_t key);
void forwardHornBlow(const ChainState& chain, int32_t horn);
void forwardDoorOpen(const ChainState& chain);
void forwardDoorClose(const ChainState& chain);
void forwardSetSignal(const ChainState& chain, int32_t signal);
void forwardSetBeaconData(const ChainState& chain, const host::BeaconData& beacon);

struct Gates {
    bool power = true;
    bool brake = true;
    bool reverser = true;
};

// The chained step of one frame; returns the handles of the last library that ran (kept between frames).
host::Handles stepChainedPlugins(ChainState& chain, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                                 int32_t driverPower, int32_t driverBrake, int32_t driverReverser, Gates gates);

}  // namespace chain
