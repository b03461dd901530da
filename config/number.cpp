#include "config/number.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "config/text_reader.h"

namespace config {
namespace {

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

size_t skipDigits(std::u32string_view text, size_t at) {
    while (at < text.size() && isDigit(text[at])) ++at;
    return at;
}

}  // namespace

ParsedNumber parseNumber(std::u32string_view text) {
    size_t at = 0;
    while (at < text.size() && isSpace(text[at])) ++at;

    // The prefix is collected as ASCII for std::from_chars, which rounds correctly and behaves the
    // same in every runtime (the C library's strtof does not: locales, hexadecimal, "inf").
    std::string prefix;
    if (at < text.size() && (text[at] == U'+' || text[at] == U'-')) {
        if (text[at] == U'-') prefix += '-';
        ++at;
    }
    const size_t integerEnd = skipDigits(text, at);
    size_t end = integerEnd;
    bool haveDigits = integerEnd > at;
    if (end < text.size() && text[end] == U'.') {
        const size_t fractionEnd = skipDigits(text, end + 1);
        if (fractionEnd > end + 1) haveDigits = true;
        if (haveDigits) end = fractionEnd;
    }
    if (!haveDigits) return {};
    if (end < text.size() && (text[end] == U'e' || text[end] == U'E')) {
        size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == U'+' || text[exponent] == U'-')) ++exponent;
        const size_t exponentEnd = skipDigits(text, exponent);
        if (exponentEnd > exponent) end = exponentEnd;
    }
    prefix.reserve(prefix.size() + end - at);
    for (size_t i = at; i < end; ++i) prefix += static_cast<char>(text[i]);

    ParsedNumber result;
    result.length = end;
    const auto [ptr, error] =
        std::from_chars(prefix.data(), prefix.data() + prefix.size(), result.value, std::chars_format::general);
    (void)ptr;
    if (error == std::errc::result_out_of_range || (error == std::errc{} && std::isinf(result.value))) {
        result.status = NumberStatus::OutOfRange;
        result.value = 0.0f;
    } else if (error != std::errc{}) {
        result.status = NumberStatus::NotANumber;
        result.value = 0.0f;
    } else {
        result.status = NumberStatus::Ok;
    }
    return result;
}

}  // namespace config
