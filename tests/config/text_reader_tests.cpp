#include <gtest/gtest.h>

#include <string>

#include "config/text_reader.h"
#include "config_test_support.h"

namespace {

using config::TextReader;
using config_test::ScratchDir;

std::vector<std::u32string> readAll(const std::filesystem::path& file) {
    TextReader reader(file);
    std::vector<std::u32string> lines;
    std::u32string line;
    while (reader.nextLine(line)) lines.push_back(line);
    return lines;
}

TEST(TextReaderDecoding, ByteOrderMarkIsSkippedOnlyAtTheStart) {
    ScratchDir dir;
    const auto file = dir.write("a.txt", "\xEF\xBB\xBF[Power]\n\xEF\xBB\xBFx\n");
    const auto lines = readAll(file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], U"[Power]");
    EXPECT_EQ(lines[1], U"\uFEFFx");
}

TEST(TextReaderDecoding, FileOfOnlyAByteOrderMarkHasNoLines) {
    ScratchDir dir;
    EXPECT_TRUE(readAll(dir.write("a.txt", "\xEF\xBB\xBF")).empty());
    EXPECT_TRUE(readAll(dir.write("b.txt", "")).empty());
}

TEST(TextReaderDecoding, CarriageReturnBeforeLineFeedIsDropped) {
    ScratchDir dir;
    const auto lines = readAll(dir.write("a.txt", "a\r\nb\rc\r\nd\r"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], U"a");
    EXPECT_EQ(lines[1], U"b\rc");  // a lone CR stays (and counts as white space)
    EXPECT_EQ(lines[2], U"d\r");   // no line feed follows it
}

TEST(TextReaderDecoding, LastLineWithoutLineEndAndEmptyLinesCount) {
    ScratchDir dir;
    TextReader reader(dir.write("a.txt", "one\n\nthree"));
    std::u32string line;
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_EQ(reader.lineNumber(), 1);
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_EQ(line, U"");
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_EQ(line, U"three");
    EXPECT_EQ(reader.lineNumber(), 3);
    EXPECT_FALSE(reader.nextLine(line));
}

TEST(TextReaderDecoding, MultiByteSequencesDecodeToCodePoints) {
    ScratchDir dir;
    // U+3000 ideographic space, U+00E9, U+1F600
    const auto lines = readAll(dir.write("a.txt",
                                         "\xE3\x80\x80"
                                         "a\xC3\xA9\xF0\x9F\x98\x80"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], U"\u3000a\u00E9\U0001F600");
}

TEST(TextReaderDecoding, InvalidBytesBecomeReplacementCharactersWithoutSwallowingText) {
    ScratchDir dir;
    // stray continuation byte; lead byte cut short by "x"; overlong "/"; encoded surrogate; byte FF;
    // a lead byte cut short by the end of the file
    const auto lines = readAll(dir.write("a.txt",
                                         "\x80"
                                         "1\xE3\x80x,\xC0\xAF,\xED\xA0\x80,\xFF\n\xE3"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              U"\uFFFD"
              U"1\uFFFDx,\uFFFD,\uFFFD,\uFFFD");
    EXPECT_EQ(lines[1], U"\uFFFD");
}

TEST(TextReaderDecoding, LineFeedAfterTruncatedSequenceStillEndsTheLine) {
    ScratchDir dir;
    const auto lines = readAll(dir.write("a.txt", "a\xE3\nb"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], U"a\uFFFD");
    EXPECT_EQ(lines[1], U"b");
}

TEST(TextReaderLimits, OverlongLineIsCutAndTheNextLineReadsNormally) {
    ScratchDir dir;
    std::string bytes(TextReader::MaxLineLength + 5000, 'x');
    bytes += "\r\nnext\n";
    TextReader reader(dir.write("a.txt", bytes));
    std::u32string line;
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_TRUE(reader.truncated());
    EXPECT_EQ(line.size(), TextReader::MaxLineLength);
    ASSERT_TRUE(reader.nextLine(line));
    EXPECT_FALSE(reader.truncated());
    EXPECT_EQ(line, U"next");
    EXPECT_EQ(reader.lineNumber(), 2);
}

TEST(TextReaderLimits, MissingFileAndDirectoryDoNotOpen) {
    ScratchDir dir;
    TextReader missing(dir.path("none.txt"));
    EXPECT_FALSE(missing.isOpen());
    std::u32string line;
    EXPECT_FALSE(missing.nextLine(line));
    TextReader directory(dir.root());
    EXPECT_FALSE(directory.isOpen());
    TextReader empty{std::filesystem::path()};
    EXPECT_FALSE(empty.isOpen());
}

TEST(TextHelpers, WhiteSpaceIsWhatAUtf8LocaleCallsSpace) {
    for (char32_t c : {U' ', U'\t', U'\r', U'\n', U'\v', U'\f', char32_t{0x3000}, char32_t{0x2000}, char32_t{0x200A},
                       char32_t{0x1680}, char32_t{0x205F}, char32_t{0x2028}, char32_t{0x2029}}) {
        EXPECT_TRUE(config::isSpace(c)) << static_cast<uint32_t>(c);
    }
    for (char32_t c : {U'a', U',', char32_t{0}, char32_t{0x1F}, char32_t{0x85}, char32_t{0x200B}, char32_t{0xA0},
                       char32_t{0x2007}, char32_t{0x202F}, char32_t{0xFEFF}}) {
        EXPECT_FALSE(config::isSpace(c)) << static_cast<uint32_t>(c);
    }
    EXPECT_EQ(config::trim(U"\u3000 \tvalue x\u3000\r"), U"value x");
    EXPECT_EQ(config::trim(U" \u3000 "), U"");
}

TEST(TextHelpers, CommentStartsAtTheFirstSemicolonOrHash) {
    EXPECT_EQ(config::stripComment(U"a = b ; c # d"), U"a = b ");
    EXPECT_EQ(config::stripComment(U"a#b;c"), U"a");
    EXPECT_EQ(config::stripComment(U";all"), U"");
    EXPECT_EQ(config::stripComment(U"none"), U"none");
}

}  // namespace
