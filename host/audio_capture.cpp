#include "host/audio_capture.h"

#include <cmath>

#include "corvane/lifecycle.h"
#include "host/plugin_driver.h"
#include "platform/audio.h"

namespace cabhost {

void startAudioCapture(AudioCapture& capture) {
    capture = {};
    if (!linkedCorvane().audio.engine) {
        capture.note = "no recording: Corvane created no audio engine (its start-up log says why)";
        return;
    }
    capture.sampleRate = platform::audioMixSampleRate(linkedCorvane().audio.engine);
    if (capture.sampleRate == 0) {
        capture.note = "no recording: the audio engine has no output rate";
        return;
    }
    capture.channels = 2;
    capture.active = true;
}

void captureAudio(AudioCapture& capture, int32_t durationMs) {
    if (!capture.active || durationMs <= 0) return;
    if (capture.renderedMs >= MaxRecordingMs) {
        capture.note = "the recording stops after the first 10 minutes";
        return;
    }
    // Frame counts from the running total, so rounding never drifts from the host clock.
    const auto framesAt = [&](int64_t ms) { return static_cast<int64_t>(ms) * capture.sampleRate / 1000; };
    const int64_t frames = framesAt(capture.renderedMs + durationMs) - framesAt(capture.renderedMs);
    capture.renderedMs += durationMs;
    if (frames <= 0) return;
    std::vector<float> mix(static_cast<size_t>(frames) * 2);
    // The software engine the host links on every platform renders the mix.
    platform::audioRender(linkedCorvane().audio.engine, mix.data(), static_cast<uint32_t>(frames));
    for (float v : mix) {
        float scaled = std::isfinite(v) ? v * 32767.0f : 0.0f;
        if (scaled > 32767.0f || scaled < -32768.0f) {
            ++capture.clippedSamples;
            scaled = scaled > 0.0f ? 32767.0f : -32768.0f;
        }
        capture.samples.push_back(static_cast<int16_t>(std::lrint(scaled)));
    }
}

}  // namespace cabhost
