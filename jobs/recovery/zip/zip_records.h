#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

// The records of a zip archive's central directory as bytes hold them: the end record, the
// Zip64 locator and end record, a central file header's fixed part and the Zip64 extra block.
// The archive writer (when it appends) and the archive viewer read through these, each over its
// own source; what to do with a record that does not check out stays theirs. Every reader checks
// the length it is given and fails, leaving its output alone, on bytes that are too short or
// carry another signature.
namespace zip_records {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64EndRecordSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralFixedSize = 46;
constexpr size_t kMaxCommentLength = 0xFFFF;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr size_t kExtraFieldHeaderSize = 4;

struct EndRecord {
    uint16_t thisDisk = 0;
    uint16_t directoryDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t size = 0;
    uint32_t offset = 0;
    uint16_t commentLength = 0;
};

struct Zip64Locator {
    uint32_t recordDisk = 0;
    uint64_t recordOffset = 0;
    uint32_t diskCount = 0;
};

struct Zip64EndRecord {
    // Of the record after its signature and this field.
    uint64_t recordSize = 0;
    uint32_t thisDisk = 0;
    uint32_t directoryDisk = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t size = 0;
    uint64_t offset = 0;
};

struct CentralFields {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskNumber = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
};

// The values a Zip64 extra block may hold, each in full where the header's field is all ones.
struct Zip64Values {
    uint64_t uncompressedSize = 0;
    uint64_t compressedSize = 0;
    uint64_t localHeaderOffset = 0;
    uint32_t diskNumber = 0;
};

// The end record is the last 22 bytes of an archive unless a comment of up to 65,535 bytes
// follows it: searched backwards from the last place it fits in `tail` (the archive's last
// bytes), the first with the signature whose comment ends inside `tail`. `usable`, when given,
// may refuse a place (bytes that failed to read). The record's offset in `tail`, or nullopt.
std::optional<size_t> FindEndRecord(std::span<const uint8_t> tail,
                                    const std::function<bool(size_t at)>& usable = {});
[[nodiscard]] bool ReadEndRecord(std::span<const uint8_t> bytes, EndRecord& out);
[[nodiscard]] bool ReadZip64Locator(std::span<const uint8_t> bytes, Zip64Locator& out);
// True when a Zip64 end record at `recordOffset` ends before the locator at `locatorStart`.
bool Zip64EndRecordFits(uint64_t recordOffset, uint64_t locatorStart);
[[nodiscard]] bool ReadZip64EndRecord(std::span<const uint8_t> bytes, Zip64EndRecord& out);
// The fixed part of a central file header; the name, extra block and comment follow it.
[[nodiscard]] bool ReadCentralFields(std::span<const uint8_t> bytes, CentralFields& out);
// The data of the first extra field with `id` in `extra`, a run of id, size, data fields. The
// run is read up to the first field that does not fit; false when no field before it has `id`
// or that field's data does not fit.
[[nodiscard]] bool FindExtraField(std::span<const uint8_t> extra, uint16_t id,
                                  std::span<const uint8_t>& data);
// Replaces the values whose header field was all ones by the Zip64 block's, which holds only
// those, in the order of Zip64Values. A value the block is too short for stays.
void ReadZip64Values(std::span<const uint8_t> data, Zip64Values& values);

} // namespace zip_records
