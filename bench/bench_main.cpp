// Runs the benchmarks with Google Benchmark's console output, then prints the figures against their
// budgets as one Markdown table with the machine they were taken on.
// Extra option: --instructions-per-frame=N adds the callgrind count (scripts/callgrind-elapse).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/machine.h"

namespace {

class TableReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Run> runs;  // by the benchmark's name up to its first '/' after the capture

    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& run : reports) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) runs[key(run.benchmark_name())] = run;
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // "CorvaneElapse/departure_no_chain/iterations:40/manual_time" -> "CorvaneElapse/departure_no_chain"
    static std::string key(const std::string& name) {
        std::string out;
        size_t start = 0;
        while (start <= name.size()) {
            const size_t end = name.find('/', start);
            const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (part.find(':') != std::string::npos || part == "manual_time") break;
            out += (out.empty() ? "" : "/") + part;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return out;
    }

    std::optional<double> counter(const std::string& name, const std::string& counterName) const {
        auto run = runs.find(name);
        if (run == runs.end()) return std::nullopt;
        auto c = run->second.counters.find(counterName);
        if (c == run->second.counters.end()) return std::nullopt;
        return c->second.value;
    }

    std::optional<double> nsPerIteration(const std::string& name) const {
        auto run = runs.find(name);
        if (run == runs.end() || run->second.iterations == 0) return std::nullopt;
        return run->second.real_accumulated_time * 1e9 / static_cast<double>(run->second.iterations);
    }
};

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// An inverted rate counter arrives in seconds per item.
std::optional<double> secondsToNs(std::optional<double> seconds) {
    return seconds ? std::optional<double>(*seconds * 1e9) : std::nullopt;
}

struct Row {
    std::string figure;
    std::optional<double> value;
    std::string valueFormat;  // printf pattern for the value
    std::string budget;       // empty: for information
    bool atMost = true;
    double limit = 0.0;
};

void printTable(const TableReporter& r, std::optional<double> instructionsPerFrame) {
    const std::string chained = "CorvaneElapse/departure_sentrel_chained";
    const std::string alone = "CorvaneElapse/departure_no_chain";
    const std::string load = "CorvaneLoadLongLayers";
    std::vector<Row> rows;
    const auto us = [](std::optional<double> ns) { return ns ? std::optional<double>(*ns / 1000.0) : std::nullopt; };
    rows.push_back({"Corvane Elapse, departure, median per frame", us(r.counter(chained, "median_ns")), "%.2f µs",
                    "≤ 2 µs", true, 2.0});
    rows.push_back({"Corvane Elapse, departure, 99th percentile per frame", us(r.counter(chained, "p99_ns")), "%.2f µs",
                    "", true, 0.0});
    rows.push_back({"Corvane Elapse, departure, mean per frame (no clock per frame)",
                    us(secondsToNs(r.counter("CorvaneElapseLoop", "ns_per_frame"))), "%.2f µs", "", true, 0.0});
    rows.push_back({"Corvane Elapse, departure without the chained Sentrel, median", us(r.counter(alone, "median_ns")),
                    "%.2f µs", "", true, 0.0});
    rows.push_back({"Corvane Elapse, instructions per frame (callgrind, mean)", instructionsPerFrame, "%.0f", "≤ 4000",
                    true, 4000.0});
    rows.push_back({"Sentrel Elapse", r.nsPerIteration("SentrelElapse"), "%.1f ns", "≤ 100 ns", true, 100.0});
    rows.push_back({"Corvane Load, 41 layers of 10 s 44.1 kHz stereo (median)", r.counter(load, "load_ms"), "%.1f ms",
                    "", true, 0.0});
    rows.push_back(
        {"libsndfile alone reading the same files (median)", r.counter(load, "sndfile_ms"), "%.1f ms", "", true, 0.0});
    rows.push_back(
        {"Load / libsndfile, side by side (median of ratios)", r.counter(load, "ratio"), "%.2f", "≤ 1.3", true, 1.3});
    rows.push_back({"cabhost render of the departure, times real time",
                    r.counter("CabhostRenderDeparture", "x_real_time"), "%.0f×", "≥ 200×", false, 200.0});
    rows.push_back({"cabhost run of the departure, plain (mean)", r.counter("CabhostRunCompare", "plain_ms"), "%.0f ms",
                    "", true, 0.0});
    rows.push_back({"cabhost run --compare / plain run (median of ratios)", r.counter("CabhostRunCompare", "ratio"),
                    "%.2f", "≤ 1.2", true, 1.2});

    std::printf("\n");
    for (const std::string& line : bench::machineLines(BUILD_DESCRIPTION)) std::printf("%s  \n", line.c_str());
    std::printf("load average after the run: %s\n\n", bench::loadAverage().c_str());
    std::printf("| Figure | Measured | Budget | |\n| --- | ---: | ---: | --- |\n");
    for (const Row& row : rows) {
        std::string measured = "not measured", verdict;
        if (row.value) {
            measured = format(row.valueFormat.c_str(), *row.value);
            if (!row.budget.empty()) {
                const bool met = row.atMost ? *row.value <= row.limit : *row.value >= row.limit;
                verdict = met ? "met" : "MISSED";
            }
        }
        std::printf("| %s | %s | %s | %s |\n", row.figure.c_str(), measured.c_str(), row.budget.c_str(),
                    verdict.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<double> instructionsPerFrame;
    std::vector<char*> args;
    const char* option = "--instructions-per-frame=";
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], option, std::strlen(option)) == 0) {
            instructionsPerFrame = std::strtod(argv[i] + std::strlen(option), nullptr);
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printTable(reporter, instructionsPerFrame);
    return 0;
}
