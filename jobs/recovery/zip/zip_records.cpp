#include "jobs/recovery/zip/zip_records.h"

#include "platform/text/byte_reader.h"

namespace zip_records {

namespace {

constexpr uint32_t kAllOnes32 = 0xFFFFFFFF;
constexpr uint16_t kAllOnes16 = 0xFFFF;

bool HasSignature(const ByteReader& reader, uint32_t wanted) {
    uint32_t signature = 0;
    return reader.ReadU32(0, signature) && signature == wanted;
}

// Reads a record whose first four bytes are `signature` with `fields`; `out` changes only when
// every field was read.
template <typename Record, typename Fields>
bool ReadRecord(std::span<const uint8_t> bytes, uint32_t signature, Record& out, Fields fields) {
    const ByteReader reader(bytes);
    Record record;
    if (!HasSignature(reader, signature) || !fields(reader, record)) {
        return false;
    }
    out = record;
    return true;
}

} // namespace

std::optional<size_t> FindEndRecord(std::span<const uint8_t> tail,
                                    const std::function<bool(size_t at)>& usable) {
    if (tail.size() < kEndRecordSize) {
        return std::nullopt;
    }
    const ByteReader reader(tail);
    for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
        uint32_t signature = 0;
        uint16_t commentLength = 0;
        if (reader.ReadU32(at, signature) && signature == kEndSignature &&
            reader.ReadU16(at + 20, commentLength) &&
            reader.Contains(at + kEndRecordSize, commentLength) && (!usable || usable(at))) {
            return at;
        }
    }
    return std::nullopt;
}

bool ReadEndRecord(std::span<const uint8_t> bytes, EndRecord& out) {
    return ReadRecord(bytes, kEndSignature, out, [](const ByteReader& reader, EndRecord& record) {
        return reader.ReadU16(4, record.thisDisk) && reader.ReadU16(6, record.directoryDisk) &&
               reader.ReadU16(8, record.entriesOnDisk) && reader.ReadU16(10, record.totalEntries) &&
               reader.ReadU32(12, record.size) && reader.ReadU32(16, record.offset) &&
               reader.ReadU16(20, record.commentLength);
    });
}

bool ReadZip64Locator(std::span<const uint8_t> bytes, Zip64Locator& out) {
    return ReadRecord(
        bytes, kZip64LocatorSignature, out, [](const ByteReader& reader, Zip64Locator& locator) {
            return reader.ReadU32(4, locator.recordDisk) &&
                   reader.ReadU64(8, locator.recordOffset) && reader.ReadU32(16, locator.diskCount);
        });
}

bool Zip64EndRecordFits(uint64_t recordOffset, uint64_t locatorStart) {
    return recordOffset <= locatorStart && locatorStart - recordOffset >= kZip64EndRecordSize;
}

bool ReadZip64EndRecord(std::span<const uint8_t> bytes, Zip64EndRecord& out) {
    return ReadRecord(
        bytes, kZip64EndSignature, out, [](const ByteReader& reader, Zip64EndRecord& record) {
            return reader.ReadU64(4, record.recordSize) && reader.ReadU32(16, record.thisDisk) &&
                   reader.ReadU32(20, record.directoryDisk) &&
                   reader.ReadU64(24, record.entriesOnDisk) &&
                   reader.ReadU64(32, record.totalEntries) && reader.ReadU64(40, record.size) &&
                   reader.ReadU64(48, record.offset);
        });
}

bool ReadCentralFields(std::span<const uint8_t> bytes, CentralFields& out) {
    return ReadRecord(
        bytes, kCentralSignature, out, [](const ByteReader& reader, CentralFields& fields) {
            return reader.ReadU16(4, fields.versionMadeBy) &&
                   reader.ReadU16(6, fields.versionNeeded) && reader.ReadU16(8, fields.flags) &&
                   reader.ReadU16(10, fields.method) && reader.ReadU16(12, fields.time) &&
                   reader.ReadU16(14, fields.date) && reader.ReadU32(16, fields.crc) &&
                   reader.ReadU32(20, fields.compressedSize) &&
                   reader.ReadU32(24, fields.uncompressedSize) &&
                   reader.ReadU16(28, fields.nameLength) &&
                   reader.ReadU16(30, fields.extraLength) &&
                   reader.ReadU16(32, fields.commentLength) &&
                   reader.ReadU16(34, fields.diskNumber) &&
                   reader.ReadU16(36, fields.internalAttributes) &&
                   reader.ReadU32(38, fields.externalAttributes) &&
                   reader.ReadU32(42, fields.localHeaderOffset);
        });
}

bool FindExtraField(std::span<const uint8_t> extra, uint16_t id, std::span<const uint8_t>& data) {
    const ByteReader reader(extra);
    uint16_t fieldId = 0;
    uint16_t length = 0;
    for (size_t at = 0; reader.ReadU16(at, fieldId) && reader.ReadU16(at + 2, length);
         at += kExtraFieldHeaderSize + size_t{length}) {
        if (fieldId != id) {
            continue;
        }
        ByteReader block;
        if (!reader.Sub(at + kExtraFieldHeaderSize, length, block)) {
            return false;
        }
        data = block.Bytes();
        return true;
    }
    return false;
}

void ReadZip64Values(std::span<const uint8_t> data, Zip64Values& values) {
    const ByteReader reader(data);
    size_t at = 0;
    const auto take = [&](uint64_t& value) {
        if (value == kAllOnes32 && reader.ReadU64(at, value)) {
            at += 8;
        }
    };
    take(values.uncompressedSize);
    take(values.compressedSize);
    take(values.localHeaderOffset);
    if (values.diskNumber == kAllOnes16 && reader.ReadU32(at, values.diskNumber)) {
        at += 4;
    }
}

} // namespace zip_records
