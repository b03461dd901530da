// The machine a set of figures was taken on, for the table.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Processor, logical CPUs, memory, system, the build and the time.
std::vector<std::string> machineLines(const std::string& build);
// The 1, 5 and 15 minute load averages: other work on the machine while it was measured.
std::string loadAverage();

}  // namespace bench
