// unscrambleAddress over arbitrary texts, with and without the right tag, and the round
// trip of arbitrary addresses.
#include "course/AddressCodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    unscrambleAddress(input, addressTagKey);
    const std::string tagged = std::string(input) + "BB1771712";
    if (unscrambleAddress(tagged, addressTagKey).find('\0') != std::string::npos)
        std::abort();
    const std::string address = bytesToText(input);
    if (unscrambleAddress(scrambleAddress(address, addressTagKey), addressTagKey) != address)
        std::abort();
    return 0;
}
