#include "config/config_file.h"

#include "config/config_error.h"
#include "config/number.h"

namespace config {

void splitFields(std::u32string_view text, std::vector<std::u32string_view>& fields) {
    fields.clear();
    size_t start = 0;
    while (start < text.size()) {
        const size_t comma = text.find(U',', start);
        if (comma == std::u32string_view::npos) {
            fields.push_back(trim(text.substr(start)));
            return;
        }
        fields.push_back(trim(text.substr(start, comma - start)));
        start = comma + 1;
    }
}

bool startsWith(std::u32string_view text, std::u32string_view keyword) {
    return text.substr(0, keyword.size()) == keyword;
}

bool equalsIgnoringCase(std::u32string_view text, std::u32string_view expected) {
    if (text.size() != expected.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t a = text[i], b = expected[i];
        if (a >= U'A' && a <= U'Z') a += U'a' - U'A';
        if (b >= U'A' && b <= U'Z') b += U'a' - U'A';
        if (a != b) return false;
    }
    return true;
}

std::string quoted(std::u32string_view field) {
    constexpr size_t Longest = 40;
    if (field.size() <= Longest) return "\"" + toUtf8(field) + "\"";
    return "\"" + toUtf8(field.substr(0, Longest)) + "...\"";
}

ConfigFile::ConfigFile(std::string_view kind, const platform::Path& path) : kind_(kind), path_(path), reader_(path) {}

bool ConfigFile::nextLine(std::u32string_view& content) {
    if (!reader_.nextLine(line_)) {
        if (reader_.isUtf16()) throw ConfigError(name() + ": " + Utf16Advice);
        return false;
    }
    content = stripComment(line_);
    if (reader_.truncated() && content.size() == line_.size()) {
        fail("the line is longer than " + std::to_string(TextReader::MaxLineLength) + " characters");
    }
    return true;
}

std::string ConfigFile::name() const {
    return kind_ + " \"" + platform::pathToUtf8(path_) + "\"";
}

std::string ConfigFile::where() const {
    return name() + " line " + std::to_string(reader_.lineNumber());
}

void ConfigFile::fail(std::string_view text) const {
    throw ConfigError(where() + ": " + std::string(text));
}

float ConfigFile::number(std::u32string_view field, std::string_view expected, uint32_t column) const {
    const ParsedNumber parsed = parseNumber(field);
    if (parsed.status == NumberStatus::Ok) return parsed.value;
    const std::string here = " (" + std::string(expected) +
                             (column > 0 ? " of column " + std::to_string(column) : std::string()) +
                             " is expected here)";
    switch (parsed.status) {
        case NumberStatus::Ok: break;
        case NumberStatus::OutOfRange:
            fail(quoted(field) + " is beyond the range of a single-precision number" + here +
                 ": stof argument out of range");
        case NumberStatus::NotANumber: break;
    }
    fail(quoted(field) + " is not a number" + here + ": invalid stof argument");
}

}  // namespace config
