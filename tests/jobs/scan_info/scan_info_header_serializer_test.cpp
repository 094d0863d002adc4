#include "jobs/scan_info/scan_info_header_serializer.h"
#include "tests/support/expected_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using S = ScanInfoHeaderSerializer;

const std::u16string kImagePath = u"/srv/images/Kr\u00F6te \U0001F4BE.img";

// Every field a distinct value, so that two fields swapped or misplaced show.
ScanInfoHeader FatHeader() {
    ScanInfoHeader header;
    header.content = ScanInfoHeader::Content::Fat;
    FatVolumeRecord& fat = header.fat;
    fat.drive = 0x81;
    fat.sectorsPerFat = 0x11121314;
    fat.rootCluster = 0x21222324;
    fat.mapSize = 0x31323334;
    fat.sectorsPerCluster = 0x40;
    fat.fatType = 11;
    fat.linkingMode = 2;
    fat.rootFolderSectors = 0x41424344;
    fat.reservedSectors = 0x51525354;
    fat.imageFlag = 1;
    fat.firstSector = 0x6162636465666768;
    fat.lastSector = 0x7172737475767778;
    fat.totalSectors = 0x0102030405060708;
    fat.absoluteSectors = 1;
    fat.imagePath = kImagePath;
    header.foundBytes = 0x8182838485868788;
    header.itemCount = 0x91929394;
    header.nodeCount = 0xA1A2;
    return header;
}

ScanInfoHeader NtfsHeader() {
    ScanInfoHeader header;
    header.content = ScanInfoHeader::Content::Ntfs;
    NtfsVolumeRecord& ntfs = header.ntfs;
    ntfs.drive = 0x82;
    ntfs.clusterCount = 0x11121314;
    ntfs.mftStartSector = 0x21222324;
    ntfs.mftMirrorSector = 0x31323334;
    header.mftRunCount = 0x01020304;
    header.mftRunTableBytes = 0x41424344;
    ntfs.recordTableCount = 0x51525354;
    ntfs.recordTableBase = 0x61626364;
    ntfs.sectorsPerCluster = 0x0200;
    header.holdsMftRuns = true;
    ntfs.imageFlag = 1;
    ntfs.firstSector = 0x7172737475767778;
    ntfs.lastSector = 0x0807060504030201;
    ntfs.totalSectors = 0x1817161514131211;
    ntfs.imagePath = kImagePath;
    header.foundBytes = 0x8182838485868788;
    header.itemCount = 0x91929394;
    header.nodeCount = 0xA1A2;
    return header;
}

void ExpectBanners(ExpectedBytes& expected) {
    expected.Narrow(91, "Morwick Wrenfal - Best Data Recovery Software");
    expected.Narrow(219, "(C) Morwick Ltd");
}

void ExpectSharedCounts(ExpectedBytes& expected) {
    expected.Number(77, 0x8182838485868788, 8);
    expected.Number(85, 0x91929394, 4);
    expected.Number(89, 0xA1A2, 2);
}

void ExpectSameHeader(const ScanInfoHeader& actual, const ScanInfoHeader& expected) {
    EXPECT_EQ(actual.content, expected.content);
    EXPECT_EQ(actual.fat, expected.fat);
    EXPECT_EQ(actual.ntfs, expected.ntfs);
    EXPECT_EQ(actual.mftRunCount, expected.mftRunCount);
    EXPECT_EQ(actual.mftRunTableBytes, expected.mftRunTableBytes);
    EXPECT_EQ(actual.holdsMftRuns, expected.holdsMftRuns);
    EXPECT_EQ(actual.foundBytes, expected.foundBytes);
    EXPECT_EQ(actual.itemCount, expected.itemCount);
    EXPECT_EQ(actual.nodeCount, expected.nodeCount);
}

