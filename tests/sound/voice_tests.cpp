// SoundVoice: loading, the playback operations and their state, decoding failures.
#include <gtest/gtest.h>
#include <malloc.h>

#include <limits>

#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "sound/decode.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace platform;
using sound::SoundVoice;

class SoundVoiceTest : public soundtest::AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        ASSERT_EQ(audioCreateEngine(&engine, 0, AudioDefaultProcessor), AudioOk);
        ASSERT_EQ(audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects), AudioOk);
        ASSERT_EQ(mediaStartup(MediaFoundationVersion, 0), AudioOk);
    }
    void TearDown() override {
        looping.reset();
        once.reset();
        audioRelease(engine);
        mediaShutdown();
        AudioTest::TearDown();
    }

    void loadLooping(const wavtest::WavSpec& spec = {}) {
        vehicle.writeAirSound("loop.wav", spec);
        ASSERT_EQ(looping.load(engine, vehicle.root() / "loop.wav", nullptr, AudioLoopInfinite, 0, 25.0f), AudioOk);
    }
    void loadOnce(uint32_t frames = 2205) {
        vehicle.writeAirSound("once.wav", {}, frames);
        ASSERT_EQ(once.load(engine, vehicle.root() / "once.wav", nullptr, 0, AudioVoiceNoPitch, 2.0f), AudioOk);
    }
    AudioVoiceInfo info(const SoundVoice& s) {
        AudioVoiceInfo i{};
        audioVoiceInfo(s.voice, &i);
        return i;
    }
    // Renders the mix for a number of output frames, in blocks as the stand-in host would.
    void renderFrames(uint32_t frames) {
        std::vector<float> out(2 * frames);
        audioRender(engine, out.data(), frames);
    }

    AudioEngine engine = nullptr;
    AudioMasteringVoice mastering = nullptr;
    SoundVoice looping;
    SoundVoice once;
};

TEST_F(SoundVoiceTest, ALoopingSoundRunsSilentlyFromLoadAndAOneShotWaitsIdle) {
    loadLooping();
    EXPECT_TRUE(looping.playing);
    EXPECT_TRUE(info(looping).started);
    EXPECT_EQ(info(looping).volume, 0.0f);
    EXPECT_EQ(info(looping).buffersQueued, 1u);
    EXPECT_EQ(info(looping).loopCount, AudioLoopInfinite);
    EXPECT_EQ(looping.buffer->flags, AudioEndOfStream);
    EXPECT_EQ(looping.buffer->audioBytes, looping.pcm.size());
    EXPECT_EQ(info(looping).maxFrequencyRatio, 25.0f);

    loadOnce();
    EXPECT_FALSE(once.playing);
    EXPECT_FALSE(info(once).started);
    EXPECT_EQ(info(once).buffersQueued, 0u);
    EXPECT_EQ(info(once).flags, AudioVoiceNoPitch);
}

TEST_F(SoundVoiceTest, AFinishedOneShotIsResubmittedWithoutANewStart) {
    loadOnce(480);
    ASSERT_EQ(once.play(5), AudioOk);
    audioCommitChanges(engine, 5);
    EXPECT_EQ(applied(AudioCall::Start).size(), 1u);
    renderFrames(4800);  // the 480 frames at 22050 Hz are long gone
    EXPECT_EQ(info(once).buffersQueued, 0u);
    EXPECT_TRUE(once.playing);

    audioClearAppliedRequests();
    ASSERT_EQ(once.play(6), AudioOk);
    audioCommitChanges(engine, 6);
    EXPECT_TRUE(applied(AudioCall::Start).empty());
    EXPECT_TRUE(applied(AudioCall::Stop).empty());
    EXPECT_EQ(applied(AudioCall::SubmitBuffer).size(), 1u);
    EXPECT_EQ(info(once).buffersQueued, 1u);
    EXPECT_TRUE(info(once).started);
}

TEST_F(SoundVoiceTest, PlayOnASoundingOneShotRestartsItFromItsPlayBegin) {
    loadOnce(22050);
    once.play(3);
    audioCommitChanges(engine, 3);
    renderFrames(4800);
    EXPECT_GT(info(once).positionFrames, 0.0);

    audioClearAppliedRequests();
    ASSERT_EQ(once.play(4), AudioOk);
    // Stopped and flushed at once, resubmitted, started again with the frame's set.
    const auto& r = audioAppliedRequests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].call, AudioCall::Stop);
    EXPECT_EQ(r[0].operationSet, 0u);
    EXPECT_EQ(r[1].call, AudioCall::FlushBuffers);
    EXPECT_EQ(r[2].call, AudioCall::SubmitBuffer);
    EXPECT_FALSE(info(once).started);
    EXPECT_EQ(info(once).positionFrames, 0.0);
    audioCommitChanges(engine, 4);
    EXPECT_TRUE(info(once).started);
    EXPECT_EQ(applied(AudioCall::Start).back().operationSet, 4u);
}

