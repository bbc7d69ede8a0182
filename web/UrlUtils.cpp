#include "web/UrlUtils.h"

#include "text/Text.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int maxPortNumber = 65535;

bool isAsciiLetter(char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

bool isSchemeCharacter(char byte) {
    return isAsciiLetter(byte) || (byte >= '0' && byte <= '9') || byte == '+' || byte == '-' ||
           byte == '.';
}

// 1-based position just after the "//" of a leading "scheme://", or 1 when the address
// does not begin with a scheme.
int positionAfterScheme(std::string_view address) {
    const std::size_t colon = address.find("://");
    if (colon == std::string_view::npos || colon == 0 || !isAsciiLetter(address[0]))
        return 1;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeCharacter(address[i]))
            return 1;
    }
    return static_cast<int>(colon + 3) + 1;
}

// The leading decimal digits as a number; 0 when there are none. A number above the
// largest port stops growing there, so that it can never be mistaken for a valid port.
int leadingNumber(std::string_view text) {
    int number = 0;
    for (char byte : text) {
        if (byte < '0' || byte > '9')
            break;
        number = number * 10 + (byte - '0');
        if (number > maxPortNumber)
            return maxPortNumber + 1;
    }
    return number;
}

// Blanks are the half-width space and the full-width space 0xA1 0xA1; two-byte
// characters are stepped over whole.
std::string withoutBlanks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const bool twoBytes = static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size();
        if (twoBytes) {
            if (!(text[i] == '\xA1' && text[i + 1] == '\xA1'))
                result.append(text.substr(i, 2));
            i += 2;
        } else {
            if (text[i] != ' ')
                result.push_back(text[i]);
            i += 1;
        }
    }
    return result;
}

// Items separated by ";". An empty text holds no item, and a trailing ";" adds none; an
// empty item between two separators or before a leading one is kept.
std::vector<std::string> cookieItems(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            items.emplace_back(text.substr(start));
            break;
        }
        items.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::string cookieName(std::string_view item) {
    return trimBlanks(item.substr(0, item.find('=')));
}

bool isDeletedCookie(std::string_view item) {
    return textLastBytes(item, 8) == "=deleted";
}

} // namespace

std::string textBetweenAnyCase(std::string_view text, std::string_view startMarker,
                               std::string_view endMarker, int startPosition, bool matchCase) {
    return textBetween(text, startMarker, endMarker, startPosition, !matchCase);
}

std::string textAfterColon(std::string_view text) {
    const int colon = textSearch(text, ":");
    if (colon < 0)
        return {};
    return trimBlanks(text.substr(static_cast<std::size_t>(colon)));
}

std::string urlHost(std::string_view address, bool keepPort) {
    std::string lowered = textLowerCase(address);
    if (lowered.empty() || lowered.back() != '/')
        lowered.push_back('/');
    std::string schemeMarker = "https://";
    if (!lowered.starts_with(schemeMarker)) {
        schemeMarker = "http://";
        if (lowered.find(schemeMarker) == std::string::npos)
            lowered.insert(0, schemeMarker);
    }
    std::string host = textBetweenAnyCase(lowered, schemeMarker, "/");
    if (!keepPort) {
        const int colon = textSearch(host, ":");
        if (colon > 0)
            host.resize(static_cast<std::size_t>(colon) - 1);
    }
    return host;
}

int urlPort(std::string_view address) {
    const std::string host = urlHost(address, true);
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos)
        return leadingNumber(std::string_view(host).substr(colon + 1));
    return textLowerCase(textFirstBytes(address, 5)) == "https" ? 443 : 80;
}

std::string urlPath(std::string_view address) {
    // The host is looked for after the scheme's "//": searched from the first byte, a host
    // such as "h" would be found inside "http" itself.
    const int hostAt = textSearch(address, urlHost(address), positionAfterScheme(address), true);
    const int slash = textSearch(address, "/", hostAt > 0 ? hostAt : 1);
    if (slash < 0)
        return "/";
    return std::string(address.substr(static_cast<std::size_t>(slash) - 1));
}

std::string mergeCookies(std::string& jar, std::string& fresh) {
    jar = withoutBlanks(jar);
    fresh = withoutBlanks(fresh);
    std::vector<std::string> merged = cookieItems(fresh);
    std::vector<std::string> names;
    for (const std::string& item : merged)
        names.push_back(cookieName(item));
    for (std::string& item : cookieItems(jar)) {
        std::string name = cookieName(item);
        if (std::find(names.begin(), names.end(), name) != names.end())
            continue;
        names.push_back(std::move(name));
        merged.push_back(std::move(item));
    }
    std::string result;
    for (const std::string& item : merged) {
        if (isDeletedCookie(item))
            continue;
        result += item;
        result += "; ";
    }
    if (!result.empty())
        result.resize(result.size() - 2);
    jar = result;
    return result;
}
