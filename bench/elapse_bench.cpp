// The frame: Corvane's Elapse over the departure with the sample vehicle's 41 layers on the software
// engine (nothing rendered), and Sentrel's Elapse through its exported entry point.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "bench/bench_support.h"
#include "platform/platform.h"

namespace bench {

DepartureSetup::DepartureSetup(bool chained)
    : temp(chained ? "corvane-bench-chained" : "corvane-bench"),
      view(SAMPLE_PLUGIN_DIR, temp.path / "vehicle",
           chained ? std::vector<fs::path>{SENTREL_LIBRARY} : std::vector<fs::path>{}),
      departure(recordDeparture(DEPARTURE_SCENARIO, view.pluginDirectory())) {}

DepartureSetup& departureSetup(bool chained) {
    static std::unique_ptr<DepartureSetup> setups[2];
    std::unique_ptr<DepartureSetup>& setup = setups[chained ? 1 : 0];
    if (!setup) setup = std::make_unique<DepartureSetup>(chained);
    return *setup;
}

namespace {

// Each iteration loads Corvane afresh and times every frame of the departure on its own; the
// iteration's time is the sum of its frames. The clock reads add some 20 ns to each frame.
void CorvaneElapse(benchmark::State& st, bool chained) {
    DepartureSetup* setup = nullptr;
    try {
        setup = &departureSetup(chained);
    } catch (const std::exception& error) {
        st.SkipWithError(error.what());
        return;
    }
    const Departure& departure = setup->departure;
    std::vector<double> frameNs;
    frameNs.reserve(departure.frames.size() * 64);
    for (auto _ : st) {
        loadCorvane(setup->view.pluginDirectory(), departure);
        Replay replay(departure);
        Clock::duration total{};
        for (size_t i = 0; i < departure.frames.size(); ++i) {
            applyInputs(i == 0 ? DepartureFrame{} : departure.frames[i - 1], departure.frames[i]);
            const Clock::time_point start = Clock::now();
            const host::Handles out = corvaneElapse(departure.frames[i].state, replay.panel, replay.sound);
            const Clock::duration took = Clock::now() - start;
            benchmark::DoNotOptimize(out);
            total += took;
            frameNs.push_back(nanoseconds(took));
        }
        disposeCorvane();
        st.SetIterationTime(std::chrono::duration<double>(total).count());
    }
    const double frames = static_cast<double>(frameNs.size());
    double sum = 0.0;
    for (double v : frameNs) sum += v;
    st.counters["frames"] = benchmark::Counter(static_cast<double>(departure.frames.size()));
    st.counters["mean_ns"] = sum / frames;
    st.counters["median_ns"] = quantile(frameNs, 0.5);
    st.counters["p90_ns"] = quantile(frameNs, 0.9);
    st.counters["p99_ns"] = quantile(frameNs, 0.99);
}
BENCHMARK_CAPTURE(CorvaneElapse, departure_sentrel_chained, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);
BENCHMARK_CAPTURE(CorvaneElapse, departure_no_chain, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// The whole replay without a clock read per frame: the mean cost of a frame.
void CorvaneElapseLoop(benchmark::State& st) {
    DepartureSetup* setup = nullptr;
    try {
        setup = &departureSetup(true);
    } catch (const std::exception& error) {
        st.SkipWithError(error.what());
        return;
    }
    const Departure& departure = setup->departure;
    for (auto _ : st) {
        st.PauseTiming();
        loadCorvane(setup->view.pluginDirectory(), departure);
        Replay replay(departure);
        st.ResumeTiming();
        while (!replay.done()) benchmark::DoNotOptimize(replay.step());
        st.PauseTiming();
        disposeCorvane();
        st.ResumeTiming();
    }
    st.counters["ns_per_frame"] = benchmark::Counter(static_cast<double>(st.iterations() * departure.frames.size()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(CorvaneElapseLoop)->Unit(benchmark::kMillisecond)->Iterations(40);

using SentrelElapseEntry = host::Handles(PLUGIN_CALL*)(host::VehicleState, int32_t*, int32_t*);
using SentrelBeaconEntry = void(PLUGIN_CALL*)(host::BeaconData);
using SentrelIntEntry = void(PLUGIN_CALL*)(int32_t);
using SentrelSpecEntry = void(PLUGIN_CALL*)(host::VehicleSpec);

// Sentrel's exported Elapse over the departure's states. A timer beacon every 20 frames keeps a
// beacon pair open for the 600 ms window now and then, so the speed check runs too; the beacon call
// (a few stores) is timed with the frame it precedes.
void SentrelElapse(benchmark::State& st) {
    DepartureSetup* setup = nullptr;
    try {
        setup = &departureSetup(true);
    } catch (const std::exception& error) {
        st.SkipWithError(error.what());
        return;
    }
    platform::LibraryHandle library = platform::loadLibrary(SENTREL_LIBRARY);
    if (!library) {
        st.SkipWithError("cannot load " SENTREL_LIBRARY);
        return;
    }
    auto elapse = reinterpret_cast<SentrelElapseEntry>(platform::findSymbol(library, "Elapse"));
    auto beacon = reinterpret_cast<SentrelBeaconEntry>(platform::findSymbol(library, "SetBeaconData"));
    auto initialize = reinterpret_cast<SentrelIntEntry>(platform::findSymbol(library, "Initialize"));
    auto spec = reinterpret_cast<SentrelSpecEntry>(platform::findSymbol(library, "SetVehicleSpec"));
    if (!elapse || !beacon || !initialize || !spec) {
        platform::freeLibrary(library);
        st.SkipWithError("Sentrel lacks an entry point");
        return;
    }
    const Departure& departure = setup->departure;
    spec(departure.spec);
    initialize(0);
    int32_t panel[host::PanelArraySize]{};
    int32_t sound[host::SoundArraySize]{};
    size_t i = 0;
    for (auto _ : st) {
        if (i % 20 == 0) beacon(host::BeaconData{7, 0, 0.0f, -1});
        benchmark::DoNotOptimize(elapse(departure.frames[i].state, panel, sound));
        benchmark::ClobberMemory();
        if (++i == departure.frames.size()) i = 0;
    }
    platform::freeLibrary(library);
}
BENCHMARK(SentrelElapse)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace bench
