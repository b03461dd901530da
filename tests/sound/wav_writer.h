// Writes small RIFF/WAVE files for tests: integer PCM of any channel count, width and rate.
// Header-only and free of platform headers, so native and Windows test programs share it.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace wavtest {

struct WavSpec {
    uint16_t channels = 1;
    uint32_t sampleRate = 22050;
    uint16_t bitsPerSample = 16;
};

inline void putLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The PCM bytes of interleaved samples given as values in the format's own signed range (8-bit
// samples are stored unsigned, as WAV requires).
inline std::vector<uint8_t> pcmBytes(const WavSpec& spec, const std::vector<int32_t>& samples) {
    std::string out;
    const int bytes = spec.bitsPerSample / 8;
    for (int32_t s : samples) putLe(out, bytes == 1 ? static_cast<uint32_t>(s + 128) : static_cast<uint32_t>(s), bytes);
    return std::vector<uint8_t>(out.begin(), out.end());
}

// A whole WAV file image; dataSizeOverride replaces the data chunk's declared size when not -1.
inline std::string wavImage(const WavSpec& spec, const std::vector<uint8_t>& pcm, int64_t dataSizeOverride = -1) {
    const uint32_t blockAlign = spec.channels * (spec.bitsPerSample / 8u);
    std::string out = "RIFF";
    putLe(out, static_cast<uint32_t>(36 + pcm.size()), 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, spec.channels, 2);
    putLe(out, spec.sampleRate, 4);
    putLe(out, spec.sampleRate * blockAlign, 4);
    putLe(out, blockAlign, 2);
    putLe(out, spec.bitsPerSample, 2);
    out += "data";
    putLe(out, dataSizeOverride >= 0 ? static_cast<uint32_t>(dataSizeOverride) : static_cast<uint32_t>(pcm.size()), 4);
    out.append(reinterpret_cast<const char*>(pcm.data()), pcm.size());
    return out;
}

inline bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

// A sine tone of `frames` frames at `amplitude` of full scale, the same on every channel.
inline std::vector<int32_t> tone(const WavSpec& spec, uint32_t frames, double hz, double amplitude) {
    const double full = std::ldexp(1.0, spec.bitsPerSample - 1) - 1.0;
    std::vector<int32_t> samples;
    samples.reserve(static_cast<size_t>(frames) * spec.channels);
    for (uint32_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * 3.14159265358979323846 * hz * i / spec.sampleRate;
        const int32_t value = static_cast<int32_t>(std::lround(amplitude * full * std::sin(phase)));
        for (uint16_t c = 0; c < spec.channels; ++c) samples.push_back(value);
    }
    return samples;
}

// A constant signal, handy for level checks.
inline std::vector<int32_t> constant(const WavSpec& spec, uint32_t frames, int32_t value) {
    return std::vector<int32_t>(static_cast<size_t>(frames) * spec.channels, value);
}

inline bool writeWav(const std::filesystem::path& path, const WavSpec& spec, const std::vector<int32_t>& samples) {
    return writeFile(path, wavImage(spec, pcmBytes(spec, samples)));
}

}  // namespace wavtest
