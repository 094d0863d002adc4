#include "archiveview/core/zip_directory_walk.h"

#include "archiveview/core/archive_entry_name.h"
#include "platform/text/byte_reader.h"
#include "jobs/recovery/zip/zip_records.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace {

constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
// What may lie between the last central header and the end record.
constexpr uint32_t kSignatureRecord = 0x05054B50;
constexpr uint64_t kEndRecordBytes = zip_records::kEndRecordSize;
constexpr uint64_t kZip64LocatorBytes = zip_records::kZip64LocatorSize;
constexpr uint64_t kZip64EndRecordBytes = zip_records::kZip64EndRecordSize;
constexpr uint64_t kCentralHeaderBytes = zip_records::kCentralFixedSize;
constexpr uint64_t kMaxCommentBytes = zip_records::kMaxCommentLength;
constexpr uint64_t kZipSector = PreviewByteSource::kSectorBytes;

struct EndRecord {
    uint64_t offset = 0;
    uint64_t directoryOffset = 0;
    // Where the directory must end: the end record, or the Zip64 end record before it.
    uint64_t directoryLimit = 0;
};

// The end record searched backwards from the last place it fits; one whose comment would run
// past the file is not it.
std::optional<EndRecord> FindEndRecord(PreviewByteSource& source, uint64_t fileSize) {
    const uint64_t tailLength = std::min(fileSize, kEndRecordBytes + kMaxCommentBytes);
    const uint64_t tailStart = fileSize - tailLength;
    std::vector<uint8_t> tail(static_cast<size_t>(tailLength));
    std::vector<bool> readable(tail.size(), false);
    std::array<uint8_t, kZipSector> sector{};
    for (uint64_t at = tailStart; at < fileSize;) {
        const uint64_t index = at / kZipSector;
        const uint64_t within = at % kZipSector;
        const uint64_t take = std::min(kZipSector - within, fileSize - at);
        const auto read = source.ReadSector(index, sector);
        if (read == PreviewByteSource::SectorRead::PastEnd) {
            break;
        }
        if (read == PreviewByteSource::SectorRead::Ok) {
            const size_t to = static_cast<size_t>(at - tailStart);
            std::copy_n(sector.begin() + within, take, tail.begin() + to);
            std::fill_n(readable.begin() + to, take, true);
        }
        at += take;
    }
    const std::optional<size_t> at = zip_records::FindEndRecord(tail, [&](size_t position) {
        return std::all_of(readable.begin() + position,
                           readable.begin() + position + kEndRecordBytes, [](bool b) { return b; });
    });
    zip_records::EndRecord record;
    if (at && zip_records::ReadEndRecord(std::span<const uint8_t>(tail).subspan(*at), record)) {
        return EndRecord{tailStart + *at, record.offset, tailStart + *at};
    }
    return std::nullopt;
}

// An archive whose directory lies past 4 GiB (or holds more than 65,535 entries) keeps the
// directory's offset in a Zip64 end record, found through the locator just before the end
// record. A locator or record that does not check out leaves the end record's values.
void ReadZip64EndRecord(PreviewByteSource& source, EndRecord& end) {
    if (end.offset < kZip64LocatorBytes) {
        return;
    }
    std::array<uint8_t, kZip64LocatorBytes> locator{};
    if (!ReadBytesAt(source, end.offset - kZip64LocatorBytes, locator).Ok()) {
        return;
    }
    zip_records::Zip64Locator found;
    if (!zip_records::ReadZip64Locator(locator, found) ||
        !zip_records::Zip64EndRecordFits(found.recordOffset, end.offset - kZip64LocatorBytes)) {
        return;
    }
    const uint64_t recordOffset = found.recordOffset;
    std::array<uint8_t, kZip64EndRecordBytes> record{};
    if (!ReadBytesAt(source, recordOffset, record).Ok()) {
        return;
    }
    zip_records::Zip64EndRecord zip64;
    if (!zip_records::ReadZip64EndRecord(record, zip64)) {
        return;
    }
    end.directoryOffset = zip64.offset;
    end.directoryLimit = recordOffset;
}

