#include "jobs/recovery/zip/zip_entry_header.h"

#include "jobs/recovery/zip/zip_exception.h"
#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "jobs/recovery/zip/zip_records.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <utility>

namespace {

constexpr size_t kLocalZip64Size = 4 + 16;
constexpr size_t kExtraFieldHeaderSize = zip_records::kExtraFieldHeaderSize;

uint32_t Field32(uint64_t value) {
    return value >= CZipEntryHeader::kZip64Limit ? 0xFFFFFFFF : static_cast<uint32_t>(value);
}

void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU64(std::vector<uint8_t>& out, uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

bool IsAsciiLetter(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

} // namespace

CZipEntryHeader::CZipEntryHeader() = default;

CZipEntryHeader::~CZipEntryHeader() = default;

std::string CZipEntryHeader::EntryName(std::u16string_view path, bool folder) {
    if (path.size() >= 2 && path[1] == u':' && IsAsciiLetter(path[0]))
        path.remove_prefix(2);
    std::u16string name;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && path[end] != u'\\' && path[end] != u'/')
            ++end;
        std::u16string component(path.substr(start, end - start));
        start = end + 1;
        if (component.empty() || component == u".")
            continue;
        if (component == u"..")
            component = u"_..";
        // A NUL would end the name early for many unpackers.
        std::replace(component.begin(), component.end(), u'\0', u'_');
        if (!name.empty())
            name += u'/';
        name += component;
    }
    if (name.empty())
        return {};
    if (folder)
        name += u'/';
    return Utf16ToUtf8(name);
}

uint16_t CZipEntryHeader::DosTime(const std::tm& time) {
    const int hour = std::clamp(time.tm_hour, 0, 23);
    const int minute = std::clamp(time.tm_min, 0, 59);
    const int second = std::clamp(time.tm_sec, 0, 61) / 2;
    return static_cast<uint16_t>(hour * 2048 + minute * 32 + std::min(second, 29));
}

uint16_t CZipEntryHeader::DosDate(const std::tm& time) {
    const int year = std::clamp(time.tm_year + 1900 - 1980, 0, 127);
    const int month = std::clamp(time.tm_mon + 1, 1, 12);
    const int day = std::clamp(time.tm_mday, 1, 31);
    return static_cast<uint16_t>(day + year * 512 + month * 32);
}

void CZipEntryHeader::Prepare(std::string name, uint32_t externalAttributes, uint64_t declaredSize,
                              uint64_t localHeaderOffset, uint16_t dosTime, uint16_t dosDate) {
    if (name.size() > kMaxFieldLength)
        throw CZipException(CZipException::kNameTooLong, {}, ProgramString8(kNameTooLongId));
    *this = CZipEntryHeader();
    m_name = std::move(name);
    m_externalAttributes = externalAttributes;
    m_method = (externalAttributes & kFolderAttribute) != 0 ? kMethodStored : kMethodDeflated;
    m_time = dosTime;
    m_date = dosDate;
    m_localHeaderOffset = localHeaderOffset;
    m_localZip64 = declaredSize >= kZip64Limit || localHeaderOffset >= kZip64Limit;
    if (m_localZip64)
        m_versionNeeded = kVersionZip64;
    const bool ascii = std::all_of(m_name.begin(), m_name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii)
        m_flags |= kFlagUtf8;
}

bool CZipEntryHeader::ReadCentral(std::span<const uint8_t> bytes, size_t& used) {
    const ByteReader reader(bytes);
    zip_records::CentralFields fields;
    if (!zip_records::ReadCentralFields(bytes, fields))
        return false;
    CZipEntryHeader header;
    header.m_versionMadeBy = fields.versionMadeBy;
    header.m_versionNeeded = fields.versionNeeded;
    header.m_flags = fields.flags;
    header.m_method = fields.method;
    header.m_time = fields.time;
    header.m_date = fields.date;
    header.m_crc = fields.crc;
    header.m_diskNumber = fields.diskNumber;
    header.m_internalAttributes = fields.internalAttributes;
    header.m_externalAttributes = fields.externalAttributes;
    const uint16_t nameLength = fields.nameLength;
    const uint16_t extraLength = fields.extraLength;
    const uint16_t commentLength = fields.commentLength;
    const size_t variable = size_t{nameLength} + extraLength + commentLength;
    if (!reader.Contains(kCentralFixedSize, variable))
        return false;
    const uint8_t* name = bytes.data() + kCentralFixedSize;
    header.m_name.assign(reinterpret_cast<const char*>(name), nameLength);
    const std::span<const uint8_t> extra =
        bytes.subspan(kCentralFixedSize + nameLength, extraLength);
    const auto comment = bytes.subspan(kCentralFixedSize + nameLength + extraLength, commentLength);
    header.m_comment.assign(comment.begin(), comment.end());
    header.m_compressedSize = fields.compressedSize;
    header.m_uncompressedSize = fields.uncompressedSize;
    header.m_localHeaderOffset = fields.localHeaderOffset;
    uint32_t disk = header.m_diskNumber;

    // Walk the extra fields: take the Zip64 values, keep every other field. A block that is not a
    // well-formed run of fields is kept whole, unread.
    std::vector<uint8_t> kept;
    bool wellFormed = true;
    size_t position = 0;
    while (position < extra.size()) {
        const ByteReader fields(extra);
        uint16_t id = 0;
        uint16_t size = 0;
        if (!fields.ReadU16(position, id) || !fields.ReadU16(position + 2, size) ||
            !fields.Contains(position + kExtraFieldHeaderSize, size)) {
            wellFormed = false;
            break;
        }
        position += kExtraFieldHeaderSize + size;
    }
    position = 0;
    while (wellFormed && position < extra.size()) {
        const ByteReader fields(extra);
        uint16_t id = 0;
        uint16_t size = 0;
        (void)fields.ReadU16(position, id);
        (void)fields.ReadU16(position + 2, size);
        const size_t dataStart = position + kExtraFieldHeaderSize;
        if (id == kZip64ExtraId) {
            zip_records::Zip64Values values{header.m_uncompressedSize, header.m_compressedSize,
                                            header.m_localHeaderOffset, disk};
            zip_records::ReadZip64Values(extra.subspan(dataStart, size), values);
            header.m_uncompressedSize = values.uncompressedSize;
            header.m_compressedSize = values.compressedSize;
            header.m_localHeaderOffset = values.localHeaderOffset;
            disk = values.diskNumber;
        } else {
            kept.insert(kept.end(), extra.begin() + static_cast<ptrdiff_t>(position),
                        extra.begin() + static_cast<ptrdiff_t>(dataStart + size));
        }
        position = dataStart + size;
    }
    if (!wellFormed)
        kept.assign(extra.begin(), extra.end());
    if (disk != 0)
        return false;
    header.m_diskNumber = 0;
    header.m_extraField = std::move(kept);
    *this = std::move(header);
    used = kCentralFixedSize + variable;
    return true;
}

