// A run beside an earlier one: the key figures of a known run, the change column, the files an
// earlier run is read back from, and the layers that count as sounding differently.
#include <gtest/gtest.h>

#include <cmath>

#include "host/compare.h"
#include "host_test_support.h"

namespace {

using hosttest::TempDir;

// 40 s in 0.5 s frames from a standstill: 1 km/h more each second to 30 km/h at 30 s, where the
// driver brakes; the train stops 10 s later, 150 m on. Modes 100 (to 10 s) and 1 after that; the
// speedometer (panel 22) shows the speed times 2.
cabhost::Trace knownRun() {
    cabhost::Trace t;
    t.hasCorvane = true;
    t.panel.written.set(22);
    for (int k = 1; k <= 80; ++k) {
        const double s = 0.5 * k;
        cabhost::TraceRow r;
        r.state.time = 500 * k;
        r.state.speed = static_cast<float>(s <= 30.0 ? s : std::max(0.0, 30.0 - 3.0 * (s - 30.0)));
        r.state.location = s <= 30.0 ? s * s / 7.2 : 125.0 + 25.0 * std::min(1.0, (s - 30.0) / 10.0);
        r.state.current = s <= 30.0 ? 300.0f : -150.0f;
        r.driverBrake = s > 30.0 ? 4 : 0;
        r.corvane.pulseMode = s <= 10.0 ? 100 : 1;
        t.rows.push_back(r);
        t.panel.changes.push_back({{22, static_cast<int32_t>(2 * r.state.speed)}});
    }
    return t;
}

TEST(CompareFigures, KnownRunGivesTheFiguresOfItsRules) {
    std::map<std::string, double> got;
    for (const cabhost::Figure& f : cabhost::keyFigures(knownRun(), 0)) got[f.name] = f.value;
    const std::map<std::string, double> want = {
        {"time to 10 km/h", 10.0},
        {"time to 20 km/h", 20.0},
        {"time to 30 km/h", 30.0},
        {"top speed", 30.0},
        {"top speed reached at", 30.0},
        {"distance at the end", 150.0 - 0.25 / 7.2},
        {"peak powering current", 300.0},
        {"peak regenerating current", 150.0},
        {"brake application 1: speed", 28.5},  // the first braked frame, 0.5 s after 30 s
        {"brake application 1: stopping distance", 150.0 - (125.0 + 1.25)},
        {"brake application 1: stopping time", 9.5},
        {"time in mode 100", 10.0},
        {"time in mode 1", 30.0},
        {"panel 22 (speedometer) lowest", 0.0},
        {"panel 22 (speedometer) highest", 60.0},
    };
    EXPECT_EQ(got.size(), want.size());
    for (const auto& [name, value] : want) EXPECT_NEAR(got[name], value, 1e-4) << name;
}

TEST(CompareFigures, TheChangeColumnAndWhatOnlyOneRunHas) {
    cabhost::Comparison c;
    c.label = "the earlier run";
    const auto row = [&](std::optional<double> before, std::optional<double> after, int decimals) {
        c.figures = {{"x", "s", decimals, before, after}};
        const std::string text = cabhost::comparisonText(c);
        const size_t at = text.find("\n  x ") + 1;
        return text.substr(at, text.find('\n', at) - at);
    };
    EXPECT_TRUE(row(8.72, 7.98, 2).ends_with(" -0.74 s (-8 %)"));
    EXPECT_TRUE(row(80.14, 80.16, 1).ends_with(" +0.1 s"));  // the figures as shown: 80.1 and 80.2
    EXPECT_TRUE(row(80.14, 80.11, 1).ends_with(" same"));
    EXPECT_TRUE(row(0.0, 2.0, 0).ends_with(" +2 s"));  // no share of nothing
    EXPECT_TRUE(row(std::nullopt, 3.0, 1).ends_with(" only this run"));
    EXPECT_TRUE(row(3.0, std::nullopt, 1).ends_with(" only the earlier run"));
}

// What an earlier run wrote reads back into the same trace and levels.
TEST(CompareFiles, TraceAndLevelsReadBackAsWritten) {
    TempDir dir;
    cabhost::Trace t = knownRun();
    t.sound.written.set(7);
    t.sound.changes.assign(t.rows.size(), {});
    t.sound.changes[3] = {{7, 1}};
    std::string error;
    ASSERT_TRUE(cabhost::writeTraceCsv(t, dir.path() / "a.csv", error)) << error;
    cabhost::Trace back;
    ASSERT_TRUE(cabhost::readTraceCsv(dir.path() / "a.csv", back, error)) << error;
    ASSERT_TRUE(cabhost::writeTraceCsv(back, dir.path() / "b.csv", error)) << error;
    EXPECT_EQ(hosttest::readFile(dir.path() / "a.csv"), hosttest::readFile(dir.path() / "b.csv"));

    cabhost::SoundLevels levels;
    levels.active = true;
    levels.timeS = {0.02, 0.04};
    levels.volume.assign(2 * cabhost::SoundLevelRows, 0.25f);
    levels.volume[5] = NAN;
    ASSERT_TRUE(cabhost::writeSoundLevelsCsv(levels, dir.path() / "levels.csv", error)) << error;
    cabhost::SoundLevels read;
    ASSERT_TRUE(cabhost::readSoundLevelsCsv(dir.path() / "levels.csv", read, error)) << error;
    EXPECT_EQ(read.timeS, levels.timeS);
    EXPECT_TRUE(std::isnan(read.volume[5]));
    EXPECT_EQ(read.volume[6], 0.25f);

    // A row cut short, or with a speed no run has, is named with its line; a folder without a run
    // says what --compare needs.
    std::string csv = hosttest::readFile(dir.path() / "a.csv");
    const size_t row2 = csv.find('\n') + 1, row3 = csv.find('\n', row2) + 1;
    hosttest::writeFile(dir.path() / "c.csv", csv.substr(0, row3 - 3) + "\n");
    EXPECT_FALSE(cabhost::readTraceCsv(dir.path() / "c.csv", back, error));
    EXPECT_NE(error.find("c.csv:2: "), std::string::npos) << error;
    std::string infinite = csv.substr(0, row3);
    infinite.replace(infinite.find(',', infinite.find(',', row2) + 1) + 1, 3, "inf");  // speed_kmh
    hosttest::writeFile(dir.path() / "d.csv", infinite);
    EXPECT_FALSE(cabhost::readTraceCsv(dir.path() / "d.csv", back, error));
    EXPECT_NE(error.find("d.csv:2: "), std::string::npos) << error;
    cabhost::Comparison c;
    EXPECT_FALSE(cabhost::loadComparison(dir.path() / "none", c, error));
    EXPECT_EQ(error.rfind("--compare needs an earlier run's output folder: cannot open ", 0), 0u) << error;
}

// Layer 3 louder by 0.5 for 1 s is named; layers 1 and 2 swapped for 0.2 s (a mode change a frame
// later) and a difference below the threshold are not.
TEST(CompareLayers, OnlyWhatLastsAndIsLargeEnoughCounts) {
    TempDir dir;
    const auto levels = [](bool changed) {
        cabhost::SoundLevels l;
        l.active = true;
        for (int f = 0; f < 100; ++f) {  // 5 s in 50 ms frames
            l.timeS.push_back(0.05 * f);
            const bool swap = changed && f >= 40 && f < 44, louder = changed && f >= 60 && f < 80;
            for (int row = 0; row < cabhost::SoundLevelRows; ++row) {
                float v = row == 4 ? (changed ? 0.34f : 0.3f) : 0.0f;
                if (row == 1 || row == 2) v = (row == 1) != swap ? 1.0f : 0.0f;
                if (row == 3) v = louder ? -0.7f : 0.2f;  // a negative volume sounds as loud as its size
                l.volume.push_back(v);
            }
        }
        return l;
    };
    std::string error;
    ASSERT_TRUE(cabhost::writeSoundLevelsCsv(levels(false), dir.path() / "levels.csv", error));
    ASSERT_TRUE(cabhost::writeTraceCsv(knownRun(), dir.path() / "trace.csv", error));
    cabhost::Comparison c;
    ASSERT_TRUE(cabhost::loadComparison(dir.path(), c, error)) << error;
    cabhost::compareRuns(c, knownRun(), 0, levels(true), "same");
    ASSERT_EQ(c.layerChanges.size(), 1u) << cabhost::comparisonText(c);
    EXPECT_EQ(c.layerChanges[0].row, 3);
    EXPECT_NEAR(c.layerChanges[0].difference, 0.5, 1e-6);
    EXPECT_NEAR(c.layerChanges[0].fromS, 3.0, 0.1);
    EXPECT_NEAR(c.layerChanges[0].toS, 4.0, 0.1);
}

}  // namespace
