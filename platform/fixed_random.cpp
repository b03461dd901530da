// A fixed random sequence for test builds, so that traces compare bit for bit across builds.
#include "platform/platform.h"

namespace platform {

uint32_t randomU32() {
    // xorshift32: the same sequence on every compiler and word size.
    static uint32_t state = 2463534242u;
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

}  // namespace platform
