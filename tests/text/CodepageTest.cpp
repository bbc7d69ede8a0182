#include "text/Codepage.h"
#include "text/CodepageMapped.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(Codepage, ConvertsBothWaysThroughUtf16) {
    const struct {
        std::string cp936;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"abc\r\n", u"abc\r\n"},
        {"\xD2\xFD\xBA\xC5", u"引号"},
        {"\xA1\xAF", u"\u2019"},
        {"\xA1\xA1", u"\u3000"},
        {"\x80", u"\u20AC"},
        {"x\xBD\xE2\xCE\xF6y", u"x解析y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp936ToUtf16(c.cp936), c.utf16) << c.cp936;
        EXPECT_EQ(utf16ToCp936(c.utf16), c.cp936) << c.cp936;
    }
}

TEST(Codepage, InvalidBytesBecomeReplacementCharacterKeepingAsciiNeighbours) {
    // 0xFF cannot lead; 0x81 before a quote cannot start a pair; 0xA2 0xE3 is well formed
    // but unassigned; a lone lead byte at the end.
    EXPECT_EQ(cp936ToUtf16("a\xFF"
                           "b"),
              u"a\uFFFDb");
    EXPECT_EQ(cp936ToUtf16("\x81\"x"), u"\uFFFD\"x");
    EXPECT_EQ(cp936ToUtf16("\xA2\xE3z"), u"\uFFFDz");
    EXPECT_EQ(cp936ToUtf16("z\xB0"), u"z\uFFFD");
}

TEST(Codepage, CharactersWithoutEquivalentBecomeQuestionMarks) {
    EXPECT_EQ(utf16ToCp936(u"a\u0E01b"), "a?b");     // Thai has no CP936 form
    EXPECT_EQ(utf16ToCp936(u"a\U0001F600b"), "a?b"); // outside the BMP: one '?'
    EXPECT_EQ(utf16ToCp936(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
    EXPECT_EQ(utf16ToCp936(std::u16string(1, char16_t(0xDC00))), "?");
    EXPECT_EQ(utf16ToCp936(u"\uFFFD"), "?");
}

TEST(Codepage, Utf8LiteralsAndMalformedUtf8) {
    EXPECT_EQ(utf8ToCp936("解析失败"), "\xBD\xE2\xCE\xF6\xCA\xA7\xB0\xDC");
    EXPECT_EQ(cp936ToUtf8("\xBD\xE2\xCE\xF6"), "解析");
    EXPECT_EQ(utf8ToCp936("a\xC3("), "a?(");
    EXPECT_EQ(utf8ToCp936("\xED\xA0\x80"), "???"); // an encoded surrogate is malformed
    EXPECT_EQ(cp936ToUtf8("\xFF"), "\xEF\xBF\xBD");
}

TEST(Codepage, ByteOffsetsMapEveryUnitToItsCharacter) {
    std::vector<std::size_t> offsets;
    const std::u16string units = cp936ToUtf16("a\xBD\xE2\xFF"
                                              "b\x81\"",
                                              &offsets);
    EXPECT_EQ(units, u"a解\uFFFDb\uFFFD\"");
    EXPECT_EQ(offsets, (std::vector<std::size_t>{0, 1, 3, 4, 5, 6, 7}));
}

TEST(Codepage, ConvertsOnSeveralThreadsAtOnce) {
    auto work = [] {
        for (int i = 0; i < 2000; ++i) {
            if (utf16ToCp936(cp936ToUtf16("\xBD\xE2\xCE\xF6")) != "\xBD\xE2\xCE\xF6")
                return false;
        }
        return true;
    };
    bool first = false;
    bool second = false;
    std::thread a([&] { first = work(); });
    std::thread b([&] { second = work(); });
    a.join();
    b.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
}

} // namespace
