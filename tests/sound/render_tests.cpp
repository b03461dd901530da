// A departure and an electric stop of the sample vehicle, run by the stand-in host with the mix
// rendered: the motor noise must sound as one continuous crossfade, and in every power mode the
// layers of that mode must be the loudest.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "host/run.h"
#include "platform/audio.h"
#include "platform/test_hooks.h"
#include "sound/motor_layers.h"
#include "tests/sound/audio_contract.h"
#include "tests/sound/wav_writer.h"

namespace {

namespace fs = std::filesystem;
using platform::AudioCall;

const fs::path Source = CORVANE_SOURCE_DIR;
constexpr uint32_t FrameMs = 20;  // the scenarios' frame interval

// RMS of a stretch of the interleaved 16-bit mix, in dB of full scale (-120 for silence).
double levelDb(const std::vector<int16_t>& samples, size_t begin, size_t end) {
    double sum = 0.0;
    for (size_t i = begin; i < end; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    const double rms = std::sqrt(sum / static_cast<double>(end - begin)) / 32768.0;
    return rms > 0.0 ? 20.0 * std::log10(rms) : -120.0;
}

// The RMS level of a sound file's 16-bit samples, in dB of full scale.
double fileLevelDb(const fs::path& wav) {
    const std::string bytes = contract::readAll(wav);
    std::vector<int16_t> samples;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        samples.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return samples.empty() ? -120.0 : levelDb(samples, 0, samples.size());
}

// The layers that any row lets sound in a mode.
std::set<int> layersOfMode(int32_t mode) {
    std::set<int> layers;
    for (const sound::Row& row : sound::motorLayerRows())
        if (row.when.modes & sound::modeBit(mode)) layers.insert(row.layer);
    return layers;
}

struct ScenarioRun {
    cabhost::RunOutcome outcome;
    fs::path vehicle;                            // the snapshot the run used
    fs::path scratch;                            // removed by the test when it is done
    std::vector<std::array<float, 41>> volumes;  // per frame, as the engine applied them
};

// A whole WAV file: its RIFF size matches the bytes on disk.
bool completeWav(const fs::path& wav) {
    const std::string bytes = contract::readAll(wav);
    if (bytes.size() < 8) return false;
    uint32_t riff = 0;
    for (int i = 0; i < 4; ++i) riff |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[4 + i])) << (8 * i);
    return bytes.size() == static_cast<size_t>(riff) + 8;
}

// A snapshot of the sample vehicle: every build regenerates its sounds in the shared tree, so the
// run reads its own complete copy.
bool snapshotVehicle(const fs::path& to) {
    const fs::path from = Source / "samples" / "vehicle";
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::error_code error;
        fs::remove_all(to, error);
        bool complete = true;
        for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
            const fs::path target = to / fs::relative(it->path(), from);
            if (it->is_directory()) {
                fs::create_directories(target);
                continue;
            }
            fs::create_directories(target.parent_path());
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, error);
            if (target.extension() == ".wav" && !completeWav(target)) complete = false;
        }
        if (!error && complete) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return false;
}

// The scenario beside the snapshot, with its chained library still found in dist/.
void copyScenario(const char* name, const fs::path& to) {
    std::string text = contract::readAll(Source / "samples" / "scenarios" / name);
    const std::string relative = "../../dist/";
    const std::string absolute = (Source / "dist").string() + "/";
    for (size_t at = text.find(relative); at != std::string::npos; at = text.find(relative, at + absolute.size()))
        text.replace(at, relative.size(), absolute);
    fs::create_directories(to.parent_path());
    wavtest::writeFile(to, text);
}