TEST(ScanInfoHeaderSerializer, FatHeaderStoresEveryFieldAtItsOffset) {
    ExpectedBytes expected(S::kSize);
    expected.Number(0, 0x81, 1);
    expected.Number(2, 0x11121314, 4);
    expected.Number(6, 0x21222324, 4);
    expected.Number(10, 0x31323334, 4);
    expected.Number(14, 0x40, 1);
    expected.Number(15, 11, 1);
    expected.Number(16, 2, 1);
    expected.Number(17, 0x41424344, 4);
    expected.Number(21, 0x51525354, 4);
    expected.Number(52, 1, 1);
    expected.Number(53, 0x6162636465666768, 8);
    expected.Number(61, 0x7172737475767778, 8);
    expected.Number(69, 0x0102030405060708, 8);
    ExpectSharedCounts(expected);
    ExpectBanners(expected);
    expected.Number(347, 1, 1);
    expected.Wide(348, kImagePath);
    ExpectSameBytes(S::Write(FatHeader()), expected.Bytes());
}

TEST(ScanInfoHeaderSerializer, NtfsHeaderStoresEveryFieldAtItsOffset) {
    ExpectedBytes expected(S::kSize);
    expected.Number(0, 0x82, 1);
    expected.Number(10, 0x11121314, 4);
    expected.Number(15, 7, 1);
    expected.Number(25, 0x21222324, 4);
    expected.Number(29, 0x31323334, 4);
    expected.Number(33, 0x01020304, 4);
    expected.Number(37, 0x41424344, 4);
    expected.Number(41, 0x51525354, 4);
    expected.Number(45, 0x61626364, 4);
    expected.Number(49, 0x0200, 2);
    expected.Number(51, 1, 1);
    expected.Number(52, 1, 1);
    expected.Number(53, 0x7172737475767778, 8);
    expected.Number(61, 0x0807060504030201, 8);
    expected.Number(69, 0x1817161514131211, 8);
    ExpectSharedCounts(expected);
    ExpectBanners(expected);
    expected.Wide(348, kImagePath);
    ExpectSameBytes(S::Write(NtfsHeader()), expected.Bytes());
}

TEST(ScanInfoHeaderSerializer, DriveListHeaderHoldsOnlyCountsAndBanners) {
    // Volume fields of either record are not part of a drive-list header.
    ScanInfoHeader header = FatHeader();
    header.ntfs = NtfsHeader().ntfs;
    header.content = ScanInfoHeader::Content::DriveList;
    ExpectedBytes expected(S::kSize);
    ExpectSharedCounts(expected);
    ExpectBanners(expected);
    ExpectSameBytes(S::Write(header), expected.Bytes());
}

TEST(ScanInfoHeaderSerializer, EachLayoutRoundTrips) {
    ScanInfoHeader driveList;
    driveList.foundBytes = 12345;
    driveList.itemCount = 7;
    driveList.nodeCount = 3;
    ScanInfoHeader noImage = NtfsHeader();
    noImage.ntfs.imagePath.clear();
    noImage.ntfs.imageFlag = 0;
    noImage.holdsMftRuns = false;
    const struct {
        const char* what;
        ScanInfoHeader header;
    } cases[] = {
        {"FAT", FatHeader()},
        {"NTFS", NtfsHeader()},
        {"NTFS without image", noImage},
        {"drive list", driveList},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> written = S::Write(c.header);
        ASSERT_EQ(written.size(), S::kSize);
        EXPECT_TRUE(S::HasBanners(written));
        ScanInfoHeader back;
        ASSERT_TRUE(S::Read(written, back));
        ExpectSameHeader(back, c.header);
        EXPECT_EQ(S::Write(back), written);
    }
}

TEST(ScanInfoHeaderSerializer, ContentIsToldByByte14ThenTheWordAt49) {
    std::vector<uint8_t> bytes = S::Write(FatHeader());
    // FAT wins while byte 14 is set, even with the NTFS word set too.
    bytes[S::kOffsetNtfsSectorsPerCluster] = 8;
    ScanInfoHeader out;
    ASSERT_TRUE(S::Read(bytes, out));
    EXPECT_EQ(out.content, ScanInfoHeader::Content::Fat);

    bytes[S::kOffsetFatSectorsPerCluster] = 0;
    ASSERT_TRUE(S::Read(bytes, out));
    EXPECT_EQ(out.content, ScanInfoHeader::Content::Ntfs);
    // Only the NTFS layout is read; the FAT record keeps its defaults.
    EXPECT_EQ(out.fat, FatVolumeRecord{});
    EXPECT_EQ(out.ntfs.sectorsPerCluster, 8);

    bytes[S::kOffsetNtfsSectorsPerCluster] = 0;
    ASSERT_TRUE(S::Read(bytes, out));
    EXPECT_EQ(out.content, ScanInfoHeader::Content::DriveList);
    EXPECT_EQ(out.ntfs, NtfsVolumeRecord{});
    EXPECT_EQ(out.nodeCount, 0xA1A2);
}

