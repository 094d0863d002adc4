#include "filesystems/ntfs/ntfs_file_system.h"

#include "diskio/records/drive_node.h"
#include "filesystems/scan_environment.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_flags.h"
#include "platform/text/utf_conversion.h"
#include "tests/filesystems/ntfs/ntfs_record_builder.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

// Reaches the reader's tables, as the scans fill them. Member names carry the reader's prefix
// so they never meet another test's accessors.
class NtfsTestAccess {
public:
    static std::vector<bool>& ReaderVisited(CNtfsFileSystem& fs) { return fs.m_visited; }
    static void ReaderSetRecordTable(CNtfsFileSystem& fs, std::vector<NtfsRecordEntry> table,
                                     uint32_t base) {
        fs.m_recordTable = std::move(table);
        fs.m_recordTableBase = base;
    }
};

namespace {

using Bytes = std::vector<uint8_t>;
using Record = CNtfsFileSystem::Record;

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}
void Put32(uint8_t* at, uint32_t value) {
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
}
void Put64(uint8_t* at, uint64_t value) {
    Put32(at, static_cast<uint32_t>(value));
    Put32(at + 4, static_cast<uint32_t>(value >> 32));
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 256);
    return bytes;
}

// A reader whose only geometry is its cluster size, for the parsing functions.
class NtfsReaderParsingTest : public ::testing::Test {
protected:
    CNtfsFileSystem& Reader(uint16_t sectorsPerCluster) {
        NtfsVolumeRecord volume;
        volume.sectorsPerCluster = sectorsPerCluster;
        volume.totalSectors = 1 << 20;
        m_fs.SetVolumeFromScanInfo(volume);
        return m_fs;
    }

    ScanEnvironment m_environment;
    CNtfsFileSystem m_fs{m_environment};
};

// ------------------------------------------------------------------------------------------
// Run entries and fix-up

TEST(NtfsReaderRunEntryTest, OffsetsTakeTheSignOfTheirStoredWidth) {
    auto signedOffset = [](uint64_t raw, uint8_t size) {
        NtfsRunEntry run;
        run.rawOffset = raw;
        run.offsetSize = size;
        return run.SignedOffset();
    };
    EXPECT_EQ(signedOffset(0xF0, 1), -16);
    EXPECT_EQ(signedOffset(0x7F, 1), 127);
    EXPECT_EQ(signedOffset(0x80, 1), -128);
    EXPECT_EQ(signedOffset(0x0080, 2), 128);
    EXPECT_EQ(signedOffset(0x8000, 2), -32768);
    EXPECT_EQ(signedOffset(0x7FFFFF, 3), 0x7FFFFF);
    EXPECT_EQ(signedOffset(0x800000, 3), -0x800000);
    EXPECT_EQ(signedOffset(0xFFFFFFFF, 4), -1);
    EXPECT_EQ(signedOffset(0x7FFFFFFF, 4), 0x7FFFFFFF);
    EXPECT_EQ(signedOffset(0xFFFFFFFFFFFFFFF0ull, 8), -16);
    EXPECT_EQ(signedOffset(1234, 0), 0); // a sparse run moves nothing
}

TEST(NtfsReaderFixupTest, RestoresSectorEndsOfAcceptedRecordsOnly) {
    NtfsRecordBuilder builder;
    builder.Resident(0x80, Pattern(900, 3)); // content across both sector ends
    Record built = builder.Build();
    ASSERT_EQ(built[510], 0x07);
    Record record = built;
    ASSERT_TRUE(CNtfsFileSystem::ApplyFixup(record));
    const Bytes content = Pattern(900, 3);
    EXPECT_EQ(record[510], content[510 - 80]);
    EXPECT_EQ(record[1023], 0); // past the content: the stored zero comes back

    // "FILE" alone is not enough: byte 4 must be 0x2A or 0x30.
    for (uint8_t offset : {0x00, 0x28, 0x2C, 0x31}) {
        Record other = built;
        other[4] = offset;
        EXPECT_FALSE(CNtfsFileSystem::ApplyFixup(other)) << int(offset);
        EXPECT_EQ(other[510], 0x07); // untouched
    }
    Record star = built;
    star[4] = 0x2A;
    std::memcpy(&star[44], &built[50], 4); // the array at 42: entries at 44 and 46
    EXPECT_TRUE(CNtfsFileSystem::ApplyFixup(star));
    EXPECT_EQ(star[510], content[510 - 80]);

    Record foreign = built;
    foreign[0] = 'B';
    EXPECT_FALSE(CNtfsFileSystem::ApplyFixup(foreign));
    // An array that would reach past the record, or that does not cover both sectors.
    Record huge = built;
    Put16(&huge[6], 500);
    EXPECT_FALSE(CNtfsFileSystem::ApplyFixup(huge));
    Record shortArray = built;
    Put16(&shortArray[6], 2);
    EXPECT_FALSE(CNtfsFileSystem::ApplyFixup(shortArray));
}

// ------------------------------------------------------------------------------------------
// Locating the data

TEST_F(NtfsReaderParsingTest, LocatesResidentAndNonResidentData) {
    CNtfsFileSystem& fs = Reader(8);
    NtfsAttributeLocator locator;

    NtfsRecordBuilder small;
    small.StandardInformation(1, 2, 3);
    const size_t resident = small.Resident(0x80, Pattern(40, 1));
    ASSERT_EQ(fs.LocateFileData(small.Fixed(), locator), 1);
    EXPECT_TRUE(locator.resident);
    EXPECT_EQ(locator.kind, NtfsAttributeLocator::kFile);
    EXPECT_EQ(locator.dataOffset, resident);
    EXPECT_FALSE(locator.compressed);
    EXPECT_FALSE(locator.attributeList);

    NtfsRecordBuilder large;
    large.StandardInformation(1, 2, 3);
    const size_t data = large.NonResident(0x80, {0x11, 0x04, 0x20, 0x00}, 4096, 4000, 4000);
    ASSERT_EQ(fs.LocateFileData(large.Fixed(), locator), 1);
    EXPECT_FALSE(locator.resident);
    EXPECT_EQ(locator.kind, NtfsAttributeLocator::kFile);
    EXPECT_EQ(locator.dataOffset, data + 64);

    // Compression shows in the DOS attributes or in a compression unit; the folder variant
    // does not look at the unit.
    NtfsRecordBuilder unit;
    unit.NonResident(0x80, {0x11, 0x10, 0x20, 0x00}, 65536, 65536, 65536, 4);
    EXPECT_EQ(fs.LocateFileData(unit.Fixed(), locator), 1);
    EXPECT_TRUE(locator.compressed);
    EXPECT_EQ(fs.LocateFolderData(unit.Fixed(), locator), 1);
    EXPECT_FALSE(locator.compressed);
    NtfsRecordBuilder sparse; // a sparse file has a compression unit but no compressed data
    sparse.NonResident(0x80, {0x11, 0x10, 0x20, 0x00}, 65536, 65536, 65536, 4, 0x8000);
    EXPECT_EQ(fs.LocateFileData(sparse.Fixed(), locator), 1);
    EXPECT_FALSE(locator.compressed);
    NtfsRecordBuilder flagged;
    flagged.StandardInformation(1, 2, 3, 0x0800);
    flagged.Resident(0x80, Pattern(10, 1));
    EXPECT_EQ(fs.LocateFileData(flagged.Fixed(), locator), 1);
    EXPECT_TRUE(locator.compressed);
}

