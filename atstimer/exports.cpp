// Sentrel's sixteen entry points: thin wrappers around the train protection's state. Nothing here
// can fail, so no error ever leaves an entry point.
#include "atstimer/ats_timer.h"
#include "platform/platform.h"

using host::BeaconData;
using host::Handles;
using host::VehicleSpec;
using host::VehicleState;

namespace {

// The single instance of the loaded library; it starts at zero when the library is loaded.
atstimer::AtsState state;

// Arrays for a host that passes none, so a frame never writes through a null pointer.
int32_t spareArrays[2][host::PanelArraySize];

bool shiftKeyDown() noexcept {
    try {
        return platform::isKeyDown(platform::VirtualKeyShift);
    } catch (...) {
        return false;
    }
}

}  // namespace

extern "C" {

// Load, Dispose, HornBlow and SetSignal have nothing to do.
PLUGIN_EXPORT void PLUGIN_CALL Load() {}
PLUGIN_EXPORT void PLUGIN_CALL Dispose() {}
PLUGIN_EXPORT void PLUGIN_CALL HornBlow(int32_t) {}
PLUGIN_EXPORT void PLUGIN_CALL SetSignal(int32_t) {}

PLUGIN_EXPORT int32_t PLUGIN_CALL GetPluginVersion() {
    return host::PluginInterfaceVersion;
}

PLUGIN_EXPORT void PLUGIN_CALL SetVehicleSpec(VehicleSpec spec) {
    atstimer::setVehicleSpec(state, spec);
}

// The host's start value carries nothing this plug-in uses.
PLUGIN_EXPORT void PLUGIN_CALL Initialize(int32_t) {
    atstimer::initialize(state);
}

PLUGIN_EXPORT Handles PLUGIN_CALL Elapse(VehicleState vehicle, int32_t* panel, int32_t* sound) {
    return atstimer::elapse(state, vehicle, panel ? panel : spareArrays[0], sound ? sound : spareArrays[1]);
}

PLUGIN_EXPORT void PLUGIN_CALL SetPower(int32_t power) {
    atstimer::setPower(state, power);
}

PLUGIN_EXPORT void PLUGIN_CALL SetBrake(int32_t brake) {
    atstimer::setBrake(state, brake);
}

PLUGIN_EXPORT void PLUGIN_CALL SetReverser(int32_t reverser) {
    atstimer::setReverser(state, reverser);
}

PLUGIN_EXPORT void PLUGIN_CALL KeyDown(int32_t key) {
    atstimer::keyDown(state, key, key == atstimer::ResetKey && shiftKeyDown());
}

PLUGIN_EXPORT void PLUGIN_CALL KeyUp(int32_t key) {
    atstimer::keyUp(state, key);
}

PLUGIN_EXPORT void PLUGIN_CALL DoorOpen() {
    atstimer::doorOpen(state);
}

PLUGIN_EXPORT void PLUGIN_CALL DoorClose() {
    atstimer::doorClose(state);
}

PLUGIN_EXPORT void PLUGIN_CALL SetBeaconData(BeaconData beacon) {
    atstimer::setBeaconData(state, beacon);
}

}  // extern "C"