ScenarioRun runScenario(const char* name) {
    std::string pattern = (fs::temp_directory_path() / "corvane-render-XXXXXX").string();
    const fs::path root(::mkdtemp(pattern.data()));
    const fs::path out = root / "out";
    ScenarioRun run;
    EXPECT_TRUE(snapshotVehicle(root / "vehicle")) << "the sample vehicle's sounds stay incomplete";
    copyScenario(name, root / "scenarios" / name);
    platform::audioClearAppliedRequests();
    platform::audioRecordRequests(true);
    cabhost::RunSettings settings;
    settings.scenarioFile = root / "scenarios" / name;
    settings.outDir = out;
    settings.plots = false;
    std::ostringstream messages, errors;
    run.outcome = cabhost::runCommand(settings, messages, errors);
    platform::audioRecordRequests(false);
    EXPECT_EQ(run.outcome.exitCode, cabhost::ExitOk) << errors.str();

    // The motor layers are the first 41 voices created. A frame's requests carry its operation set
    // and only changes are sent, so a layer keeps its volume until a later frame changes it; the
    // first frame sends every layer's volume.
    std::map<uint32_t, int> layerOfVoice;
    std::map<uint32_t, std::array<float, 41>> changesOfSet;
    for (const auto& r : platform::audioAppliedRequests()) {
        if (r.call == AudioCall::CreateSourceVoice && r.value == 25.0f && layerOfVoice.size() < 41) {
            const int layer = static_cast<int>(layerOfVoice.size());
            layerOfVoice[r.voiceId] = layer;
        } else if (r.call == AudioCall::SetVolume && r.operationSet != 0 && layerOfVoice.count(r.voiceId)) {
            auto [at, added] = changesOfSet.try_emplace(r.operationSet);
            if (added) at->second.fill(std::nanf(""));  // no request: unchanged
            at->second[layerOfVoice[r.voiceId]] = r.value;
        }
    }
    EXPECT_EQ(layerOfVoice.size(), 41u) << "every motor layer of the sample vehicle has a voice";
    const size_t frames = run.outcome.simulation.trace.rows.size();
    if (!changesOfSet.empty()) {
        const uint32_t first = changesOfSet.begin()->first;
        std::array<float, 41> current{};
        for (size_t k = 0; k < frames; ++k) {
            const auto at = changesOfSet.find(first + static_cast<uint32_t>(k));
            if (at != changesOfSet.end())
                for (int n = 0; n < 41; ++n)
                    if (!std::isnan(at->second[n])) current[n] = at->second[n];
            run.volumes.push_back(current);
        }
    }
    platform::audioClearAppliedRequests();
    run.vehicle = root / "vehicle";
    run.scratch = root;
    return run;
}

// Between two 20 ms stretches of steady motor current, the mix may change by no more than the
// loudness spread of the recordings plus 3 dB. The layers' rows hand over at matched volumes, so a
// handover changes the level by the difference between the recordings; and one of two equally
// loud, unrelated layers ending in a frame lowers the sum by 3 dB. A gap or a click (a layer
// silenced with nothing taking over, a layer starting at full level) is a change of 20 dB or more.
// Where the current itself starts or stops, the noise is meant to start or stop with it.
void expectContinuousCrossfade(const ScenarioRun& run) {
    double quietest = 0.0, loudest = -120.0;
    for (int n = 0; n < 41; ++n) {
        if (!sound::layerGetsRequests(n)) continue;
        const double level =
            fileLevelDb(Source / "samples" / "vehicle" / "atsmotornoise" / (std::to_string(n) + ".wav"));
        quietest = std::min(quietest, level);
        loudest = std::max(loudest, level);
    }
    const double bound = (loudest - quietest) + 3.0;

    const auto& audio = run.outcome.simulation.audio;
    const auto& rows = run.outcome.simulation.trace.rows;
    ASSERT_TRUE(audio.active) << audio.note;
    const size_t window = static_cast<size_t>(audio.sampleRate) * FrameMs / 1000 * 2;
    const size_t windows = std::min(rows.size(), audio.samples.size() / window);
    std::vector<double> levels(windows);
    for (size_t i = 0; i < windows; ++i) levels[i] = levelDb(audio.samples, i * window, (i + 1) * window);

    size_t checked = 0;
    for (size_t i = 1; i < windows; ++i) {
        const bool steady = std::fabs(rows[i - 1].state.current) >= 30.0f && std::fabs(rows[i].state.current) >= 30.0f;
        const bool sounding = std::max(levels[i - 1], levels[i]) >= -30.0;
        if (!steady || !sounding) continue;
        ++checked;
        EXPECT_LE(std::fabs(levels[i] - levels[i - 1]), bound)
            << "at " << rows[i].state.time << " ms in mode " << rows[i].corvane.pulseMode << ": " << levels[i - 1]
            << " dB then " << levels[i] << " dB";
    }
    EXPECT_GT(checked, windows / 3);
}

