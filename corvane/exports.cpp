// Corvane's sixteen entry points: the library's one instance behind the exported names.
#include "corvane/entries.h"
#include "interface/error_boundary.h"

using host::BeaconData;
using host::Handles;
using host::VehicleSpec;
using host::VehicleState;

namespace {

struct Library {
    // Never destroyed: the host may call in while the process is shutting down.
    static corvane::Plugin& plugin() {
        static corvane::Plugin* instance = new corvane::Plugin();
        return *instance;
    }
    template <class Work>
    static void reported(Work&& work) {
        boundary::guarded(work);
    }
    template <class Work>
    static void quiet(Work&& work) {
        boundary::quiet(work);
    }
    static constexpr int32_t versionOnError = host::PluginInterfaceVersion;
};
using Exported = corvane::Entries<Library>;

}  // namespace

void platform::onLibraryAttach(const platform::Path& moduleFile) {
    corvane::libraryAttach(Library::plugin(), moduleFile);
}

extern "C" {

PLUGIN_EXPORT void PLUGIN_CALL Load() {
    Exported::load();
}

PLUGIN_EXPORT void PLUGIN_CALL Dispose() {
    Exported::dispose();
}

PLUGIN_EXPORT int32_t PLUGIN_CALL GetPluginVersion() {
    return Exported::getPluginVersion();
}

PLUGIN_EXPORT void PLUGIN_CALL SetVehicleSpec(VehicleSpec spec) {
    Exported::setVehicleSpec(spec);
}

PLUGIN_EXPORT void PLUGIN_CALL Initialize(int32_t value) {
    Exported::initialize(value);
}

PLUGIN_EXPORT Handles PLUGIN_CALL Elapse(VehicleState state, int32_t* panel, int32_t* sound) {
    return Exported::elapse(state, panel, sound);
}

PLUGIN_EXPORT void PLUGIN_CALL SetPower(int32_t power) {
    Exported::setPower(power);
}

PLUGIN_EXPORT void PLUGIN_CALL SetBrake(int32_t brake) {
    Exported::setBrake(brake);
}

PLUGIN_EXPORT void PLUGIN_CALL SetReverser(int32_t reverser) {
    Exported::setReverser(reverser);
}

PLUGIN_EXPORT void PLUGIN_CALL KeyDown(int32_t key) {
    Exported::keyDown(key);
}

PLUGIN_EXPORT void PLUGIN_CALL KeyUp(int32_t key) {
    Exported::keyUp(key);
}

PLUGIN_EXPORT void PLUGIN_CALL HornBlow(int32_t horn) {
    Exported::hornBlow(horn);
}

PLUGIN_EXPORT void PLUGIN_CALL DoorOpen() {
    Exported::doorOpen();
}

PLUGIN_EXPORT void PLUGIN_CALL DoorClose() {
    Exported::doorClose();
}

PLUGIN_EXPORT void PLUGIN_CALL SetSignal(int32_t signal) {
    Exported::setSignal(signal);
}

PLUGIN_EXPORT void PLUGIN_CALL SetBeaconData(BeaconData beacon) {
    Exported::setBeaconData(beacon);
}

}  // extern "C"
