// 16-bit PCM WAV files, written without any library so that the same code serves every build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

// Interleaved samples; false with the reason in error.
bool writeWav16(const platform::Path& file, uint32_t sampleRate, uint16_t channels, const std::vector<int16_t>& samples,
                std::string& error);

}  // namespace cabhost
