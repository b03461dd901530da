#include "host/wav_file.h"

#include <algorithm>
#include <fstream>

namespace cabhost {
namespace {

void put16(std::ofstream& out, uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.write(b, 2);
}

void put32(std::ofstream& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    out.write(b, 4);
}

}  // namespace

bool writeWav16(const platform::Path& file, uint32_t sampleRate, uint16_t channels, const std::vector<int16_t>& samples,
                std::string& error) {
    // The RIFF sizes are 32-bit; a longer recording is cut at what they can describe.
    const uint64_t maxSamples = (0xFFFFFFFFull - 36) / 2;
    const uint64_t count = std::min<uint64_t>(samples.size(), maxSamples - maxSamples % (channels ? channels : 1));
    const uint32_t dataBytes = static_cast<uint32_t>(count * 2);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot create " + platform::pathToUtf8(file);
        return false;
    }
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, channels);
    put32(out, sampleRate);
    put32(out, sampleRate * channels * 2);
    put16(out, static_cast<uint16_t>(channels * 2));
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    std::vector<char> bytes(static_cast<size_t>(count) * 2);
    for (uint64_t i = 0; i < count; ++i) {
        const uint16_t v = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<char>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(v >> 8);
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
        error = "cannot write " + platform::pathToUtf8(file) + " (disk full?)";
        return false;
    }
    return true;
}

}  // namespace cabhost
