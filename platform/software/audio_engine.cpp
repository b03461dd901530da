// A deterministic software engine with the subset of the XAudio2 contract that the plug-in uses:
// the Linux libraries' engine, and the stand-in host's on every platform. It has no thread and no
// device: it advances only when its owner renders the mix. Requests made with an operation set wait
// in submission order until that set is committed.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <new>

#include "platform/audio.h"
#include "platform/software/audio_internal.h"

namespace platform {

// None in the plug-ins and the stand-in host: only a test program installs a table.
const AudioTestHooks* audioTestHooks = nullptr;

struct AudioMasteringVoiceObject {
    AudioEngineObject* engine;
    uint32_t channels;
    uint32_t sampleRate;
};

namespace {

// Play positions are 32.32 fixed point in sample frames, so a voice's position after any number of
// renders is exact and does not depend on how the render was split into calls.
constexpr int FractionBits = 32;
constexpr uint64_t One = uint64_t{1} << FractionBits;

struct QueuedBuffer {
    AudioBuffer desc;
    uint32_t playBegin, playEnd;  // frames
    uint32_t loopBegin, loopEnd;
    uint32_t loopsLeft;  // ignored while infinite
    bool infinite;
};

}  // namespace

struct AudioSourceVoiceObject {
    uint32_t id;
    AudioEngineObject* engine;
    WaveFormat format;
    uint32_t flags;
    float maxFrequencyRatio;
    bool started = false;
    float volume = 1.0f;
    float frequencyRatio = 1.0f;
    std::deque<QueuedBuffer> queue;
    uint64_t position = 0;  // inside the head buffer
    uint64_t samplesPlayed = 0;
};

namespace {

struct PendingRequest {
    uint32_t operationSet;
    AudioCall call;
    AudioSourceVoiceObject* voice;
    float value;
};

}  // namespace

struct AudioEngineObject {
    uint32_t references = 1;
    bool started = true;
    AudioMasteringVoiceObject* mastering = nullptr;
    std::vector<AudioSourceVoiceObject*> voices;
    // The requests waiting for their commit, in submission order, from pending.get() to
    // pendingEnd. The room up to pendingLimit is made once per voice when it is created, so that a
    // request is a plain store.
    std::unique_ptr<PendingRequest[]> pending;
    PendingRequest* pendingEnd = nullptr;
    PendingRequest* pendingLimit = nullptr;
};

namespace {

uint32_t nextVoiceId = 1;

void record(AudioCall call, uint32_t voiceId, uint32_t operationSet, float value) {
    if (audioTestHooks) audioTestHooks->record(call, voiceId, operationSet, value);
}

// What a request changes in its voice: a start, a stop, a volume or a frequency ratio; false for
// any other call.
inline bool change(const PendingRequest& request) {
    AudioSourceVoiceObject* v = request.voice;
    switch (request.call) {
        case AudioCall::Start: v->started = true; return true;
        case AudioCall::Stop: v->started = false; return true;
        case AudioCall::SetVolume: v->volume = request.value; return true;
        case AudioCall::SetFrequencyRatio: v->frequencyRatio = request.value; return true;
        default: return false;
    }
}

// The commit's step while no test watches the requests.
inline void applyUnrecorded(const PendingRequest& request) {
    change(request);
}

// Applies a request now, recorded for the tests that watch the requests take effect.
void apply(const PendingRequest& request) {
    if (change(request)) record(request.call, request.voice->id, request.operationSet, request.value);
}

// Room for this many waiting requests per voice: a volume, a ratio, a start and a stop in a frame.
constexpr size_t PendingPerVoice = 4;

void makeRoom(AudioEngineObject& engine, size_t room) {
    const size_t had = static_cast<size_t>(engine.pendingLimit - engine.pending.get());
    if (room <= had) return;
    auto larger = std::make_unique<PendingRequest[]>(room);
    const PendingRequest* const end = std::copy(engine.pending.get(), engine.pendingEnd, larger.get());
    engine.pendingEnd = larger.get() + (end - larger.get());
    engine.pendingLimit = larger.get() + room;
    engine.pending = std::move(larger);
}

void queueGrowing(AudioEngineObject& engine, const PendingRequest& request) {
    if (engine.pendingEnd == engine.pendingLimit)
        makeRoom(engine, 2 * static_cast<size_t>(engine.pendingLimit - engine.pending.get()) + 16);
    *engine.pendingEnd++ = request;
}

void requestOrApply(AudioSourceVoiceObject* voice, AudioCall call, float value, uint32_t operationSet) {
    PendingRequest request{operationSet, call, voice, value};
    if (operationSet == AudioCommitNow) {
        apply(request);
    } else {
        queueGrowing(*voice->engine, request);
    }
}

// The common request: with an operation set, no fault armed, and room in the queue. Anything else
// goes through the full path.
inline bool queueFast(AudioSourceVoiceObject* voice, AudioCall call, float value, uint32_t operationSet) {
    AudioEngineObject& engine = *voice->engine;
    if (operationSet == AudioCommitNow ||
        (audioTestHooks && audioTestHooks->faults[static_cast<int>(call)].count != 0) ||
        engine.pendingEnd == engine.pendingLimit)
        return false;
    *engine.pendingEnd++ = {operationSet, call, voice, value};
    return true;
}

// Applies the requests of one set (or of all) in submission order; the requests of other sets close
// up in place, so the queue keeps its storage and a commit per frame allocates nothing. Returns the
// new end of the queue. The apply step is a template argument so that each loop stays as tight as
// it was written out.
template <void (*applyOne)(const PendingRequest&)>
PendingRequest* commitQueued(PendingRequest* begin, PendingRequest* end, uint32_t operationSet) {
    const bool all = operationSet == AudioCommitAll;
    PendingRequest* kept = begin;
    for (PendingRequest* r = begin; r != end; ++r) {
        if (all || r->operationSet == operationSet) {
            applyOne(*r);
        } else {
            *kept++ = *r;
        }
    }
    return kept;
}

uint32_t framesIn(const AudioSourceVoiceObject& voice, uint32_t bytes) {
    return voice.format.blockAlign ? bytes / voice.format.blockAlign : 0;
}

// One channel of one frame as a float in [-1, 1).
float sampleAt(const WaveFormat& format, const uint8_t* frame, uint32_t channel) {
    const uint32_t bytes = format.bitsPerSample / 8;
    const uint8_t* p = frame + channel * bytes;
    if (format.formatTag == WaveFormatIeeeFloat) {
        float value;
        std::memcpy(&value, p, sizeof value);
        return std::isfinite(value) ? value : 0.0f;
    }
    switch (bytes) {
        case 1: return (static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
        case 2: return static_cast<int16_t>(p[0] | (p[1] << 8)) * (1.0f / 32768.0f);
        case 3: {
            int32_t value =
                static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24));
            return static_cast<float>(value >> 8) * (1.0f / 8388608.0f);
        }
        default: {
            int32_t value = static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                                 (uint32_t{p[3]} << 24));
            return static_cast<float>(value) * (1.0f / 2147483648.0f);
        }
    }
}

