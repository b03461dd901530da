// Tells the plug-in its own file name when the dynamic loader maps the library.
#include <dlfcn.h>

#include "platform/platform.h"

namespace {

__attribute__((constructor)) void attachLibrary() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&attachLibrary), &info) != 0 && info.dli_fname) {
        std::error_code error;
        platform::Path file = std::filesystem::absolute(platform::Path(info.dli_fname), error);
        platform::onLibraryAttach(error ? platform::Path(info.dli_fname) : file);
    }
}

}  // namespace
