// The audio set-up of Load with its log, the per-frame protocol, the tear-down, and bad files.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "sound/audio_log.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace platform;
using soundtest::countOf;
using soundtest::withoutTimes;
namespace fs = std::filesystem;

class AudioStartup : public soundtest::AudioTest {
protected:
    std::string path(const std::string& relative) const { return (vehicle.root() / relative).string(); }
    std::string created(const std::string& relative) const {
        return "ソースボイスの作成成功\nファイル名：" + path(relative) + "\n";
    }
    std::string failed(const std::string& code, const std::string& relative) const {
        return "ソースボイスの作成失敗\nエラー:" + code + "\nファイル名：" + path(relative) + "\n";
    }
    void start() { sound::audioStartup(state, vehicle.pluginDirectory()); }
};

TEST(AudioLogText, AlternateHexFormsMatchPrintf) {
    EXPECT_EQ(sound::alternateHex(0, false), "0");
    EXPECT_EQ(sound::alternateHex(0, true), "0");
    EXPECT_EQ(sound::alternateHex(0x88960001u, false), "0x88960001");
    EXPECT_EQ(sound::alternateHex(0x80070002u, true), "0X80070002");
    EXPECT_EQ(sound::alternateHex(0xabcu, true), "0XABC");
    EXPECT_EQ(sound::alternateHex(0xabcu, false), "0xabc");
}

TEST_F(AudioStartup, AFolderWithOnlyTheFirstAndLastLayerLoadsExactlyThoseTwo) {
    vehicle.writeLayer(0);
    vehicle.writeLayer(40);
    start();
    for (int n = 0; n < sound::MotorNoiseLayers; ++n)
        EXPECT_EQ(state.motorNoise[n].voice != nullptr, n == 0 || n == 40) << n;
    EXPECT_EQ(withoutTimes(vehicle.log()), "<time>\nXAudio2初期化開始\nXAudio2作成成功\nマスターボイスの作成成功\n" +
                                               created("atsmotornoise/0.wav") + created("atsmotornoise/40.wav") +
                                               failed("0X80070002", "bc.wav") + failed("0X80070002", "sap.wav") +
                                               failed("0X80070002", "sapHigh.wav") + "<time>\nXAudio2初期化完了\n");
    EXPECT_EQ(countOf(vehicle.log(), "\r"), 0u);
    EXPECT_NE(state.mastering, nullptr);
    EXPECT_EQ(mediaStartupDepth(), 0);
}

TEST_F(AudioStartup, LayerNamesAreExactlyTheDecimalNumbers) {
    fs::create_directories(vehicle.motorFolder());
    wavtest::writeWav(vehicle.motorFolder() / "00.wav", {}, wavtest::tone({}, 100, 100, 0.1));
    wavtest::writeWav(vehicle.motorFolder() / "1.WAV.wav", {}, wavtest::tone({}, 100, 100, 0.1));
    vehicle.writeLayer(12);
    start();
    int loaded = 0;
    for (const auto& layer : state.motorNoise) loaded += layer.voice != nullptr;
    EXPECT_EQ(loaded, 1);
    EXPECT_NE(state.motorNoise[12].voice, nullptr);
}

TEST_F(AudioStartup, EverySoundGetsItsParameters) {
    vehicle.writeEverySound();
    start();
    for (const auto& layer : state.motorNoise) {
        AudioVoiceInfo i{};
        ASSERT_TRUE(audioVoiceInfo(layer.voice, &i));
        EXPECT_EQ(i.flags, 0u);
        EXPECT_EQ(i.maxFrequencyRatio, 25.0f);
        EXPECT_TRUE(i.started);
        EXPECT_EQ(i.volume, 0.0f);
    }
    AudioVoiceInfo bc{}, sap{}, sapHigh{};
    audioVoiceInfo(state.bcSound.voice, &bc);
    audioVoiceInfo(state.sapSound.voice, &sap);
    audioVoiceInfo(state.sapHighSound.voice, &sapHigh);
    EXPECT_TRUE(bc.started && state.bcSound.looping());
    EXPECT_EQ(bc.flags, AudioVoiceNoPitch);
    EXPECT_EQ(bc.maxFrequencyRatio, 2.0f);
    EXPECT_FALSE(sap.started || sapHigh.started);
    EXPECT_EQ(state.sapSound.loopCount, 0u);
    EXPECT_EQ(sapHigh.flags, AudioVoiceNoPitch);
    EXPECT_EQ(state.sapHighLength, 2205u);
    EXPECT_EQ(countOf(vehicle.log(), "ソースボイスの作成成功"), 44u);
}

