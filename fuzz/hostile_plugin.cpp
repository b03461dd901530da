// A chained plug-in for the fuzz targets: its version, its Elapse result, the array elements it
// writes and whether its Load throws are whatever the target last configured.
#include "hostile_plugin.h"

#include <stdexcept>

#include "interface/host_interface.h"

namespace {

HostileBehaviour behaviour;
int32_t power = 0, brake = 0, reverser = 0;

}  // namespace

extern "C" {

void HostileConfigure(const HostileBehaviour* b) {
    behaviour = *b;
}

void Load() {
    if (behaviour.throwInLoad) throw std::runtime_error("chained Load failed");
}
void Dispose() {}
int32_t GetPluginVersion() {
    return behaviour.version;
}
void SetVehicleSpec(host::VehicleSpec) {}
void Initialize(int32_t) {}
host::Handles Elapse(host::VehicleState, int32_t* panel, int32_t* sound) {
    panel[behaviour.panelIndex] = behaviour.panelValue;
    sound[behaviour.soundIndex] = behaviour.soundValue;
    if (behaviour.passThrough) return {brake, power, reverser, 0};
    return {behaviour.handles[0], behaviour.handles[1], behaviour.handles[2], behaviour.handles[3]};
}
void SetPower(int32_t p) {
    power = p;
}
void SetBrake(int32_t b) {
    brake = b;
}
void SetReverser(int32_t r) {
    reverser = r;
}
void KeyDown(int32_t) {}
void KeyUp(int32_t) {}
void HornBlow(int32_t) {}
void DoorOpen() {}
void DoorClose() {}
void SetSignal(int32_t) {}
void SetBeaconData(host::BeaconData) {}

}  // extern "C"
