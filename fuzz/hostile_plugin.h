// What the fuzz targets' chained plug-in answers; set through HostileConfigure.
#pragma once

#include <cstdint>

struct HostileBehaviour {
    int32_t version = 0x20000;
    int32_t handles[4] = {0, 0, 0, 0};  // brake, power, reverser, auxCommand returned by Elapse
    bool passThrough = true;            // Elapse returns the positions it was handed instead
    bool throwInLoad = false;
    uint8_t panelIndex = 0;  // Elapse writes these elements (arrays hold 256)
    int32_t panelValue = 0;
    uint8_t soundIndex = 0;
    int32_t soundValue = 0;
};

using HostileConfigureEntry = void (*)(const HostileBehaviour*);
