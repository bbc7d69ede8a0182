#include "sandbox/VideoRange.h"

#include <gtest/gtest.h>

namespace {

struct RangeCase {
    const char* header;
    std::int64_t size;
    VideoRange::Kind kind;
    std::int64_t first;
    std::int64_t last;
};

using Kind = VideoRange::Kind;

const RangeCase rangeCases[] = {
    {"", 1000, Kind::Whole, 0, 999},
    {"bytes=0-9", 1000, Kind::Partial, 0, 9},
    {"bytes=990-", 1000, Kind::Partial, 990, 999},
    {"bytes=-5", 1000, Kind::Partial, 995, 999},
    {" bytes=10-19 ", 1000, Kind::Partial, 10, 19},
    // An end past the file is clamped to its last byte; a suffix longer than the file
    // is the whole file, still as a partial reply.
    {"bytes=995-5000", 1000, Kind::Partial, 995, 999},
    {"bytes=-5000", 1000, Kind::Partial, 0, 999},
    {"bytes=999-999", 1000, Kind::Partial, 999, 999},
    {"bytes=1000-", 1000, Kind::Unsatisfiable, 0, -1},
    {"bytes=1000-2000", 1000, Kind::Unsatisfiable, 0, -1},
    {"bytes=-0", 1000, Kind::Unsatisfiable, 0, -1},
    {"bytes=0-", 0, Kind::Unsatisfiable, 0, -1},
    {"bytes=-3", 0, Kind::Unsatisfiable, 0, -1},
    // What a server may ignore: the whole file.
    {"bytes=5-2", 1000, Kind::Whole, 0, 999},
    {"bytes=0-1,5-6", 1000, Kind::Whole, 0, 999},
    {"items=0-9", 1000, Kind::Whole, 0, 999},
    {"bytes=a-9", 1000, Kind::Whole, 0, 999},
    {"bytes=-", 1000, Kind::Whole, 0, 999},
    {"bytes=99999999999999999999-", 1000, Kind::Whole, 0, 999},
    {"", 0, Kind::Whole, 0, -1},
    // Offsets beyond 4 GiB stay exact.
    {"bytes=5000000000-", 6000000000, Kind::Partial, 5000000000, 5999999999},
};

TEST(VideoRange, ResolvesEachFormAgainstTheFileSize) {
    for (const RangeCase& c : rangeCases) {
        SCOPED_TRACE(std::string("Range: ") + c.header + " size " + std::to_string(c.size));
        const VideoRange range = resolveVideoRange(c.header, c.size);
        EXPECT_EQ(range.kind, c.kind);
        if (c.kind != Kind::Unsatisfiable) {
            EXPECT_EQ(range.first, c.first);
            EXPECT_EQ(range.last, c.last);
        }
    }
}

} // namespace
