// The stand-in host's program entry on Windows: the arguments arrive as UTF-16 and go on as UTF-8,
// so a Japanese folder name survives whatever the system code page is.
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/platform.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) {
        const std::u8string text = platform::Path(argv[i]).u8string();
        args.emplace_back(text.begin(), text.end());
    }
    return platform::hostMain(std::move(args), platform::Path(argv[0]));
}