void frameToStereo(const WaveFormat& format, const uint8_t* data, uint32_t frame, float& left, float& right) {
    const uint8_t* p = data + static_cast<size_t>(frame) * format.blockAlign;
    left = sampleAt(format, p, 0);
    right = format.channels > 1 ? sampleAt(format, p, 1) : left;
}

bool formatSupported(const WaveFormat& f) {
    if (f.formatTag != WaveFormatPcm && f.formatTag != WaveFormatIeeeFloat) return false;
    if (f.channels == 0 || f.channels > AudioMaxChannels) return false;
    if (f.samplesPerSec < AudioMinSampleRate || f.samplesPerSec > AudioMaxSampleRate) return false;
    if (f.formatTag == WaveFormatIeeeFloat) {
        if (f.bitsPerSample != 32) return false;
    } else if (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 24 && f.bitsPerSample != 32) {
        return false;
    }
    return f.blockAlign == f.channels * (f.bitsPerSample / 8);
}

// The head buffer is done: the next one continues from the fraction the last one overran by.
void finishHeadBuffer(AudioSourceVoiceObject& v, uint64_t overrun) {
    const QueuedBuffer done = v.queue.front();
    v.queue.pop_front();
    if (done.desc.flags & AudioEndOfStream) v.samplesPlayed = 0;
    v.position = v.queue.empty() ? 0 : (uint64_t{v.queue.front().playBegin} << FractionBits) + overrun;
}

