// The stand-in host's operating-system calls on Linux.
#include <dlfcn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/host.h"
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

bool hostLinksFolders() {
    return true;
}

bool hostLinkFile(const Path& target, const Path& link, std::string& error) {
    std::error_code ec;
    std::filesystem::create_symlink(target, link, ec);
    if (ec) error = ec.message();
    return !ec;
}

bool hostLibraryIsLoaded(const Path& library) {
    void* handle = ::dlopen(library.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) return false;
    ::dlclose(handle);
    return true;
}

std::FILE* hostOpenBinaryFileForWriting(const Path& path) {
    return std::fopen(path.c_str(), "wb");
}

void hostSleepMs(int64_t milliseconds) {
    if (milliseconds <= 0) return;
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace platform
