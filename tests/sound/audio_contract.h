// The audio part of the platform layer as the plug-in relies on it, written once against
// platform/platform.h: natively these cases run against the software engine and libsndfile, under
// Wine against real XAudio2 and Media Foundation. No test framework, so that the Windows test
// program needs nothing but the platform library.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"
#include "tests/sound/wav_writer.h"

namespace contract {

struct Checker {
    int failures = 0;
    std::string report;
    void check(bool ok, const char* what, int line) {
        if (ok) return;
        ++failures;
        report += "line " + std::to_string(line) + ": " + what + "\n";
    }
};

#define CONTRACT_CHECK(checker, condition) (checker).check(static_cast<bool>(condition), #condition, __LINE__)

inline std::string readAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Engine, mastering voice, references, start, stop and commit.
inline void engineLifecycle(Checker& c, const std::filesystem::path&) {
    using namespace platform;
    AudioEngine engine = nullptr;
    CONTRACT_CHECK(c, audioCreateEngine(&engine, 0, AudioDefaultProcessor) == AudioOk);
    CONTRACT_CHECK(c, engine != nullptr);
    if (!engine) return;
    CONTRACT_CHECK(c, audioAddRef(engine) == 2);
    CONTRACT_CHECK(c, audioRelease(engine) == 1);
    AudioMasteringVoice mastering = nullptr;
    CONTRACT_CHECK(c, audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects) == AudioOk);
    CONTRACT_CHECK(c, mastering != nullptr);
    audioStopEngine(engine);
    CONTRACT_CHECK(c, audioStartEngine(engine) == AudioOk);
    CONTRACT_CHECK(c, audioCommitChanges(engine, 5) == AudioOk);
    audioRelease(engine);
}

// A source voice playing from the caller's buffer: submission, the queue, start and stop with
// operation sets, flush.
inline void sourceVoiceQueue(Checker& c, const std::filesystem::path&) {
    using namespace platform;
    AudioEngine engine = nullptr;
    if (audioCreateEngine(&engine, 0, AudioDefaultProcessor) != AudioOk || !engine) {
        CONTRACT_CHECK(c, !"engine");
        return;
    }
    AudioMasteringVoice mastering = nullptr;
    CONTRACT_CHECK(c, audioCreateMasteringVoice(engine, &mastering, 0, 0, 0, AudioCategoryGameEffects) == AudioOk);

    const WaveFormat format{WaveFormatPcm, 1, 22050, 44100, 2, 16, 0};
    std::vector<uint8_t> pcm(4000, 0);
    AudioSourceVoice voice = nullptr;
    CONTRACT_CHECK(c, audioCreateSourceVoice(engine, &voice, format, 0, 25.0f) == AudioOk);
    CONTRACT_CHECK(c, voice != nullptr);
    AudioSourceVoice noPitch = nullptr;
    CONTRACT_CHECK(c, audioCreateSourceVoice(engine, &noPitch, format, AudioVoiceNoPitch, 2.0f) == AudioOk);
    if (voice) {
        AudioVoiceState state{};
        audioGetState(voice, &state, AudioVoiceNoSamplesPlayed);
        CONTRACT_CHECK(c, state.buffersQueued == 0);

        AudioBuffer buffer{};
        buffer.flags = AudioEndOfStream;
        buffer.audioBytes = static_cast<uint32_t>(pcm.size());
        buffer.audioData = pcm.data();
        buffer.loopCount = AudioLoopInfinite;
        CONTRACT_CHECK(c, audioSubmitBuffer(voice, buffer) == AudioOk);
        audioGetState(voice, &state, AudioVoiceNoSamplesPlayed);
        CONTRACT_CHECK(c, state.buffersQueued == 1);
        // A flush may take effect on the engine's own thread, so its queue is not checked here.
        CONTRACT_CHECK(c, audioFlushBuffers(voice) == AudioOk);
        CONTRACT_CHECK(c, audioSubmitBuffer(voice, buffer) == AudioOk);
        CONTRACT_CHECK(c, audioStart(voice, 0, 9) == AudioOk);
        CONTRACT_CHECK(c, audioSetVolume(voice, 0.25f, 9) == AudioOk);
        CONTRACT_CHECK(c, audioSetFrequencyRatio(voice, 3.0f, 9) == AudioOk);
        CONTRACT_CHECK(c, audioCommitChanges(engine, 9) == AudioOk);
        CONTRACT_CHECK(c, audioSetVolume(voice, 0.0f, AudioCommitNow) == AudioOk);
        CONTRACT_CHECK(c, audioStop(voice, 0, AudioCommitNow) == AudioOk);
        audioDestroySourceVoice(voice);
    }
    if (noPitch) {
        AudioBuffer once{};
        once.flags = AudioEndOfStream;
        once.audioBytes = static_cast<uint32_t>(pcm.size());
        once.audioData = pcm.data();
        once.playBegin = 1000;
        CONTRACT_CHECK(c, audioSubmitBuffer(noPitch, once) == AudioOk);
        CONTRACT_CHECK(c, audioStart(noPitch, 0, AudioCommitNow) == AudioOk);
        CONTRACT_CHECK(c, audioSetVolume(noPitch, 1.0f, AudioCommitNow) == AudioOk);
        audioDestroySourceVoice(noPitch);
    }
    audioRelease(engine);
}