// Advances the head buffer past any region ends that the position reached.
void settle(AudioSourceVoiceObject& v) {
    while (!v.queue.empty()) {
        QueuedBuffer& b = v.queue.front();
        const bool looping = b.infinite || b.loopsLeft > 0;
        const uint64_t end = uint64_t{looping ? b.loopEnd : b.playEnd} << FractionBits;
        if (v.position < end) return;
        if (looping) {
            const uint64_t length = uint64_t{b.loopEnd - b.loopBegin} << FractionBits;
            if (b.infinite) {
                const uint64_t begin = uint64_t{b.loopBegin} << FractionBits;
                v.position = begin + (v.position - begin) % length;
            } else {
                v.position -= length;
                --b.loopsLeft;
            }
        } else {
            finishHeadBuffer(v, v.position - end);
        }
    }
}

// A silent voice inside an endless loop only moves: frameCount steps at once land exactly where
// single steps would, because positions are exact fixed-point sums and the wrap at the loop's end
// is a remainder. Whole frames crossed are counted from the unwrapped sum, as the steps count them.
// False where the voice must be stepped (a finite buffer, or a position before the loop).
bool skipSilent(AudioSourceVoiceObject& v, uint64_t step, uint32_t frameCount) {
    if (v.queue.empty()) return true;
    const QueuedBuffer& b = v.queue.front();
    if (!b.infinite) return false;
    const uint64_t begin = uint64_t{b.loopBegin} << FractionBits;
    const uint64_t end = uint64_t{b.loopEnd} << FractionBits;
    if (v.position < begin || v.position >= end) return false;
    // The sum position + step * frameCount needs 96 bits: kept as whole frames and a fraction, in
    // 64-bit words that every target has (32-bit x86 has no 128-bit integer).
    constexpr uint64_t FractionMask = One - 1;
    const uint64_t low = (step & FractionMask) * frameCount;
    const uint64_t high = (step >> FractionBits) * frameCount;
    uint64_t fraction = (v.position & FractionMask) + (low & FractionMask);
    const uint64_t frames = (v.position >> FractionBits) + (low >> FractionBits) + high + (fraction >> FractionBits);
    fraction &= FractionMask;
    v.samplesPlayed += frames - (v.position >> FractionBits);
    const uint64_t loopFrames = (end - begin) >> FractionBits;
    v.position = begin + (((frames - b.loopBegin) % loopFrames) << FractionBits) + fraction;
    return true;
}

void renderVoice(AudioSourceVoiceObject& v, uint32_t outputRate, float* stereo, uint32_t frameCount) {
    const double ratio = static_cast<double>(v.format.samplesPerSec) * v.frequencyRatio / outputRate;
    const uint64_t step = static_cast<uint64_t>(std::llround(ratio * static_cast<double>(One)));
    const bool heard = v.volume != 0.0f;
    if (!heard && !(audioTestHooks && audioTestHooks->mixEveryStep()) && skipSilent(v, step, frameCount)) return;
    for (uint32_t i = 0; i < frameCount && !v.queue.empty(); ++i) {
        const QueuedBuffer& b = v.queue.front();
        if (heard) {
            const uint32_t frame = static_cast<uint32_t>(v.position >> FractionBits);
            const bool looping = b.infinite || b.loopsLeft > 0;
            const uint32_t regionEnd = looping ? b.loopEnd : b.playEnd;
            const uint32_t next = frame + 1 < regionEnd ? frame + 1 : (looping ? b.loopBegin : frame);
            const float t = static_cast<float>(static_cast<uint32_t>(v.position)) * (1.0f / 4294967296.0f);
            float l0, r0, l1, r1;
            frameToStereo(v.format, b.desc.audioData, frame, l0, r0);
            frameToStereo(v.format, b.desc.audioData, next, l1, r1);
            stereo[2 * i] += v.volume * (l0 + (l1 - l0) * t);
            stereo[2 * i + 1] += v.volume * (r0 + (r1 - r0) * t);
        }
        const uint64_t before = v.position >> FractionBits;
        v.position += step;
        v.samplesPlayed += (v.position >> FractionBits) - before;
        settle(v);
    }
}

void destroySourceVoice(AudioSourceVoiceObject* voice) {
    AudioEngineObject* engine = voice->engine;
    engine->pendingEnd = std::remove_if(engine->pending.get(), engine->pendingEnd,
                                        [voice](const PendingRequest& r) { return r.voice == voice; });
    auto& voices = engine->voices;
    voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end());
    record(AudioCall::DestroyVoice, voice->id, 0, 0.0f);
    delete voice;
    audioCountLive(AudioLiveObject::SourceVoice, -1);
}

}  // namespace

