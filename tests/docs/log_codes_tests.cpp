// The guide's table of start-up log codes: every refusal a vehicle author can meet is there with
// its code and reason text, and the memory bounds it states are the ones Corvane applies.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "sound/wave_screen.h"

namespace {

std::string guide() {
    std::ifstream in(AUTHORING_GUIDE, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string upperHex(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "`0X%X`", code);
    return text;
}

// The reason text up to its first value, e.g. "サンプリング周波数".
std::string reasonStem(const sound::RefusedFormat& refused) {
    const std::string reason = sound::refusalReason(refused);
    const size_t digit = reason.find_first_of("0123456789");
    return reason.substr(0, digit);
}

TEST(GuideLogCodes, EveryRefusalIsListedWithItsCodeAndReason) {
    using sound::Refusal;
    const std::string text = guide();
    for (const Refusal r : {Refusal::Channels, Refusal::SampleRate, Refusal::Bits, Refusal::BlockAlign,
                            Refusal::Encoding, Refusal::Empty, Refusal::FileTooLarge, Refusal::TotalTooLarge}) {
        const std::string code = upperHex(static_cast<uint32_t>(sound::refusalResult(r)));
        SCOPED_TRACE(code);
        const size_t row = text.find("| " + code + " |");
        ASSERT_NE(row, std::string::npos);
        const std::string line = text.substr(row, text.find('\n', row) - row);
        EXPECT_NE(line.find("`" + reasonStem({r, 7, 7})), std::string::npos) << line;
    }
    EXPECT_NE(text.find("| `0X88960001` |"), std::string::npos);
}

TEST(GuideLogCodes, TheStatedBoundsAreTheAppliedOnes) {
    const std::string text = guide();
    EXPECT_NE(text.find("at most **" + std::to_string(sound::MaxDecodedBytesPerFile >> 20) + " MB**"),
              std::string::npos);
    EXPECT_NE(text.find("at most **" + std::to_string(sound::MaxDecodedBytesTotal >> 20) + " MB**"), std::string::npos);
}

}  // namespace
