#include "download/FieldRecord.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

FieldRecord::~FieldRecord() {
    release();
}

std::uint8_t* FieldRecord::init(std::int32_t alignment, std::uint8_t fillByte,
                                std::int32_t initialSize, std::int32_t growthStep) {
    release();
    // An alignment below 1 has no meaning; it is taken as 1 so padding stays defined.
    alignment_ = std::max<std::int32_t>(alignment, 1);
    growthStep_ = growthStep;
    fillByte_ = fillByte;
    if (initialSize < 0) {
        return nullptr;
    }
    // calloc(0) may give nullptr; one spare byte keeps an empty block a real block.
    block_ = static_cast<std::uint8_t*>(std::calloc(std::max<std::int32_t>(initialSize, 1), 1));
    if (block_ == nullptr) {
        return nullptr;
    }
    capacity_ = initialSize;
    return block_;
}

void FieldRecord::release() {
    usedLength_ = 0;
    entries_.clear();
    std::free(block_);
    block_ = nullptr;
}

std::uint32_t FieldRecord::nameCrc(std::string_view name) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size())));
}

bool FieldRecord::growTo(std::int64_t needed) {
    if (needed <= capacity_) {
        return true;
    }
    // A step of 0 or less could never reach the size, and a block beyond int32 cannot
    // be described by the record's offsets: the field is refused instead.
    if (growthStep_ <= 0 || needed > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    const std::int64_t steps = (needed - capacity_ + growthStep_ - 1) / growthStep_;
    const std::int64_t newCapacity = capacity_ + steps * growthStep_;
    if (newCapacity > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    auto* grown = static_cast<std::uint8_t*>(
        std::realloc(block_, static_cast<std::size_t>(std::max<std::int64_t>(newCapacity, 1))));
    if (grown == nullptr) {
        return false;
    }
    std::memset(grown + capacity_, 0, static_cast<std::size_t>(newCapacity - capacity_));
    block_ = grown;
    capacity_ = static_cast<std::int32_t>(newCapacity);
    return true;
}

bool FieldRecord::addField(std::string_view name, std::int32_t size,
                           std::span<const std::uint8_t> initialBytes) {
    if (block_ == nullptr || size < 0 || findField(name) != 0) {
        return false;
    }
    std::int32_t padding = size % alignment_;
    if (padding != 0) {
        padding = alignment_ - padding;
    }
    const std::int64_t end = std::int64_t{usedLength_} + size + padding;
    if (!growTo(end)) {
        return false;
    }
    entries_.push_back(Entry{std::string(name), usedLength_, size, nameCrc(name)});
    copyInto(entries_.back(), initialBytes);
    std::memset(block_ + usedLength_ + size, fillByte_, static_cast<std::size_t>(padding));
    usedLength_ = static_cast<std::int32_t>(end);
    return true;
}

std::int32_t FieldRecord::findField(std::string_view name) const {
    const std::uint32_t crc = nameCrc(name);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].crc == crc) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    return 0;
}

ByteBuffer FieldRecord::readField(std::string_view name) const {
    const std::int32_t position = findField(name);
    if (position == 0) {
        return {};
    }
    const Entry& entry = entries_[static_cast<std::size_t>(position - 1)];
    return ByteBuffer(block_ + entry.offset, block_ + entry.offset + entry.size);
}

bool FieldRecord::writeField(std::string_view name, std::span<const std::uint8_t> bytes) {
    const std::int32_t position = findField(name);
    if (position == 0) {
        return false;
    }
    copyInto(entries_[static_cast<std::size_t>(position - 1)], bytes);
    return true;
}

void FieldRecord::copyInto(const Entry& entry, std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(entry.size));
    if (count != 0) {
        std::memcpy(block_ + entry.offset, bytes.data(), count);
    }
}
