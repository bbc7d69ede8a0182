#include "course/AddressCodec.h"
#include "text/Codepage.h"

#include <gtest/gtest.h>

namespace {

const std::string tag = "BB1771712"; // from the MD5 of "2604935826"

TEST(AddressCodec, ScramblesEachByteXorSixteenThenTheTag) {
    const struct {
        std::string address, expected;
    } cases[] = {
        {"", tag},
        {"A", "51" + tag},
        {"\x10", "00" + tag},
        {"\x0F", "1F" + tag},
        {"\xFF\x80", "EF90" + tag},
        {"http://v/1.mp4", "786464602A3F3F663F213E7D6024" + tag},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scrambleAddress(c.address, addressTagKey), c.expected) << c.address;
}

TEST(AddressCodec, RoundTripsAnyText) {
    const std::string texts[] = {"", "http://h/v.mp4?a=1&b=%20", utf8ToCp936("视频 第一课"),
                                 std::string("\x01\x7F\xFF\xA1\xA1", 5)};
    for (const auto& text : texts) {
        const std::string scrambled = scrambleAddress(text, addressTagKey);
        EXPECT_EQ(scrambled.size(), 2 * text.size() + 9);
        EXPECT_EQ(unscrambleAddress(scrambled, addressTagKey), text);
    }
}

TEST(AddressCodec, UnscrambleRefusesTextsWithoutTheTag) {
    const std::string good = scrambleAddress("A", addressTagKey);
    const std::string refused[] = {
        "51bb1771712",           // tag in other letter case
        "51BB1771713",           // tag changed
        "BB177171",              // shorter than the tag
        "",                      //
        utf8ToCp936("解析失败"), //
        "51" + tag + " ",        // something after the tag
    };
    for (const auto& text : refused)
        EXPECT_EQ(unscrambleAddress(text, addressTagKey), "") << text;
    EXPECT_EQ(unscrambleAddress(good, "other key"), "");
    EXPECT_EQ(unscrambleAddress(scrambleAddress("A", "other key"), "other key"), "A");
}

TEST(AddressCodec, HexPartIsReadLeniently) {
    const struct {
        std::string hexPart, expected;
    } cases[] = {
        {"", ""},         {"5152", "AB"},
        {"7a7A", "jj"},   // lower-case digits read like upper-case ones
        {"514", "A\x14"}, // odd length: the last digit alone
        {"511052", "A"},  // a zero byte ends the text
        {"5G", "@"},      // a non-digit counts as the digit 0: 0x50 ^ 0x10
    };
    for (const auto& c : cases)
        EXPECT_EQ(unscrambleAddress(c.hexPart + tag, addressTagKey), c.expected) << c.hexPart;
}

TEST(AddressCodec, HexConversions) {
    EXPECT_EQ(bytesToHex({}), "");
    EXPECT_EQ(bytesToHex({0x00, 0x0F, 0xA0, 0xFF}), "000FA0FF");
    EXPECT_EQ(hexToBytes(""), ByteBuffer{});
    EXPECT_EQ(hexToBytes("000fA0FF"), (ByteBuffer{0x00, 0x0F, 0xA0, 0xFF}));
    EXPECT_EQ(hexToBytes("abc"), (ByteBuffer{0xAB, 0x0C}));
}

TEST(AddressCodec, Md5HexOptions) {
    EXPECT_EQ(md5Hex({}, false, false), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex({}, true, false), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(md5Hex({}, false, true), "8f00b204e9800998");
    EXPECT_EQ(md5Hex(textToBytes(addressTagKey), false, false), "fcbb17717129d639c6b24a2d2d596149");
}

} // namespace
