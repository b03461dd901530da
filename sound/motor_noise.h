// The 41 traction-motor noise layers: volumes and pitches from the main circuit's state.
#pragma once

#include <array>
#include <cstdint>

#include "sound/motor_layers.h"
#include "sound/sound_voice.h"

namespace sound {

struct AudioState;

// What the layers read, all produced earlier in the frame.
struct MotorNoiseInputs {
    int32_t mode = 0;  // pulseMode
    float r = 0.0f;    // voltage ratio
    float s = 0.0f;    // motor speed, km/h
    float v = 0.0f;    // train speed as the host reports it, signed, km/h
    int32_t n = 0;     // effective notch
    bool h = false;    // a negative power notch is in force
    float a = 0.0f;    // acceleration, km/h/s
    float gp = 0.0f;   // powerGain
    float gb = 0.0f;   // brakeGain
    float f = 0.0f;    // fieldRamp
    float u = 0.0f;    // line voltage, V
};

// The shares derived once per frame before the layers.
struct MotorNoiseShares {
    float fup;    // rising share clamp(2 × f)
    float fdown;  // falling share clamp(2 − 2 × f)
    float a;      // acceleration share clamp(0.6666667 × a − 0.33333334)
    float g0;     // starting gain
    float v0;     // brake fade speed, km/h
};
MotorNoiseShares motorNoiseShares(const MotorNoiseInputs& in);

// A layer's volume by its rows, exactly as computed (it may be negative or above its gain where a
// row is not clamped, and non-finite for non-finite inputs).
float motorLayerVolume(int layer, const MotorNoiseInputs& in, const MotorNoiseShares& shares);

// What one frame requests, after non-finite values were clamped: every volume and every ratio is
// finite. Layers 28 and 29 are not requested and hold 0.
struct MotorNoiseLevels {
    std::array<float, MotorNoiseLayers> volume{};
    std::array<float, MotorNoiseLayers> ratio{};
};
MotorNoiseLevels motorNoiseLevels(const MotorNoiseInputs& in);

// One volume request per loaded layer, then one frequency-ratio request per loaded layer, in slot
// order, all with the operation set; empty slots and layers 28 and 29 get none.
void applyMotorNoise(std::array<SoundVoice, MotorNoiseLayers>& layers, const MotorNoiseLevels& levels,
                     uint32_t operationSet);

// A power-mode step restarts the recording of a layer at once.
void rewindMotorLayer(AudioState& audio, int layer);

// One frame of the motor noise, last before the commit: the layers whose bits are set in
// rewindLayers (bit n for layer n, as the mode machine names them) start their recordings again,
// then every loaded layer gets its volume and frequency ratio in the frame's operation set.
void motorNoiseStep(AudioState& audio, uint64_t rewindLayers, const MotorNoiseInputs& in, uint32_t operationSet);

}  // namespace sound
