// What a source voice can play, and the screening of a WAV file's own header before any decoder
// sees it: a format the voice would refuse, or a size beyond the memory bounds, never reaches the
// platform's decoder or the audio engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/audio.h"
#include "platform/platform.h"

namespace sound {

// Decoded sound held in memory, per file and for all files of one Load together. A real vehicle
// needs a few megabytes per file (a minute of 44.1 kHz 16-bit stereo is about 10 MB) and well
// under 100 MB in all; the bounds keep a 32-bit host with room to spare.
constexpr size_t MaxDecodedBytesPerFile = size_t{64} << 20;
constexpr size_t MaxDecodedBytesTotal = size_t{256} << 20;

// Why a sound is refused before it gets a voice.
enum class Refusal : uint8_t {
    None,
    Channels,       // none, or more than a voice takes
    SampleRate,     // outside the rates a voice takes
    Bits,           // a sample width a voice cannot play
    BlockAlign,     // the frame size does not match channels and width
    Encoding,       // neither integer PCM nor 32-bit float after decoding
    Empty,          // no sound data
    FileTooLarge,   // more than MaxDecodedBytesPerFile
    TotalTooLarge,  // more than what is left of MaxDecodedBytesTotal
};

// The refusal with the value that caused it, for the log and the check.
struct RefusedFormat {
    Refusal refusal = Refusal::None;
    uint32_t value = 0;     // the offending field (channels, rate, bits, block alignment, tag)
    uint32_t expected = 0;  // the block alignment that would fit (BlockAlign only)
};

// The result code that a refusal ends the load with; the start-up log shows it.
platform::AudioResult refusalResult(Refusal refusal);
// One line of Japanese text that says why, in the log's own style (without the line end).
std::string refusalReason(const RefusedFormat& refused);

// The decoded format as a source voice needs it: integer PCM of 8, 16, 24 or 32 bits or 32-bit
// float, 1 to 64 channels, 1,000 to 200,000 frames per second, and a block of channels × bytes.
RefusedFormat checkVoiceFormat(const platform::WaveFormat& format);

// ---- The file's own header ----

// Reads up to `count` bytes at `offset`; returns how many it read.
using ReadAt = std::function<size_t(uint64_t offset, uint8_t* out, size_t count)>;

struct WaveHeader {
    bool isWave = false;     // a RIFF (or RF64) file of form WAVE
    bool hasFormat = false;  // its "fmt " chunk was found and is complete
    platform::WaveFormat format{};
    uint16_t subFormatTag = 0;  // the tag an extensible block stands for; otherwise the block's own
    bool hasData = false;
    uint64_t dataBytes = 0;  // declared size of the "data" chunk, cut to what the file holds
};

// Walks at most a bounded number of chunks; safe for any bytes.
WaveHeader readWaveHeader(const ReadAt& read, uint64_t fileSize);
WaveHeader readWaveHeaderFile(const platform::Path& path);

// What the header alone shows a voice would refuse: channels and rate for every encoding (a
// decoder keeps both), width and block for the PCM and float encodings it passes on unchanged,
// and a declared data size beyond `byteBudget` (the smaller of the per-file bound and what is
// left of the total). A file that is not a WAV, or a header that cannot be read, is not refused.
RefusedFormat screenWaveHeader(const WaveHeader& header, size_t byteBudget, bool budgetIsTotal);

}  // namespace sound
