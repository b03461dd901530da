#include "host/sound_levels.h"

#include <cmath>
#include <limits>

#include "corvane/plugin.h"
#include "host/plugin_driver.h"
#include "platform/audio.h"
#include "platform/platform.h"

namespace cabhost {

const char* const AirSoundNames[3] = {"bc", "sap", "sapHigh"};

namespace {

// About an hour of 20 ms frames: the levels of a longer run stop there, so memory stays bounded.
constexpr size_t MaxFrames = 200000;

}  // namespace

void startSoundLevels(SoundLevels& levels, bool linked) {
    levels = {};
    if (!linked) {
        levels.note =
            "a plug-in library (--plugin) mixes its own sounds itself, where the host cannot read them back; run "
            "Corvane linked in (without --plugin) to see its sound layers";
        return;
    }
    if (!linkedCorvane().audio.engine) {
        levels.note = "Corvane created no audio engine (its start-up log says why)";
        return;
    }
    levels.active = true;
}

void recordSoundLevels(SoundLevels& levels, double timeS) {
    if (!levels.active) return;
    if (levels.timeS.size() >= MaxFrames) {
        levels.note = "the sound levels stop after the first " + std::to_string(MaxFrames) + " frames";
        return;
    }
    const sound::AudioState& state = linkedCorvane().audio;
    const auto add = [&](const sound::SoundVoice& voice) {
        constexpr float none = std::numeric_limits<float>::quiet_NaN();
        platform::AudioVoiceInfo info{};
        // A one-shot that has played to its end has nothing queued; a loop always has its buffer.
        if (!voice.voice || !platform::audioVoiceInfo(voice.voice, &info) || !info.started || info.buffersQueued == 0) {
            levels.volume.push_back(none);
            levels.frequencyRatio.push_back(none);
            return;
        }
        levels.volume.push_back(info.volume);
        levels.frequencyRatio.push_back(info.frequencyRatio);
    };
    levels.timeS.push_back(timeS);
    for (const sound::SoundVoice& layer : state.motorNoise) add(layer);
    add(state.bcSound);
    add(state.sapSound);
    add(state.sapHighSound);
}

}  // namespace cabhost
