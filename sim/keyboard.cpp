#include "sim/keyboard.h"

namespace sim {
namespace {

KeySet keySetFrom(const uint8_t buffer[256]) {
    KeySet keys;
    for (int k = 0; k < 256; ++k) {
        if (buffer[k] & 0x80) keys.set(k);
    }
    return keys;
}

bool readInto(const KeyboardReader* keyboard, uint8_t buffer[256]) {
    return keyboard != nullptr && keyboard->read(buffer);
}

// Keys in a and b but not in c.
bool anyCommon(const KeySet& a, const KeySet& b, const KeySet& notIn) {
    for (int w = 0; w < 4; ++w) {
        if (a.words[w] & b.words[w] & ~notIn.words[w]) return true;
    }
    return false;
}

}  // namespace

void captureBrakeKeys(KeyboardState& kb, const KeyboardReader* keyboard, int32_t serviceNotches, int32_t previousNotch,
                      int32_t newNotch) {
    if (serviceNotches <= 11) return;
    if (!readInto(keyboard, kb.inputBuffer)) {
        kb.upKeys = KeySet{};
        kb.downKeys = KeySet{};
        return;
    }
    kb.inputKeys = keySetFrom(kb.inputBuffer);
    if (newNotch > previousNotch) kb.upKeys = kb.inputKeys;
    if (newNotch < previousNotch) kb.downKeys = kb.inputKeys;
}

bool brakeGate(KeyboardState& kb, const KeyboardReader* keyboard, int32_t n, int32_t driver) {
    kb.forwardBrake = true;
    if (n <= 11 || !readInto(keyboard, kb.frameBuffer)) {
        kb.acceptedBrakeNotch = driver;
        return kb.forwardBrake;
    }
    kb.frameKeys = keySetFrom(kb.frameBuffer);
    const int64_t difference = static_cast<int64_t>(driver) - kb.acceptedBrakeNotch;
    if (difference == 1 && anyCommon(kb.frameKeys, kb.upKeys, kb.downKeys)) {
        kb.forwardBrake = false;
    } else if (difference == -1 && anyCommon(kb.frameKeys, kb.downKeys, kb.upKeys)) {
        kb.forwardBrake = false;
    }
    if (driver == n + 1 || driver == n || driver == 0) {
        kb.forwardBrake = true;
        kb.acceptedBrakeNotch = driver;
    } else if (kb.forwardBrake) {
        kb.acceptedBrakeNotch = driver;
    }
    return kb.forwardBrake;
}

}  // namespace sim
