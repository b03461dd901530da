#include "host/compare.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "host/report.h"

namespace cabhost {
namespace {

constexpr int MaxFigureSpeedKmh = 1000;

double secondsOf(const TraceRow& row, int32_t startMs) {
    return (row.state.time - startMs) / 1000.0;
}

// How long each row's state holds: until the next row; the last row gets the interval before it.
double heldS(const Trace& t, size_t i) {
    if (i + 1 < t.rows.size()) return (t.rows[i + 1].state.time - t.rows[i].state.time) / 1000.0;
    return i > 0 ? (t.rows[i].state.time - t.rows[i - 1].state.time) / 1000.0 : 0.0;
}

void speedFigures(const Trace& t, int32_t startMs, std::vector<Figure>& figures) {
    size_t top = 0;
    for (size_t i = 0; i < t.rows.size(); ++i) {
        if (std::fabs(t.rows[i].state.speed) > std::fabs(t.rows[top].state.speed)) top = i;
    }
    const double topKmh = std::fabs(t.rows[top].state.speed);
    size_t row = 0;
    // Up to the top speed, and never more rows than a train's speeds can fill.
    for (int kmh = 10; kmh <= topKmh && kmh <= MaxFigureSpeedKmh; kmh += 10) {
        while (std::fabs(t.rows[row].state.speed) < kmh) ++row;
        figures.push_back({"time to " + std::to_string(kmh) + " km/h", "s", 2, secondsOf(t.rows[row], startMs)});
    }
    figures.push_back({"top speed", "km/h", 1, topKmh});
    figures.push_back({"top speed reached at", "s", 2, secondsOf(t.rows[top], startMs)});
    figures.push_back({"distance at the end", "m", 1, t.rows.back().state.location - t.rows.front().state.location});
    float powering = 0.0f, regenerating = 0.0f;
    for (const TraceRow& r : t.rows) {
        powering = std::max(powering, r.state.current);
        regenerating = std::max(regenerating, -r.state.current);
    }
    figures.push_back({"peak powering current", "A", 0, powering});
    figures.push_back({"peak regenerating current", "A", 0, regenerating});
}

// Each brake application on the move (the driver's brake from released to applied above a walking
// pace), and where the train stopped, when it stopped before the brake was released again.
void stoppingFigures(const Trace& t, std::vector<Figure>& figures) {
    constexpr float MovingKmh = 1.0f, StoppedKmh = 0.1f;
    int application = 0;
    for (size_t i = 1; i < t.rows.size(); ++i) {
        const TraceRow& r = t.rows[i];
        if (!(t.rows[i - 1].driverBrake == 0 && r.driverBrake > 0 && std::fabs(r.state.speed) >= MovingKmh)) continue;
        const std::string name = "brake application " + std::to_string(++application);
        figures.push_back({name + ": speed", "km/h", 1, std::fabs(r.state.speed)});
        for (size_t k = i; k < t.rows.size() && t.rows[k].driverBrake > 0; ++k) {
            if (std::fabs(t.rows[k].state.speed) > StoppedKmh) continue;
            figures.push_back({name + ": stopping distance", "m", 1, t.rows[k].state.location - r.state.location});
            figures.push_back({name + ": stopping time", "s", 2, (t.rows[k].state.time - r.state.time) / 1000.0});
            break;
        }
    }
}

}  // namespace

std::vector<Figure> keyFigures(const Trace& t, int32_t startMs) {
    std::vector<Figure> figures;
    if (t.rows.empty()) return figures;
    speedFigures(t, startMs, figures);
    stoppingFigures(t, figures);
    if (t.hasCorvane) {
        std::map<int32_t, double> modes;
        for (size_t i = 0; i < t.rows.size(); ++i) modes[t.rows[i].corvane.pulseMode] += heldS(t, i);
        for (auto [mode, seconds] : modes) figures.push_back({"time in mode " + std::to_string(mode), "s", 2, seconds});
    }
    for (const auto& [panel, name] : needlePanels(t)) {
        std::array<int32_t, 256> values = t.panel.start;
        int32_t lowest = INT32_MAX, highest = INT32_MIN;
        for (size_t i = 0; i < t.rows.size(); ++i) {
            if (i < t.panel.changes.size()) {
                for (auto [index, value] : t.panel.changes[i]) values[index] = value;
            }
            lowest = std::min(lowest, values[panel]);
            highest = std::max(highest, values[panel]);
        }
        const std::string prefix = "panel " + std::to_string(panel) + " (" + name + ")";
        figures.push_back({prefix + " lowest", "", 0, static_cast<double>(lowest)});
        figures.push_back({prefix + " highest", "", 0, static_cast<double>(highest)});
    }
    return figures;
}

namespace {

// A line of the earlier run's summary.txt, after its "key: ".
std::string summaryLine(const platform::Path& dir, const std::string& key) {
    std::ifstream in(dir / "summary.txt", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(key + ": ", 0) == 0) return line.substr(key.size() + 2);
    }
    return "";
}

// The host clock at the start of the earlier run: the same as this run's when both start alike
// (the same scenario's clock), otherwise one frame interval before its first frame.
int32_t startOf(const Trace& before, const Trace& after, int32_t afterStartMs) {
    const int32_t first = before.rows.front().state.time;
    if (!after.rows.empty() && after.rows.front().state.time == first) return afterStartMs;
    return before.rows.size() > 1 ? first - (before.rows[1].state.time - first) : first;
}

std::vector<FigureChange> changes(const std::vector<Figure>& before, const std::vector<Figure>& after) {
    std::vector<FigureChange> rows;
    const auto find = [&](const std::string& name) {
        return std::find_if(rows.begin(), rows.end(), [&](const FigureChange& c) { return c.name == name; });
    };
    for (const Figure& f : after) rows.push_back({f.name, f.unit, f.decimals, std::nullopt, f.value});
    size_t insertAt = 0;
    for (const Figure& f : before) {
        const auto found = find(f.name);
        if (found != rows.end()) {
            found->before = f.value;
            insertAt = static_cast<size_t>(found - rows.begin()) + 1;
        } else {
            // A figure only the earlier run has goes after the one before it in that run.
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(insertAt),
                        {f.name, f.unit, f.decimals, f.value, std::nullopt});
            ++insertAt;
        }
    }
    return rows;
}

