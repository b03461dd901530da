#include "host/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

#include "host/report_assets.h"
#include "host/run.h"
#include "sound/motor_layers.h"

namespace cabhost {
namespace {

// ---- JSON text ----------------------------------------------------------------------------------

void appendString(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            // The data sits inside a script element: no "</script>" or "<!--" may appear in it.
            case '<': out += "\\u003c"; break;
            case '>': out += "\\u003e"; break;
            case '&': out += "\\u0026"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

// A number with at most `decimals` digits after the point and no trailing zeros; null when it is
// not finite.
void appendNumber(std::string& out, double value, int decimals) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        out += "null";
        return;
    }
    std::string_view digits(text, static_cast<size_t>(result.ptr - text));
    if (digits.find('.') != std::string_view::npos) {
        while (digits.back() == '0') digits.remove_suffix(1);
        if (digits.back() == '.') digits.remove_suffix(1);
    }
    if (digits == "-0") digits = "0";
    out += digits;
}

void appendKey(std::string& out, std::string_view key) {
    appendString(out, key);
    out += ':';
}

// ---- The run's columns --------------------------------------------------------------------------

struct Column {
    std::string key;
    int decimals;
    std::function<double(const TraceRow&)> value;
};

// The needles and the physical quantity each one shows.
struct Gauge {
    int panel;
    const char* name;
    const char* physicalKey;  // a column of the page, or "" when the run has none
    const char* physicalLabel;
    const char* unit;
};

std::vector<Gauge> gaugesOf(const Trace& t) {
    const bool c = t.hasCorvane;
    const Gauge all[] = {
        {22, "speedometer", "speedAbs", "speed", "km/h"},
        {26, "ammeter", c ? "motorCurrent" : "current", c ? "motor current" : "host current", "A"},
        {130, "brake cylinder", "bc", "brake cylinder", "kPa"},
        {131, "straight air pipe", c ? "displayedSap" : "sap", c ? "displayed SAP" : "straight air pipe", "kPa"},
        {132, "brake pipe", "bp", "brake pipe", "kPa"},
        {133, "main reservoir", "mr", "main reservoir", "kPa"},
        {232, "voltmeter", c ? "lineVoltage" : "", c ? "line voltage" : "", "V"},
    };
    std::vector<Gauge> gauges;
    for (const Gauge& g : all) {
        if (t.panel.written[g.panel]) gauges.push_back(g);
    }
    return gauges;
}

// The other panel and sound elements that the plug-in wrote: for each one that changed, its value
// from the first frame and at every change; for the rest, the one value they kept, also when only
// the first frame differed from it (the reset every sound gets at the start).
void appendElements(std::string& out, const Trace& t, int32_t startMs, const std::vector<Gauge>& gauges) {
    struct Track {
        std::string name;
        std::vector<std::pair<double, int32_t>> changes;
    };
    std::vector<Track> tracks;
    const auto timeOf = [&](size_t row) { return (t.rows[row].state.time - startMs) / 1000.0; };
    for (const bool isPanel : {true, false}) {
        const ArrayLog& log = isPanel ? t.panel : t.sound;
        std::array<int, 256> track;
        track.fill(-1);
        for (int i = 0; i < 256; ++i) {
            const bool gauge =
                isPanel && std::any_of(gauges.begin(), gauges.end(), [&](const Gauge& g) { return g.panel == i; });
            if (!log.written[i] || gauge) continue;
            track[i] = static_cast<int>(tracks.size());
            tracks.push_back({std::string(isPanel ? "panel " : "sound ") + std::to_string(i), {}});
        }
        std::array<int32_t, 256> values = log.start;
        for (size_t k = 0; k < t.rows.size() && k < log.changes.size(); ++k) {
            for (auto [i, v] : log.changes[k]) values[i] = v;
            if (k == 0) {
                for (int i = 0; i < 256; ++i) {
                    if (track[i] >= 0) tracks[track[i]].changes.emplace_back(timeOf(0), values[i]);
                }
                continue;
            }
            for (auto [i, v] : log.changes[k]) {
                // A long run of changes is cut at the chart limit rather than grow the page.
                if (track[i] >= 0 && tracks[track[i]].changes.size() < MaxChartPoints)
                    tracks[track[i]].changes.emplace_back(timeOf(k), v);
            }
        }
    }
    std::string changing = "\"elements\":[", steady = "\"steadyElements\":[";
    bool firstChanging = true, firstSteady = true;
    for (const Track& track : tracks) {
        if (track.changes.empty()) continue;
        const bool settledAfterFirst =
            track.changes.size() == 2 && t.rows.size() > 1 && track.changes[1].first == timeOf(1);
        if (track.changes.size() == 1 || settledAfterFirst) {
            steady += firstSteady ? "{" : ",{";
            firstSteady = false;
            appendKey(steady, "name");
            appendString(steady, track.name);
            steady += ",\"value\":" + std::to_string(track.changes.back().second);
            if (settledAfterFirst) steady += ",\"first\":" + std::to_string(track.changes.front().second);
            steady += '}';
            continue;
        }
        changing += firstChanging ? "{" : ",{";
        firstChanging = false;
        appendKey(changing, "name");
        appendString(changing, track.name);
        changing += ",\"t\":[";
        for (size_t c = 0; c < track.changes.size(); ++c) {
            if (c) changing += ',';
            appendNumber(changing, track.changes[c].first, 3);
        }
        changing += "],\"v\":[";
        for (size_t c = 0; c < track.changes.size(); ++c) {
            if (c) changing += ',';
            changing += std::to_string(track.changes[c].second);
        }
        changing += "]}";
    }
    out += changing + "]," + steady + "]";
}

std::vector<Column> columnsOf(const Trace& t) {
    std::vector<Column> columns = {
        {"speed", 2, [](const TraceRow& r) { return r.state.speed; }},
        {"speedAbs", 2, [](const TraceRow& r) { return std::fabs(r.state.speed); }},
        {"current", 1, [](const TraceRow& r) { return r.state.current; }},
        {"driverPower", 0, [](const TraceRow& r) { return r.driverPower; }},
        {"outPower", 0, [](const TraceRow& r) { return r.out.power; }},
        {"driverBrake", 0, [](const TraceRow& r) { return r.driverBrake; }},
        {"outBrake", 0, [](const TraceRow& r) { return r.out.brake; }},
        {"bc", 2, [](const TraceRow& r) { return r.state.bcPressure; }},
        {"sap", 2, [](const TraceRow& r) { return r.state.sapPressure; }},
        {"bp", 2, [](const TraceRow& r) { return r.state.bpPressure; }},
        {"mr", 2, [](const TraceRow& r) { return r.state.mrPressure; }},
        {"er", 2, [](const TraceRow& r) { return r.state.erPressure; }},
    };
    if (t.hasCorvane) {
        const Column corvane[] = {
            {"motorSpeed", 2, [](const TraceRow& r) { return r.corvane.motorSpeed; }},
            {"motorCurrent", 1, [](const TraceRow& r) { return r.corvane.motorCurrent; }},
            {"pulseMode", 0, [](const TraceRow& r) { return r.corvane.pulseMode; }},
            {"voltageRatio", 4, [](const TraceRow& r) { return r.corvane.voltageRatio; }},
            {"lineVoltage", 1, [](const TraceRow& r) { return r.corvane.lineVoltage; }},
            {"displayedSap", 2, [](const TraceRow& r) { return r.corvane.displayedSap; }},
        };
        columns.insert(columns.end(), std::begin(corvane), std::end(corvane));
    }
    return columns;
}

// ---- The sound levels as a heat map -------------------------------------------------------------

void appendLevels(std::string& out, const SoundLevels& levels) {
    const HeatGrid grid = heatGrid(levels);
    const size_t columns = grid.columns;
    const std::vector<size_t>& best = grid.frame;
    appendKey(out, "startS");
    appendNumber(out, grid.startS, 4);
    out += ',';
    appendKey(out, "cellS");
    appendNumber(out, grid.cellS, 6);
    out += ',';
    appendKey(out, "rows");
    out += '[';
    for (int row = 0; row < SoundLevelRows; ++row) {
        if (row) out += ',';
        appendString(out, row < MotorNoiseRows ? std::to_string(row) : AirSoundNames[row - MotorNoiseRows]);
    }
    out += "],";
    std::string volumes = "\"volume\":[", ratios = "\"ratio\":[";
    for (int row = 0; row < SoundLevelRows; ++row) {
        volumes += row ? ",[" : "[";
        ratios += row ? ",[" : "[";
        for (size_t cell = 0; cell < columns; ++cell) {
            if (cell) {
                volumes += ',';
                ratios += ',';
            }
            const size_t f = best[cell * SoundLevelRows + row];
            appendNumber(volumes, levels.volume[f * SoundLevelRows + row], 3);
            appendNumber(ratios, levels.frequencyRatio[f * SoundLevelRows + row], 3);
        }
        volumes += ']';
        ratios += ']';
    }
    out += volumes + "]," + ratios + "]";
}

}  // namespace

