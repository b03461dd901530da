// The start-up log and the motor-noise files on the way to the decoder: a log that survives a crash,
// and a plug-in folder reached through a symbolic link.
#include <gtest/gtest.h>

#include "platform/audio.h"
#include "sound/audio_log.h"
#include "tests/sound/sound_test_support.h"

namespace {

using soundtest::countOf;
namespace fs = std::filesystem;

class LoadSafety : public soundtest::AudioTest {};

// A crash or a hang during Load leaves the log as far as it was written: each line is in the file
// before the next step runs, not in a buffer of the process.
TEST_F(LoadSafety, EachLogLineIsInTheFileAtOnce) {
    const fs::path path = vehicle.root() / "log.txt";
    std::FILE* log = platform::openTextFileForWriting(path);
    ASSERT_NE(log, nullptr);
    sound::logStarted(log, platform::LocalTime{2025, 3, 14, 9, 30, 5, 120});
    EXPECT_EQ(contract::readAll(path), "2025年3月14日9時30分5秒120\nXAudio2初期化開始\n");
    sound::logSourceVoiceFailed(log, platform::AudioErrorFileNotFound);
    sound::logFileName(log, "/x/bc.wav");
    EXPECT_EQ(countOf(contract::readAll(path), "エラー:0X80070002\nファイル名：/x/bc.wav\n"), 1u);
    std::fclose(log);
}

// The plug-in folder is a link into another vehicle: the normalised path, which drops "plugin/.."
// as text, names the layers beside the link; the file system would resolve ".." beyond the link's
// target. Load tests and decodes the same file, so the log lists exactly the layers it plays.
TEST_F(LoadSafety, ALinkedPluginFolderTestsAndDecodesTheSameFiles) {
    const fs::path elsewhere = vehicle.root() / "elsewhere";
    fs::create_directories(elsewhere / "vehicle" / "plugin");
    fs::create_directories(elsewhere / "vehicle" / "atsmotornoise");
    const fs::path link = vehicle.root() / "linked";
    fs::create_directory_symlink(elsewhere / "vehicle" / "plugin", link);
    // Beside the link (where the normalised path points): layer 3.
    vehicle.writeLayer(3);
    // Beside the link's target (where the file system's ".." leads): layer 5 only.
    const wavtest::WavSpec spec{};
    wavtest::writeWav(elsewhere / "vehicle" / "atsmotornoise" / "5.wav", spec, wavtest::tone(spec, 2205, 110, 0.3));

    sound::audioStartup(state, link / "");
    const std::string log = contract::readAll(link / "XAudio2初期化ログ.txt");
    EXPECT_NE(state.motorNoise[3].voice, nullptr);
    EXPECT_EQ(state.motorNoise[5].voice, nullptr);
    EXPECT_EQ(countOf(log, "ソースボイスの作成成功\nファイル名：" + (vehicle.motorFolder() / "3.wav").string()), 1u)
        << log;
    EXPECT_EQ(countOf(log, "5.wav"), 0u) << log;
}

}  // namespace