// ---- Engine ----

AudioResult audioCreateEngine(AudioEngine* engine, uint32_t, uint32_t) {
    if (!engine) return AudioErrorInvalidArg;
    *engine = nullptr;
    AudioResult fault;
    if (audioTakeFault(AudioCall::CreateEngine, &fault)) return fault;
    *engine = new (std::nothrow) AudioEngineObject();
    if (!*engine) return AudioErrorOutOfMemory;
    audioCountLive(AudioLiveObject::Engine, 1);
    record(AudioCall::CreateEngine, 0, 0, 0.0f);
    return AudioOk;
}

uint32_t audioAddRef(AudioEngine engine) {
    return engine ? ++engine->references : 0;
}

uint32_t audioRelease(AudioEngine engine) {
    if (!engine) return 0;
    if (--engine->references > 0) return engine->references;
    while (!engine->voices.empty()) destroySourceVoice(engine->voices.back());
    delete engine->mastering;
    delete engine;
    audioCountLive(AudioLiveObject::Engine, -1);
    return 0;
}

AudioResult audioCreateMasteringVoice(AudioEngine engine, AudioMasteringVoice* voice, uint32_t inputChannels,
                                      uint32_t inputSampleRate, uint32_t, uint32_t) {
    if (!engine || !voice) return AudioErrorInvalidArg;
    *voice = nullptr;
    AudioResult fault;
    if (audioTakeFault(AudioCall::CreateMasteringVoice, &fault)) {
        if (audioTestHooks->masteringFailureReturnsVoice() && !engine->mastering) {
            engine->mastering = new AudioMasteringVoiceObject{engine, 2, 48000};
            *voice = engine->mastering;
        }
        return fault;
    }
    if (engine->mastering) return AudioErrorInvalidCall;
    if (inputChannels > AudioMaxChannels ||
        (inputSampleRate != 0 && (inputSampleRate < AudioMinSampleRate || inputSampleRate > AudioMaxSampleRate)))
        return AudioErrorInvalidArg;
    // The mix is always rendered as stereo; the defaults stand for a common output device.
    engine->mastering = new AudioMasteringVoiceObject{engine, inputChannels ? inputChannels : 2,
                                                      inputSampleRate ? inputSampleRate : 48000};
    *voice = engine->mastering;
    record(AudioCall::CreateMasteringVoice, 0, 0, static_cast<float>(engine->mastering->sampleRate));
    return AudioOk;
}

void audioDestroyMasteringVoice(AudioMasteringVoice voice) {
    if (!voice) return;
    AudioEngineObject* engine = voice->engine;
    // Source voices send to the mastering voice; XAudio2 refuses to destroy it while they exist.
    if (!engine->voices.empty()) return;
    engine->mastering = nullptr;
    delete voice;
    record(AudioCall::DestroyVoice, 0, 0, 0.0f);  // voice 0: the mastering voice
}

AudioResult audioStartEngine(AudioEngine engine) {
    if (!engine) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::StartEngine, &fault)) return fault;
    engine->started = true;
    record(AudioCall::StartEngine, 0, 0, 0.0f);
    return AudioOk;
}

void audioStopEngine(AudioEngine engine) {
    if (!engine) return;
    engine->started = false;
    record(AudioCall::StopEngine, 0, 0, 0.0f);
}

AudioResult audioCommitChanges(AudioEngine engine, uint32_t operationSet) {
    if (!engine) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::CommitChanges, &fault)) return fault;
    record(AudioCall::CommitChanges, 0, operationSet, 0.0f);
    if (audioTestHooks) {
        engine->pendingEnd = commitQueued<apply>(engine->pending.get(), engine->pendingEnd, operationSet);
    } else {
        engine->pendingEnd = commitQueued<applyUnrecorded>(engine->pending.get(), engine->pendingEnd, operationSet);
    }
    return AudioOk;
}

// ---- Source voices ----

