#include "text/Text.h"
#include "text/Codepage.h"

#include <gtest/gtest.h>

namespace {

struct SearchCase {
    std::string text;
    std::string sought;
    int start;
    bool ignoreCase;
    int expected;
};

TEST(TextSearch, FindsCharacterStartsOnly) {
    const SearchCase cases[] = {
        {"abcabc", "bc", 1, false, 2},
        {"abcabc", "bc", 3, false, 5},
        {"abcabc", "bc", 0, false, 2},
        {"abcabc", "bc", -7, false, 2},
        {"abcabc", "bc", 6, false, -1},
        {"abcabc", "bc", 7, false, -1},
        {"abcabc", "BC", 1, false, -1},
        {"abcabc", "BC", 1, true, 2},
        {"abc", "abcd", 1, false, -1},
        {"", "a", 1, false, -1},
        // an empty sought text is found at 1 whenever a byte remains at the start
        {"abc", "", 3, false, 1},
        {"abc", "", 4, false, -1},
        {"", "", 1, false, -1},
        // the second byte of a two-byte character is a backslash: no match there
        {"\x81\x5C\x75\x5C\x75", "\\u", 1, false, 4},
        // the trail byte 'a' of a two-byte character is never folded or matched
        {"\x81"
         "aA",
         "a", 1, true, 3},
        // starting on a trail byte makes it a character start of its own
        {"\x81\x5C\x75", "\\u", 2, false, 2},
        // letters of two-byte characters are compared exactly even when ignoring case
        {"\xB0\xA1x", "\xB0\xA1X", 1, true, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textSearch(c.text, c.sought, c.start, c.ignoreCase), c.expected)
            << "text '" << c.text << "' sought '" << c.sought << "' start " << c.start;
    }
}

TEST(TextReplaceEvery, LeftToRightWithoutOverlapOrSplitCharacters) {
    const struct {
        std::string text, sought, replacement, expected;
    } cases[] = {
        {"aaa", "aa", "b", "ba"},
        {"", "a", "b", ""},
        {"abc", "", "x", "abc"},
        {"a\r\nb\r\n", "\r\n", "{$}", "a{$}b{$}"},
        {"\x81\x5C\x75\x5C\x75", "\\u", "%u", "\x81\x5C\x75%u"},
        // the sought bytes straddle two characters: no match
        {"\xB0\xA1\xAF"
         "x\xA1\xAF",
         "\xA1\xAF", "'",
         "\xB0\xA1\xAF"
         "x'"},
        {"xyx", "x", "", "y"},
        {"aaaa", "a", "aa", "aaaaaaaa"},
        // a lone lead byte at the end is kept as it is
        {"ab\xB0", "b", "c", "ac\xB0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textReplaceEvery(c.text, c.sought, c.replacement), c.expected) << c.text;
}

TEST(TextBytes, FirstLastAndFromCountBytes) {
    EXPECT_EQ(textFirstBytes("abcdef", 2), "ab");
    EXPECT_EQ(textFirstBytes("abc", 9), "abc");
    EXPECT_EQ(textFirstBytes("abc", 0), "");
    EXPECT_EQ(textFirstBytes("abc", -1), "");
    EXPECT_EQ(textLastBytes("abcdef", 2), "ef");
    EXPECT_EQ(textLastBytes("abc", 9), "abc");
    EXPECT_EQ(textLastBytes("abc", -1), "");
    EXPECT_EQ(textBytesFrom("abcdef", 2, 3), "bcd");
    EXPECT_EQ(textBytesFrom("abcdef", 5, 9), "ef");
    EXPECT_EQ(textBytesFrom("abcdef", 6, 1), "f");
    EXPECT_EQ(textBytesFrom("abcdef", 7, 1), "");
    EXPECT_EQ(textBytesFrom("abcdef", 0, 3), "");
    EXPECT_EQ(textBytesFrom("abcdef", 2, 0), "");
}

TEST(TextCase, MapsSingleByteAsciiLettersOnly) {
    EXPECT_EQ(textUpperCase("aZ1\x81"
                            "a-b"),
              "AZ1\x81"
              "a-B");
    EXPECT_EQ(textLowerCase("Az1\x81"
                            "A-B"),
              "az1\x81"
              "A-b");
    EXPECT_EQ(textUpperCase(""), "");
}

TEST(TextBytes, BufferRoundTripStopsAtZero) {
    EXPECT_EQ(textToBytes("A\xB0"), (ByteBuffer{0x41, 0xB0}));
    EXPECT_EQ(bytesToText(ByteBuffer{0x41, 0x00, 0x42}), "A");
    EXPECT_EQ(bytesToText(ByteBuffer{0x41, 0x42}), "AB");
    EXPECT_EQ(bytesToText(ByteBuffer{}), "");
    EXPECT_EQ(bytesToText(std::string_view("A\0B", 3)), "A");
}

TEST(TrimBlanks, RemovesHalfAndFullWidthSpacesAtBothEnds) {
    const std::string full = "\xA1\xA1";
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks(full + " x" + full + "y " + full), "x" + full + "y");
    EXPECT_EQ(trimBlanks(full + full), "");
    EXPECT_EQ(trimBlanks(""), "");
    EXPECT_EQ(trimBlanks("\tx\n"), "\tx\n");
    // 0xB0 0xA1 is one character: the 0xA1 0xA1 that straddles it is no blank
    EXPECT_EQ(trimBlanks("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
    EXPECT_EQ(trimBlanks("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(TextBetween, CutsBetweenMarkers) {
    const std::string quoteMarker = utf8ToCp936("#引号k#引号");
    const struct {
        std::string text, start, end;
        int startPosition;
        bool ignoreCase;
        std::string expected;
    } cases[] = {
        {"a/introduction/12.htm", "introduction/", ".htm", 0, false, "12"},
        {"http://h/course/introduction/1455026.htm", "introduction/", ".htm", 0, false, "1455026"},
        {"a/INTRODUCTION/12.htm", "introduction/", ".htm", 0, false, ""},
        {"a/INTRODUCTION/12.htm", "introduction/", ".htm", 0, true, "12"},
        {"a/12.htm", "introduction/", ".htm", 0, false, ""},
        {".htm introduction/12", "introduction/", ".htm", 0, false, ""},
        {"x.htmintroduction/.htm", "introduction/", ".htm", 0, false, ""},
        {"a/introduction/12.htm", "introduction/", ".htm", 4, false, ""},
        {"a/introduction/12.htm", "introduction/", ".htm", -3, false, "12"},
        {"a/introduction/12.htm", "introduction/", ".htm", 3, false, "12"},
        // the end marker is only looked for after the whole start marker
        {"abcd", "abc", "bc", 0, false, ""},
        {"name=\"k\"=1;", quoteMarker, ";", 0, false, "=1"},
        {utf8ToCp936("#引号k#引号=1;"), quoteMarker, ";", 0, false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textBetween(c.text, c.start, c.end, c.startPosition, c.ignoreCase), c.expected)
            << c.text;
    }
}

TEST(ReplaceQuotePlaceholders, TurnsEveryPlaceholderIntoAQuote) {
    EXPECT_EQ(replaceQuotePlaceholders(utf8ToCp936("a=#引号(.*?)#引号")), "a=\"(.*?)\"");
    EXPECT_EQ(replaceQuotePlaceholders("plain"), "plain");
}

} // namespace