HeatGrid heatGrid(const SoundLevels& levels) {
    HeatGrid grid;
    const size_t frames = std::min(levels.timeS.size(), levels.volume.size() / SoundLevelRows);
    if (frames == 0) return grid;
    const double firstS = levels.timeS.front();
    const double lastS = levels.timeS[frames - 1];
    grid.startS = firstS;
    grid.columns = std::min(frames, MaxHeatColumns);
    // A frame's levels hold until the next frame: the last frame gets one mean interval.
    const double spanS = frames > 1 ? (lastS - firstS) * static_cast<double>(frames) / (frames - 1) : 0.0;
    grid.cellS = spanS > 0.0 ? spanS / static_cast<double>(grid.columns) : 0.1;
    constexpr size_t none = SIZE_MAX;
    std::vector<size_t>& best = grid.frame;
    best.assign(grid.columns * SoundLevelRows, none);
    const auto volume = [&](size_t frame, int row) { return levels.volume[frame * SoundLevelRows + row]; };
    for (size_t f = 0; f < frames; ++f) {
        const double offset = std::floor((levels.timeS[f] - firstS) / grid.cellS + 1e-9);
        const size_t cell = std::min(grid.columns - 1, static_cast<size_t>(std::max(0.0, offset)));
        for (int row = 0; row < SoundLevelRows; ++row) {
            size_t& b = best[cell * SoundLevelRows + row];
            const float v = volume(f, row);
            if (b == none || (std::isnan(volume(b, row)) && !std::isnan(v)) ||
                (!std::isnan(v) && std::fabs(v) > std::fabs(volume(b, row))))
                b = f;
        }
    }
    // The first cell always holds the first frame, so every empty cell has one before it.
    for (size_t i = SoundLevelRows; i < best.size(); ++i) {
        if (best[i] == none) best[i] = best[i - SoundLevelRows];
    }
    return grid;
}