TEST_F(NtfsReaderParsingTest, LocatesFolderIndexes) {
    CNtfsFileSystem& fs = Reader(8);
    NtfsAttributeLocator locator;

    NtfsRecordBuilder big;
    big.StandardInformation(1, 2, 3);
    const size_t root = big.IndexRoot(41);
    const size_t allocation = big.NonResident(0xA0, {0x11, 0x01, 0x30, 0x00}, 4096, 4096, 4096);
    ASSERT_EQ(fs.LocateFolderData(big.Fixed(), locator), 1);
    EXPECT_EQ(locator.kind, NtfsAttributeLocator::kFolder);
    EXPECT_FALSE(locator.resident);
    EXPECT_EQ(locator.dataOffset, allocation + 64);
    EXPECT_EQ(locator.indexRootEntries, root + 64);

    NtfsRecordBuilder emptyRoot;
    emptyRoot.IndexRoot(0);
    emptyRoot.NonResident(0xA0, {0x11, 0x01, 0x30, 0x00}, 4096, 4096, 4096);
    ASSERT_EQ(fs.LocateFolderData(emptyRoot.Fixed(), locator), 1);
    EXPECT_EQ(locator.indexRootEntries, 0);

    NtfsRecordBuilder smallFolder;
    const size_t smallRoot = smallFolder.IndexRoot(41);
    ASSERT_EQ(fs.LocateFolderData(smallFolder.Fixed(), locator), 1);
    EXPECT_TRUE(locator.resident);
    EXPECT_EQ(locator.dataOffset, smallRoot + 64);

    // With an attribute list the allocation may lie in another record: a folder, no offset.
    NtfsRecordBuilder listed;
    listed.AttributeList({{0x90, 9}, {0xA0, 12}});
    listed.IndexRoot(41);
    ASSERT_EQ(fs.LocateFolderData(listed.Fixed(), locator), 1);
    EXPECT_EQ(locator.kind, NtfsAttributeLocator::kFolder);
    EXPECT_TRUE(locator.attributeList);
    EXPECT_EQ(locator.dataOffset, 0);

    NtfsRecordBuilder elsewhere;
    elsewhere.StandardInformation(1, 2, 3);
    elsewhere.AttributeList({{0x80, 9}});
    ASSERT_EQ(fs.LocateFileData(elsewhere.Fixed(), locator), 1);
    EXPECT_TRUE(locator.attributeList);

    NtfsRecordBuilder nothing;
    nothing.StandardInformation(1, 2, 3);
    nothing.FileName(5, u"x", 1);
    EXPECT_EQ(fs.LocateFileData(nothing.Fixed(), locator), 0);
}

TEST_F(NtfsReaderParsingTest, WalkEndsAfterThirtyAttributesWithoutEndMark) {
    CNtfsFileSystem& fs = Reader(8);
    NtfsAttributeLocator locator;
    for (size_t fillers : {29u, 30u}) {
        NtfsRecordBuilder builder;
        for (size_t i = 0; i < fillers; ++i)
            builder.Raw(0x40, 24);
        builder.Resident(0x80, Pattern(8, 1));
        // No 0xFF: what follows the last attribute is another $DATA.
        builder.Resident(0x80, Pattern(8, 2));
        const int found = fs.LocateFileData(builder.Fixed(false), locator);
        if (fillers == 29)
            EXPECT_EQ(found, 1); // the 30th attribute is read
        else
            EXPECT_EQ(found, 0); // the 31st is not
    }
}

// ------------------------------------------------------------------------------------------
// Names, parent, times, sizes

TEST(NtfsReaderNamesTest, LongNamePrefersWin32AndShortNameItsAlias) {
    NtfsRecordBuilder both;
    both.StandardInformation(1, 2, 3);
    both.FileName(0x0003000000000027ull, u"LONGNA~1.TXT", 2);
    both.FileName(0x0003000000000027ull, u"Long name.txt", 1);
    both.FileName(0x0003000000000027ull, u"SHORT.TXT", 2);
    Record record = both.Fixed();
    EXPECT_EQ(CNtfsFileSystem::GetLongName(record), u"Long name.txt");
    // The first name is a DOS one, so it is the short name.
    EXPECT_EQ(CNtfsFileSystem::GetShortName(record), u"LONGNA~1.TXT");
    uint32_t parent = 0;
    ASSERT_TRUE(CNtfsFileSystem::GetParentRecord(record, parent));
    EXPECT_EQ(parent, 0x27u);

    NtfsRecordBuilder win32First;
    win32First.FileName(5, u"Long name.txt", 1);
    win32First.FileName(5, u"LONGNA~1.TXT", 2);
    EXPECT_EQ(CNtfsFileSystem::GetShortName(win32First.Fixed()), u"LONGNA~1.TXT");

    NtfsRecordBuilder dosOnly;
    dosOnly.FileName(5, u"FIRST.TXT", 2);
    dosOnly.FileName(5, u"SECOND.TXT", 2);
    EXPECT_EQ(CNtfsFileSystem::GetLongName(dosOnly.Fixed()), u"SECOND.TXT");

    NtfsRecordBuilder posix;
    posix.FileName(5, u"x", 0);
    EXPECT_EQ(CNtfsFileSystem::GetLongName(posix.Fixed()), u"x");

    NtfsRecordBuilder none;
    none.StandardInformation(1, 2, 3);
    EXPECT_EQ(CNtfsFileSystem::GetLongName(none.Fixed()), u"");
    EXPECT_FALSE(CNtfsFileSystem::GetParentRecord(none.Fixed(), parent));
}

