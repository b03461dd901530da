#include "host/audio_capture.h"

namespace cabhost {

void startAudioCapture(AudioCapture& capture) {
    capture = {};
    capture.note = "no recording: this build has no software audio engine to render from";
}

void captureAudio(AudioCapture& capture, int32_t durationMs) {
    (void)durationMs;
    if (!capture.active) return;
}

}  // namespace cabhost
