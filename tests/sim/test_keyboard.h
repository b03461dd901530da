// Keys a test holds down, handed to Corvane as its keyboard: nothing process-wide to reset.
#pragma once

#include <array>
#include <cstring>

#include "sim/keyboard.h"

namespace simtest {

struct TestKeyboard final : sim::KeyboardReader {
    std::array<uint8_t, 256> keys{};
    bool fails = false;  // as the platform's read can
    mutable int reads = 0;

    void hold(int key, bool down = true) { keys[key] = down ? 0x80 : 0; }
    void releaseAll() { keys.fill(0); }
    bool read(uint8_t state[256]) const override {
        ++reads;
        if (!fails) std::memcpy(state, keys.data(), keys.size());
        return !fails;
    }
};

}  // namespace simtest
