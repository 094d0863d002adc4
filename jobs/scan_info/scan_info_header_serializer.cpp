#include "jobs/scan_info/scan_info_header_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <string>

static_assert(ScanInfoHeaderSerializer::kOffsetImagePath +
                  2 * ScanInfoHeaderSerializer::kImagePathUnits ==
              ScanInfoHeaderSerializer::kBuiltSize);
static_assert(ScanInfoHeaderSerializer::kOffsetSecondBanner +
                  ScanInfoHeaderSerializer::kBannerBytes ==
              ScanInfoHeaderSerializer::kOffsetAbsoluteSectors);

namespace {

using S = ScanInfoHeaderSerializer;

// The fields both layouts keep in the same place, taken from the content's volume record.
struct SharedVolume {
    uint8_t drive = 0;
    uint8_t imageFlag = 0;
    uint64_t firstSector = 0;
    uint64_t lastSector = 0;
    uint64_t totalSectors = 0;
    const std::u16string* imagePath = nullptr;
};

template <typename Record> SharedVolume SharedOf(const Record& record) {
    return {record.drive,      record.imageFlag,    record.firstSector,
            record.lastSector, record.totalSectors, &record.imagePath};
}

void PutShared(ByteWriter& writer, const SharedVolume& volume) {
    writer.PutU8(S::kOffsetDrive, volume.drive);
    writer.PutU8(S::kOffsetImageFlag, volume.imageFlag);
    writer.PutU64(S::kOffsetFirstSector, volume.firstSector);
    writer.PutU64(S::kOffsetLastSector, volume.lastSector);
    writer.PutU64(S::kOffsetTotalSectors, volume.totalSectors);
    writer.PutUtf16Field(S::kOffsetImagePath, *volume.imagePath, S::kImagePathUnits);
}

template <typename Record> bool ReadShared(const ByteReader& reader, Record& record) {
    return reader.ReadU8(S::kOffsetDrive, record.drive) &&
           reader.ReadU8(S::kOffsetImageFlag, record.imageFlag) &&
           reader.ReadU64(S::kOffsetFirstSector, record.firstSector) &&
           reader.ReadU64(S::kOffsetLastSector, record.lastSector) &&
           reader.ReadU64(S::kOffsetTotalSectors, record.totalSectors) &&
           reader.ReadStoredUtf16Field(S::kOffsetImagePath, S::kImagePathUnits, record.imagePath);
}

void PutFat(ByteWriter& writer, const FatVolumeRecord& fat) {
    PutShared(writer, SharedOf(fat));
    writer.PutU32(S::kOffsetSectorsPerFat, fat.sectorsPerFat);
    writer.PutU32(S::kOffsetRootCluster, fat.rootCluster);
    writer.PutU32(S::kOffsetMapSize, fat.mapSize);
    writer.PutU8(S::kOffsetFatSectorsPerCluster, fat.sectorsPerCluster);
    writer.PutU8(S::kOffsetFatType, fat.fatType);
    writer.PutU8(S::kOffsetLinkingMode, fat.linkingMode);
    writer.PutU32(S::kOffsetRootFolderSectors, fat.rootFolderSectors);
    writer.PutU32(S::kOffsetReservedSectors, fat.reservedSectors);
    writer.PutU8(S::kOffsetAbsoluteSectors, fat.absoluteSectors != 0 ? 1 : 0);
}

bool ReadFat(const ByteReader& reader, FatVolumeRecord& fat) {
    uint8_t absolute = 0;
    if (!ReadShared(reader, fat) || !reader.ReadU32(S::kOffsetSectorsPerFat, fat.sectorsPerFat) ||
        !reader.ReadU32(S::kOffsetRootCluster, fat.rootCluster) ||
        !reader.ReadU32(S::kOffsetMapSize, fat.mapSize) ||
        !reader.ReadU8(S::kOffsetFatSectorsPerCluster, fat.sectorsPerCluster) ||
        !reader.ReadU8(S::kOffsetFatType, fat.fatType) ||
        !reader.ReadU8(S::kOffsetLinkingMode, fat.linkingMode) ||
        !reader.ReadU32(S::kOffsetRootFolderSectors, fat.rootFolderSectors) ||
        !reader.ReadU32(S::kOffsetReservedSectors, fat.reservedSectors) ||
        !reader.ReadU8(S::kOffsetAbsoluteSectors, absolute)) {
        return false;
    }
    fat.absoluteSectors = absolute != 0 ? 1 : 0;
    return true;
}

void PutNtfs(ByteWriter& writer, const ScanInfoHeader& header) {
    const NtfsVolumeRecord& ntfs = header.ntfs;
    PutShared(writer, SharedOf(ntfs));
    writer.PutU32(S::kOffsetClusterCount, ntfs.clusterCount);
    writer.PutU8(S::kOffsetNtfsType, S::kNtfsTypeCode);
    writer.PutU32(S::kOffsetMftStartSector, ntfs.mftStartSector);
    writer.PutU32(S::kOffsetMftMirrorSector, ntfs.mftMirrorSector);
    writer.PutU32(S::kOffsetMftRunCount, header.mftRunCount);
    writer.PutU32(S::kOffsetMftRunTableBytes, header.mftRunTableBytes);
    writer.PutU32(S::kOffsetRecordTableCount, ntfs.recordTableCount);
    writer.PutU32(S::kOffsetRecordTableBase, ntfs.recordTableBase);
    writer.PutU16(S::kOffsetNtfsSectorsPerCluster, ntfs.sectorsPerCluster);
    writer.PutU8(S::kOffsetHoldsMftRuns, header.holdsMftRuns ? 1 : 0);
}

bool ReadNtfs(const ByteReader& reader, ScanInfoHeader& header) {
    NtfsVolumeRecord& ntfs = header.ntfs;
    uint8_t holdsRuns = 0;
    if (!ReadShared(reader, ntfs) || !reader.ReadU32(S::kOffsetClusterCount, ntfs.clusterCount) ||
        !reader.ReadU32(S::kOffsetMftStartSector, ntfs.mftStartSector) ||
        !reader.ReadU32(S::kOffsetMftMirrorSector, ntfs.mftMirrorSector) ||
        !reader.ReadU32(S::kOffsetMftRunCount, header.mftRunCount) ||
        !reader.ReadU32(S::kOffsetMftRunTableBytes, header.mftRunTableBytes) ||
        !reader.ReadU32(S::kOffsetRecordTableCount, ntfs.recordTableCount) ||
        !reader.ReadU32(S::kOffsetRecordTableBase, ntfs.recordTableBase) ||
        !reader.ReadU16(S::kOffsetNtfsSectorsPerCluster, ntfs.sectorsPerCluster) ||
        !reader.ReadU8(S::kOffsetHoldsMftRuns, holdsRuns)) {
        return false;
    }
    header.holdsMftRuns = holdsRuns != 0;
    return true;
}

} // namespace