TEST_F(SoundVoiceTest, StopOfALoopingSoundReportsSuccessEvenWhenThePlatformStopFails) {
    loadLooping();
    audioFailNext(AudioCall::Stop, AudioErrorFail);
    EXPECT_EQ(looping.stop(2), AudioOk);
    EXPECT_TRUE(looping.playing);
    EXPECT_EQ(looping.stop(2), AudioOk);
    EXPECT_FALSE(looping.playing);
    audioCommitChanges(engine, 2);
    EXPECT_FALSE(info(looping).started);
    EXPECT_EQ(looping.start(3), AudioOk);
    EXPECT_TRUE(looping.playing);
}

TEST_F(SoundVoiceTest, OneShotStopFlushesAndReportsAFailedStop) {
    loadOnce();
    once.play(0);
    audioFailNext(AudioCall::Stop, AudioErrorFail);
    EXPECT_EQ(once.stop(1), AudioErrorFail);
    EXPECT_TRUE(once.playing);
    EXPECT_EQ(once.stop(1), AudioOk);
    EXPECT_FALSE(once.playing);
    // The flush came while the voice still played (its stop waits for the commit), so the buffer
    // it was playing stays queued on the stopped voice until the next flush.
    audioCommitChanges(engine, 1);
    EXPECT_FALSE(info(once).started);
    EXPECT_EQ(info(once).buffersQueued, 1u);
    once.setPlayBegin(0);
    EXPECT_EQ(info(once).buffersQueued, 0u);
}

TEST_F(SoundVoiceTest, LoadingTwiceReusesTheBlocksAndDestroysTheEarlierVoiceFirst) {
    loadLooping();
    const WaveFormat* formatBlock = looping.format.get();
    const AudioBuffer* bufferBlock = looping.buffer.get();
    const uint32_t firstId = audioVoiceId(looping.voice);
    audioClearAppliedRequests();
    loadLooping({2, 44100, 16});
    EXPECT_EQ(looping.format.get(), formatBlock);
    EXPECT_EQ(looping.buffer.get(), bufferBlock);
    EXPECT_EQ(looping.format->channels, 2);
    EXPECT_EQ(audioLiveSourceVoices(), 1u);
    const auto& r = audioAppliedRequests();
    ASSERT_GE(r.size(), 3u);
    EXPECT_EQ(r[0].call, AudioCall::Stop);  // it was playing
    EXPECT_EQ(r[1].call, AudioCall::DestroyVoice);
    EXPECT_EQ(r[1].voiceId, firstId);
    EXPECT_EQ(r[2].call, AudioCall::CreateSourceVoice);
}

TEST_F(SoundVoiceTest, AOneShotWhoseStopFailedStartsAgainAfterAReload) {
    loadOnce();
    once.play(0);
    audioFailNext(AudioCall::Stop, AudioErrorFail);
    loadOnce();
    EXPECT_FALSE(once.playing);
    once.play(0);
    EXPECT_TRUE(info(once).started);
}

TEST_F(SoundVoiceTest, PlayBeginAndRewindActAtOnceWhileVolumeAndPitchWaitForTheCommit) {
    loadLooping();
    renderFrames(1000);
    ASSERT_GT(info(looping).positionFrames, 0.0);
    looping.setVolume(0.8f, 11);
    looping.setFrequencyRatio(1.5f, 11);
    ASSERT_EQ(looping.rewind(), AudioOk);
    EXPECT_EQ(info(looping).positionFrames, 0.0);
    EXPECT_TRUE(info(looping).started);
    EXPECT_TRUE(looping.playing);
    EXPECT_EQ(info(looping).volume, 0.0f);
    EXPECT_EQ(info(looping).frequencyRatio, 1.0f);
    audioCommitChanges(engine, 11);
    EXPECT_EQ(info(looping).volume, 0.8f);
    EXPECT_EQ(info(looping).frequencyRatio, 1.5f);

    loadOnce(1000);
    once.play(0);
    once.setPlayBegin(600);
    EXPECT_EQ(info(once).buffersQueued, 1u);  // a started voice keeps what it plays
    once.stop(0);
    once.setPlayBegin(600);
    EXPECT_EQ(info(once).buffersQueued, 0u);
    EXPECT_EQ(once.buffer->playBegin, 600u);
    EXPECT_EQ(once.buffer->playLength, 0u);
    EXPECT_EQ(once.buffer->loopCount, 0u);
    once.play(0);
    EXPECT_EQ(info(once).playBegin, 600u);
    EXPECT_EQ(info(once).positionFrames, 600.0);
}

