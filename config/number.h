// Numbers in the configuration files, read the same way on every platform: optional leading
// white space, an optional sign, decimal digits with "." as the decimal point and an optional
// exponent. The longest such prefix counts and whatever follows it is ignored ("12A" reads as 12).
#pragma once

#include <cstddef>
#include <string_view>

namespace config {

enum class NumberStatus {
    Ok,
    NotANumber,  // no digits where the number should start
    OutOfRange,  // beyond single precision, or a non-zero value that rounds to zero
};

struct ParsedNumber {
    NumberStatus status = NumberStatus::NotANumber;
    float value = 0.0f;
    // Code points of text up to the end of the number (leading blanks included); what follows is
    // ignored by the reading but worth a warning when it is not blank.
    size_t length = 0;
};

// The correctly rounded single-precision value of the longest valid prefix of text.
ParsedNumber parseNumber(std::u32string_view text);

}  // namespace config
