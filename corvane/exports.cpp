// Corvane's sixteen entry points: thin wrappers that call the frame and translate errors.
#include "corvane/lifecycle.h"
#include "interface/error_boundary.h"

using host::BeaconData;
using host::Handles;
using host::VehicleSpec;
using host::VehicleState;

namespace {

// The single instance of the loaded library.
corvane::Plugin& plugin() {
    // Never destroyed: the host may call in while the process is shutting down.
    static corvane::Plugin* instance = new corvane::Plugin();
    return *instance;
}

// Arrays for a host that passes none, so a frame never writes through a null pointer.
int32_t spareArrays[2][host::PanelArraySize];

}  // namespace

void platform::onLibraryAttach(const platform::Path& moduleFile) {
    corvane::libraryAttach(plugin(), moduleFile);
}

extern "C" {

PLUGIN_EXPORT void PLUGIN_CALL Load() {
    boundary::guarded([] { corvane::load(plugin()); });
}

PLUGIN_EXPORT void PLUGIN_CALL Dispose() {
    boundary::quiet([] { corvane::dispose(plugin()); });
}

PLUGIN_EXPORT int32_t PLUGIN_CALL GetPluginVersion() {
    int32_t version = host::PluginInterfaceVersion;
    boundary::guarded([&] { version = corvane::getPluginVersion(plugin()); });
    return version;
}

PLUGIN_EXPORT void PLUGIN_CALL SetVehicleSpec(VehicleSpec spec) {
    boundary::quiet([&] { corvane::setVehicleSpec(plugin(), spec); });
}

PLUGIN_EXPORT void PLUGIN_CALL Initialize(int32_t value) {
    boundary::quiet([&] { corvane::initialize(plugin(), value); });
}

PLUGIN_EXPORT Handles PLUGIN_CALL Elapse(VehicleState state, int32_t* panel, int32_t* sound) {
    Handles out{};
    boundary::quiet([&] {
        out = corvane::elapse(plugin(), state, panel ? panel : spareArrays[0], sound ? sound : spareArrays[1],
                              corvane::platformFrameKeys());
    });
    return out;
}

PLUGIN_EXPORT void PLUGIN_CALL SetPower(int32_t power) {
    boundary::quiet([&] { corvane::setPower(plugin(), power); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetBrake(int32_t brake) {
    boundary::quiet([&] { corvane::setBrake(plugin(), brake, corvane::PlatformKeyboard); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetReverser(int32_t reverser) {
    boundary::quiet([&] { corvane::setReverser(plugin(), reverser); });
}

PLUGIN_EXPORT void PLUGIN_CALL KeyDown(int32_t key) {
    boundary::quiet([&] { corvane::keyDown(plugin(), key, corvane::platformShiftDown()); });
}

PLUGIN_EXPORT void PLUGIN_CALL KeyUp(int32_t key) {
    boundary::quiet([&] { corvane::keyUp(plugin(), key); });
}

PLUGIN_EXPORT void PLUGIN_CALL HornBlow(int32_t horn) {
    boundary::quiet([&] { corvane::hornBlow(plugin(), horn); });
}

PLUGIN_EXPORT void PLUGIN_CALL DoorOpen() {
    boundary::quiet([] { corvane::doorOpen(plugin()); });
}

PLUGIN_EXPORT void PLUGIN_CALL DoorClose() {
    boundary::quiet([] { corvane::doorClose(plugin()); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetSignal(int32_t signal) {
    boundary::quiet([&] { corvane::setSignal(plugin(), signal); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetBeaconData(BeaconData beacon) {
    boundary::quiet([&] { corvane::setBeaconData(plugin(), beacon); });
}

}  // extern "C"
