// The stand-in host's program entry on Linux: the arguments are already UTF-8.
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) args.emplace_back(argv[i]);
    return platform::hostMain(std::move(args), platform::Path(argc > 0 ? argv[0] : ""));
}
