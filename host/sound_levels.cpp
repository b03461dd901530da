#include "host/sound_levels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>

#include "corvane/lifecycle.h"
#include "host/plugin_driver.h"
#include "platform/audio.h"
#include "platform/host.h"
#include "platform/platform.h"

namespace cabhost {

const char* const AirSoundNames[3] = {"bc", "sap", "sapHigh"};

namespace {

// About an hour of 20 ms frames: the levels of a longer run stop there, so memory stays bounded.
constexpr size_t MaxFrames = 200000;

}  // namespace

void startSoundLevels(SoundLevels& levels, bool linked) {
    levels = {};
    if (!linked) {
        levels.note =
            "a plug-in library (--plugin) mixes its own sounds itself, where the host cannot read them back; run "
            "Corvane linked in (without --plugin) to see its sound layers";
        return;
    }
    if (!linkedCorvane().audio.engine) {
        levels.note = "Corvane created no audio engine (its start-up log says why)";
        return;
    }
    levels.active = true;
}

void recordSoundLevels(SoundLevels& levels, double timeS) {
    if (!levels.active) return;
    if (levels.timeS.size() >= MaxFrames) {
        levels.note = "the sound levels stop after the first " + std::to_string(MaxFrames) + " frames";
        return;
    }
    const sound::AudioState& state = linkedCorvane().audio;
    const auto add = [&](const sound::SoundVoice& voice) {
        constexpr float none = std::numeric_limits<float>::quiet_NaN();
        platform::AudioVoiceInfo info{};
        // A one-shot that has played to its end has nothing queued; a loop always has its buffer.
        if (!voice.voice || !platform::audioVoiceInfo(voice.voice, &info) || !info.started || info.buffersQueued == 0) {
            levels.volume.push_back(none);
            levels.frequencyRatio.push_back(none);
            return;
        }
        levels.volume.push_back(info.volume);
        levels.frequencyRatio.push_back(info.frequencyRatio);
    };
    levels.timeS.push_back(timeS);
    for (const sound::SoundVoice& layer : state.motorNoise) add(layer);
    add(state.bcSound);
    add(state.sapSound);
    add(state.sapHighSound);
}

std::string soundLevelColumn(int row) {
    return row < MotorNoiseRows ? "layer_" + std::to_string(row) : AirSoundNames[row - MotorNoiseRows];
}

bool writeSoundLevelsCsv(const SoundLevels& levels, const platform::Path& file, std::string& error) {
    std::FILE* out = platform::hostOpenBinaryFileForWriting(file);
    if (!out) {
        error = "cannot create " + platform::pathToUtf8(file);
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(out, std::fclose);
    std::string line = "time_s";
    for (int row = 0; row < SoundLevelRows; ++row) line += "," + soundLevelColumn(row);
    line += '\n';
    const size_t frames = std::min(levels.timeS.size(), levels.volume.size() / SoundLevelRows);
    for (size_t f = 0; f < frames; ++f) {
        char text[48];
        auto end = std::to_chars(text, text + sizeof text, levels.timeS[f], std::chars_format::fixed, 3).ptr;
        line.append(text, end);
        for (int row = 0; row < SoundLevelRows; ++row) {
            line += ',';
            const float v = levels.volume[f * SoundLevelRows + row];
            if (std::isnan(v)) continue;
            end = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 5).ptr;
            line.append(text, end);
        }
        line += '\n';
        if (line.size() > 60000 || f + 1 == frames) {
            std::fwrite(line.data(), 1, line.size(), out);
            line.clear();
        }
    }
    if (!line.empty()) std::fwrite(line.data(), 1, line.size(), out);
    if (std::ferror(out) || std::fclose(closer.release()) != 0) {
        error = "cannot write " + platform::pathToUtf8(file) + " (disk full?)";
        return false;
    }
    return true;
}

bool readSoundLevelsCsv(const platform::Path& file, SoundLevels& levels, std::string& error) {
    const std::string name = platform::pathToUtf8(file);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open " + name;
        return false;
    }
    levels = {};
    std::string line, expected = "time_s";
    for (int row = 0; row < SoundLevelRows; ++row) expected += "," + soundLevelColumn(row);
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != expected) {
        error = name + ":1: not the sound levels of a cabhost run of this version";
        return false;
    }
    size_t lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const char* p = line.data();
        const char* const end = p + line.size();
        double timeS = 0.0;
        auto result = std::from_chars(p, end, timeS);
        bool ok = result.ec == std::errc();
        p = result.ptr;
        for (int row = 0; ok && row < SoundLevelRows; ++row) {
            ok = p < end && *p == ',';
            ++p;
            float v = std::numeric_limits<float>::quiet_NaN();
            if (ok && p < end && *p != ',') {
                result = std::from_chars(p, end, v);
                ok = result.ec == std::errc();
                p = result.ptr;
            }
            levels.volume.push_back(v);
        }
        // Times run forward, as the frames did.
        ok = ok && std::isfinite(timeS) && (levels.timeS.empty() || timeS >= levels.timeS.back());
        if (!ok || p != end || levels.timeS.size() >= MaxFrames) {
            error = name + ":" + std::to_string(lineNumber) + ": not a row of sound levels written by cabhost";
            levels = {};
            return false;
        }
        levels.timeS.push_back(timeS);
    }
    levels.frequencyRatio.assign(levels.volume.size(), std::numeric_limits<float>::quiet_NaN());
    levels.active = !levels.timeS.empty();
    return true;
}

}  // namespace cabhost
