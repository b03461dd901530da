// The little the stand-in host needs of the operating system beyond the plug-ins' platform layer.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

// Standard error is a terminal (progress is shown only there).
bool stderrIsTerminal();
// Runs a program found on the search path with these arguments, its output discarded;
// returns its exit status, or -1 when it could not be started.
int runProgram(const std::string& program, const std::vector<std::string>& arguments);
// The program can be started (it answers --version).
bool programAvailable(const std::string& program);

}  // namespace cabhost
