// The system libraries of the Windows audio backend, shared by XAudio2 and Media Foundation (the
// stand-in host links the second without the first).
#include "platform/win32/audio_system_libraries.h"

#include <string>

namespace platform {
namespace win32audio {

HMODULE systemLibrary(const wchar_t* fileName) {
    wchar_t directory[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wstring path(directory, length);
    path += L'\\';
    path += fileName;
    // Already loaded: take it without a new reference (every library here is kept for good).
    if (HMODULE loaded = ::GetModuleHandleW(path.c_str())) return loaded;
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ::SetErrorMode(previous);
    return module;
}

}  // namespace win32audio
}  // namespace platform
