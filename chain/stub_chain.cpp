// Placeholder until chaining lands: no library is ever listed.
#include "chain/chain.h"

namespace chain {

void loadChainedPlugins(const platform::Path&) {}
void disposeChainedPlugins() {}
void checkChainedVersions() {}
void forwardSetVehicleSpec(const host::VehicleSpec&) {}
void forwardInitialize(int32_t) {}
void forwardKeyDown(int32_t) {}
void forwardKeyUp(int32_t) {}
void forwardHornBlow(int32_t) {}
void forwardDoorOpen() {}
void forwardDoorClose() {}
void forwardSetSignal(int32_t) {}
void forwardSetBeaconData(const host::BeaconData&) {}

host::Handles stepChainedPlugins(const host::VehicleState&, int32_t*, int32_t*, int32_t, int32_t, int32_t, Gates) {
    return host::Handles{};
}

}  // namespace chain