AudioResult audioCreateSourceVoice(AudioEngine engine, AudioSourceVoice* voice, const WaveFormat& format,
                                   uint32_t flags, float maxFrequencyRatio) {
    if (!engine || !voice) return AudioErrorInvalidArg;
    *voice = nullptr;
    AudioResult fault;
    if (audioTakeFault(AudioCall::CreateSourceVoice, &fault)) return fault;
    if (!engine->mastering) return AudioErrorInvalidCall;
    if (!formatSupported(format)) return AudioErrorInvalidArg;
    if (!(maxFrequencyRatio >= AudioMinFrequencyRatio && maxFrequencyRatio <= AudioMaxFrequencyRatio))
        return AudioErrorInvalidArg;
    auto* v = new (std::nothrow) AudioSourceVoiceObject();
    if (!v) return AudioErrorOutOfMemory;
    v->id = nextVoiceId++;
    v->engine = engine;
    v->format = format;
    v->flags = flags;
    v->maxFrequencyRatio = maxFrequencyRatio;
    engine->voices.push_back(v);
    makeRoom(*engine, PendingPerVoice * engine->voices.size());
    audioCountLive(AudioLiveObject::SourceVoice, 1);
    *voice = v;
    record(AudioCall::CreateSourceVoice, v->id, 0, maxFrequencyRatio);
    return AudioOk;
}

void audioDestroySourceVoice(AudioSourceVoice voice) {
    if (voice) destroySourceVoice(voice);
}

AudioResult audioStart(AudioSourceVoice voice, uint32_t, uint32_t operationSet) {
    if (!voice) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::Start, &fault)) return fault;
    requestOrApply(voice, AudioCall::Start, 0.0f, operationSet);
    return AudioOk;
}

AudioResult audioStop(AudioSourceVoice voice, uint32_t, uint32_t operationSet) {
    if (!voice) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::Stop, &fault)) return fault;
    requestOrApply(voice, AudioCall::Stop, 0.0f, operationSet);
    return AudioOk;
}

AudioResult audioSubmitBuffer(AudioSourceVoice voice, const AudioBuffer& buffer) {
    if (!voice) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::SubmitBuffer, &fault)) return fault;
    if (voice->queue.size() >= AudioMaxQueuedBuffers) return AudioErrorInvalidCall;
    if (!buffer.audioData || buffer.audioBytes == 0 || buffer.audioBytes > AudioMaxBufferBytes)
        return AudioErrorInvalidCall;
    if (buffer.audioBytes % voice->format.blockAlign != 0) return AudioErrorInvalidCall;
    const uint32_t frames = framesIn(*voice, buffer.audioBytes);
    QueuedBuffer q{};
    q.desc = buffer;
    q.playBegin = buffer.playBegin;
    if (q.playBegin >= frames) return AudioErrorInvalidCall;
    if (buffer.playLength != 0 && buffer.playLength > frames - q.playBegin) return AudioErrorInvalidCall;
    q.playEnd = buffer.playLength ? q.playBegin + buffer.playLength : frames;
    if (buffer.loopCount == 0) {
        if (buffer.loopBegin != 0 || buffer.loopLength != 0) return AudioErrorInvalidCall;
    } else {
        if (buffer.loopCount > AudioMaxLoopCount && buffer.loopCount != AudioLoopInfinite) return AudioErrorInvalidCall;
        q.loopBegin = buffer.loopBegin;
        q.loopEnd = buffer.loopLength ? buffer.loopBegin + buffer.loopLength : q.playEnd;
        if (q.loopBegin >= q.playEnd || q.loopEnd > q.playEnd || q.loopEnd <= q.loopBegin) return AudioErrorInvalidCall;
        q.infinite = buffer.loopCount == AudioLoopInfinite;
        q.loopsLeft = q.infinite ? 0 : buffer.loopCount;
    }
    if (voice->queue.empty()) voice->position = uint64_t{q.playBegin} << FractionBits;
    voice->queue.push_back(q);
    record(AudioCall::SubmitBuffer, voice->id, 0, static_cast<float>(q.playBegin));
    return AudioOk;
}

AudioResult audioFlushBuffers(AudioSourceVoice voice) {
    if (!voice) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::FlushBuffers, &fault)) return fault;
    if (voice->started && !voice->queue.empty()) {
        voice->queue.erase(voice->queue.begin() + 1, voice->queue.end());
    } else {
        voice->queue.clear();
        voice->position = 0;
    }
    record(AudioCall::FlushBuffers, voice->id, 0, 0.0f);
    return AudioOk;
}

void audioGetState(AudioSourceVoice voice, AudioVoiceState* state, uint32_t flags) {
    if (!voice || !state) return;
    state->currentBufferContext = voice->queue.empty() ? nullptr : voice->queue.front().desc.context;
    state->buffersQueued = static_cast<uint32_t>(voice->queue.size());
    if (!(flags & AudioVoiceNoSamplesPlayed)) state->samplesPlayed = voice->samplesPlayed;
}

