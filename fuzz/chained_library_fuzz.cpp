// Any bytes as a library listed in detailmodules.txt, read the way `cabhost check` reads a Windows
// library's headers: bounded, and never past the bytes that are there.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/chain_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const cabhost::ReadBytesAt read = [data, size](uint64_t offset, uint8_t* out, size_t count) -> size_t {
        if (offset >= size) return 0;
        const size_t n = std::min<size_t>(count, static_cast<size_t>(size - offset));
        std::memcpy(out, data + offset, n);
        return n;
    };
    const cabhost::LibraryImage image = cabhost::inspectPe(read, size);
    if (!image.isPe && (image.machine != 0 || image.exportsAnyEntry)) std::abort();
    return 0;
}
