#include "host/vehicle_folder.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace cabhost {

namespace fs = std::filesystem;

void requireOpenableLength(const platform::Path& path, std::string_view what) {
    if (platform::PathLengthLimit == 0) return;
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    const size_t length = (ec ? path : full).native().size();
    if (length <= platform::PathLengthLimit) return;
    throw std::runtime_error(std::string(what) + " " + platform::pathToUtf8(path) + " is " + std::to_string(length) +
                             " characters long, and Windows opens paths of at most " +
                             std::to_string(platform::PathLengthLimit) + " characters: move it to a shorter path");
}

platform::Path findPluginDirectory(const platform::Path& given) {
    const std::string name = platform::pathToUtf8(given);
    requireOpenableLength(given, "the vehicle folder");
    std::error_code ec;
    const fs::file_status status = fs::status(given, ec);
    if (ec || !fs::exists(status)) throw std::runtime_error("no such folder: " + name);
    if (!fs::is_directory(status)) throw std::runtime_error(name + " is not a folder");
    auto holdsNotch = [](const fs::path& dir) {
        std::error_code e;
        return fs::exists(dir / "Notch.txt", e) || fs::exists(dir / "detailmodules.txt", e);
    };
    const fs::path dir = fs::absolute(given, ec).lexically_normal();
    if (holdsNotch(dir)) return dir / "";
    std::vector<fs::path> candidates;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code e;
        if (it->is_directory(e) && holdsNotch(it->path())) candidates.push_back(it->path());
    }
    if (ec) throw std::runtime_error("cannot list the folder " + name + ": " + ec.message());
    if (candidates.size() == 1) return candidates.front() / "";
    if (candidates.empty()) {
        throw std::runtime_error("no Notch.txt in " + name +
                                 " or in a folder inside it (name the vehicle folder or the plug-in folder)");
    }
    std::string list;
    for (const fs::path& c : candidates) list += "\n  " + platform::pathToUtf8(c);
    throw std::runtime_error("several plug-in folders in " + name + "; name one of them:" + list);
}

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t cp = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const unsigned char d = static_cast<unsigned char>(text[i + k]);
            valid = valid && (d >> 6) == 2;
            cp = (cp << 6) | (d & 0x3F);
        }
        out.push_back(valid ? cp : U'\uFFFD');
        i += valid ? length : 1;
    }
    return out;
}

}  // namespace cabhost
