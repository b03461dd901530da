// Small plug-in libraries for the host's tests, one behaviour per build (HOST_TEST_KIND):
// 1 reports an error from Load, 2 reports another interface version, 3 exports only Elapse and
// returns the power it was last told plus one, 4 is chained and writes beside itself in Load
// (appends to state.ini, leaves new.txt) and asks for host sound 250 every frame.
#include <dlfcn.h>

#include <cstdint>
#include <fstream>
#include <string>

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
#elif HOST_TEST_KIND == 4
EXPORT void Load() {
    Dl_info self{};
    if (!::dladdr(reinterpret_cast<void*>(&Load), &self) || !self.dli_fname) return;
    std::string folder = self.dli_fname;
    folder.erase(folder.rfind('/') + 1);
    std::ofstream(folder + "state.ini", std::ios::app) << "written by the library\n";
    std::ofstream(folder + "new.txt") << "left by the library\n";
}
EXPORT int32_t GetPluginVersion() {
    return host::PluginInterfaceVersion;
}
EXPORT host::Handles Elapse(host::VehicleState, int32_t*, int32_t* sound) {
    sound[250] = host::SoundPlayOnce;
    return host::Handles{};
}
#else
EXPORT host::Handles Elapse(host::VehicleState, int32_t* panel, int32_t*) {
    panel[200] = 7;
    return host::Handles{0, 3, 1, 0};
}
#endif
