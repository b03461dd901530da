// The stand-in host's operating-system calls on Linux.
#include <dlfcn.h>
#include <fcntl.h>
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

}  // namespace

void hostCatchErrorSignals() {}

std::string hostTakeCaughtError() {
    return {};
}

bool hostStderrIsTerminal() {
    return ::isatty(2) != 0;
}

int hostRunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    return hostWaitProgram(hostStartProgram(program, arguments, "/dev/null"));
}

int64_t hostStartProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const Path& outputFile) {
    std::vector<std::string> owned = {program};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int input = ::open("/dev/null", O_RDONLY);
        if (input >= 0) ::dup2(input, 0);
        ::dup2(output, 1);
        ::dup2(output, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(output);
    return pid > 0 ? pid : -1;
}

int hostWaitProgram(int64_t id) {
    if (id <= 0) return -1;
    int status = 0;
    while (::waitpid(static_cast<pid_t>(id), &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    const int code = WEXITSTATUS(status);
    return code == 127 ? -1 : code;  // the program could not be started
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
