#include "host/watch.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "host/report_assets.h"
#include "host/run.h"
#include "host/scenario.h"
#include "platform/host.h"
#include "platform/loopback_server.h"

namespace fs = std::filesystem;

namespace cabhost {

namespace {

// Saves are noticed within this, and a burst of them (an editor's temporary file and rename, a
// "save all") has settled when one poll later nothing else has changed.
constexpr int64_t PollMs = 100;
// However long an author keeps saving, the run starts after this.
constexpr int64_t SettleLimitMs = 2000;

std::string htmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string reloadScript(uint64_t runId) {
    return "<script>window.cabhostWatchRun = \"" + std::to_string(runId) + "\";\n" +
           std::string(assets::watchScript()) + "</script>\n";
}

// A page in place of the report, which reloads itself as the report does.
std::string statusPage(const std::string& heading, const std::string& text, const std::string& said, uint64_t runId) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>cabhost watch: " +
           heading + "</title>\n</head>\n<body>\n<h1>" + heading + "</h1>\n<p>" + text + "</p>\n" +
           (said.empty() ? "" : "<pre id=\"run-error\">" + htmlEscaped(said) + "</pre>\n") + reloadScript(runId) +
           "</body>\n</html>\n";
}

std::string contentType(const std::string& name) {
    const std::string ext = platform::pathToUtf8(fs::u8path(name).extension());
    if (ext == ".html") return "text/html; charset=utf-8";
    if (ext == ".png") return "image/png";
    if (ext == ".wav") return "audio/wav";
    if (ext == ".csv") return "text/csv; charset=utf-8";
    return "text/plain; charset=utf-8";
}

std::optional<std::string> readWholeFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(file, ec)) || platform::hostIsLink(file)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path comparable(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(path, ec);
    return ec ? fs::absolute(path, ec).lexically_normal() : full;
}

// Everything a run reads, as far as the scenario says; where it cannot be read, what it said last.
std::vector<fs::path> watchedRoots(const WatchSettings& settings, std::vector<fs::path> last) {
    std::vector<fs::path> roots{settings.scenarioFile};
    if (settings.pluginLibrary) roots.push_back(*settings.pluginLibrary);
    try {
        const Scenario sc = loadScenario(settings.scenarioFile);
        if (sc.vehicle) roots.push_back(*sc.vehicle);
        if (sc.replay) roots.push_back(*sc.replay);
        if (sc.chain) roots.insert(roots.end(), sc.chain->begin(), sc.chain->end());
    } catch (const std::exception&) {
        return last.empty() ? roots : last;
    }
    return roots;
}

// The last run's results become the next run's comparison: its files are copied (not moved, so the
// page keeps its report until the next one is ready) into a folder beside the output folder, which
// the run does not clear. The vehicle mirror's folders stay where they are.
bool keepAsPrevious(const fs::path& outDir, const fs::path& previous, std::ostream& err) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(previous, ec);
    if (fs::exists(status) && !fs::is_directory(status)) {
        err << "cabhost: " << platform::pathToUtf8(previous)
            << " exists and is not a folder; the next run is not compared with this one\n";
        return false;
    }
    fs::create_directories(previous, ec);
    for (fs::directory_iterator it(previous, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code gone;
        if (fs::is_regular_file(it->symlink_status(gone))) fs::remove(it->path(), gone);
    }
    bool copied = false;
    for (fs::directory_iterator it(outDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code copy;
        if (!fs::is_regular_file(it->symlink_status(copy))) continue;
        fs::copy_file(it->path(), previous / it->path().filename(), fs::copy_options::overwrite_existing, copy);
        copied = copied || !copy;
    }
    return !ec && copied;
}

// What the page shows: the current report, or why there is none.
struct Shown {
    uint64_t runId = 0;
    std::optional<std::string> page;   // report.html with the watch script
    std::optional<std::string> error;  // the run wrote no report: what it said
};

platform::HttpReply answer(const Shown& shown, const fs::path& outDir, const std::string& path) {
    if (path == "/run-id") return {200, "text/plain; charset=utf-8", std::to_string(shown.runId)};
    const std::optional<std::string> name = path == "/" ? std::optional<std::string>("report.html") : servedFileName(path);
    if (!name) return {404, "text/plain; charset=utf-8", "only the files of the run's output folder are served\n"};
    if (*name == "report.html") {
        if (shown.error) return {200, "text/html; charset=utf-8", errorPage(*shown.error, shown.runId)};
        if (shown.page) return {200, "text/html; charset=utf-8", *shown.page};
        return {200, "text/html; charset=utf-8",
                statusPage("The first run is under way", "This page shows its report once it has finished.", "", 0)};
    }
    std::optional<std::string> body = readWholeFile(outDir / fs::u8path(*name));
    if (!body) return {404, "text/plain; charset=utf-8", "no such file in the run's output folder\n"};
    return {200, contentType(*name), std::move(*body)};
}

bool sleepUnlessInterrupted(int64_t ms) {
    platform::hostSleepMs(ms);
    return !platform::hostInterrupted();
}

}  // namespace