TEST(NtfsReaderNamesTest, NameLengthPastItsAttributeOrTheRecordIsClamped) {
    // A name that claims 255 characters in an attribute near the end of the record.
    NtfsRecordBuilder builder;
    builder.Raw(0x40, 816);
    const size_t at = builder.FileName(5, u"Tail", 1);
    ASSERT_GE(at, 872u);
    uint8_t* bytes = builder.Bytes_();
    bytes[at + 88] = 255;
    Put32(bytes + at + 4, 1024 - static_cast<uint32_t>(at)); // the attribute reaches the end
    Record record = builder.Build(false);
    ASSERT_TRUE(CNtfsFileSystem::ApplyFixup(record));
    const std::u16string name = CNtfsFileSystem::GetLongName(record);
    EXPECT_EQ(name.size(), (1024 - (at + 90)) / 2);
    EXPECT_EQ(name.substr(0, 4), u"Tail");

    // Clamped to the attribute's own length too, even where the record goes on.
    NtfsRecordBuilder inner;
    const size_t own = inner.FileName(5, u"Inner", 1);
    inner.FileName(5, u"Other", 1);
    inner.Bytes_()[own + 88] = 200;
    const std::u16string clamped = CNtfsFileSystem::GetLongName(inner.Fixed());
    EXPECT_EQ(clamped.size(), (NtfsRecordBuilder::Align8(24 + 66 + 10) - 90) / 2);
    EXPECT_EQ(clamped.substr(0, 5), u"Inner");
}

TEST(NtfsReaderNamesTest, TimesAndSizes) {
    NtfsRecordBuilder builder;
    builder.StandardInformation(0x01D0000000000001ull, 0x01D0000000000002ull,
                                0x01D0000000000003ull);
    builder.NonResident(0x80, {0x11, 0x08, 0x40, 0x00}, 32768, 30000, 12000);
    Record record = builder.Fixed();
    NtfsTimes times;
    ASSERT_TRUE(CNtfsFileSystem::GetStandardTimes(record, times));
    EXPECT_EQ(times.created, 0x01D0000000000001ull);
    EXPECT_EQ(times.modified, 0x01D0000000000002ull);
    EXPECT_EQ(times.mftChanged, 0x01D0000000000003ull);
    uint64_t size = 0, initialized = 0, allocated = 0;
    ASSERT_TRUE(CNtfsFileSystem::GetDataSizes(record, size, initialized, allocated));
    EXPECT_EQ(size, 30000u);
    EXPECT_EQ(initialized, 12000u);
    EXPECT_EQ(allocated, 32768u);

    NtfsRecordBuilder resident;
    resident.Resident(0x80, Pattern(10, 1));
    EXPECT_FALSE(CNtfsFileSystem::GetDataSizes(resident.Fixed(), size, initialized, allocated));
    EXPECT_FALSE(CNtfsFileSystem::GetStandardTimes(resident.Fixed(), times));
}

// ------------------------------------------------------------------------------------------
// Run lists

TEST_F(NtfsReaderParsingTest, RunListsKeepHolesAndNegativeDeltas) {
    CNtfsFileSystem& fs = Reader(2);
    NtfsRecordBuilder builder;
    // 8 clusters at 256; a hole of 4; 2 clusters 16 back (1-byte 0xF0); 3 clusters at +0x1000.
    const size_t data = builder.NonResident(
        0x80, {0x21, 0x08, 0x00, 0x01, 0x01, 0x04, 0x11, 0x02, 0xF0, 0x21, 0x03, 0x00, 0x10, 0x00},
        0, 0, 0);
    Record record = builder.Fixed();
    NtfsAttributeLocator locator;
    ASSERT_EQ(fs.LocateFileData(record, locator), 1);
    ASSERT_EQ(locator.dataOffset, data + 64);

    std::vector<NtfsRunEntry> runs;
    EXPECT_EQ(fs.DecodeRuns(record, locator, runs, false), (8u + 4 + 2 + 3) * 2);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].mark, NtfsRunEntry::kFirst);
    EXPECT_EQ(runs[0].lengthSectors, 16u);
    EXPECT_TRUE(runs[1].IsSparse());
    EXPECT_EQ(runs[1].lengthSectors, 8u);
    EXPECT_EQ(runs[2].mark, NtfsRunEntry::kLater);
    EXPECT_EQ(runs[2].rawOffset, 0xF0u); // stored as it was
    EXPECT_EQ(runs[2].offsetSize, 1);
    const auto starts = fs.RunStartClusters(runs);
    ASSERT_EQ(starts.size(), 4u);
    EXPECT_EQ(starts[0], 256u);
    EXPECT_FALSE(starts[1].has_value());
    EXPECT_EQ(starts[2], 240u); // the hole moves nothing
    EXPECT_EQ(starts[3], 240u + 0x1000);

    // A first run's offset is absolute even with its top bit set.
    NtfsRecordBuilder high;
    high.NonResident(0x80, {0x11, 0x01, 0x80, 0x00}, 0, 0, 0);
    Record highRecord = high.Fixed();
    ASSERT_EQ(fs.LocateFileData(highRecord, locator), 1);
    runs.clear();
    fs.DecodeRuns(highRecord, locator, runs, false);
    EXPECT_EQ(fs.RunStartClusters(runs).at(0), 128u);
}