namespace {

// The points of a chart: every row of a run, or every n-th of a long one.
std::vector<size_t> chartRows(const Trace& t) {
    const size_t rows = t.rows.size();
    const size_t stride = rows > MaxChartPoints ? (rows + MaxChartPoints - 1) / MaxChartPoints : 1;
    std::vector<size_t> points;
    for (size_t i = 0; i < rows; i += stride) points.push_back(i);
    return points;
}

// For each time of this run's chart points, the row of the earlier run that held at that time (both
// counted from their own start), or none before its first frame or after its last.
std::vector<size_t> heldRows(const Trace& t, int32_t startMs, const std::vector<size_t>& points, const Trace& before,
                             int32_t beforeStartMs) {
    std::vector<size_t> held;
    const auto at = [](const Trace& trace, size_t row, int32_t start) {
        return trace.rows[row].state.time - int64_t{start};
    };
    const int64_t lastInterval =
        before.rows.size() > 1 ? at(before, before.rows.size() - 1, 0) - at(before, before.rows.size() - 2, 0) : 0;
    size_t j = 0;
    for (const size_t i : points) {
        const int64_t now = at(t, i, startMs);
        while (j + 1 < before.rows.size() && at(before, j + 1, beforeStartMs) <= now) ++j;
        const bool inside = !before.rows.empty() && now >= at(before, 0, beforeStartMs) &&
                            now <= at(before, before.rows.size() - 1, beforeStartMs) + lastInterval;
        held.push_back(inside ? j : SIZE_MAX);
    }
    return held;
}

// "series": every column at the given rows (SIZE_MAX: no value there), and the needles, replayed
// from the panel's changes.
void appendSeries(std::string& out, const Trace& t, const std::vector<size_t>& at, const std::vector<Gauge>& gauges) {
    appendKey(out, "series");
    out += '{';
    bool first = true;
    for (const Column& c : columnsOf(t)) {
        if (!first) out += ',';
        first = false;
        appendKey(out, c.key);
        out += '[';
        for (size_t p = 0; p < at.size(); ++p) {
            if (p) out += ',';
            if (at[p] == SIZE_MAX) {
                out += "null";
            } else {
                appendNumber(out, c.value(t.rows[at[p]]), c.decimals);
            }
        }
        out += ']';
    }
    std::array<int32_t, 256> panel = t.panel.start;
    size_t replayed = 0;
    for (const Gauge& g : gauges) {
        if (!t.panel.written[g.panel]) continue;
        out += ',';
        appendKey(out, "panel" + std::to_string(g.panel));
        out += '[';
        panel = t.panel.start;
        replayed = 0;
        for (size_t p = 0; p < at.size(); ++p) {
            if (p) out += ',';
            if (at[p] == SIZE_MAX) {
                out += "null";
                continue;
            }
            for (; replayed <= at[p] && replayed < t.panel.changes.size(); ++replayed) {
                for (auto [index, value] : t.panel.changes[replayed]) panel[index] = value;
            }
            out += std::to_string(panel[g.panel]);
        }
        out += ']';
    }
    out += '}';
}

void appendGauges(std::string& out, const std::vector<Gauge>& gauges) {
    appendKey(out, "gauges");
    out += '[';
    for (size_t g = 0; g < gauges.size(); ++g) {
        const Gauge& gauge = gauges[g];
        out += g ? ",{" : "{";
        appendKey(out, "panel");
        out += std::to_string(gauge.panel) + ',';
        appendKey(out, "name");
        appendString(out, gauge.name);
        out += ',';
        appendKey(out, "physical");
        appendString(out, gauge.physicalKey);
        out += ',';
        appendKey(out, "physicalLabel");
        appendString(out, gauge.physicalLabel);
        out += ',';
        appendKey(out, "unit");
        appendString(out, gauge.unit);
        out += '}';
    }
    out += ']';
}

void appendEvents(std::string& out, const std::vector<ReportEvent>& events) {
    appendKey(out, "events");
    out += '[';
    for (size_t i = 0; i < events.size(); ++i) {
        out += i ? ",{" : "{";
        appendKey(out, "t");
        appendNumber(out, events[i].timeS, 3);
        out += ',';
        appendKey(out, "text");
        appendString(out, events[i].text);
        out += '}';
    }
    out += ']';
}

void appendAudio(std::string& out, const ReportInput& in) {
    const Trace& t = *in.trace;
    appendKey(out, "audio");
    if (in.audioFile && !t.rows.empty()) {
        // The recording starts with the first frame: each frame renders the time up to the next.
        out += '{';
        appendKey(out, "file");
        appendString(out, *in.audioFile);
        out += ',';
        appendKey(out, "startS");
        appendNumber(out, (t.rows.front().state.time - in.startMs) / 1000.0, 3);
        out += '}';
    } else {
        out += "null";
    }
    out += ',';
    appendKey(out, "audioNote");
    appendString(out, in.audioNote);
    out += ',';
    appendKey(out, "levels");
    const SoundLevels* levels = in.levels;
    if (levels && levels->active && !levels->timeS.empty() && levels->volume.size() >= SoundLevelRows) {
        out += '{';
        appendLevels(out, *levels);
        out += '}';
    } else {
        out += "null";
    }
    out += ',';
    appendKey(out, "levelsNote");
    appendString(out, levels ? levels->note : std::string("this run collected no sound levels"));
}

// Each expectation with its outcome, and where it looks on the time axis: a moment ("t") or a
// window ("from", "to").
void appendExpectations(std::string& out, const std::vector<ExpectationResult>& results) {
    appendKey(out, "expectations");
    out += '[';
    for (size_t i = 0; i < results.size(); ++i) {
        const ExpectationResult& r = results[i];
        const Expectation& e = r.expectation;
        out += i ? ",{" : "{";
        out += "\"line\":" + std::to_string(e.line) + ",\"met\":" + (r.met ? "true" : "false") + ',';
        appendKey(out, "label");
        appendString(out, e.label);
        out += ',';
        appendKey(out, "expected");
        appendString(out, r.expected);
        out += ',';
        appendKey(out, "happened");
        appendString(out, r.happened);
        const auto moment = [&](double t) {
            out += ",\"t\":";
            appendNumber(out, t, 3);
        };
        const auto window = [&](double from, double to) {
            out += ",\"from\":";
            appendNumber(out, from, 3);
            out += ",\"to\":";
            appendNumber(out, to, 3);
        };
        switch (e.kind) {
            case ExpectKind::SpeedAt:
            case ExpectKind::PanelAt: moment(e.atS); break;
            case ExpectKind::ReachSpeed: window(e.min, e.max); break;
            case ExpectKind::PanelOver: window(e.fromS, e.toS); break;
            case ExpectKind::ModeReached:
            case ExpectKind::PluginBrake:
            case ExpectKind::SoundStarted: moment(e.byS); break;
        }
        out += '}';
    }
    out += ']';
}

// The earlier run: its chart series on this run's time axis, the figures before and after, and the
// difference of the sound layers.
void appendComparison(std::string& out, const ReportInput& in, const std::vector<size_t>& points,
                      const std::vector<Gauge>& gauges) {
    appendKey(out, "compare");
    const Comparison* c = in.comparison;
    if (!c || c->before.rows.empty()) {
        out += "null";
        return;
    }
    out += '{';
    appendKey(out, "label");
    appendString(out, c->label);
    out += ',';
    appendSeries(out, c->before, heldRows(*in.trace, in.startMs, points, c->before, c->beforeStartMs), gauges);
    out += ",\"figures\":[";
    for (size_t i = 0; i < c->figures.size(); ++i) {
        const FigureChange& f = c->figures[i];
        out += i ? ",{" : "{";
        appendKey(out, "name");
        appendString(out, f.name);
        out += ',';
        appendKey(out, "unit");
        appendString(out, f.unit);
        out += ",\"decimals\":" + std::to_string(f.decimals) + ",\"before\":";
        appendNumber(out, f.before.value_or(NAN), 6);
        out += ",\"after\":";
        appendNumber(out, f.after.value_or(NAN), 6);
        out += '}';
    }
    out += "],\"notes\":[";
    for (size_t i = 0; i < c->notes.size(); ++i) {
        if (i) out += ',';
        appendString(out, c->notes[i]);
    }
    out += "],\"layers\":";
    const LayerDifference& d = c->layers;
    if (d.columns == 0) {
        out += "null";
    } else {
        out += "{\"startS\":";
        appendNumber(out, d.startS, 4);
        out += ",\"cellS\":";
        appendNumber(out, d.cellS, 6);
        out += ",\"difference\":[";
        for (int row = 0; row < SoundLevelRows; ++row) {
            out += row ? ",[" : "[";
            for (size_t k = 0; k < d.columns; ++k) {
                if (k) out += ',';
                appendNumber(out, d.difference[row * d.columns + k], 3);
            }
            out += ']';
        }
        out += "],\"changes\":[";
        for (size_t i = 0; i < c->layerChanges.size(); ++i) {
            const LayerChange& l = c->layerChanges[i];
            out += i ? ",{" : "{";
            out += "\"row\":" + std::to_string(l.row) + ",\"difference\":";
            appendNumber(out, l.difference, 3);
            out += ",\"from\":";
            appendNumber(out, l.fromS, 2);
            out += ",\"to\":";
            appendNumber(out, l.toS, 2);
            out += '}';
        }
        out += "]}";
    }
    out += '}';
}

}  // namespace

