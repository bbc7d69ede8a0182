#include "sandbox/VideoRange.h"

#include <charconv>
#include <optional>

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A run of decimal digits and nothing else; nullopt for anything else or an overflow.
std::optional<std::int64_t> decimal(std::string_view s) {
    if (s.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

VideoRange whole(std::int64_t size) {
    return {VideoRange::Kind::Whole, 0, size - 1};
}

} // namespace

VideoRange resolveVideoRange(std::string_view rangeHeader, std::int64_t size) {
    std::string_view range = trimmed(rangeHeader);
    constexpr std::string_view unit = "bytes=";
    if (range.size() < unit.size() || range.substr(0, unit.size()) != unit) {
        return whole(size);
    }
    range = trimmed(range.substr(unit.size()));
    const auto dash = range.find('-');
    if (dash == std::string_view::npos || range.find(',') != std::string_view::npos) {
        return whole(size);
    }
    const std::string_view firstText = trimmed(range.substr(0, dash));
    const std::string_view lastText = trimmed(range.substr(dash + 1));
    const VideoRange none{VideoRange::Kind::Unsatisfiable, 0, -1};

    if (firstText.empty()) { // the last n bytes
        const auto n = decimal(lastText);
        if (!n) {
            return whole(size);
        }
        if (*n == 0 || size == 0) {
            return none;
        }
        const std::int64_t count = *n < size ? *n : size;
        return {VideoRange::Kind::Partial, size - count, size - 1};
    }
    const auto first = decimal(firstText);
    const auto last = lastText.empty() ? std::optional<std::int64_t>(size - 1) : decimal(lastText);
    if (!first || !last || (!lastText.empty() && *last < *first)) {
        return whole(size);
    }
    if (*first >= size) {
        return none;
    }
    return {VideoRange::Kind::Partial, *first, *last < size ? *last : size - 1};
}
