#include "sound/motor_layers.h"

#include <iterator>

namespace sound {
namespace {

constexpr uint32_t modes(std::initializer_list<int32_t> list) {
    uint32_t bits = 0;
    for (int32_t m : list) bits |= modeBit(m);
    return bits;
}

constexpr Band below(float x) {
    return {-Infinity, nextDown(x), false};
}
constexpr Band atLeast(float x) {
    return {x, Infinity, false};
}
constexpr Band above(float x) {
    return {nextUp(x), Infinity, false};
}
constexpr Band exactly(float x) {
    return {x, x, false};
}
constexpr Band open(float low, float high) {
    return {nextUp(low), nextDown(high), false};
}
constexpr Band closed(float low, float high) {
    return {low, high, false};
}
constexpr Band closedOpen(float low, float high) {
    return {low, nextDown(high), false};
}

constexpr Term line(Var x, float slope, float offset, Cap cap = Cap::None) {
    return {x, slope, offset, cap};
}
constexpr Term constant(float value) {
    return {Var::Zero, 0.0f, value, Cap::None};
}

constexpr Condition when(uint32_t modeSet, Band r = {}, Band s = {}, Band v = {}) {
    Condition c;
    c.modes = modeSet;
    c.r = r;
    c.s = s;
    c.v = v;
    return c;
}

constexpr Row row(uint8_t layer, Condition when, Term value, Gain gain) {
    return {layer, when, value, Join::Only, {}, Cap::None, gain};
}
constexpr Row joined(uint8_t layer, Condition when, Term first, Join join, Term second, Cap cap, Gain gain) {
    return {layer, when, first, join, second, cap, gain};
}

// Full voltage in power (N ≥ 2, mode 1 or 2, r exactly 1) and in braking (mode 101 or 102, r
// exactly 1), with a speed band.
constexpr Condition power(Band v) {
    Condition c = when(modes({1, 2}), exactly(1.0f), {}, v);
    c.n = Notch::TwoOrMore;
    return c;
}
constexpr Condition braking(Band v) {
    return when(modes({101, 102}), exactly(1.0f), {}, v);
}
constexpr Condition with(Condition c, Flag h) {
    c.h = h;
    return c;
}

constexpr Condition mode(int32_t m) {
    return when(modes({m}));
}
constexpr Condition modeR(int32_t m, Band r) {
    return when(modes({m}), r);
}
constexpr Condition modeH(int32_t m, Flag h, Band r = {}) {
    Condition c = when(modes({m}), r);
    c.h = h;
    return c;
}
constexpr Condition mode103(Part103 part, Band r = {}) {
    Condition c = when(modes({103}), r);
    c.part103 = part;
    return c;
}
constexpr Condition notch(Notch n, uint32_t modeSet, Band r = {}, Band v = {}) {
    Condition c = when(modeSet, r, {}, v);
    c.n = n;
    return c;
}

using enum Var;
using enum Cap;
using enum Gain;
using enum Join;
using enum Flag;

constexpr Term K = line(V, -0.024f, 1.6800001f, ZeroToK);
constexpr Term BrakeCut = line(R, 42.691746f, -40.69175f, Min1);   // min(42.691746 × r − 40.69175, 1)
constexpr Term HeldFade = line(V, -0.2857143f, 10.428572f, Min1);  // min(10.428572 − 0.2857143 × v, 1)

constexpr Row Rows[] = {
    // Low pulse modes.
    row(0, mode(99), line(S, -2.0f, 1.0f, Unit), Gp),
    row(1, when(modes({99}), {}, below(1.5f)), line(S, 2.0f, 0.0f, Unit), Gp),
    row(1, when(modes({99}), {}, atLeast(1.5f)), line(S, 0.42122766f, -0.053069115f, Unit), Gp),
    row(2, mode(99), line(S, 2.0f, -4.0f, Unit), Gp),
    row(3, mode(45), constant(1.0f), Gp),
    row(3, mode(145), constant(1.0f), Gb),
    row(4, mode(27), line(R, -20.950151f, 6.677285f, Unit), Gp),
    row(5, mode(27), line(R, 17.33805f, -4.0432687f, Unit), Gp),
    joined(6, mode(15), line(R, -6.4411416f, 3.3790236f), Max, line(R, -7.407316f, 3.8108785f), Unit, Gp),
    row(7, mode(15), line(R, 29.629265f, -11.243514f, Unit), Gp),
    row(8, modeR(9, below(0.7537357f)), line(R, -21.106974f, 14.272717f, HalfToOne), Gp),
    row(9, mode(9), line(R, 4.6904426f, -2.6161618f, Unit), Gp),
    row(10, mode(5), line(R, -7.978585f, 7.378005f), Gp),
    row(11, mode(5), line(R, 7.978585f, -6.378005f), Gp),
    row(12, modeR(3, below(0.9531526f)), line(R, -295.49838f, 277.65506f, Unit), Gp),
    row(13, modeR(3, below(0.9531526f)), line(R, 67.15856f, -62.103268f, Unit), Gp),
    row(13, modeR(2, below(0.9531526f)), line(R, -21.3459f, 21.3459f), Gp),
    row(14, modeR(2, below(1.0f)), line(R, -32.01887f, 32.01887f, Unit), Gp),
    row(14, modeH(102, Clear, below(1.0f)), constant(1.0f), Gb),
    row(
        14,
        [] {
            Condition c = with(braking({}), Clear);
            c.belowFadeEnd = true;
            return c;
        }(),
        line(BrakeFade, 1.0f, 0.0f), GbFup),

    // Full voltage: layers 15 to 25 by train speed, power rows before braking rows.
    row(15, notch(Notch::TwoOrMore, modes({2}), below(1.0f)), line(R, 21.3459f, -20.3459f, MinA), GpFup),
    row(15, power(below(36.5f)), line(V, -0.7692312f, 28.076939f, MinA), GpFup),
    row(15, modeH(102, Clear, below(1.0f)), line(R, 6.181985f, -5.601985f), GbFup),
    row(15, with(braking(below(36.5f)), Clear), line(BrakeRise, 1.0f, 0.0f, Min1), GbFup),
    row(15, with(braking(closedOpen(36.5f, 41.0f)), Clear), line(V, -0.2222222f, 9.111111f), GbFup),

    row(16, power(open(32.0f, 35.2f)), line(V, 0.3124999f, -9.999998f, MinA), GpFup),
    row(16, power(closed(35.2f, 40.0f)), line(V, -0.5f, 20.0f, MinA), GpFup),
    row(16, braking(open(32.0f, 33.0f)), line(V, 1.0f, -32.0f), GbFup),
    row(16, braking(closed(33.0f, 40.0f)), line(V, -0.5f, 20.0f, Min1), GbFup),

    row(17, power(open(36.5f, 38.0f)), line(V, 0.6666667f, -24.333334f), GpFup),
    row(17, power(closed(38.0f, 42.0f)), line(V, -1.0f, 42.0f, Min1), GpFup),
    joined(17, when(modes({102}), below(1.0f), {}, open(36.5f, 38.0f)), line(V, 0.6666667f, -24.333334f), Times,
           BrakeCut, None, GbFup),
    joined(17, when(modes({102}), below(1.0f), {}, closed(38.0f, 42.0f)), line(V, -1.0f, 42.0f, Min1), Times, BrakeCut,
           None, GbFup),
    row(17, braking(open(36.5f, 38.0f)), line(V, 0.6666667f, -24.333334f), GbFup),
    row(17, braking(closed(38.0f, 42.0f)), line(V, -1.0f, 42.0f, Min1), GbFup),

    row(18, power(open(40.0f, 41.0f)), line(V, 1.0f, -40.0f), GpFup),
    row(18, power(closed(41.0f, 44.9f)), line(V, -0.5263154f, 23.631561f, Min1), GpFup),
    row(18, braking(open(40.0f, 41.0f)), line(V, 1.0f, -40.0f), GbFup),
    row(18, braking(closed(41.0f, 44.9f)), line(V, -0.5263154f, 23.631561f, Min1), GbFup),

    row(19, power(open(42.0f, 43.0f)), line(V, 1.0f, -42.0f), GpFup),
    row(19, power(closed(43.0f, 46.1f)), line(V, -0.9090922f, 41.90915f, Min1), GpFup),
    row(19, braking(open(42.0f, 43.0f)), line(V, 1.0f, -42.0f), GbFup),
    row(19, braking(closed(43.0f, 46.1f)), line(V, -0.9090922f, 41.90915f, Min1), GbFup),

    joined(20, power(open(45.0f, 51.0f)), line(V, -0.25f, 12.75f), Min, line(V, -0.125f, 6.625f), None, GpFup),
    row(20, braking(open(45.0f, 51.0f)), line(V, -0.5f, 25.5f, Min1), GbFup),

    row(21, power(open(46.1f, 49.0f)), line(V, 0.3448274f, -15.896543f), GpFup),
    row(21, power(closed(49.0f, 54.0f)), line(V, -1.0f, 54.0f, Min1), GpFup),
    row(21, braking(open(46.1f, 49.0f)), line(V, 0.3448274f, -15.896543f), GbFup),
    row(21, braking(closed(49.0f, 54.0f)), line(V, -1.0f, 54.0f, Min1), GbFup),

    row(22, power(open(51.0f, 53.0f)), line(V, 0.5f, -25.5f), GpFup),
    row(22, power(closed(53.0f, 55.0f)), line(V, -1.0f, 55.0f, Min1), GpFup),
    row(22, braking(open(51.0f, 53.0f)), line(V, 0.5f, -25.5f), GbFup),
    row(22, braking(closed(53.0f, 55.0f)), line(V, -1.0f, 55.0f, Min1), GbFup),

    row(23, power(open(53.0f, 54.0f)), line(V, 1.0f, -53.0f), GpFup),
    row(23, power(closed(54.0f, 67.0f)), line(V, -0.2f, 13.400001f, Min1), GpFup),
    row(23, braking(open(53.0f, 54.0f)), line(V, 1.0f, -53.0f), GbFup),
    row(23, braking(closed(54.0f, 62.0f)), line(V, -0.5f, 31.0f, Min1), GbFup),

    row(24, power(open(55.0f, 62.0f)), line(V, 0.1428571f, -7.857143f), GpFup),
    row(24, power(closed(62.0f, 80.0f)), line(V, -0.1f, 8.0f, Min1), GpFup),
    row(24, braking(open(58.0f, 60.0f)), line(V, 0.5f, -29.0f), GbFup),
    row(24, braking(closed(60.0f, 75.0f)), line(V, -0.2f, 15.0f, Min1), GbFup),

    row(25, power(open(70.0f, 80.0f)), line(V, 0.1f, -7.0f), GpFup),
    row(25, power(closed(80.0f, 100.0f)), line(V, -0.033333335f, 3.8333335f, Min1), GpFup),
    row(25, power(above(100.0f)), constant(0.5f), GpFup),
    row(25, braking(open(70.0f, 75.0f)), line(V, 0.2f, -14.0f), GbFup),
    row(25, braking(closed(75.0f, 100.0f)), line(V, -0.033333335f, 3.8333335f, Min1), GbFup),
    row(25, braking(above(100.0f)), constant(0.5f), GbFup),

    // The top of the power range and the brake modes.
    row(26, notch(Notch::One, modes({1, 2, 3})), K, G0),
    row(26, notch(Notch::TwoOrMore, modes({3}), atLeast(0.9531526f)), K, G0),
    row(26, notch(Notch::TwoOrMore, modes({2}), exactly(1.0f)), K, FdownG0),
    row(26, mode103(Part103::Upper), K, G0),
    row(26, modeR(102, exactly(1.0f)), K, FdownG0),

    row(27, notch(Notch::TwoOrMore, modes({2}), below(1.0f)), line(R, 21.3459f, -20.3459f, MinOneMinusA), Gp),
    row(27, notch(Notch::TwoOrMore, modes({1, 2}), exactly(1.0f), below(40.0f)), line(V, -0.5f, 20.0f, MinOneMinusA),
        GpFup),
    joined(27, modeH(102, Set, below(1.0f)), BrakeCut, Times, HeldFade, None, Gb),
    row(27, with(braking(below(36.5f)), Set), HeldFade, GbFup),

    row(30, modeH(102, Clear, below(1.0f)), line(R, -10.658596f, 10.658596f), Gb),
    row(30, modeH(102, Set, below(1.0f)), line(R, -21.317179f, 21.317179f, Min1), Gb),
    row(30, mode103(Part103::Lower), line(R, 53.266415f, -40.41891f, Unit), Gb),

    row(31, mode103(Part103::Lower, atLeast(0.7400332f)), line(R, -53.266415f, 41.41891f, Unit), Gb),
    row(31, modeR(103, below(0.7400332f)), line(R, 53.266415f, -38.418915f, Max0), Gb),

    row(32, mode103(Part103::Lower), line(R, -53.266415f, 39.418915f, Unit), Gb),

    row(33, mode(105), line(R, 33.892406f, -18.881603f, Unit), Gb),
    row(34, mode(105), line(R, -27.11399f, 16.905321f, Unit), Gb),

    row(35, modeH(109, Clear), line(R, 20.461056f, -8.7560835f, Unit), Gb),
    row(35, modeH(109, Set), line(R, 17.284801f, -11.174449f, Unit), Gb),

    row(36, modeH(109, Clear, atLeast(0.4768123f)), line(R, -57.29092f, 28.317017f, Unit), Gb),
    row(36, modeH(109, Clear, below(0.4768123f)), line(R, -28.64546f, 14.158507f, Unit), Gb),
    row(36, modeH(109, Set, atLeast(0.70434415f)), line(R, -48.397446f, 35.08846f, Unit), Gb),
    row(36, modeH(109, Set, below(0.70434415f)), line(R, -24.198723f, 17.54423f, Unit), Gb),

    row(37, mode(115), line(R, 10.116749f, -2.7617831f, Unit), Gb),
    row(38, mode(115), line(R, -18.715986f, 7.7092996f, Unit), Gb),

    row(39, mode(127), line(S, 0.6666667f, -3.666667f, Unit), Gb),
    row(40, mode(127), line(S, -2.4999995f, 18.499996f, Unit), Gb),
};

constexpr size_t RowCount = std::size(Rows);
static_assert(RowCount < 256, "row indices are bytes");

constexpr bool groupedByLayer() {
    for (size_t i = 1; i < RowCount; ++i)
        if (Rows[i].layer < Rows[i - 1].layer) return false;
    return Rows[RowCount - 1].layer < 41;
}
static_assert(groupedByLayer(), "the first row that holds wins only while a layer's rows stand together");

// Where each layer's rows begin; layer 41 stands for the end of the table.
struct LayerRanges {
    std::array<uint8_t, 42> begin{};
};
constexpr LayerRanges layerRanges() {
    LayerRanges ranges;
    size_t row = 0;
    for (int layer = 0; layer <= 41; ++layer) {
        while (row < RowCount && Rows[row].layer < layer) ++row;
        ranges.begin[layer] = static_cast<uint8_t>(row);
    }
    return ranges;
}
constexpr LayerRanges Ranges = layerRanges();

constexpr size_t modeEntries() {
    size_t entries = 0;
    for (const Row& row : Rows)
        for (int mode = 0; mode < ModeCount; ++mode)
            if (row.when.modes & (1u << mode)) ++entries;
    return entries;
}

// For every mode the indices of its rows, one mode after the other.
struct ModeRows {
    std::array<uint8_t, modeEntries()> rows{};
    std::array<uint16_t, ModeCount + 1> begin{};
};
constexpr ModeRows modeRows() {
    ModeRows index;
    size_t next = 0;
    for (int mode = 0; mode < ModeCount; ++mode) {
        index.begin[mode] = static_cast<uint16_t>(next);
        for (size_t row = 0; row < RowCount; ++row)
            if (Rows[row].when.modes & (1u << mode)) index.rows[next++] = static_cast<uint8_t>(row);
    }
    index.begin[ModeCount] = static_cast<uint16_t>(next);
    return index;
}
constexpr ModeRows RowsByMode = modeRows();

}  // namespace

std::span<const Row> motorLayerRows() {
    return Rows;
}

std::span<const Row> motorLayerRowsOf(int layer) {
    if (layer < 0 || layer > 40) return {};
    return std::span<const Row>(Rows).subspan(Ranges.begin[layer], Ranges.begin[layer + 1] - Ranges.begin[layer]);
}

std::span<const uint8_t> motorLayerRowsOfMode(int32_t mode) {
    const int index = modeIndex(mode);
    if (index < 0) return {};
    const size_t begin = RowsByMode.begin[index];
    return std::span<const uint8_t>(RowsByMode.rows).subspan(begin, RowsByMode.begin[index + 1] - begin);
}

}  // namespace sound
