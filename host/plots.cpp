#include "host/plots.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/host.h"
#include "platform/platform.h"

namespace cabhost {
namespace {

// A text as a gnuplot string in double quotes.
std::string quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        if (c == '\n') {
            q += ' ';
            continue;
        }
        q += c;
    }
    return q + "\"";
}

struct Series {
    std::string column;
    std::string title;
    bool steps = false;
    bool secondAxis = false;
};

class ScriptWriter {
public:
    ScriptWriter(const Trace& trace, const platform::Path& csv, int32_t startTimeMs)
        : csv_(quoted(platform::pathToUtf8(csv))), startTimeMs_(startTimeMs) {
        const std::vector<std::string> columns = traceColumns(trace);
        for (size_t i = 0; i < columns.size(); ++i) index_[columns[i]] = static_cast<int>(i) + 1;
    }

    bool has(const std::string& column) const { return index_.count(column) != 0; }

    // One chart: the plot command for the series that the trace holds.
    std::string chart(const std::string& title, const std::string& yLabel, const std::vector<Series>& series,
                      const std::string& y2Label = "") const {
        std::ostringstream s;
        s << "set title " << quoted(title) << "\n";
        s << "set ylabel " << quoted(yLabel) << "\n";
        if (!y2Label.empty()) {
            s << "set y2label " << quoted(y2Label) << "\nset y2tics\nset ytics nomirror\n";
        } else {
            s << "unset y2label\nunset y2tics\nset ytics mirror\n";
        }
        s << "plot ";
        bool first = true;
        for (const Series& item : series) {
            if (!has(item.column)) continue;
            s << (first ? "" : ", \\\n     ") << csv_ << " using (($1-" << startTimeMs_
              << ")/1000.0):" << index_.at(item.column) << " with " << (item.steps ? "steps" : "lines")
              << " lw 2 title " << quoted(item.title) << (item.secondAxis ? " axes x1y2" : "");
            first = false;
        }
        if (first) s << "NaN notitle";
        s << "\n";
        return s.str();
    }

private:
    std::string csv_;
    int32_t startTimeMs_;
    std::map<std::string, int> index_;
};

}  // namespace

