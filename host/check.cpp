#include "host/check.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "config/curve_file.h"
#include "config/needle_tables.h"
#include "config/text_reader.h"
#include "config/vehicle_check.h"
#include "host/chain_check.h"
#include "host/vehicle_folder.h"
#include "platform/audio.h"
#include "sound/decode.h"
#include "sound/motor_layers.h"

namespace cabhost {
namespace {

std::string text(const platform::Path& p) {
    return platform::pathToUtf8(p);
}

bool existsQuietly(const platform::Path& p) {
    try {
        return platform::exists(p);
    } catch (const std::exception&) {
        return false;
    }
}

void addErrorOnce(CheckReport& r, const std::string& error) {
    if (std::find(r.errors.begin(), r.errors.end(), error) == r.errors.end()) r.errors.push_back(error);
}

// The needle tables one by one, so that every malformed table is named, not only the first (which
// the whole load has already reported).
void checkNeedleTablesSeparately(const platform::Path& pluginDirectory, CheckReport& r) {
    for (std::string_view file : config::NeedleTableFiles) {
        config::CurveTable table;
        try {
            config::readCurveColumn(platform::joinPath(pluginDirectory, file), 1, table, "needle table");
        } catch (const std::exception& error) {
            addErrorOnce(r, error.what());
        }
    }
}

// A layer file that Corvane never opens because its name is not exactly the layer's number
// ("07.wav" for layer 7): named, so that the author sees why the layer stays silent.
void noteStrayLayerFiles(const platform::Path& folder, CheckReport& r) {
    std::error_code ec;
    std::filesystem::directory_iterator entries(folder, ec);
    if (ec) return;
    for (const std::filesystem::directory_entry& entry : entries) {
        const std::string name = text(entry.path().filename());
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot == 0) continue;
        const std::string stem = name.substr(0, dot), extension = name.substr(dot);
        if (stem.find_first_not_of("0123456789") != std::string::npos || stem.size() > 4) continue;
        const int layer = std::stoi(stem);
        const std::string wanted = std::to_string(layer) + ".wav";
        if (layer > 40 || name == wanted) continue;
        if (existsQuietly(platform::joinPath(folder, wanted))) continue;
        r.warnings.push_back(text(entry.path()) + " is never read: layer " + std::to_string(layer) + " must be named " +
                             wanted + " (no leading zeros, extension in small letters)");
    }
}

void checkChain(const platform::Path& pluginDirectory, CheckReport& r) {
    const platform::Path list = platform::joinPath(pluginDirectory, "detailmodules.txt");
    std::vector<ChainListLine> lines;
    const ChainList read = readChainList(list, lines);
    if (read == ChainList::Missing) {
        r.warnings.push_back(
            "no detailmodules.txt: no plug-in is chained, so Corvane returns power 0 and brake 0 to the host "
            "whatever the driver does (the driver's handles reach the host only through a chained plug-in that "
            "passes them on)");
        return;
    }
    if (read == ChainList::Utf16) {
        r.warnings.push_back(text(list) + ": " + config::Utf16Advice + "; Corvane chains nothing from it");
        return;
    }
    int usable = 0;
    const uint16_t machine = corvaneMachine(pluginDirectory);
    for (const auto& [number, line] : lines) {
        const platform::Path path = platform::joinPath(pluginDirectory, decodeUtf8(line));
        const bool exists = existsQuietly(path);
        const size_t warned = r.warnings.size();
        checkChainedLibrary(text(list), number, line, path, exists, machine, r.warnings);
        if (exists && r.warnings.size() == warned) {
            ++usable;
            r.facts.push_back("chained plug-in (" + text(list) + " line " + std::to_string(number) +
                              "): " + text(path));
        } else if (!exists) {
            r.missing.push_back(text(list) + " line " + std::to_string(number) + ": " + text(path) +
                                " is not there; Corvane skips it silently");
        }
    }
    if (usable == 0) {
        r.warnings.push_back(
            "detailmodules.txt names no plug-in that exists here and Corvane can chain, so Corvane returns power 0 "
            "and brake 0 to the host whatever the driver does");
    }
}

// Decodes a sound the way Corvane does at Load, in Load's order and against what is left of the
// bound on all sounds together (`decodedBytes` holds what the sounds before it take); a problem is
// a warning, because Corvane carries on without the sound.
void checkDecodes(const platform::Path& file, size_t& decodedBytes, CheckReport& r) {
    platform::WaveFormat format{};
    std::vector<uint8_t> pcm;
    const platform::Path path = sound::normalisePath(file);
    sound::DecodeOutcome outcome;
    const size_t left = decodedBytes < sound::MaxDecodedBytesTotal ? sound::MaxDecodedBytesTotal - decodedBytes : 0;
    try {
        outcome = sound::decodeToPcm(path, format, pcm, left);
    } catch (const std::exception& error) {
        r.warnings.push_back(text(path) + " cannot be decoded (" + error.what() + "); Corvane plays nothing for it");
        return;
    }
    if (outcome.startedMedia) platform::mediaShutdown();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(outcome.result));
    const unsigned megabytes = static_cast<unsigned>(decodedBytes >> 20);
    if (outcome.refused.refusal == sound::Refusal::TotalTooLarge) {
        r.warnings.push_back(text(path) + " decodes to more than is left of the " +
                             std::to_string(sound::MaxDecodedBytesTotal >> 20) +
                             " MB that Corvane holds for all its sounds together (the sounds before it take " +
                             std::to_string(megabytes) + " MB); Corvane plays nothing for it");
    } else if (outcome.refused.refusal == sound::Refusal::FileTooLarge) {
        r.warnings.push_back(text(path) + " decodes to more than the " +
                             std::to_string(sound::MaxDecodedBytesPerFile >> 20) +
                             " MB that Corvane holds for one sound; Corvane plays nothing for it");
    } else if (outcome.formatRejected) {
        r.warnings.push_back(text(path) + " is neither PCM nor mono; Corvane makes no voice for it");
    } else if (platform::audioFailed(outcome.result)) {
        r.warnings.push_back(text(path) + " cannot be decoded (result " + code +
                             "); Corvane plays nothing for it and its start-up log records the failure");
    } else if (pcm.empty()) {
        r.warnings.push_back(text(path) + " holds no sound");
    } else {
        decodedBytes += pcm.size();
    }
}

