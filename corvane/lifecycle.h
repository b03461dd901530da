// The work of every Corvane entry point, on the plug-in it is given.
#pragma once

#include <cstdint>

#include "corvane/plugin.h"
#include "interface/host_interface.h"

namespace corvane {

// Library attach: the plug-in directory is the module's folder with its trailing separator.
void libraryAttach(Plugin& p, const platform::Path& moduleFile);

// The entry points' own work. Load throws config::ConfigError or platform::FileSystemError;
// GetPluginVersion throws chain's VersionError; nothing else throws.
void load(Plugin& p);
void dispose(Plugin& p);
int32_t getPluginVersion(Plugin& p);
void setVehicleSpec(Plugin& p, const host::VehicleSpec& spec);
void initialize(Plugin& p, int32_t value);
host::Handles elapse(Plugin& p, const host::VehicleState& state, int32_t* panel, int32_t* sound,
                     const sim::FrameKeys& keys);
void setPower(Plugin& p, int32_t power);
void setBrake(Plugin& p, int32_t brake, const sim::KeyboardReader* keyboard);
void setReverser(Plugin& p, int32_t reverser);
// shiftDown: the Shift key's state at the time of the call; with Shift, switches 5 and 6 stay as they are.
void keyDown(Plugin& p, int32_t key, bool shiftDown);
void keyUp(Plugin& p, int32_t key);
void hornBlow(Plugin& p, int32_t horn);
void doorOpen(Plugin& p);
void doorClose(Plugin& p);
void setSignal(Plugin& p, int32_t signal);
void setBeaconData(Plugin& p, const host::BeaconData& beacon);

// The keyboard as the platform reports it: the entry points read it here and hand it on, so that
// nothing below them reads the keyboard of its own accord.
bool platformShiftDown();
sim::FrameKeys platformFrameKeys();
struct PlatformKeyboardReader final : sim::KeyboardReader {
    bool read(uint8_t state[256]) const override { return platform::readKeyboardState(state); }
};
inline const PlatformKeyboardReader platformKeyboardReader;
inline const sim::KeyboardReader* const PlatformKeyboard = &platformKeyboardReader;

// The largest service-notch count accepted from the host; larger values are clamped so that the
// per-notch table is never sized from an untrusted value.
constexpr int32_t MaxServiceNotches = 255;

}  // namespace corvane