TEST_F(NtfsReaderParsingTest, AbnormalRunListsAppendNothingUnlessKept) {
    CNtfsFileSystem& fs = Reader(1);
    const std::vector<Bytes> broken = {
        {0x11, 0x02, 0x10, 0x15, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // length of 5 bytes
        {0x11, 0x02, 0x10, 0x51, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // offset of 5 bytes
        {0x11, 0x02, 0x10, 0x10, 0x05, 0x00},                               // length of 0 bytes
    };
    for (const Bytes& list : broken) {
        NtfsRecordBuilder builder;
        builder.NonResident(0x80, list, 0, 0, 0);
        Record record = builder.Fixed();
        NtfsAttributeLocator locator;
        ASSERT_EQ(fs.LocateFileData(record, locator), 1);
        std::vector<NtfsRunEntry> table(1);
        EXPECT_EQ(fs.DecodeRuns(record, locator, table, false), 0u);
        EXPECT_EQ(table.size(), 1u); // what was there stays, nothing is added
        EXPECT_EQ(fs.DecodeRuns(record, locator, table, true), 0u);
        EXPECT_EQ(table.size(), 2u); // the run before the fault is kept
    }

    // A list that runs into the record's end without its end mark.
    NtfsRecordBuilder full;
    full.Raw(0x40, 888);
    const size_t at = full.NonResident(0x80, {}, 0, 0, 0);
    ASSERT_EQ(at + 64, 1008u);
    uint8_t* bytes = full.Bytes_();
    for (size_t i = 1008; i + 3 <= 1023; i += 3) {
        bytes[i] = 0x11; // one cluster at a 1-byte offset
        bytes[i + 1] = 0x01;
    }
    bytes[1023] = 0x11; // needs two more bytes than the record has
    Record record = full.Build(false);
    ASSERT_TRUE(CNtfsFileSystem::ApplyFixup(record));
    NtfsAttributeLocator locator;
    ASSERT_EQ(fs.LocateFileData(record, locator), 1);
    std::vector<NtfsRunEntry> table;
    EXPECT_EQ(fs.DecodeRuns(record, locator, table, false), 0u);
    EXPECT_TRUE(table.empty());
}

TEST_F(NtfsReaderParsingTest, CompressedRunsMarkTheUnitsAndKeepPositions) {
    CNtfsFileSystem& fs = Reader(1);
    auto decode = [&](const Bytes& list) {
        NtfsRecordBuilder builder;
        builder.NonResident(0x80, list, 0, 0, 0, 4);
        Record record = builder.Fixed();
        NtfsAttributeLocator locator;
        EXPECT_EQ(fs.LocateFileData(record, locator), 1);
        std::vector<NtfsCompressedRunEntry> table;
        fs.DecodeCompressedRuns(record, locator, table);
        return table;
    };

    // 20 data clusters at 100, a hole of 12, then 16 clusters at 100 + 50.
    auto table = decode({0x11, 20, 100, 0x01, 12, 0x11, 16, 50, 0x00});
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0].run.lengthSectors, 16u); // cut to whole units
    EXPECT_FALSE(table[0].inCompressionUnit);
    EXPECT_EQ(table[1].run.lengthSectors, 4u); // the open unit's compressed part
    EXPECT_TRUE(table[1].inCompressionUnit);
    EXPECT_TRUE(table[2].run.IsSparse());
    EXPECT_EQ(table[2].run.lengthSectors, 12u); // completes the unit
    EXPECT_TRUE(table[2].inCompressionUnit);
    EXPECT_FALSE(table[2].plainSparse);
    std::vector<NtfsRunEntry> runs;
    for (const auto& entry : table)
        runs.push_back(entry.run);
    const auto starts = fs.RunStartClusters(runs);
    EXPECT_EQ(starts[0], 100u);
    EXPECT_EQ(starts[1], 116u);
    EXPECT_EQ(starts[3], 150u); // the split does not move later runs

    // 5 data clusters and a hole of 20: 11 complete the unit, 9 are plain zeros.
    table = decode({0x11, 5, 100, 0x01, 20, 0x00});
    ASSERT_EQ(table.size(), 3u);
    EXPECT_TRUE(table[0].inCompressionUnit);
    EXPECT_EQ(table[1].run.lengthSectors, 11u);
    EXPECT_TRUE(table[1].inCompressionUnit);
    EXPECT_EQ(table[2].run.lengthSectors, 9u);
    EXPECT_TRUE(table[2].plainSparse);

    // A whole unit of data, then a hole: the hole is plain.
    table = decode({0x11, 16, 100, 0x01, 16, 0x00});
    ASSERT_EQ(table.size(), 2u);
    EXPECT_FALSE(table[0].inCompressionUnit);
    EXPECT_TRUE(table[1].plainSparse);
    EXPECT_FALSE(table[1].inCompressionUnit);
}

TEST_F(NtfsReaderParsingTest, ContiguousClustersCoverTheSize) {
    CNtfsFileSystem& fs = Reader(4);
    EXPECT_EQ(fs.GetContiguousClusters(77, 1).clusters, (std::vector<uint32_t>{77}));
    EXPECT_TRUE(fs.GetContiguousClusters(77, 0).clusters.empty());
    EXPECT_EQ(fs.GetContiguousClusters(77, 2048).clusters, (std::vector<uint32_t>{77}));
    EXPECT_EQ(fs.GetContiguousClusters(77, 2049).clusters, (std::vector<uint32_t>{77, 78}));
    EXPECT_EQ(fs.GetContiguousClusters(77, 2049).byteLength, 2049u);
    // Cluster numbers stop at the volume's end, and so short of the sparse mark.
    EXPECT_TRUE(fs.GetContiguousClusters(0xFFFFFFFE, 10000).clusters.empty());
}

// ------------------------------------------------------------------------------------------
// A synthetic volume: one sector per cluster, 2048 sectors, the $MFT in two runs (5 sectors
// at 100, 11 at 300), so record 2 has its first half at 104 and its second at 300.

class SyntheticNtfs {
public:
    static constexpr uint32_t kSectors = 2048;
    static constexpr uint32_t kMftCluster = 100;
    static constexpr uint32_t kMirrorCluster = 50;

    SyntheticNtfs() : m_image(kSectors * 512, 0xEE) {
        Bytes boot = BootSector(kMftCluster);
        std::copy(boot.begin(), boot.end(), m_image.begin());
        std::copy(boot.begin(), boot.end(), m_image.end() - 512);
        PutRecord(0, MftRecord());
        PutMirror(MftRecord());
    }

    static Bytes BootSector(uint32_t mftCluster) {
        Bytes s(512, 0);
        s[0] = 0xEB;
        std::memcpy(&s[3], "NTFS    ", 8);
        Put16(&s[11], 512);
        s[13] = 1;
        Put64(&s[40], kSectors - 1);
        Put64(&s[48], mftCluster);
        Put64(&s[56], kMirrorCluster);
        s[64] = 0xF6;
        s[510] = 0x55;
        s[511] = 0xAA;
        return s;
    }

    static Record MftRecord() {
        NtfsRecordBuilder mft;
        mft.StandardInformation(1, 2, 3);
        mft.FileName(5, u"$MFT", 3);
        mft.NonResident(0x80, {0x21, 0x05, 0x64, 0x00, 0x21, 0x0B, 0xC8, 0x00, 0x00}, 16 * 512,
                        16 * 512, 16 * 512);
        return mft.Build();
    }

    // The sector of the $MFT's sector `offset`.
    static uint64_t MftSector(uint64_t offset) { return offset < 5 ? 100 + offset : 295 + offset; }

    void PutRecord(uint32_t number, const Record& record) {
        std::memcpy(Sector(MftSector(2ull * number)), record.data(), 512);
        std::memcpy(Sector(MftSector(2ull * number + 1)), record.data() + 512, 512);
    }
    void PutMirror(const Record& record) {
        std::memcpy(Sector(kMirrorCluster), record.data(), 1024);
    }
    uint8_t* Sector(uint64_t sector) { return &m_image[sector * 512]; }

    std::filesystem::path Write(const TempDir& dir) const {
        auto path = dir.File("ntfs.img");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_image.data()),
                   static_cast<std::streamsize>(m_image.size()));
        return path;
    }

    // Writes the image and makes it drive C:, a logical drive.
    void Mount(const TempDir& dir, DriveNode& node) const {
        DeviceTable::Process().SetDriveLetter(2,
                                              DeviceSource{Write(dir).string(), 0, std::nullopt});
        node.kind = DriveKind::LogicalDrive;
        LogicalDriveInfo info;
        info.drive = 2;
        info.disk = 2;
        info.totalSectors = kSectors;
        info.lastSector = kSectors;
        info.partitionType = 7;
        node.detail = info;
    }