std::string reportData(const ReportInput& in) {
    const Trace& t = *in.trace;
    std::string out = "{";
    appendKey(out, "title");
    appendString(out, in.title);
    out += ',';
    appendKey(out, "summary");
    appendString(out, in.summary);
    out += ',';
    const std::vector<size_t> points = chartRows(t);
    appendKey(out, "t");
    out += '[';
    for (size_t p = 0; p < points.size(); ++p) {
        if (p) out += ',';
        appendNumber(out, (t.rows[points[p]].state.time - in.startMs) / 1000.0, 3);
    }
    out += "],";
    const std::vector<Gauge> gauges = gaugesOf(t);
    appendSeries(out, t, points, gauges);
    out += ',';
    appendGauges(out, gauges);
    out += ',';
    appendElements(out, t, in.startMs, gauges);
    out += ',';
    appendEvents(out, in.events);
    out += ',';
    appendAudio(out, in);
    out += ',';
    // The mode chart's ladder: every mode Corvane knows, and 100 (no current) between power and brake.
    out += "\"modes\":[" + std::to_string(sound::NoCurrentMode);
    for (const int32_t mode : sound::PulseModes) out += "," + std::to_string(mode);
    out += "],";
    appendExpectations(out, in.expectations ? *in.expectations : std::vector<ExpectationResult>{});
    out += ',';
    appendComparison(out, in, points, gauges);
    out += '}';
    return out;
}