// The sound files Corvane opens at Load, in its order: `present` gets each one that is there; the
// missing ones are described in `missing` with what their absence means. Returns the layers found.
int visitSounds(const platform::Path& pluginDirectory, const std::function<void(const platform::Path&)>& present,
                std::vector<std::string>& missing) {
    std::string absent;
    int layers = 0;
    for (int n = 0; n <= 40; ++n) {
        // Tested where Corvane's decoder opens it: through a linked plug-in folder, ".." is taken
        // as text, not as the link target's parent.
        const platform::Path layer = sound::normalisePath(
            platform::joinPath(pluginDirectory, "..\\atsmotornoise\\" + std::to_string(n) + ".wav"));
        if (existsQuietly(layer)) {
            ++layers;
            present(layer);
        } else {
            absent += (absent.empty() ? "" : ", ") + std::to_string(n) + ".wav";
        }
    }
    if (layers < sound::MotorNoiseLayers) {
        missing.push_back("motor-noise layers " + absent + " in " +
                          text(platform::joinPath(pluginDirectory, "..\\atsmotornoise")) +
                          ": each missing layer stays silent and leaves a gap in the crossfade");
    }
    struct Air {
        const char* file;
        const char* effect;
    };
    const Air air[] = {
        {"..\\bc.wav", "no brake-cylinder exhaust sound (the start-up log records a failed source voice)"},
        {"..\\sap.wav",
         "nothing changes, Corvane loads it but never plays it (the start-up log records a failed "
         "source voice)"},
        {"..\\sapHigh.wav", "no straight-air-pipe exhaust sound (the start-up log records a failed source voice)"},
    };
    for (const Air& a : air) {
        const platform::Path path = sound::normalisePath(platform::joinPath(pluginDirectory, a.file));
        if (!existsQuietly(path)) {
            missing.push_back(text(path) + ": " + a.effect);
        } else {
            present(path);
        }
    }
    return layers;
}

