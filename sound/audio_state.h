// Corvane's own sounds on the platform's audio engine: start-up in Load, the per-frame protocol,
// tear-down in Dispose.
#pragma once

#include <array>
#include <cstdint>

#include "platform/audio.h"
#include "platform/platform.h"
#include "sound/motor_layers.h"
#include "sound/sound_voice.h"

namespace sound {

constexpr float MotorNoiseMaxFrequencyRatio = 25.0f;
constexpr float AirSoundMaxFrequencyRatio = 2.0f;
constexpr uint32_t OneShot = 0;

// The audio of one plug-in instance.
struct AudioState {
    platform::AudioEngine engine = nullptr;  // the global counted reference
    platform::AudioMasteringVoice mastering = nullptr;
    bool pauseFlag = false;
    std::array<SoundVoice, MotorNoiseLayers> motorNoise;
    SoundVoice bcSound;
    SoundVoice sapSound;
    SoundVoice sapHighSound;
    uint32_t sapHighLength = 0;  // sample frames
};

// In Load, after the notch file: writes the start-up log in the plug-in directory and, if it could be opened,
// creates the engine and every voice. Then derives the length of the straight-air-pipe exhaust.
// A failed existence test of a motor-noise file throws platform::FileSystemError (the log is
// closed first).
void audioStartup(AudioState& state, const platform::Path& pluginDirectory);
// Dispose: releases the sounds in load order, then the engine.
void audioShutdown(AudioState& state);

// Start of a frame: restarts an engine that the pause key stopped, then takes the pause key's state
// as the entry point read it.
void beginAudioFrame(AudioState& state, bool pauseKeyDown);
// End of a frame: stops the engine while paused, then commits the frame's operation set.
// Returns false when the frame must end without a commit (paused with no engine).
bool endAudioFrame(AudioState& state, uint32_t operationSet);

}  // namespace sound
