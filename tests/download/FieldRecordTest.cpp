#include "download/FieldRecord.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ByteBuffer blockBytes(const FieldRecord& record) {
    return ByteBuffer(record.baseAddress(), record.baseAddress() + record.usedSize());
}

TEST(FieldRecord, FieldsLieBackToBackWithAlignmentOne) {
    FieldRecord record;
    ASSERT_NE(record.init(), nullptr);
    EXPECT_TRUE(record.addField("a", 1, ByteBuffer{0x11}));
    EXPECT_TRUE(record.addField("b", 4, ByteBuffer{1, 2, 3, 4}));
    EXPECT_EQ(record.usedSize(), 5);
    EXPECT_EQ(blockBytes(record), (ByteBuffer{0x11, 1, 2, 3, 4}));
    EXPECT_EQ(record.findField("a"), 1);
    EXPECT_EQ(record.findField("b"), 2);
    EXPECT_EQ(record.findField("c"), 0);
}

TEST(FieldRecord, PaddingHoldsTheFillByteAndCountsInTheUsedSize) {
    FieldRecord record;
    ASSERT_NE(record.init(4), nullptr);
    EXPECT_TRUE(record.addField("a", 1, ByteBuffer{0x11}));
    EXPECT_TRUE(record.addField("b", 4, ByteBuffer{1, 2, 3, 4}));
    EXPECT_TRUE(record.addField("c", 2));
    EXPECT_EQ(record.usedSize(), 12);
    EXPECT_EQ(blockBytes(record),
              (ByteBuffer{0x11, 0xCC, 0xCC, 0xCC, 1, 2, 3, 4, 0, 0, 0xCC, 0xCC}));

    ASSERT_NE(record.init(3, 0x7E), nullptr);
    EXPECT_TRUE(record.addField("x", 4));
    EXPECT_EQ(blockBytes(record), (ByteBuffer{0, 0, 0, 0, 0x7E, 0x7E}));
}

TEST(FieldRecord, InitialAndWrittenBytesAreCutAtTheFieldSize) {
    FieldRecord record;
    ASSERT_NE(record.init(), nullptr);
    EXPECT_TRUE(record.addField("short", 4, ByteBuffer{9}));
    EXPECT_TRUE(record.addField("long", 2, ByteBuffer{1, 2, 3, 4}));
    EXPECT_TRUE(record.addField("next", 1));
    EXPECT_EQ(blockBytes(record), (ByteBuffer{9, 0, 0, 0, 1, 2, 0}));

    EXPECT_TRUE(record.writeField("short", ByteBuffer{5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(record.writeField("short", ByteBuffer{1}));
    EXPECT_EQ(record.readField("short"), (ByteBuffer{1, 6, 7, 8}));
    EXPECT_EQ(record.readField("next"), ByteBuffer{0});
}

TEST(FieldRecord, NamesAreToldApartByTheirCrcOnly) {
    FieldRecord record;
    ASSERT_NE(record.init(), nullptr);
    EXPECT_TRUE(record.addField("plumless", 4, ByteBuffer{1}));
    EXPECT_FALSE(record.addField("plumless", 4));
    // "buckeroo" has the same CRC-32 as "plumless": it is the same field.
    ASSERT_EQ(FieldRecord::nameCrc("buckeroo"), FieldRecord::nameCrc("plumless"));
    EXPECT_FALSE(record.addField("buckeroo", 8));
    EXPECT_EQ(record.findField("buckeroo"), 1);
    EXPECT_EQ(record.usedSize(), 4);
    EXPECT_EQ(FieldRecord::nameCrc(""), 0u);
    EXPECT_EQ(FieldRecord::nameCrc("123456789"), 0xCBF43926u);
}

TEST(FieldRecord, BlockGrowsByStepsKeepingItsContents) {
    FieldRecord record;
    ASSERT_NE(record.init(), nullptr);
    EXPECT_EQ(record.capacity(), 1024);
    EXPECT_TRUE(record.addField("first", 1500, ByteBuffer(1500, 0xAB)));
    EXPECT_EQ(record.capacity(), 2048);
    EXPECT_TRUE(record.addField("second", 3000));
    EXPECT_EQ(record.capacity(), 5120);
    EXPECT_EQ(record.readField("first"), ByteBuffer(1500, 0xAB));
    EXPECT_EQ(record.readField("second"), ByteBuffer(3000, 0));

    FieldRecord exact;
    ASSERT_NE(exact.init(1, 0xCC, 8), nullptr);
    std::uint8_t* before = exact.baseAddress();
    EXPECT_TRUE(exact.addField("a", 8));
    EXPECT_EQ(exact.baseAddress(), before);
    EXPECT_EQ(exact.capacity(), 8);
}

TEST(FieldRecord, AFieldThatCannotBeHadIsRefusedWithoutChange) {
    FieldRecord record;
    // A growth step of 0 can never make room: refused at once instead of looping.
    ASSERT_NE(record.init(1, 0xCC, 4, 0), nullptr);
    EXPECT_TRUE(record.addField("a", 4, ByteBuffer{1, 2, 3, 4}));
    EXPECT_FALSE(record.addField("b", 1));
    EXPECT_FALSE(record.addField("negative", -1));
    EXPECT_EQ(record.findField("b"), 0);
    EXPECT_EQ(record.usedSize(), 4);
    EXPECT_EQ(record.readField("a"), (ByteBuffer{1, 2, 3, 4}));

    ASSERT_NE(record.init(1, 0xCC, 4, 1 << 30), nullptr);
    EXPECT_TRUE(record.addField("a", 4));
    EXPECT_FALSE(record.addField("huge", 0x7FFFFFFF));
    EXPECT_EQ(record.usedSize(), 4);
}

TEST(FieldRecord, InitAndReleaseDropEveryField) {
    FieldRecord record;
    EXPECT_EQ(record.baseAddress(), nullptr);
    EXPECT_FALSE(record.addField("a", 4));
    ASSERT_NE(record.init(), nullptr);
    EXPECT_TRUE(record.addField("a", 4, ByteBuffer{1}));
    ASSERT_NE(record.init(), nullptr);
    EXPECT_EQ(record.usedSize(), 0);
    EXPECT_EQ(record.findField("a"), 0);
    EXPECT_TRUE(record.addField("a", 4));
    EXPECT_EQ(record.readField("a"), ByteBuffer(4, 0));

    record.release();
    EXPECT_EQ(record.baseAddress(), nullptr);
    EXPECT_EQ(record.usedSize(), 0);
    EXPECT_TRUE(record.readField("a").empty());
    EXPECT_FALSE(record.writeField("a", ByteBuffer{1}));
}

} // namespace
