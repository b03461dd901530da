// Shared set-up of the sound tests: a scratch vehicle folder and a clean software engine.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <regex>
#include <string>

#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "sound/audio_state.h"
#include "tests/sound/audio_contract.h"
#include "tests/sound/wav_writer.h"

namespace soundtest {

namespace fs = std::filesystem;

// A vehicle folder: <root>/plugin/ is the plug-in directory; the sounds lie in <root>.
class VehicleFolder {
public:
    VehicleFolder() {
        std::string pattern = (fs::temp_directory_path() / "corvane-sound-XXXXXX").string();
        root_ = fs::path(::mkdtemp(pattern.data()));
        fs::create_directories(root_ / "plugin");
    }
    ~VehicleFolder() {
        std::error_code ignored;
        fs::permissions(root_ / "plugin", fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }
    // With its trailing separator, as the plug-in directory always has it.
    platform::Path pluginDirectory() const { return root_ / "plugin" / ""; }
    fs::path motorFolder() const { return root_ / "atsmotornoise"; }
    fs::path logPath() const { return root_ / "plugin" / "XAudio2初期化ログ.txt"; }
    std::string log() const { return contract::readAll(logPath()); }

    void writeLayer(int n, const wavtest::WavSpec& spec = {}, uint32_t frames = 2205) const {
        fs::create_directories(motorFolder());
        wavtest::writeWav(motorFolder() / (std::to_string(n) + ".wav"), spec, wavtest::tone(spec, frames, 110.0, 0.3));
    }
    void writeAirSound(const char* name, const wavtest::WavSpec& spec = {}, uint32_t frames = 2205) const {
        wavtest::writeWav(root_ / name, spec, wavtest::tone(spec, frames, 880.0, 0.3));
    }
    void writeEverySound() const {
        for (int n = 0; n < sound::MotorNoiseLayers; ++n) writeLayer(n);
        writeAirSound("bc.wav");
        writeAirSound("sap.wav");
        writeAirSound("sapHigh.wav");
    }

private:
    fs::path root_;
};

// The log with each time line replaced by "<time>", for exact comparison.
inline std::string withoutTimes(const std::string& log) {
    static const std::regex time("[0-9]+年[0-9]+月[0-9]+日[0-9]+時[0-9]+分[0-9]+秒[0-9]+\n");
    return std::regex_replace(log, time, "<time>\n");
}

inline size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Every test starts from a software engine with no faults armed and recording on, and ends with
// nothing leaked: no engine, no voice, the media platform shut down as often as it was started.
class AudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::audioClearFaults();
        platform::audioClearAppliedRequests();
        platform::audioRecordRequests(true);
    }
    void TearDown() override {
        sound::audioShutdown(state);
        platform::audioRecordRequests(false);
        platform::audioClearFaults();
        EXPECT_EQ(platform::audioLiveEngines(), 0u);
        EXPECT_EQ(platform::audioLiveSourceVoices(), 0u);
        EXPECT_EQ(platform::mediaStartupDepth(), 0);
    }

    // The records of one kind of call, in the order they took effect.
    std::vector<platform::AudioRequestRecord> applied(platform::AudioCall call) const {
        std::vector<platform::AudioRequestRecord> out;
        for (const auto& r : platform::audioAppliedRequests())
            if (r.call == call) out.push_back(r);
        return out;
    }

    sound::AudioState state;
    VehicleFolder vehicle;
};

// An engine and its mastering voice of the test's own, made before and released after each test.
class EngineTest : public AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        using namespace platform;
        ASSERT_EQ(audioCreateEngine(&engine, 0, AudioDefaultProcessor), AudioOk);
        ASSERT_EQ(audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects), AudioOk);
    }
    void TearDown() override {
        platform::audioRelease(engine);
        AudioTest::TearDown();
    }

    platform::AudioEngine engine = nullptr;
    platform::AudioMasteringVoice mastering = nullptr;
};

}  // namespace soundtest
