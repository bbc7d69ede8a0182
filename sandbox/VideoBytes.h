#pragma once
// The deterministic content of the sandbox's video files. Byte i of the file at a path is
// byte (i mod 8) of a 64-bit mix of the path's hash and i / 8, so any slice can be made
// on its own, cheaply, without the bytes before it.

#include <cstddef>
#include <cstdint>
#include <string_view>

std::uint64_t videoSeed(std::string_view path);

// Writes the `length` bytes of the file with this seed that start at `offset`.
void fillVideoBytes(std::uint64_t seed, std::int64_t offset, char* out, std::size_t length);
