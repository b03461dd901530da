// What a scenario's [[expect]] tables find in a run: each kind at its inclusive bounds and just past.
#include <gtest/gtest.h>

#include "host/expectations.h"

namespace {

using cabhost::Expectation;
using cabhost::ExpectKind;

// Five frames, 20 ms apart: speed 0..40 km/h, the plug-in's brake 0 0 4 8 8, modes 100 99 45 27 15,
// panel 3 at 5 then 50 from the third frame, sound 7 played once in the second, sound 9 stopped in
// the second and looping from the fourth; the sounds start at 0 (looping), as the host's do.
cabhost::Trace fiveFrames() {
    cabhost::Trace t;
    t.hasCorvane = true;
    const int32_t brake[] = {0, 0, 4, 8, 8}, mode[] = {100, 99, 45, 27, 15};
    for (int k = 0; k < 5; ++k) {
        cabhost::TraceRow row;
        row.state.time = 20 * (k + 1);
        row.state.speed = 10.0f * k;
        row.out.brake = brake[k];
        row.corvane.pulseMode = mode[k];
        t.rows.push_back(row);
    }
    t.panel.changes = {{{3, 5}}, {}, {{3, 50}}, {}, {}};
    t.sound.changes = {{}, {{7, host::SoundPlayOnce}, {9, host::SoundStop}}, {{7, host::SoundContinue}}, {{9, 0}}, {}};
    return t;
}

TEST(Expectations, EachKindAtItsBoundsAndJustPast) {
    auto e = [](ExpectKind kind, int32_t index, double s, double min, double max, double toS = 0.0) {
        Expectation x;
        x.kind = kind, x.index = index, x.atS = x.byS = x.fromS = s, x.speedKmh = s, x.toS = toS;
        x.min = min, x.max = max;
        return x;
    };
    const struct {
        Expectation expectation;
        bool met;
    } cases[] = {
        {e(ExpectKind::SpeedAt, 0, 0.04, 10, 10), true},       {e(ExpectKind::SpeedAt, 0, 0.04, 10.5, 20), false},
        {e(ExpectKind::SpeedAt, 0, 1.0, 0, 100), false},  // after the run's end
        {e(ExpectKind::ReachSpeed, 0, 30, 0, 0.08), true},     {e(ExpectKind::ReachSpeed, 0, 30, 0, 0.079), false},
        {e(ExpectKind::ReachSpeed, 0, 50, 0, 100), false},     {e(ExpectKind::PanelAt, 3, 0.06, 50, 50), true},
        {e(ExpectKind::PanelAt, 3, 0.04, 50, 50), false},      {e(ExpectKind::PanelOver, 3, 0.0, 5, 5, 0.04), true},
        {e(ExpectKind::PanelOver, 3, 0.0, 5, 5, 0.06), false}, {e(ExpectKind::ModeReached, 27, 0.08, 0, 0), true},
        {e(ExpectKind::ModeReached, 27, 0.06, 0, 0), false},   {e(ExpectKind::PluginBrake, 8, 0.08, 0, 0), true},
        {e(ExpectKind::PluginBrake, 8, 0.06, 0, 0), false},    {e(ExpectKind::SoundStarted, 7, 0.04, 0, 0), true},
        {e(ExpectKind::SoundStarted, 9, 0.08, 0, 0), true},    {e(ExpectKind::SoundStarted, 9, 0.06, 0, 0), false},
    };
    const cabhost::Trace trace = fiveFrames();
    for (const auto& c : cases) {
        const auto results = cabhost::checkExpectations({c.expectation}, trace, 0);
        EXPECT_EQ(results.at(0).met, c.met) << results[0].expected << "; " << results[0].happened;
    }
}

}  // namespace