TEST_F(SoundVoiceTest, EveryOperationOnAnEmptyOrResetSoundIsAnInvalidCall) {
    loadOnce();
    once.play(0);
    once.reset();  // gives its voice back: a reset sound is an empty one
    EXPECT_EQ(audioLiveSourceVoices(), 0u);
    SoundVoice empty;
    for (SoundVoice* sound : {&empty, &once}) {
        audioClearAppliedRequests();
        EXPECT_EQ(sound->start(1), AudioErrorInvalidCall);
        EXPECT_EQ(sound->stop(1), AudioErrorInvalidCall);
        EXPECT_EQ(sound->play(1), AudioErrorInvalidCall);
        EXPECT_EQ(sound->rewind(), AudioErrorInvalidCall);
        EXPECT_EQ(sound->setVolume(1.0f, 1), AudioErrorInvalidCall);
        EXPECT_EQ(sound->setVolumeClamped(1.0f, 1), AudioErrorInvalidCall);
        EXPECT_EQ(sound->setFrequencyRatio(1.0f, 1), AudioErrorInvalidCall);
        sound->setPlayBegin(10);
        sound->loopCount = 0;
        EXPECT_EQ(sound->start(1), AudioErrorInvalidCall);
        EXPECT_TRUE(audioAppliedRequests().empty());
    }
}

TEST_F(SoundVoiceTest, ClampedVolumeAndNonFiniteValuesNeverReachTheEngineUnclamped) {
    loadLooping();
    looping.setVolumeClamped(-0.5f, 0);
    EXPECT_EQ(info(looping).volume, 0.0f);
    looping.setVolumeClamped(1.7f, 0);
    EXPECT_EQ(info(looping).volume, 1.0f);
    looping.setVolume(std::numeric_limits<float>::quiet_NaN(), 0);
    EXPECT_EQ(info(looping).volume, 0.0f);
    looping.setVolumeClamped(std::numeric_limits<float>::quiet_NaN(), 0);
    looping.setFrequencyRatio(std::numeric_limits<float>::quiet_NaN(), 0);
    EXPECT_EQ(info(looping).frequencyRatio, 1.0f);
    looping.setFrequencyRatio(std::numeric_limits<float>::infinity(), 0);
    EXPECT_EQ(info(looping).frequencyRatio, 25.0f);
    EXPECT_EQ(audioRejectedNonFinite(), 0u);
}

TEST_F(SoundVoiceTest, TheSoundIsHeldOnceAndPlayedFromItsOwnVector) {
    const wavtest::WavSpec spec{2, 48000, 16};
    vehicle.writeAirSound("big.wav", spec, 480000);  // 1.92 MB of PCM
    const auto heapInUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const size_t before = heapInUse();
    ASSERT_EQ(looping.load(engine, vehicle.root() / "big.wav", nullptr, AudioLoopInfinite, 0, 25.0f), AudioOk);
    const size_t after = heapInUse();
    EXPECT_EQ(looping.pcm.size(), 1920000u);
    EXPECT_EQ(looping.pcm.capacity(), looping.pcm.size());
    EXPECT_EQ(info(looping).playingData, looping.pcm.data());
    EXPECT_LT(after - before, looping.pcm.size() + 256 * 1024);
}

TEST_F(SoundVoiceTest, DecodingStartsTheMediaPlatformItselfWhenNeededAndBalancesIt) {
    mediaShutdown();
    ASSERT_EQ(mediaStartupDepth(), 0);
    loadLooping();
    EXPECT_NE(looping.voice, nullptr);
    EXPECT_EQ(mediaStartupDepth(), 0);
    mediaStartup(MediaFoundationVersion, 0);
}

TEST_F(SoundVoiceTest, AFormatThatIsNeitherPcmNorMonoLeavesNoVoiceAndNoLogLine) {
    const wavtest::WavSpec six{6, 48000, 16};
    vehicle.writeAirSound("six.wav", six);
    std::FILE* log = std::fopen((vehicle.root() / "log.txt").c_str(), "w");
    mediaShutdown();  // the rejected decode must still balance its own start-up
    EXPECT_EQ(looping.load(engine, vehicle.root() / "six.wav", log, AudioLoopInfinite, 0, 25.0f), AudioErrorInvalidArg);
    std::fclose(log);
    mediaStartup(MediaFoundationVersion, 0);
    EXPECT_EQ(looping.voice, nullptr);
    EXPECT_EQ(contract::readAll(vehicle.root() / "log.txt"), "");
    EXPECT_EQ(mediaStartupDepth(), 1);
    EXPECT_EQ(looping.start(1), AudioErrorInvalidCall);
}

