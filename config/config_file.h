// Line-by-line reading of one configuration file with the common rules: comments from ";" or "#"
// to the end of the line, comma-separated fields, numbers, and errors that name the file and line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/text_reader.h"
#include "platform/platform.h"

namespace config {

// The text between commas, each piece trimmed. A comma at the very end of the text adds no empty
// last field; two commas in a row do give an empty field. Empty text gives no field.
void splitFields(std::u32string_view text, std::vector<std::u32string_view>& fields);

// True when text begins with keyword, compared case-sensitively.
bool startsWith(std::u32string_view text, std::u32string_view keyword);
// ASCII letters compared without regard to case; every other character exactly.
bool equalsIgnoringCase(std::u32string_view text, std::u32string_view expected);

// A field shortened for a message, in double quotes.
std::string quoted(std::u32string_view field);

class ConfigFile {
public:
    // kind names the file for the author ("power parameter file").
    ConfigFile(std::string_view kind, const platform::Path& path);

    bool isOpen() const { return reader_.isOpen(); }
    // The next line with its comment removed, not trimmed. False at the end of the file.
    // A line too long to keep whole is an error unless the part dropped lies inside a comment.
    bool nextLine(std::u32string_view& content);
    int64_t lineNumber() const { return reader_.lineNumber(); }

    // kind "path"
    std::string name() const;
    // kind "path" line n
    std::string where() const;
    // Throws ConfigError with where() and the text.
    [[noreturn]] void fail(std::string_view text) const;
    // The number in field; a field that holds none, or one out of range, is an error whose
    // message says what belongs there (expected, e.g. "the speed in km/h") and ends with the
    // conversion's standard text. A column above 0 is named after expected ("... of column 3").
    float number(std::u32string_view field, std::string_view expected, uint32_t column = 0) const;

private:
    std::string kind_;
    platform::Path path_;
    TextReader reader_;
    std::u32string line_;
};

}  // namespace config
