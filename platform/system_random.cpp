// The system's random source for release builds; test builds made with CORVANE_FIXED_RANDOM take
// fixed_random.cpp instead.
#include <random>

#include "platform/platform.h"

#ifndef CORVANE_FIXED_RANDOM
namespace platform {

uint32_t randomU32() {
    static std::random_device device;
    return device();
}

}  // namespace platform
#endif
