// Placeholder plug-in until the train protection lands: answers the sixteen entry points.
#include "frame/host_interface.h"

using host::BeaconData;
using host::Handles;
using host::VehicleSpec;
using host::VehicleState;

extern "C" {
void PLUGIN_CALL Load() {}
void PLUGIN_CALL Dispose() {}
int32_t PLUGIN_CALL GetPluginVersion() { return host::PluginInterfaceVersion; }
void PLUGIN_CALL SetVehicleSpec(VehicleSpec) {}
void PLUGIN_CALL Initialize(int32_t) {}
Handles PLUGIN_CALL Elapse(VehicleState, int32_t*, int32_t*) { return Handles{}; }
void PLUGIN_CALL SetPower(int32_t) {}
void PLUGIN_CALL SetBrake(int32_t) {}
void PLUGIN_CALL SetReverser(int32_t) {}
void PLUGIN_CALL KeyDown(int32_t) {}
void PLUGIN_CALL KeyUp(int32_t) {}
void PLUGIN_CALL HornBlow(int32_t) {}
void PLUGIN_CALL DoorOpen() {}
void PLUGIN_CALL DoorClose() {}
void PLUGIN_CALL SetSignal(int32_t) {}
void PLUGIN_CALL SetBeaconData(BeaconData) {}
}
