#pragma once
// Code page 936 to UTF-16 with a map back to the bytes, for callers that must turn
// positions in the UTF-16 text into exact byte offsets in the original text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// As cp936ToUtf16; when `byteOffsets` is given it receives, for every UTF-16 unit, the
// 0-based offset of the byte where that unit's character starts, followed by one last
// entry holding the text's length (the offset of the end).
std::u16string cp936ToUtf16(std::string_view text, std::vector<std::size_t>* byteOffsets);
