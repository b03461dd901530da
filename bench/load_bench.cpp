// Load with long recordings: the sample vehicle with 41 motor-noise layers of 10 s at 44.1 kHz in
// stereo, against libsndfile alone reading the same files into memory. The two are timed in turn in
// every iteration, so a busy machine slows both alike and their ratio holds.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <system_error>

#include "bench/bench_support.h"

namespace bench {
namespace {

constexpr int Layers = 41;
constexpr int SampleRate = 44100;
constexpr int Channels = 2;
constexpr sf_count_t LayerFrames = 10 * SampleRate;

// Deterministic content that does not compress into runs: a hum under filtered noise.
void writeLayer(const fs::path& file, int layer) {
    SF_INFO info{};
    info.samplerate = SampleRate;
    info.channels = Channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    if (!out) throw std::runtime_error("cannot write " + file.string() + ": " + sf_strerror(nullptr));
    std::vector<short> samples(static_cast<size_t>(LayerFrames) * Channels);
    uint32_t noise = 0x9E3779B9u ^ static_cast<uint32_t>(layer * 7919 + 1);
    float low = 0.0f;
    const float step = 2.0f * 3.14159265f * (60.0f + 20.0f * static_cast<float>(layer)) / SampleRate;
    for (sf_count_t i = 0; i < LayerFrames; ++i) {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        low += 0.05f * ((static_cast<float>(noise) / 4294967296.0f - 0.5f) - low);
        const float hum = 0.4f * std::sin(step * static_cast<float>(i % (SampleRate * 10)));
        samples[2 * i] = static_cast<short>(12000.0f * (hum + low));
        samples[2 * i + 1] = static_cast<short>(12000.0f * (hum - low));
    }
    const sf_count_t written = sf_writef_short(out, samples.data(), LayerFrames);
    sf_close(out);
    if (written != LayerFrames) throw std::runtime_error("cannot write " + file.string());
}

// A vehicle folder whose plug-in folder, tables and air sounds are links to the sample vehicle's,
// with freshly written long motor-noise layers.
struct LongLayersVehicle {
    TempFolder temp{"corvane-bench-load"};
    fs::path pluginDirectory;
    std::vector<fs::path> soundFiles;  // every file Load decodes

    LongLayersVehicle() {
        const fs::path sample = fs::path(SAMPLE_PLUGIN_DIR).parent_path().parent_path();
        const fs::path vehicle = temp.path / "vehicle";
        const fs::path plugin = vehicle / "plugin";
        fs::create_directories(plugin);
        fs::create_directories(vehicle / "atsmotornoise");
        for (const char* name : {"Notch.txt", "notch"}) fs::create_symlink(sample / "plugin" / name, plugin / name);
        fs::create_directory_symlink(sample / "NeedleTable", vehicle / "NeedleTable");
        for (int n = 0; n < Layers; ++n) {
            const fs::path file = vehicle / "atsmotornoise" / (std::to_string(n) + ".wav");
            writeLayer(file, n);
            soundFiles.push_back(file);
        }
        for (const char* name : {"bc.wav", "sap.wav", "sapHigh.wav"}) {
            fs::create_symlink(sample / name, vehicle / name);
            soundFiles.push_back(vehicle / name);
        }
        pluginDirectory = plugin / "";
    }
};

// Every file read completely into memory, as libsndfile's own reader gives it, and all of them held
// until the last is read, as Load holds them.
size_t readWithLibsndfile(const std::vector<fs::path>& files) {
    size_t bytes = 0;
    std::vector<std::vector<short>> held;
    held.reserve(files.size());
    for (const fs::path& file : files) {
        SF_INFO info{};
        SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
        if (!in) throw std::runtime_error("libsndfile cannot read " + file.string());
        std::vector<short> samples(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
        const sf_count_t read = sf_readf_short(in, samples.data(), info.frames);
        sf_close(in);
        bytes += static_cast<size_t>(read) * static_cast<size_t>(info.channels) * sizeof(short);
        benchmark::DoNotOptimize(samples.data());
        held.push_back(std::move(samples));
    }
    return bytes;
}

void CorvaneLoadLongLayers(benchmark::State& st) {
    std::unique_ptr<LongLayersVehicle> vehicle;
    Departure spec;  // only its VehicleSpec record is used
    spec.spec = host::VehicleSpec{8, 0, 0, 0, 4};
    try {
        vehicle = std::make_unique<LongLayersVehicle>();
        // Warm the page cache and check both paths once.
        readWithLibsndfile(vehicle->soundFiles);
        loadCorvane(vehicle->pluginDirectory, spec);
        disposeCorvane();
    } catch (const std::exception& error) {
        st.SkipWithError(error.what());
        return;
    }
    std::vector<double> loadNs, sndfileNs, ratios;
    size_t bytes = 0;
    bool loadFirst = false;
    for (auto _ : st) {
        double loadTook = 0.0, sndfileTook = 0.0;
        for (int half = 0; half < 2; ++half) {
            if ((half == 0) == loadFirst) {
                const Clock::time_point start = Clock::now();
                loadCorvane(vehicle->pluginDirectory, spec);
                loadTook = nanoseconds(Clock::now() - start);
                disposeCorvane();
            } else {
                const Clock::time_point start = Clock::now();
                bytes = readWithLibsndfile(vehicle->soundFiles);
                sndfileTook = nanoseconds(Clock::now() - start);
            }
        }
        loadFirst = !loadFirst;
        loadNs.push_back(loadTook);
        sndfileNs.push_back(sndfileTook);
        ratios.push_back(loadTook / sndfileTook);
        st.SetIterationTime(loadTook / 1e9);
    }
    st.counters["load_ms"] = quantile(loadNs, 0.5) / 1e6;
    st.counters["sndfile_ms"] = quantile(sndfileNs, 0.5) / 1e6;
    st.counters["ratio"] = quantile(ratios, 0.5);
    st.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(CorvaneLoadLongLayers)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(16);

}  // namespace
}  // namespace bench
