#pragma once

#include "jobs/scan_info/scan_info_header.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The stored form of a scan-information header: 1024 bytes, packed, little-endian. The fields
// fill the first 868 bytes; the rest is zero. A FAT header and an NTFS header share the drive
// number, the image flag, the volume's sectors, the totals, the node count, the two banners and
// the image path, and differ in between (the FAT layout below, then the NTFS one). Geometry is
// not judged here: that is the loader's.
class ScanInfoHeaderSerializer {
public:
    static constexpr size_t kSize = 1024;
    static constexpr size_t kBuiltSize = 868;
    static constexpr size_t kBannerBytes = 128;
    static constexpr size_t kImagePathUnits = 260;
    static constexpr char kBanner[] = "Morwick Wrenfal - Best Data Recovery Software";
    static constexpr char kSecondBanner[] = "(C) Morwick Ltd";

    // Both layouts.
    static constexpr size_t kOffsetDrive = 0;
    static constexpr size_t kOffsetImageFlag = 52;
    static constexpr size_t kOffsetFirstSector = 53;
    static constexpr size_t kOffsetLastSector = 61;
    static constexpr size_t kOffsetTotalSectors = 69;
    static constexpr size_t kOffsetFoundBytes = 77;
    static constexpr size_t kOffsetItemCount = 85;
    static constexpr size_t kOffsetNodeCount = 89;
    static constexpr size_t kOffsetBanner = 91;
    static constexpr size_t kOffsetSecondBanner = 219;
    static constexpr size_t kOffsetImagePath = 348;

    // FAT layout. Byte 1 is stored as 0 and not read.
    static constexpr size_t kOffsetFatSpare = 1;
    static constexpr size_t kOffsetSectorsPerFat = 2;
    static constexpr size_t kOffsetRootCluster = 6;
    static constexpr size_t kOffsetMapSize = 10;
    static constexpr size_t kOffsetFatSectorsPerCluster = 14;
    static constexpr size_t kOffsetFatType = 15;
    static constexpr size_t kOffsetLinkingMode = 16;
    static constexpr size_t kOffsetRootFolderSectors = 17;
    static constexpr size_t kOffsetReservedSectors = 21;
    static constexpr size_t kOffsetAbsoluteSectors = 347; // one byte: 1 when set

    // NTFS layout. Byte 14 is 0, which tells it from FAT.
    static constexpr size_t kOffsetClusterCount = 10;
    static constexpr size_t kOffsetNtfsType = 15; // always 7
    static constexpr size_t kOffsetMftStartSector = 25;
    static constexpr size_t kOffsetMftMirrorSector = 29;
    static constexpr size_t kOffsetMftRunCount = 33;
    static constexpr size_t kOffsetMftRunTableBytes = 37;
    static constexpr size_t kOffsetRecordTableCount = 41;
    static constexpr size_t kOffsetRecordTableBase = 45;
    static constexpr size_t kOffsetNtfsSectorsPerCluster = 49;
    static constexpr size_t kOffsetHoldsMftRuns = 51;
    static constexpr uint8_t kNtfsTypeCode = 7;

    // Exactly kSize bytes: the layout of header.content (a drive-list header sets only the
    // shared counts, the banners and zeros; its node count and totals stay), banners included.
    // Texts longer than their fields are cut, always leaving their NUL.
    static std::vector<uint8_t> Write(const ScanInfoHeader& header);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given or the banners are
    // not the program's. The content is told by byte 14, then the word at 49. Only the fields
    // of that content's layout are read; the others of `out` keep their defaults.
    static bool Read(std::span<const uint8_t> bytes, ScanInfoHeader& out);

    // Whether the whole header is there and both banner fields hold the program's banners
    // (each NUL-terminated inside its field; what follows the NUL is not looked at).
    static bool HasBanners(std::span<const uint8_t> bytes);
};
