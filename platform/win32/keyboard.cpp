// The real keyboard, for the plug-in DLLs (the Windows stand-in host injects keys instead).
#include <windows.h>

#include "platform/platform.h"

namespace platform {

bool isKeyDown(int virtualKey) {
    return (static_cast<unsigned short>(::GetKeyState(virtualKey)) & 0x8000) != 0;
}

bool readKeyboardState(uint8_t state[256]) {
    return ::GetKeyboardState(state) != 0;
}

}  // namespace platform
