#include "fuzz_files.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <system_error>

namespace fuzz {
namespace {

platform::Path makeScratch() {
    std::error_code error;
    platform::Path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "corvane-fuzz-XXXXXX").native();
    if (!::mkdtemp(pattern.data())) std::abort();
    return platform::Path(pattern);
}

struct Scratch {
    platform::Path path = makeScratch();
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
};

Scratch& scratch() {
    static Scratch instance;
    return instance;
}

}  // namespace

const platform::Path& scratchDirectory() {
    return scratch().path;
}

void clearScratch() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(scratchDirectory(), error)) {
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

platform::Path writeScratchFile(const platform::Path& relative, std::string_view bytes) {
    const platform::Path path = scratchDirectory() / relative;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::string_view> splitInput(const uint8_t* data, size_t size, std::string_view separator) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = all.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(all.substr(start));
            return parts;
        }
        parts.push_back(all.substr(start, at - start));
        start = at + separator.size();
    }
}

bool leavesFolder(const platform::Path& folder, std::string_view text) {
    std::u32string wide;
    for (unsigned char c : text) wide += static_cast<char32_t>(c);
    if (text.find("..") != std::string_view::npos) return true;
    const platform::Path joined = platform::joinPath(folder, wide).lexically_normal();
    const std::string joinedText = joined.native();
    const std::string folderText = folder.lexically_normal().native();
    return joinedText.compare(0, folderText.size(), folderText) != 0;
}

float interestingFloat(uint8_t choice, uint32_t rawBits) {
    constexpr float specials[] = {
        0.0f,
        -0.0f,
        1.0f,
        -1.0f,
        std::numeric_limits<float>::quiet_NaN(),
        -std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::max(),
        std::numeric_limits<float>::lowest(),
        std::numeric_limits<float>::denorm_min(),
        std::numeric_limits<float>::min(),
        2147483648.0f,
        -2147483904.0f,
        4294967296.0f,
        1e30f,
        5.0f,
        15.0f,
        29.9f,
        30.0f,
        80.0f,
        320.0f,
        420.0f,
        1350.0f,
        1650.0f,
    };
    constexpr size_t count = sizeof specials / sizeof specials[0];
    if (choice < count) return specials[choice];
    if (choice < 200) return static_cast<float>(static_cast<int32_t>(rawBits % 2001) - 1000) * 0.5f;
    float value;
    std::memcpy(&value, &rawBits, sizeof value);
    return value;
}

int32_t interestingInt(uint8_t choice, uint32_t raw) {
    constexpr int32_t specials[] = {
        0,
        1,
        -1,
        2,
        7,
        8,
        9,
        12,
        13,
        255,
        256,
        -256,
        std::numeric_limits<int32_t>::min(),
        std::numeric_limits<int32_t>::max(),
        std::numeric_limits<int32_t>::min() + 1,
        std::numeric_limits<int32_t>::max() - 1,
        -2,
        -4,
        -6,
        -7,
        -8,
        1000,
        -1000,
        65536,
    };
    constexpr size_t count = sizeof specials / sizeof specials[0];
    if (choice < count) return specials[choice];
    if (choice < 160) return static_cast<int32_t>(raw % 32) - 8;
    return static_cast<int32_t>(raw);
}

}  // namespace fuzz