private:
    Bytes m_image;
};

// The bytes recovery writes for an item: clusters in order, zeros for holes and past the
// valid length, cut at the byte length.
Bytes ReadThroughClusters(CNtfsFileSystem& fs, const ClusterList& list) {
    const size_t clusterBytes = size_t{fs.SectorsPerCluster()} * 512;
    Bytes out;
    Bytes cluster(clusterBytes);
    for (uint32_t number : list.clusters) {
        if (ClusterList::IsSparse(number))
            std::fill(cluster.begin(), cluster.end(), 0);
        else
            EXPECT_TRUE(fs.ReadClusters(number, 0, cluster.data(), fs.SectorsPerCluster()));
        out.insert(out.end(), cluster.begin(), cluster.end());
    }
    if (out.size() > list.byteLength)
        out.resize(static_cast<size_t>(list.byteLength));
    for (size_t i = static_cast<size_t>(std::min<uint64_t>(list.validLength, out.size()));
         i < out.size(); ++i)
        out[i] = 0;
    return out;
}

class NtfsReaderVolumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceTable::Process().Clear();
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
    }
    void TearDown() override { DeviceTable::Process().Clear(); }

    CNtfsFileSystem& Open() {
        m_volume.Mount(m_dir, m_node);
        EXPECT_TRUE(m_fs.SetVolumeFromDrive(0));
        EXPECT_EQ(m_fs.ReadBootSector(), 1);
        EXPECT_EQ(m_fs.LoadMftRuns(), 1);
        return m_fs;
    }

    static FoundItem Item(uint32_t record, uint8_t attributes = 0x20) {
        FoundItem item;
        item.entryId = record;
        item.attributes = attributes;
        return item;
    }

    TempDir m_dir;
    SyntheticNtfs m_volume;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    DriveNode m_node;
    ScanEnvironment m_environment;
    CNtfsFileSystem m_fs{m_environment};
};

TEST_F(NtfsReaderVolumeTest, OnlyVolumeNodesAreTaken) {
    m_volume.Mount(m_dir, m_node);
    for (DriveKind kind : {DriveKind::HardDisk, DriveKind::RemovableDisk, DriveKind::CdRomDrive,
                           DriveKind::DiskImage, DriveKind::CdRomImage}) {
        m_node.kind = kind;
        CNtfsFileSystem fs(m_environment);
        EXPECT_FALSE(fs.SetVolumeFromDrive(0)) << int(kind);
        EXPECT_EQ(fs.TotalSectors(), 0u);
    }
    EXPECT_EQ(m_window.Count(MakeSetPaneWidths(0, 0).id), 0u);

    m_node.kind = DriveKind::LogicalDrive;
    ASSERT_TRUE(m_fs.SetVolumeFromDrive(0));
    EXPECT_EQ(m_fs.TotalSectors(), SyntheticNtfs::kSectors);
    EXPECT_EQ(m_fs.Drive(), 2);
    EXPECT_EQ(m_window.Count(MakeSetPaneWidths(0, 0).id), 1u);

    // An image of a volume is read from its file, from sector 0.
    m_node.kind = DriveKind::VolumeImage;
    m_node.imagePath = Utf8ToUtf16(m_volume.Write(m_dir).string());
    m_node.Logical()->firstSector = 4096;
    DeviceTable::Process().Clear();
    CNtfsFileSystem image(m_environment);
    ASSERT_TRUE(image.SetVolumeFromDrive(1));
    EXPECT_EQ(image.FirstSector(), 0u);
    EXPECT_TRUE(image.ImageFlag());
    EXPECT_EQ(image.ReadBootSector(), 1);
    EXPECT_EQ(image.LoadMftRuns(), 1);
    Record record{};
    EXPECT_TRUE(image.ReadRecord(0, record));
}

TEST_F(NtfsReaderVolumeTest, ReadsStopAtTheVolumeEnd) {
    CNtfsFileSystem& fs = Open();
    Bytes buffer(1024, 0xAA);
    EXPECT_TRUE(fs.ReadSectors(SyntheticNtfs::kSectors - 1, 1, buffer.data()));
    std::fill(buffer.begin(), buffer.end(), 0xAA);
    EXPECT_EQ(fs.ReadSectors(SyntheticNtfs::kSectors - 1, 2, buffer.data()), 0);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 1024);
    std::fill(buffer.begin(), buffer.end(), 0xAA);
    EXPECT_EQ(fs.ReadClusters(SyntheticNtfs::kSectors, 0, buffer.data(), 1), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(fs.ReadSectors(UINT64_MAX, 1, buffer.data()), 0);

    Bytes bytes(700, 0xAA);
    ASSERT_TRUE(fs.ReadBytes(0, bytes.data(), 700));
    EXPECT_EQ(std::memcmp(bytes.data() + 3, "NTFS", 4), 0);
    EXPECT_EQ(bytes[699], 0xEE); // the second sector, cut
}

TEST_F(NtfsReaderVolumeTest, BootSectorAndMftRuns) {
    CNtfsFileSystem& fs = Open();
    EXPECT_EQ(fs.SectorsPerCluster(), 1);
    EXPECT_EQ(fs.MftStartSector(), 100u);
    EXPECT_EQ(fs.MftMirrorSector(), 50u);
    ASSERT_EQ(fs.MftRuns().size(), 2u);
    EXPECT_EQ(fs.MftSectors(), 16u);
    EXPECT_EQ(fs.MftRecordCount(), 8u);
    const std::vector<bool>& visited = NtfsTestAccess::ReaderVisited(fs);
    EXPECT_EQ(visited, (std::vector<bool>{true, true, false, false, false, false, false, false}));

    uint64_t second = 99;
    EXPECT_EQ(fs.MftRecordToSector(1, second), 102u);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(fs.MftRecordToSector(2, second), 104u);
    EXPECT_EQ(second, 300u);
    EXPECT_EQ(fs.MftRecordToSector(3, second), 301u);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(fs.MftRecordToSector(7, second), 309u);
    EXPECT_EQ(fs.MftRecordToSector(8, second), 0u); // past the $MFT
    Record record{};
    EXPECT_FALSE(fs.ReadRecord(8, record));
}