std::optional<std::string> servedFileName(const std::string& requestPath) {
    if (requestPath.size() < 2 || requestPath[0] != '/') return std::nullopt;
    const std::string name = requestPath.substr(1);
    // A plain name of the run's own files: letters, digits, '_', '-', '.', never first a '.'
    // (no "..", no hidden file) and no separator, drive or escape of any kind.
    if (name.size() > 100 || name[0] == '.') return std::nullopt;
    for (unsigned char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        if (!plain) return std::nullopt;
    }
    return name;
}

std::string watchedPage(const std::string& page, uint64_t runId) {
    const size_t end = page.rfind("</body>");
    const std::string script = reloadScript(runId);
    return end == std::string::npos ? page + script : page.substr(0, end) + script + page.substr(end);
}

std::string errorPage(const std::string& message, uint64_t runId) {
    return statusPage("The run failed",
                      "The report comes back when the next run goes through; this page reloads itself after a saved "
                      "change.",
                      message, runId);
}

FileStamps stampFiles(const std::vector<platform::Path>& roots, const std::vector<platform::Path>& leftOut) {
    std::vector<fs::path> skipped;
    for (const fs::path& p : leftOut) skipped.push_back(comparable(p));
    FileStamps stamps;
    auto stamp = [&](const fs::path& file) {
        std::error_code ec;
        FileStamp s{fs::file_size(file, ec), {}};
        if (!ec) s.time = fs::last_write_time(file, ec);
        if (!ec) stamps[file] = s;
    };
    for (const fs::path& root : roots) {
        std::error_code ec;
        const fs::file_status status = fs::status(root, ec);
        if (fs::is_regular_file(status)) stamp(root);
        // An output folder that is the vehicle folder itself: what the runs write is not a save.
        if (!fs::is_directory(status) || std::find(skipped.begin(), skipped.end(), comparable(root)) != skipped.end()) {
            continue;
        }
        fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code type;
            const fs::file_status entry = it->symlink_status(type);
            if (fs::is_directory(entry)) {
                const fs::path here = comparable(it->path());
                for (const fs::path& s : skipped) {
                    if (here == s) it.disable_recursion_pending();
                }
            } else if (fs::is_regular_file(entry)) {
                stamp(it->path());
            }
        }
    }
    return stamps;
}

int watchCommand(const WatchSettings& settings, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!fs::is_regular_file(settings.scenarioFile, ec)) {
        err << "cabhost: the scenario file " << platform::pathToUtf8(settings.scenarioFile) << " does not exist\n";
        return ExitBadInput;
    }
    fs::path outDir = (settings.outDir ? *settings.outDir : fs::path("out") / settings.scenarioFile.stem()).lexically_normal();
    if (outDir.filename().empty()) outDir = outDir.parent_path();
    fs::path previous = outDir;
    previous += ".previous";

    Shown shown;
    platform::LoopbackServer server;
    std::string serverError;
    const int port = server.start(
        [&](const std::string& path) { return answer(shown, outDir, path); }, serverError);
    if (port == 0) {
        err << "cabhost: " << serverError << "\n";
        return ExitOutputError;
    }
    platform::hostCatchInterrupts();
    out << "cabhost: watching " << platform::pathToUtf8(settings.scenarioFile) << " and its vehicle; open http://127.0.0.1:"
        << port << "/report.html (Ctrl+C ends)\n"
        << std::flush;

    RunSettings run;
    run.scenarioFile = settings.scenarioFile;
    run.outDir = outDir;
    run.pluginLibrary = settings.pluginLibrary;
    run.plots = false;  // the served report draws everything the plots would; gnuplot would slow each rerun
    std::vector<fs::path> roots;
    const std::vector<fs::path> leftOut{outDir, previous};
    while (true) {
        roots = watchedRoots(settings, roots);
        const FileStamps before = stampFiles(roots, leftOut);

        std::ostringstream said;
        const RunOutcome outcome = runCommand(run, out, said);
        err << said.str() << std::flush;
        if (outcome.exitCode == ExitInterrupted || platform::hostInterrupted()) break;
        const bool wroteReport = std::find(outcome.files.begin(), outcome.files.end(), "report.html") != outcome.files.end();
        std::optional<std::string> page = wroteReport ? readWholeFile(outDir / "report.html") : std::nullopt;
        server.update([&] {
            ++shown.runId;
            shown.page = page ? std::optional<std::string>(watchedPage(*page, shown.runId)) : std::nullopt;
            shown.error = page ? std::nullopt : std::optional<std::string>(said.str().empty() ? "the run wrote no report" : said.str());
        });
        out << "cabhost: run " << shown.runId << (page ? " finished; the page reloads itself" : " failed; the page shows why")
            << "\n"
            << std::flush;

        // Wait for a saved change, then for the burst of saves to settle.
        FileStamps now = before;
        while (now == before && sleepUnlessInterrupted(PollMs)) now = stampFiles(roots, leftOut);
        for (int64_t waited = 0; waited < SettleLimitMs && sleepUnlessInterrupted(PollMs); waited += PollMs) {
            FileStamps later = stampFiles(roots, leftOut);
            if (later == now) break;
            now = std::move(later);
        }
        if (platform::hostInterrupted()) break;
        if (page && keepAsPrevious(outDir, previous, err)) run.compareDir = previous;
    }
    server.stop();
    err << "cabhost: watch ended\n";
    return ExitInterrupted;
}

}  // namespace cabhost
