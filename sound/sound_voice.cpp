#include "sound/sound_voice.h"

#include <algorithm>
#include <cmath>

#include "platform/audio.h"
#include "sound/audio_log.h"
#include "sound/decode.h"

namespace sound {

using platform::AudioErrorInvalidCall;
using platform::audioFailed;
using platform::AudioOk;

AudioResult SoundVoice::load(platform::AudioEngine globalEngine, const platform::Path& path, std::FILE* log,
                             uint32_t newLoopCount, uint32_t newVoiceFlags, float newMaxFrequencyRatio,
                             size_t totalBudgetBytes) {
    if (playing) stop(platform::AudioCommitNow);
    forgetSentValues();
    if (voice) {
        platform::audioDestroySourceVoice(voice);
        voice = nullptr;
        // The new voice has not been started, whatever happened to the stop of the old one.
        playing = false;
    }
    pcm.clear();
    if (!format) format = std::make_unique<platform::WaveFormat>();
    *format = {};
    if (!buffer) buffer = std::make_unique<platform::AudioBuffer>();
    *buffer = {};
    if (engine != globalEngine) {
        platform::audioRelease(engine);
        engine = globalEngine;
        platform::audioAddRef(engine);
    }
    loopCount = newLoopCount;
    triggered = false;
    voiceFlags = newVoiceFlags;
    maxFrequencyRatio = newMaxFrequencyRatio;

    const platform::Path normalised = normalisePath(path);
    const DecodeOutcome decoded =
        decodeToPcm(normalised, *format, pcm, std::min(totalBudgetBytes, MaxDecodedBytesTotal));
    AudioResult result = decoded.result;
    if (decoded.formatRejected) {
        if (decoded.startedMedia) platform::mediaShutdown();
        return result;
    }
    if (audioFailed(result)) {
        reset();
    } else {
        result = platform::audioCreateSourceVoice(engine, &voice, *format, voiceFlags, maxFrequencyRatio);
        if (audioFailed(result)) {
            voice = nullptr;
            reset();
        } else {
            buffer->audioData = pcm.data();
            buffer->flags = platform::AudioEndOfStream;
            buffer->audioBytes = static_cast<uint32_t>(pcm.size());
            buffer->loopCount = loopCount;
            if (looping()) {
                result = platform::audioSubmitBuffer(voice, *buffer);
                if (!audioFailed(platform::audioStart(voice, 0, platform::AudioCommitNow))) playing = true;
                platform::audioSetVolume(voice, 0.0f, platform::AudioCommitNow);
            }
        }
    }

    if (decoded.startedMedia) platform::mediaShutdown();
    if (log) {
        if (audioFailed(result)) {
            logSourceVoiceFailed(log, result);
        } else {
            logSourceVoiceCreated(log);
        }
        logFileName(log, normalised);
        if (decoded.refused.refusal != Refusal::None) logReason(log, refusalReason(decoded.refused));
    }
    return result;
}

AudioResult SoundVoice::start(uint32_t operationSet) {
    if (!looping()) return play(operationSet);
    if (!voice) return AudioErrorInvalidCall;
    const AudioResult result = platform::audioStart(voice, 0, operationSet);
    if (!audioFailed(result)) {
        playing = true;
        noteDeferred(operationSet);
    }
    return result;
}

AudioResult SoundVoice::stop(uint32_t operationSet) {
    if (!voice) return AudioErrorInvalidCall;
    if (looping()) {
        if (!audioFailed(platform::audioStop(voice, 0, operationSet))) {
            playing = false;
            noteDeferred(operationSet);
        }
        return AudioOk;
    }
    if (playing) {
        const AudioResult result = platform::audioStop(voice, 0, operationSet);
        if (audioFailed(result)) return result;
        playing = false;
        noteDeferred(operationSet);
    }
    return platform::audioFlushBuffers(voice);
}

AudioResult SoundVoice::play(uint32_t operationSet) {
    if (!voice) return AudioErrorInvalidCall;
    AudioResult result = AudioOk;
    bool sounding = true;
    if (!looping()) {
        platform::AudioVoiceState state{};
        platform::audioGetState(voice, &state, platform::AudioVoiceNoSamplesPlayed);
        sounding = state.buffersQueued != 0;
    }
    if (sounding && playing) {
        result = platform::audioStop(voice, 0, platform::AudioCommitNow);
        if (audioFailed(result)) return result;
        playing = false;
        result = platform::audioFlushBuffers(voice);
        if (audioFailed(result)) return result;
    }
    if (buffer) {
        result = platform::audioSubmitBuffer(voice, *buffer);
        if (audioFailed(result)) return result;
    }
    if (!playing) {
        result = platform::audioStart(voice, 0, operationSet);
        if (!audioFailed(result)) {
            playing = true;
            noteDeferred(operationSet);
        }
    }
    return result;
}

AudioResult SoundVoice::rewind() {
    if (!voice) return AudioErrorInvalidCall;
    AudioResult result = AudioOk;
    if (playing) {
        result = platform::audioStop(voice, 0, platform::AudioCommitNow);
        if (audioFailed(result)) return result;
    }
    result = platform::audioFlushBuffers(voice);
    if (audioFailed(result)) return result;
    if (buffer) {
        result = platform::audioSubmitBuffer(voice, *buffer);
        if (audioFailed(result)) return result;
    }
    if (playing) result = platform::audioStart(voice, 0, platform::AudioCommitNow);
    return result;
}

void SoundVoice::setPlayBegin(uint32_t firstSample) {
    if (!buffer) return;
    if (voice) platform::audioFlushBuffers(voice);
    buffer->playBegin = firstSample;
    buffer->playLength = 0;
    buffer->loopBegin = 0;
    buffer->loopLength = 0;
    buffer->loopCount = 0;
}

AudioResult SoundVoice::setVolumeClamped(float volume, uint32_t operationSet) {
    if (volume < 0.0f) volume = 0.0f;
    if (volume > 1.0f) volume = 1.0f;
    return setVolume(volume, operationSet);
}

float finiteFrequencyRatio(float ratio) {
    if (std::isnan(ratio)) return 1.0f;
    if (std::isinf(ratio)) return ratio > 0.0f ? platform::AudioMaxFrequencyRatio : platform::AudioMinFrequencyRatio;
    return ratio;
}

SoundVoice& SoundVoice::operator=(SoundVoice&& other) noexcept {
    if (this == &other) return *this;
    reset();
    engine = std::exchange(other.engine, nullptr);
    voice = std::exchange(other.voice, nullptr);
    pcm = std::move(other.pcm);
    loopCount = other.loopCount;
    voiceFlags = other.voiceFlags;
    maxFrequencyRatio = other.maxFrequencyRatio;
    buffer = std::move(other.buffer);
    format = std::move(other.format);
    playing = std::exchange(other.playing, false);
    triggered = other.triggered;
    sentVolume = other.sentVolume;
    sentRatio = other.sentRatio;
    sentOperationSet = other.sentOperationSet;
    other.reset();
    return *this;
}

void SoundVoice::reset() {
    if (playing) stop(platform::AudioCommitNow);
    forgetSentValues();
    if (voice) {
        platform::audioDestroySourceVoice(voice);
        voice = nullptr;
    }
    if (engine) {
        platform::audioRelease(engine);
        engine = nullptr;
    }
    loopCount = platform::AudioLoopInfinite;
    std::vector<uint8_t>().swap(pcm);
    format.reset();
    buffer.reset();
    playing = false;
    triggered = false;
    voiceFlags = 0;
    maxFrequencyRatio = 2.0f;
}

uint32_t soundLengthFrames(const SoundVoice& sound, uint32_t previous) {
    if (!sound.format || sound.format->channels == 0 || sound.format->bitsPerSample == 0) return previous;
    // Wide arithmetic: the byte count times 8 does not fit 32 bits for sounds above 512 MB.
    const uint64_t bits = static_cast<uint64_t>(sound.pcm.size()) * 8u;
    return static_cast<uint32_t>(bits / sound.format->channels / sound.format->bitsPerSample);
}

}  // namespace sound
