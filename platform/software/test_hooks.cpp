// The software engine's and the Linux decoder's test hooks (platform/test_hooks.h): the requests as
// they took effect, failure injection and live counts. Linked into the test programs that use them
// and never into a plug-in or the stand-in host, whose engine runs without a hooks table.
#include "platform/test_hooks.h"

#include <vector>

#include "platform/software/audio_internal.h"

namespace platform {
namespace {

struct HookState {
    bool recording = false;
    std::vector<AudioRequestRecord> records;
    uint32_t rejectedNonFinite = 0;
    AudioFault faults[static_cast<int>(AudioCall::MediaReadSample) + 1];
    bool masteringFailureReturnsVoice = false;
    bool everyStep = false;
    bool alwaysExtensible = false;
    uint32_t live[static_cast<int>(AudioLiveObject::MediaStartup) + 1] = {};
};
HookState hooks;

void record(AudioCall call, uint32_t voiceId, uint32_t operationSet, float value) {
    if (hooks.recording) hooks.records.push_back({call, voiceId, operationSet, value});
}

bool takeFault(AudioCall call, AudioResult* result) {
    AudioFault& fault = hooks.faults[static_cast<int>(call)];
    if (fault.count == 0) return false;
    if (fault.after > 0) {
        --fault.after;
        return false;
    }
    --fault.count;
    *result = fault.result;
    return true;
}

void countLive(AudioLiveObject object, int32_t change) {
    hooks.live[static_cast<int>(object)] += static_cast<uint32_t>(change);
}

constexpr AudioTestHooks table{
    record,
    hooks.faults,
    takeFault,
    [] { return hooks.masteringFailureReturnsVoice; },
    [] { ++hooks.rejectedNonFinite; },
    countLive,
    [] { return hooks.everyStep; },
    [] { return hooks.alwaysExtensible; },
};

// Installed while the program starts, before any test makes an engine, so that the live counts
// and the decoder's start-ups are counted from the first.
bool keyboardFails = false;
[[maybe_unused]] const bool installed = (audioTestHooks = &table, keyboardReadFault = &keyboardFails, true);

}  // namespace

void audioRecordRequests(bool on) {
    hooks.recording = on;
}

const std::vector<AudioRequestRecord>& audioAppliedRequests() {
    return hooks.records;
}

void audioClearAppliedRequests() {
    hooks.records.clear();
    hooks.rejectedNonFinite = 0;
}

uint32_t audioRejectedNonFinite() {
    return hooks.rejectedNonFinite;
}

void audioFailNext(AudioCall call, AudioResult result, uint32_t count, uint32_t after) {
    hooks.faults[static_cast<int>(call)] = {result, count, after};
}

void audioFailMasteringWithVoice(bool returnVoice) {
    hooks.masteringFailureReturnsVoice = returnVoice;
}

void audioClearFaults() {
    for (AudioFault& f : hooks.faults) f = {};
    hooks.masteringFailureReturnsVoice = false;
}

uint32_t audioVoiceId(AudioSourceVoice voice) {
    AudioVoiceInfo info{};
    return audioVoiceInfo(voice, &info) ? info.id : 0;
}

uint32_t audioLiveEngines() {
    return hooks.live[static_cast<int>(AudioLiveObject::Engine)];
}

uint32_t audioLiveSourceVoices() {
    return hooks.live[static_cast<int>(AudioLiveObject::SourceVoice)];
}

void audioMixEveryStep(bool on) {
    hooks.everyStep = on;
}

void mediaReportExtensible(bool always) {
    hooks.alwaysExtensible = always;
}

int32_t mediaStartupDepth() {
    return static_cast<int32_t>(hooks.live[static_cast<int>(AudioLiveObject::MediaStartup)]);
}

void setKeyboardReadFails(bool fails) {
    keyboardFails = fails;
}

}  // namespace platform
