// The software engine: operation sets, XAudio2's clamping, the buffer queue and the offline mix.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <list>

#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace platform;

class SoftwareEngine : public soundtest::EngineTest {
protected:
    // A mono 16-bit voice at `rate` playing `frames` frames of a constant value, looping or once.
    AudioSourceVoice voiceWith(uint32_t rate, uint32_t frames, int16_t value, uint32_t loopCount,
                               float maxRatio = 25.0f) {
        WaveFormat format{WaveFormatPcm, 1, rate, rate * 2, 2, 16, 0};
        auto& pcm = buffers.emplace_back(frames * 2);
        for (uint32_t i = 0; i < frames; ++i) {
            pcm[2 * i] = static_cast<uint8_t>(value);
            pcm[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
        }
        AudioSourceVoice v = nullptr;
        EXPECT_EQ(audioCreateSourceVoice(engine, &v, format, 0, maxRatio), AudioOk);
        AudioBuffer b{};
        b.flags = AudioEndOfStream;
        b.audioBytes = frames * 2;
        b.audioData = pcm.data();
        b.loopCount = loopCount;
        EXPECT_EQ(audioSubmitBuffer(v, b), AudioOk);
        return v;
    }

    AudioVoiceInfo info(AudioSourceVoice v) {
        AudioVoiceInfo i{};
        audioVoiceInfo(v, &i);
        return i;
    }

    std::vector<float> render(uint32_t frames) {
        std::vector<float> out(2 * frames, -1.0f);
        audioRender(engine, out.data(), frames);
        return out;
    }

    std::list<std::vector<uint8_t>> buffers;
};

TEST_F(SoftwareEngine, RequestsWithAnOperationSetWaitForTheirCommitAndApplyInOrder) {
    AudioSourceVoice v = voiceWith(48000, 100, 0, AudioLoopInfinite);
    ASSERT_EQ(audioSetVolume(v, 0.5f, 7), AudioOk);
    ASSERT_EQ(audioSetVolume(v, 0.25f, 7), AudioOk);
    ASSERT_EQ(audioSetFrequencyRatio(v, 2.0f, 8), AudioOk);
    ASSERT_EQ(audioStart(v, 0, 7), AudioOk);
    EXPECT_EQ(info(v).volume, 1.0f);
    EXPECT_FALSE(info(v).started);

    audioCommitChanges(engine, 8);
    EXPECT_EQ(info(v).frequencyRatio, 2.0f);
    EXPECT_EQ(info(v).volume, 1.0f);

    audioClearAppliedRequests();
    audioCommitChanges(engine, 7);
    EXPECT_EQ(info(v).volume, 0.25f);  // the later request of the set wins
    EXPECT_TRUE(info(v).started);
    const auto& records = audioAppliedRequests();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].value, 0.5f);
    EXPECT_EQ(records[2].value, 0.25f);
    EXPECT_EQ(records[3].call, AudioCall::Start);

    // Commit-all applies whatever is still pending, a set of 0 applies at once.
    audioSetVolume(v, 0.75f, 12);
    audioCommitChanges(engine, AudioCommitAll);
    EXPECT_EQ(info(v).volume, 0.75f);
    audioSetVolume(v, 0.125f, AudioCommitNow);
    EXPECT_EQ(info(v).volume, 0.125f);
}

TEST_F(SoftwareEngine, ClampsVolumeAndRatioAsXAudio2AndRefusesNonFiniteValues) {
    AudioSourceVoice v = voiceWith(48000, 100, 0, AudioLoopInfinite, 25.0f);
    audioSetVolume(v, 1e30f, 0);
    EXPECT_EQ(info(v).volume, AudioMaxVolumeLevel);
    audioSetVolume(v, -1e30f, 0);
    EXPECT_EQ(info(v).volume, -AudioMaxVolumeLevel);
    audioSetVolume(v, -3.5f, 0);  // negative volumes are valid (inverted phase)
    EXPECT_EQ(info(v).volume, -3.5f);

    audioSetFrequencyRatio(v, 100.0f, 0);
    EXPECT_EQ(info(v).frequencyRatio, 25.0f);
    audioSetFrequencyRatio(v, 0.0f, 0);
    EXPECT_EQ(info(v).frequencyRatio, AudioMinFrequencyRatio);

    EXPECT_EQ(audioSetVolume(v, std::numeric_limits<float>::quiet_NaN(), 0), AudioErrorInvalidArg);
    EXPECT_EQ(audioSetFrequencyRatio(v, std::numeric_limits<float>::infinity(), 0), AudioErrorInvalidArg);
    EXPECT_EQ(audioRejectedNonFinite(), 2u);
    EXPECT_EQ(info(v).volume, -3.5f);

    AudioSourceVoice fixedPitch = nullptr;
    WaveFormat format{WaveFormatPcm, 1, 22050, 44100, 2, 16, 0};
    ASSERT_EQ(audioCreateSourceVoice(engine, &fixedPitch, format, AudioVoiceNoPitch, 2.0f), AudioOk);
    EXPECT_EQ(audioSetFrequencyRatio(fixedPitch, 1.5f, 0), AudioErrorInvalidCall);
    EXPECT_EQ(audioCreateSourceVoice(engine, &fixedPitch, format, 0, 2000.0f), AudioErrorInvalidArg);
}