namespace {

// The full path of both setters, for what the fast path leaves: no voice, a non-finite value, an
// armed fault, a request at once, a full queue. One instance per call, as cheap as two written out.
template <AudioCall call>
[[gnu::noinline]] AudioResult setFully(AudioSourceVoice voice, float value, uint32_t operationSet) {
    if (!voice) return AudioErrorInvalidArg;
    if (!std::isfinite(value)) {
        if (audioTestHooks) audioTestHooks->rejectedNonFinite();
        return AudioErrorInvalidArg;
    }
    AudioResult fault;
    if (audioTakeFault(call, &fault)) return fault;
    if constexpr (call == AudioCall::SetVolume) {
        value = std::clamp(value, -AudioMaxVolumeLevel, AudioMaxVolumeLevel);
    } else {
        if (voice->flags & AudioVoiceNoPitch) return AudioErrorInvalidCall;
        value = std::clamp(value, AudioMinFrequencyRatio, voice->maxFrequencyRatio);
    }
    requestOrApply(voice, call, value, operationSet);
    return AudioOk;
}

}  // namespace

// Volume and ratio requests come 80 to a frame: the common case is a few tests and one store, and
// everything rare (no voice, a non-finite value, an armed fault, at once, a full queue) takes the
// full path, kept out of line so that the common one saves no registers.
// A value inside the engine's range is finite and needs no clamping.
AudioResult audioSetVolume(AudioSourceVoice voice, float volume, uint32_t operationSet) {
    if (voice && std::fabs(volume) <= AudioMaxVolumeLevel &&
        queueFast(voice, AudioCall::SetVolume, volume, operationSet))
        return AudioOk;
    return setFully<AudioCall::SetVolume>(voice, volume, operationSet);
}

AudioResult audioSetFrequencyRatio(AudioSourceVoice voice, float ratio, uint32_t operationSet) {
    if (voice && !(voice->flags & AudioVoiceNoPitch)) {
        float clamped = ratio;
        if (!(ratio >= AudioMinFrequencyRatio && ratio <= voice->maxFrequencyRatio)) [[unlikely]] {
            // A standing train asks for ratio 0 on every layer: a finite value out of range is
            // clamped here too.
            if (!std::isfinite(ratio)) return setFully<AudioCall::SetFrequencyRatio>(voice, ratio, operationSet);
            clamped = ratio < AudioMinFrequencyRatio ? AudioMinFrequencyRatio : voice->maxFrequencyRatio;
        }
        if (queueFast(voice, AudioCall::SetFrequencyRatio, clamped, operationSet)) return AudioOk;
    }
    return setFully<AudioCall::SetFrequencyRatio>(voice, ratio, operationSet);
}

// ---- EXT ----

bool audioVoiceInfo(AudioSourceVoice voice, AudioVoiceInfo* info) {
    if (!voice || !info) return false;
    *info = {};
    info->id = voice->id;
    info->format = voice->format;
    info->flags = voice->flags;
    info->maxFrequencyRatio = voice->maxFrequencyRatio;
    info->started = voice->started;
    info->volume = voice->volume;
    info->frequencyRatio = voice->frequencyRatio;
    info->buffersQueued = static_cast<uint32_t>(voice->queue.size());
    if (!voice->queue.empty()) {
        const QueuedBuffer& b = voice->queue.front();
        info->playingData = b.desc.audioData;
        info->playBegin = b.desc.playBegin;
        info->playLength = b.desc.playLength;
        info->loopCount = b.desc.loopCount;
    }
    info->positionFrames = static_cast<double>(voice->position) / static_cast<double>(One);
    info->samplesPlayed = voice->samplesPlayed;
    return true;
}

uint32_t audioMixSampleRate(AudioEngine engine) {
    return engine && engine->mastering ? engine->mastering->sampleRate : 0;
}

void audioRender(AudioEngine engine, float* stereo, uint32_t frameCount) {
    if (!stereo) return;
    std::fill(stereo, stereo + 2 * static_cast<size_t>(frameCount), 0.0f);
    if (!engine || !engine->started || !engine->mastering) return;
    for (AudioSourceVoiceObject* v : engine->voices) {
        if (v->started) renderVoice(*v, engine->mastering->sampleRate, stereo, frameCount);
    }
}

}  // namespace platform
