// `cabhost run` over several scenarios, or a folder of them: each runs in a cabhost process of its
// own (Corvane linked in keeps process-wide state), two at a time, with one line each, a total,
// and on request a JUnit XML file, the form CI services read.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

struct BatchSettings {
    std::vector<platform::Path> scenarios;  // files, or folders whose *.toml files all run
    std::optional<platform::Path> outDir;   // each scenario's results in outDir/<scenario name>
    std::optional<platform::Path> pluginLibrary;
    bool plots = true;
    std::optional<platform::Path> junitFile;
    platform::Path self;  // this program, started once per scenario
    int jobs = 2;
};

// The scenario files that the arguments name, in order, each folder's in name order; throws
// std::runtime_error for an argument that is neither, or a folder without scenarios.
std::vector<platform::Path> scenarioFiles(const std::vector<platform::Path>& arguments);

// Returns 0 when every scenario ran with status 0, else the status of the first that did not.
int runBatch(const BatchSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace cabhost
