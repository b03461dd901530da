// What --compare adds to a run: the whole `cabhost run` of the demo departure (Corvane linked in, its
// files written, no plots), once plain and once compared with an earlier run of itself, in
// alternating order; the figure is the median of the per-pair ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "bench/bench_support.h"
#include "host/run.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

double timedRun(const cabhost::RunSettings& settings, bool& ok) {
    std::ostringstream out, err;
    const Clock::time_point start = Clock::now();
    const cabhost::RunOutcome outcome = cabhost::runCommand(settings, out, err);
    const double took = nanoseconds(Clock::now() - start) / 1e6;
    ok = ok && outcome.exitCode == cabhost::ExitOk;
    return took;
}

void CabhostRunCompare(benchmark::State& st) {
    const fs::path work = fs::temp_directory_path() / "corvane_compare_bench";
    fs::remove_all(work);
    cabhost::RunSettings plain;
    plain.scenarioFile = DEPARTURE_SCENARIO;
    plain.plots = false;
    plain.outDir = work / "earlier";
    bool ok = true;
    timedRun(plain, ok);  // the earlier run, and a first run that warms the file cache
    cabhost::RunSettings compared = plain;
    plain.outDir = work / "plain";
    compared.outDir = work / "compared";
    compared.compareDir = work / "earlier";
    std::vector<double> ratios;
    double plainMs = 0.0, comparedMs = 0.0;
    for (auto _ : st) {
        const bool plainFirst = ratios.size() % 2 == 0;
        const double a = plainFirst ? timedRun(plain, ok) : 0.0;
        const double b = timedRun(compared, ok);
        const double c = plainFirst ? a : timedRun(plain, ok);
        if (!ok) {
            st.SkipWithError("the departure did not run (run cabhost run on it to see why)");
            break;
        }
        ratios.push_back(b / c);
        plainMs += c;
        comparedMs += b;
        st.SetIterationTime((b + c) / 1000.0);
    }
    fs::remove_all(work);
    if (ratios.empty()) return;
    std::sort(ratios.begin(), ratios.end());
    st.counters["plain_ms"] = plainMs / static_cast<double>(ratios.size());
    st.counters["compared_ms"] = comparedMs / static_cast<double>(ratios.size());
    st.counters["ratio"] = ratios[ratios.size() / 2];
}
BENCHMARK(CabhostRunCompare)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
}  // namespace bench
