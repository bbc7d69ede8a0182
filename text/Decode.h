#pragma once
// Decoding of the course service's escaped replies into plain code page 936 text, and
// the small conversions that go with it.

#include "text/Text.h"

#include <cstdint>
#include <string>
#include <string_view>

// The reply with its "\uXXXX", "\x..", "%uXXXX" and "%XX" escapes undone, line breaks and
// apostrophes kept. Empty for an empty reply.
std::string decodeCourseReply(std::string_view reply);
std::string decodeVideoReply(std::string_view reply);

// "%u" and four hexadecimal digits, and "%" and two, each become their character in code
// page 936; every other byte, a "%" that starts no such escape included, stays as it is.
std::string unescapePercent(std::string_view text);

// The bytes read as UTF-16LE, converted to code page 936.
std::string unicodeBytesToText(const ByteBuffer& bytes);

// The UTF-16LE code units of the buffer up to, not including, the first zero unit,
// converted to code page 936.
std::string wideBytesToText(const ByteBuffer& bytes);

// The value of a text of hexadecimal digits (either letter case); 0 for the empty text.
std::int64_t hexToNumber(std::string_view digits);
