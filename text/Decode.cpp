#include "text/Decode.h"

// Placeholder bodies; the decoders follow.
std::string decodeCourseReply(std::string_view) {
    return {};
}
std::string decodeVideoReply(std::string_view) {
    return {};
}
std::string unescapePercent(std::string_view text) {
    return std::string(text);
}
std::string unicodeBytesToText(const ByteBuffer&) {
    return {};
}
std::string wideBytesToText(const ByteBuffer&) {
    return {};
}

namespace {

// The value of one hexadecimal digit in either letter case. A byte that is not a
// hexadecimal digit counts as the digit 0, so every byte still takes one digit place.
unsigned hexDigitValue(char byte) {
    if (byte >= '0' && byte <= '9')
        return static_cast<unsigned>(byte - '0');
    if (byte >= 'A' && byte <= 'F')
        return static_cast<unsigned>(byte - 'A' + 10);
    if (byte >= 'a' && byte <= 'f')
        return static_cast<unsigned>(byte - 'a' + 10);
    return 0;
}

} // namespace

std::int64_t hexToNumber(std::string_view digits) {
    // Unsigned arithmetic: a text of more than 16 digits wraps around instead of
    // overflowing; callers pass two or four digits.
    std::uint64_t value = 0;
    for (const char byte : digits)
        value = value * 16 + hexDigitValue(byte);
    return static_cast<std::int64_t>(value);
}
