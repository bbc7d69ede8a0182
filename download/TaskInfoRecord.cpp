#include "download/TaskInfoRecord.h"

#include "download/FieldValues.h"
#include "text/Codepage.h"

#include <array>
#include <vector>

namespace {

// The engine's layout, in order; the offsets follow from the sizes.
constexpr std::array<FieldLayout, 28> infoFields{{
    {"当前状态", 4},   {"失败代码", 4},       {"文件名", 520},       {"szReserved0", 520},
    {"文件总大小", 8}, {"已下载速度", 8},     {"下载进度", 4},       {"nReserved0", 4},
    {"总资源数", 4},   {"可用资源数", 4},     {"nReserved1", 4},     {"nReserved2", 4},
    {"nReserved3", 4}, {"nReserved4", 4},     {"nReserved5", 8},     {"P2P字节数", 8},
    {"nReserved6", 8}, {"原始资源字节数", 8}, {"镜像资源字节数", 8}, {"nReserved7", 8},
    {"nReserved8", 8}, {"下载速度", 4},       {"下载速度P2S", 4},    {"下载速度P2P", 4},
    {"原始资源", 1},   {"fHashPercent", 4},   {"创建文件", 4},       {"reserved", 256},
}};

enum Field : std::size_t {
    State = 0,
    FailureCode = 1,
    FileName = 2,
    TotalSize = 4,
    DownloadedBytes = 5,
    Progress = 6,
    TotalSources = 8,
    AvailableSources = 9,
    P2pBytes = 15,
    OriginBytes = 17,
    MirrorBytes = 18,
    Speed = 21,
    SpeedP2S = 22,
    SpeedP2P = 23,
    OriginSource = 24,
    CreateFile = 26,
};

// The field names as the record stores them: code page 936 texts.
const std::string& name(std::size_t field) {
    static const std::vector<std::string> names = cp936FieldNames(infoFields);
    return names[field];
}

} // namespace

std::uint8_t* TaskInfoRecord::defineFields() {
    std::uint8_t* block = record_.init(1, 0xCC, recordSize);
    if (block == nullptr) {
        return nullptr;
    }
    const std::uint8_t stateTwo[4] = {2, 0, 0, 0};
    const std::uint8_t zero[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < infoFields.size(); ++i) {
        std::span<const std::uint8_t> initial;
        if (i == State) {
            initial = stateTwo;
        } else if (i == FailureCode) {
            initial = zero;
        }
        record_.addField(name(i), infoFields[i].size, initial);
    }
    return record_.baseAddress();
}

std::int32_t TaskInfoRecord::state() const {
    return readNumberField<std::int32_t>(record_, name(State));
}
bool TaskInfoRecord::state(std::int32_t value) {
    return writeNumberField(record_, name(State), value);
}
std::int32_t TaskInfoRecord::failureCode() const {
    return readNumberField<std::int32_t>(record_, name(FailureCode));
}
bool TaskInfoRecord::failureCode(std::int32_t value) {
    return writeNumberField(record_, name(FailureCode), value);
}
std::string TaskInfoRecord::fileName() const {
    return readTextField(record_, name(FileName));
}
bool TaskInfoRecord::fileName(std::string_view value) {
    return writeTextField(record_, name(FileName), value);
}
std::int64_t TaskInfoRecord::totalSize() const {
    return readNumberField<std::int64_t>(record_, name(TotalSize));
}
bool TaskInfoRecord::totalSize(std::int64_t value) {
    return writeNumberField(record_, name(TotalSize), value);
}
std::int64_t TaskInfoRecord::downloadedBytes() const {
    return readNumberField<std::int64_t>(record_, name(DownloadedBytes));
}
bool TaskInfoRecord::downloadedBytes(std::int64_t value) {
    return writeNumberField(record_, name(DownloadedBytes), value);
}
float TaskInfoRecord::progress() const {
    return readNumberField<float>(record_, name(Progress));
}
bool TaskInfoRecord::progress(float value) {
    return writeNumberField(record_, name(Progress), value);
}
std::int32_t TaskInfoRecord::totalSources() const {
    return readNumberField<std::int32_t>(record_, name(TotalSources));
}
bool TaskInfoRecord::totalSources(std::int32_t value) {
    return writeNumberField(record_, name(TotalSources), value);
}
std::int32_t TaskInfoRecord::availableSources() const {
    return readNumberField<std::int32_t>(record_, name(AvailableSources));
}
bool TaskInfoRecord::availableSources(std::int32_t value) {
    return writeNumberField(record_, name(AvailableSources), value);
}
std::int64_t TaskInfoRecord::p2pBytes() const {
    return readNumberField<std::int64_t>(record_, name(P2pBytes));
}
bool TaskInfoRecord::p2pBytes(std::int64_t value) {
    return writeNumberField(record_, name(P2pBytes), value);
}
std::int64_t TaskInfoRecord::originBytes() const {
    return readNumberField<std::int64_t>(record_, name(OriginBytes));
}
bool TaskInfoRecord::originBytes(std::int64_t value) {
    return writeNumberField(record_, name(OriginBytes), value);
}
std::int64_t TaskInfoRecord::mirrorBytes() const {
    return readNumberField<std::int64_t>(record_, name(MirrorBytes));
}
bool TaskInfoRecord::mirrorBytes(std::int64_t value) {
    return writeNumberField(record_, name(MirrorBytes), value);
}
std::int32_t TaskInfoRecord::speed() const {
    return readNumberField<std::int32_t>(record_, name(Speed));
}
bool TaskInfoRecord::speed(std::int32_t value) {
    return writeNumberField(record_, name(Speed), value);
}
std::int32_t TaskInfoRecord::speedP2S() const {
    return readNumberField<std::int32_t>(record_, name(SpeedP2S));
}
bool TaskInfoRecord::speedP2S(std::int32_t value) {
    return writeNumberField(record_, name(SpeedP2S), value);
}
std::int32_t TaskInfoRecord::speedP2P() const {
    return readNumberField<std::int32_t>(record_, name(SpeedP2P));
}
bool TaskInfoRecord::speedP2P(std::int32_t value) {
    return writeNumberField(record_, name(SpeedP2P), value);
}
bool TaskInfoRecord::originSource() const {
    return readLogicalField(record_, name(OriginSource));
}
bool TaskInfoRecord::originSource(bool value) {
    return writeLogicalField(record_, name(OriginSource), value);
}
std::int32_t TaskInfoRecord::createFile() const {
    return readNumberField<std::int32_t>(record_, name(CreateFile));
}
bool TaskInfoRecord::createFile(std::int32_t value) {
    return writeNumberField(record_, name(CreateFile), value);
}