TEST_F(SoftwareEngine, RefusesSubmissionsOutsideTheBuffer) {
    AudioSourceVoice v = voiceWith(48000, 100, 0, 0);
    audioFlushBuffers(v);
    const auto& pcm = buffers.back();
    AudioBuffer b{};
    b.audioData = pcm.data();
    b.audioBytes = 200;
    b.playBegin = 100;  // the end of the recording
    EXPECT_EQ(audioSubmitBuffer(v, b), AudioErrorInvalidCall);
    b.playBegin = 99;
    EXPECT_EQ(audioSubmitBuffer(v, b), AudioOk);
    b.audioBytes = 199;  // not whole frames
    EXPECT_EQ(audioSubmitBuffer(v, b), AudioErrorInvalidCall);
    b.audioBytes = 0;
    EXPECT_EQ(audioSubmitBuffer(v, b), AudioErrorInvalidCall);
    b.audioBytes = 200;
    b.playBegin = 0;
    b.loopCount = 300;
    EXPECT_EQ(audioSubmitBuffer(v, b), AudioErrorInvalidCall);
    b.loopCount = 0;
    for (uint32_t i = 1; i < AudioMaxQueuedBuffers; ++i) ASSERT_EQ(audioSubmitBuffer(v, b), AudioOk);
    EXPECT_EQ(audioSubmitBuffer(v, b), AudioErrorInvalidCall);
}

TEST_F(SoftwareEngine, FlushKeepsTheBufferThatAStartedVoiceIsPlaying) {
    AudioSourceVoice v = voiceWith(48000, 100, 0, 0);
    AudioBuffer again{};
    again.audioData = buffers.back().data();
    again.audioBytes = 200;
    audioSubmitBuffer(v, again);
    audioStart(v, 0, 0);
    audioFlushBuffers(v);
    EXPECT_EQ(info(v).buffersQueued, 1u);
    audioStop(v, 0, 0);
    audioFlushBuffers(v);
    EXPECT_EQ(info(v).buffersQueued, 0u);
}

TEST_F(SoftwareEngine, SilentVoicesAdvanceAtTheirPitchAndAStoppedEngineAdvancesNothing) {
    AudioSourceVoice v = voiceWith(24000, 1000, 1000, AudioLoopInfinite);
    audioSetVolume(v, 0.0f, 0);
    audioSetFrequencyRatio(v, 2.0f, 0);  // one source frame per output frame at 48 kHz
    audioStart(v, 0, 0);
    std::vector<float> out = render(300);
    EXPECT_EQ(info(v).positionFrames, 300.0);
    for (float s : out) ASSERT_EQ(s, 0.0f);

    audioSetFrequencyRatio(v, 0.5f, 0);
    render(400);
    EXPECT_EQ(info(v).positionFrames, 400.0);

    audioStopEngine(engine);
    render(1000);
    EXPECT_EQ(info(v).positionFrames, 400.0);
    audioStartEngine(engine);

    audioSetFrequencyRatio(v, 2.0f, 0);
    render(900);  // past the end: the endless loop wraps to its beginning
    EXPECT_EQ(info(v).positionFrames, 300.0);
    EXPECT_EQ(info(v).buffersQueued, 1u);
}

TEST_F(SoftwareEngine, MixesEachVoiceAtItsVolumeUntilItsBufferEnds) {
    AudioSourceVoice loud = voiceWith(48000, 100, 16384, 0);  // half of full scale, once
    AudioSourceVoice quiet = voiceWith(48000, 1000, 8192, AudioLoopInfinite);
    audioSetVolume(loud, 0.5f, 0);
    audioSetVolume(quiet, -1.0f, 0);
    audioStart(loud, 0, 0);
    audioStart(quiet, 0, 0);
    std::vector<float> out = render(150);
    EXPECT_FLOAT_EQ(out[0], 0.25f - 0.25f);
    EXPECT_FLOAT_EQ(out[2 * 99 + 1], 0.0f);
    EXPECT_FLOAT_EQ(out[2 * 100], -0.25f);  // only the looping voice after the one-shot's end
    EXPECT_EQ(info(loud).buffersQueued, 0u);
    EXPECT_EQ(info(quiet).buffersQueued, 1u);

    // A stopped voice keeps its place and is not heard.
    audioStop(quiet, 0, 0);
    const double at = info(quiet).positionFrames;
    out = render(10);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(info(quiet).positionFrames, at);
}

TEST_F(SoftwareEngine, PlaysStraightFromTheCallersBuffer) {
    AudioSourceVoice v = voiceWith(48000, 100, 0, 0);
    EXPECT_EQ(info(v).playingData, buffers.back().data());
}

TEST_F(SoftwareEngine, ReleasingTheEngineEndsItsVoices) {
    voiceWith(48000, 100, 0, 0);
    audioAddRef(engine);
    EXPECT_EQ(audioRelease(engine), 1u);
    EXPECT_EQ(audioLiveSourceVoices(), 1u);
    EXPECT_EQ(audioRelease(engine), 0u);
    EXPECT_EQ(audioLiveSourceVoices(), 0u);
    EXPECT_EQ(audioLiveEngines(), 0u);
    engine = nullptr;
}

}  // namespace
