// Placeholder sounds for a vehicle folder: 41 motor-noise layers, each a loop with its own spectrum
// so that every crossfade can be heard, and the three air sounds. Deterministic: the same files on
// every run. The sample vehicle and `cabhost new` use them until the author records real ones.
#pragma once

#include <string>

#include "platform/platform.h"

namespace cabhost {

// Writes atsmotornoise/0.wav to 40.wav, bc.wav, sap.wav and sapHigh.wav into vehicle (created
// when missing); false with the reason in error.
bool writeVehicleSounds(const platform::Path& vehicle, std::string& error);

}  // namespace cabhost
