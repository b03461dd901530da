// The straight-air-pipe exhaust and the brake-cylinder exhaust.
#pragma once

#include <cstdint>

namespace sound {

// The exhaust has been started and not yet stopped (kept even when the sound file is missing).
bool exhaustPlaying();
// Start of the exhaust, playing the recording from the fraction p of its length.
void startExhaust(float firstSampleFraction, uint32_t operationSet);
void stopExhaust(uint32_t operationSet);
void setCylinderExhaustLevel(float level, uint32_t operationSet);
void muteCylinderExhaust(uint32_t operationSet);

}  // namespace sound
