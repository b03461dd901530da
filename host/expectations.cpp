#include "host/expectations.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace cabhost {
namespace {

std::string number(double value) {
    std::ostringstream s;
    s << std::setprecision(6) << value;
    return s.str();
}

std::string range(const Expectation& e, const std::string& unit) {
    const std::string u = unit.empty() ? "" : " " + unit;
    if (e.min == e.max) return number(e.min) + u;
    return "between " + number(e.min) + " and " + number(e.max) + u;
}

bool within(const Expectation& e, double value) {
    return value >= e.min && value <= e.max;
}

// The host arrays frame by frame, rebuilt from their logged changes, with each frame's time.
class Replay {
public:
    Replay(const Trace& trace, int32_t startMs)
        : trace_(trace), startMs_(startMs), panel_(trace.panel.start), sound_(trace.sound.start) {}

    bool next() {
        if (frame_ + 1 >= static_cast<int64_t>(trace_.rows.size())) return false;
        ++frame_;
        previousSound_ = sound_;
        apply(trace_.panel, panel_);
        apply(trace_.sound, sound_);
        return true;
    }
    double seconds() const { return (trace_.rows[frame_].state.time - startMs_) / 1000.0; }
    const TraceRow& row() const { return trace_.rows[frame_]; }
    int32_t panel(int32_t i) const { return panel_[i]; }
    // The sound was asked to play once, or set looping after not looping.
    bool soundStarted(int32_t i) const {
        auto looping = [](int32_t v) { return v > host::SoundStop && v <= host::SoundLoop; };
        return sound_[i] == host::SoundPlayOnce || (looping(sound_[i]) && !looping(previousSound_[i]));
    }

private:
    void apply(const ArrayLog& log, std::array<int32_t, 256>& values) const {
        if (frame_ < static_cast<int64_t>(log.changes.size())) {
            for (const auto& [i, v] : log.changes[frame_]) values[i] = v;
        }
    }
    const Trace& trace_;
    int32_t startMs_;
    int64_t frame_ = -1;
    std::array<int32_t, 256> panel_, sound_, previousSound_{};
};

ExpectationResult check(const Expectation& e, const Trace& trace, int32_t startMs) {
    ExpectationResult r;
    r.expectation = e;
    Replay frames(trace, startMs);
    double lastS = 0.0, topKmh = 0.0;
    int32_t highestBrake = 0;
    std::vector<int32_t> modes;
    switch (e.kind) {
        case ExpectKind::SpeedAt:
            r.expected = "speed at " + number(e.atS) + " s " + range(e, "km/h");
            while (frames.next()) {
                if (frames.seconds() + 1e-9 < e.atS) continue;
                const double kmh = std::fabs(frames.row().state.speed);
                r.met = within(e, kmh);
                r.happened = number(kmh) + " km/h at " + number(frames.seconds()) + " s";
                return r;
            }
            break;
        case ExpectKind::ReachSpeed:
            r.expected = number(e.speedKmh) + " km/h reached at a time " + range(e, "s");
            while (frames.next()) {
                const double kmh = std::fabs(frames.row().state.speed);
                topKmh = std::max(topKmh, kmh);
                if (kmh + 1e-9 < e.speedKmh) continue;
                r.met = within(e, frames.seconds());
                r.happened = "reached at " + number(frames.seconds()) + " s";
                return r;
            }
            r.happened = "never reached (top speed " + number(topKmh) + " km/h)";
            return r;
        case ExpectKind::PanelAt:
            r.expected = "panel " + std::to_string(e.index) + " at " + number(e.atS) + " s " + range(e, "");
            while (frames.next()) {
                if (frames.seconds() + 1e-9 < e.atS) continue;
                r.met = within(e, frames.panel(e.index));
                r.happened = std::to_string(frames.panel(e.index)) + " at " + number(frames.seconds()) + " s";
                return r;
            }
            break;
        case ExpectKind::PanelOver: {
            r.expected = "panel " + std::to_string(e.index) + " from " + number(e.fromS) + " to " + number(e.toS) +
                         " s " + range(e, "");
            int32_t low = INT32_MAX, high = INT32_MIN;
            while (frames.next()) {
                if (frames.seconds() + 1e-9 < e.fromS) continue;
                if (frames.seconds() > e.toS + 1e-9) break;
                const int32_t v = frames.panel(e.index);
                if (!within(e, v)) {
                    r.happened = std::to_string(v) + " at " + number(frames.seconds()) + " s";
                    return r;
                }
                low = std::min(low, v), high = std::max(high, v);
            }
            if (low > high) break;
            r.met = true;
            r.happened = "from " + std::to_string(low) + " to " + std::to_string(high);
            return r;
        }
        case ExpectKind::ModeReached:
            r.expected = "main-circuit mode " + std::to_string(e.index) + " by " + number(e.byS) + " s";
            if (!trace.hasCorvane) {
                r.happened = "not known: Corvane's mode is seen only when it is linked in (without --plugin)";
                return r;
            }
            while (frames.next() && frames.seconds() <= e.byS + 1e-9) {
                const int32_t mode = frames.row().corvane.pulseMode;
                if (mode == e.index) {
                    r.met = true;
                    r.happened = "reached at " + number(frames.seconds()) + " s";
                    return r;
                }
                if (std::find(modes.begin(), modes.end(), mode) == modes.end()) modes.push_back(mode);
            }
            r.happened = "never reached; modes seen:";
            for (int32_t m : modes) r.happened += " " + std::to_string(m);
            return r;
        case ExpectKind::PluginBrake:
            r.expected =
                "the plug-in's brake at notch " + std::to_string(e.index) + " or higher by " + number(e.byS) + " s";
            while (frames.next() && frames.seconds() <= e.byS + 1e-9) {
                const int32_t brake = frames.row().out.brake;
                highestBrake = std::max(highestBrake, brake);
                if (brake < e.index) continue;
                r.met = true;
                r.happened = "notch " + std::to_string(brake) + " at " + number(frames.seconds()) + " s";
                return r;
            }
            r.happened = "never; the highest was notch " + std::to_string(highestBrake);
            return r;
        case ExpectKind::SoundStarted:
            r.expected = "sound " + std::to_string(e.index) + " started by " + number(e.byS) + " s";
            while (frames.next() && frames.seconds() <= e.byS + 1e-9) {
                if (!frames.soundStarted(e.index)) continue;
                r.met = true;
                r.happened = "started at " + number(frames.seconds()) + " s";
                return r;
            }
            r.happened = "never started";
            return r;
    }
    if (!trace.rows.empty()) lastS = (trace.rows.back().state.time - startMs) / 1000.0;
    r.happened = "the run ended at " + number(lastS) + " s, before that time";
    return r;
}

}  // namespace

std::vector<ExpectationResult> checkExpectations(const std::vector<Expectation>& expectations, const Trace& trace,
                                                 int32_t startMs) {
    std::vector<ExpectationResult> results;
    for (const Expectation& e : expectations) results.push_back(check(e, trace, startMs));
    return results;
}

std::string expectationsText(const std::vector<ExpectationResult>& results) {
    if (results.empty()) return {};
    const auto met = std::count_if(results.begin(), results.end(), [](const auto& r) { return r.met; });
    std::string text = "expectations: " + std::to_string(met) + " of " + std::to_string(results.size()) + " met\n";
    for (bool wanted : {false, true}) {
        for (const ExpectationResult& r : results) {
            if (r.met != wanted) continue;
            const Expectation& e = r.expectation;
            text += std::string(r.met ? "  met" : "  NOT MET") + ": line " + std::to_string(e.line) +
                    (e.label.empty() ? "" : " \"" + e.label + "\"") + ": expected " + r.expected + "; " + r.happened +
                    "\n";
        }
    }
    return text;
}

}  // namespace cabhost
