// Corvane's own sounds on the platform's audio engine: start-up in Load, the per-frame protocol,
// tear-down in Dispose.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace sound {

// Load step 3: writes the start-up log in the plug-in directory and, if it could be opened,
// creates the engine and every voice.
void audioStartup(const platform::Path& pluginDirectory);
// Dispose: releases the sounds in load order, then the engine.
void audioShutdown();

// Start of a frame: restarts an engine that the pause key stopped, then samples the pause key.
void beginAudioFrame();
// End of a frame: stops the engine while paused, then commits the frame's operation set.
// Returns false when the frame must end without a commit (paused with no engine).
bool endAudioFrame(uint32_t operationSet);

}  // namespace sound
