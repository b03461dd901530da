// From a saved change to a page ready to reload, in `cabhost watch` on the sample departure: the
// watch runs in this process, on a private copy of the sample vehicle with Sentrel chained as in
// the scenario; each iteration saves a vehicle file and times until the server hands out the new
// run's id and its whole report. The open page asks for the run id every 300 ms, so the figure
// against the budget adds that period to the slowest iteration.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

#include "bench/bench_support.h"
#include "host/watch.h"

namespace {

namespace fs = std::filesystem;

constexpr double PagePollMs = 300.0;  // host/report/watch.js
constexpr double BudgetMs = 1000.0;

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void CabhostWatchRerun(benchmark::State& state) {
    bench::TempFolder temp("cabhost-watch-bench");
    fs::copy(fs::path(SAMPLE_PLUGIN_DIR).parent_path().parent_path(), temp.path / "vehicle", fs::copy_options::recursive);
    fs::create_directories(temp.path / "scenarios");
    const std::string scenario = std::regex_replace(readText(DEPARTURE_SCENARIO), std::regex("\nchain = [^\n]*"),
                                                    std::string("\nchain = [\"") + SENTREL_LIBRARY + "\"]");
    std::ofstream(temp.path / "scenarios" / "departure.toml") << scenario;
    const fs::path saved = temp.path / "vehicle" / "plugin" / "notch" / "PowerParams.txt";

    cabhost::WatchSettings settings;
    settings.scenarioFile = temp.path / "scenarios" / "departure.toml";
    settings.outDir = temp.path / "out";
    const fs::path log = temp.path / "watch.log";
    std::thread watch([&] {
        std::ofstream out(log);
        std::ostringstream err;
        cabhost::watchCommand(settings, out, err);
    });

    std::smatch port;
    for (int i = 0; i < 600; ++i) {
        const std::string said = readText(log);
        if (std::regex_search(said, port, std::regex("127\\.0\\.0\\.1:([0-9]+)")) &&
            said.find("run 1 ") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    httplib::Client client("127.0.0.1", port.empty() ? 0 : std::stoi(port[1].str()));
    const auto runId = [&] {
        auto r = client.Get("/run-id");
        return r && r->status == 200 ? r->body : std::string();
    };
    std::vector<double> ms;
    if (runId().empty()) state.SkipWithError("cabhost watch did not serve its first run");
    for (auto _ : state) {
        const std::string before = runId();
        std::ofstream(saved, std::ios::app) << "; saved " << ms.size() << "\n";
        const auto start = bench::Clock::now();
        while (runId() == before) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto page = client.Get("/report.html");
        const double elapsed = std::chrono::duration<double>(bench::Clock::now() - start).count();
        if (!page || page->body.find("cabhostWatchRun") == std::string::npos) state.SkipWithError("no report");
        state.SetIterationTime(elapsed);
        ms.push_back(elapsed * 1000.0);
        // Settle before the next save, as an author would.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::raise(SIGINT);  // how the watch ends: Ctrl+C
    watch.join();
    const double slowest = ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end());
    state.counters["median_ms"] = bench::quantile(ms, 0.5);
    state.counters["slowest_ms"] = slowest;
    state.counters["reload_ms"] = slowest + PagePollMs;
    std::printf("saved change to reloadable page, slowest of %zu plus the page's %.0f ms poll: %.0f ms (budget %.0f ms: %s)\n",
                ms.size(), PagePollMs, slowest + PagePollMs, BudgetMs, slowest + PagePollMs <= BudgetMs ? "met" : "MISSED");
}
BENCHMARK(CabhostWatchRerun)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