TEST(ScanInfoHeaderSerializer, FlagBytesReadAsSetWhenNonzero) {
    std::vector<uint8_t> fat = S::Write(FatHeader());
    fat[S::kOffsetAbsoluteSectors] = 0x7F;
    ScanInfoHeader out;
    ASSERT_TRUE(S::Read(fat, out));
    EXPECT_EQ(out.fat.absoluteSectors, 1u);

    ScanInfoHeader wide = FatHeader();
    wide.fat.absoluteSectors = 0x100; // nonzero, though its low byte is 0
    EXPECT_EQ(S::Write(wide)[S::kOffsetAbsoluteSectors], 1);

    std::vector<uint8_t> ntfs = S::Write(NtfsHeader());
    ntfs[S::kOffsetHoldsMftRuns] = 0x40;
    ASSERT_TRUE(S::Read(ntfs, out));
    EXPECT_TRUE(out.holdsMftRuns);
}

TEST(ScanInfoHeaderSerializer, LongImagePathIsCutLeavingItsNul) {
    ScanInfoHeader header = FatHeader();
    header.fat.imagePath = std::u16string(400, u'x');
    const std::vector<uint8_t> written = S::Write(header);
    const size_t nul = S::kOffsetImagePath + 2 * (S::kImagePathUnits - 1);
    EXPECT_EQ(written[nul], 0);
    EXPECT_EQ(written[nul + 1], 0);
    ScanInfoHeader back;
    ASSERT_TRUE(S::Read(written, back));
    EXPECT_EQ(back.fat.imagePath, std::u16string(S::kImagePathUnits - 1, u'x'));
    for (size_t i = S::kBuiltSize; i < S::kSize; ++i) {
        ASSERT_EQ(written[i], 0) << i;
    }
}

TEST(ScanInfoHeaderSerializer, RefusesShortInputAndForeignBanners) {
    const std::vector<uint8_t> good = S::Write(FatHeader());
    ScanInfoHeader untouched = NtfsHeader();

    for (size_t size : {size_t{0}, size_t{91}, size_t{347}, S::kBuiltSize, S::kSize - 1}) {
        ScanInfoHeader out = untouched;
        EXPECT_FALSE(S::HasBanners(std::span(good).first(size))) << size;
        EXPECT_FALSE(S::Read(std::span(good).first(size), out)) << size;
        ExpectSameHeader(out, untouched);
    }

    const struct {
        const char* what;
        size_t offset;
        uint8_t value;
    } damage[] = {
        {"first banner changed", S::kOffsetBanner, 'm'},
        {"second banner changed", S::kOffsetSecondBanner + 4, 'm'},
        {"first banner without its NUL", S::kOffsetBanner + 45, 'x'},
        {"second banner without its NUL", S::kOffsetSecondBanner + 15, 'x'},
        {"first banner cut short", S::kOffsetBanner + 10, 0},
    };
    for (const auto& d : damage) {
        std::vector<uint8_t> bytes = good;
        bytes[d.offset] = d.value;
        ScanInfoHeader out = untouched;
        EXPECT_FALSE(S::HasBanners(bytes)) << d.what;
        EXPECT_FALSE(S::Read(bytes, out)) << d.what;
        ExpectSameHeader(out, untouched);
    }

    // What follows a banner's NUL is not looked at.
    std::vector<uint8_t> trailing = good;
    trailing[S::kOffsetBanner + 100] = 'z';
    trailing[S::kOffsetSecondBanner + 127] = 'z';
    EXPECT_TRUE(S::HasBanners(trailing));
}

} // namespace
