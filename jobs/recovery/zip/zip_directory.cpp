#include "jobs/recovery/zip/zip_directory.h"

#include "jobs/recovery/zip/zip_exception.h"
#include "jobs/recovery/zip/zip_output.h"
#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>

namespace {

constexpr uint16_t kZip64Version = CZipEntryHeader::kVersionZip64;
// Size of the Zip64 end record after its signature and size fields.
constexpr uint64_t kZip64EndRecordBody = 44;

} // namespace

CZipDirectory::CZipDirectory() : m_convertBackslashes(true) {}

void CZipDirectory::Clear() {
    m_headers.clear();
    m_headers.shrink_to_fit();
    m_thisDisk = 0;
    m_directoryDisk = 0;
    m_entriesOnDisk = 0;
    m_totalEntries = 0;
    m_size = 0;
    m_offset = 0;
    m_comment.clear();
}

void CZipDirectory::Add(const CZipEntryHeader& header) {
    m_headers.push_back(header);
    if (m_convertBackslashes)
        m_headers.back().ReplaceBackslashes();
}

CZipEntryHeader* CZipDirectory::Current() {
    return m_headers.empty() ? nullptr : &m_headers.back();
}

void CZipDirectory::RemoveCurrent() {
    if (!m_headers.empty())
        m_headers.pop_back();
}

void CZipDirectory::Read(CZipOutput& file) {
    const uint64_t fileSize = file.FileSize();
    if (fileSize < kEndRecordSize)
        ThrowDamaged(file, kNoEndRecordId);

    // The end record is the last 22 bytes unless a comment of up to 65535 bytes follows it.
    const uint64_t tailLength = std::min<uint64_t>(fileSize, kEndRecordSize + kMaxCommentLength);
    const uint64_t tailStart = fileSize - tailLength;
    std::vector<uint8_t> tail(static_cast<size_t>(tailLength));
    file.ReadAt(tailStart, tail.data(), tail.size());
    const std::optional<size_t> found = zip_records::FindEndRecord(tail);
    if (!found)
        ThrowDamaged(file, kNoEndRecordId);
    zip_records::EndRecord end;
    (void)zip_records::ReadEndRecord(std::span<const uint8_t>(tail).subspan(*found), end);
    const auto commentStart = tail.begin() + static_cast<ptrdiff_t>(*found + kEndRecordSize);
    std::vector<uint8_t> comment(commentStart, commentStart + end.commentLength);

    uint64_t directoryEnd = tailStart + *found;
    uint64_t thisDisk64 = end.thisDisk;
    uint64_t directoryDisk64 = end.directoryDisk;
    uint64_t entriesOnDisk64 = end.entriesOnDisk;
    uint64_t totalEntries64 = end.totalEntries;
    uint64_t size64 = end.size;
    uint64_t offset64 = end.offset;

    // A Zip64 locator right before the end record points to the Zip64 end record, whose values
    // replace the classic ones.
    if (directoryEnd >= kZip64LocatorSize) {
        uint8_t locatorBytes[kZip64LocatorSize];
        file.ReadAt(directoryEnd - kZip64LocatorSize, locatorBytes, sizeof locatorBytes);
        zip_records::Zip64Locator locator;
        if (zip_records::ReadZip64Locator(locatorBytes, locator)) {
            const uint64_t locatorStart = directoryEnd - kZip64LocatorSize;
            if (locator.recordDisk != 0 || locator.diskCount > 1)
                ThrowDamaged(file, kSpansVolumesId);
            if (!zip_records::Zip64EndRecordFits(locator.recordOffset, locatorStart))
                ThrowDamaged(file, kZip64EndMisplacedId);
            uint8_t recordBytes[kZip64EndRecordSize];
            file.ReadAt(locator.recordOffset, recordBytes, sizeof recordBytes);
            zip_records::Zip64EndRecord record;
            if (!zip_records::ReadZip64EndRecord(recordBytes, record) ||
                record.recordSize < kZip64EndRecordBody ||
                record.recordSize > locatorStart - locator.recordOffset - 12)
                ThrowDamaged(file, kZip64EndDamagedId);
            thisDisk64 = record.thisDisk;
            directoryDisk64 = record.directoryDisk;
            entriesOnDisk64 = record.entriesOnDisk;
            totalEntries64 = record.totalEntries;
            size64 = record.size;
            offset64 = record.offset;
            directoryEnd = locator.recordOffset;
        }
    }

    if (thisDisk64 != 0 || directoryDisk64 != 0 || entriesOnDisk64 != totalEntries64)
        ThrowDamaged(file, kSpansVolumesId);
    if (offset64 > directoryEnd || directoryEnd - offset64 != size64)
        ThrowDamaged(file, kDirectoryMisplacedId);
    if (totalEntries64 > size64 / CZipEntryHeader::kCentralFixedSize ||
        size64 > std::numeric_limits<size_t>::max())
        ThrowDamaged(file, kEntryCountId);

    std::vector<uint8_t> directory(static_cast<size_t>(size64));
    file.ReadAt(offset64, directory.data(), directory.size());
    std::vector<CZipEntryHeader> headers;
    headers.reserve(static_cast<size_t>(totalEntries64));
    size_t position = 0;
    for (uint64_t index = 0; index < totalEntries64; ++index) {
        CZipEntryHeader header;
        size_t used = 0;
        if (!header.ReadCentral(std::span<const uint8_t>(directory).subspan(position), used))
            ThrowDamaged(file, kDirectoryDamagedId);
        if (header.LocalHeaderOffset() > offset64 ||
            offset64 - header.LocalHeaderOffset() < CZipEntryHeader::kLocalFixedSize)
            ThrowDamaged(file, kEntryOutsideId);
        position += used;
        headers.push_back(std::move(header));
    }
    if (position != directory.size())
        ThrowDamaged(file, kEntryCountId);

    m_headers = std::move(headers);
    m_thisDisk = 0;
    m_directoryDisk = 0;
    m_entriesOnDisk = m_headers.size();
    m_totalEntries = m_headers.size();
    m_size = size64;
    m_offset = offset64;
    m_comment = std::move(comment);
}

