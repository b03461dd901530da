// EXT: what only the tests and fuzz targets reach of the Linux backends and the software engine:
// the requests as they took effect, failure injection, and live counts for leak checks. The engine
// and the decoder are defined without them: platform/software/test_hooks.cpp defines them for the
// test programs that link it, and reaches the engine through its hooks table (audio_internal.h).
// The plug-ins and the stand-in host never call them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/audio.h"

namespace platform {

// ---- The software engine ----

enum class AudioCall : uint8_t {
    CreateEngine,
    CreateMasteringVoice,
    StartEngine,
    StopEngine,
    CommitChanges,
    CreateSourceVoice,
    DestroyVoice,
    Start,
    Stop,
    SubmitBuffer,
    FlushBuffers,
    SetVolume,
    SetFrequencyRatio,
    MediaStartup,
    MediaCreateReader,
    MediaSetPcmOutput,
    MediaReadSample,
};

// One request as it took effect: at once, or at the commit of its operation set.
struct AudioRequestRecord {
    AudioCall call;
    uint32_t voiceId;       // 0 for engine-level calls
    uint32_t operationSet;  // the set it was made with (0: at once)
    float value;            // volume, frequency ratio, or the play begin of a submission
};

// Records are kept only while recording is on (off at start), so a long run does not grow memory.
void audioRecordRequests(bool on);
const std::vector<AudioRequestRecord>& audioAppliedRequests();
void audioClearAppliedRequests();
// Requests refused because a volume or ratio was NaN or infinite.
uint32_t audioRejectedNonFinite();

// Makes `count` calls of a kind fail with the result, after `after` calls that still succeed. A
// failing mastering-voice creation can be made to return a voice nevertheless.
void audioFailNext(AudioCall call, AudioResult result, uint32_t count = 1, uint32_t after = 0);
void audioFailMasteringWithVoice(bool returnVoice);
void audioClearFaults();

uint32_t audioVoiceId(AudioSourceVoice voice);

// Live objects, for leak checks.
uint32_t audioLiveEngines();
uint32_t audioLiveSourceVoices();

// The reference mix, in which silent voices advance one output frame at a time as heard ones do;
// the default mix moves them in one step to the same place. For tests that compare the two.
void audioMixEveryStep(bool on);

// ---- The Linux decoder ----

// The reader reports every stream as WAVE_FORMAT_EXTENSIBLE, as the platform's conversion does
// for some types.
void mediaReportExtensible(bool always);
// Media start-ups not yet shut down.
int32_t mediaStartupDepth();

// ---- The injected keyboard ----

// Makes readKeyboardState fail, as GetKeyboardState can.
void setKeyboardReadFails(bool fails);

}  // namespace platform
