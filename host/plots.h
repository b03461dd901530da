// PNG plots of a trace, drawn by gnuplot from the trace CSV. The gnuplot script stays in the
// output folder, so an author can change it and draw again.
#pragma once

#include <string>
#include <vector>

#include "host/trace.h"
#include "platform/platform.h"

namespace cabhost {

struct PlotOutcome {
    std::vector<std::string> files;  // PNG names written
    std::string note;                // why plots are missing, when they are
};

// The gnuplot script for the trace written at csvFile, drawing into outDir.
std::string plotScript(const Trace& trace, const platform::Path& csvFile, const platform::Path& outDir,
                       int32_t startTimeMs, const std::string& title, std::vector<std::string>& pngNames);
// Writes the script as plots.gp and runs gnuplot on it when it is installed.
PlotOutcome drawPlots(const Trace& trace, const platform::Path& csvFile, const platform::Path& outDir,
                      int32_t startTimeMs, const std::string& title);

}  // namespace cabhost
