#pragma once
// Typed reads and writes of FieldRecord fields, as the engine records store them:
// little-endian integers and floats, logicals as one byte, texts as UTF-16LE code units
// converted from and to code page 936.

#include "download/FieldRecord.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Assumes a little-endian machine, like the engine's binary interface itself.
static_assert(std::endian::native == std::endian::little);

template <typename Number>
Number readNumberField(const FieldRecord& record, std::string_view name) {
    static_assert(std::is_arithmetic_v<Number>);
    const ByteBuffer bytes = record.readField(name);
    std::uint8_t raw[sizeof(Number)] = {};
    if (!bytes.empty()) {
        std::memcpy(raw, bytes.data(), std::min(bytes.size(), sizeof(Number)));
    }
    Number value;
    std::memcpy(&value, raw, sizeof(Number));
    return value;
}

template <typename Number>
bool writeNumberField(FieldRecord& record, std::string_view name, Number value) {
    static_assert(std::is_arithmetic_v<Number>);
    std::uint8_t raw[sizeof(Number)];
    std::memcpy(raw, &value, sizeof(Number));
    return record.writeField(name, raw);
}

// True when any of the field's first four bytes is not zero.
bool readLogicalField(const FieldRecord& record, std::string_view name);
// Writes 0x01 or 0x00 into the field's first byte only.
bool writeLogicalField(FieldRecord& record, std::string_view name, bool value);

// The text's UTF-16LE bytes with the terminating zero unit.
ByteBuffer utf16leWithTerminator(std::string_view text);
// The field's UTF-16 units up to the first zero unit (or the field's end), as CP936.
std::string readTextField(const FieldRecord& record, std::string_view name);
// The text's UTF-16LE bytes with terminator, cut at the field's size.
bool writeTextField(FieldRecord& record, std::string_view name, std::string_view text);

// One field of an engine record's layout: its name as written in this source tree and
// its size in bytes. The offsets follow from the order.
struct FieldLayout {
    const char* nameUtf8;
    std::int32_t size;
};

// The layout's field names as the record stores them: code page 936 texts.
std::vector<std::string> cp936FieldNames(std::span<const FieldLayout> layout);
