#include "config/text_reader.h"

#include <cstdio>
#include <cstring>
#include <system_error>

namespace config {
namespace {

std::FILE* openForReading(const platform::Path& path) {
    // fopen succeeds on a directory on some platforms and then reads nothing; a directory is
    // never a text file.
    std::error_code error;
    if (path.empty() || std::filesystem::is_directory(path, error)) return nullptr;
    return platform::openFileForReading(path);
}

}  // namespace

TextReader::TextReader(const platform::Path& path) : file_(openForReading(path)) {}

TextReader::~TextReader() {
    if (file_) std::fclose(file_);
}

int TextReader::nextByte() {
    if (position_ == size_) {
        if (!file_) return EOF;
        size_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        position_ = 0;
        if (size_ == 0) return EOF;
    }
    return buffer_[position_++];
}

void TextReader::skipToLineEnd() {
    for (;;) {
        const void* end = std::memchr(buffer_ + position_, '\n', size_ - position_);
        if (end) {
            position_ = static_cast<size_t>(static_cast<const unsigned char*>(end) - buffer_);
            return;
        }
        position_ = size_;
        if (nextByte() == EOF) return;
        --position_;
    }
}

bool TextReader::nextLine(std::u32string& line) {
    line.clear();
    truncated_ = false;
    int c = nextByte();
    if (c == EOF) return false;
    if (atStart_) {
        atStart_ = false;
        if (looksLikeUtf16(std::string_view(reinterpret_cast<const char*>(buffer_), size_))) {
            utf16_ = true;
            position_ = size_;
            std::fseek(file_, 0, SEEK_END);
            return false;
        }
        // A leading byte-order mark is not part of the text (the first read holds the whole mark).
        if (c == 0xEF && size_ >= 3 && buffer_[1] == 0xBB && buffer_[2] == 0xBF) {
            position_ = 3;
            c = nextByte();
            if (c == EOF) return false;
        }
    }
    ++lineNumber_;
    for (; c != EOF; c = nextByte()) {
        if (c == '\n') break;
        if (line.size() >= MaxLineLength) {
            truncated_ = true;
            skipToLineEnd();
            c = nextByte();
            break;
        }
        if (c < 0x80) {
            line += static_cast<char32_t>(c);
            continue;
        }
        int extra = 0;
        char32_t value = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, value = c & 0x07;
        } else {
            line += U'\uFFFD';
            continue;
        }
        bool valid = true;
        for (int i = 0; i < extra; ++i) {
            int next = nextByte();
            if (next == EOF || (next & 0xC0) != 0x80) {
                if (next != EOF) position_--;  // decode it again as the start of a sequence
                valid = false;
                break;
            }
            value = (value << 6) | (next & 0x3F);
        }
        const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (!valid || value < minimum || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) value = U'\uFFFD';
        line += value;
    }
    // A text-mode stream turns CR LF into LF.
    if (!truncated_ && !line.empty() && line.back() == U'\r' && c == '\n') line.pop_back();
    return true;
}

bool looksLikeUtf16(std::string_view start) {
    if (start.size() < 2) return false;
    const auto first = static_cast<unsigned char>(start[0]), second = static_cast<unsigned char>(start[1]);
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) return true;
    // No UTF-8 text starts with a NUL byte; UTF-16 without a mark does, in one byte of the two,
    // for every character below U+0100.
    return (first == 0) != (second == 0);
}

bool isSpace(char32_t c) {
    if (c <= U' ') return c == U' ' || (c >= U'\t' && c <= U'\r');
    // U+2007 is a no-break space and so, like U+00A0 and U+202F, not white space.
    return c == 0x1680 || (c >= 0x2000 && c <= 0x200A && c != 0x2007) || c == 0x2028 || c == 0x2029 || c == 0x205F ||
           c == 0x3000;
}

std::u32string_view trim(std::u32string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isSpace(text[begin])) ++begin;
    while (end > begin && isSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::u32string_view stripComment(std::u32string_view text) {
    const size_t at = text.find_first_of(U";#");
    return at == std::u32string_view::npos ? text : text.substr(0, at);
}

std::string toUtf8(std::u32string_view text) {
    return platform::utf8FromCodePoints(text);
}

}  // namespace config
