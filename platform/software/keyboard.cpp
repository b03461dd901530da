// A keyboard that the stand-in host and tests set: the Linux libraries have no other, and the
// Windows host uses it too, so that a scenario's keys reach linked-in Corvane the same way there.
#include <array>
#include <cstring>

#include "platform/platform.h"
#include "platform/software/audio_internal.h"

namespace platform {
namespace {

std::array<uint8_t, 256> keyboard{};

}  // namespace

const bool* keyboardReadFault = nullptr;

bool isKeyDown(int virtualKey) {
    return virtualKey >= 0 && virtualKey < 256 && (keyboard[virtualKey] & 0x80) != 0;
}

bool readKeyboardState(uint8_t state[256]) {
    if (keyboardReadFault && *keyboardReadFault) return false;
    std::memcpy(state, keyboard.data(), 256);
    return true;
}

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < 256) keyboard[virtualKey] = down ? 0x80 : 0;
}

void releaseAllKeys() {
    keyboard.fill(0);
}

}  // namespace platform
