// Small plug-in libraries for the host's tests, one behaviour per build (HOST_TEST_KIND):
// 1 reports an error from Load, 2 reports another interface version, 3 exports only Elapse and
// returns the power it was last told plus one.
#include <cstdint>

#include "interface/host_interface.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
const char* lastError = "";
}

EXPORT const char* PluginLastError() {
    return lastError;
}

#if HOST_TEST_KIND == 1
EXPORT void Load() {
    lastError = "Notch.txt line 3: broken on purpose";
}
EXPORT int32_t GetPluginVersion() {
    return host::PluginInterfaceVersion;
}
#elif HOST_TEST_KIND == 2
EXPORT int32_t GetPluginVersion() {
    return 0x10000;
}
#else
EXPORT host::Handles Elapse(host::VehicleState, int32_t* panel, int32_t*) {
    panel[200] = 7;
    return host::Handles{0, 3, 1, 0};
}
#endif
