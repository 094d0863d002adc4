#include "archiveview/core/zip_directory_walk.h"

#include "archiveview/core/archive_entry_name.h"
#include "platform/byte_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace {

constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
// What may lie between the last central header and the end record.
constexpr uint32_t kSignatureRecord = 0x05054B50;
constexpr uint64_t kEndRecordBytes = 22;
constexpr uint64_t kZip64LocatorBytes = 20;
constexpr uint64_t kZip64EndRecordBytes = 56;
constexpr uint64_t kCentralHeaderBytes = 46;
constexpr uint64_t kMaxCommentBytes = 0xFFFF;
constexpr uint64_t kSector = PreviewByteSource::kSectorBytes;

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
    std::array<uint8_t, kSector> sector{};
    for (uint64_t at = tailStart; at < fileSize;) {
        const uint64_t index = at / kSector;
        const uint64_t within = at % kSector;
        const uint64_t take = std::min(kSector - within, fileSize - at);
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
    const ByteReader reader(tail);
    for (uint64_t at = tailLength - kEndRecordBytes + 1; at-- > 0;) {
        const size_t position = static_cast<size_t>(at);
        uint32_t signature = 0;
        uint16_t commentLength = 0;
        uint32_t directoryOffset = 0;
        if (!std::all_of(readable.begin() + position, readable.begin() + position + kEndRecordBytes,
                         [](bool b) { return b; }) ||
            !reader.ReadU32(position, signature) || signature != kEndRecordSignature ||
            !reader.ReadU16(position + 20, commentLength) ||
            !reader.ReadU32(position + 16, directoryOffset) ||
            at + kEndRecordBytes + commentLength > tailLength) {
            continue;
        }
        return EndRecord{tailStart + at, directoryOffset, tailStart + at};
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
    const ByteReader locatorReader(locator);
    uint32_t signature = 0;
    uint64_t recordOffset = 0;
    if (!locatorReader.ReadU32(0, signature) || signature != kZip64LocatorSignature ||
        !locatorReader.ReadU64(8, recordOffset) || recordOffset > end.offset - kZip64LocatorBytes ||
        end.offset - kZip64LocatorBytes - recordOffset < kZip64EndRecordBytes) {
        return;
    }
    std::array<uint8_t, kZip64EndRecordBytes> record{};
    if (!ReadBytesAt(source, recordOffset, record).Ok()) {
        return;
    }
    const ByteReader recordReader(record);
    uint64_t directoryOffset = 0;
    if (!recordReader.ReadU32(0, signature) || signature != kZip64EndRecordSignature ||
        !recordReader.ReadU64(48, directoryOffset)) {
        return;
    }
    end.directoryOffset = directoryOffset;
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
    const ByteReader reader(extra);
    uint16_t id = 0;
    uint16_t length = 0;
    for (size_t at = 0; reader.ReadU16(at, id) && reader.ReadU16(at + 2, length);
         at += 4 + size_t{length}) {
        if (id != kZip64ExtraId) {
            continue;
        }
        ByteReader block;
        if (!reader.Sub(at + 4, length, block)) {
            return;
        }
        size_t field = 0;
        uint64_t value = 0;
        if (unpackedIn && block.ReadU64(field, value)) {
            entry.unpackedSize = value;
            field += 8;
        }
        if (packedIn && block.ReadU64(field, value)) {
            entry.packedSize = value;
        }
        return;
    }
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
            offset = (read.badSector + 1) * kSector;
            continue;
        }
        const ByteReader reader(header);
        uint32_t signature = 0;
        uint16_t time = 0, date = 0, nameLength = 0, extraLength = 0, commentLength = 0;
        uint32_t packed = 0, unpacked = 0;
        if (!reader.ReadU32(0, signature) || signature != kCentralHeaderSignature ||
            !reader.ReadU16(12, time) || !reader.ReadU16(14, date) || !reader.ReadU32(20, packed) ||
            !reader.ReadU32(24, unpacked) || !reader.ReadU16(28, nameLength) ||
            !reader.ReadU16(30, extraLength) || !reader.ReadU16(32, commentLength) ||
            nameLength > end->directoryLimit - offset - kCentralHeaderBytes) {
            listing.damaged = true;
            break;
        }
        ArchiveEntry entry;
        if (!ReadArchiveEntryName(source, offset + kCentralHeaderBytes, nameLength, entry.name)) {
            listing.damaged = true;
            break;
        }
        entry.packedSize = packed;
        entry.unpackedSize = unpacked;
        entry.dosDateTime = static_cast<uint32_t>(date) << 16 | time;
        ReadZip64Sizes(source, offset + kCentralHeaderBytes + nameLength, extraLength, entry);
        listing.Add(std::move(entry));
        offset += kCentralHeaderBytes + nameLength + extraLength + commentLength;
    }
    // Bytes left before the end record that start no record a directory may end with.
    if (!listing.damaged && offset < end->offset &&
        listing.entries.size() < ArchiveListing::kMaxEntries) {
        std::array<uint8_t, 4> next{};
        uint32_t signature = 0;
        listing.damaged = !ReadBytesAt(source, offset, next).Ok() ||
                          !ByteReader(next).ReadU32(0, signature) ||
                          (signature != kZip64EndRecordSignature && signature != kSignatureRecord);
    }
    return listing;
}
