// Corvane's sixteen entry points: thin wrappers that call the frame and translate errors.
#include "corvane/plugin.h"
#include "interface/error_boundary.h"

using host::BeaconData;
using host::Handles;
using host::VehicleSpec;
using host::VehicleState;

namespace {

// The single instance of the loaded library.
frame::Plugin& plugin() {
    // Never destroyed: the host may call in while the process is shutting down.
    static frame::Plugin* instance = new frame::Plugin();
    return *instance;
}

// Arrays for a host that passes none, so a frame never writes through a null pointer.
int32_t spareArrays[2][host::PanelArraySize];

}  // namespace

void platform::onLibraryAttach(const platform::Path& moduleFile) {
    frame::libraryAttach(plugin(), moduleFile);
}

extern "C" {

PLUGIN_EXPORT void PLUGIN_CALL Load() {
    frame::guarded([] { frame::load(plugin()); });
}

PLUGIN_EXPORT void PLUGIN_CALL Dispose() {
    frame::quiet([] { frame::dispose(plugin()); });
}

PLUGIN_EXPORT int32_t PLUGIN_CALL GetPluginVersion() {
    int32_t version = host::PluginInterfaceVersion;
    frame::guarded([&] { version = frame::getPluginVersion(plugin()); });
    return version;
}

PLUGIN_EXPORT void PLUGIN_CALL SetVehicleSpec(VehicleSpec spec) {
    frame::quiet([&] { frame::setVehicleSpec(plugin(), spec); });
}

PLUGIN_EXPORT void PLUGIN_CALL Initialize(int32_t value) {
    frame::quiet([&] { frame::initialize(plugin(), value); });
}

PLUGIN_EXPORT Handles PLUGIN_CALL Elapse(VehicleState state, int32_t* panel, int32_t* sound) {
    Handles out{};
    frame::quiet([&] {
        out = frame::elapse(plugin(), state, panel ? panel : spareArrays[0], sound ? sound : spareArrays[1],
                            frame::platformFrameKeys());
    });
    return out;
}

PLUGIN_EXPORT void PLUGIN_CALL SetPower(int32_t power) {
    frame::quiet([&] { frame::setPower(plugin(), power); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetBrake(int32_t brake) {
    frame::quiet([&] { frame::setBrake(plugin(), brake, frame::PlatformKeyboard); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetReverser(int32_t reverser) {
    frame::quiet([&] { frame::setReverser(plugin(), reverser); });
}

PLUGIN_EXPORT void PLUGIN_CALL KeyDown(int32_t key) {
    frame::quiet([&] { frame::keyDown(plugin(), key, frame::platformShiftDown()); });
}

PLUGIN_EXPORT void PLUGIN_CALL KeyUp(int32_t key) {
    frame::quiet([&] { frame::keyUp(plugin(), key); });
}

PLUGIN_EXPORT void PLUGIN_CALL HornBlow(int32_t horn) {
    frame::quiet([&] { frame::hornBlow(plugin(), horn); });
}

PLUGIN_EXPORT void PLUGIN_CALL DoorOpen() {
    frame::quiet([] { frame::doorOpen(plugin()); });
}

PLUGIN_EXPORT void PLUGIN_CALL DoorClose() {
    frame::quiet([] { frame::doorClose(plugin()); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetSignal(int32_t signal) {
    frame::quiet([&] { frame::setSignal(plugin(), signal); });
}

PLUGIN_EXPORT void PLUGIN_CALL SetBeaconData(BeaconData beacon) {
    frame::quiet([&] { frame::setBeaconData(plugin(), beacon); });
}

}  // extern "C"