std::string plotScript(const Trace& trace, const platform::Path& csvFile, const platform::Path& outDir,
                       int32_t startTimeMs, const std::string& title, std::vector<std::string>& pngNames) {
    const ScriptWriter w(trace, csvFile, startTimeMs);
    std::ostringstream s;
    s << "# Drawn by cabhost from the trace; run \"gnuplot plots.gp\" in this folder to draw again.\n";
    s << "set datafile separator \",\"\n";
    s << "set key autotitle columnhead\nset key top left opaque box\n";
    s << "set grid\nset xlabel \"time (s)\"\n";
    auto png = [&](const std::string& name, int width, int height) {
        pngNames.push_back(name);
        s << "set terminal pngcairo size " << width << "," << height << " font \"sans,10\"\n";
        s << "set output " << quoted(platform::pathToUtf8(outDir / name)) << "\n";
    };
    const std::string prefix = title.empty() ? "" : title + ": ";

    const std::string speed = w.chart(prefix + "speed", "speed (km/h)", {{"speed_kmh", "speed"}});
    const std::string current = w.chart(prefix + "current", "current (A)",
                                        {{"current_a", "host current"}, {"motor_current_a", "motor current"}});
    const std::string notches = w.chart(prefix + "notches", "notch",
                                        {{"driver_power", "driver power", true},
                                         {"out_power", "returned power", true},
                                         {"driver_brake", "driver brake", true},
                                         {"out_brake", "returned brake", true}});
    const std::string pulse =
        w.chart(prefix + "main-circuit mode", "pulseMode",
                {{"pulse_mode", "pulseMode", true}, {"voltage_ratio", "voltageRatio", false, true}}, "voltageRatio");
    const std::string voltage = w.chart(prefix + "line voltage", "voltage (V)", {{"line_voltage_v", "lineVoltage"}});
    const std::string pressures = w.chart(prefix + "air", "pressure (kPa)",
                                          {{"bc_kpa", "brake cylinder"},
                                           {"sap_kpa", "straight air pipe"},
                                           {"bp_kpa", "brake pipe"},
                                           {"mr_kpa", "main reservoir"},
                                           {"displayed_sap_kpa", "displayed SAP"}});

    png("speed.png", 1000, 500);
    s << speed;
    png("current.png", 1000, 500);
    s << current;
    png("notches.png", 1000, 500);
    s << notches;
    if (w.has("pulse_mode")) {
        png("pulse_mode.png", 1000, 500);
        s << pulse;
        png("line_voltage.png", 1000, 500);
        s << voltage;
    }
    png("pressures.png", 1000, 500);
    s << pressures;

    // Gauges: the needle values the plug-in wrote into the panel, grouped by scale.
    std::vector<std::string> gaugeCharts;
    if (w.has("panel_22"))
        gaugeCharts.push_back(w.chart("speedometer (panel 22)", "panel value", {{"panel_22", "22"}}));
    if (w.has("panel_130") || w.has("panel_132")) {
        gaugeCharts.push_back(w.chart("pressure needles", "panel value",
                                      {{"panel_130", "130 cylinder"},
                                       {"panel_131", "131 straight air pipe"},
                                       {"panel_132", "132 brake pipe"},
                                       {"panel_133", "133 main reservoir"}}));
    }
    if (w.has("panel_26") || w.has("panel_232")) {
        gaugeCharts.push_back(w.chart("ammeter and voltmeter", "panel value",
                                      {{"panel_26", "26 ammeter"}, {"panel_232", "232 voltmeter", false, true}},
                                      "voltmeter"));
    }
    if (w.has("panel_120") || w.has("panel_121")) {
        gaugeCharts.push_back(w.chart("train protection lamps", "lamp",
                                      {{"panel_120", "120 normal", true}, {"panel_121", "121 tripped", true}}));
    }
    if (!gaugeCharts.empty()) {
        png("gauges.png", 1000, 330 * static_cast<int>(gaugeCharts.size()));
        s << "set multiplot layout " << gaugeCharts.size() << ",1 title " << quoted(prefix + "gauges") << "\n";
        for (const std::string& c : gaugeCharts) s << c;
        s << "unset multiplot\n";
    }

    png("overview.png", 1400, 1000);
    s << "set multiplot layout 2,2 title " << quoted(title) << "\n";
    s << speed << current << notches << (w.has("pulse_mode") ? pulse : pressures);
    s << "unset multiplot\n";
    s << "set output\n";
    return s.str();
}

PlotOutcome drawPlots(const Trace& trace, const platform::Path& csvFile, const platform::Path& outDir,
                      int32_t startTimeMs, const std::string& title) {
    PlotOutcome outcome;
    std::vector<std::string> names;
    const std::string script = plotScript(trace, csvFile, outDir, startTimeMs, title, names);
    const platform::Path scriptFile = outDir / "plots.gp";
    {
        std::ofstream out(scriptFile, std::ios::binary | std::ios::trunc);
        out << script;
        if (!out) {
            outcome.note = "plots skipped: cannot write " + platform::pathToUtf8(scriptFile);
            return outcome;
        }
    }
    if (platform::hostRunProgram("gnuplot", {"--version"}) != 0) {
        outcome.note =
            "no PNG plots: gnuplot is not on the search path; open report.html in the output folder for the "
            "same charts (for the PNGs, put gnuplot on the search path and run \"gnuplot plots.gp\" there)";
        return outcome;
    }
    const int status = platform::hostRunProgram("gnuplot", {platform::pathToUtf8(scriptFile)});
    if (status != 0) {
        outcome.note = "plots incomplete: gnuplot failed on " + platform::pathToUtf8(scriptFile);
    }
    std::error_code missing;
    for (const std::string& name : names) {
        if (std::find(outcome.files.begin(), outcome.files.end(), name) == outcome.files.end() &&
            std::filesystem::exists(outDir / name, missing)) {
            outcome.files.push_back(name);
        }
    }
    return outcome;
}

}  // namespace cabhost
