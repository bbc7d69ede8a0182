#include "text/Text.h"

#include <algorithm>
#include <cstring>

namespace {

bool isLeadByte(char byte) {
    return static_cast<unsigned char>(byte) >= 0x80;
}

// Length of the character that starts at `index`: two for a lead byte that has a byte
// after it, otherwise one (a lone lead byte at the very end is one byte).
std::size_t characterLength(std::string_view text, std::size_t index) {
    return isLeadByte(text[index]) && index + 1 < text.size() ? 2 : 1;
}

char asciiLower(char byte) {
    return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte;
}
char asciiUpper(char byte) {
    return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
}

bool bytesEqualAt(std::string_view text, std::size_t index, std::string_view sought,
                  bool ignoreCase) {
    if (!ignoreCase)
        return std::memcmp(text.data() + index, sought.data(), sought.size()) == 0;
    for (std::size_t k = 0; k < sought.size(); ++k) {
        if (asciiLower(text[index + k]) != asciiLower(sought[k]))
            return false;
    }
    return true;
}

template <typename Map> std::string mapSingleByteLetters(std::string_view text, Map map) {
    std::string result(text);
    for (std::size_t i = 0; i < result.size();) {
        const std::size_t length = characterLength(result, i);
        if (length == 1)
            result[i] = map(result[i]);
        i += length;
    }
    return result;
}

} // namespace

int textSearch(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
    const std::size_t first = start <= 0 ? 0 : static_cast<std::size_t>(start) - 1;
    if (first >= text.size())
        return -1;
    if (sought.empty())
        return 1;
    for (std::size_t i = first; i + sought.size() <= text.size(); i += characterLength(text, i)) {
        if (bytesEqualAt(text, i, sought, ignoreCase))
            return static_cast<int>(i) + 1;
    }
    return -1;
}

std::string textReplaceEvery(std::string_view text, std::string_view sought,
                             std::string_view replacement) {
    if (text.empty() || sought.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0; // always a character start
    while (at < text.size()) {
        // A fast byte search proposes the next occurrence; walking the characters up to it
        // tells whether it starts a character or sits on the second byte of one.
        const std::size_t found = text.find(sought, at);
        if (found == std::string_view::npos)
            break;
        std::size_t walk = at;
        while (walk < found)
            walk += characterLength(text, walk);
        if (walk == found) {
            result.append(text.substr(at, found - at));
            result.append(replacement);
            at = found + sought.size();
        } else {
            // `found` is inside the character that ends at `walk`: keep that character.
            result.append(text.substr(at, walk - at));
            at = walk;
        }
    }
    if (at < text.size())
        result.append(text.substr(at));
    return result;
}

std::string textFirstBytes(std::string_view text, int n) {
    if (n <= 0)
        return {};
    return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string textLastBytes(std::string_view text, int n) {
    if (n <= 0)
        return {};
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
    return std::string(text.substr(text.size() - count));
}

std::string textBytesFrom(std::string_view text, int p, int n) {
    if (p < 1 || static_cast<std::size_t>(p) > text.size() || n <= 0)
        return {};
    return std::string(text.substr(static_cast<std::size_t>(p) - 1, static_cast<std::size_t>(n)));
}

std::string textUpperCase(std::string_view text) {
    return mapSingleByteLetters(text, asciiUpper);
}

std::string textLowerCase(std::string_view text) {
    return mapSingleByteLetters(text, asciiLower);
}

ByteBuffer textToBytes(std::string_view text) {
    return ByteBuffer(text.begin(), text.end());
}

std::string bytesToText(const ByteBuffer& bytes) {
    return bytesToText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string bytesToText(std::string_view bytes) {
    return std::string(bytes.substr(0, std::min(bytes.size(), bytes.find('\0'))));
}

std::string trimBlanks(std::string_view text) {
    // Walk whole characters, so that the trail byte of one character and the lead byte of
    // the next are never taken for a full-width space.
    std::size_t begin = 0;
    std::size_t end = 0; // just after the last character that is not a blank
    bool leading = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = characterLength(text, i);
        const bool blank = (length == 1 && text[i] == ' ') ||
                           (length == 2 && text[i] == '\xA1' && text[i + 1] == '\xA1');
        if (!blank) {
            if (leading)
                begin = i;
            leading = false;
            end = i + length;
        }
        i += length;
    }
    if (leading)
        return {};
    return std::string(text.substr(begin, end - begin));
}

std::string replaceQuotePlaceholders(std::string_view text) {
    return textReplaceEvery(text, quotePlaceholder, "\"");
}

std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, int startPosition, bool ignoreCase) {
    const std::string start = replaceQuotePlaceholders(startMarker);
    const std::string end = replaceQuotePlaceholders(endMarker);
    const int s = textSearch(text, start, startPosition, ignoreCase);
    if (s < 0)
        return {};
    const int c = s + static_cast<int>(start.size());
    const int e = textSearch(text, end, c, ignoreCase);
    if (e < 0)
        return {};
    return textBytesFrom(text, c, e - c);
}
