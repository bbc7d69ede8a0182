#include "text/Codepage.h"

#include "text/CodepageMapped.h"

#include <cerrno>
#include <iconv.h>

namespace {

constexpr char16_t replacementCharacter = u'\uFFFD';

// One conversion descriptor per thread and direction, opened at the first use: iconv_t
// keeps shift state, so it may not be shared between the workers' threads.
class IconvDescriptor final {
public:
    IconvDescriptor(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
    ~IconvDescriptor() {
        if (valid())
            iconv_close(descriptor_);
    }
    IconvDescriptor(const IconvDescriptor&) = delete;
    IconvDescriptor& operator=(const IconvDescriptor&) = delete;

    bool valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in` into `out` (at most `outSize` bytes); the number of bytes
    // written, or -1 when the input is not one whole convertible sequence.
    int convertWhole(const char* in, std::size_t inSize, char* out, std::size_t outSize) {
        if (!valid())
            return -1;
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        char* inPointer = const_cast<char*>(in);
        char* outPointer = out;
        std::size_t inLeft = inSize;
        std::size_t outLeft = outSize;
        const std::size_t done = iconv(descriptor_, &inPointer, &inLeft, &outPointer, &outLeft);
        if (done == static_cast<std::size_t>(-1) || inLeft != 0)
            return -1;
        return static_cast<int>(outSize - outLeft);
    }

private:
    iconv_t descriptor_;
};

// The code page is named "CP936" for iconv (glibc's table of Windows code page 936,
// which also holds the single byte 0x80 for the euro sign).
IconvDescriptor& fromCp936() {
    thread_local IconvDescriptor descriptor("UTF-16LE", "CP936");
    return descriptor;
}

IconvDescriptor& toCp936() {
    thread_local IconvDescriptor descriptor("CP936", "UTF-16LE");
    return descriptor;
}

bool isTrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
}

// Decodes `length` CP936 bytes as exactly one character; 0 when they are not one.
char16_t decodeOneCharacter(const char* bytes, std::size_t length) {
    char out[8];
    const int written = fromCp936().convertWhole(bytes, length, out, sizeof out);
    if (written != 2)
        return 0;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 (static_cast<unsigned char>(out[1]) << 8));
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF));
    }
}

// UTF-8 to UTF-16; a malformed sequence gives U+FFFD for its first byte.
std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 0;
        char32_t codePoint = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        valid = valid && codePoint >= minimum && codePoint <= 0x10FFFF &&
                !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        if (!valid) {
            out += replacementCharacter;
            ++i;
            continue;
        }
        appendUtf16(out, codePoint);
        i += length;
    }
    return out;
}

// UTF-16 to UTF-8; a lone surrogate gives U+FFFD.
std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t codePoint = units[i];
        if (isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            codePoint = 0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
            codePoint = replacementCharacter;
        }
        appendUtf8(out, codePoint);
    }
    return out;
}

} // namespace

std::u16string cp936ToUtf16(std::string_view text, std::vector<std::size_t>* byteOffsets) {
    std::u16string units;
    units.reserve(text.size());
    if (byteOffsets) {
        byteOffsets->clear();
        byteOffsets->reserve(text.size() + 1);
    }
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char16_t unit = byte;
        if (byte >= 0x80) {
            // A lead byte with a well-formed trail byte is one character, or one U+FFFD
            // when the table has no character there. A byte that cannot lead (0xFF), or a
            // lead byte before a byte that cannot trail, is U+FFFD by itself, so that an
            // ASCII byte after it (a quote, say) is still read as itself.
            const bool pair = byte >= 0x81 && byte <= 0xFE && i + 1 < text.size() &&
                              isTrailByte(static_cast<unsigned char>(text[i + 1]));
            if (pair)
                length = 2;
            unit = decodeOneCharacter(text.data() + i, length);
            if (unit == 0)
                unit = replacementCharacter;
        }
        units += unit;
        if (byteOffsets)
            byteOffsets->push_back(i);
        i += length;
    }
    if (byteOffsets)
        byteOffsets->push_back(text.size());
    return units;
}

std::u16string cp936ToUtf16(std::string_view text) {
    return cp936ToUtf16(text, nullptr);
}

std::string utf16ToCp936(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            out += static_cast<char>(unit);
            continue;
        }
        if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            // Code page 936 has no character outside the BMP: a pair, like a lone
            // surrogate, becomes one default character.
            if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1]))
                ++i;
            out += '?';
            continue;
        }
        const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        char bytes[8];
        const int written = toCp936().convertWhole(in, 2, bytes, sizeof bytes);
        if (written <= 0)
            out += '?';
        else
            out.append(bytes, static_cast<std::size_t>(written));
    }
    return out;
}

std::string utf8ToCp936(std::string_view utf8) {
    return utf16ToCp936(utf8ToUtf16(utf8));
}

std::string cp936ToUtf8(std::string_view text) {
    return utf16ToUtf8(cp936ToUtf16(text));
}
