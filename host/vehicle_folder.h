// Finding the plug-in folder (the one that holds Notch.txt) from what a user names: the plug-in
// folder itself or the vehicle folder above it.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace cabhost {

// The plug-in folder with a trailing separator; throws std::runtime_error with a clear message.
platform::Path findPluginDirectory(const platform::Path& given);

// UTF-8 text as code points (invalid bytes become U+FFFD), for names read from files.
std::u32string decodeUtf8(std::string_view text);

}  // namespace cabhost
