#include "host/host_os.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace cabhost {
namespace {

std::string quote(const std::string& argument) {
#ifdef _WIN32
    std::string q = "\"";
    for (char c : argument) {
        if (c == '"') q += '\\';
        q += c;
    }
    return q + "\"";
#else
    std::string q = "'";
    for (char c : argument) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
#endif
}

}  // namespace

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(2) != 0;
#else
    return isatty(2) != 0;
#endif
}

int runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    std::string command = quote(program);
    for (const std::string& a : arguments) command += " " + quote(a);
#ifdef _WIN32
    command += " >NUL 2>&1";
#else
    command += " >/dev/null 2>&1";
#endif
    const int status = std::system(command.c_str());
    if (status == -1) return -1;
#ifdef _WIN32
    return status;
#else
    if (!WIFEXITED(status)) return -1;
    const int code = WEXITSTATUS(status);
    return code == 127 ? -1 : code;  // the shell could not find the program
#endif
}

bool programAvailable(const std::string& program) {
    return runProgram(program, {"--version"}) == 0;
}

}  // namespace cabhost