// The loudness of each row on the grid's cells: the size of the volume of the frame nearest the
// cell's middle; a voice that does not sound, or a cell past the run's end, is silent.
std::vector<float> loudness(const SoundLevels& levels, const LayerDifference& grid) {
    std::vector<float> cells(SoundLevelRows * grid.columns, 0.0f);
    const size_t frames = std::min(levels.timeS.size(), levels.volume.size() / SoundLevelRows);
    size_t f = 0;
    for (size_t k = 0; k < grid.columns && frames > 0; ++k) {
        const double middle = grid.startS + (k + 0.5) * grid.cellS;
        if (middle > levels.timeS[frames - 1] + grid.cellS) break;
        while (f + 1 < frames && levels.timeS[f + 1] <= middle) ++f;
        for (int row = 0; row < SoundLevelRows; ++row) {
            const float v = levels.volume[f * SoundLevelRows + row];
            cells[row * grid.columns + k] = std::isnan(v) ? 0.0f : std::fabs(v);
        }
    }
    return cells;
}

void compareLayers(Comparison& c, const SoundLevels& after) {
    if (!c.beforeLevels.active || !after.active || after.timeS.empty()) return;
    LayerDifference& grid = c.layers;
    grid.startS = std::min(after.timeS.front(), c.beforeLevels.timeS.front());
    const double endS = std::max(after.timeS.back(), c.beforeLevels.timeS.back());
    grid.columns = std::clamp<size_t>(static_cast<size_t>((endS - grid.startS) / 0.1), 1, 600);
    grid.cellS = std::max(0.001, (endS - grid.startS) / static_cast<double>(grid.columns));
    const std::vector<float> now = loudness(after, grid), then = loudness(c.beforeLevels, grid);
    grid.difference.resize(now.size());
    for (size_t i = 0; i < now.size(); ++i) grid.difference[i] = now[i] - then[i];
    for (int row = 0; row < SoundLevelRows; ++row) {
        for (const int sign : {1, -1}) {
            LayerChange change{row, 0.0, 0.0, 0.0};
            size_t cells = 0;
            for (size_t k = 0; k < grid.columns; ++k) {
                const double d = grid.difference[row * grid.columns + k];
                if (d * sign <= LayerDifferenceThreshold) continue;
                if (cells++ == 0) change.fromS = grid.startS + k * grid.cellS;
                change.toS = grid.startS + (k + 1) * grid.cellS;
                if (d * sign > change.difference * sign) change.difference = d;
            }
            // A mode change a frame or two earlier or later swaps two layers for a moment; what
            // lasts shorter than this is not heard as sounding differently.
            if (cells * grid.cellS >= LayerDifferenceMinimumS) c.layerChanges.push_back(change);
        }
    }
}

std::string fixed(double value, int decimals) {
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(decimals);
    s << value;
    std::string text = s.str();
    if (text.find_first_not_of("-0.") == std::string::npos) text = text.substr(text[0] == '-' ? 1 : 0);
    return text;
}

}  // namespace

bool loadComparison(const platform::Path& dir, Comparison& c, std::string& error) {
    c.dir = dir;
    c.label = "the earlier run (" + platform::pathToUtf8(dir) + ")";
    if (!readTraceCsv(dir / "trace.csv", c.before, error)) {
        error = "--compare needs an earlier run's output folder: " + error;
        return false;
    }
    std::string levelsError;
    const platform::Path levels = dir / "levels.csv";
    std::error_code ec;
    if (std::filesystem::exists(levels, ec) && !readSoundLevelsCsv(levels, c.beforeLevels, levelsError)) {
        c.notes.push_back("the earlier run's sound levels are not compared: " + levelsError);
    }
    return true;
}

