// The stand-in host's render of the demo departure: every frame with the train model, the trace and
// Corvane's mix rendered by the software engine, as `cabhost run` does before it writes its files.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "corvane/lifecycle.h"
#include "host/plugin_driver.h"
#include "host/run.h"
#include "host/scenario.h"

namespace bench {
namespace {

void CabhostRenderDeparture(benchmark::State& st) {
    DepartureSetup* setup = nullptr;
    cabhost::Scenario scenario;
    try {
        setup = &departureSetup(true);
        scenario = cabhost::loadScenario(DEPARTURE_SCENARIO);
    } catch (const std::exception& error) {
        st.SkipWithError(error.what());
        return;
    }
    double simulatedS = 0.0, wallS = 0.0;
    uint64_t mixFrames = 0;
    for (auto _ : st) {
        auto session = cabhost::openLinkedCorvane(setup->view.pluginDirectory());
        if (cabhost::callLoad(*session)) {
            st.SkipWithError("Load ended with an error");
            return;
        }
        int32_t version = 0;
        cabhost::callGetPluginVersion(*session, version);
        session->entry.setVehicleSpec(scenario.spec);
        session->entry.initialize(scenario.initializeValue);
        cabhost::CurrentTables tables;
        tables.power = cabhost::linkedCorvane().config.powerCurrent;
        tables.brake = cabhost::linkedCorvane().config.brakeMaxCurrent;

        const Clock::time_point start = Clock::now();
        const cabhost::Simulation run = cabhost::simulate(scenario, *session, tables);
        const double took = nanoseconds(Clock::now() - start) / 1e9;
        session->entry.dispose();
        if (!run.audio.active || run.trace.rows.empty()) {
            st.SkipWithError("the departure rendered no mix");
            return;
        }
        simulatedS = run.audio.renderedMs / 1000.0;
        mixFrames = run.audio.samples.size() / 2;
        wallS += took;
        st.SetIterationTime(took);
    }
    st.counters["simulated_s"] = simulatedS;
    st.counters["mix_frames"] = static_cast<double>(mixFrames);
    // Simulated seconds per second of wall time: the real-time factor.
    st.counters["x_real_time"] = simulatedS * static_cast<double>(st.iterations()) / wallS;
}
BENCHMARK(CabhostRenderDeparture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
}  // namespace bench
