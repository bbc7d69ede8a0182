#pragma once
// Which bytes of a video file a GET or HEAD asks for, from its Range header.

#include <cstdint>
#include <string_view>

struct VideoRange {
    enum class Kind {
        Whole,         // no usable single range: the whole file, 200
        Partial,       // bytes first..last of the file, 206
        Unsatisfiable, // a range that holds no byte of the file, 416
    };
    Kind kind = Kind::Whole;
    std::int64_t first = 0;
    std::int64_t last = -1; // inclusive; last < first only for an empty whole file

    std::int64_t length() const { return last - first + 1; }
};

// Resolves one "bytes=a-b", "bytes=a-" or "bytes=-n" against a file of `size` bytes,
// clamping an end past the file to its last byte. An absent header, another unit, a
// list of several ranges or a malformed one gives the whole file, as a server may
// always answer a Range request with the full content.
VideoRange resolveVideoRange(std::string_view rangeHeader, std::int64_t size);
