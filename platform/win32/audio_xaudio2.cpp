// Windows backend: XAudio2 2.8, its engine-creation function taken by ordinal 1 from XAudio2_8.dll
// in the system directory.
#include <windows.h>
#include <xaudio2.h>

#include <cstring>
#include <string>

#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/win32/audio_system_libraries.h"

namespace platform {
namespace {

using CreateEngineFunction = HRESULT(WINAPI*)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR);

IXAudio2* asEngine(AudioEngine engine) {
    return reinterpret_cast<IXAudio2*>(engine);
}

IXAudio2SourceVoice* asVoice(AudioSourceVoice voice) {
    return reinterpret_cast<IXAudio2SourceVoice*>(voice);
}

}  // namespace

AudioResult audioCreateEngine(AudioEngine* engine, uint32_t flags, uint32_t processor) {
    if (!engine) return AudioErrorInvalidArg;
    *engine = nullptr;
    if (!win32audio::systemLibrary(L"XAudio2_8.dll")) return AudioErrorModuleNotFound;
    auto create = win32audio::systemFunction<CreateEngineFunction>(L"XAudio2_8.dll", MAKEINTRESOURCEA(1));
    if (!create) return AudioErrorProcNotFound;
    IXAudio2* created = nullptr;
    const HRESULT hr = create(&created, flags, static_cast<XAUDIO2_PROCESSOR>(processor));
    if (SUCCEEDED(hr)) *engine = reinterpret_cast<AudioEngine>(created);
    return hr;
}

uint32_t audioAddRef(AudioEngine engine) {
    return engine ? asEngine(engine)->AddRef() : 0;
}

uint32_t audioRelease(AudioEngine engine) {
    return engine ? asEngine(engine)->Release() : 0;
}

AudioResult audioCreateMasteringVoice(AudioEngine engine, AudioMasteringVoice* voice, uint32_t inputChannels,
                                      uint32_t inputSampleRate, uint32_t flags, uint32_t streamCategory) {
    if (!engine || !voice) return AudioErrorInvalidArg;
    IXAudio2MasteringVoice* mastering = nullptr;
    const HRESULT hr =
        asEngine(engine)->CreateMasteringVoice(&mastering, inputChannels, inputSampleRate, flags, nullptr, nullptr,
                                               static_cast<AUDIO_STREAM_CATEGORY>(streamCategory));
    *voice = reinterpret_cast<AudioMasteringVoice>(mastering);
    return hr;
}

void audioDestroyMasteringVoice(AudioMasteringVoice voice) {
    if (voice) reinterpret_cast<IXAudio2MasteringVoice*>(voice)->DestroyVoice();
}

AudioResult audioStartEngine(AudioEngine engine) {
    return engine ? asEngine(engine)->StartEngine() : AudioErrorInvalidArg;
}

void audioStopEngine(AudioEngine engine) {
    if (engine) asEngine(engine)->StopEngine();
}

AudioResult audioCommitChanges(AudioEngine engine, uint32_t operationSet) {
    return engine ? asEngine(engine)->CommitChanges(operationSet) : AudioErrorInvalidArg;
}

AudioResult audioCreateSourceVoice(AudioEngine engine, AudioSourceVoice* voice, const WaveFormat& format,
                                   uint32_t flags, float maxFrequencyRatio) {
    if (!engine || !voice) return AudioErrorInvalidArg;
    *voice = nullptr;
    static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat));
    WAVEFORMATEX header;
    std::memcpy(&header, &format, sizeof header);
    IXAudio2SourceVoice* created = nullptr;
    const HRESULT hr =
        asEngine(engine)->CreateSourceVoice(&created, &header, flags, maxFrequencyRatio, nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr)) *voice = reinterpret_cast<AudioSourceVoice>(created);
    return hr;
}

void audioDestroySourceVoice(AudioSourceVoice voice) {
    if (voice) asVoice(voice)->DestroyVoice();
}

AudioResult audioStart(AudioSourceVoice voice, uint32_t flags, uint32_t operationSet) {
    return voice ? asVoice(voice)->Start(flags, operationSet) : AudioErrorInvalidArg;
}

AudioResult audioStop(AudioSourceVoice voice, uint32_t flags, uint32_t operationSet) {
    return voice ? asVoice(voice)->Stop(flags, operationSet) : AudioErrorInvalidArg;
}

AudioResult audioSubmitBuffer(AudioSourceVoice voice, const AudioBuffer& buffer) {
    if (!voice) return AudioErrorInvalidArg;
    XAUDIO2_BUFFER b{};
    b.Flags = buffer.flags;
    b.AudioBytes = buffer.audioBytes;
    b.pAudioData = buffer.audioData;
    b.PlayBegin = buffer.playBegin;
    b.PlayLength = buffer.playLength;
    b.LoopBegin = buffer.loopBegin;
    b.LoopLength = buffer.loopLength;
    b.LoopCount = buffer.loopCount;
    b.pContext = buffer.context;
    return asVoice(voice)->SubmitSourceBuffer(&b, nullptr);
}

AudioResult audioFlushBuffers(AudioSourceVoice voice) {
    return voice ? asVoice(voice)->FlushSourceBuffers() : AudioErrorInvalidArg;
}

void audioGetState(AudioSourceVoice voice, AudioVoiceState* state, uint32_t flags) {
    if (!voice || !state) return;
    XAUDIO2_VOICE_STATE s{};
    asVoice(voice)->GetState(&s, flags);
    state->currentBufferContext = s.pCurrentBufferContext;
    state->buffersQueued = s.BuffersQueued;
    state->samplesPlayed = s.SamplesPlayed;
}

AudioResult audioSetVolume(AudioSourceVoice voice, float volume, uint32_t operationSet) {
    return voice ? asVoice(voice)->SetVolume(volume, operationSet) : AudioErrorInvalidArg;
}

AudioResult audioSetFrequencyRatio(AudioSourceVoice voice, float ratio, uint32_t operationSet) {
    return voice ? asVoice(voice)->SetFrequencyRatio(ratio, operationSet) : AudioErrorInvalidArg;
}

}  // namespace platform