// Reads a whole file through the source-reader steps; returns the read loop's result.
inline platform::AudioResult readThrough(const std::filesystem::path& path, platform::WaveFormat* header,
                                         std::vector<uint8_t>* pcm) {
    using namespace platform;
    MediaReader reader = nullptr;
    AudioResult r = mediaCreateReader(path, &reader);
    if (audioFailed(r)) return r;
    uint16_t subFormat = 0;
    r = mediaSetPcmOutput(reader, header, &subFormat);
    for (int reads = 0; !audioFailed(r) && reads < 1000000; ++reads) {
        uint32_t flags = 0;
        bool got = false;
        r = mediaReadSample(reader, *pcm, &flags, &got);
        if (flags & MediaStreamEndOfStream) break;
    }
    mediaReleaseReader(reader);
    return r;
}

// PCM WAV files come out as their own format and exactly their own bytes.
inline void decodeWavFiles(Checker& c, const std::filesystem::path& dir) {
    using namespace platform;
    CONTRACT_CHECK(c, mediaStartup(MediaFoundationVersion, 0) == AudioOk);

    const wavtest::WavSpec mono{1, 22050, 16};
    const std::vector<uint8_t> monoPcm = wavtest::pcmBytes(mono, wavtest::tone(mono, 3000, 440.0, 0.5));
    wavtest::writeFile(dir / "mono16.wav", wavtest::wavImage(mono, monoPcm));
    WaveFormat header{};
    std::vector<uint8_t> pcm;
    CONTRACT_CHECK(c, readThrough(dir / "mono16.wav", &header, &pcm) == AudioOk);
    CONTRACT_CHECK(c, header.formatTag == WaveFormatPcm && header.channels == 1 && header.samplesPerSec == 22050);
    CONTRACT_CHECK(c, header.bitsPerSample == 16 && header.blockAlign == 2 && header.avgBytesPerSec == 44100);
    CONTRACT_CHECK(c, pcm == monoPcm);

    const wavtest::WavSpec stereo{2, 44100, 16};
    const std::vector<uint8_t> stereoPcm = wavtest::pcmBytes(stereo, wavtest::tone(stereo, 5000, 220.0, 0.25));
    wavtest::writeFile(dir / "stereo16.wav", wavtest::wavImage(stereo, stereoPcm));
    header = {};
    pcm.clear();
    CONTRACT_CHECK(c, readThrough(dir / "stereo16.wav", &header, &pcm) == AudioOk);
    CONTRACT_CHECK(c, header.formatTag == WaveFormatPcm && header.channels == 2 && header.blockAlign == 4);
    CONTRACT_CHECK(c, pcm == stereoPcm);

    header = {};
    pcm.clear();
    CONTRACT_CHECK(c, audioFailed(readThrough(dir / "missing.wav", &header, &pcm)));
    wavtest::writeFile(dir / "text.wav", "this is not a sound file at all\n");
    CONTRACT_CHECK(c, audioFailed(readThrough(dir / "text.wav", &header, &pcm)));

    CONTRACT_CHECK(c, mediaShutdown() == AudioOk);
}

// The log is a text stream: each "\n" is the platform's line end.
inline void textFileLineEnds(Checker& c, const std::filesystem::path& dir) {
    const std::filesystem::path path = dir / "text.txt";
    std::FILE* file = platform::openTextFileForWriting(path);
    CONTRACT_CHECK(c, file != nullptr);
    if (!file) return;
    std::fputs("a\nb\n", file);
    std::fclose(file);
#ifdef _WIN32
    CONTRACT_CHECK(c, readAll(path) == "a\r\nb\r\n");
#else
    CONTRACT_CHECK(c, readAll(path) == "a\nb\n");
#endif
    file = platform::openTextFileForWriting(path);
    if (file) std::fclose(file);
    CONTRACT_CHECK(c, readAll(path).empty());
    CONTRACT_CHECK(c, platform::openTextFileForWriting(dir / "no such folder" / "x.txt") == nullptr);
}

struct Case {
    const char* name;
    void (*run)(Checker&, const std::filesystem::path&);
};

inline const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"EngineLifecycle", engineLifecycle},
        {"SourceVoiceQueue", sourceVoiceQueue},
        {"DecodeWavFiles", decodeWavFiles},
        {"TextFileLineEnds", textFileLineEnds},
    };
    return all;
}

}  // namespace contract
