#pragma once
// Byte offsets and sizes of the two records the system hands to the engine. Both are
// packed little-endian blocks without padding; texts are UTF-16LE ended by a zero unit.
// The engine reads and writes them as raw bytes: it is the other side of the interface
// and shares no code with the system's record classes.

#include <cstddef>

namespace paramLayout {
inline constexpr std::size_t size = 26564;
inline constexpr std::size_t url = 4, urlSize = 4168;
inline constexpr std::size_t referrer = 4172, referrerSize = 4168;
inline constexpr std::size_t cookies = 8340, cookiesSize = 8192;
inline constexpr std::size_t fileName = 16532, fileNameSize = 520;
inline constexpr std::size_t folder = 17572, folderSize = 520;
inline constexpr std::size_t givenAddressOnly = 18356; // logical, 4 bytes
inline constexpr std::size_t noSmartNaming = 18364;    // logical, 4 bytes
inline constexpr std::size_t useResume = 18368;        // logical, 4 bytes
inline constexpr std::size_t logicalSize = 4;
} // namespace paramLayout

namespace infoLayout {
inline constexpr std::size_t size = 1429;
inline constexpr std::size_t state = 0;       // int32
inline constexpr std::size_t failureCode = 4; // int32
inline constexpr std::size_t fileName = 8, fileNameSize = 520;
inline constexpr std::size_t totalSize = 1048;       // int64
inline constexpr std::size_t downloadedBytes = 1056; // int64
inline constexpr std::size_t progress = 1064;        // float32
inline constexpr std::size_t totalSources = 1072;    // int32
inline constexpr std::size_t activeSources = 1076;   // int32
inline constexpr std::size_t p2pBytes = 1104;        // int64
inline constexpr std::size_t originBytes = 1120;     // int64
inline constexpr std::size_t mirrorBytes = 1128;     // int64
inline constexpr std::size_t speed = 1152;           // int32
inline constexpr std::size_t speedP2s = 1156;        // int32
inline constexpr std::size_t speedP2p = 1160;        // int32
inline constexpr std::size_t originInUse = 1164;     // logical, 1 byte
inline constexpr std::size_t fileCreated = 1169;     // int32
} // namespace infoLayout
