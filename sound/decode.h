// Decoding one sound file completely into PCM held in memory, through the platform's source reader.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"
#include "sound/wave_screen.h"

namespace sound {

// Lexical normalisation, purely as text: separators become the platform's own, "." components
// are dropped and each ".." removes the component before it (never a root or a drive).
platform::Path normalisePath(const platform::Path& path);

struct DecodeOutcome {
    platform::AudioResult result = platform::AudioOk;
    // The stream's format is neither PCM nor mono: no voice is made and nothing is logged.
    bool formatRejected = false;
    // This decode started the media platform itself; the caller shuts it down once it has made or
    // given up its voice.
    bool startedMedia = false;
    // The file's header or its decoded sound is something no voice can play, or too much to hold;
    // the result is refusalResult(refused.refusal).
    RefusedFormat refused;
};

// Decodes the file at an already normalised path into the wave-format header and the PCM vector.
// On failure the vector may hold part of the data; the caller discards it. The file is screened
// before the decoder sees it, and its decoded size may not pass the per-file bound nor
// `totalBudgetBytes`, what is left of the bound on all sounds together.
DecodeOutcome decodeToPcm(const platform::Path& normalisedPath, platform::WaveFormat& format, std::vector<uint8_t>& pcm,
                          size_t totalBudgetBytes = MaxDecodedBytesTotal);

// Reserved before reading so that typical files need no regrowth.
constexpr size_t PcmReserveBytes = 1000000;
// A reader that keeps returning neither data nor the end of the stream is given up after this
// many reads in a row, so a broken stream cannot hang Load.
constexpr uint32_t MaxEmptyReads = 100000;

}  // namespace sound
