// Windows backend: LoadLibraryW, GetFileAttributesW and RaiseException (the keyboard: keyboard.cpp).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

char lastErrorText[4096];

// GetModuleFileNameW into a buffer that grows, so a library in a deep folder still finds itself.
std::wstring moduleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(260);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::FILE* openFileForReading(const Path& path) {
    return ::_wfopen(path.c_str(), L"rb");
}

bool exists(const Path& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return true;
    DWORD error = ::GetLastError();
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:  // a name too long to exist is not there, like an invalid one
            return false;
        default: {
            char code[32];
            std::snprintf(code, sizeof code, "%lu", static_cast<unsigned long>(error));
            throw FileSystemError("cannot read the attributes of \"" + pathToUtf8(path) +
                                  "\": system error " + code);
        }
    }
}

LibraryHandle loadLibrary(const Path& path) {
    // A relative name would make the loader search the host's folder, the system folders and PATH;
    // it is taken from the current directory, as the existence test takes it.
    std::error_code error;
    const Path full = path.is_absolute() ? path : std::filesystem::absolute(path, error);
    if (error || full.empty()) return nullptr;
    // Without an extension LoadLibraryW would append ".dll" and load another file than the one
    // whose existence was tested; a trailing "." stops it.
    std::wstring name = full.native();
    if (!full.has_extension()) name += L'.';
    // Failing loads must not put up a dialog box inside the host.
    UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryW(name.c_str());
    ::SetErrorMode(previous);
    return reinterpret_cast<LibraryHandle>(module);
}

void* findSymbol(LibraryHandle library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library) {
    if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

Path libraryFileName(LibraryHandle library) {
    return Path(moduleFileName(static_cast<HMODULE>(library)));
}

std::string libraryFileNameNarrow(LibraryHandle library) {
    std::wstring wide = moduleFileName(static_cast<HMODULE>(library));
    if (wide.empty()) return std::string();
    int size = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &narrow[0], size, nullptr,
                          nullptr);
    return narrow;
}

LocalTime localTime() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

void signalError(const char* message) {
    std::snprintf(lastErrorText, sizeof lastErrorText, "%s", message);
    ULONG_PTR arguments[1] = {reinterpret_cast<ULONG_PTR>(lastErrorText)};
    ::RaiseException(ErrorExceptionCode, 0, 1, arguments);
}

const char* lastError() {
    return lastErrorText;
}

void clearLastError() {
    lastErrorText[0] = '\0';
}

}  // namespace platform
