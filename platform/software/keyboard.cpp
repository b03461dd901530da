// A keyboard that the stand-in host and tests set: the Linux libraries have no other, and the
// Windows host uses it too, so that a scenario's keys reach linked-in Corvane the same way there.
#include <array>
#include <cstring>

#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace platform {
namespace {

struct KeyboardState {
    std::array<uint8_t, 256> keys{};
    bool readFails = false;
};
KeyboardState keyboard;

}  // namespace

bool isKeyDown(int virtualKey) {
    return virtualKey >= 0 && virtualKey < 256 && (keyboard.keys[virtualKey] & 0x80) != 0;
}

bool readKeyboardState(uint8_t state[256]) {
    if (keyboard.readFails) return false;
    std::memcpy(state, keyboard.keys.data(), 256);
    return true;
}

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < 256) keyboard.keys[virtualKey] = down ? 0x80 : 0;
}

void releaseAllKeys() {
    keyboard.keys.fill(0);
}

void setKeyboardReadFails(bool fails) {
    keyboard.readFails = fails;
}

}  // namespace platform
