// Files for the fuzz targets: one scratch folder per process under the temporary directory, and
// inputs cut into several files. Nothing is ever written outside the scratch folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace fuzz {

// The process's scratch folder (created on first use, removed at exit).
const platform::Path& scratchDirectory();
// Empties the scratch folder, keeping the folder itself.
void clearScratch();
// Writes bytes to a file below the scratch folder, creating the folders on the way.
platform::Path writeScratchFile(const platform::Path& relative, std::string_view bytes);

// The input cut at every occurrence of the separator; always at least one part.
std::vector<std::string_view> splitInput(const uint8_t* data, size_t size, std::string_view separator);

// True when a file name read from the input, joined to the folder, would reach outside it or into
// a device. Such inputs are skipped, so that a target only ever reads its own files.
bool leavesFolder(const platform::Path& folder, std::string_view text);

// Floats a host or a file may produce, chosen by a byte: the specials first, then raw bits.
float interestingFloat(uint8_t choice, uint32_t rawBits);
int32_t interestingInt(uint8_t choice, uint32_t raw);

}  // namespace fuzz
