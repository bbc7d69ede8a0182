#include "download/FieldValues.h"

#include "text/Codepage.h"

bool readLogicalField(const FieldRecord& record, std::string_view name) {
    const ByteBuffer bytes = record.readField(name);
    const std::size_t count = std::min<std::size_t>(bytes.size(), 4);
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) {
            return true;
        }
    }
    return false;
}

bool writeLogicalField(FieldRecord& record, std::string_view name, bool value) {
    const std::uint8_t byte = value ? 1 : 0;
    return record.writeField(name, std::span(&byte, 1));
}

ByteBuffer utf16leWithTerminator(std::string_view text) {
    const std::u16string units = cp936ToUtf16(text);
    ByteBuffer bytes;
    bytes.reserve((units.size() + 1) * 2);
    for (char16_t unit : units) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::string readTextField(const FieldRecord& record, std::string_view name) {
    const ByteBuffer bytes = record.readField(name);
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    return utf16ToCp936(units);
}

bool writeTextField(FieldRecord& record, std::string_view name, std::string_view text) {
    return record.writeField(name, utf16leWithTerminator(text));
}

std::vector<std::string> cp936FieldNames(std::span<const FieldLayout> layout) {
    std::vector<std::string> names;
    names.reserve(layout.size());
    for (const FieldLayout& field : layout) {
        names.push_back(utf8ToCp936(field.nameUtf8));
    }
    return names;
}
