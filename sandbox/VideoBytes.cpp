#include "sandbox/VideoBytes.h"

namespace {

// The finaliser of splitmix64: neighbouring inputs give unrelated outputs, so a slice
// served from the wrong offset never looks right.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

std::uint64_t videoSeed(std::string_view path) {
    std::uint64_t hash = 0xCBF29CE484222325ULL; // FNV-1a
    for (unsigned char c : path) {
        hash = (hash ^ c) * 0x100000001B3ULL;
    }
    return hash;
}

void fillVideoBytes(std::uint64_t seed, std::int64_t offset, char* out, std::size_t length) {
    auto position = static_cast<std::uint64_t>(offset);
    std::size_t written = 0;
    while (written < length) {
        const std::uint64_t block = mix(seed ^ mix(position >> 3));
        for (unsigned byte = position & 7; byte < 8 && written < length; ++byte) {
            out[written++] = static_cast<char>((block >> (8 * byte)) & 0xFF);
            ++position;
        }
    }
}