// Sizes that do not fit 32 bits are stored as 0xFFFFFFFF in the header and in full in the
// Zip64 extra block, in the order unpacked, packed, and only those that overflowed. A block
// too short for them leaves the header's values.
void ReadZip64Sizes(PreviewByteSource& source, uint64_t extraOffset, uint16_t extraLength,
                    ArchiveEntry& entry) {
    const bool unpackedIn = entry.unpackedSize == kZip64Marker;
    const bool packedIn = entry.packedSize == kZip64Marker;
    if (!unpackedIn && !packedIn) {
        return;
    }
    std::vector<uint8_t> extra(extraLength);
    if (!ReadBytesAt(source, extraOffset, extra).Ok()) {
        return;
    }
    std::span<const uint8_t> data;
    if (!zip_records::FindExtraField(extra, zip_records::kZip64ExtraId, data)) {
        return;
    }
    zip_records::Zip64Values values;
    values.uncompressedSize = entry.unpackedSize;
    values.compressedSize = entry.packedSize;
    zip_records::ReadZip64Values(data, values);
    entry.unpackedSize = values.uncompressedSize;
    entry.packedSize = values.compressedSize;
}

} // namespace

ArchiveListing ReadZipDirectory(PreviewByteSource& source, uint64_t fileSize) {
    ArchiveListing listing;
    listing.damaged = true;
    if (fileSize < kEndRecordBytes) {
        return listing;
    }
    std::optional<EndRecord> end = FindEndRecord(source, fileSize);
    if (!end) {
        return listing;
    }
    // Only a walk that reaches the end record read the whole directory.
    listing.damaged = false;
    ReadZip64EndRecord(source, *end);
    // Every step moves forward by at least one header, and the directory lies before its end
    // record: a directory offset pointing at or past the end record lists nothing.
    uint64_t offset = end->directoryOffset;
    std::array<uint8_t, kCentralHeaderBytes> header{};
    while (offset + kCentralHeaderBytes <= end->directoryLimit &&
           listing.entries.size() < ArchiveListing::kMaxEntries) {
        const ByteRunRead read = ReadBytesAt(source, offset, header);
        if (read.result == PreviewByteSource::SectorRead::PastEnd) {
            listing.damaged = true;
            break;
        }
        if (!read.Ok()) {
            offset = (read.badSector + 1) * kZipSector;
            continue;
        }
        zip_records::CentralFields fields;
        if (!zip_records::ReadCentralFields(header, fields) ||
            fields.nameLength > end->directoryLimit - offset - kCentralHeaderBytes) {
            listing.damaged = true;
            break;
        }
        ArchiveEntry entry;
        const uint16_t nameLength = fields.nameLength;
        if (!ReadArchiveEntryName(source, offset + kCentralHeaderBytes, nameLength, entry.name)) {
            listing.damaged = true;
            break;
        }
        entry.packedSize = fields.compressedSize;
        entry.unpackedSize = fields.uncompressedSize;
        entry.dosDateTime = static_cast<uint32_t>(fields.date) << 16 | fields.time;
        ReadZip64Sizes(source, offset + kCentralHeaderBytes + nameLength, fields.extraLength,
                       entry);
        listing.Add(std::move(entry));
        offset += kCentralHeaderBytes + nameLength + fields.extraLength + fields.commentLength;
    }
    // Bytes left before the end record that start no record a directory may end with.
    if (!listing.damaged && offset < end->offset &&
        listing.entries.size() < ArchiveListing::kMaxEntries) {
        std::array<uint8_t, 4> next{};
        uint32_t signature = 0;
        listing.damaged =
            !ReadBytesAt(source, offset, next).Ok() || !ByteReader(next).ReadU32(0, signature) ||
            (signature != zip_records::kZip64EndSignature && signature != kSignatureRecord);
    }
    return listing;
}
