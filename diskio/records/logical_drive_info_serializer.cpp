#include "diskio/records/logical_drive_info_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <algorithm>
#include <limits>

static_assert(LogicalDriveInfoSerializer::kOffsetFreeBytes == 193);
static_assert(LogicalDriveInfoSerializer::kOffsetFileSystem == 209);
static_assert(LogicalDriveInfoSerializer::kOffsetSpanned == 273);
static_assert(LogicalDriveInfoSerializer::kOffsetFirstSector == 275);
static_assert(LogicalDriveInfoSerializer::kOffsetPartitionType == 299);
static_assert(LogicalDriveInfoSerializer::kOffsetFoundVolume == 300);
static_assert(LogicalDriveInfoSerializer::kOffsetSizeText == 333);
static_assert(LogicalDriveInfoSerializer::kSize == 397);

namespace {

bool HasNulUnit(std::span<const uint8_t> field) {
    for (size_t i = 0; i + 1 < field.size(); i += 2)
        if (field[i] == 0 && field[i + 1] == 0)
            return true;
    return false;
}

} // namespace

bool LogicalDriveInfoSerializer::NeedsJoinedName(const LogicalDriveInfo& info) {
    const std::u16string_view name(info.rootPath);
    return info.reserved.empty() && name.substr(0, name.find(u'\0')).size() >= kTextUnits;
}

std::vector<uint8_t> LogicalDriveInfoSerializer::Write(const LogicalDriveInfo& info) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    writer.PutU8(kOffsetDrive, info.drive);
    if (NeedsJoinedName(info)) {
        writer.PutUtf16Field(kOffsetRootPath, info.rootPath, 2 * kTextUnits);
    } else {
        writer.PutUtf16Field(kOffsetRootPath, info.rootPath, kTextUnits);
        writer.PutUtf16Field(kOffsetReserved, info.reserved, kTextUnits);
    }
    writer.PutUtf16Field(kOffsetTypeName, info.typeName, kTextUnits);
    writer.PutU64(kOffsetFreeBytes, info.freeBytes);
    writer.PutU64(kOffsetTotalBytes, info.totalBytes);
    writer.PutUtf16Field(kOffsetFileSystem, info.fileSystem, kTextUnits);
    writer.PutU8(kOffsetSpanned, info.spanned);
    writer.PutU8(kOffsetDisk, info.disk);
    writer.PutU64(kOffsetFirstSector, info.firstSector);
    writer.PutU64(kOffsetTotalSectors, info.totalSectors);
    writer.PutU64(kOffsetLastSector, info.lastSector);
    writer.PutU8(kOffsetPartitionType, info.partitionType);

    const FoundVolumeFields& found = info.foundVolume;
    const size_t base = kOffsetFoundVolume;
    const auto count = static_cast<uint32_t>(
        std::min<size_t>(found.folderClusters.size(), std::numeric_limits<uint32_t>::max()));
    writer.PutU32(base + kFoundOffsetSectorsPerFat, found.sectorsPerFat);
    writer.PutU32(base + kFoundOffsetReservedSectors, found.reservedSectors);
    writer.PutU16(base + kFoundOffsetRootFolderSectors, found.rootFolderSectors);
    writer.PutU8(base + kFoundOffsetSectorsPerCluster, found.sectorsPerCluster);
    writer.PutU32(base + kFoundOffsetRootCluster, found.rootCluster);
    writer.PutU32(base + kFoundOffsetFolderClusters, count != 0 ? 1 : 0);
    writer.PutU32(base + kFoundOffsetFolderClusterCount, count);
    writer.PutU32(base + kFoundOffsetMftSector, found.mftSector);
    writer.PutU32(base + kFoundOffsetMftMirrorSector, found.mftMirrorSector);
    writer.PutU16(base + kFoundOffsetNtfsSectorsPerCluster, found.ntfsSectorsPerCluster);

    writer.PutUtf16Field(kOffsetSizeText, info.sizeText, kTextUnits);
    return bytes;
}

bool LogicalDriveInfoSerializer::Read(std::span<const uint8_t> bytes, LogicalDriveInfo& out,
                                      uint32_t& folderClusterCount) {
    if (bytes.size() < kSize) {
        return false;
    }
    const ByteReader reader(bytes.first(kSize));
    LogicalDriveInfo info;
    // A root path that fills its field without a NUL goes on into the reserved field.
    const bool joined = !HasNulUnit(bytes.subspan(kOffsetRootPath, 2 * kTextUnits));
    if (!reader.ReadU8(kOffsetDrive, info.drive) ||
        !reader.ReadStoredUtf16Field(kOffsetRootPath, joined ? 2 * kTextUnits : kTextUnits,
                                     info.rootPath) ||
        (!joined && !reader.ReadStoredUtf16Field(kOffsetReserved, kTextUnits, info.reserved)) ||
        !reader.ReadStoredUtf16Field(kOffsetTypeName, kTextUnits, info.typeName) ||
        !reader.ReadU64(kOffsetFreeBytes, info.freeBytes) ||
        !reader.ReadU64(kOffsetTotalBytes, info.totalBytes) ||
        !reader.ReadStoredUtf16Field(kOffsetFileSystem, kTextUnits, info.fileSystem) ||
        !reader.ReadU8(kOffsetSpanned, info.spanned) || !reader.ReadU8(kOffsetDisk, info.disk) ||
        !reader.ReadU64(kOffsetFirstSector, info.firstSector) ||
        !reader.ReadU64(kOffsetTotalSectors, info.totalSectors) ||
        !reader.ReadU64(kOffsetLastSector, info.lastSector) ||
        !reader.ReadU8(kOffsetPartitionType, info.partitionType) ||
        !reader.ReadStoredUtf16Field(kOffsetSizeText, kTextUnits, info.sizeText)) {
        return false;
    }

    ByteReader found;
    FoundVolumeFields& fields = info.foundVolume;
    uint32_t marker = 0;
    uint32_t count = 0;
    if (!reader.Sub(kOffsetFoundVolume, kFoundVolumeSize, found) ||
        !found.ReadU32(kFoundOffsetSectorsPerFat, fields.sectorsPerFat) ||
        !found.ReadU32(kFoundOffsetReservedSectors, fields.reservedSectors) ||
        !found.ReadU16(kFoundOffsetRootFolderSectors, fields.rootFolderSectors) ||
        !found.ReadU8(kFoundOffsetSectorsPerCluster, fields.sectorsPerCluster) ||
        !found.ReadU32(kFoundOffsetRootCluster, fields.rootCluster) ||
        !found.ReadU32(kFoundOffsetFolderClusters, marker) ||
        !found.ReadU32(kFoundOffsetFolderClusterCount, count) ||
        !found.ReadU32(kFoundOffsetMftSector, fields.mftSector) ||
        !found.ReadU32(kFoundOffsetMftMirrorSector, fields.mftMirrorSector) ||
        !found.ReadU16(kFoundOffsetNtfsSectorsPerCluster, fields.ntfsSectorsPerCluster)) {
        return false;
    }
    // Without the marker no array was stored, whatever the count says.
    const uint32_t following = marker != 0 ? count : 0;
    if (following > kMaxFolderClusters) {
        return false;
    }
    out = std::move(info);
    folderClusterCount = following;
    return true;
}

bool LogicalDriveInfoSerializer::Read(std::span<const uint8_t> bytes, LogicalDriveInfo& out) {
    uint32_t folderClusterCount = 0;
    return Read(bytes, out, folderClusterCount);
}