TEST_F(NtfsReaderVolumeTest, BootSectorFallsBackToItsCopies) {
    Bytes zero(512, 0);
    std::memcpy(m_volume.Sector(0), zero.data(), 512);
    m_volume.Mount(m_dir, m_node);
    ASSERT_TRUE(m_fs.SetVolumeFromDrive(0));
    EXPECT_EQ(m_fs.ReadBootSector(), 1);
    EXPECT_EQ(m_fs.MftStartSector(), 100u);

    // The copy one sector before the last, as older formatters placed it.
    std::memcpy(m_volume.Sector(SyntheticNtfs::kSectors - 2),
                m_volume.Sector(SyntheticNtfs::kSectors - 1), 512);
    std::memcpy(m_volume.Sector(SyntheticNtfs::kSectors - 1), zero.data(), 512);
    m_volume.Mount(m_dir, m_node);
    CNtfsFileSystem older(m_environment);
    ASSERT_TRUE(older.SetVolumeFromDrive(0));
    EXPECT_EQ(older.ReadBootSector(), 1);
    EXPECT_EQ(older.MftStartSector(), 100u);

    std::memcpy(m_volume.Sector(SyntheticNtfs::kSectors - 2), zero.data(), 512);
    m_volume.Mount(m_dir, m_node);
    CNtfsFileSystem none(m_environment);
    ASSERT_TRUE(none.SetVolumeFromDrive(0));
    EXPECT_EQ(none.ReadBootSector(), 0);
}

TEST_F(NtfsReaderVolumeTest, MftRunsComeFromTheMirrorAndMustLeadToTheMftStart) {
    // Record 0 unreadable where the boot sector puts it: the mirror's copy gives the runs.
    std::memset(m_volume.Sector(100), 0, 4);
    m_volume.Mount(m_dir, m_node);
    ASSERT_TRUE(m_fs.SetVolumeFromDrive(0));
    ASSERT_EQ(m_fs.ReadBootSector(), 1);
    EXPECT_EQ(m_fs.LoadMftRuns(), 1);
    EXPECT_EQ(m_fs.MftRuns().size(), 2u);

    // A boot sector that puts the $MFT where its own runs do not begin.
    Bytes boot = SyntheticNtfs::BootSector(102);
    std::memcpy(m_volume.Sector(0), boot.data(), 512);
    std::memcpy(m_volume.Sector(102), SyntheticNtfs::MftRecord().data(), 512);
    m_volume.Mount(m_dir, m_node);
    CNtfsFileSystem moved(m_environment);
    ASSERT_TRUE(moved.SetVolumeFromDrive(0));
    ASSERT_EQ(moved.ReadBootSector(), 1);
    EXPECT_EQ(moved.LoadMftRuns(), 0);
    EXPECT_TRUE(moved.MftRuns().empty());
    EXPECT_EQ(moved.MftRecordCount(), 0u);
}

TEST_F(NtfsReaderVolumeTest, StraddlingRecordIsReadFromBothRuns) {
    NtfsRecordBuilder builder;
    builder.StandardInformation(1, 2, 3);
    builder.FileName(5, u"Straddle.txt", 3);
    builder.Resident(0x80, Pattern(600, 9)); // reaches well into the second half
    m_volume.PutRecord(2, builder.Build());
    CNtfsFileSystem& fs = Open();

    Record record{};
    ASSERT_TRUE(fs.ReadRecord(2, record));
    EXPECT_EQ(CNtfsFileSystem::GetLongName(record), u"Straddle.txt");
    NtfsDataRuns data;
    ASSERT_TRUE(fs.ReadDataRuns(Item(2), data));
    EXPECT_TRUE(data.resident);
    EXPECT_EQ(data.residentData, Pattern(600, 9));
    EXPECT_EQ(data.dataSize, 600u);
    // A resident file has no clusters: its data are in the record.
    ClusterList list = fs.GetFileClusters(Item(2));
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.byteLength, 600u);

    // Read at the wrong second sector, the content differs.
    Record wrong{};
    ASSERT_TRUE(fs.ReadRecordAt(104, 0, wrong));
    EXPECT_NE(wrong, record);
}

TEST_F(NtfsReaderVolumeTest, SparseRunsBecomeSparseClustersAndSizesAreKept) {
    // 2 clusters at 96, a hole of 3, 3 clusters 16 before 96 (only 2 within the size).
    NtfsRecordBuilder builder;
    builder.StandardInformation(1, 2, 3);
    builder.FileName(5, u"holes.bin", 1);
    builder.NonResident(0x80, {0x11, 0x02, 0x60, 0x01, 0x03, 0x11, 0x03, 0xF0, 0x00}, 8 * 512, 3484,
                        3300);
    m_volume.PutRecord(3, builder.Build());
    const Bytes front = Pattern(1024, 1);
    const Bytes back = Pattern(1536, 2);
    std::memcpy(m_volume.Sector(96), front.data(), front.size());
    std::memcpy(m_volume.Sector(80), back.data(), back.size());
    CNtfsFileSystem& fs = Open();

    NtfsDataRuns data;
    ASSERT_TRUE(fs.ReadDataRuns(Item(3), data));
    EXPECT_FALSE(data.resident);
    ASSERT_EQ(data.runs.size(), 3u);
    EXPECT_TRUE(data.runs[1].IsSparse()); // kept in the table
    EXPECT_EQ(data.dataSize, 3484u);
    EXPECT_EQ(data.initializedSize, 3300u);

    const uint32_t hole = ClusterList::kSparseCluster;
    ClusterList list = fs.GetFileClusters(Item(3));
    EXPECT_EQ(list.clusters, (std::vector<uint32_t>{96, 97, hole, hole, hole, 80, 81}));
    EXPECT_EQ(list.byteLength, 3484u);
    EXPECT_EQ(list.validLength, 3300u);

    Bytes expected(3484, 0);
    std::copy(front.begin(), front.end(), expected.begin());
    std::copy(back.begin(), back.begin() + (3300 - 2560), expected.begin() + 2560);
    EXPECT_EQ(ReadThroughClusters(fs, list), expected);

    // Compressed items have no list; the recovery decompresses them.
    FoundItem compressed = Item(3);
    compressed.noData = 1;
    EXPECT_TRUE(fs.GetFileClusters(compressed).Empty());
}

