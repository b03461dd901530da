// The software engine moves silent looping voices in one step per render instead of one step per
// output frame. The mix and every voice's position must stay bit for bit what the step-by-step
// reference gives: for a scene of awkward buffers, and for the departure as cabhost renders it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "bench/departure.h"
#include "corvane/lifecycle.h"
#include "platform/audio.h"
#include "platform/software/audio_internal.h"
#include "platform/test_hooks.h"

namespace {

using namespace platform;

// Renders a with the default mix and b with the reference mix.
void renderBoth(AudioEngine a, AudioEngine b, std::vector<float>& mixA, std::vector<float>& mixB, uint32_t frames) {
    mixA.assign(2 * static_cast<size_t>(frames), 0.0f);
    mixB.assign(2 * static_cast<size_t>(frames), 0.0f);
    audioRender(a, mixA.data(), frames);
    audioMixEveryStep(true);
    audioRender(b, mixB.data(), frames);
    audioMixEveryStep(false);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

void expectSameVoice(AudioSourceVoice a, AudioSourceVoice b) {
    AudioVoiceInfo x{}, y{};
    ASSERT_TRUE(audioVoiceInfo(a, &x));
    ASSERT_TRUE(audioVoiceInfo(b, &y));
    EXPECT_EQ(x.positionFrames, y.positionFrames);
    EXPECT_EQ(x.samplesPlayed, y.samplesPlayed);
    EXPECT_EQ(x.buffersQueued, y.buffersQueued);
    EXPECT_EQ(x.started, y.started);
}

struct SceneData {
    std::vector<uint8_t> stereo16, mono8, mono16, stereoFloat;
    SceneData() {
        uint32_t x = 99;
        auto next = [&] { return x = x * 1664525u + 1013904223u; };
        stereo16.resize(4 * 3001);
        mono8.resize(1777);
        mono16.resize(2 * 2500);
        stereoFloat.resize(8 * 1200);
        for (auto* data : {&stereo16, &mono8, &mono16}) {
            for (uint8_t& byte : *data) byte = static_cast<uint8_t>(next() >> 24);
        }
        for (size_t i = 0; i < stereoFloat.size() / 4; ++i) {
            const float v = static_cast<float>(static_cast<int32_t>(next())) / 2147483648.0f;
            std::memcpy(&stereoFloat[4 * i], &v, 4);
        }
    }
};

struct Scene {
    AudioEngine engine = nullptr;
    std::vector<AudioSourceVoice> voices;
};

Scene buildScene(const SceneData& d) {
    Scene s;
    AudioMasteringVoice mastering = nullptr;
    EXPECT_EQ(audioCreateEngine(&s.engine, 0, AudioDefaultProcessor), AudioOk);
    EXPECT_EQ(audioCreateMasteringVoice(s.engine, &mastering, 0, 0, 0, AudioCategoryGameEffects), AudioOk);
    struct Voice {
        WaveFormat format;
        const std::vector<uint8_t>* data;
        uint32_t playBegin, loopBegin, loopLength, loopCount;
        float ratio, volume;
    };
    const Voice voices[] = {
        // A play region in front of an endless loop: stepped until the loop is reached.
        {{WaveFormatPcm, 2, 44100, 44100 * 4, 4, 16, 0}, &d.stereo16, 0, 1000, 500, AudioLoopInfinite, 3.7f, 0.0f},
        // A one-shot that ends while silent, and a loop that runs out after two rounds.
        {{WaveFormatPcm, 1, 22050, 22050, 1, 8, 0}, &d.mono8, 100, 0, 0, 0, 1.3f, 0.0f},
        {{WaveFormatPcm, 1, 32000, 64000, 2, 16, 0}, &d.mono16, 0, 200, 900, 2, 2.2f, 0.0f},
        // Heard, later silenced and heard again.
        {{WaveFormatIeeeFloat, 2, 48000, 48000 * 8, 8, 32, 0}, &d.stereoFloat, 0, 0, 0, AudioLoopInfinite, 0.77f, 0.5f},
        // Many rounds of a short loop per render.
        {{WaveFormatPcm, 2, 44100, 44100 * 4, 4, 16, 0}, &d.stereo16, 5, 2990, 11, AudioLoopInfinite, 25.0f, 0.0f},
    };
    for (const Voice& v : voices) {
        AudioSourceVoice voice = nullptr;
        EXPECT_EQ(audioCreateSourceVoice(s.engine, &voice, v.format, 0, 25.0f), AudioOk);
        AudioBuffer b{};
        b.audioBytes = static_cast<uint32_t>(v.data->size() / v.format.blockAlign * v.format.blockAlign);
        b.audioData = v.data->data();
        b.playBegin = v.playBegin;
        b.loopBegin = v.loopBegin;
        b.loopLength = v.loopLength;
        b.loopCount = v.loopCount;
        EXPECT_EQ(audioSubmitBuffer(voice, b), AudioOk);
        audioSetFrequencyRatio(voice, v.ratio, AudioCommitNow);
        audioSetVolume(voice, v.volume, AudioCommitNow);
        audioStart(voice, 0, AudioCommitNow);
        s.voices.push_back(voice);
    }
    return s;
}

TEST(SilentVoiceSkip, MixesLikeTheReferenceForEveryKindOfBuffer) {
    const SceneData data;
    Scene fast = buildScene(data);
    Scene reference = buildScene(data);
    std::vector<float> a, b;
    for (int block = 0; block < 300; ++block) {
        if (block % 25 == 0) {
            // The same changes in both: the heard voice goes silent and back, pitches move.
            for (Scene* s : {&fast, &reference}) {
                audioSetVolume(s->voices[3], block % 50 == 0 ? 0.0f : 0.25f, AudioCommitNow);
                audioSetVolume(s->voices[0], block == 150 ? 0.6f : 0.0f, AudioCommitNow);
                audioSetFrequencyRatio(s->voices[4], 0.3f + 0.1f * static_cast<float>(block / 25), AudioCommitNow);
            }
        }
        renderBoth(fast.engine, reference.engine, a, b, 333 + static_cast<uint32_t>(block % 7) * 101);
        ASSERT_TRUE(sameBits(a, b)) << "block " << block;
    }
    for (size_t i = 0; i < fast.voices.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "voice " << i);
        expectSameVoice(fast.voices[i], reference.voices[i]);
    }
    audioRelease(fast.engine);
    audioRelease(reference.engine);
}

// A second engine that receives every request Corvane's engine applies and is rendered by the
// reference mix, next to Corvane's own engine rendered the default way.
struct ShadowEngine {
    AudioEngine engine = nullptr;
    std::map<uint32_t, std::pair<AudioSourceVoice, const sound::SoundVoice*>> byId;  // Corvane's voice id

