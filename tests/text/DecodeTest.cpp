#include "text/Decode.h"
#include "text/Codepage.h"

#include <gtest/gtest.h>

namespace {

const std::string zhong = "\xD6\xD0"; // U+4E2D in code page 936

struct DecodeCase {
    const char* name;
    std::string reply;
    std::string expected;
};

// Both decoders behave alike: the script step, or when it fails the percent escapes.
TEST(DecodeReply, UndoesEscapesLikeTheScriptEngine) {
    const DecodeCase cases[] = {
        {"unicode escapes", "\\u0041\\u0042", "AB"},
        {"lower-case digits", "\\u4e2d", zhong},
        {"line breaks kept", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"reply's own placeholder", "x{$}y", "x\r\ny"},
        {"apostrophe", "it's", "it's"},
        {"right quotation mark", "it\xA1\xAFs", "it's"},
        {"escaped right quotation mark", "it%u2019s", "it's"},
        {"leading lone CR dropped", "\rab\\u0041", "abA"},
        {"lone CR elsewhere: fallback", "a\rb\\u0041\\/", "a\rbA\\/"},
        {"lone LF: fallback keeps it", "a\nb%u0041", "a\nbA"},
        {"escaped slash", "http:\\/\\/h\\/v.mp4", "http://h/v.mp4"},
        {"hex escape", "\\x41\\x4a", "AJ"},
        {"malformed hex escape", "\\x4G", "x4G"},
        {"malformed unicode escape", "\\u12", "%u12"},
        {"upper-case U is no escape", "\\U0041", "U0041"},
        {"non-escape character", "\\q\\%", "q%"},
        {"doubled backslash", "a\\\\b", "a\\b"},
        {"control escapes", "\\t\\v\\b", "\t\v\b"},
        {"octal escapes", "\\101\\1018\\477", "AA8'7"},
        {"decimal digits after backslash", "\\8\\9", "89"},
        {"zero character ends the text", "ab\\0cd", "ab"},
        {"step giving nothing: fallback", "%u0000cd", "cd"},
        {"trailing backslash: fallback", "abc\\", "abc\\"},
        {"percent escapes", "%41%u4E2D%zz 50%", "A" + zhong + "%zz 50%"},
        {"full-width comma", "%uFF0C", "\xA3\xAC"},
        {"two-byte text kept", zhong + "\\u0041", zhong + "A"},
        {"no equivalent in the code page", "\\u0E01", "?"},
        {"surrogate pair", "\\ud83d\\ude00x", "?x"},
        {"empty reply", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeCourseReply(c.reply), c.expected) << c.name;
        EXPECT_EQ(decodeVideoReply(c.reply), c.expected) << c.name;
    }
}

TEST(DecodeReply, InvalidBytesDoNotBreakDecoding) {
    EXPECT_EQ(decodeVideoReply("a\xFF\\u0041\x81\"b"), "a?A?\"b");
    EXPECT_EQ(decodeVideoReply("x\xB0"), "x?");
    // found by fuzzing: a zero byte went through the fallback into the text
    EXPECT_EQ(decodeVideoReply(std::string("\0\x02", 2)), "");
    EXPECT_EQ(decodeCourseReply(std::string("ab\0\\u0041", 9)), "ab");
}

TEST(UnescapePercent, DecodesExactlyTheUnescapeForms) {
    const struct {
        std::string text, expected;
    } cases[] = {
        {"a%41b", "aAb"},
        {"50%", "50%"},
        {"%u0041x", "Ax"},
        {"%uFF0C", "\xA3\xAC"},
        {"%u00E9", "\xA8\xA6"},
        {"%u4e2d", zhong},
        {"%zz%4", "%zz%4"},
        {"%u12", "%u12"},
        {"%u004G", "%u004G"},
        {"%%41", "%A"},
        {"%00x%u0000y", "xy"},
        {"\\/", "\\/"},
        {"%uD83D", "?"},
        {zhong + "%41", zhong + "A"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unescapePercent(c.text), c.expected) << c.text;
}

TEST(HexToNumber, ReadsEitherCaseAndCountsOtherBytesAsZero) {
    EXPECT_EQ(hexToNumber("ff"), 255);
    EXPECT_EQ(hexToNumber("FF"), 255);
    EXPECT_EQ(hexToNumber("4e2D"), 0x4E2D);
    EXPECT_EQ(hexToNumber(""), 0);
    EXPECT_EQ(hexToNumber("1G"), 0x10);
    EXPECT_EQ(hexToNumber("G"), 0);
    EXPECT_EQ(hexToNumber("7FFFFFFFFFFFFFFF"), INT64_MAX);
    EXPECT_EQ(hexToNumber("10000000000000001"), 1); // wraps instead of overflowing
}

TEST(WideBytes, StopAtTheFirstZeroUnit) {
    EXPECT_EQ(wideBytesToText({0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), "A");
    EXPECT_EQ(wideBytesToText({0x41, 0x00, 0x42, 0x00}), "AB");
    EXPECT_EQ(wideBytesToText({0x41, 0x00, 0x42}), "A");
    EXPECT_EQ(wideBytesToText({0x2D, 0x4E}), zhong);
    EXPECT_EQ(wideBytesToText({}), "");
}

TEST(UnicodeBytes, ReadAsUtf16WithoutByteOrderMark) {
    EXPECT_EQ(unicodeBytesToText({0xFF, 0xFE, 0x41, 0x00, 0x2D, 0x4E}), "A" + zhong);
    EXPECT_EQ(unicodeBytesToText({0x41, 0x00, 0x42, 0x00, 0x43}), "AB");
    EXPECT_EQ(unicodeBytesToText({0x41, 0x00, 0x00, 0x00, 0x42, 0x00}), "A");
    EXPECT_EQ(unicodeBytesToText({}), "");
}

} // namespace