void compareRuns(Comparison& c, const Trace& after, int32_t startMs, const SoundLevels& afterLevels,
                 const std::string& scenario) {
    c.beforeStartMs = startOf(c.before, after, startMs);
    c.figures = changes(keyFigures(c.before, c.beforeStartMs), keyFigures(after, startMs));
    compareLayers(c, afterLevels);

    const std::string earlierScenario = summaryLine(c.dir, "scenario");
    if (!earlierScenario.empty() && earlierScenario != scenario) {
        c.notes.push_back("the earlier run is of another scenario (\"" + earlierScenario + "\", this one \"" +
                          scenario + "\"): its events and timings may differ for that reason alone");
    }
    if (!after.rows.empty()) {
        const double was = secondsOf(c.before.rows.back(), c.beforeStartMs), is = secondsOf(after.rows.back(), startMs);
        if (std::fabs(was - is) > 0.05) {
            c.notes.push_back("the earlier run lasted " + fixed(was, 1) + " s and this one " + fixed(is, 1) +
                              " s: the charts show each run for as long as it lasted, and a figure that only one "
                              "run reached shows \"-\" for the other");
        }
    }
    if (c.before.hasCorvane != after.hasCorvane) {
        c.notes.push_back(std::string("only ") + (after.hasCorvane ? "this run" : "the earlier run") +
                          " had Corvane linked in: its main-circuit figures have nothing to compare with");
    }
    if (afterLevels.active != c.beforeLevels.active) {
        c.notes.push_back(std::string("only ") + (afterLevels.active ? "this run" : "the earlier run") +
                          " has sound levels: the sound layers are not compared");
    }
}

std::string comparisonText(const Comparison& c) {
    std::vector<std::array<std::string, 4>> table{{"figure", "before", "after", "change"}};
    const auto text = [](const std::optional<double>& v, const FigureChange& f) {
        return v ? fixed(*v, f.decimals) + (f.unit.empty() ? "" : " " + f.unit) : std::string("-");
    };
    for (const FigureChange& f : c.figures) {
        std::string change;
        if (f.before && f.after) {
            // Figures that print alike are the same: the change is never smaller than they show.
            const double scale = std::pow(10.0, f.decimals);
            const double d = (std::round(*f.after * scale) - std::round(*f.before * scale)) / scale;
            const double percent = std::fabs(*f.before) > 1e-9 ? 100.0 * d / std::fabs(*f.before) : 0.0;
            change = fixed(*f.before, f.decimals) == fixed(*f.after, f.decimals)
                         ? "same"
                         : (d > 0 ? "+" : "-") + fixed(std::fabs(d), f.decimals) + (f.unit.empty() ? "" : " " + f.unit);
            if (change != "same" && std::fabs(percent) >= 0.5)
                change += " (" + std::string(d > 0 ? "+" : "-") + fixed(std::fabs(percent), 0) + " %)";
        } else {
            change = f.after ? "only this run" : "only the earlier run";
        }
        table.push_back({f.name, text(f.before, f), text(f.after, f), change});
    }
    std::array<size_t, 4> width{};
    for (const auto& row : table) {
        for (size_t i = 0; i < 4; ++i) width[i] = std::max(width[i], row[i].size());
    }
    std::string out = "compared with " + c.label + ":\n";
    for (const auto& row : table) {
        std::string line = "  ";
        for (size_t i = 0; i < 4; ++i) line += row[i] + std::string(i < 3 ? width[i] - row[i].size() + 3 : 0, ' ');
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    if (c.layerChanges.empty() && c.layers.columns > 0) out += "  the sound layers sound as before\n";
    // One line per layer; the changes of a layer are found louder first, then quieter.
    for (size_t i = 0; i < c.layerChanges.size(); ++i) {
        const LayerChange& l = c.layerChanges[i];
        const bool sameRow = i > 0 && c.layerChanges[i - 1].row == l.row;
        if (!sameRow) {
            out += "  " +
                   (l.row < MotorNoiseRows ? "layer " + std::to_string(l.row)
                                           : std::string(AirSoundNames[l.row - MotorNoiseRows])) +
                   ":";
        }
        out += std::string(sameRow ? ";" : "") + (l.difference > 0 ? " louder" : " quieter") + " by up to " +
               fixed(std::fabs(l.difference), 2) + " (" + fixed(l.fromS, 1) + " to " + fixed(l.toS, 1) + " s)";
        if (i + 1 == c.layerChanges.size() || c.layerChanges[i + 1].row != l.row) out += "\n";
    }
    for (const std::string& note : c.notes) out += "  note: " + note + "\n";
    return out;
}

}  // namespace cabhost
