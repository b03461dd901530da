// The motor-noise layer rules as data: for every layer, the rows that can make it audible, in the
// order they are tried, and the pitch factor of every layer.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <span>

namespace sound {

// What a row reads; every term is slope × x + offset, which gives the same IEEE result as the
// written forms "c − k × x" and "k × x − c".
enum class Var : uint8_t {
    Zero,       // 0: a constant term
    S,          // motor speed, km/h
    R,          // voltage ratio
    V,          // train speed as the host reports it, signed, km/h
    BrakeFade,  // the line in S through 1 at S = V0 and 0 at S = V0 + 1.3
    BrakeRise,  // the line in S through 0.58 at S = V0 and 1.0 at S = V0 + 1.3
};

// What becomes of a term (or of two joined terms).
enum class Cap : uint8_t {
    None,          // not clamped: the value goes to the engine as it is
    Unit,          // clamp(x, 0, 1)
    HalfToOne,     // clamp(x, 0.5, 1)
    ZeroToK,       // clamp(x, 0, 0.6), the starting layer's K
    Max0,          // max(x, 0)
    Min1,          // min(x, 1)
    MinA,          // min(x, A)
    MinOneMinusA,  // min(x, 1 − A)
};

enum class Join : uint8_t {
    Only,   // the first term alone
    Max,    // max(first, second), then the row's cap
    Min,    // min(first, second), then the row's cap
    Times,  // first × second, then the row's cap
};

// The gains a row's value is multiplied by, left to right.
enum class Gain : uint8_t {
    Gp,
    Gb,
    GpFup,    // × Gp × Fup
    GbFup,    // × Gb × Fup
    G0,       // × G0
    FdownG0,  // × Fdown × G0
};

struct Term {
    Var x = Var::Zero;
    float slope = 0.0f;
    float offset = 0.0f;
    Cap cap = Cap::None;
};

constexpr float Infinity = std::numeric_limits<float>::infinity();

// The nearest float above a value (+infinity stays), and below it.
constexpr float nextUp(float x) {
    if (x == Infinity) return x;
    if (x == 0.0f) return std::numeric_limits<float>::denorm_min();
    const uint32_t bits = std::bit_cast<uint32_t>(x);
    return std::bit_cast<float>(x > 0.0f ? bits + 1 : bits - 1);
}
constexpr float nextDown(float x) {
    return -nextUp(-x);
}

// An interval of a value with both ends included: an open end is kept as the nearest float inside
// it, which admits exactly the same values, so a test is two comparisons. An unbounded interval
// holds for every value, NaN included; any other holds for no NaN.
struct Band {
    float low = -Infinity;
    float high = Infinity;
    bool unbounded = true;
};

enum class Flag : uint8_t { Any, Clear, Set };
enum class Notch : uint8_t { Any, One, TwoOrMore };
// The two parts of mode 103, split at 0.906179 while H is clear and at 0.9531526 while H is set.
enum class Part103 : uint8_t { Any, Lower, Upper };

struct Condition {
    uint32_t modes = 0;  // a set of ModeBit values; 0 never holds
    Band r, s, v;
    Flag h = Flag::Any;
    Notch n = Notch::Any;
    Part103 part103 = Part103::Any;
    bool belowFadeEnd = false;  // v < V0 + 1.3
};

struct Row {
    uint8_t layer;
    Condition when;
    Term first;
    Join join = Join::Only;
    Term second;
    Cap joined = Cap::None;  // after a Max, Min or Times
    Gain gain;
};

// The main circuit's modes (pulseMode) that a row can name, power modes in the order a rising
// voltage ratio passes through them, then the brake modes; 100 (no current) keys no layer. This is
// the one list of the modes: the host's report takes its mode chart from it.
constexpr std::array<int32_t, 17> PulseModes = {1, 2, 3, 5, 9, 15, 27, 45, 99, 101, 102, 103, 105, 109, 115, 127, 145};
constexpr int ModeCount = static_cast<int>(PulseModes.size());
constexpr int32_t NoCurrentMode = 100;

// Each mode's number 0 to ModeCount − 1, looked up in one step on the per-frame path.
constexpr auto ModeIndexTable = [] {
    std::array<int8_t, PulseModes.back() + 1> table{};
    table.fill(-1);
    for (int i = 0; i < ModeCount; ++i) table[PulseModes[i]] = static_cast<int8_t>(i);
    return table;
}();
// -1 for 100 and anything unknown.
constexpr int modeIndex(int32_t mode) {
    return mode >= 0 && mode < static_cast<int32_t>(ModeIndexTable.size()) ? ModeIndexTable[mode] : -1;
}

// The modes as bits of a set.
constexpr uint32_t modeBit(int32_t mode) {
    const int index = modeIndex(mode);
    return index < 0 ? 0 : 1u << index;  // 100 and anything unknown: no mode-keyed layer sounds
}

// Every row, grouped by layer in increasing layer order; within a layer the first row whose
// condition holds gives the volume, and a layer with no such row is silent.
std::span<const Row> motorLayerRows();
// The rows of one layer, in the order they are tried (empty for a layer without rows).
std::span<const Row> motorLayerRowsOf(int layer);
// The rows whose modes include the mode, as indices into motorLayerRows(), in table order: so still
// grouped by layer, and a layer's first row that holds among them is its first row that holds at all.
std::span<const uint8_t> motorLayerRowsOfMode(int32_t mode);

// Traction-motor noise layers: the sound files 0.wav to 40.wav, one voice each.
constexpr int MotorNoiseLayers = 41;

// The pitch factor k of each layer (ratio = S × k); layers 0 to 2 play at their recorded pitch and
// layers 28 and 29 get no request at all.
constexpr std::array<float, MotorNoiseLayers> MotorLayerPitch = {
    0.0f,         0.0f,         0.0f,         0.22379488f,  0.1537519f,   0.1537519f,   0.090909086f,
    0.090909086f, 0.058711812f, 0.058711812f, 0.042200573f, 0.042200573f, 0.042200573f, 0.042200573f,
    0.03228322f,  0.03228322f,  0.027482739f, 0.025060533f, 0.023695055f, 0.022470692f, 0.021743698f,
    0.01910299f,  0.01760204f,  0.01760204f,  0.014639321f, 0.012020906f, 0.058711812f, 0.031637553f,
    0.0f,         0.0f,         0.036925465f, 0.034072135f, 0.034463767f, 0.04175972f,  0.041934934f,
    0.05658641f,  0.05658641f,  0.07132801f,  0.071817994f, 0.12235022f,  0.12967394f,
};

constexpr bool layerGetsRequests(int layer) {
    return layer != 28 && layer != 29;
}
constexpr bool layerAtRecordedPitch(int layer) {
    return layer <= 2;
}

}  // namespace sound
