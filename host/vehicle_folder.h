// Finding the plug-in folder (the one that holds Notch.txt) from what a user names: the plug-in
// folder itself or the vehicle folder above it.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace cabhost {

// The plug-in folder with a trailing separator; throws std::runtime_error with a clear message.
platform::Path findPluginDirectory(const platform::Path& given);

// Throws std::runtime_error naming the limit when path (made absolute) is longer than this platform's
// file functions open; what says what the path is ("the vehicle folder").
void requireOpenableLength(const platform::Path& path, std::string_view what);

// UTF-8 text as code points (invalid bytes become U+FFFD), for names read from files.
std::u32string decodeUtf8(std::string_view text);

}  // namespace cabhost
