// The audio start-up log: its lines, written as UTF-8 to a stream opened in text mode.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/audio.h"
#include "platform/platform.h"

namespace sound {

// The file name of the log inside the plug-in directory.
inline constexpr std::u32string_view AudioLogFileName = U"XAudio2初期化ログ.txt";

// printf's "%#x" (upperCase false) or "%#X" (true) of a 32-bit value: "0x1f" / "0X1F", and "0"
// for zero. Formatted here rather than by the C runtime so every build writes the same bytes.
std::string alternateHex(uint32_t value, bool upperCase);

// Each function does nothing for a null log.
void logStarted(std::FILE* log, const platform::LocalTime& time);
void logEngineFailed(std::FILE* log, platform::AudioResult result);
void logEngineCreated(std::FILE* log);
void logMasteringFailed(std::FILE* log, platform::AudioResult result);
void logMasteringCreated(std::FILE* log);
void logSourceVoiceFailed(std::FILE* log, platform::AudioResult result);
void logSourceVoiceCreated(std::FILE* log);
void logFileName(std::FILE* log, const platform::Path& normalisedPath);
// After the file-name line of a sound that was refused before it reached a voice: why.
void logReason(std::FILE* log, std::string_view reason);
void logFinished(std::FILE* log, const platform::LocalTime& time);

}  // namespace sound
