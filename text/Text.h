#pragma once
// The text model: a text is a byte string in code page 936 (GBK) held in a std::string,
// without zero bytes. A byte of 0x80 or above is the lead byte of a two-byte character
// and is always taken together with the byte after it. Positions are 1-based byte
// positions; a search that finds nothing gives -1. Letter case is folded for ASCII
// letters only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A counted byte sequence that may hold zero bytes.
using ByteBuffer = std::vector<std::uint8_t>;

// Position of the first occurrence of `sought` at or after `start` (1-based; 0 or less
// means 1), stepping over two-byte characters; -1 when there is none. An empty `sought`
// is found at 1 when the text has a byte at or after `start`.
int textSearch(std::string_view text, std::string_view sought, int start = 1,
               bool ignoreCase = false);

// Every occurrence of `sought` replaced, left to right, never starting inside a
// two-byte character. An empty text or empty `sought` leaves the text unchanged.
std::string textReplaceEvery(std::string_view text, std::string_view sought,
                             std::string_view replacement);

std::string textFirstBytes(std::string_view text, int n);
std::string textLastBytes(std::string_view text, int n);
// n bytes from the 1-based position p; empty when p < 1, p > length or n <= 0.
std::string textBytesFrom(std::string_view text, int p, int n);

std::string textUpperCase(std::string_view text);
std::string textLowerCase(std::string_view text);

ByteBuffer textToBytes(std::string_view text);
// The bytes up to, not including, the first zero byte.
std::string bytesToText(const ByteBuffer& bytes);
std::string bytesToText(std::string_view bytes);

// Blanks are the half-width space and the full-width space 0xA1 0xA1.
std::string trimBlanks(std::string_view text);

// The placeholder by which callers write a double quote inside a marker or pattern.
inline constexpr std::string_view quotePlaceholder = "#\xD2\xFD\xBA\xC5"; // "#引号" in CP936
std::string replaceQuotePlaceholders(std::string_view text);

// The text between the first `startMarker` at or after `startPosition` and the first
// `endMarker` after it; empty when either is missing.
std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, int startPosition = 0, bool ignoreCase = false);
