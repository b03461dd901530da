// Path and text helpers common to both backends (no operating-system headers).
#include "platform/platform.h"

namespace platform {
namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t separatorFor(char32_t c) {
    return (c == U'\\' || c == U'/') ? PreferredSeparator : c;
}

}  // namespace

std::string utf8FromCodePoints(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) appendUtf8(out, c > 0x10FFFF ? 0xFFFD : c);
    return out;
}

Path pathFromText(std::u32string_view text) {
#ifdef _WIN32
    std::wstring wide;
    wide.reserve(text.size());
    for (char32_t c : text) {
        c = separatorFor(c);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (c >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return Path(wide);
#else
    std::string utf8;
    utf8.reserve(text.size());
    for (char32_t c : text) appendUtf8(utf8, c > 0x10FFFF ? 0xFFFD : separatorFor(c));
    return Path(utf8);
#endif
}

std::string pathToUtf8(const Path& path) {
#ifdef _WIN32
    const std::wstring& wide = path.native();
    std::string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char16_t>(wide[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
            char32_t low = static_cast<char16_t>(wide[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        appendUtf8(out, c);
    }
    return out;
#else
    return path.native();
#endif
}

Path joinPath(const Path& dir, std::u32string_view name) {
    return dir / pathFromText(name);
}

Path joinPath(const Path& dir, std::string_view asciiName) {
    std::u32string text(asciiName.begin(), asciiName.end());
    return joinPath(dir, text);
}

}  // namespace platform