std::vector<uint8_t> CZipEntryHeader::LocalHeader() const {
    const size_t extraLength = m_localZip64 ? kLocalZip64Size : 0;
    std::vector<uint8_t> bytes(kLocalFixedSize);
    ByteWriter writer(bytes);
    writer.PutU32(0, kLocalSignature);
    writer.PutU16(4, m_versionNeeded);
    writer.PutU16(6, m_flags);
    writer.PutU16(8, m_method);
    writer.PutU16(10, m_time);
    writer.PutU16(12, m_date);
    writer.PutU32(14, m_crc);
    writer.PutU32(18, m_localZip64 ? 0xFFFFFFFF : Field32(m_compressedSize));
    writer.PutU32(22, m_localZip64 ? 0xFFFFFFFF : Field32(m_uncompressedSize));
    writer.PutU16(26, static_cast<uint16_t>(m_name.size()));
    writer.PutU16(28, static_cast<uint16_t>(extraLength));
    bytes.insert(bytes.end(), m_name.begin(), m_name.end());
    if (m_localZip64) {
        AppendU16(bytes, kZip64ExtraId);
        AppendU16(bytes, 16);
        AppendU64(bytes, m_uncompressedSize);
        AppendU64(bytes, m_compressedSize);
    }
    return bytes;
}

std::vector<uint8_t> CZipEntryHeader::CentralHeader() const {
    std::vector<uint8_t> zip64;
    if (m_uncompressedSize >= kZip64Limit)
        AppendU64(zip64, m_uncompressedSize);
    if (m_compressedSize >= kZip64Limit)
        AppendU64(zip64, m_compressedSize);
    if (m_localHeaderOffset >= kZip64Limit)
        AppendU64(zip64, m_localHeaderOffset);
    std::vector<uint8_t> extra;
    if (!zip64.empty()) {
        AppendU16(extra, kZip64ExtraId);
        AppendU16(extra, static_cast<uint16_t>(zip64.size()));
        extra.insert(extra.end(), zip64.begin(), zip64.end());
    }
    // The Zip64 field has priority; other fields are optional and dropped if they do not fit.
    if (extra.size() + m_extraField.size() <= kMaxFieldLength)
        extra.insert(extra.end(), m_extraField.begin(), m_extraField.end());
    const bool needsZip64 = !zip64.empty() || m_localZip64;
    const uint16_t versionNeeded =
        needsZip64 ? std::max(m_versionNeeded, kVersionZip64) : m_versionNeeded;
    const size_t commentLength = std::min(m_comment.size(), kMaxFieldLength);

    std::vector<uint8_t> bytes(kCentralFixedSize);
    ByteWriter writer(bytes);
    writer.PutU32(0, m_signature);
    writer.PutU16(4, m_versionMadeBy);
    writer.PutU16(6, versionNeeded);
    writer.PutU16(8, m_flags);
    writer.PutU16(10, m_method);
    writer.PutU16(12, m_time);
    writer.PutU16(14, m_date);
    writer.PutU32(16, m_crc);
    writer.PutU32(20, Field32(m_compressedSize));
    writer.PutU32(24, Field32(m_uncompressedSize));
    writer.PutU16(28, static_cast<uint16_t>(m_name.size()));
    writer.PutU16(30, static_cast<uint16_t>(extra.size()));
    writer.PutU16(32, static_cast<uint16_t>(commentLength));
    writer.PutU16(34, m_diskNumber);
    writer.PutU16(36, m_internalAttributes);
    writer.PutU32(38, m_externalAttributes);
    writer.PutU32(42, Field32(m_localHeaderOffset));
    bytes.insert(bytes.end(), m_name.begin(), m_name.end());
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    bytes.insert(bytes.end(), m_comment.begin(),
                 m_comment.begin() + static_cast<ptrdiff_t>(commentLength));
    return bytes;
}

void CZipEntryHeader::SetResult(uint32_t crc, uint64_t compressedSize, uint64_t uncompressedSize) {
    m_crc = crc;
    m_compressedSize = compressedSize;
    m_uncompressedSize = uncompressedSize;
}

void CZipEntryHeader::ReplaceBackslashes() {
    std::replace(m_name.begin(), m_name.end(), '\\', '/');
}
