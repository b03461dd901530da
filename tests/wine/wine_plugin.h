// What the Windows test programs share to drive a plug-in DLL through its exports: the entry points
// looked up by name, the error signal recorded and continued, and a vehicle folder copied for a run.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "interface/entry_points.h"
#include "platform/platform.h"

namespace wine_test {

inline host::EntryPoints entryPointsOf(HMODULE module) {
    return host::bindEntryPoints(
        [module](const char* name) { return reinterpret_cast<void*>(::GetProcAddress(module, name)); });
}

// The message of the last error signal a plug-in raised; a test host continues after it, as a host
// whose handler continues does.
inline std::string signalled;

inline LONG CALLBACK continueAfterError(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != platform::ErrorExceptionCode) return EXCEPTION_CONTINUE_SEARCH;
    if (info->ExceptionRecord->NumberParameters >= 1)
        signalled = reinterpret_cast<const char*>(info->ExceptionRecord->ExceptionInformation[0]);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Copies a vehicle folder, its sound files too unless withSounds is false; the first error, if any.
inline std::error_code copyFolder(const std::filesystem::path& from, const std::filesystem::path& to,
                                  bool withSounds = true) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        const fs::path target = to / fs::relative(it->path(), from);
        if (it->is_directory()) {
            fs::create_directories(target);
        } else if (withSounds || it->path().extension() != ".wav") {
            fs::create_directories(target.parent_path());
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, error);
        }
    }
    return error;
}

}  // namespace wine_test
