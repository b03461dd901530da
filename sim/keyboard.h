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

// Reads all 256 key states (a key is down when the high bit of its byte is set); false when the
// keyboard cannot be read. The entry points hand over the platform's keyboard, a test keys of its
// own: the brake keys are read only on trains with more than 11 service notches, so the read
// happens only where it is needed.
class KeyboardReader {
public:
    virtual bool read(uint8_t state[256]) const = 0;

protected:
    ~KeyboardReader() = default;
};

// The keyboard as an entry point hands it to one frame.
struct FrameKeys {
    bool pauseDown = false;                    // the sound pause key, read when the frame was called
    const KeyboardReader* keyboard = nullptr;  // null: the keyboard cannot be read
};

// In SetBrake, before the new notch is stored; only when N > 11.
void captureBrakeKeys(KeyboardState& state, const KeyboardReader* keyboard, int32_t serviceNotches,
                      int32_t previousNotch, int32_t newNotch);
// Before the chained plug-ins: whether the brake handle may pass to them this frame.
bool brakeGate(KeyboardState& state, const KeyboardReader* keyboard, int32_t serviceNotches, int32_t driverBrake);

}  // namespace sim
