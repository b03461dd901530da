// The straight-air-pipe exhaust and the brake-cylinder exhaust.
#pragma once

#include <cstdint>

namespace sound {

struct AudioState;

// The exhaust has been started and not yet stopped (kept even when the sound file is missing).
bool exhaustPlaying(const AudioState& audio);
// Start of the exhaust, playing the recording from the fraction p of its length.
void startExhaust(AudioState& audio, float firstSampleFraction, uint32_t operationSet);
void stopExhaust(AudioState& audio, uint32_t operationSet);
void setCylinderExhaustLevel(AudioState& audio, float level, uint32_t operationSet);
void muteCylinderExhaust(AudioState& audio, uint32_t operationSet);

}  // namespace sound
