// report.html: one self-contained page to see and hear a run. Its charts share one time axis and
// one zoom; the recording beside it (corvane.wav) plays with a cursor on every chart. The page, its
// data and the charting library are all inside the file, so it opens offline by double-click.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/compare.h"
#include "host/expectations.h"
#include "host/sound_levels.h"
#include "host/trace.h"
#include "platform/platform.h"

namespace cabhost {

struct ReportEvent {
    double timeS = 0.0;
    std::string text;
};

struct ReportInput {
    std::string title;
    std::string summary;  // the run's summary, notes included
    const Trace* trace = nullptr;
    int32_t startMs = 0;  // the host time that the page's time axis counts from
    std::vector<ReportEvent> events;
    const SoundLevels* levels = nullptr;
    std::optional<std::string> audioFile;  // a recording beside the report
    std::string audioNote;                 // why there is none, when there is none
    const std::vector<ExpectationResult>* expectations = nullptr;
    const Comparison* comparison = nullptr;  // the earlier run, drawn beside this one
};

// The heat map's even time grid over a run's sound levels. Each cell shows, per row, the frame of
// the cell with the largest volume, so that a swell shorter than a cell still shows; a cell that no
// frame falls into repeats the cell before it.
struct HeatGrid {
    double startS = 0.0, cellS = 0.0;
    size_t columns = 0;
    std::vector<size_t> frame;  // per cell, SoundLevelRows frame indices
};
HeatGrid heatGrid(const SoundLevels& levels);

// The data of the page as JSON (exposed for tests).
std::string reportData(const ReportInput& input);
// The whole page.
std::string reportHtml(const ReportInput& input);
// Writes the page; false with the reason in error.
bool writeReport(const platform::Path& file, const ReportInput& input, std::string& error);

struct Scenario;
struct RunOutcome;
// The report of a run: its fired events, its sound levels, the recording when one was written, its
// expectations, and the earlier run it was compared with.
bool writeRunReport(const platform::Path& file, const Scenario& scenario, const RunOutcome& outcome, int32_t startMs,
                    const std::string& summary, bool withRecording, std::string& error);

// The panel elements that the needles use and the plug-in wrote, with the gauge's name.
std::vector<std::pair<int, std::string>> needlePanels(const Trace& trace);

// The heat map's time grid: at most this many columns, so a long run stays a small page.
constexpr size_t MaxHeatColumns = 1500;
// The charts' points: a longer run is thinned to every n-th frame.
constexpr size_t MaxChartPoints = 40000;

}  // namespace cabhost