    explicit ShadowEngine(const sound::AudioState& audio) {
        AudioMasteringVoice mastering = nullptr;
        audioCreateEngine(&engine, 0, AudioDefaultProcessor);
        audioCreateMasteringVoice(engine, &mastering, 2, audioMixSampleRate(audio.engine), 0, AudioCategoryGameEffects);
        std::vector<const sound::SoundVoice*> sounds;
        for (const sound::SoundVoice& v : audio.motorNoise) sounds.push_back(&v);
        for (const sound::SoundVoice* v : {&audio.bcSound, &audio.sapSound, &audio.sapHighSound}) sounds.push_back(v);
        sounds.erase(std::remove_if(sounds.begin(), sounds.end(), [](auto* v) { return !v->voice || !v->format; }),
                     sounds.end());
        // The mix adds voices in the order they were made; the shadow makes them in the same order.
        std::sort(sounds.begin(), sounds.end(),
                  [](auto* x, auto* y) { return audioVoiceId(x->voice) < audioVoiceId(y->voice); });
        for (const sound::SoundVoice* v : sounds) {
            AudioSourceVoice shadow = nullptr;
            EXPECT_EQ(audioCreateSourceVoice(engine, &shadow, *v->format, v->voiceFlags, v->maxFrequencyRatio),
                      AudioOk);
            byId[audioVoiceId(v->voice)] = {shadow, v};
        }
    }
    ~ShadowEngine() { audioRelease(engine); }

    // Repeats the requests Corvane's engine applied since the last call, in their order.
    void follow() {
        const std::vector<AudioRequestRecord> records = audioAppliedRequests();
        audioClearAppliedRequests();
        audioRecordRequests(false);
        for (const AudioRequestRecord& r : records) {
            auto found = byId.find(r.voiceId);
            if (found == byId.end()) continue;
            AudioSourceVoice voice = found->second.first;
            switch (r.call) {
                case AudioCall::Start: audioStart(voice, 0, AudioCommitNow); break;
                case AudioCall::Stop: audioStop(voice, 0, AudioCommitNow); break;
                case AudioCall::SetVolume: audioSetVolume(voice, r.value, AudioCommitNow); break;
                case AudioCall::SetFrequencyRatio: audioSetFrequencyRatio(voice, r.value, AudioCommitNow); break;
                case AudioCall::FlushBuffers: audioFlushBuffers(voice); break;
                case AudioCall::SubmitBuffer: {
                    AudioBuffer b = *found->second.second->buffer;
                    b.playBegin = static_cast<uint32_t>(r.value);
                    EXPECT_EQ(audioSubmitBuffer(voice, b), AudioOk);
                    break;
                }
                default: break;
            }
        }
        audioRecordRequests(true);
    }
};

TEST(SilentVoiceSkip, TheDepartureMixesLikeTheReference) {
    bench::TempFolder temp("corvane-mix-test");
    bench::VehicleView view(SAMPLE_PLUGIN_DIR, temp.path / "vehicle", {SENTREL_LIBRARY});
    const bench::Departure departure = bench::recordDeparture(DEPARTURE_SCENARIO, view.pluginDirectory());

    audioClearAppliedRequests();
    audioRecordRequests(true);
    bench::loadCorvane(view.pluginDirectory(), departure);
    const sound::AudioState& audio = bench::corvane().audio;
    ASSERT_NE(audio.engine, nullptr);
    ShadowEngine shadow(audio);
    ASSERT_GE(shadow.byId.size(), static_cast<size_t>(sound::MotorNoiseLayers));
    shadow.follow();

    const uint32_t rate = audioMixSampleRate(audio.engine);
    bench::Replay replay(departure);
    std::vector<float> a, b;
    size_t heardFrames = 0;
    while (!replay.done()) {
        replay.step();
        shadow.follow();
        renderBoth(audio.engine, shadow.engine, a, b, rate * static_cast<uint32_t>(departure.frameIntervalMs) / 1000);
        ASSERT_TRUE(sameBits(a, b)) << "frame " << replay.next;
        heardFrames += std::any_of(a.begin(), a.end(), [](float x) { return x != 0.0f; }) ? 1 : 0;
    }
    audioRecordRequests(false);
    audioClearAppliedRequests();
    for (const auto& [id, voices] : shadow.byId) {
        SCOPED_TRACE(testing::Message() << "voice " << id);
        expectSameVoice(voices.second->voice, voices.first);
    }
    bench::disposeCorvane();
    EXPECT_GT(heardFrames, departure.frames.size() / 2) << "the departure should be heard";
}

}  // namespace
