#pragma once
// The task information record into which the download engine reports a task's
// progress: 1429 bytes, 28 fields back to back, little-endian, texts UTF-16LE.
//
//   offset size  field
//        0    4  "当前状态" state (int32; 1 cancelled, 2 paused, 3 downloading,
//                4 finished, 5 sending request, 6 ending request)
//        4    4  "失败代码" failure code (int32)
//        8  520  "文件名" file name (text)
//      528  520  "szReserved0"
//     1048    8  "文件总大小" total file size (int64)
//     1056    8  "已下载速度" bytes downloaded (int64)
//     1064    4  "下载进度" progress (float32)
//     1068    4  "nReserved0"
//     1072    4  "总资源数" total sources (int32)
//     1076    4  "可用资源数" available sources (int32)
//     1080   16  "nReserved1".."nReserved4" (4 bytes each)
//     1096    8  "nReserved5"
//     1104    8  "P2P字节数" P2P bytes (int64)
//     1112    8  "nReserved6"
//     1120    8  "原始资源字节数" bytes from the origin source (int64)
//     1128    8  "镜像资源字节数" bytes from mirror sources (int64)
//     1136   16  "nReserved7", "nReserved8" (8 bytes each)
//     1152    4  "下载速度" download speed, bytes per second (int32)
//     1156    4  "下载速度P2S" (int32)
//     1160    4  "下载速度P2P" (int32)
//     1164    1  "原始资源" origin source (logical)
//     1165    4  "fHashPercent"
//     1169    4  "创建文件" create file (int32)
//     1173  256  "reserved"

#include "download/FieldRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

class TaskInfoRecord final {
public:
    static constexpr std::int32_t recordSize = 1429;

    TaskInfoRecord() = default;
    ~TaskInfoRecord() = default;
    TaskInfoRecord(const TaskInfoRecord&) = delete;
    TaskInfoRecord& operator=(const TaskInfoRecord&) = delete;

    // Lays the record out anew: state 2, every other byte zero. Returns the block's
    // address, or nullptr when the record cannot be laid out.
    std::uint8_t* defineFields();
    void release() { record_.release(); }
    std::uint8_t* baseAddress() const { return record_.baseAddress(); }
    const FieldRecord& fields() const { return record_; }

    // Each accessor reads its field without an argument, and writes it with one
    // (true when written). Without a layout they read zero, false or empty text.
    std::int32_t state() const;
    bool state(std::int32_t value);
    std::int32_t failureCode() const;
    bool failureCode(std::int32_t value);
    std::string fileName() const; // code page 936
    bool fileName(std::string_view value);
    std::int64_t totalSize() const;
    bool totalSize(std::int64_t value);
    std::int64_t downloadedBytes() const;
    bool downloadedBytes(std::int64_t value);
    float progress() const;
    bool progress(float value);
    std::int32_t totalSources() const;
    bool totalSources(std::int32_t value);
    std::int32_t availableSources() const;
    bool availableSources(std::int32_t value);
    std::int64_t p2pBytes() const;
    bool p2pBytes(std::int64_t value);
    std::int64_t originBytes() const;
    bool originBytes(std::int64_t value);
    std::int64_t mirrorBytes() const;
    bool mirrorBytes(std::int64_t value);
    std::int32_t speed() const;
    bool speed(std::int32_t value);
    std::int32_t speedP2S() const;
    bool speedP2S(std::int32_t value);
    std::int32_t speedP2P() const;
    bool speedP2P(std::int32_t value);
    bool originSource() const;
    bool originSource(bool value);
    std::int32_t createFile() const;
    bool createFile(std::int32_t value);

private:
    FieldRecord record_;
};