std::vector<std::pair<int, std::string>> needlePanels(const Trace& t) {
    std::vector<std::pair<int, std::string>> panels;
    for (const Gauge& g : gaugesOf(t)) panels.emplace_back(g.panel, g.name);
    return panels;
}

std::string reportHtml(const ReportInput& in) {
    std::string title = in.title.empty() ? "cabhost run" : in.title;
    std::string escapedTitle;
    for (const char c : title) {
        switch (c) {
            case '<': escapedTitle += "&lt;"; break;
            case '>': escapedTitle += "&gt;"; break;
            case '&': escapedTitle += "&amp;"; break;
            default: escapedTitle += c;
        }
    }
    std::string page;
    page.reserve(200000);
    page +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<link rel=\"icon\" href=\"data:,\">\n<title>";
    page += escapedTitle;
    page += " - run report</title>\n<!--\nThe charts are drawn by uPlot, included in this page under its licence:\n\n";
    page += assets::uplotLicence();
    page += "\n-->\n<style>\n";
    page += assets::uplotStyle();
    page += "\n</style>\n<style>\n";
    page += assets::pageStyle();
    page += "</style>\n</head>\n<body>\n<noscript>This report needs JavaScript to draw its charts.</noscript>\n";
    page += "<script type=\"application/json\" id=\"run-data\">";
    page += reportData(in);
    page += "</script>\n<script>\n";
    page += assets::uplotScript();
    // The page's own script, in its parts, in one function of its own.
    page += "\n</script>\n<script>\n(function () {\n'use strict';\n";
    for (const std::string_view part : {assets::pageFrameScript(), assets::pageTablesScript(),
                                        assets::pageChartsScript(), assets::pageSoundScript(), assets::pageScript()}) {
        page += part;
        page += '\n';
    }
    page += "})();\n</script>\n</body>\n</html>\n";
    return page;
}

