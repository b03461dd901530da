// One playable sound of the plug-in's own: its decoded samples and its platform voice.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "platform/audio.h"
#include "platform/platform.h"

namespace sound {

using platform::AudioResult;

// What the engine receives for a non-finite frequency ratio: the recorded pitch for NaN, the
// platform's limit for an infinity.
float finiteFrequencyRatio(float ratio);

struct SoundVoice {
    platform::AudioEngine engine = nullptr;      // a counted reference while loaded
    platform::AudioSourceVoice voice = nullptr;  // owned; null when empty
    std::vector<uint8_t> pcm;                    // the voice plays straight from this vector
    uint32_t loopCount = platform::AudioLoopInfinite;
    uint32_t voiceFlags = 0;
    float maxFrequencyRatio = 2.0f;
    std::unique_ptr<platform::AudioBuffer> buffer;
    std::unique_ptr<platform::WaveFormat> format;
    bool playing = false;    // a start succeeded and no stop since
    bool triggered = false;  // only the air-sound logic sets and reads it
    // The last volume and frequency ratio that the engine took for this voice, NaN while unknown
    // (no request can be NaN, so an unknown value never matches). A request for the value the
    // voice already has is not sent: each one takes the engine's lock, which its mixing thread
    // holds too.
    float sentVolume = NotSent;
    float sentRatio = NotSent;
    // The operation set of the last deferred request the engine took for this voice.
    uint32_t sentOperationSet = platform::AudioCommitNow;

    SoundVoice() = default;
    SoundVoice(const SoundVoice&) = delete;
    SoundVoice& operator=(const SoundVoice&) = delete;
    // A move hands the voice over and leaves the source empty, so that resetting a plug-in by
    // assignment releases what it held exactly once.
    SoundVoice(SoundVoice&& other) noexcept { *this = std::move(other); }
    SoundVoice& operator=(SoundVoice&& other) noexcept;
    ~SoundVoice() { reset(); }

    static constexpr float NotSent = std::numeric_limits<float>::quiet_NaN();

    bool looping() const { return loopCount == platform::AudioLoopInfinite; }
    // Whether a deferred request of the operation set waits for its commit on this voice.
    bool waitsForCommit(uint32_t operationSet) const {
        return operationSet != platform::AudioCommitNow && sentOperationSet == operationSet;
    }

    // Loads or reloads the sound from a file; writes its lines to the log unless the log is null.
    // Returns the result of the last platform step. totalBudgetBytes: what is left of the bound on
    // the decoded sound of all files together.
    AudioResult load(platform::AudioEngine globalEngine, const platform::Path& path, std::FILE* log, uint32_t loopCount,
                     uint32_t voiceFlags, float maxFrequencyRatio, size_t totalBudgetBytes = SIZE_MAX);
    AudioResult start(uint32_t operationSet);
    AudioResult stop(uint32_t operationSet);
    // From the start of the buffer (its play begin).
    AudioResult play(uint32_t operationSet);
    // Back to the start of the buffer at once, without changing whether it plays.
    AudioResult rewind();
    // The next submission begins at this sample frame and plays once to the end.
    void setPlayBegin(uint32_t firstSample);
    // Inline: every frame makes one of each per motor-noise layer.
    AudioResult setVolume(float volume, uint32_t operationSet) {
        if (!voice) return platform::AudioErrorInvalidCall;
        // A value that is not a number must never reach the engine; silence is the safe reading.
        if (!std::isfinite(volume)) [[unlikely]]
            volume = 0.0f;
        return sendVolume(volume, operationSet);
    }
    AudioResult setVolumeClamped(float volume, uint32_t operationSet);
    AudioResult setFrequencyRatio(float ratio, uint32_t operationSet) {
        if (!voice) return platform::AudioErrorInvalidCall;
        if (!std::isfinite(ratio)) [[unlikely]]
            ratio = finiteFrequencyRatio(ratio);
        return sendRatio(ratio, operationSet);
    }
    // The same for a voice that exists and a finite value: only a change reaches the engine.
    AudioResult sendVolume(float volume, uint32_t operationSet) {
        return sendChange<platform::audioSetVolume>(volume, sentVolume, operationSet);
    }
    AudioResult sendRatio(float ratio, uint32_t operationSet) {
        return sendChange<platform::audioSetFrequencyRatio>(ratio, sentRatio, operationSet);
    }
    // A refused request is not remembered, so the next frame asks again.
    template <AudioResult (*Set)(platform::AudioSourceVoice, float, uint32_t)>
    AudioResult sendChange(float value, float& sent, uint32_t operationSet) {
        if (value == sent) return platform::AudioOk;
        const AudioResult result = Set(voice, value, operationSet);
        if (!platform::audioFailed(result)) {
            sent = value;
            noteDeferred(operationSet);
        }
        return result;
    }
    // A request made at once leaves nothing for the commit.
    void noteDeferred(uint32_t operationSet) {
        if (operationSet != platform::AudioCommitNow) sentOperationSet = operationSet;
    }
    // A new voice, or none: the engine's values are unknown again.
    void forgetSentValues() {
        sentVolume = NotSent;
        sentRatio = NotSent;
        sentOperationSet = platform::AudioCommitNow;
    }
    // Back to the empty default state.
    void reset();
};

// Length in sample frames from the decoded data; `previous` when the sound has no format.
uint32_t soundLengthFrames(const SoundVoice& sound, uint32_t previous);

}  // namespace sound
