// EXT: functions of both Linux plug-in libraries that only the stand-in host and tests use.
#include <cstdint>

#include "platform/platform.h"

extern "C" {

__attribute__((visibility("default"))) const char* PluginLastError() {
    return platform::lastError();
}

__attribute__((visibility("default"))) void PluginSetKeyDown(int32_t virtualKey, int32_t down) {
    platform::setKeyDown(virtualKey, down != 0);
}

}  // extern "C"
