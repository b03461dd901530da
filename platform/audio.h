// The audio layer of the platform: the engine and the decoder. Windows: XAudio2 2.8 and Media Foundation, both loaded at run
// time from the system directory. Linux: a deterministic software engine and libsndfile. The
// Windows stand-in host renders with the software engine and decodes with Media Foundation.
// Names, units and result codes are XAudio2's; additions of the Linux engine are marked EXT.
#pragma once

#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace platform {

// An HRESULT: negative on failure.
using AudioResult = int32_t;
constexpr AudioResult AudioOk = 0;
constexpr AudioResult AudioErrorInvalidCall = static_cast<AudioResult>(0x88960001u);  // XAUDIO2_E_INVALID_CALL
constexpr AudioResult AudioErrorInvalidArg = static_cast<AudioResult>(0x80070057u);   // E_INVALIDARG
constexpr AudioResult AudioErrorOutOfMemory = static_cast<AudioResult>(0x8007000Eu);  // E_OUTOFMEMORY
constexpr AudioResult AudioErrorFail = static_cast<AudioResult>(0x80004005u);         // E_FAIL
constexpr AudioResult AudioErrorFileNotFound = static_cast<AudioResult>(0x80070002u);
constexpr AudioResult AudioErrorPathNotFound = static_cast<AudioResult>(0x80070003u);
constexpr AudioResult AudioErrorAccessDenied = static_cast<AudioResult>(0x80070005u);
constexpr AudioResult AudioErrorModuleNotFound = static_cast<AudioResult>(0x8007007Eu);
constexpr AudioResult AudioErrorProcNotFound = static_cast<AudioResult>(0x8007007Fu);
// Media Foundation's results for a platform that was not started and a file it cannot read.
constexpr AudioResult MediaErrorNotInitialized = static_cast<AudioResult>(0xC00D36B0u);
constexpr AudioResult MediaErrorUnsupportedFile = static_cast<AudioResult>(0xC00D36C4u);
constexpr AudioResult MediaErrorInvalidMediaType = static_cast<AudioResult>(0xC00D36B4u);
inline bool audioFailed(AudioResult result) {
    return result < 0;
}

constexpr uint32_t AudioCommitNow = 0;  // XAUDIO2_COMMIT_NOW: the change applies at once
constexpr uint32_t AudioCommitAll = 0;  // XAUDIO2_COMMIT_ALL
constexpr uint32_t AudioLoopInfinite = 255;
constexpr uint32_t AudioMaxLoopCount = 254;
constexpr uint32_t AudioEndOfStream = 0x40;
constexpr uint32_t AudioVoiceNoPitch = 0x2;
constexpr uint32_t AudioVoiceNoSamplesPlayed = 0x100;
constexpr uint32_t AudioDefaultProcessor = 1;
constexpr uint32_t AudioCategoryGameEffects = 6;
constexpr uint32_t AudioMaxQueuedBuffers = 64;
constexpr uint32_t AudioMaxBufferBytes = 0x80000000u;
constexpr uint32_t AudioMaxChannels = 64;
constexpr uint32_t AudioMinSampleRate = 1000;
constexpr uint32_t AudioMaxSampleRate = 200000;
constexpr float AudioMinFrequencyRatio = 1.0f / 1024.0f;
constexpr float AudioMaxFrequencyRatio = 1024.0f;
constexpr float AudioMaxVolumeLevel = 16777216.0f;

constexpr uint16_t WaveFormatPcm = 1;
constexpr uint16_t WaveFormatIeeeFloat = 3;
constexpr uint16_t WaveFormatExtensible = 0xFFFE;

// The 18-byte wave-format header (WAVEFORMATEX without its extra bytes).
#pragma pack(push, 1)
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;  // cbSize
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18);

// XAUDIO2_BUFFER. The engine plays straight from audioData, which must stay unchanged while queued.
struct AudioBuffer {
    uint32_t flags;
    uint32_t audioBytes;
    const uint8_t* audioData;
    uint32_t playBegin;   // sample frames
    uint32_t playLength;  // 0: to the end of the buffer
    uint32_t loopBegin;
    uint32_t loopLength;  // 0 with a loop count: the whole play region
    uint32_t loopCount;   // AudioLoopInfinite: endless
    void* context;
};

// XAUDIO2_VOICE_STATE
struct AudioVoiceState {
    void* currentBufferContext;
    uint32_t buffersQueued;  // including the one playing
    uint64_t samplesPlayed;
};

struct AudioEngineObject;
struct AudioMasteringVoiceObject;
struct AudioSourceVoiceObject;
using AudioEngine = AudioEngineObject*;
using AudioMasteringVoice = AudioMasteringVoiceObject*;
using AudioSourceVoice = AudioSourceVoiceObject*;