void checkSounds(const platform::Path& pluginDirectory, CheckReport& r) {
    size_t decodedBytes = 0;
    const int layers =
        visitSounds(pluginDirectory, [&](const platform::Path& file) { checkDecodes(file, decodedBytes, r); }, r.missing);
    r.facts.push_back("motor-noise layers: " + std::to_string(layers) + " of " +
                      std::to_string(sound::MotorNoiseLayers));
    if (layers < sound::MotorNoiseLayers) {
        noteStrayLayerFiles(sound::normalisePath(platform::joinPath(pluginDirectory, "..\\atsmotornoise")), r);
    }
}

}  // namespace

std::vector<std::string> missingSoundFiles(const platform::Path& pluginDirectory) {
    std::vector<std::string> missing;
    visitSounds(pluginDirectory, [](const platform::Path&) {}, missing);
    return missing;
}

CheckReport checkVehicleFolder(const platform::Path& given) {
    CheckReport r;
    platform::Path pluginDirectory;
    try {
        pluginDirectory = findPluginDirectory(given);
    } catch (const std::exception& error) {
        r.errors.push_back(error.what());
        return r;
    }
    r.found = true;
    r.facts.push_back("plug-in folder: " + text(pluginDirectory));

    const config::VehicleCheck check = config::checkVehicle(pluginDirectory);
    if (check.ok) {
        const config::NotchConfig& c = check.config;
        std::ostringstream power, brake;
        power << "power: " << c.powerNotchCount << " notches, jerk value " << c.powerJerk << " A";
        brake << "brake: " << c.brakeNotchCount << " notches, reference speed " << c.brakeReferenceSpeed
              << " km/h, limiting values " << c.limitValueEmpty << " / " << c.limitValueFull << " kPa, jerk value "
              << c.brakeJerk << " A";
        r.facts.push_back(power.str());
        r.facts.push_back(brake.str());
        if (c.powerNotchCount == 0) r.errors.push_back(text(c.powerParamsPath) + ": the power side has no notch");
        if (c.brakeNotchCount < config::MinBrakeNotchCount) {
            r.errors.push_back(text(c.brakeParamsPath) + ": the brake side has " + std::to_string(c.brakeNotchCount) +
                               " notches; Corvane's brake blending reads the tables of notches 6 and 8, so it needs "
                               "at least " +
                               std::to_string(config::MinBrakeNotchCount));
        }
        if (check.panelModify) {
            r.warnings.push_back(
                "PanelModify.txt is present: the needle adjustment mode is available (keys 0, 5 and "
                "6 force needle values); delete it for driving");
        }
        for (const config::MissingFile& m : check.missing) {
            if (m.what == "needle adjustment switch") continue;  // its absence is the normal state
            r.missing.push_back(m.what + " (" + text(m.path) + "): " + m.effect);
        }
    } else {
        addErrorOnce(r, check.error);
        checkNeedleTablesSeparately(pluginDirectory, r);
    }
    r.warnings.insert(r.warnings.end(), check.warnings.begin(), check.warnings.end());
    checkChain(pluginDirectory, r);
    checkSounds(pluginDirectory, r);
    return r;
}

int checkCommand(const platform::Path& given, std::ostream& out, std::ostream& err) {
    const CheckReport r = checkVehicleFolder(given);
    out << "checking " << text(given) << "\n";
    for (const std::string& f : r.facts) out << "  " << f << "\n";
    if (!r.missing.empty()) {
        out << "missing (optional):\n";
        for (const std::string& m : r.missing) out << "  - " << m << "\n";
    }
    for (const std::string& w : r.warnings) out << "warning: " << w << "\n";
    out << std::flush;
    for (const std::string& e : r.errors) err << "error: " << e << "\n";
    if (!r.errors.empty()) {
        if (r.found && r.errors.size() > 1) err << "(Corvane's Load stops at the first of these errors)\n";
        err << "cabhost: " << r.errors.size() << (r.errors.size() == 1 ? " error" : " errors") << " in " << text(given)
            << "\n";
        return 1;
    }
    out << "no errors" << (r.missing.empty() ? "" : "; the missing optional files above only switch features off")
        << "\n";
    return 0;
}

}  // namespace cabhost
