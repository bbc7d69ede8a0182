#pragma once
// Small text operations that take an address apart, pick values out of header lines and
// keep a cookie text up to date across requests. Texts are code page 936 byte strings;
// positions are 1-based. None of them fails: a text without the expected pieces gives
// the empty text, "/" (for the path) or the default port.

#include <string>
#include <string_view>

// The text between the two markers, letter case ignored unless `matchCase`; empty when a
// marker is missing. "#引号" in a marker stands for a double quote.
std::string textBetweenAnyCase(std::string_view text, std::string_view startMarker,
                               std::string_view endMarker, int startPosition = 0,
                               bool matchCase = false);

// The text after the first ":", trimmed of blanks; empty when there is no colon.
std::string textAfterColon(std::string_view text);

// The host part of an address in lower case, without its port unless `keepPort`.
// An address without "http://" or "https://" is taken as plain HTTP.
std::string urlHost(std::string_view address, bool keepPort = false);

// The port written in the address, else 443 for "https" addresses and 80 otherwise.
// 0 when the address names a port without digits.
int urlPort(std::string_view address);

// The path with query (and fragment) as the caller wrote it, from the first "/" after
// the host; "/" when there is none.
std::string urlPath(std::string_view address);

// Merges the cookies a reply set (`fresh`) into `jar`: the fresh items first, then the
// older items whose names the reply did not set, minus every item ending in "=deleted",
// joined by "; ". Blanks are removed from both texts, which are written back.
// Returns the new jar.
std::string mergeCookies(std::string& jar, std::string& fresh);
