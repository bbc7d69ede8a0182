#include "download/TaskParamRecord.h"

#include "download/FieldValues.h"
#include "text/Codepage.h"

#include <array>
#include <vector>

namespace {

// The engine's layout, in order; the offsets follow from the sizes.
constexpr std::array<FieldLayout, 16> paramFields{{
    {"nReserved", 4},
    {"URL", 4168},
    {"引用页", 4168},
    {"Cookies", 8192},
    {"文件名", 520},
    {"szReserved0", 520},
    {"路径", 520},
    {"hReserved", 4},
    {"bReserved", 4},
    {"szReserved1", 128},
    {"szReserved2", 128},
    {"原始地址下载", 4},
    {"nReserved1", 4},
    {"禁止智能命名", 4},
    {"是否用续传", 4},
    {"reserved", 8192},
}};

enum Field : std::size_t {
    Url = 1,
    Referrer = 2,
    Cookies = 3,
    FileName = 4,
    Folder = 6,
    BReserved = 8,
    GivenAddressOnly = 11,
    NReserved1 = 12,
    NoSmartNaming = 13,
    UseResume = 14,
};

const std::string& name(std::size_t field) {
    static const std::vector<std::string> names = cp936FieldNames(paramFields);
    return names[field];
}

ByteBuffer logicalByte(bool value) {
    return ByteBuffer{static_cast<std::uint8_t>(value ? 1 : 0)};
}

} // namespace

std::uint8_t* TaskParamRecord::defineFields(std::string_view address, std::string_view referrer,
                                            std::string_view cookies, std::string_view fileName,
                                            std::string_view folder, bool givenAddressOnly,
                                            bool noSmartNaming, bool useResume) {
    if (record_.init(1, 0xCC, recordSize) == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < paramFields.size(); ++i) {
        ByteBuffer initial;
        switch (i) {
        case Url:
            initial = utf16leWithTerminator(address);
            break;
        case Referrer:
            initial = utf16leWithTerminator(referrer);
            break;
        case Cookies:
            initial = utf16leWithTerminator(cookies);
            break;
        case FileName:
            initial = utf16leWithTerminator(fileName);
            break;
        case Folder:
            initial = utf16leWithTerminator(folder);
            break;
        case BReserved:
            initial = ByteBuffer{0x00};
            break;
        case NReserved1:
            initial = ByteBuffer{0x05};
            break;
        case GivenAddressOnly:
            initial = logicalByte(givenAddressOnly);
            break;
        case NoSmartNaming:
            initial = logicalByte(noSmartNaming);
            break;
        case UseResume:
            initial = logicalByte(useResume);
            break;
        default:
            break;
        }
        record_.addField(name(i), paramFields[i].size, initial);
    }
    return record_.baseAddress();
}

std::string TaskParamRecord::url() const {
    return readTextField(record_, name(Url));
}
bool TaskParamRecord::url(std::string_view value) {
    return writeTextField(record_, name(Url), value);
}
std::string TaskParamRecord::referrer() const {
    return readTextField(record_, name(Referrer));
}
bool TaskParamRecord::referrer(std::string_view value) {
    return writeTextField(record_, name(Referrer), value);
}
std::string TaskParamRecord::cookies() const {
    return readTextField(record_, name(Cookies));
}
bool TaskParamRecord::cookies(std::string_view value) {
    return writeTextField(record_, name(Cookies), value);
}
std::string TaskParamRecord::fileName() const {
    return readTextField(record_, name(FileName));
}
bool TaskParamRecord::fileName(std::string_view value) {
    return writeTextField(record_, name(FileName), value);
}
std::string TaskParamRecord::folder() const {
    return readTextField(record_, name(Folder));
}
bool TaskParamRecord::folder(std::string_view value) {
    return writeTextField(record_, name(Folder), value);
}
bool TaskParamRecord::givenAddressOnly() const {
    return readLogicalField(record_, name(GivenAddressOnly));
}
bool TaskParamRecord::givenAddressOnly(bool value) {
    return writeLogicalField(record_, name(GivenAddressOnly), value);
}
bool TaskParamRecord::noSmartNaming() const {
    return readLogicalField(record_, name(NoSmartNaming));
}
bool TaskParamRecord::noSmartNaming(bool value) {
    return writeLogicalField(record_, name(NoSmartNaming), value);
}
bool TaskParamRecord::useResume() const {
    return readLogicalField(record_, name(UseResume));
}
bool TaskParamRecord::useResume(bool value) {
    return writeLogicalField(record_, name(UseResume), value);
}