void CZipDirectory::Write(CZipOutput& output) {
    m_offset = output.Position();
    m_size = 0;
    for (CZipEntryHeader& header : m_headers) {
        if (m_convertBackslashes)
            header.ReplaceBackslashes();
        const std::vector<uint8_t> bytes = header.CentralHeader();
        output.Write(bytes.data(), bytes.size());
        m_size += bytes.size();
    }
    m_thisDisk = 0;
    m_directoryDisk = 0;
    m_entriesOnDisk = m_headers.size();
    m_totalEntries = m_headers.size();

    const bool zip64 = m_totalEntries >= kMaxClassicEntries ||
                       m_size >= CZipEntryHeader::kZip64Limit ||
                       m_offset >= CZipEntryHeader::kZip64Limit;
    if (zip64) {
        const uint64_t recordOffset = output.Position();
        uint8_t record[kZip64EndRecordSize] = {};
        ByteWriter recordWriter(record);
        recordWriter.PutU32(0, kZip64EndSignature);
        recordWriter.PutU64(4, kZip64EndRecordBody);
        recordWriter.PutU16(12, kZip64Version);
        recordWriter.PutU16(14, kZip64Version);
        recordWriter.PutU32(16, m_thisDisk);
        recordWriter.PutU32(20, m_directoryDisk);
        recordWriter.PutU64(24, m_entriesOnDisk);
        recordWriter.PutU64(32, m_totalEntries);
        recordWriter.PutU64(40, m_size);
        recordWriter.PutU64(48, m_offset);
        output.Write(record, sizeof record);

        uint8_t locator[kZip64LocatorSize] = {};
        ByteWriter locatorWriter(locator);
        locatorWriter.PutU32(0, kZip64LocatorSignature);
        locatorWriter.PutU32(4, 0);
        locatorWriter.PutU64(8, recordOffset);
        locatorWriter.PutU32(16, 1);
        output.Write(locator, sizeof locator);
    }

    const auto count16 = [](uint64_t count) {
        return count >= kMaxClassicEntries ? uint16_t{0xFFFF} : static_cast<uint16_t>(count);
    };
    const auto field32 = [](uint64_t value) {
        return value >= CZipEntryHeader::kZip64Limit ? uint32_t{0xFFFFFFFF}
                                                     : static_cast<uint32_t>(value);
    };
    const size_t commentLength = std::min(m_comment.size(), kMaxCommentLength);
    uint8_t end[kEndRecordSize] = {};
    ByteWriter endWriter(end);
    endWriter.PutU32(0, kEndSignature);
    endWriter.PutU16(4, static_cast<uint16_t>(m_thisDisk));
    endWriter.PutU16(6, static_cast<uint16_t>(m_directoryDisk));
    endWriter.PutU16(8, count16(m_entriesOnDisk));
    endWriter.PutU16(10, count16(m_totalEntries));
    endWriter.PutU32(12, field32(m_size));
    endWriter.PutU32(16, field32(m_offset));
    endWriter.PutU16(20, static_cast<uint16_t>(commentLength));
    output.Write(end, sizeof end);
    output.Write(m_comment.data(), commentLength);
}

void CZipDirectory::ThrowDamaged(const CZipOutput& file, uint32_t whyId) const {
    throw CZipException(CZipException::kDamagedArchive, file.Path(), ProgramString8(whyId));
}
