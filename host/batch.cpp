#include "host/batch.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>
#include <stdexcept>

#include "host/run.h"
#include "platform/host.h"

namespace cabhost {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    platform::Path scenario;
    int status = -1;
    double seconds = 0.0;
    std::string output;  // what the run printed
};

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first line of the output that starts with prefix, without the prefix; empty when none.
std::string lineStarting(const std::string& output, const std::string& prefix) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    }
    return {};
}

// Why a run did not pass, in one line.
std::string reason(const Outcome& o) {
    if (o.status == -1) return "cabhost could not be started";
    if (o.status == ExitExpectationNotMet) return "expectations: " + lineStarting(o.output, "expectations: ");
    const std::string error = lineStarting(o.output, "cabhost: ");
    return "status " + std::to_string(o.status) + (error.empty() ? "" : ": " + error);
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default:
                // XML 1.0 has no place for the other control characters.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t') out += c;
        }
    }
    return out;
}

bool writeJUnit(const std::vector<Outcome>& outcomes, const platform::Path& file, std::string& error) {
    size_t failures = 0, errors = 0;
    double total = 0.0;
    for (const Outcome& o : outcomes) {
        failures += o.status == ExitExpectationNotMet;
        errors += o.status != 0 && o.status != ExitExpectationNotMet;
        total += o.seconds;
    }
    std::ostringstream x;
    x << std::fixed << std::setprecision(3);
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x << "<testsuites tests=\"" << outcomes.size() << "\" failures=\"" << failures << "\" errors=\"" << errors
      << "\" time=\"" << total << "\">\n";
    x << "  <testsuite name=\"cabhost\" tests=\"" << outcomes.size() << "\" failures=\"" << failures << "\" errors=\""
      << errors << "\" time=\"" << total << "\">\n";
    for (const Outcome& o : outcomes) {
        x << "    <testcase classname=\"cabhost\" name=\"" << xmlEscaped(platform::pathToUtf8(o.scenario))
          << "\" time=\"" << o.seconds << "\"";
        if (o.status == 0) {
            x << "/>\n";
            continue;
        }
        const char* kind = o.status == ExitExpectationNotMet ? "failure" : "error";
        x << ">\n      <" << kind << " message=\"" << xmlEscaped(reason(o)) << "\">" << xmlEscaped(o.output) << "</"
          << kind << ">\n    </testcase>\n";
    }
    x << "  </testsuite>\n</testsuites>\n";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << x.str();
    if (out) return true;
    error = "cannot write " + platform::pathToUtf8(file);
    return false;
}

}  // namespace

std::vector<platform::Path> scenarioFiles(const std::vector<platform::Path>& arguments) {
    std::vector<platform::Path> files;
    for (const platform::Path& a : arguments) {
        std::error_code ec;
        if (!fs::is_directory(a, ec)) {
            if (!fs::is_regular_file(a, ec))
                throw std::runtime_error("no such scenario file: " + platform::pathToUtf8(a));
            files.push_back(a);
            continue;
        }
        std::vector<platform::Path> inside;
        for (fs::directory_iterator it(a, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() == ".toml" && it->is_regular_file(ec)) inside.push_back(it->path());
        }
        if (inside.empty()) throw std::runtime_error("no scenario (*.toml) in the folder " + platform::pathToUtf8(a));
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

int runBatch(const BatchSettings& settings, std::ostream& out, std::ostream& err) {
    std::set<platform::Path> names;
    for (const platform::Path& s : settings.scenarios) {
        if (!names.insert(s.stem()).second) {
            err << "cabhost: two scenarios are named " << platform::pathToUtf8(s.stem())
                << ": their results would share a folder; rename one\n";
            return ExitBadInput;
        }
    }
    const fs::path logs =
        fs::temp_directory_path() /
        ("cabhost-runs-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code ec;
    fs::create_directories(logs, ec);
    if (ec) {
        err << "cabhost: cannot create " << platform::pathToUtf8(logs) << ": " << ec.message() << "\n";
        return ExitOutputError;
    }
    struct Running {
        size_t index;
        int64_t id;
        std::chrono::steady_clock::time_point start;
    };
    std::vector<Outcome> outcomes(settings.scenarios.size());
    std::deque<Running> running;
    size_t next = 0, passed = 0;
    int status = ExitOk;
    while (next < settings.scenarios.size() || !running.empty()) {
        if (next < settings.scenarios.size() && static_cast<int>(running.size()) < std::max(settings.jobs, 1)) {
            const platform::Path& scenario = settings.scenarios[next];
            std::vector<std::string> args = {"run", platform::pathToUtf8(scenario)};
            if (settings.outDir)
                args.insert(args.end(), {"--out", platform::pathToUtf8(*settings.outDir / scenario.stem())});
            if (settings.pluginLibrary)
                args.insert(args.end(), {"--plugin", platform::pathToUtf8(*settings.pluginLibrary)});
            if (!settings.plots) args.push_back("--no-plots");
            const platform::Path log = logs / (std::to_string(next) + ".txt");
            running.push_back({next, platform::hostStartProgram(platform::pathToUtf8(settings.self), args, log),
                               std::chrono::steady_clock::now()});
            ++next;
            continue;
        }
        const Running r = running.front();
        running.pop_front();
        Outcome& o = outcomes[r.index];
        o.scenario = settings.scenarios[r.index];
        o.status = platform::hostWaitProgram(r.id);
        o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - r.start).count();
        o.output = readText(logs / (std::to_string(r.index) + ".txt"));
        if (o.status == 0) {
            ++passed;
            const std::string met = lineStarting(o.output, "expectations: ");
            out << "passed  " << platform::pathToUtf8(o.scenario) << (met.empty() ? "" : " (expectations: " + met + ")")
                << "\n";
        } else {
            out << "FAILED  " << platform::pathToUtf8(o.scenario) << ": " << reason(o) << "\n";
            if (status == ExitOk) status = o.status == -1 ? ExitBadInput : o.status;
        }
        out << std::flush;
    }
    fs::remove_all(logs, ec);
    out << "total: " << passed << " of " << outcomes.size() << " scenarios passed\n";
    if (settings.junitFile) {
        std::string error;
        if (!writeJUnit(outcomes, *settings.junitFile, error)) {
            err << "cabhost: " << error << "\n";
            if (status == ExitOk) status = ExitOutputError;
        }
    }
    return status;
}

}  // namespace cabhost
