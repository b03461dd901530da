// Holding back one-notch brake steps from the first chained library while learned keys are down.
#pragma once

#include <cstdint>

namespace sim {

struct KeySet {
    uint64_t words[4] = {0, 0, 0, 0};

    void set(int key) { words[key >> 6] |= uint64_t{1} << (key & 63); }
    bool any() const { return (words[0] | words[1] | words[2] | words[3]) != 0; }
};

struct KeyboardState {
    uint8_t inputBuffer[256] = {};
    KeySet inputKeys;
    uint8_t frameBuffer[256] = {};
    KeySet frameKeys;
    KeySet upKeys, downKeys;
    int32_t acceptedBrakeNotch = 0;
    bool forwardBrake = true;
};

// In SetBrake, before the new notch is stored; only when N > 11.
void captureBrakeKeys(KeyboardState& keyboard, int32_t serviceNotches, int32_t previousNotch, int32_t newNotch);
// Before the chained plug-ins: whether the brake handle may pass to them this frame.
bool brakeGate(KeyboardState& keyboard, int32_t serviceNotches, int32_t driverBrake);

}  // namespace sim
