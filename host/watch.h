// `cabhost watch`: runs a scenario, serves its report on the loopback address, and runs it again
// whenever a file that the vehicle or the scenario uses is saved, the previous run drawn beside it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

struct WatchSettings {
    platform::Path scenarioFile;
    std::optional<platform::Path> outDir;  // default: out/<scenario name>
    std::optional<platform::Path> pluginLibrary;
};

// The whole command; ends on Ctrl+C (or SIGTERM) with ExitInterrupted.
int watchCommand(const WatchSettings& settings, std::ostream& out, std::ostream& err);

// The name of the output folder's file that a request path asks for: one plain file name directly
// in the folder ("/report.html" -> "report.html"). Nothing for anything that names a folder, climbs
// out ("..", a drive, a backslash) or is not a plain name.
std::optional<std::string> servedFileName(const std::string& requestPath);

// The report with the watch script added before its end, so that the page reloads itself after the
// run numbered runId.
std::string watchedPage(const std::string& page, uint64_t runId);
// The page shown instead of the report when a run wrote none: what the run said (file and line of
// a configuration error), and the same reloading as the report.
std::string errorPage(const std::string& message, uint64_t runId);

// Size and modification time of every file that a run reads, by path: the scenario, its replay and
// chained libraries, and everything under the vehicle folder except the folders left out (the run's
// own output, when it lies inside the vehicle folder).
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    bool operator==(const FileStamp&) const = default;
};
using FileStamps = std::map<platform::Path, FileStamp>;
FileStamps stampFiles(const std::vector<platform::Path>& roots, const std::vector<platform::Path>& leftOut);

}  // namespace cabhost
