// The plug-in under test, reached through its sixteen entry points: Corvane linked into the host,
// or any plug-in library loaded from a file. The choice is made at run time, so this is a table of
// entry points with the host's calling convention.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interface/entry_points.h"
#include "interface/host_interface.h"
#include "platform/platform.h"

namespace corvane {
struct Plugin;
}

namespace cabhost {

using host::BeaconEntry;
using host::ElapseEntry;
using host::IntEntry;
using host::VehicleSpecEntry;
using host::VersionEntry;
using host::VoidEntry;
using LastErrorEntry = const char* (*)();
using SetKeyDownEntry = void (*)(int32_t, int32_t);

// A null entry is one the library does not export; the host skips that call.
struct EntryPoints : host::EntryPoints {
    // Extras of the Linux libraries: the message of the last error signal, and key state.
    LastErrorEntry lastError = nullptr;
    SetKeyDownEntry setKeyDown = nullptr;
};

// Main-circuit state of Corvane, readable only when it is linked in.
struct CorvaneView {
    int32_t pulseMode = 0;
    float voltageRatio = 0.0f;
    float motorSpeed = 0.0f;
    float motorCurrent = 0.0f;
    float lineVoltage = 0.0f;
    int32_t effectiveNotch = 0;
    bool holdFlag = false;
    float displayedSap = 0.0f;
    bool panelModifyMode = false;  // the needle adjustment mode
    int32_t adjustTarget = 0;
    int32_t adjustValue = 0;
};

struct PluginSession {
    std::string name;  // for messages: "Corvane (linked in)" or the library path
    EntryPoints entry;
    platform::LibraryHandle library = nullptr;
    bool linked = false;
    std::string missingEntries;  // names the library does not export, for the summary
    // For the summary: the chained libraries that were loaded and, each with why, those that were not,
    // as the scenario's chain or the chain list (chainList, when that gave them) names them.
    std::vector<std::string> chained, notChained;
    std::string chainList;

    ~PluginSession();
};

// Corvane linked into the host, working from pluginDirectory (which ends with a separator).
// Its process-wide state starts afresh.
std::unique_ptr<PluginSession> openLinkedCorvane(const platform::Path& pluginDirectory);
// A plug-in library; throws std::runtime_error with a clear message when it cannot be used.
std::unique_ptr<PluginSession> openLibrary(const platform::Path& library);

// Calls Load; returns the error message when Load ended with an error.
std::optional<std::string> callLoad(PluginSession& session);
// Calls GetPluginVersion; returns the error message when it ended with an error.
std::optional<std::string> callGetPluginVersion(PluginSession& session, int32_t& version);
// Elapse; returns the error message when a linked-in plug-in threw or a Windows library raised its
// error signal.
std::optional<std::string> callElapse(PluginSession& session, const host::VehicleState& state, int32_t* panel,
                                      int32_t* sound, host::Handles& out);
void setKeyState(PluginSession& session, int virtualKey, bool down);

// Linked-in Corvane: the host's own instance, which openLinkedCorvane starts afresh.
corvane::Plugin& linkedCorvane();

// Reads the main-circuit state of linked-in Corvane.
CorvaneView corvaneView();

}  // namespace cabhost
