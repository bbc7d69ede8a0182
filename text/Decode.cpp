#include "text/Decode.h"

#include "text/Codepage.h"

#include <optional>

namespace {

// While a reply is decoded, each "\r\n" stands as "{$}" and each apostrophe as the right
// single quotation mark, so that neither ends the script string the reply is read as.
constexpr std::string_view lineBreak = "\r\n";
constexpr std::string_view lineBreakPlaceholder = "{$}";
constexpr std::string_view apostrophe = "'";
constexpr std::string_view apostrophePlaceholder = "\xA1\xAF"; // U+2019 in code page 936

// The value of one hexadecimal digit in either letter case, or -1.
int hexDigit(char32_t c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    return -1;
}

char32_t codePointOf(char byte) {
    return static_cast<unsigned char>(byte);
}
char32_t codePointOf(char16_t unit) {
    return unit;
}

// The value of `count` hexadecimal digits at `at`, or -1 when they are not all digits
// (or run past the end).
template <typename Units> long hexDigitsAt(const Units& units, std::size_t at, std::size_t count) {
    if (at + count > units.size())
        return -1;
    long value = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const int digit = hexDigit(codePointOf(units[at + k]));
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

std::string prepareReply(std::string_view reply) {
    std::string text = textReplaceEvery(reply, lineBreak, lineBreakPlaceholder);
    if (!text.empty() && text.front() == '\r')
        text.erase(0, 1);
    text = textReplaceEvery(text, "\\u", "%u");
    return textReplaceEvery(text, apostrophe, apostrophePlaceholder);
}

std::string restoreReply(std::string_view decoded) {
    const std::string text = textReplaceEvery(decoded, apostrophePlaceholder, apostrophe);
    return textReplaceEvery(text, lineBreakPlaceholder, lineBreak);
}

bool isOctalDigit(char16_t c) {
    return c >= '0' && c <= '7';
}

// The body of a single-quoted ECMAScript (3rd edition, with the octal escapes of its
// Annex B) string literal, read into the string it denotes. Nothing when the source
// would not compile: a line terminator inside the literal, or a backslash at the very
// end, which would escape the literal's closing quote.
std::optional<std::u16string> readStringLiteralBody(std::u16string_view body) {
    std::u16string out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size();) {
        const char16_t c = body[i];
        if (c == u'\r' || c == u'\n')
            return std::nullopt;
        if (c != u'\\') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= body.size())
            return std::nullopt;
        const char16_t e = body[i + 1];
        i += 2;
        switch (e) {
        case u'\r':
        case u'\n':
            return std::nullopt;
        case u'b':
            out += u'\b';
            break;
        case u't':
            out += u'\t';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'v':
            out += u'\v';
            break;
        case u'f':
            out += u'\f';
            break;
        case u'r':
            out += u'\r';
            break;
        case u'x':
        case u'u': {
            // A malformed \x or \u escape leaves its letter standing for itself.
            const std::size_t digits = e == u'x' ? 2 : 4;
            const long value = hexDigitsAt(body, i, digits);
            if (value < 0) {
                out += e;
            } else {
                out += static_cast<char16_t>(value);
                i += digits;
            }
            break;
        }
        default:
            if (isOctalDigit(e)) {
                // \0 to \377: up to three octal digits when the first is 0-3, two otherwise.
                unsigned value = e - u'0';
                const std::size_t maxMore = e <= u'3' ? 2 : 1;
                for (std::size_t more = 0;
                     more < maxMore && i < body.size() && isOctalDigit(body[i]); ++more, ++i)
                    value = value * 8 + (body[i] - u'0');
                out += static_cast<char16_t>(value);
            } else {
                // Any other character after a backslash, 8 and 9 included, is itself.
                out += e;
            }
        }
    }
    return out;
}

// The global unescape function: "%u" and four hexadecimal digits, and "%" and two, give
// that code unit; every other character stays.
std::u16string unescapeUnits(std::u16string_view units) {
    std::u16string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size();) {
        if (units[i] == u'%') {
            const long wide =
                i + 1 < units.size() && units[i + 1] == u'u' ? hexDigitsAt(units, i + 2, 4) : -1;
            if (wide >= 0) {
                out += static_cast<char16_t>(wide);
                i += 6;
                continue;
            }
            const long narrow = hexDigitsAt(units, i + 1, 2);
            if (narrow >= 0) {
                out += static_cast<char16_t>(narrow);
                i += 3;
                continue;
            }
        }
        out += units[i];
        ++i;
    }
    return out;
}

// What the platform's script engine gives for "function xx(){var x='" + prepared +
// "';return unescape(x);}" and a call of xx: the literal read, unescaped, and converted
// back to code page 936, ending at the first zero character. Empty when the statement
// would not compile.
std::string runScriptStep(std::string_view prepared) {
    const std::optional<std::u16string> literal = readStringLiteralBody(cp936ToUtf16(prepared));
    if (!literal)
        return {};
    std::u16string result = unescapeUnits(*literal);
    const std::size_t zero = result.find(u'\0');
    if (zero != std::u16string::npos)
        result.resize(zero);
    return utf16ToCp936(result);
}

std::string decodeReply(std::string_view reply) {
    // A reply is a text: it ends at a zero byte, should the service send one.
    const std::string prepared = prepareReply(bytesToText(reply));
    std::string decoded = runScriptStep(prepared);
    if (decoded.empty())
        decoded = unescapePercent(prepared);
    return restoreReply(decoded);
}

std::string codeUnitToText(long unit) {
    return utf16ToCp936(std::u16string(1, static_cast<char16_t>(unit)));
}

} // namespace

// Both replies are decoded the same way. When the script step gives nothing, the course
// plan reply falls back on the percent escapes too: reading its ASCII as UTF-16 could only
// give unrelated characters.
std::string decodeCourseReply(std::string_view reply) {
    return decodeReply(reply);
}

std::string decodeVideoReply(std::string_view reply) {
    return decodeReply(reply);
}

std::string unescapePercent(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '%') {
            const long wide =
                i + 1 < text.size() && text[i + 1] == 'u' ? hexDigitsAt(text, i + 2, 4) : -1;
            if (wide >= 0) {
                if (wide != 0)
                    out += codeUnitToText(wide);
                i += 6;
                continue;
            }
            const long narrow = hexDigitsAt(text, i + 1, 2);
            if (narrow >= 0) {
                if (narrow != 0)
                    out += codeUnitToText(narrow);
                i += 3;
                continue;
            }
        }
        out += text[i];
        ++i;
    }
    return out;
}

std::string unicodeBytesToText(const ByteBuffer& bytes) {
    // An odd last byte is dropped; a leading byte-order mark is no character of the text;
    // the text ends at the first zero unit, as a text holds no zero.
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0)
            break;
        if (!(i == 0 && unit == 0xFEFF))
            units += unit;
    }
    return utf16ToCp936(units);
}

std::string wideBytesToText(const ByteBuffer& bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0)
            break;
        units += unit;
    }
    return utf16ToCp936(units);
}

namespace {

// The value of one hexadecimal digit in either letter case. A byte that is not a
// hexadecimal digit counts as the digit 0, so every byte still takes one digit place.
unsigned hexDigitValue(char byte) {
    const int digit = hexDigit(codePointOf(byte));
    return digit < 0 ? 0 : static_cast<unsigned>(digit);
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
