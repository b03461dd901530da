// report.html from the host's side: the heat map's time grid, the page's data, and what a run
// collects for it. The page itself is checked in Chromium (browser_test.mjs).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "../host/host_test_support.h"
#include "host/report.h"
#include "host/run.h"

namespace {

using cabhost::SoundLevelRows;
using hosttest::TempDir;
namespace fs = std::filesystem;
using hosttest::Ran;
using hosttest::run;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

// Levels of the given frame times, every voice at volume `quiet`.
cabhost::SoundLevels levelsAt(const std::vector<double>& times, float quiet = 0.1f) {
    cabhost::SoundLevels levels;
    levels.active = true;
    levels.timeS = times;
    levels.volume.assign(times.size() * SoundLevelRows, quiet);
    levels.frequencyRatio.assign(times.size() * SoundLevelRows, 1.0f);
    return levels;
}

size_t cellFrame(const cabhost::HeatGrid& grid, size_t cell, int row) {
    return grid.frame[cell * SoundLevelRows + row];
}

TEST(HeatGrid, CellsCoverTheRunEvenlyAndKeepTheLoudestFrame) {
    // Up to the column limit, one frame a cell.
    cabhost::HeatGrid grid = cabhost::heatGrid(levelsAt({0.02, 0.04, 0.06, 0.08}));
    ASSERT_EQ(grid.columns, 4u);
    EXPECT_DOUBLE_EQ(grid.startS, 0.02);
    EXPECT_NEAR(grid.cellS, 0.02, 1e-12);
    for (size_t cell = 0; cell < 4; ++cell) EXPECT_EQ(cellFrame(grid, cell, 7), cell);

    // 3000 frames of 20 ms: 1500 cells of 40 ms, two frames each. A one-frame swell of layer 17
    // shows in its cell; its neighbour row keeps the first of two equal frames.
    std::vector<double> times;
    for (int f = 0; f < 3000; ++f) times.push_back(0.02 * (f + 1));
    cabhost::SoundLevels levels = levelsAt(times);
    levels.volume[1001 * SoundLevelRows + 17] = 0.9f;
    levels.volume[1000 * SoundLevelRows + 16] = -0.5f;  // a negative volume is as loud as its size
    levels.volume[2000 * SoundLevelRows + 43] = NaN;    // a one-shot that stopped ...
    levels.volume[2001 * SoundLevelRows + 42] = NaN;
    grid = cabhost::heatGrid(levels);
    ASSERT_EQ(grid.columns, cabhost::MaxHeatColumns);
    EXPECT_NEAR(grid.cellS, 0.04, 1e-9);
    EXPECT_EQ(cellFrame(grid, 500, 17), 1001u);
    EXPECT_EQ(cellFrame(grid, 500, 18), 1000u);
    EXPECT_EQ(cellFrame(grid, 500, 16), 1000u);
    EXPECT_EQ(cellFrame(grid, 1000, 43), 2001u);  // ... loses to the frame in which it sounds
    EXPECT_EQ(cellFrame(grid, 1000, 42), 2000u);
    EXPECT_EQ(cellFrame(grid, 1499, 0), 2998u);

    // Uneven frames: a cell that no frame falls into repeats the cell before it. Span 1.0 s over
    // four frames is 4/3 s, so cells of 1/3 s: frames 0 and 1 in cell 0, frame 2 (0.5 s) in cell 1,
    // nothing in cell 2, frame 3 (1.0 s) in cell 3.
    levels = levelsAt({0.0, 0.01, 0.5, 1.0});
    levels.volume[1 * SoundLevelRows + 3] = 0.5f;
    grid = cabhost::heatGrid(levels);
    ASSERT_EQ(grid.columns, 4u);
    EXPECT_EQ(cellFrame(grid, 0, 3), 1u);
    EXPECT_EQ(cellFrame(grid, 0, 4), 0u);
    EXPECT_EQ(cellFrame(grid, 1, 3), 2u);
    EXPECT_EQ(cellFrame(grid, 2, 3), 2u);
    EXPECT_EQ(cellFrame(grid, 3, 3), 3u);

    // One frame: one cell; none: no grid.
    EXPECT_EQ(cabhost::heatGrid(levelsAt({3.0})).columns, 1u);
    EXPECT_EQ(cabhost::heatGrid(levelsAt({})).columns, 0u);
}

cabhost::TraceRow row(int32_t timeMs, float speed) {
    cabhost::TraceRow r;
    r.state.time = timeMs;
    r.state.speed = speed;
    return r;
}

TEST(ReportData, TextNumbersAndNeedlesAsThePageReadsThem) {
    cabhost::Trace trace;
    trace.rows = {row(1020, -0.001f), row(1040, 12.5f), row(1060, NaN), row(1080, 36.5f)};
    std::array<int32_t, 256> before{}, after{};
    std::bitset<256> written;
    written.set(22);
    written.set(61);  // not a needle: no gauge chart
    for (int32_t value : {0, 150, 150, 3650}) {
        after[22] = value;
        trace.panel.record(before, after, written);
        before = after;
    }
    // A sound played once and then continued, and then played once again; one stopped in the first
    // frame only and continued from then on.
    std::array<int32_t, 256> soundBefore{}, soundAfter{};
    std::bitset<256> soundWritten;
    soundWritten.set(95);
    soundWritten.set(96);
    for (auto [value, settled] : {std::pair{1, -10000}, {2, 2}, {2, 2}, {1, 2}}) {
        soundAfter[95] = value;
        soundAfter[96] = settled;
        trace.sound.record(soundBefore, soundAfter, soundWritten);
        soundBefore = soundAfter;
    }
    cabhost::ReportInput in;
    in.title = "A \"quoted\" </script><!-- & more";
    in.summary = "line one\nline\ttwo\x01";
    in.trace = &trace;
    in.startMs = 1000;
    in.events = {{0.04, "power notch 2"}};
    in.audioNote = "no recording: because";

    const std::string data = cabhost::reportData(in);
    // Nothing in the data can end the script element that holds it.
    EXPECT_EQ(data.find('<'), std::string::npos);
    EXPECT_EQ(data.find('>'), std::string::npos);
    EXPECT_NE(data.find(R"("title":"A \"quoted\" \u003c/script\u003e\u003c!-- \u0026 more")"), std::string::npos)
        << data;
    EXPECT_NE(data.find(R"("summary":"line one\nline\ttwo\u0001")"), std::string::npos);
    // Seconds from the run's start; trailing zeros dropped, -0 as 0, NaN as null.
    EXPECT_NE(data.find(R"("t":[0.02,0.04,0.06,0.08])"), std::string::npos) << data;
    EXPECT_NE(data.find(R"("speed":[0,12.5,null,36.5])"), std::string::npos) << data;
    // A needle's value frame by frame, beside its physical quantity.
    EXPECT_NE(data.find(R"("panel22":[0,150,150,3650])"), std::string::npos) << data;
    EXPECT_NE(data.find(R"("gauges":[{"panel":22,"name":"speedometer","physical":"speedAbs")"), std::string::npos);
    EXPECT_EQ(data.find("panel61"), std::string::npos);
    // The other elements: from the first frame and at every change, or the one value they kept.
    EXPECT_NE(data.find(R"("elements":[{"name":"sound 95","t":[0.02,0.04,0.08],"v":[1,2,1]}])"), std::string::npos)
        << data;
    EXPECT_NE(data.find(R"("steadyElements":[{"name":"panel 61","value":0},{"name":"sound 96","value":2,"first":-10000}])"),
              std::string::npos)
        << data;
    // A plug-in library's run: no main circuit, no recording, no levels, and the reasons.
    EXPECT_EQ(data.find("pulseMode"), std::string::npos);
    EXPECT_NE(data.find(R"("events":[{"t":0.04,"text":"power notch 2"}])"), std::string::npos);
    EXPECT_NE(data.find(R"("audio":null,"audioNote":"no recording: because")"), std::string::npos);
    EXPECT_NE(data.find(R"("levels":null)"), std::string::npos);

    // The page: three script elements (data, library, page) and nothing loaded from elsewhere.
    const std::string page = cabhost::reportHtml(in);
    size_t scripts = 0;
    for (size_t at = page.find("</script>"); at != std::string::npos; at = page.find("</script>", at + 1)) ++scripts;
    EXPECT_EQ(scripts, 3u);
    EXPECT_EQ(page.find("src=\"http"), std::string::npos);
    EXPECT_EQ(page.find("href=\"http"), std::string::npos);
    EXPECT_NE(page.find("Permission is hereby granted"), std::string::npos);  // uPlot's licence
    EXPECT_NE(page.find("<title>A \"quoted\" &lt;/script&gt;&lt;!-- &amp; more - run report</title>"),
              std::string::npos);
}

TEST(ReportData, ALongRunIsThinnedToTheChartLimit) {
    cabhost::Trace trace;
    for (size_t i = 0; i <= cabhost::MaxChartPoints; ++i) trace.rows.push_back(row(static_cast<int32_t>(i), 1.0f));
    cabhost::ReportInput in;
    in.trace = &trace;
    const std::string data = cabhost::reportData(in);
    const size_t begin = data.find("\"t\":[");
    const size_t end = data.find(']', begin);
    ASSERT_NE(begin, std::string::npos);
    // Every second frame of MaxChartPoints + 1: the first and then half of the rest.
    EXPECT_EQ(std::count(data.begin() + begin, data.begin() + end, ','), cabhost::MaxChartPoints / 2);
}

float volumeOf(const cabhost::SoundLevels& levels, size_t frame, int row) {
    return levels.volume[frame * SoundLevelRows + row];
}

// The levels the report shows are those the motor-noise rules give for the mode of the frame.
TEST(RunReport, LinkedInRunShowsTheLayersOfEachMode) {
    TempDir dir;
    const Ran r = run(hosttest::SourceDir / "samples" / "scenarios" / "departure.toml", dir.path() / "out");
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    EXPECT_NE(r.out.find(" report.html"), std::string::npos) << r.out;
    const cabhost::Simulation& sim = r.outcome.simulation;
    const cabhost::SoundLevels& levels = sim.levels;
    ASSERT_TRUE(levels.active) << levels.note;
    ASSERT_EQ(levels.timeS.size(), sim.trace.rows.size());
    ASSERT_EQ(levels.volume.size(), levels.timeS.size() * SoundLevelRows);

    std::map<int32_t, int> framesInMode;
    for (size_t f = 0; f < sim.trace.rows.size(); ++f) {
        const cabhost::CorvaneView& c = sim.trace.rows[f].corvane;
        ++framesInMode[c.pulseMode];
        // Layers 28 and 29 keep the volume 0 of Load; layers 0 to 2 always play at their recorded pitch.
        EXPECT_EQ(volumeOf(levels, f, 28), 0.0f) << f;
        EXPECT_EQ(volumeOf(levels, f, 29), 0.0f) << f;
        for (int layer : {0, 1, 2}) EXPECT_EQ(levels.frequencyRatio[f * SoundLevelRows + layer], 1.0f);
        for (int layer = 0; layer < cabhost::MotorNoiseRows; ++layer) {
            const float v = volumeOf(levels, f, layer);
            if (c.pulseMode == 100) {
                EXPECT_EQ(v, 0.0f) << "without current every layer is silent; frame " << f << " layer " << layer;
            } else if (c.pulseMode == 45) {
                // Mode 45 sounds layer 3 alone, at the power gain, pitched at motor speed × 0.22379488.
                if (layer == 3) {
                    EXPECT_GT(v, 0.0f) << f;
                    EXPECT_NEAR(levels.frequencyRatio[f * SoundLevelRows + 3], c.motorSpeed * 0.22379488f, 1e-4f);
                } else {
                    EXPECT_EQ(v, 0.0f) << "mode 45, frame " << f << " layer " << layer;
                }
            }
        }
        // sap.wav is loaded but never played.
        EXPECT_TRUE(std::isnan(volumeOf(levels, f, cabhost::MotorNoiseRows + 1))) << f;
    }
    // sapHigh.wav, a one-shot, is heard from the release of the brake for at most its length, after
    // which it is silent until the next exhaust.
    const std::string wav = hosttest::readFile(hosttest::SampleVehicle / "sapHigh.wav");
    ASSERT_GT(wav.size(), 44u);
    const auto field = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(wav[at])) | static_cast<uint8_t>(wav[at + 1]) << 8 |
               static_cast<uint8_t>(wav[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(wav[at + 3])) << 24;
    };
    const double lengthS = static_cast<double>(field(40)) / field(28);  // data bytes / bytes per second
    size_t exhaustFrames = 0;
    for (size_t f = 0; f < levels.timeS.size(); ++f) {
        if (!std::isnan(volumeOf(levels, f, cabhost::MotorNoiseRows + 2))) ++exhaustFrames;
    }
    EXPECT_GT(exhaustFrames, 0u);
    EXPECT_LE(exhaustFrames * 0.02, lengthS + 0.02);

    EXPECT_GT(framesInMode[100], 10);
    EXPECT_GT(framesInMode[45], 2);

    const std::string page = hosttest::readFile(dir.path() / "out" / "report.html");
    EXPECT_NE(page.find(R"("audio":{"file":"corvane.wav","startS":0.02})"), std::string::npos);
    EXPECT_NE(page.find(R"("rows":["0","1","2")"), std::string::npos);
    EXPECT_NE(page.find(R"("39","40","bc","sap","sapHigh"])"), std::string::npos);
}

TEST(RunReport, PluginLibraryRunSaysWhyItHasNoLayers) {
    TempDir dir;
    const fs::path scenario = dir.path() / "s.toml";
    hosttest::writeFile(scenario, "duration_s = 1.0\n[[event]]\npower = 2\n");
    const Ran r = run(scenario, dir.path() / "out", fs::path(ELAPSE_ONLY_PLUGIN));
    ASSERT_EQ(r.outcome.exitCode, cabhost::ExitOk) << r.err;
    EXPECT_FALSE(r.outcome.simulation.levels.active);
    const std::string page = hosttest::readFile(dir.path() / "out" / "report.html");
    EXPECT_NE(page.find(R"("levels":null,"levelsNote":"a plug-in library (--plugin) mixes its own sounds)"),
              std::string::npos);
    EXPECT_NE(page.find(R"("audio":null,"audioNote":"no recording: Corvane's own sounds)"), std::string::npos);
}

}  // namespace
