// What a run leaves behind: the WAV file, the trace CSV rebuilt from per-frame changes, and the
// gnuplot script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host/plots.h"
#include "host/trace.h"
#include "host/wav_file.h"
#include "host_test_support.h"

namespace {

using hosttest::TempDir;

uint32_t le32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

TEST(WavFile, HeaderDescribesTheSamples) {
    TempDir dir;
    const std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 5};
    std::string error;
    ASSERT_TRUE(cabhost::writeWav16(dir.path() / "a.wav", 22050, 2, samples, error)) << error;
    const std::string bytes = hosttest::readFile(dir.path() / "a.wav");
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), 36u + 12u);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(bytes, 24), 22050u);
    EXPECT_EQ(le32(bytes, 28), 22050u * 4);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), 12u);
    int16_t last;
    std::memcpy(&last, bytes.data() + 54, 2);
    EXPECT_EQ(last, 5);
    EXPECT_FALSE(cabhost::writeWav16(dir.path() / "none" / "a.wav", 22050, 2, samples, error));
    EXPECT_NE(error.find("none"), std::string::npos);
}

TEST(TraceCsv, ElementsKeepTheirValueUntilWrittenAgain) {
    cabhost::Trace trace;
    std::array<int32_t, 256> a{}, b{}, c{};
    b[22] = 100;
    b[3] = 1;  // written by the host before, not by the plug-in
    c = b;
    c[22] = 150;
    std::bitset<256> written;
    written.set(22);
    for (int frame = 0; frame < 3; ++frame) {
        cabhost::TraceRow row;
        row.state.time = 20 * (frame + 1);
        trace.rows.push_back(row);
    }
    trace.panel.record(a, b, written);
    trace.panel.record(b, b, {});  // nothing written: the element keeps 100
    trace.panel.record(b, c, written);
    trace.sound.record(a, a, {});
    trace.sound.record(a, a, {});
    trace.sound.record(a, a, {});

    TempDir dir;
    std::string error;
    ASSERT_TRUE(cabhost::writeTraceCsv(trace, dir.path() / "t.csv", error)) << error;
    const std::string csv = hosttest::readFile(dir.path() / "t.csv");
    std::vector<std::string> lines;
    for (size_t at = 0, next; (next = csv.find('\n', at)) != std::string::npos; at = next + 1) {
        lines.push_back(csv.substr(at, next - at));
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(lines[0].rfind(',') + 1), "panel_22");  // only written elements get a column
    EXPECT_EQ(lines[0].find("panel_3"), std::string::npos);
    EXPECT_EQ(lines[1].substr(lines[1].rfind(',') + 1), "100");
    EXPECT_EQ(lines[2].substr(lines[2].rfind(',') + 1), "100");
    EXPECT_EQ(lines[3].substr(lines[3].rfind(',') + 1), "150");
}

TEST(PlotScript, DrawsOnlyWhatTheTraceHolds) {
    cabhost::Trace trace;
    trace.rows.resize(2);
    std::bitset<256> written;
    written.set(121);
    trace.panel.record({}, {}, written);
    trace.panel.record({}, {}, {});
    std::vector<std::string> names;
    const std::string script = cabhost::plotScript(trace, "/o/trace.csv", "/o", 1000, "t \"q\"", names);
    EXPECT_EQ(std::find(names.begin(), names.end(), "pulse_mode.png"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "gauges.png"), names.end());
    EXPECT_NE(script.find("(($1-1000)/1000.0):17"), std::string::npos);  // panel_121 is column 17
    EXPECT_EQ(script.find("pulse_mode"), std::string::npos);
    EXPECT_NE(script.find("t \\\"q\\\""), std::string::npos);  // the title is quoted for gnuplot

    trace.hasCorvane = true;
    names.clear();
    cabhost::plotScript(trace, "/o/trace.csv", "/o", 0, "", names);
    EXPECT_NE(std::find(names.begin(), names.end(), "pulse_mode.png"), names.end());
}

// The release's version is written in one place: cabhost --version says what the VERSION file says.
TEST(Version, CabhostSaysTheVersionOfTheVersionFile) {
    TempDir dir;
    const std::filesystem::path said = dir.path() / "said";
    ASSERT_EQ(std::system(("'" CABHOST_EXE "' --version >'" + said.string() + "'").c_str()), 0);
    std::string version = hosttest::readFile(hosttest::SourceDir / "VERSION");
    version.erase(version.find_last_not_of("\r\n") + 1);
    EXPECT_EQ(hosttest::readFile(said), "cabhost " + version + "\n");
}

}  // namespace
