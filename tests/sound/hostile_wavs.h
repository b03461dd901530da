// A corpus of crafted sound files, built in memory: formats no voice can play, sounds without data,
// broken and odd headers, and the edges of what plays. Header-only and free of platform headers, so
// the native tests and the Windows test programs replay the same files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/sound/wav_writer.h"

namespace wavtest {

// What loading a file must come to, on every platform.
enum class Expect {
    Plays,     // a voice with sound, logged as made
    Refused,   // no voice; the failure line carries `code` and a reason line follows
    Fails,     // no voice; a failure line with whatever code the decoder gives
    EitherWay  // decoders differ; but a sound logged as made has data and plays
};

struct HostileWav {
    const char* name;
    std::string bytes;
    Expect expect;
    uint32_t code = 0;  // Refused only
};

constexpr uint32_t FormatRefused = 0xC00D36B4u;  // the media type is not valid
constexpr uint32_t SoundEmpty = 0x80070026u;     // the end of the file came first
constexpr uint32_t FileTooLarge = 0x800700DFu;   // over the bound of one file

// The fields of a "fmt " chunk, free to contradict each other.
struct FmtFields {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t blockAlign = 2;
    uint16_t bits = 16;
};

inline std::string chunk(const std::string& id, const std::string& body, int64_t declaredSize = -1) {
    std::string out = id;
    putLe(out, declaredSize >= 0 ? static_cast<uint32_t>(declaredSize) : static_cast<uint32_t>(body.size()), 4);
    out += body;
    if (body.size() % 2) out += '\0';
    return out;
}

inline std::string fmtBody(const FmtFields& f) {
    std::string body;
    putLe(body, f.tag, 2);
    putLe(body, f.channels, 2);
    putLe(body, f.rate, 4);
    putLe(body, f.rate * f.blockAlign, 4);
    putLe(body, f.blockAlign, 2);
    putLe(body, f.bits, 2);
    return body;
}

// WAVE_FORMAT_EXTENSIBLE whose sub-format is integer PCM.
inline std::string extensibleFmtBody(const FmtFields& f) {
    FmtFields e = f;
    e.tag = 0xFFFE;
    std::string body = fmtBody(e);
    putLe(body, 22, 2);
    putLe(body, f.bits, 2);  // valid bits
    putLe(body, 0, 4);       // channel mask
    putLe(body, 1, 2);       // sub-format: PCM ...
    body += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14);
    return body;
}

inline std::string riffWave(const std::string& chunks) {
    std::string out = "RIFF";
    putLe(out, static_cast<uint32_t>(4 + chunks.size()), 4);
    return out + "WAVE" + chunks;
}

// A tone's PCM bytes in a format's width (8-bit unsigned, wider signed little-endian).
inline std::string toneBytes(const FmtFields& f, uint32_t frames) {
    const WavSpec spec{f.channels, f.rate, f.bits};
    const std::vector<uint8_t> pcm = pcmBytes(spec, tone(spec, frames, 440.0, 0.3));
    return std::string(pcm.begin(), pcm.end());
}

inline std::string wavWith(const FmtFields& f, const std::string& data) {
    return riffWave(chunk("fmt ", fmtBody(f)) + chunk("data", data));
}

inline FmtFields pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
    return FmtFields{1, channels, rate, static_cast<uint16_t>(channels * (bits / 8)), bits};
}

// Enough sound for a voice: a tenth of a second at 22,050 Hz.
constexpr uint32_t ToneFrames = 2205;