TEST_F(NtfsReaderVolumeTest, FoldersAndAttributeLists) {
    // A folder whose index allocation has 4 clusters at 128 (a first offset of 0x80).
    NtfsRecordBuilder folder(3);
    folder.StandardInformation(1, 2, 3);
    folder.FileName(5, u"Folder", 1);
    folder.IndexRoot(0);
    folder.NonResident(0xA0, {0x11, 0x04, 0x80, 0x00}, 4 * 512, 4 * 512, 4 * 512);
    m_volume.PutRecord(5, folder.Build());

    // A file whose $DATA lies in extension record 7, named by its attribute list.
    NtfsRecordBuilder base;
    base.StandardInformation(1, 2, 3);
    base.AttributeList({{0x10, 6}, {0x30, 6}, {0x80, 7}});
    base.FileName(5, u"listed.bin", 1);
    m_volume.PutRecord(6, base.Build());
    NtfsRecordBuilder extension;
    extension.NonResident(0x80, {0x21, 0x02, 0xA0, 0x00, 0x00}, 1024, 700, 700);
    m_volume.PutRecord(7, extension.Build());
    const Bytes listed = Pattern(1024, 5);
    std::memcpy(m_volume.Sector(160), listed.data(), listed.size());
    CNtfsFileSystem& fs = Open();

    ClusterList folderList = fs.GetFileClusters(Item(5, 0x10));
    EXPECT_EQ(folderList.clusters, (std::vector<uint32_t>{128, 129, 130, 131}));

    Record record{};
    ASSERT_TRUE(fs.ReadRecord(6, record));
    EXPECT_EQ(fs.ReadAttributeList(record), (std::vector<uint32_t>{7}));
    ClusterList list = fs.GetFileClusters(Item(6));
    EXPECT_EQ(list.clusters, (std::vector<uint32_t>{160, 161}));
    EXPECT_EQ(list.byteLength, 700u);
    EXPECT_EQ(ReadThroughClusters(fs, list), Bytes(listed.begin(), listed.begin() + 700));
}

TEST_F(NtfsReaderVolumeTest, RecordTableGivesTheRecordOfAnItemId) {
    NtfsRecordBuilder builder;
    builder.Resident(0x80, Pattern(30, 4));
    m_volume.PutRecord(4, builder.Build());
    CNtfsFileSystem& fs = Open();
    uint64_t second = 0;
    NtfsRecordEntry entry;
    entry.sector = fs.MftRecordToSector(4, second);
    entry.itemId = 40;
    entry.recordNumber = 4;
    NtfsTestAccess::ReaderSetRecordTable(fs, {entry}, 40);

    NtfsDataRuns data;
    ASSERT_TRUE(fs.ReadDataRuns(Item(40), data));
    EXPECT_EQ(data.residentData, Pattern(30, 4));
    EXPECT_FALSE(fs.ReadDataRuns(Item(41), data)); // beyond the table
    EXPECT_FALSE(fs.ReadDataRuns(Item(4), data));  // below its base
}

TEST(NtfsReaderAttributeListTest, ResidentListNamesTheRecordsOfTheData) {
    ScanEnvironment environment;
    CNtfsFileSystem fs(environment);
    auto listOf = [&](const std::vector<std::pair<uint8_t, uint32_t>>& entries) {
        NtfsRecordBuilder builder;
        builder.AttributeList(entries);
        return fs.ReadAttributeList(builder.Fixed());
    };
    EXPECT_EQ(listOf({{0x10, 9}, {0x30, 9}, {0x80, 12}, {0x80, 14}, {0x80, 12}, {0xB0, 20}}),
              (std::vector<uint32_t>{12, 14}));
    // A folder's allocation follows its root; a root alone names nothing.
    EXPECT_EQ(listOf({{0x10, 9}, {0x90, 9}, {0xA0, 15}, {0xA0, 16}, {0xB0, 9}}),
              (std::vector<uint32_t>{15, 16}));
    EXPECT_TRUE(listOf({{0x10, 9}, {0x90, 9}, {0xB0, 9}}).empty());
    EXPECT_TRUE(listOf({{0x10, 9}, {0x30, 9}}).empty());

    // A named stream after the data is no part of it.
    NtfsRecordBuilder named;
    const size_t at = named.AttributeList({{0x80, 12}, {0x80, 13}});
    named.Bytes_()[at + 24 + 32 + 6] = 4;
    EXPECT_EQ(fs.ReadAttributeList(named.Fixed()), (std::vector<uint32_t>{12}));

    // An entry length of zero ends the search.
    NtfsRecordBuilder broken;
    const size_t where = broken.AttributeList({{0x10, 9}, {0x80, 12}});
    Put16(broken.Bytes_() + where + 24 + 4, 0);
    EXPECT_TRUE(fs.ReadAttributeList(broken.Fixed()).empty());
}

// ------------------------------------------------------------------------------------------
// Fixture volumes made by mkntfs and ntfs-3g

class NtfsReaderFixtureTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceTable::Process().Clear();
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
    }
    void TearDown() override { DeviceTable::Process().Clear(); }

    // False (and the test skipped) while the fixture is not there.
    bool Mount(const std::string& fixture) {
        m_fixture = fixture;
        if (!std::filesystem::exists(FixturesFolder() / (fixture + ".img.xz")))
            return false;
        m_image = UnpackFixture(fixture + ".img", m_dir);
        EXPECT_FALSE(m_image.empty());
        const uint64_t size = std::filesystem::file_size(m_image);
        DeviceTable::Process().SetDriveLetter(2, DeviceSource{m_image.string(), 0, std::nullopt});
        m_node.kind = DriveKind::LogicalDrive;
        LogicalDriveInfo info;
        info.drive = 2;
        info.disk = 2;
        info.firstSector = 0;
        info.totalSectors = size / 512;
        info.lastSector = size / 512;
        info.partitionType = 7;
        m_node.detail = info;
        return m_fs.SetVolumeFromDrive(0);
    }

    std::filesystem::path Companion(const std::string& suffix) const {
        return FixturesFolder() / (m_fixture + suffix);
    }

    // Path of every in-use file record, built from its names and parents up to the root.
    std::map<std::string, uint32_t> LiveFiles() {
        std::map<uint32_t, std::pair<std::u16string, uint32_t>> named;
        std::vector<uint32_t> files;
        struct ExtensionName {
            uint32_t base;
            std::u16string name;
            uint32_t parent;
        };
        std::vector<ExtensionName> extensionNames;
        for (uint32_t number = 0; number < m_fs.MftRecordCount(); ++number) {
            Record record{};
            if (!m_fs.ReadRecord(number, record) || (record[22] & 1) == 0)
                continue;
            // An extension record's name belongs to its base record.
            const uint32_t base = record[32] | (record[33] << 8) | (record[34] << 16) |
                                  (static_cast<uint32_t>(record[35]) << 24);
            uint32_t parent = 0;
            std::u16string name = CNtfsFileSystem::GetLongName(record);
            if (name.empty())
                name = CNtfsFileSystem::GetShortName(record);
            if (name.empty() || !CNtfsFileSystem::GetParentRecord(record, parent))
                continue;
            if (base != 0) {
                extensionNames.push_back({base, name, parent});
                continue;
            }
            named[number] = {name, parent};
            if (CNtfsFileSystem::RecordFlags(record) == 1)
                files.push_back(number);
        }
        auto pathOf = [&](std::u16string path, uint32_t at) -> std::optional<std::string> {
            for (int depth = 0; depth < 64 && at != CNtfsFileSystem::kRootRecord; ++depth) {
                auto found = named.find(at);
                if (found == named.end())
                    return std::nullopt;
                path = u"/" + found->second.first + path;
                at = found->second.second;
            }
            if (at != CNtfsFileSystem::kRootRecord)
                return std::nullopt;
            return Utf16ToUtf8(path);
        };
        std::map<std::string, uint32_t> paths;
        for (uint32_t file : files)
            if (auto path = pathOf(u"", file))
                paths[*path] = file;
        for (const ExtensionName& extension : extensionNames) {
            if (named.count(extension.base) == 0)
                named[extension.base] = {extension.name, extension.parent};
            if (auto path = pathOf(u"/" + extension.name, extension.parent))
                paths[*path] = extension.base;
        }
        return paths;
    }

    // Reads every live file of the manifest through its cluster list (or from its record) and
    // compares it with the manifest's hash. A file whose path no record gives must be another
    // name of a file already checked (a hard link whose name lies in an extension record).
    // Returns what was read, by path.
    std::map<std::string, NtfsDataRuns> CheckLiveFiles() {
        std::map<std::string, NtfsDataRuns> read;
        EXPECT_EQ(m_fs.LoadMftRuns(), 1);
        const std::map<std::string, uint32_t> files = LiveFiles();
        std::set<std::string> hashesRead;
        std::vector<ManifestEntry> unnamed;
        for (const ManifestEntry& entry : ReadManifest(Companion(".manifest"))) {
            if (entry.kind != "file" || entry.state != "present")
                continue;
            auto found = files.find(entry.path);
            if (found == files.end()) {
                unnamed.push_back(entry);
                continue;
            }
            FoundItem item;
            item.entryId = found->second;
            item.attributes = 0x20;
            item.size = entry.size;
            NtfsDataRuns data;
            EXPECT_TRUE(m_fs.ReadDataRuns(item, data)) << entry.path;
            read[entry.path] = data;
            if (data.isCompressed)
                continue; // decompression is the recovery's
            EXPECT_EQ(data.dataSize, entry.size) << entry.path;
            Bytes content;
            if (data.resident) {
                content = data.residentData;
            } else {
                ClusterList list = m_fs.GetFileClusters(item);
                EXPECT_EQ(list.byteLength, entry.size) << entry.path;
                content = ReadThroughClusters(m_fs, list);
            }
            EXPECT_EQ(Sha256Hex(content), entry.sha256) << entry.path;
            hashesRead.insert(entry.sha256);
        }
        for (const ManifestEntry& entry : unnamed)
            EXPECT_EQ(hashesRead.count(entry.sha256), 1u) << "no record for " << entry.path;
        return read;
    }

    TempDir m_dir;
    std::string m_fixture;
    std::filesystem::path m_image;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    DriveNode m_node;
    ScanEnvironment m_environment;
    CNtfsFileSystem m_fs{m_environment};
};

TEST_F(NtfsReaderFixtureTest, EveryLiveFileReadsBackThroughItsClusters) {
    if (!Mount("ntfs_volume"))
        GTEST_SKIP() << "fixture ntfs_volume not made yet";
    ASSERT_EQ(m_fs.ReadBootSector(), 1);
    EXPECT_EQ(m_fs.SectorsPerCluster(), 8);
    EXPECT_EQ(m_fs.MftStartSector(), 4u * 8);
    EXPECT_EQ(m_fs.MftMirrorSector(), 2047u * 8);
    const auto read = CheckLiveFiles();
    EXPECT_GE(read.size(), 80u);

    // The hole of Sparse.bin is kept in its runs and in its cluster list.
    ASSERT_TRUE(read.count("/Sparse.bin"));
    const NtfsDataRuns& sparse = read.at("/Sparse.bin");
    EXPECT_FALSE(sparse.isCompressed); // its compression unit notwithstanding
    EXPECT_LT(sparse.initializedSize, sparse.dataSize);
    EXPECT_TRUE(std::any_of(sparse.runs.begin(), sparse.runs.end(),
                            [](const NtfsRunEntry& run) { return run.IsSparse(); }));
    ASSERT_TRUE(read.count("/Big.log"));
    EXPECT_GT(read.at("/Big.log").runs.size(), 1u);
    ASSERT_TRUE(read.count("/Compressed/Packed.txt"));
    EXPECT_TRUE(read.at("/Compressed/Packed.txt").isCompressed);
    EXPECT_FALSE(read.at("/Compressed/Packed.txt").compressed.empty());
    ASSERT_TRUE(read.count("/Resident 700.txt"));
    EXPECT_TRUE(read.at("/Resident 700.txt").resident);
}

TEST_F(NtfsReaderFixtureTest, AttributeListsLeadToTheRecordsOfTheData) {
    if (!Mount("ntfs_many_records"))
        GTEST_SKIP() << "fixture ntfs_many_records not made yet";
    ASSERT_EQ(m_fs.ReadBootSector(), 1);
    const auto read = CheckLiveFiles();
    // 400 one-cluster runs over a base record and an extension record.
    ASSERT_TRUE(read.count("/Fragmented.txt"));
    EXPECT_EQ(read.at("/Fragmented.txt").runs.size(), 400u);
    ASSERT_TRUE(read.count("/Compressed/Mixed.bin"));
    EXPECT_TRUE(read.at("/Compressed/Mixed.bin").isCompressed);
    // A non-resident attribute list, read from its own cluster.
    ASSERT_TRUE(read.count("/Links/Target.txt"));
    Record target{};
    ASSERT_TRUE(m_fs.ReadRecord(66, target));
    EXPECT_EQ(m_fs.ReadAttributeList(target), (std::vector<uint32_t>{66}));
}

TEST_F(NtfsReaderFixtureTest, DamagedBootSectorFallsBackToTheBackup) {
    if (!Mount("ntfs_bad_boot"))
        GTEST_SKIP() << "fixture ntfs_bad_boot not made yet";
    Bytes first(512);
    ASSERT_TRUE(m_fs.ReadSectors(0, 1, first.data()));
    EXPECT_FALSE(std::memcmp(first.data() + 3, "NTFS", 4) == 0 && first[510] == 0x55 &&
                 first[511] == 0xAA)
        << "sector 0 should be damaged";
    ASSERT_EQ(m_fs.ReadBootSector(), 1);
    EXPECT_EQ(m_fs.SectorsPerCluster(), 8);
    EXPECT_EQ(m_fs.MftStartSector(), 4u * 8);
    EXPECT_GE(CheckLiveFiles().size(), 80u);
}

} // namespace