// The engine-creation function (ordinal 1). The new engine holds one reference and is running.
AudioResult audioCreateEngine(AudioEngine* engine, uint32_t flags, uint32_t processor);
uint32_t audioAddRef(AudioEngine engine);
// The last release ends the engine and every voice it still has.
uint32_t audioRelease(AudioEngine engine);
// Default output device, no effect chain.
AudioResult audioCreateMasteringVoice(AudioEngine engine, AudioMasteringVoice* voice, uint32_t inputChannels,
                                      uint32_t inputSampleRate, uint32_t flags, uint32_t streamCategory);
void audioDestroyMasteringVoice(AudioMasteringVoice voice);
AudioResult audioStartEngine(AudioEngine engine);
void audioStopEngine(AudioEngine engine);
// Applies every change made with the operation set (AudioCommitAll: every pending change).
AudioResult audioCommitChanges(AudioEngine engine, uint32_t operationSet);

// No callback, output straight to the mastering voice, no effects.
AudioResult audioCreateSourceVoice(AudioEngine engine, AudioSourceVoice* voice, const WaveFormat& format,
                                   uint32_t flags, float maxFrequencyRatio);
void audioDestroySourceVoice(AudioSourceVoice voice);
AudioResult audioStart(AudioSourceVoice voice, uint32_t flags, uint32_t operationSet);
AudioResult audioStop(AudioSourceVoice voice, uint32_t flags, uint32_t operationSet);
AudioResult audioSubmitBuffer(AudioSourceVoice voice, const AudioBuffer& buffer);
// Removes the queued buffers; a started voice keeps the one it is playing.
AudioResult audioFlushBuffers(AudioSourceVoice voice);
void audioGetState(AudioSourceVoice voice, AudioVoiceState* state, uint32_t flags);
AudioResult audioSetVolume(AudioSourceVoice voice, float volume, uint32_t operationSet);
AudioResult audioSetFrequencyRatio(AudioSourceVoice voice, float ratio, uint32_t operationSet);

// ---- Decoding (the Media Foundation source reader's steps) ----

constexpr uint32_t MediaFoundationVersion = 0x20070;
constexpr uint32_t MediaStreamEndOfStream = 0x2;  // MF_SOURCE_READERF_ENDOFSTREAM

AudioResult mediaStartup(uint32_t version, uint32_t flags);
AudioResult mediaShutdown();

struct MediaReaderObject;
using MediaReader = MediaReaderObject*;

// A source reader for the file, without attributes.
AudioResult mediaCreateReader(const Path& path, MediaReader* reader);
// Deselects every stream, selects the first audio stream, asks for PCM output, reads the stream's
// actual type back and selects the stream again; then converts that type into a wave format and
// returns its header. For a WAVE_FORMAT_EXTENSIBLE block, subFormatTag receives the format tag
// that its sub-format stands for; otherwise it receives the header's own tag.
AudioResult mediaSetPcmOutput(MediaReader reader, WaveFormat* header, uint16_t* subFormatTag);
// One read from the first audio stream. A returned sample is appended to pcm as one contiguous
// buffer; gotSample tells whether there was one; streamFlags receives the reader's stream flags.
AudioResult mediaReadSample(MediaReader reader, std::vector<uint8_t>& pcm, uint32_t* streamFlags, bool* gotSample);
void mediaReleaseReader(MediaReader reader);

// ---- Files for the start-up log ----

// fopen with mode "w": a text stream (CR LF line ends on Windows). Null when it cannot be opened.
std::FILE* openTextFileForWriting(const Path& path);

// ---- EXT: the software engine's additions for the stand-in host ----
// (Declared for every build; only a library with the software engine defines them. What only
// the tests use is in platform/test_hooks.h.)

struct AudioVoiceInfo {
    uint32_t id;
    WaveFormat format;
    uint32_t flags;
    float maxFrequencyRatio;
    bool started;
    float volume;          // as applied
    float frequencyRatio;  // as applied
    uint32_t buffersQueued;
    const uint8_t* playingData;                 // audioData of the buffer at the head of the queue, or null
    uint32_t playBegin, playLength, loopCount;  // of that buffer
    double positionFrames;                      // play position inside that buffer
    uint64_t samplesPlayed;
};
bool audioVoiceInfo(AudioSourceVoice voice, AudioVoiceInfo* info);

// Renders the mix offline: frameCount stereo frames (interleaved left, right) at the mastering
// voice's rate. Started voices advance at their pitch whether or not they are heard; a stopped
// engine renders silence and advances nothing.
uint32_t audioMixSampleRate(AudioEngine engine);
void audioRender(AudioEngine engine, float* stereo, uint32_t frameCount);

}  // namespace platform
