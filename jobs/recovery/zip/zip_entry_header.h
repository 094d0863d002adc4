#pragma once

#include "jobs/recovery/zip/zip_records.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The headers of one archive entry: what its local header holds and what the central directory
// lists for it. Sizes and the local header's offset are 64-bit; a field that does not fit its
// 32 bits holds 0xFFFFFFFF and the value moves to a Zip64 extra field (id 0x0001).
//
// A new entry that may need Zip64 (declared size or local header offset of 0xFFFFFFFF or more)
// reserves that field in its local header from the start, so closing the entry only patches the
// header in place. The central header carries Zip64 values only for the fields that overflow.
class CZipEntryHeader {
public:
    static constexpr uint32_t kLocalSignature = 0x04034B50;
    static constexpr uint32_t kCentralSignature = zip_records::kCentralSignature;
    static constexpr size_t kLocalFixedSize = 30;
    static constexpr size_t kCentralFixedSize = zip_records::kCentralFixedSize;
    static constexpr uint16_t kMethodStored = 0;
    static constexpr uint16_t kMethodDeflated = 8;
    static constexpr uint16_t kVersionDefault = 20;
    static constexpr uint16_t kVersionZip64 = 45;
    // General-purpose flag: the name (and comment) are UTF-8.
    static constexpr uint16_t kFlagUtf8 = 0x0800;
    static constexpr uint32_t kFolderAttribute = 0x10;
    static constexpr uint32_t kDefaultAttributes = 0x20;
    static constexpr uint16_t kZip64ExtraId = zip_records::kZip64ExtraId;
    // A 32-bit size or offset of this value or more is stored in the Zip64 extra field.
    static constexpr uint64_t kZip64Limit = 0xFFFFFFFF;
    static constexpr size_t kMaxFieldLength = 0xFFFF;

    CZipEntryHeader();
    virtual ~CZipEntryHeader();
    CZipEntryHeader(const CZipEntryHeader&) = default;
    CZipEntryHeader& operator=(const CZipEntryHeader&) = default;
    CZipEntryHeader(CZipEntryHeader&&) = default;
    CZipEntryHeader& operator=(CZipEntryHeader&&) = default;

    // The stored name for an entry path relative to the recovery's root: UTF-8, "/" between
    // folders, no drive, no leading separator, no empty or "." component, and ".." components
    // renamed "_.." so that no entry can extract outside the folder it is extracted into. A
    // folder entry's name ends with "/". Empty when nothing is left.
    static std::string EntryName(std::u16string_view path, bool folder);
    // MS-DOS time and date of a local time; years before 1980 give year field 0.
    static uint16_t DosTime(const std::tm& time);
    static uint16_t DosDate(const std::tm& time);

    // Fills the header of a new entry (CRC and sizes 0). A folder (attribute bit 0x10) is stored,
    // anything else deflated. Throws CZipException kNameTooLong for a name over 65535 bytes.
    void Prepare(std::string name, uint32_t externalAttributes, uint64_t declaredSize,
                 uint64_t localHeaderOffset, uint16_t dosTime, uint16_t dosDate);
    // Reads one central directory header from the start of bytes and sets used to its length.
    // False when it is damaged or lies on another volume.
    bool ReadCentral(std::span<const uint8_t> bytes, size_t& used);

    // The local header as it stands (30 bytes, name, reserved Zip64 field when there is one).
    std::vector<uint8_t> LocalHeader() const;
    // The central directory header (46 bytes, name, extra field, comment).
    std::vector<uint8_t> CentralHeader() const;

    void SetResult(uint32_t crc, uint64_t compressedSize, uint64_t uncompressedSize);
    void ReplaceBackslashes();

    const std::string& Name() const { return m_name; }
    uint16_t Flags() const { return m_flags; }
    uint16_t Method() const { return m_method; }
    uint16_t VersionNeeded() const { return m_versionNeeded; }
    uint16_t Time() const { return m_time; }
    uint16_t Date() const { return m_date; }
    uint32_t Crc() const { return m_crc; }
    uint64_t CompressedSize() const { return m_compressedSize; }
    uint64_t UncompressedSize() const { return m_uncompressedSize; }
    uint32_t ExternalAttributes() const { return m_externalAttributes; }
    uint64_t LocalHeaderOffset() const { return m_localHeaderOffset; }
    // True when the local header reserves a Zip64 field for the sizes.
    bool HasLocalZip64() const { return m_localZip64; }

private:
    uint32_t m_signature = kCentralSignature;
    uint16_t m_versionMadeBy = kVersionDefault;
    uint16_t m_versionNeeded = kVersionDefault;
    uint16_t m_flags = 0;
    uint16_t m_method = kMethodDeflated;
    uint16_t m_time = 0;
    uint16_t m_date = 0;
    uint32_t m_crc = 0;
    uint64_t m_compressedSize = 0;
    uint64_t m_uncompressedSize = 0;
    uint16_t m_diskNumber = 0;
    uint16_t m_internalAttributes = 0;
    uint32_t m_externalAttributes = kDefaultAttributes;
    uint64_t m_localHeaderOffset = 0;
    bool m_localZip64 = false;
    // Extra fields other than Zip64 (kept from an archive opened for appending).
    std::vector<uint8_t> m_extraField;
    std::string m_name;
    std::vector<uint8_t> m_comment;
};