// In every frame of a mode in which the motor noise sounds, its loudest layer is one of the mode's
// own; the run passes through at least `modes` different modes.
void expectModesLoudestLayers(const ScenarioRun& run, size_t modes) {
    const auto& rows = run.outcome.simulation.trace.rows;
    ASSERT_EQ(run.volumes.size(), rows.size());
    std::set<int32_t> modesSeen;
    for (size_t i = 0; i < rows.size(); ++i) {
        const int32_t mode = rows[i].corvane.pulseMode;
        if (sound::modeBit(mode) == 0) continue;
        const auto& v = run.volumes[i];
        const int loudest = static_cast<int>(std::max_element(v.begin(), v.end()) - v.begin());
        if (v[loudest] <= 0.0f) continue;
        modesSeen.insert(mode);
        EXPECT_TRUE(layersOfMode(mode).count(loudest))
            << "at " << rows[i].state.time << " ms mode " << mode << " has layer " << loudest << " loudest";
    }
    EXPECT_GE(modesSeen.size(), modes);
}

uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// The mix file and the trace file of a run, byte for byte, against what the sample vehicle gave
// when every layer got every request in every frame: sending only what changes must sound and run
// the same. Update together with the sample vehicle's files or the frame's arithmetic.
void expectPinned(const ScenarioRun& run, uint64_t mix, uint64_t trace) {
    const fs::path out = run.scratch / "out";
    EXPECT_EQ(fnv1a(contract::readAll(out / "corvane.wav")), mix)
        << std::hex << "0x" << fnv1a(contract::readAll(out / "corvane.wav"));
    EXPECT_EQ(fnv1a(contract::readAll(out / "trace.csv")), trace)
        << std::hex << "0x" << fnv1a(contract::readAll(out / "trace.csv"));
}

// First in the file and in one test: the fixed random sequence then starts afresh for the
// departure and runs on into the electric stop, whether ctest runs the test alone or not.
TEST(SampleVehicleMix, DepartureAndElectricStopGiveThePinnedMixAndTrace) {
    const ScenarioRun departure = runScenario("departure.toml");
    expectPinned(departure, 0xC40CB33170DA5E8AULL, 0x1EB36D347D58842AULL);
    const ScenarioRun stop = runScenario("electric_stop.toml");
    expectPinned(stop, 0x2B638B5069F600CAULL, 0x8F266ADE03695FA4ULL);
    std::error_code ignored;
    fs::remove_all(departure.scratch, ignored);
    fs::remove_all(stop.scratch, ignored);
}

TEST(SampleVehicleMix, DepartureIsAContinuousCrossfade) {
    const ScenarioRun run = runScenario("departure.toml");
    expectContinuousCrossfade(run);
    expectModesLoudestLayers(run, 9);  // every power mode from 99 to 1
    std::error_code ignored;
    fs::remove_all(run.scratch, ignored);
}

TEST(SampleVehicleMix, ElectricStopIsAContinuousCrossfade) {
    const ScenarioRun run = runScenario("electric_stop.toml");
    expectContinuousCrossfade(run);
    expectModesLoudestLayers(run, 5);
    std::error_code ignored;
    fs::remove_all(run.scratch, ignored);
}

}  // namespace
