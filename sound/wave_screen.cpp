#include "sound/wave_screen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/audio.h"

namespace sound {
namespace {

using platform::AudioResult;

// A header with more chunks before its sound than this is not looked into further.
constexpr int MaxChunks = 4096;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool isPcmOrFloat(uint16_t tag) {
    return tag == platform::WaveFormatPcm || tag == platform::WaveFormatIeeeFloat;
}

RefusedFormat refused(Refusal refusal, uint32_t value, uint32_t expected = 0) {
    return RefusedFormat{refusal, value, expected};
}

// The checks that hold for any encoding: a decoder keeps the channel count and the rate.
RefusedFormat checkChannelsAndRate(const platform::WaveFormat& f) {
    if (f.channels < 1 || f.channels > platform::AudioMaxChannels) return refused(Refusal::Channels, f.channels);
    if (f.samplesPerSec < platform::AudioMinSampleRate || f.samplesPerSec > platform::AudioMaxSampleRate)
        return refused(Refusal::SampleRate, f.samplesPerSec);
    return {};
}

// Width and block of integer PCM or float samples.
RefusedFormat checkSamples(const platform::WaveFormat& f, uint16_t encoding) {
    const uint16_t bits = f.bitsPerSample;
    const bool widthOk =
        encoding == platform::WaveFormatIeeeFloat ? bits == 32 : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!widthOk) return refused(Refusal::Bits, bits);
    const uint32_t block = static_cast<uint32_t>(f.channels) * (bits / 8u);
    if (f.blockAlign != block) return refused(Refusal::BlockAlign, f.blockAlign, block);
    return {};
}

}  // namespace

AudioResult refusalResult(Refusal refusal) {
    switch (refusal) {
        case Refusal::None: return platform::AudioOk;
        case Refusal::Empty: return static_cast<AudioResult>(0x80070026u);          // end of file
        case Refusal::FileTooLarge: return static_cast<AudioResult>(0x800700DFu);   // file too large
        case Refusal::TotalTooLarge: return static_cast<AudioResult>(0x80070718u);  // not enough quota
        default: return platform::MediaErrorInvalidMediaType;
    }
}

std::string refusalReason(const RefusedFormat& r) {
    char text[200];
    switch (r.refusal) {
        case Refusal::None: return {};
        case Refusal::Channels: std::snprintf(text, sizeof text, "チャンネル数%uは扱えません(1～64)", r.value); break;
        case Refusal::SampleRate:
            std::snprintf(text, sizeof text, "サンプリング周波数%uHzは扱えません(1000～200000Hz)", r.value);
            break;
        case Refusal::Bits:
            std::snprintf(text, sizeof text, "量子化ビット数%uは扱えません(PCMは8・16・24・32、浮動小数点は32)",
                          r.value);
            break;
        case Refusal::BlockAlign:
            std::snprintf(text, sizeof text, "ブロックサイズ%uがチャンネル数と量子化ビット数に合いません(%uのはず)",
                          r.value, r.expected);
            break;
        case Refusal::Encoding:
            std::snprintf(text, sizeof text, "形式%uは扱えません(PCMか浮動小数点のみ)", r.value);
            break;
        case Refusal::Empty: return "音声データがありません";
        case Refusal::FileTooLarge:
            std::snprintf(text, sizeof text, "デコード後の大きさが1ファイルの上限%uMBを超えます",
                          static_cast<unsigned>(MaxDecodedBytesPerFile >> 20));
            break;
        case Refusal::TotalTooLarge:
            std::snprintf(text, sizeof text, "デコード後の大きさが全ファイル合計の上限%uMBを超えます",
                          static_cast<unsigned>(MaxDecodedBytesTotal >> 20));
            break;
    }
    return text;
}

RefusedFormat checkVoiceFormat(const platform::WaveFormat& f) {
    if (const RefusedFormat r = checkChannelsAndRate(f); r.refusal != Refusal::None) return r;
    if (!isPcmOrFloat(f.formatTag)) return refused(Refusal::Encoding, f.formatTag);
    return checkSamples(f, f.formatTag);
}

WaveHeader readWaveHeader(const ReadAt& read, uint64_t fileSize) {
    WaveHeader h;
    uint8_t riff[12];
    if (read(0, riff, sizeof riff) != sizeof riff) return h;
    const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
    if ((std::memcmp(riff, "RIFF", 4) != 0 && !rf64) || std::memcmp(riff + 8, "WAVE", 4) != 0) return h;
    h.isWave = true;

    uint64_t offset = 12;
    for (int chunk = 0; chunk < MaxChunks && offset + 8 <= fileSize; ++chunk) {
        uint8_t head[8];
        if (read(offset, head, sizeof head) != sizeof head) break;
        const uint32_t size = le32(head + 4);
        const uint64_t body = offset + 8;
        if (std::memcmp(head, "fmt ", 4) == 0 && !h.hasFormat) {
            uint8_t f[40] = {};
            const size_t wanted = static_cast<size_t>(std::min<uint64_t>(size, sizeof f));
            if (wanted >= 16 && read(body, f, wanted) == wanted) {
                h.hasFormat = true;
                h.format.formatTag = le16(f);
                h.format.channels = le16(f + 2);
                h.format.samplesPerSec = le32(f + 4);
                h.format.avgBytesPerSec = le32(f + 8);
                h.format.blockAlign = le16(f + 12);
                h.format.bitsPerSample = le16(f + 14);
                h.format.extraSize = wanted >= 18 ? le16(f + 16) : 0;
                h.subFormatTag = h.format.formatTag;
                // WAVE_FORMAT_EXTENSIBLE: the first two bytes of the sub-format GUID give the tag.
                if (h.format.formatTag == platform::WaveFormatExtensible && wanted >= 40) h.subFormatTag = le16(f + 24);
            }
        } else if (std::memcmp(head, "data", 4) == 0 && !h.hasData) {
            h.hasData = true;
            // An RF64 file keeps the real size elsewhere; the file's length bounds it either way.
            const uint64_t declared = (rf64 && size == 0xFFFFFFFFu) ? fileSize : size;
            h.dataBytes = std::min<uint64_t>(declared, fileSize - std::min(fileSize, body));
        }
        if (h.hasFormat && h.hasData) break;
        offset = body + size + (size & 1u);
    }
    return h;
}

WaveHeader readWaveHeaderFile(const platform::Path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end <= 0) return {};
    const ReadAt read = [&file](uint64_t offset, uint8_t* out, size_t count) -> size_t {
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        if (!file) return 0;
        file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
        return static_cast<size_t>(file.gcount());
    };
    return readWaveHeader(read, static_cast<uint64_t>(end));
}

RefusedFormat screenWaveHeader(const WaveHeader& h, size_t byteBudget, bool budgetIsTotal) {
    if (!h.isWave || !h.hasFormat) return {};
    if (const RefusedFormat r = checkChannelsAndRate(h.format); r.refusal != Refusal::None) return r;
    const uint16_t encoding =
        h.format.formatTag == platform::WaveFormatExtensible ? h.subFormatTag : h.format.formatTag;
    if (!isPcmOrFloat(encoding)) return {};
    if (const RefusedFormat r = checkSamples(h.format, encoding); r.refusal != Refusal::None) return r;
    // PCM and float samples come out of the decoder as they are stored.
    if (h.hasData && h.dataBytes > byteBudget) {
        return refused(
            budgetIsTotal && h.dataBytes <= MaxDecodedBytesPerFile ? Refusal::TotalTooLarge : Refusal::FileTooLarge, 0);
    }
    return {};
}

}  // namespace sound