TEST_F(AudioStartup, AMissingCylinderExhaustIsLoggedWithTheReadersCodeAndANormalisedPath) {
    vehicle.writeAirSound("sap.wav");
    vehicle.writeAirSound("sapHigh.wav");
    start();
    const std::string log = vehicle.log();
    EXPECT_NE(log.find(failed("0X80070002", "bc.wav")), std::string::npos) << log;
    EXPECT_EQ(log.find(".."), std::string::npos);
    EXPECT_EQ(state.bcSound.voice, nullptr);
    EXPECT_NE(state.sapHighSound.voice, nullptr);
}

TEST_F(AudioStartup, AnUnwritableLogMeansNoEngineNoCommitAndSilentSounds) {
    vehicle.writeEverySound();
    fs::create_directories(vehicle.logPath());  // a folder where the log should be
    start();
    EXPECT_EQ(state.engine, nullptr);
    EXPECT_EQ(audioLiveEngines(), 0u);
    EXPECT_EQ(state.bcSound.setVolume(1.0f, 1), AudioErrorInvalidCall);
    EXPECT_EQ(state.motorNoise[3].start(1), AudioErrorInvalidCall);
    EXPECT_TRUE(sound::endAudioFrame(state, 1));
    EXPECT_TRUE(applied(AudioCall::CommitChanges).empty());
    EXPECT_EQ(state.sapHighLength, 0u);
}

TEST_F(AudioStartup, AReadOnlyPluginDirectoryDisablesTheSounds) {
    vehicle.writeEverySound();
    fs::permissions(vehicle.root() / "plugin", fs::perms::owner_read | fs::perms::owner_exec);
    if (::access((vehicle.root() / "plugin").c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    start();
    EXPECT_EQ(state.engine, nullptr);
    EXPECT_FALSE(fs::exists(vehicle.logPath()));
}

TEST_F(AudioStartup, AFailedEngineIsLoggedInLowerCaseAndEndsTheSetUp) {
    vehicle.writeEverySound();
    audioFailNext(AudioCall::CreateEngine, AudioErrorInvalidCall);
    start();
    EXPECT_EQ(withoutTimes(vehicle.log()), "<time>\nXAudio2初期化開始\nXAudio2作成失敗\nエラー:0x88960001\n");
    EXPECT_EQ(state.engine, nullptr);
    EXPECT_EQ(state.motorNoise[0].voice, nullptr);
}

TEST_F(AudioStartup, AFailedMasteringVoiceIsDestroyedButTheEngineStaysUntilDispose) {
    vehicle.writeEverySound();
    audioFailNext(AudioCall::CreateMasteringVoice, AudioErrorFail);
    audioFailMasteringWithVoice(true);
    start();
    EXPECT_EQ(withoutTimes(vehicle.log()),
              "<time>\nXAudio2初期化開始\nXAudio2作成成功\nマスターボイスの作成失敗\nエラー:0X80004005\n");
    EXPECT_EQ(state.mastering, nullptr);
    EXPECT_NE(state.engine, nullptr);
    EXPECT_EQ(audioMixSampleRate(state.engine), 0u);  // the returned voice is gone
    EXPECT_EQ(audioLiveEngines(), 1u);
    sound::audioShutdown(state);
    EXPECT_EQ(audioLiveEngines(), 0u);
}

TEST_F(AudioStartup, StartingAgainReplacesTheLogAndTheEngine) {
    vehicle.writeLayer(5);
    start();
    const AudioEngine first = state.engine;
    fs::remove(vehicle.motorFolder() / "5.wav");
    vehicle.writeLayer(6);
    start();
    const std::string log = vehicle.log();
    EXPECT_EQ(countOf(log, "XAudio2初期化開始"), 1u);
    EXPECT_EQ(log.find("5.wav"), std::string::npos);
    EXPECT_NE(log.find("6.wav"), std::string::npos);
    EXPECT_NE(state.engine, nullptr);
    (void)first;
}

TEST_F(AudioStartup, TheSapHighLengthKeepsItsValueWhenTheSoundIsMissingLater) {
    vehicle.writeAirSound("sapHigh.wav", {2, 44100, 16}, 4410);
    start();
    EXPECT_EQ(state.sapHighLength, 4410u);
    fs::remove(vehicle.root() / "sapHigh.wav");
    start();
    EXPECT_EQ(state.sapHighSound.voice, nullptr);
    EXPECT_EQ(state.sapHighLength, 4410u);
}

TEST_F(AudioStartup, ThePauseKeyStopsTheEngineAtTheEndOfItsFrameAndTheNextFrameRestartsIt) {
    vehicle.writeLayer(0);
    start();
    audioClearAppliedRequests();

    sound::beginAudioFrame(state, true);
    EXPECT_TRUE(state.pauseFlag);
    state.motorNoise[0].setVolume(0.5f, 1);
    EXPECT_TRUE(sound::endAudioFrame(state, 1));
    auto r = audioAppliedRequests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].call, AudioCall::StopEngine);
    EXPECT_EQ(r[1].call, AudioCall::CommitChanges);
    EXPECT_EQ(r[1].operationSet, 1u);
    EXPECT_EQ(r[2].call, AudioCall::SetVolume);  // the paused frame's changes are still committed
    std::vector<float> mix(200, 1.0f);
    audioRender(state.engine, mix.data(), 100);
    EXPECT_EQ(mix[10], 0.0f);

    audioClearAppliedRequests();
    sound::beginAudioFrame(state, false);
    EXPECT_FALSE(state.pauseFlag);
    state.motorNoise[0].setVolume(0.5f, 2);  // what the voice already has: nothing to send
    EXPECT_TRUE(sound::endAudioFrame(state, 2));
    r = audioAppliedRequests();
    ASSERT_EQ(r.size(), 1u);  // and an empty operation set is not committed
    EXPECT_EQ(r[0].call, AudioCall::StartEngine);
}

