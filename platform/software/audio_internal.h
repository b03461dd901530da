// Shared between the software engine, the Linux decoder and the injected keyboard: the one seam
// through which a test program watches and steers them.
#pragma once

#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace platform {

enum class AudioLiveObject : uint8_t { Engine, SourceVoice, MediaStartup };

struct AudioFault {
    AudioResult result = AudioOk;
    uint32_t count = 0;
    uint32_t after = 0;  // calls that still succeed first
};

// What a test program adds to the engine and the decoder: platform/software/test_hooks.cpp, linked
// into test programs only, installs its table before main. The plug-ins and the stand-in host
// never have one, so each place that would call it costs them a test of a null pointer.
struct AudioTestHooks {
    // A request took effect: at once, or at the commit of its operation set.
    void (*record)(AudioCall call, uint32_t voiceId, uint32_t operationSet, float value);
    // The faults armed, by call: read where a request takes its fast path, which makes no call.
    const AudioFault* faults;
    // True when an armed fault fails this call; the result to return is stored.
    bool (*takeFault)(AudioCall call, AudioResult* result);
    // Whether a failed mastering-voice creation hands out a voice nevertheless.
    bool (*masteringFailureReturnsVoice)();
    // A volume or ratio request was refused because its value was NaN or infinite.
    void (*rejectedNonFinite)();
    // An object came (+1) or went (-1).
    void (*live)(AudioLiveObject object, int32_t change);
    // Whether silent voices advance one output frame at a time (audioMixEveryStep).
    bool (*mixEveryStep)();
    // Whether the decoder reports every stream as WAVE_FORMAT_EXTENSIBLE.
    bool (*reportExtensible)();
};
extern const AudioTestHooks* audioTestHooks;
// The injected keyboard's read fails while this points at true; null outside the test programs.
extern const bool* keyboardReadFault;

inline bool audioTakeFault(AudioCall call, AudioResult* result) {
    return audioTestHooks && audioTestHooks->takeFault(call, result);
}

inline void audioCountLive(AudioLiveObject object, int32_t change) {
    if (audioTestHooks) audioTestHooks->live(object, change);
}

}  // namespace platform
