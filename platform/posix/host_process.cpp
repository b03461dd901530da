// The stand-in host's operating-system calls on Linux.
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/host.h"
#include "platform/platform.h"

namespace platform {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void noteInterrupt(int) {
    interrupted = 1;
}

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

bool hostIsLink(const Path& path) {
    std::error_code ec;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec));
}

uint64_t hostNameCount(const Path& file) {
    std::error_code ec;
    const uintmax_t count = std::filesystem::hard_link_count(file, ec);
    return ec ? 0 : count;
}

bool hostRemoveLink(const Path& link, std::string& error) {
    if (::unlink(link.c_str()) == 0) return true;
    error = std::system_category().message(errno);
    return false;
}

void hostCatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    // The first interruption is handled by the run; a second one takes the default way out.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool hostInterrupted() {
    return interrupted != 0;
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
