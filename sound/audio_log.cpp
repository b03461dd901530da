#include "sound/audio_log.h"

#include "platform/audio.h"

namespace sound {
namespace {

// Every line goes through to the file at once: after a crash or a hang during Load the log still
// shows how far the set-up came.
void write(std::FILE* log, std::string_view text) {
    if (!log) return;
    std::fwrite(text.data(), 1, text.size(), log);
    std::fflush(log);
}

void writeTime(std::FILE* log, const platform::LocalTime& t) {
    if (!log) return;
    std::fprintf(log, "%d年%d月%d日%d時%d分%d秒%d\n", t.year, t.month, t.day, t.hour, t.minute, t.second,
                 t.millisecond);
    std::fflush(log);
}

}  // namespace

std::string alternateHex(uint32_t value, bool upperCase) {
    if (value == 0) return "0";
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    for (; value != 0; value >>= 4) text.insert(text.begin(), digits[value & 0xF]);
    return (upperCase ? "0X" : "0x") + text;
}

void logStarted(std::FILE* log, const platform::LocalTime& time) {
    writeTime(log, time);
    write(log, "XAudio2初期化開始\n");
}

void logEngineFailed(std::FILE* log, platform::AudioResult result) {
    write(log, "XAudio2作成失敗\nエラー:" + alternateHex(static_cast<uint32_t>(result), false) + "\n");
}

void logEngineCreated(std::FILE* log) {
    write(log, "XAudio2作成成功\n");
}

void logMasteringFailed(std::FILE* log, platform::AudioResult result) {
    write(log, "マスターボイスの作成失敗\nエラー:" + alternateHex(static_cast<uint32_t>(result), true) + "\n");
}

void logMasteringCreated(std::FILE* log) {
    write(log, "マスターボイスの作成成功\n");
}

void logSourceVoiceFailed(std::FILE* log, platform::AudioResult result) {
    write(log, "ソースボイスの作成失敗\nエラー:" + alternateHex(static_cast<uint32_t>(result), true) + "\n");
}

void logSourceVoiceCreated(std::FILE* log) {
    write(log, "ソースボイスの作成成功\n");
}

void logFileName(std::FILE* log, const platform::Path& normalisedPath) {
    write(log, "ファイル名：" + platform::pathToUtf8(normalisedPath) + "\n");
}

void logReason(std::FILE* log, std::string_view reason) {
    write(log, "理由：" + std::string(reason) + "\n");
}

void logFinished(std::FILE* log, const platform::LocalTime& time) {
    writeTime(log, time);
    write(log, "XAudio2初期化完了\n");
}

}  // namespace sound
