// Tells the plug-in its own file name when Windows attaches the DLL to the host process.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    std::vector<wchar_t> buffer(260);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(instance, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return TRUE;
        if (length < buffer.size() || buffer.size() >= 32768) {
            platform::onLibraryAttach(platform::Path(std::wstring(buffer.data(), length)));
            return TRUE;
        }
        buffer.resize(buffer.size() * 2);
    }
}
