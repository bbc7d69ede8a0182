#include "download/TaskInfoRecord.h"
#include "download/TaskParamRecord.h"
#include "text/Codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

ByteBuffer bytesAt(const std::uint8_t* block, std::size_t offset, std::size_t size) {
    return ByteBuffer(block + offset, block + offset + size);
}

bool allZero(const std::uint8_t* block, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (block[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(TaskInfoRecord, IsLaidOutWithStateTwoAndZeros) {
    TaskInfoRecord info;
    EXPECT_EQ(info.baseAddress(), nullptr);
    std::uint8_t* block = info.defineFields();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block, info.baseAddress());
    EXPECT_EQ(info.fields().usedSize(), 1429);
    EXPECT_EQ(info.fields().findField(utf8ToCp936("reserved")), 28);
    EXPECT_EQ(bytesAt(block, 0, 4), (ByteBuffer{2, 0, 0, 0}));
    EXPECT_TRUE(allZero(block, 4, 1429));
    EXPECT_EQ(info.state(), 2);
    EXPECT_EQ(info.totalSize(), 0);

    // A new layout drops the values of the previous task.
    info.totalSize(99);
    info.state(4);
    info.defineFields();
    EXPECT_EQ(info.state(), 2);
    EXPECT_EQ(info.totalSize(), 0);
}

// Each accessor writes its value at its field's offset, and reads it back from there.
TEST(TaskInfoRecord, AccessorsReadAndWriteAtTheEngineOffsets) {
    TaskInfoRecord info;
    std::uint8_t* block = info.defineFields();
    ASSERT_NE(block, nullptr);
    struct Case {
        const char* field;
        std::size_t offset;
        ByteBuffer expected;
        std::function<bool()> write;
        std::function<bool()> readsBack;
    };
    const float progress = 0.5f;
    ByteBuffer progressBytes(4);
    std::memcpy(progressBytes.data(), &progress, 4);
    const Case cases[] = {
        {"state",
         0,
         {3, 0, 0, 0},
         [&] { return info.state(3); },
         [&] { return info.state() == 3; }},
        {"failureCode",
         4,
         {0xFE, 0xFF, 0xFF, 0xFF},
         [&] { return info.failureCode(-2); },
         [&] { return info.failureCode() == -2; }},
        {"totalSize",
         1048,
         {0, 0, 0, 0x40, 1, 0, 0, 0},
         [&] { return info.totalSize(0x140000000); },
         [&] { return info.totalSize() == 0x140000000; }},
        {"downloadedBytes",
         1056,
         {7, 0, 0, 0, 0, 0, 0, 0},
         [&] { return info.downloadedBytes(7); },
         [&] { return info.downloadedBytes() == 7; }},
        {"progress", 1064, progressBytes, [&] { return info.progress(progress); },
         [&] { return info.progress() == progress; }},
        {"totalSources",
         1072,
         {5, 0, 0, 0},
         [&] { return info.totalSources(5); },
         [&] { return info.totalSources() == 5; }},
        {"availableSources",
         1076,
         {3, 0, 0, 0},
         [&] { return info.availableSources(3); },
         [&] { return info.availableSources() == 3; }},
        {"p2pBytes",
         1104,
         {1, 2, 0, 0, 0, 0, 0, 0},
         [&] { return info.p2pBytes(0x201); },
         [&] { return info.p2pBytes() == 0x201; }},
        {"originBytes",
         1120,
         {9, 0, 0, 0, 0, 0, 0, 0},
         [&] { return info.originBytes(9); },
         [&] { return info.originBytes() == 9; }},
        {"mirrorBytes",
         1128,
         {8, 0, 0, 0, 0, 0, 0, 0},
         [&] { return info.mirrorBytes(8); },
         [&] { return info.mirrorBytes() == 8; }},
        {"speed",
         1152,
         {0, 0, 4, 0},
         [&] { return info.speed(262144); },
         [&] { return info.speed() == 262144; }},
        {"speedP2S",
         1156,
         {6, 0, 0, 0},
         [&] { return info.speedP2S(6); },
         [&] { return info.speedP2S() == 6; }},
        {"speedP2P",
         1160,
         {4, 0, 0, 0},
         [&] { return info.speedP2P(4); },
         [&] { return info.speedP2P() == 4; }},
        {"originSource",
         1164,
         {1},
         [&] { return info.originSource(true); },
         [&] { return info.originSource(); }},
        {"createFile",
         1169,
         {1, 0, 0, 0},
         [&] { return info.createFile(1); },
         [&] { return info.createFile() == 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_TRUE(c.write());
        EXPECT_EQ(bytesAt(block, c.offset, c.expected.size()), c.expected);
        EXPECT_TRUE(c.readsBack());
    }
    // The engine writes raw bytes; the accessors read them from the same places.
    const std::uint8_t size[8] = {0, 0, 0, 0x40, 0, 0, 0, 0};
    std::memcpy(block + 1048, size, 8);
    EXPECT_EQ(info.totalSize(), 1073741824);
    block[1164] = 0;
    block[1167] = 1; // beyond the 1-byte field: "fHashPercent"
    EXPECT_FALSE(info.originSource());

    EXPECT_TRUE(info.fileName(utf8ToCp936("第1讲.mp4")));
    EXPECT_EQ(bytesAt(block, 8, 14),
              (ByteBuffer{0x2C, 0x7B, '1', 0, 0xB2, 0x8B, '.', 0, 'm', 0, 'p', 0, '4', 0}));
    EXPECT_EQ(info.fileName(), utf8ToCp936("第1讲.mp4"));
}

TEST(TaskInfoRecord, WithoutLayoutAccessorsReadZeroAndWriteNothing) {
    TaskInfoRecord info;
    EXPECT_EQ(info.state(), 0);
    EXPECT_FALSE(info.state(4));
    EXPECT_EQ(info.fileName(), "");
    EXPECT_FALSE(info.originSource());
    info.defineFields();
    info.release();
    EXPECT_EQ(info.baseAddress(), nullptr);
    EXPECT_EQ(info.totalSize(), 0);
    EXPECT_FALSE(info.speed(1));
}

TEST(TaskParamRecord, DefaultsGiveTheEngineImage) {
    TaskParamRecord param;
    std::uint8_t* block = param.defineFields("abc");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(param.fields().usedSize(), 26564);
    EXPECT_EQ(param.fields().findField("reserved"), 16);
    EXPECT_EQ(bytesAt(block, 4, 8), (ByteBuffer{0x61, 0, 0x62, 0, 0x63, 0, 0, 0}));
    EXPECT_TRUE(allZero(block, 0, 4));
    EXPECT_TRUE(allZero(block, 12, 18360));
    EXPECT_EQ(bytesAt(block, 18360, 4), (ByteBuffer{5, 0, 0, 0}));
    EXPECT_TRUE(allZero(block, 18364, 18368));
    EXPECT_EQ(bytesAt(block, 18368, 4), (ByteBuffer{1, 0, 0, 0}));
    EXPECT_TRUE(allZero(block, 18372, 26564));
    EXPECT_FALSE(param.givenAddressOnly());
    EXPECT_FALSE(param.noSmartNaming());
    EXPECT_TRUE(param.useResume());
}

TEST(TaskParamRecord, EveryArgumentLandsAtItsOffset) {
    TaskParamRecord param;
    std::uint8_t* block = param.defineFields("u", "r", "c", "f", "d", true, true, false);
    ASSERT_NE(block, nullptr);
    const std::pair<std::size_t, std::uint8_t> texts[] = {
        {4, 'u'}, {4172, 'r'}, {8340, 'c'}, {16532, 'f'}, {17572, 'd'}};
    for (auto [offset, letter] : texts) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(bytesAt(block, offset, 4), (ByteBuffer{letter, 0, 0, 0}));
    }
    EXPECT_EQ(bytesAt(block, 18356, 4), (ByteBuffer{1, 0, 0, 0}));
    EXPECT_EQ(bytesAt(block, 18364, 4), (ByteBuffer{1, 0, 0, 0}));
    EXPECT_EQ(bytesAt(block, 18368, 4), (ByteBuffer{0, 0, 0, 0}));
    EXPECT_EQ(param.url(), "u");
    EXPECT_EQ(param.referrer(), "r");
    EXPECT_EQ(param.cookies(), "c");
    EXPECT_EQ(param.fileName(), "f");
    EXPECT_EQ(param.folder(), "d");
    EXPECT_TRUE(param.givenAddressOnly());
    EXPECT_TRUE(param.noSmartNaming());
    EXPECT_FALSE(param.useResume());
}

TEST(TaskParamRecord, TextsAreUtf16AndCutAtTheFieldWithoutTerminator) {
    TaskParamRecord param;
    const std::string longName(300, 'x');
    std::uint8_t* block = param.defineFields("abc", {}, {}, longName);
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < 520; i += 2) {
        ASSERT_EQ(block[16532 + i], 'x') << i;
        ASSERT_EQ(block[16532 + i + 1], 0) << i;
    }
    EXPECT_TRUE(allZero(block, 17052, 17572)); // the next field is untouched
    EXPECT_EQ(param.fileName(), std::string(260, 'x'));

    const std::string folder = utf8ToCp936("/home/用户/视频");
    EXPECT_TRUE(param.folder(folder));
    EXPECT_EQ(bytesAt(block, 17584, 4), (ByteBuffer{0x28, 0x75, 0x37, 0x62}));
    EXPECT_EQ(param.folder(), folder);
    // A shorter text written later ends at its own terminator.
    EXPECT_TRUE(param.folder("/a"));
    EXPECT_EQ(param.folder(), "/a");
}

} // namespace
