// The stand-in host's operating-system calls on Linux.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

namespace platform {
namespace {

std::string shellQuote(const std::string& argument) {
    std::string q = "'";
    for (char c : argument) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

}  // namespace

void hostCatchErrorSignals() {}

std::string hostTakeCaughtError() {
    return {};
}

bool hostStderrIsTerminal() {
    return ::isatty(2) != 0;
}

int hostRunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = shellQuote(program);
    for (const std::string& a : arguments) command += " " + shellQuote(a);
    command += " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    const int code = WEXITSTATUS(status);
    return code == 127 ? -1 : code;  // the shell could not find the program
}

}  // namespace platform
