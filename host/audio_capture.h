// The mix of linked-in Corvane's own sounds, rendered by the software audio engine frame by frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabhost {

// The recording stops after this much host time, so a long run cannot exhaust memory.
constexpr int64_t MaxRecordingMs = 10 * 60 * 1000;

struct AudioCapture {
    bool active = false;
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    std::vector<int16_t> samples;  // interleaved
    int64_t renderedMs = 0;        // host time covered so far
    uint64_t clippedSamples = 0;   // samples beyond full scale, limited
    std::string note;              // why there is no recording, when there is none
};

// After Load: starts recording when linked-in Corvane created its audio engine.
void startAudioCapture(AudioCapture& capture);
// After each frame: renders the next durationMs of the mix as the frame left it.
void captureAudio(AudioCapture& capture, int32_t durationMs);

}  // namespace cabhost
