// Replays the departure once into Corvane linked in, for scripts/callgrind-elapse: callgrind collects
// only inside bench::corvaneElapse, and instrumentation starts just before the replay, so the count
// holds the frames alone. Prints the number of frames on standard output.
#include <cstdio>
#include <exception>

#include "bench/departure.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

int main(int argc, char** argv) {
    const bool chained = !(argc > 1 && std::string(argv[1]) == "--no-chain");
    try {
        bench::TempFolder temp("corvane-elapse-count");
        std::vector<bench::fs::path> chain;
        if (chained) chain.push_back(SENTREL_LIBRARY);
        bench::VehicleView view(SAMPLE_PLUGIN_DIR, temp.path / "vehicle", chain);
        const bench::Departure departure = bench::recordDeparture(DEPARTURE_SCENARIO, view.pluginDirectory());
        bench::loadCorvane(view.pluginDirectory(), departure);
        bench::Replay replay(departure);
        CALLGRIND_START_INSTRUMENTATION;
        while (!replay.done()) replay.step();
        CALLGRIND_STOP_INSTRUMENTATION;
        bench::disposeCorvane();
        std::printf("frames %zu\n", departure.frames.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "corvane_elapse_count: %s\n", error.what());
        return 1;
    }
    return 0;
}
