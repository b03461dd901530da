// Linux backend: dlopen, stat, and standard error for the error signal (the keyboard: software/).
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

char lastErrorText[4096];

}  // namespace

std::FILE* openFileForReading(const Path& path) {
    return std::fopen(path.c_str(), "rb");
}

bool exists(const Path& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) return true;
    switch (errno) {
        case ENOENT:        // file not found
        case ENOTDIR:       // path not found
        case ENAMETOOLONG:  // invalid name
            return false;
        default:
            throw FileSystemError("cannot read the attributes of \"" + pathToUtf8(path) + "\": " +
                                  std::strerror(errno));
    }
}

LibraryHandle loadLibrary(const Path& path) {
    // A bare name would make the loader search its own folders and load some other file than the
    // one whose existence was tested; a relative path is taken from the current directory, as the
    // existence test takes it.
    std::error_code error;
    const Path full = path.is_absolute() ? path : std::filesystem::absolute(path, error);
    if (error || full.empty()) return nullptr;
    return ::dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* findSymbol(LibraryHandle library, const char* name) {
    return library ? ::dlsym(library, name) : nullptr;
}

void freeLibrary(LibraryHandle library) {
    if (library) ::dlclose(library);
}

Path libraryFileName(LibraryHandle library) {
    struct link_map* map = nullptr;
    if (library && ::dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
        return Path(map->l_name);
    }
    return Path();
}

std::string libraryFileNameNarrow(LibraryHandle library) {
    return libraryFileName(library).native();
}

LocalTime localTime() {
    struct timeval now;
    ::gettimeofday(&now, nullptr);
    struct tm parts;
    time_t seconds = now.tv_sec;
    ::localtime_r(&seconds, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min,         parts.tm_sec,     static_cast<int>(now.tv_usec / 1000)};
}

void signalError(const char* message) {
    std::snprintf(lastErrorText, sizeof lastErrorText, "%s", message);
    std::fprintf(stderr, "%s\n", lastErrorText);
    std::fflush(stderr);
}

const char* lastError() {
    return lastErrorText;
}

void clearLastError() {
    lastErrorText[0] = '\0';
}

}  // namespace platform
