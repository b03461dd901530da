// Why the software engine resamples with its own linear interpolator rather than libsamplerate:
// the cost of mixing a frame's worth of the plug-in's 44 voices (41 looping motor layers, most of
// them silent but advancing, and the air sounds) at pitches from 0.3 to 25.
// Run: build/<dir>/tests/sound/sound_mix_bench
#include <benchmark/benchmark.h>
#include <samplerate.h>

#include <cmath>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"

namespace {

constexpr int Voices = 44;
constexpr uint32_t SourceRate = 44100;
constexpr uint32_t SourceFrames = 2 * SourceRate;
constexpr uint32_t BlockFrames = 800;  // one frame of the host at 60 frames per second, at 48 kHz

std::vector<int16_t> recording() {
    std::vector<int16_t> samples(SourceFrames);
    for (uint32_t i = 0; i < SourceFrames; ++i)
        samples[i] = static_cast<int16_t>(8000.0 * std::sin(2.0 * 3.14159265358979 * 120.0 * i / SourceRate));
    return samples;
}

float pitchOf(int voice) {
    return 0.3f + 24.7f * static_cast<float>(voice) / (Voices - 1);
}

void SoftwareEngineMix(benchmark::State& state) {
    using namespace platform;
    const std::vector<int16_t> pcm = recording();
    AudioEngine engine = nullptr;
    AudioMasteringVoice mastering = nullptr;
    audioCreateEngine(&engine, 0, AudioDefaultProcessor);
    audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects);
    const WaveFormat format{WaveFormatPcm, 1, SourceRate, SourceRate * 2, 2, 16, 0};
    for (int v = 0; v < Voices; ++v) {
        AudioSourceVoice voice = nullptr;
        audioCreateSourceVoice(engine, &voice, format, 0, 25.0f);
        AudioBuffer b{};
        b.audioBytes = SourceFrames * 2;
        b.audioData = reinterpret_cast<const uint8_t*>(pcm.data());
        b.loopCount = AudioLoopInfinite;
        audioSubmitBuffer(voice, b);
        audioSetFrequencyRatio(voice, pitchOf(v), 0);
        audioSetVolume(voice, v % 10 == 0 ? 0.5f : 0.0f, 0);
        audioStart(voice, 0, 0);
    }
    std::vector<float> out(2 * BlockFrames);
    for (auto _ : state) {
        audioRender(engine, out.data(), BlockFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * BlockFrames);
    audioRelease(engine);
}
BENCHMARK(SoftwareEngineMix);

struct SrcVoice {
    const std::vector<float>* source;
    size_t position = 0;
    std::vector<float> chunk = std::vector<float>(256);
};

long feed(void* data, float** samples) {
    auto* v = static_cast<SrcVoice*>(data);
    for (float& s : v->chunk) {
        s = (*v->source)[v->position];
        v->position = (v->position + 1) % v->source->size();
    }
    *samples = v->chunk.data();
    return static_cast<long>(v->chunk.size());
}

void LibsamplerateMix(benchmark::State& state) {
    const std::vector<int16_t> pcm = recording();
    std::vector<float> source(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) source[i] = pcm[i] / 32768.0f;
    std::vector<SrcVoice> voices(Voices);
    std::vector<SRC_STATE*> converters(Voices);
    for (int v = 0; v < Voices; ++v) {
        voices[v].source = &source;
        int error = 0;
        converters[v] = src_callback_new(feed, static_cast<int>(state.range(0)), 1, &error, &voices[v]);
    }
    std::vector<float> voiceOut(BlockFrames);
    std::vector<float> out(2 * BlockFrames);
    for (auto _ : state) {
        std::fill(out.begin(), out.end(), 0.0f);
        for (int v = 0; v < Voices; ++v) {
            const double ratio = 48000.0 / (SourceRate * static_cast<double>(pitchOf(v)));
            src_callback_read(converters[v], ratio, BlockFrames, voiceOut.data());
            const float volume = v % 10 == 0 ? 0.5f : 0.0f;
            for (uint32_t i = 0; i < BlockFrames; ++i) {
                out[2 * i] += volume * voiceOut[i];
                out[2 * i + 1] += volume * voiceOut[i];
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * BlockFrames);
    for (SRC_STATE* c : converters) src_delete(c);
}
BENCHMARK(LibsamplerateMix)->Arg(SRC_LINEAR)->Arg(SRC_SINC_FASTEST);

}  // namespace

BENCHMARK_MAIN();
