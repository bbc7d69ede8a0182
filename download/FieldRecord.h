#pragma once
// A flat block of memory laid out as a sequence of named fields, in the order in which
// they are added, read and written by name. The block is a plain structure in memory,
// so its address can be handed to the download engine. Fields are told apart only by
// the CRC-32 of their names; the stored name texts are never compared.

#include "text/Text.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class FieldRecord final {
public:
    FieldRecord() = default;
    ~FieldRecord();
    FieldRecord(const FieldRecord&) = delete;
    FieldRecord& operator=(const FieldRecord&) = delete;

    // Drops any earlier layout and takes a zero-filled block of `initialSize` bytes.
    // Every field occupies a whole multiple of `alignment` bytes; the padding holds
    // `fillByte`. The block grows by `growthStep` bytes at a time. Returns the block's
    // address, or nullptr when no block could be had.
    std::uint8_t* init(std::int32_t alignment = 1, std::uint8_t fillByte = 0xCC,
                       std::int32_t initialSize = 1024, std::int32_t growthStep = 1024);
    // Drops the fields and the block; alignment, fill byte, growth step and capacity stay.
    void release();

    // Appends a field of `size` bytes at the used length, with as many of
    // `initialBytes` as fit (the rest of the field stays zero). False, and nothing
    // changes, when a field with the same name CRC exists or the block cannot grow.
    bool addField(std::string_view name, std::int32_t size,
                  std::span<const std::uint8_t> initialBytes = {});
    // 1-based position of the field in the table; 0 when there is none.
    std::int32_t findField(std::string_view name) const;
    // A copy of the field's bytes; empty when there is no such field.
    ByteBuffer readField(std::string_view name) const;
    // Copies at most the field's size of `bytes` to the field; bytes beyond a shorter
    // value keep their contents. False when there is no such field.
    bool writeField(std::string_view name, std::span<const std::uint8_t> bytes);

    std::int32_t usedSize() const { return usedLength_; }
    std::int32_t capacity() const { return capacity_; }
    // nullptr when there is no block. The block can move when it grows, so take the
    // address after the last addField.
    std::uint8_t* baseAddress() const { return block_; }

    // The standard CRC-32 (IEEE 802.3, as zlib computes it) of a name's bytes.
    static std::uint32_t nameCrc(std::string_view name);

private:
    struct Entry {
        std::string name;
        std::int32_t offset;
        std::int32_t size;
        std::uint32_t crc;
    };

    bool growTo(std::int64_t needed);
    void copyInto(const Entry& entry, std::span<const std::uint8_t> bytes);

    std::uint8_t fillByte_ = 0xCC;
    std::int32_t usedLength_ = 0;
    std::uint8_t* block_ = nullptr;
    std::int32_t capacity_ = 0;
    std::int32_t alignment_ = 1;
    std::int32_t growthStep_ = 1024;
    std::vector<Entry> entries_;
};