std::vector<uint8_t> ScanInfoHeaderSerializer::Write(const ScanInfoHeader& header) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    switch (header.content) {
    case ScanInfoHeader::Content::Fat:
        PutFat(writer, header.fat);
        break;
    case ScanInfoHeader::Content::Ntfs:
        PutNtfs(writer, header);
        break;
    case ScanInfoHeader::Content::DriveList:
        break;
    }
    writer.PutU64(kOffsetFoundBytes, header.foundBytes);
    writer.PutU32(kOffsetItemCount, header.itemCount);
    writer.PutU16(kOffsetNodeCount, header.nodeCount);
    writer.PutTextField(kOffsetBanner, kBanner, kBannerBytes);
    writer.PutTextField(kOffsetSecondBanner, kSecondBanner, kBannerBytes);
    return bytes;
}

bool ScanInfoHeaderSerializer::Read(std::span<const uint8_t> bytes, ScanInfoHeader& out) {
    if (!HasBanners(bytes)) {
        return false;
    }
    const ByteReader reader(bytes.first(kSize));
    ScanInfoHeader header;
    uint8_t fatSectorsPerCluster = 0;
    uint16_t ntfsSectorsPerCluster = 0;
    if (!reader.ReadU64(kOffsetFoundBytes, header.foundBytes) ||
        !reader.ReadU32(kOffsetItemCount, header.itemCount) ||
        !reader.ReadU16(kOffsetNodeCount, header.nodeCount) ||
        !reader.ReadU8(kOffsetFatSectorsPerCluster, fatSectorsPerCluster) ||
        !reader.ReadU16(kOffsetNtfsSectorsPerCluster, ntfsSectorsPerCluster)) {
        return false;
    }
    if (fatSectorsPerCluster != 0) {
        header.content = ScanInfoHeader::Content::Fat;
        if (!ReadFat(reader, header.fat)) {
            return false;
        }
    } else if (ntfsSectorsPerCluster != 0) {
        header.content = ScanInfoHeader::Content::Ntfs;
        if (!ReadNtfs(reader, header)) {
            return false;
        }
    }
    out = std::move(header);
    return true;
}

bool ScanInfoHeaderSerializer::HasBanners(std::span<const uint8_t> bytes) {
    if (bytes.size() < kSize) {
        return false;
    }
    const ByteReader reader(bytes);
    std::string banner;
    std::string second;
    // A field without a NUL reads as all its bytes, longer than either banner.
    return reader.ReadTextField(kOffsetBanner, kBannerBytes, banner) &&
           reader.ReadTextField(kOffsetSecondBanner, kBannerBytes, second) && banner == kBanner &&
           second == kSecondBanner;
}
