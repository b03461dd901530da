// Reads the plug-in's text files: UTF-8 with or without a byte-order mark, decoded the same way on
// every platform; CR LF reads as LF, as a Windows text-mode stream reads it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace config {

class TextReader {
public:
    // Longest line kept, in code points; the rest of a longer line is read and dropped so that
    // memory stays bounded whatever the file holds.
    static constexpr size_t MaxLineLength = size_t{1} << 20;

    // Opens the file; isOpen() tells whether that worked (a directory does not open).
    explicit TextReader(const platform::Path& path);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    // The next line without its line end, decoded to code points; invalid bytes become U+FFFD.
    // False at the end of the file. lineNumber() is the 1-based number of the line returned last.
    bool nextLine(std::u32string& line);
    int64_t lineNumber() const { return lineNumber_; }
    // The line returned last was longer than MaxLineLength and holds only its beginning.
    bool truncated() const { return truncated_; }
    // The file is UTF-16 (with a byte-order mark, or text whose first character has a zero high
    // or low byte). Such a file gives no lines: read as UTF-8 every line would be noise.
    bool isUtf16() const { return utf16_; }

private:
    int nextByte();
    // Leaves the position at the next line feed, or at the end of the file.
    void skipToLineEnd();

    std::FILE* file_ = nullptr;
    unsigned char buffer_[65536];
    size_t size_ = 0;
    size_t position_ = 0;
    int64_t lineNumber_ = 0;
    bool atStart_ = true;
    bool truncated_ = false;
    bool utf16_ = false;
};

// What to tell an author whose file is UTF-16.
inline constexpr const char* Utf16Advice =
    "the file is saved as UTF-16 and is not read; save it as UTF-8 (in Notepad: Save As, Encoding UTF-8)";
// The first bytes of a file (at least two, where it has them) are UTF-16 text.
bool looksLikeUtf16(std::string_view start);

// What a UTF-8 locale classifies as white space: the ASCII blanks, tab, line ends and the Unicode
// spaces (among them the ideographic space U+3000); not the no-break spaces.
bool isSpace(char32_t c);
std::u32string_view trim(std::u32string_view text);
// Removes everything from the first ";" or "#".
std::u32string_view stripComment(std::u32string_view text);
std::string toUtf8(std::u32string_view text);

}  // namespace config
