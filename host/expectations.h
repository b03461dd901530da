// What a scenario expects of its run ([[expect]] tables), checked against the run's trace once the
// frames are done: the speed at a time, the time to reach a speed, a panel element at a time or over
// a window, a main-circuit mode reached, a brake applied by the plug-in, a host sound started.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/trace.h"

namespace cabhost {

enum class ExpectKind {
    SpeedAt,       // |speed| at atS within bounds
    ReachSpeed,    // |speed| first reaches speedKmh at a time within bounds
    PanelAt,       // panel[index] at atS within bounds
    PanelOver,     // panel[index] within bounds on every frame from fromS to toS
    ModeReached,   // Corvane's main-circuit mode takes index by byS
    PluginBrake,   // the plug-in returns brake notch index or higher by byS
    SoundStarted,  // host sound index is started (played once or set looping) by byS
};

// Seconds count from the start of the run; bounds are inclusive.
struct Expectation {
    int line = 0;  // of the [[expect]] header
    std::string label;
    ExpectKind kind = ExpectKind::SpeedAt;
    double atS = 0.0, fromS = 0.0, toS = 0.0, byS = 0.0;
    double speedKmh = 0.0;
    int32_t index = 0;
    double min = 0.0, max = 0.0;
};

struct ExpectationResult {
    Expectation expectation;
    bool met = false;
    std::string expected, happened;
};

// startMs: the host clock at the start of the run.
std::vector<ExpectationResult> checkExpectations(const std::vector<Expectation>& expectations, const Trace& trace,
                                                 int32_t startMs);

// "expectations: n of m met" and a line for each, the unmet ones first; empty without expectations.
std::string expectationsText(const std::vector<ExpectationResult>& results);

}  // namespace cabhost
