#include "engine/TaskRequest.h"

#include "engine/RecordLayout.h"
#include "engine/Utf16.h"

#include <algorithm>
#include <cctype>

namespace {

bool readLogical(const unsigned char* base, std::size_t offset) {
    const unsigned char* p = base + offset;
    return std::any_of(p, p + paramLayout::logicalSize, [](unsigned char b) { return b != 0; });
}

bool hasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

bool hasAllowedScheme(const std::string& url) {
    std::string lower = url.substr(0, 8);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.starts_with("http://") || lower.starts_with("https://") ||
           lower.starts_with("ftp://");
}

// The file system takes at most 255 bytes per name, and the control file beside the
// download adds ".aria2" to it.
constexpr std::size_t longestFileName = 255 - 6;

} // namespace

TaskRequest readTaskRequest(const void* record) {
    const auto* base = static_cast<const unsigned char*>(record);
    TaskRequest request;
    request.url = utf16leFieldToUtf8(base + paramLayout::url, paramLayout::urlSize);
    request.referrer = utf16leFieldToUtf8(base + paramLayout::referrer, paramLayout::referrerSize);
    request.cookies = utf16leFieldToUtf8(base + paramLayout::cookies, paramLayout::cookiesSize);
    request.fileName = utf16leFieldToUtf8(base + paramLayout::fileName, paramLayout::fileNameSize);
    request.folder = utf16leFieldToUtf8(base + paramLayout::folder, paramLayout::folderSize);
    request.givenAddressOnly = readLogical(base, paramLayout::givenAddressOnly);
    request.noSmartNaming = readLogical(base, paramLayout::noSmartNaming);
    request.useResume = readLogical(base, paramLayout::useResume);
    return request;
}

FailureCode checkTaskRequest(const TaskRequest& request) {
    if (request.url.empty() || hasControlCharacter(request.url) || !hasAllowedScheme(request.url))
        return FailureCode::badAddress;
    if (hasControlCharacter(request.referrer) || hasControlCharacter(request.cookies))
        return FailureCode::badHeader;
    const std::string& name = request.fileName;
    if (name.find('/') != std::string::npos || name == "." || name == ".." ||
        name.size() > longestFileName || (name.empty() && request.noSmartNaming))
        return FailureCode::badFileName;
    if (request.folder.empty())
        return FailureCode::badFolder;
    return FailureCode::none;
}
