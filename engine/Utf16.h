#pragma once
// UTF-16LE <-> UTF-8 for the record texts. Self-contained on purpose: the engine links
// nothing of the system's text code.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The units of a record text field up to its first zero unit (or the whole field when
// it holds none) as UTF-8. A lone surrogate becomes U+FFFD.
std::string utf16leFieldToUtf8(const unsigned char* field, std::size_t fieldSize);

// UTF-8 as UTF-16LE bytes of at most `maxUnits` units, never splitting a surrogate pair.
// No terminator is added. Malformed UTF-8 bytes become U+FFFD.
std::vector<unsigned char> utf8ToUtf16le(std::string_view text, std::size_t maxUnits);
