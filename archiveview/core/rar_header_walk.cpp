#include "archiveview/core/rar_header_walk.h"

#include "archiveview/core/archive_entry_name.h"
#include "platform/text/byte_reader.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<uint8_t, 7> kMarker = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint64_t kBaseHeaderBytes = 7;
constexpr uint64_t kMainHeaderBytes = 13;
constexpr uint64_t kFileHeaderBytes = 32;
constexpr uint64_t kLargeFileHeaderBytes = 40;
constexpr uint8_t kMainHead = 0x73;
constexpr uint8_t kFileHead = 0x74;
constexpr uint8_t kEndHead = 0x7B;
// Marker to end block: the other kinds (old comments, authenticity, subblocks, recovery
// records, signatures, service headers) carry nothing to list.
constexpr uint8_t kFirstHead = 0x72;
constexpr uint16_t kLongBlock = 0x8000;
constexpr uint16_t kLargeFile = 0x100;
constexpr uint64_t kSector = PreviewByteSource::kSectorBytes;

} // namespace

ArchiveListing ReadRarHeaders(PreviewByteSource& source, uint64_t fileSize) {
    ArchiveListing listing;
    std::array<uint8_t, kMarker.size()> marker{};
    if (fileSize < kMarker.size() + kBaseHeaderBytes || !ReadBytesAt(source, 0, marker).Ok() ||
        marker != kMarker) {
        return listing;
    }
    std::array<uint8_t, kLargeFileHeaderBytes> header{};
    uint64_t offset = kMarker.size();
    while (offset <= fileSize - kBaseHeaderBytes &&
           listing.entries.size() < ArchiveListing::kMaxEntries) {
        const ByteRunRead read =
            ReadBytesAt(source, offset, std::span(header).first(kBaseHeaderBytes));
        if (read.result == PreviewByteSource::SectorRead::PastEnd) {
            break;
        }
        if (!read.Ok()) {
            offset = (read.badSector + 1) * kSector;
            continue;
        }
        const ByteReader base(header);
        uint8_t type = 0;
        uint16_t flags = 0, size = 0;
        if (!base.ReadU8(2, type) || !base.ReadU16(3, flags) || !base.ReadU16(5, size) ||
            size < kBaseHeaderBytes || type == kEndHead || type < kFirstHead || type > kEndHead ||
            size > fileSize - offset) {
            break;
        }
        uint64_t step = size;
        if (type == kMainHead) {
            if (size < kMainHeaderBytes) {
                break;
            }
        } else if (type == kFileHead) {
            const bool large = (flags & kLargeFile) != 0;
            const uint64_t fixed = large ? kLargeFileHeaderBytes : kFileHeaderBytes;
            if (size < fixed) {
                break;
            }
            const ByteRunRead fields = ReadBytesAt(source, offset, std::span(header).first(fixed));
            if (fields.result == PreviewByteSource::SectorRead::PastEnd) {
                break;
            }
            if (!fields.Ok()) {
                offset = (fields.badSector + 1) * kSector;
                continue;
            }
            const ByteReader reader(std::span<const uint8_t>(header).first(fixed));
            uint32_t packedLow = 0, unpackedLow = 0, stamp = 0, packedHigh = 0, unpackedHigh = 0;
            uint16_t nameLength = 0;
            if (!reader.ReadU32(7, packedLow) || !reader.ReadU32(11, unpackedLow) ||
                !reader.ReadU32(20, stamp) || !reader.ReadU16(26, nameLength) ||
                (large && (!reader.ReadU32(32, packedHigh) || !reader.ReadU32(36, unpackedHigh))) ||
                fixed + nameLength > size) {
                break;
            }
            ArchiveEntry entry;
            if (!ReadArchiveEntryName(source, offset + fixed, nameLength, entry.name)) {
                break;
            }
            entry.packedSize = static_cast<uint64_t>(packedHigh) << 32 | packedLow;
            entry.unpackedSize = static_cast<uint64_t>(unpackedHigh) << 32 | unpackedLow;
            entry.dosDateTime = stamp;
            step += entry.packedSize > UINT64_MAX - step ? UINT64_MAX - step : entry.packedSize;
            listing.Add(std::move(entry));
        } else if ((flags & kLongBlock) != 0) {
            uint32_t dataSize = 0;
            if (size < kBaseHeaderBytes + 4 ||
                !ReadBytesAt(source, offset, std::span(header).first(kBaseHeaderBytes + 4)).Ok() ||
                !ByteReader(header).ReadU32(7, dataSize)) {
                break;
            }
            step += dataSize;
        }
        if (step > UINT64_MAX - offset) {
            break;
        }
        offset += step;
    }
    return listing;
}
