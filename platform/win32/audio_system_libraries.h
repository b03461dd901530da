// The system libraries of the Windows audio backend, loaded at run time from the system directory
// so that the plug-in still loads (and runs silent) on a system that lacks them.
#pragma once

#include <windows.h>

namespace platform::win32audio {

// The library from the system directory by full path, or null. Loaded once per process and kept:
// an engine's threads may still run code of it until the engine is released.
HMODULE systemLibrary(const wchar_t* fileName);

// An export of a system library by name or by ordinal (MAKEINTRESOURCEA), or null.
template <class Function>
Function systemFunction(const wchar_t* fileName, const char* nameOrOrdinal) {
    HMODULE module = systemLibrary(fileName);
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, nameOrOrdinal)));
}

}  // namespace platform::win32audio
