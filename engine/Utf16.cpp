#include "engine/Utf16.h"

#include <cstdint>

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Decodes one code point starting at text[i]; advances i past it.
char32_t nextUtf8CodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return replacementCharacter;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return replacementCharacter;
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return replacementCharacter;
    return cp;
}

void appendUnit(std::vector<unsigned char>& out, char16_t unit) {
    out.push_back(static_cast<unsigned char>(unit & 0xFF));
    out.push_back(static_cast<unsigned char>(unit >> 8));
}

} // namespace

std::string utf16leFieldToUtf8(const unsigned char* field, std::size_t fieldSize) {
    std::string out;
    const std::size_t units = fieldSize / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(field[2 * i] | (field[2 * i + 1] << 8));
        if (unit == 0)
            break;
        if (isHighSurrogate(unit) && i + 1 < units) {
            const auto next = static_cast<char16_t>(field[2 * i + 2] | (field[2 * i + 3] << 8));
            if (isLowSurrogate(next)) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if (isHighSurrogate(unit) || isLowSurrogate(unit))
            appendUtf8(out, replacementCharacter);
        else
            appendUtf8(out, unit);
    }
    return out;
}

std::vector<unsigned char> utf8ToUtf16le(std::string_view text, std::size_t maxUnits) {
    std::vector<unsigned char> out;
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = nextUtf8CodePoint(text, i);
        if (cp < 0x10000) {
            if (units + 1 > maxUnits)
                break;
            appendUnit(out, static_cast<char16_t>(cp));
            units += 1;
        } else {
            if (units + 2 > maxUnits)
                break;
            const char32_t v = cp - 0x10000;
            appendUnit(out, static_cast<char16_t>(0xD800 + (v >> 10)));
            appendUnit(out, static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
            units += 2;
        }
    }
    return out;
}
