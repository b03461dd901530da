// A chained plug-in for the reliability tests: it counts the calls it receives, and its version
// and whether its Load throws are set by the test.
#include <stdexcept>

#include "interface/host_interface.h"

namespace {

int32_t version = host::PluginInterfaceVersion;
bool throwInLoad = false;
int32_t loads = 0, disposes = 0, keyDowns = 0;

}  // namespace

extern "C" {

void ReliabilityConfigure(int32_t newVersion, int32_t newThrowInLoad) {
    version = newVersion;
    throwInLoad = newThrowInLoad != 0;
}

void ReliabilityCounts(int32_t* outLoads, int32_t* outDisposes, int32_t* outKeyDowns) {
    *outLoads = loads;
    *outDisposes = disposes;
    *outKeyDowns = keyDowns;
}

void Load() {
    ++loads;
    if (throwInLoad) throw std::runtime_error("the chained plug-in failed to load");
}
void Dispose() {
    ++disposes;
}
int32_t GetPluginVersion() {
    return version;
}
void KeyDown(int32_t) {
    ++keyDowns;
}
host::Handles Elapse(host::VehicleState, int32_t*, int32_t*) {
    return {};
}

}  // extern "C"
