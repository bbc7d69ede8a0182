#pragma once
// Conversions between the system's code page 936 texts and UTF-16 / UTF-8, through
// glibc's iconv. A character without an equivalent in the target becomes "?", as the
// platform's default character does; bytes that are not valid in the source become
// "?" too (U+FFFD when the target is Unicode), so no input breaks a conversion.

#include <string>
#include <string_view>

std::u16string cp936ToUtf16(std::string_view text);
std::string utf16ToCp936(std::u16string_view units);

// For literals written in this UTF-8 source tree and for the widgets' QString side.
std::string utf8ToCp936(std::string_view utf8);
std::string cp936ToUtf8(std::string_view text);