TEST_F(AudioStartup, PausedWithoutAnEngineTheFrameEndsWithoutCommit) {
    sound::beginAudioFrame(state, true);
    EXPECT_FALSE(sound::endAudioFrame(state, 1));
    EXPECT_TRUE(audioAppliedRequests().empty());
}

TEST_F(AudioStartup, TearDownReleasesTheSoundsInLoadOrderThenTheEngine) {
    vehicle.writeEverySound();
    start();
    std::vector<uint32_t> loadOrder;
    for (const auto& layer : state.motorNoise) loadOrder.push_back(audioVoiceId(layer.voice));
    loadOrder.push_back(audioVoiceId(state.bcSound.voice));
    loadOrder.push_back(audioVoiceId(state.sapSound.voice));
    loadOrder.push_back(audioVoiceId(state.sapHighSound.voice));
    audioClearAppliedRequests();
    sound::audioShutdown(state);
    std::vector<uint32_t> destroyed;
    for (const auto& r : applied(AudioCall::DestroyVoice)) destroyed.push_back(r.voiceId);
    // The mastering voice (0) goes after every source voice and before the engine's last reference:
    // an engine released with its mastering voice lives on, mixing, on Windows.
    loadOrder.push_back(0);
    EXPECT_EQ(destroyed, loadOrder);
    EXPECT_EQ(state.engine, nullptr);
    EXPECT_EQ(audioLiveEngines(), 0u);
    // Looping sounds were stopped before their voices went.
    EXPECT_EQ(applied(AudioCall::Stop).size(), 42u);
}

// ---- Bad files: the sound stays empty and the log says so; nothing crashes ----

