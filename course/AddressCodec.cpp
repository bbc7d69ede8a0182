#include "course/AddressCodec.h"

#include "text/Decode.h"

#include <openssl/evp.h>

#include <memory>

namespace {

// Each address byte is XOR-ed with 0x10 (the low eight bits of 5791); doing it twice
// gives the byte back.
constexpr std::uint8_t addressXor = 0x10;
constexpr std::size_t tagLength = 9;

void xorEachByte(ByteBuffer& bytes) {
    for (auto& byte : bytes)
        byte ^= addressXor;
}

// Nine upper-case characters of the key's MD5 digest, from the 3rd to the 11th; empty
// when the digest cannot be computed.
std::string tagForKey(std::string_view key) {
    const std::string digest = md5Hex(textToBytes(key), false, false);
    return textUpperCase(textBytesFrom(digest, 3, static_cast<int>(tagLength)));
}

} // namespace

std::string scrambleAddress(std::string_view address, std::string_view key) {
    ByteBuffer bytes = textToBytes(address);
    xorEachByte(bytes);
    return bytesToHex(bytes) + tagForKey(key);
}

std::string unscrambleAddress(std::string_view scrambled, std::string_view key) {
    const std::string tag = tagForKey(key);
    if (tag.empty() || textLastBytes(scrambled, static_cast<int>(tagLength)) != tag)
        return {};
    ByteBuffer bytes = hexToBytes(scrambled.substr(0, scrambled.size() - tagLength));
    xorEachByte(bytes);
    return bytesToText(bytes);
}

std::string md5Hex(const ByteBuffer& bytes, bool upperCase, bool middle16) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1 || digestLength != 16)
        return {};
    std::string hex = bytesToHex(ByteBuffer(digest, digest + digestLength));
    if (!upperCase)
        hex = textLowerCase(hex);
    if (middle16)
        hex = hex.substr(8, 16);
    return hex;
}

std::string bytesToHex(const ByteBuffer& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

ByteBuffer hexToBytes(std::string_view digits) {
    ByteBuffer bytes;
    bytes.reserve((digits.size() + 1) / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(hexToNumber(digits.substr(i, 2)) & 0xFF));
    return bytes;
}