inline std::vector<HostileWav> hostileWavCorpus() {
    std::vector<HostileWav> c;
    const FmtFields mono16 = pcm(1, 22050, 16);
    const std::string tone16 = toneBytes(mono16, ToneFrames);
    auto withRate = [&](uint32_t rate) {
        FmtFields f = mono16;
        f.rate = rate;
        return wavWith(f, tone16);
    };

    // Rates a voice takes, and beyond them.
    c.push_back({"rate-2147483647", withRate(0x7FFFFFFFu), Expect::Refused, FormatRefused});
    c.push_back({"rate-1000000000", withRate(1000000000u), Expect::Refused, FormatRefused});
    c.push_back({"rate-200001", withRate(200001u), Expect::Refused, FormatRefused});
    c.push_back({"rate-999", withRate(999u), Expect::Refused, FormatRefused});
    c.push_back({"rate-0", withRate(0u), Expect::Refused, FormatRefused});
    c.push_back({"rate-1000", withRate(1000u), Expect::Plays});
    c.push_back({"rate-200000", withRate(200000u), Expect::Plays});

    // Channel counts.
    c.push_back({"channels-255", wavWith(pcm(255, 22050, 16), toneBytes(pcm(255, 22050, 16), 64)), Expect::Refused,
                 FormatRefused});
    c.push_back({"channels-65", wavWith(pcm(65, 22050, 16), toneBytes(pcm(65, 22050, 16), 64)), Expect::Refused,
                 FormatRefused});
    c.push_back({"channels-0", wavWith(FmtFields{1, 0, 22050, 2, 16}, tone16), Expect::Refused, FormatRefused});
    c.push_back({"extensible-channels-255",
                 riffWave(chunk("fmt ", extensibleFmtBody(pcm(255, 22050, 16))) +
                          chunk("data", toneBytes(pcm(255, 22050, 16), 64))),
                 Expect::Refused, FormatRefused});
    c.push_back({"stereo-16", wavWith(pcm(2, 22050, 16), toneBytes(pcm(2, 22050, 16), ToneFrames)), Expect::Plays});

    // Sample widths and blocks.
    c.push_back({"bits-12", wavWith(FmtFields{1, 1, 22050, 2, 12}, tone16), Expect::Refused, FormatRefused});
    c.push_back({"bits-0", wavWith(FmtFields{1, 1, 22050, 2, 0}, tone16), Expect::Refused, FormatRefused});
    c.push_back(
        {"block-4-for-mono-16", wavWith(FmtFields{1, 1, 22050, 4, 16}, tone16), Expect::Refused, FormatRefused});
    c.push_back({"float-64", wavWith(FmtFields{3, 1, 22050, 8, 64}, std::string(8 * 512, '\0')), Expect::Refused,
                 FormatRefused});

    // Sounds without data.
    c.push_back({"data-empty", wavWith(mono16, ""), Expect::Refused, SoundEmpty});
    c.push_back({"data-missing", riffWave(chunk("fmt ", fmtBody(mono16))), Expect::Fails});
    c.push_back({"data-one-byte", wavWith(mono16, std::string(1, '\x10')), Expect::Fails});

    // Decoders differ on these; whatever they make must play.
    c.push_back({"mono-8", wavWith(pcm(1, 22050, 8), toneBytes(pcm(1, 22050, 8), ToneFrames)), Expect::EitherWay});
    c.push_back({"mono-24", wavWith(pcm(1, 22050, 24), toneBytes(pcm(1, 22050, 24), ToneFrames)), Expect::EitherWay});
    c.push_back({"odd-length", wavWith(mono16, tone16 + "\x01"), Expect::EitherWay});
    c.push_back(
        {"float-32", wavWith(FmtFields{3, 1, 22050, 4, 32}, std::string(4 * ToneFrames, '\0')), Expect::EitherWay});
    c.push_back({"data-size-beyond-file",
                 riffWave(chunk("fmt ", fmtBody(mono16)) + "data" + std::string("\xF0\xFF\xFF\x7F", 4) + tone16),
                 Expect::EitherWay});
    {
        // More chunks before the format than anyone looks through.
        std::string junk;
        for (int i = 0; i < 5000; ++i) junk += chunk("junk", "");
        c.push_back({"five-thousand-chunks", riffWave(junk + chunk("fmt ", fmtBody(mono16)) + chunk("data", tone16)),
                     Expect::EitherWay});
    }

    // Headers that are not whole.
    c.push_back({"riff-only", std::string("RIFF\x04\x00\x00\x00WAVE", 12), Expect::Fails});
    c.push_back({"fmt-cut-short", riffWave(chunk("fmt ", fmtBody(mono16).substr(0, 10))), Expect::Fails});
    c.push_back(
        {"chunk-size-4g", riffWave(chunk("junk", "", 0xFFFFFFFF) + chunk("fmt ", fmtBody(mono16))), Expect::Fails});
    c.push_back({"not-a-sound", std::string(600, 'x'), Expect::Fails});
    c.push_back({"zero-bytes", std::string(), Expect::Fails});
    return c;
}

// A PCM file whose sound is just over the bound of one file (64 MB), built only where a test
// wants it.
inline HostileWav oversizedWav() {
    const FmtFields f = pcm(2, 44100, 16);
    return {"over-64mb", wavWith(f, std::string((size_t{64} << 20) + 4, '\0')), Expect::Refused, FileTooLarge};
}

}  // namespace wavtest