TEST_F(AudioStartup, BadCylinderExhaustFilesNeverCrashAndAreLogged) {
    struct Bad {
        const char* what;
        std::string bytes;
        bool voice;  // a file the decoder can still read part of keeps a (shorter) sound
    };
    const wavtest::WavSpec spec;
    const std::string good = wavtest::wavImage(spec, wavtest::pcmBytes(spec, wavtest::tone(spec, 1000, 300, 0.5)));
    std::string hugeHeader = good;
    hugeHeader[16] = hugeHeader[17] = hugeHeader[18] = static_cast<char>(0xFF);
    hugeHeader[19] = 0x7F;  // a fmt chunk that claims 2 GB
    const std::vector<Bad> cases = {
        {"empty", "", false},
        {"non-audio", "<html><body>not a sound</body></html>\n", false},
        {"header only", good.substr(0, 30), false},
        {"huge header", hugeHeader, false},
        {"truncated data", good.substr(0, 44 + 600), true},
        {"data size beyond the file", wavtest::wavImage(spec, std::vector<uint8_t>(100, 1), 0x7FFFFFF0), true},
    };
    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.what);
        wavtest::writeFile(vehicle.root() / "bc.wav", bad.bytes);
        start();
        EXPECT_EQ(state.bcSound.voice != nullptr, bad.voice);
        const std::string log = vehicle.log();
        EXPECT_EQ(countOf(log, "ファイル名：" + path("bc.wav") + "\n"), 1u);
        EXPECT_EQ(countOf(log, "ソースボイスの作成失敗\nエラー:0X"), bad.voice ? 2u : 3u);
        if (state.bcSound.voice) {
            EXPECT_LE(state.bcSound.pcm.size(), bad.bytes.size());
        }
        sound::audioShutdown(state);
    }
}

TEST_F(AudioStartup, SampleRatesFromEightToOneHundredNinetyTwoKilohertzAreAccepted) {
    for (uint32_t rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u, 192000u}) {
        SCOPED_TRACE(rate);
        vehicle.writeAirSound("bc.wav", {2, rate, 16}, rate / 10);
        start();
        ASSERT_NE(state.bcSound.voice, nullptr);
        EXPECT_EQ(state.bcSound.format->samplesPerSec, rate);
        EXPECT_EQ(state.bcSound.pcm.size(), rate / 10 * 4);
        sound::audioShutdown(state);
    }
}

TEST_F(AudioStartup, OtherSampleWidthsKeepTheirLayout) {
    vehicle.writeAirSound("bc.wav", {1, 22050, 8}, 500);
    vehicle.writeAirSound("sap.wav", {2, 22050, 24}, 500);
    start();
    ASSERT_NE(state.bcSound.voice, nullptr);
    EXPECT_EQ(state.bcSound.format->bitsPerSample, 8);
    EXPECT_EQ(state.bcSound.pcm, wavtest::pcmBytes({1, 22050, 8}, wavtest::tone({1, 22050, 8}, 500, 880.0, 0.3)));
    ASSERT_NE(state.sapSound.voice, nullptr);
    EXPECT_EQ(state.sapSound.format->blockAlign, 6);
    EXPECT_EQ(state.sapSound.pcm, wavtest::pcmBytes({2, 22050, 24}, wavtest::tone({2, 22050, 24}, 500, 880.0, 0.3)));
}

TEST_F(AudioStartup, AMultiChannelFileIsRejectedWithoutALogLine) {
    vehicle.writeAirSound("bc.wav", {6, 48000, 16});
    start();
    EXPECT_EQ(state.bcSound.voice, nullptr);
    EXPECT_EQ(vehicle.log().find("bc.wav"), std::string::npos);
    EXPECT_EQ(state.bcSound.start(1), AudioErrorInvalidCall);
}

TEST_F(AudioStartup, ASoundFolderThatIsAFileAndASoundThatIsAFolder) {
    wavtest::writeFile(vehicle.motorFolder(), "not a folder");
    fs::create_directories(vehicle.root() / "bc.wav");
    start();
    for (const auto& layer : state.motorNoise) EXPECT_EQ(layer.voice, nullptr);
    const std::string log = vehicle.log();
    EXPECT_EQ(log.find("atsmotornoise"), std::string::npos);
    EXPECT_NE(log.find(failed("0X80070005", "bc.wav")), std::string::npos) << log;
}

}  // namespace
