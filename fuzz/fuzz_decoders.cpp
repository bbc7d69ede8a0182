// The reply decoders and their conversions over arbitrary bytes: no crash, no hang, and
// never a zero byte in a text.
#include "text/Decode.h"

#include <cstdlib>

namespace {

void requireText(const std::string& text) {
    if (text.find('\0') != std::string::npos)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    requireText(decodeCourseReply(input));
    requireText(decodeVideoReply(input));
    if (input.find('\0') == std::string_view::npos)
        requireText(unescapePercent(input));
    const ByteBuffer bytes(data, data + size);
    requireText(wideBytesToText(bytes));
    requireText(unicodeBytesToText(bytes));
    hexToNumber(input);
    return 0;
}