TEST_F(SoundVoiceTest, AnExtensibleMonoFormatBecomesItsPlainEquivalent) {
    // Mono is accepted whatever its tag; the header that is kept must not announce extra bytes.
    mediaReportExtensible(true);
    WaveFormat header{};
    std::vector<uint8_t> pcm;
    vehicle.writeAirSound("mono.wav", {1, 22050, 16});
    sound::DecodeOutcome outcome = sound::decodeToPcm(vehicle.root() / "mono.wav", header, pcm);
    EXPECT_EQ(outcome.result, AudioOk);
    EXPECT_FALSE(outcome.formatRejected);
    EXPECT_EQ(header.formatTag, WaveFormatPcm);
    EXPECT_EQ(header.extraSize, 0);

    header = {};
    vehicle.writeAirSound("stereo.wav", {2, 22050, 16});
    outcome = sound::decodeToPcm(vehicle.root() / "stereo.wav", header, pcm);
    mediaReportExtensible(false);
    EXPECT_EQ(outcome.result, AudioErrorInvalidArg);
    EXPECT_TRUE(outcome.formatRejected);
    EXPECT_EQ(header.formatTag, 0);  // nothing copied
}

TEST_F(SoundVoiceTest, AReadErrorInTheMiddleDiscardsTheWholeSoundAndIsLogged) {
    vehicle.writeAirSound("long.wav", {}, 22050);
    std::FILE* log = std::fopen((vehicle.root() / "log.txt").c_str(), "w");
    audioFailNext(AudioCall::MediaReadSample, AudioErrorFail, 1, 2);
    EXPECT_EQ(looping.load(engine, vehicle.root() / "long.wav", log, AudioLoopInfinite, 0, 25.0f), AudioErrorFail);
    std::fclose(log);
    EXPECT_EQ(looping.voice, nullptr);
    EXPECT_TRUE(looping.pcm.empty());
    EXPECT_EQ(looping.engine, nullptr);
    EXPECT_EQ(contract::readAll(vehicle.root() / "log.txt"), "ソースボイスの作成失敗\nエラー:0X80004005\nファイル名：" +
                                                                 (vehicle.root() / "long.wav").string() + "\n");
}

TEST_F(SoundVoiceTest, AFailedVoiceCreationResetsTheSound) {
    vehicle.writeAirSound("ok.wav");
    audioFailNext(AudioCall::CreateSourceVoice, AudioErrorOutOfMemory);
    EXPECT_EQ(once.load(engine, vehicle.root() / "ok.wav", nullptr, 0, 2, 2.0f), AudioErrorOutOfMemory);
    EXPECT_EQ(once.voice, nullptr);
    EXPECT_EQ(once.format, nullptr);
    EXPECT_EQ(once.loopCount, AudioLoopInfinite);
}

// A voice without sound would be reported as made and then fail every play with 0x88960001.
TEST_F(SoundVoiceTest, ASoundWithoutSamplesIsAFailedSoundWithoutAVoice) {
    wavtest::writeFile(vehicle.root() / "silent.wav", wavtest::wavImage({}, {}));
    EXPECT_EQ(looping.load(engine, vehicle.root() / "silent.wav", nullptr, AudioLoopInfinite, 0, 25.0f),
              static_cast<AudioResult>(0x80070026u));
    EXPECT_EQ(looping.voice, nullptr);
    EXPECT_EQ(looping.pcm.capacity(), 0u);
    EXPECT_EQ(sound::soundLengthFrames(looping, 77), 77u);
}

TEST(SoundLength, IsBytesTimesEightOverChannelsOverBitsAndKeepsTheOldValueWithoutAFormat) {
    SoundVoice s;
    EXPECT_EQ(sound::soundLengthFrames(s, 123), 123u);
    s.format = std::make_unique<WaveFormat>(WaveFormat{WaveFormatPcm, 2, 44100, 176400, 4, 16, 0});
    s.pcm.resize(4003);
    EXPECT_EQ(sound::soundLengthFrames(s, 123), 1000u);  // truncating
    s.format->channels = 0;
    EXPECT_EQ(sound::soundLengthFrames(s, 123), 123u);
}

TEST(PathNormalisation, DropsDotsAndClimbsPurelyAsText) {
    using sound::normalisePath;
    EXPECT_EQ(normalisePath("/v/train/plugin/../bc.wav").native(), "/v/train/bc.wav");
    EXPECT_EQ(normalisePath("/v/./train//plugin/../../x/0.wav").native(), "/v/x/0.wav");
    EXPECT_EQ(normalisePath("/../x").native(), "/x");
    EXPECT_EQ(normalisePath("a/../../b").native(), "../b");
    EXPECT_EQ(normalisePath("a/b/..").native(), "a");
    EXPECT_EQ(normalisePath("a\\b").native(), "a\\b");  // a backslash is part of a name here
}

}  // namespace
