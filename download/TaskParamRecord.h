#pragma once
// The task parameter record from which the download engine creates a task: 26564
// bytes, 16 fields back to back, little-endian, texts UTF-16LE ended by a zero unit
// (an over-long text is cut at the field's size and then has no terminator), logicals
// one byte 0x01 or 0x00 at the field's first byte.
//
//   offset  size  field
//        0     4  "nReserved"
//        4  4168  "URL" (text)
//     4172  4168  "引用页" referrer page (text)
//     8340  8192  "Cookies" (text)
//    16532   520  "文件名" file name (text)
//    17052   520  "szReserved0"
//    17572   520  "路径" folder (text)
//    18092     4  "hReserved"
//    18096     4  "bReserved" (0)
//    18100   128  "szReserved1"
//    18228   128  "szReserved2"
//    18356     4  "原始地址下载" download from the given address only (logical)
//    18360     4  "nReserved1" (5)
//    18364     4  "禁止智能命名" no smart naming (logical)
//    18368     4  "是否用续传" use resume (logical)
//    18372  8192  "reserved"

#include "download/FieldRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

class TaskParamRecord final {
public:
    static constexpr std::int32_t recordSize = 26564;

    TaskParamRecord() = default;
    ~TaskParamRecord() = default;
    TaskParamRecord(const TaskParamRecord&) = delete;
    TaskParamRecord& operator=(const TaskParamRecord&) = delete;

    // Lays the record out anew with these values (texts in code page 936). Returns the
    // block's address, or nullptr when the record cannot be laid out.
    std::uint8_t* defineFields(std::string_view address = {}, std::string_view referrer = {},
                               std::string_view cookies = {}, std::string_view fileName = {},
                               std::string_view folder = {}, bool givenAddressOnly = false,
                               bool noSmartNaming = false, bool useResume = true);
    void release() { record_.release(); }
    std::uint8_t* baseAddress() const { return record_.baseAddress(); }
    const FieldRecord& fields() const { return record_; }

    // Each accessor reads its field without an argument, and writes it with one
    // (true when written). Without a layout they read false or empty text.
    std::string url() const;
    bool url(std::string_view value);
    std::string referrer() const;
    bool referrer(std::string_view value);
    std::string cookies() const;
    bool cookies(std::string_view value);
    std::string fileName() const;
    bool fileName(std::string_view value);
    std::string folder() const;
    bool folder(std::string_view value);
    bool givenAddressOnly() const;
    bool givenAddressOnly(bool value);
    bool noSmartNaming() const;
    bool noSmartNaming(bool value);
    bool useResume() const;
    bool useResume(bool value);

private:
    FieldRecord record_;
};