bool writeReport(const platform::Path& file, const ReportInput& input, std::string& error) {
    const std::string page = reportHtml(input);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    out.close();
    if (!out) {
        error = "cannot write " + platform::pathToUtf8(file) + " (disk full?)";
        return false;
    }
    return true;
}

bool writeRunReport(const platform::Path& file, const Scenario& sc, const RunOutcome& outcome, int32_t startMs,
                    const std::string& summary, bool withRecording, std::string& error) {
    const Simulation& sim = outcome.simulation;
    ReportInput in;
    in.title = scenarioTitle(sc);
    in.summary = summary;
    in.trace = &sim.trace;
    in.startMs = startMs;
    for (size_t i = 0; i < sim.firedEvents.size() && i < sim.firedAtS.size(); ++i) {
        const Event& e = *sim.firedEvents[i];
        in.events.push_back({sim.firedAtS[i], e.label.empty() ? triggerText(e) : e.label});
    }
    in.levels = &sim.levels;
    if (withRecording) {
        in.audioFile = "corvane.wav";
    } else {
        in.audioNote = sim.audio.note.empty() ? "this run has no recording" : sim.audio.note;
    }
    in.expectations = &outcome.expectations;
    if (outcome.comparison) in.comparison = &*outcome.comparison;
    return writeReport(file, in, error);
}

}  // namespace cabhost
