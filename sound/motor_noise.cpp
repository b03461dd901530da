#include "sound/motor_noise.h"

#include <cmath>

#include "platform/audio.h"
#include "sound/audio_state.h"
#include "sound/motor_layers.h"

namespace sound {
namespace {

float clampTo(float x, float low, float high) {
    return x < low ? low : (x > high ? high : x);
}

float smaller(float x, float y) {
    return y < x ? y : x;
}

float larger(float x, float y) {
    return x < y ? y : x;
}

bool inBand(const Band& band, float x) {
    return band.unbounded || (x >= band.low && x <= band.high);
}

// Everything of the condition but its modes.
[[gnu::always_inline]] inline bool holdsInMode(const Condition& c, const MotorNoiseInputs& in,
                                               const MotorNoiseShares& shares) {
    if (!inBand(c.r, in.r) || !inBand(c.s, in.s) || !inBand(c.v, in.v)) return false;
    if (c.h == Flag::Clear && in.h) return false;
    if (c.h == Flag::Set && !in.h) return false;
    if (c.n == Notch::One && in.n != 1) return false;
    if (c.n == Notch::TwoOrMore && !(in.n >= 2)) return false;
    if (c.part103 != Part103::Any) {
        const float split = in.h ? 0.9531526f : 0.906179f;
        const bool lower = in.r < split;
        const bool upper = in.r >= split;
        if (c.part103 == Part103::Lower ? !lower : !upper) return false;
    }
    if (c.belowFadeEnd && !(in.v < shares.v0 + 1.3f)) return false;
    return true;
}

bool holds(const Condition& c, const MotorNoiseInputs& in, const MotorNoiseShares& shares) {
    return (c.modes & modeBit(in.mode)) != 0 && holdsInMode(c, in, shares);
}

float variable(Var x, const MotorNoiseInputs& in, const MotorNoiseShares& shares) {
    switch (x) {
        case Var::Zero: return 0.0f;
        case Var::S: return in.s;
        case Var::R: return in.r;
        case Var::V: return in.v;
        case Var::BrakeFade: return (shares.v0 + 1.3f - in.s) / 1.3f;
        case Var::BrakeRise: return 0.58f + 0.42f * (in.s - shares.v0) / 1.3f;
    }
    return 0.0f;
}

float capped(Cap cap, float x, const MotorNoiseShares& shares) {
    switch (cap) {
        case Cap::None: return x;
        case Cap::Unit: return clampTo(x, 0.0f, 1.0f);
        case Cap::HalfToOne: return clampTo(x, 0.5f, 1.0f);
        case Cap::ZeroToK: return clampTo(x, 0.0f, 0.6f);
        case Cap::Max0: return larger(x, 0.0f);
        case Cap::Min1: return smaller(x, 1.0f);
        case Cap::MinA: return smaller(x, shares.a);
        case Cap::MinOneMinusA: return smaller(x, 1.0f - shares.a);
    }
    return x;
}

float evaluate(const Term& t, const MotorNoiseInputs& in, const MotorNoiseShares& shares) {
    return capped(t.cap, t.slope * variable(t.x, in, shares) + t.offset, shares);
}

float rowValue(const Row& row, const MotorNoiseInputs& in, const MotorNoiseShares& shares) {
    const float first = evaluate(row.first, in, shares);
    float value = first;
    switch (row.join) {
        case Join::Only: return first;
        case Join::Max: value = larger(first, evaluate(row.second, in, shares)); break;
        case Join::Min: value = smaller(first, evaluate(row.second, in, shares)); break;
        case Join::Times: value = first * evaluate(row.second, in, shares); break;
    }
    return capped(row.joined, value, shares);
}

float withGain(Gain gain, float value, const MotorNoiseInputs& in, const MotorNoiseShares& shares) {
    switch (gain) {
        case Gain::Gp: return value * in.gp;
        case Gain::Gb: return value * in.gb;
        case Gain::GpFup: return value * in.gp * shares.fup;
        case Gain::GbFup: return value * in.gb * shares.fup;
        case Gain::G0: return value * shares.g0;
        case Gain::FdownG0: return value * shares.fdown * shares.g0;
    }
    return value;
}

// A non-finite volume becomes silence, or full level for +infinity; a non-finite ratio becomes
// the recorded pitch, or the layer's limit for an infinity. The engine never sees NaN or infinity.
float finiteVolume(float volume) {
    if (std::isnan(volume)) return 0.0f;
    if (std::isinf(volume)) return volume > 0.0f ? 1.0f : 0.0f;
    return volume;
}

float finiteRatio(float ratio) {
    if (std::isnan(ratio)) return 1.0f;
    if (std::isinf(ratio)) return ratio > 0.0f ? MotorNoiseMaxFrequencyRatio : platform::AudioMinFrequencyRatio;
    return ratio;
}

}  // namespace

MotorNoiseShares motorNoiseShares(const MotorNoiseInputs& in) {
    MotorNoiseShares s{};
    const float f = clampTo(in.f, 0.0f, 1.0f);
    s.fup = clampTo(2.0f * f, 0.0f, 1.0f);
    s.fdown = clampTo(2.0f - 2.0f * f, 0.0f, 1.0f);
    s.a = clampTo(0.6666667f * in.a - 0.33333334f, 0.0f, 1.0f);
    switch (in.mode) {
        case 2:
        case 3: s.g0 = in.gp; break;
        case 102:
        case 103: s.g0 = in.gb; break;
        default: s.g0 = 0.5f; break;
    }
    s.v0 = in.u * 39.561718f / 1650.0f;
    return s;
}

float motorLayerVolume(int layer, const MotorNoiseInputs& in, const MotorNoiseShares& shares) {
    for (const Row& row : motorLayerRowsOf(layer)) {
        if (!holds(row.when, in, shares)) continue;
        return withGain(row.gain, rowValue(row, in, shares), in, shares);
    }
    return 0.0f;
}

MotorNoiseLevels motorNoiseLevels(const MotorNoiseInputs& in) {
    const MotorNoiseShares shares = motorNoiseShares(in);
    // A layer that none of the mode's rows makes audible keeps volume 0. One pass over the mode's
    // rows: they are grouped by layer, so once a row of a layer held, its later rows are skipped.
    MotorNoiseLevels levels;
    const std::span<const Row> rows = motorLayerRows();
    int decided = -1;
    for (const uint8_t index : motorLayerRowsOfMode(in.mode)) {
        const Row& row = rows[index];
        if (row.layer == decided || !holdsInMode(row.when, in, shares)) continue;
        decided = row.layer;
        levels.volume[row.layer] = finiteVolume(withGain(row.gain, rowValue(row, in, shares), in, shares));
    }

    // With a finite S every product is finite (every k is below 1), so only a non-finite S needs
    // the per-layer replacement.
    if (std::isfinite(in.s)) {
        for (int layer = 0; layer < MotorNoiseLayers; ++layer) levels.ratio[layer] = in.s * MotorLayerPitch[layer];
    } else {
        for (int layer = 0; layer < MotorNoiseLayers; ++layer)
            levels.ratio[layer] = finiteRatio(in.s * MotorLayerPitch[layer]);
    }
    static_assert(layerAtRecordedPitch(2) && !layerAtRecordedPitch(3));
    static_assert(!layerGetsRequests(28) && !layerGetsRequests(29));
    levels.ratio[0] = levels.ratio[1] = levels.ratio[2] = 1.0f;
    levels.ratio[28] = levels.ratio[29] = 0.0f;
    return levels;
}

void applyMotorNoise(std::array<SoundVoice, MotorNoiseLayers>& layers, const MotorNoiseLevels& levels,
                     uint32_t operationSet) {
    // The levels are finite by construction, so the requests skip the voice's own replacement of
    // non-finite values. Layers 28 and 29 get none: the loops run around them.
    static_assert(!layerGetsRequests(28) && !layerGetsRequests(29) && layerGetsRequests(27) && layerGetsRequests(30));
    // Only changes are sent: a layer holds its volume for seconds at a time, often at 0.
    const auto volume = [&](int layer) {
        if (layers[layer].voice) layers[layer].sendVolume(levels.volume[layer], operationSet);
    };
    const auto ratio = [&](int layer) {
        if (layers[layer].voice) layers[layer].sendRatio(levels.ratio[layer], operationSet);
    };
    for (int layer = 0; layer < 28; ++layer) volume(layer);
    for (int layer = 30; layer < MotorNoiseLayers; ++layer) volume(layer);
    for (int layer = 0; layer < 28; ++layer) ratio(layer);
    for (int layer = 30; layer < MotorNoiseLayers; ++layer) ratio(layer);
}

void rewindMotorLayer(AudioState& audio, int layer) {
    if (layer >= 0 && layer < MotorNoiseLayers) audio.motorNoise[layer].rewind();
}

void motorNoiseStep(AudioState& audio, uint64_t rewindLayers, const MotorNoiseInputs& in, uint32_t operationSet) {
    for (int layer = 0; layer < MotorNoiseLayers; ++layer) {
        if (((rewindLayers >> layer) & 1u) != 0) rewindMotorLayer(audio, layer);
    }
    applyMotorNoise(audio.motorNoise, motorNoiseLevels(in), operationSet);
}

}  // namespace sound
