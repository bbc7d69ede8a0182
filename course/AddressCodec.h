#pragma once
// The scrambled form in which video addresses stand in the lists: each byte of the
// address XOR-ed with 0x10 and written as two upper-case hexadecimal digits, followed by a
// nine-character tag taken from the MD5 digest of a key. The tag lets the reader refuse a
// text that was not scrambled with the same key.

#include "text/Text.h"

#include <string>
#include <string_view>

// The key both callers pass; the codec itself holds none.
inline constexpr std::string_view addressTagKey = "2604935826";

std::string scrambleAddress(std::string_view address, std::string_view key);
// The address, or the empty text when the text does not end in the key's tag.
std::string unscrambleAddress(std::string_view scrambled, std::string_view key);

// The MD5 digest of the bytes as 32 hexadecimal characters (or the 16 middle ones);
// upper-case digits on request. Empty on failure.
std::string md5Hex(const ByteBuffer& bytes, bool upperCase, bool middle16);

// Two upper-case hexadecimal digits per byte.
std::string bytesToHex(const ByteBuffer& bytes);
// One byte per pair of digits (the last pair may be a single digit); see hexToNumber for
// characters that are not hexadecimal digits.
ByteBuffer hexToBytes(std::string_view digits);
