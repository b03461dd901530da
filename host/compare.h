// `cabhost run --compare DIR`: a run beside an earlier one. The earlier run's output folder gives
// its trace (trace.csv), its sound levels (levels.csv, when Corvane was linked in) and its summary;
// the two runs are reduced to the key figures an author tunes for, and the sound layers that sound
// differently are found on a common time grid.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/sound_levels.h"
#include "host/trace.h"
#include "platform/platform.h"

namespace cabhost {

// One figure of a run; a figure a run does not have (it never reached 60 km/h) is absent.
struct Figure {
    std::string name;
    std::string unit;
    int decimals = 1;
    double value = 0.0;
};

// startMs: the host clock at the start of the run; gauges: the panel elements the needles use.
std::vector<Figure> keyFigures(const Trace& trace, int32_t startMs);

struct FigureChange {
    std::string name, unit;
    int decimals = 1;
    std::optional<double> before, after;
};

// The stretch of a run over which a sound layer is louder (difference > 0) or quieter than before.
struct LayerChange {
    int row = 0;              // a SoundLevelRows row
    double difference = 0.0;  // the largest, in volume
    double fromS = 0.0, toS = 0.0;
};

// The difference of the sound layers on a common grid: per row, per cell, this run's loudness
// (the size of the volume; a voice that does not sound counts as silent) less the earlier run's.
struct LayerDifference {
    double startS = 0.0, cellS = 0.0;
    size_t columns = 0;
    std::vector<float> difference;  // per row, columns cells each
};

struct Comparison {
    platform::Path dir;
    std::string label;  // how messages and the page name the earlier run
    Trace before;
    int32_t beforeStartMs = 0;
    SoundLevels beforeLevels;
    std::vector<FigureChange> figures;
    LayerDifference layers;
    std::vector<LayerChange> layerChanges;
    std::vector<std::string> notes;  // what the two runs do not share, said plainly
};

// Reads the earlier run's folder: false with the reason (naming the file) in error.
bool loadComparison(const platform::Path& dir, Comparison& comparison, std::string& error);

// Compares this run with the loaded earlier one. scenario: this run's scenario title (the earlier
// one's comes from its summary).
void compareRuns(Comparison& comparison, const Trace& after, int32_t startMs, const SoundLevels& afterLevels,
                 const std::string& scenario);

// The table for the summary: every figure before and after with the change, then the layers that
// sound differently and the notes.
std::string comparisonText(const Comparison& comparison);

// A layer is reported as sounding differently from a difference in volume of this size.
constexpr double LayerDifferenceThreshold = 0.05;
// ... for at least this long in all.
constexpr double LayerDifferenceMinimumS = 0.5;

}  // namespace cabhost
