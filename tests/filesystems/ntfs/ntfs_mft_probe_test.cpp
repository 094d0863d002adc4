#include "filesystems/ntfs/ntfs_mft_probe.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"
#include "tests/filesystems/ntfs/ntfs_record_builder.h"
#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Record = CNtfsFileSystem::Record;
using Placement = NtfsMftProbe::Placement;

constexpr uint64_t kSector = 512;
// The reference an extension record of the $MFT keeps: record 0, sequence 1.
constexpr uint64_t kMftReference = uint64_t{1} << 48;

// One run of a run list: clusters, and the signed step from the previous run's cluster (the
// first run's is its cluster); no step for a hole.
struct Run {
    uint64_t clusters = 0;
    std::optional<int64_t> step;
};

// The bytes of a run list, each field as short as its value allows.
Bytes RunList(const std::vector<Run>& runs) {
    Bytes bytes;
    for (const Run& run : runs) {
        size_t lengthSize = 1;
        while (lengthSize < 8 && (run.clusters >> (8 * lengthSize)) != 0)
            ++lengthSize;
        size_t offsetSize = 0;
        if (run.step) {
            offsetSize = 1;
            while (offsetSize < 8) {
                const int64_t low = -(int64_t{1} << (8 * offsetSize - 1));
                if (*run.step >= low && *run.step < -low)
                    break;
                ++offsetSize;
            }
        }
        bytes.push_back(static_cast<uint8_t>(lengthSize | (offsetSize << 4)));
        for (size_t i = 0; i < lengthSize; ++i)
            bytes.push_back(static_cast<uint8_t>(run.clusters >> (8 * i)));
        for (size_t i = 0; i < offsetSize; ++i)
            bytes.push_back(static_cast<uint8_t>(static_cast<uint64_t>(*run.step) >> (8 * i)));
    }
    bytes.push_back(0);
    return bytes;
}

uint64_t Clusters(const std::vector<Run>& runs) {
    uint64_t total = 0;
    for (const Run& run : runs)
        total += run.clusters;
    return total;
}

void PutHeader(NtfsRecordBuilder& builder, uint16_t sequence, uint64_t base, uint32_t number) {
    ByteWriter writer(std::span<uint8_t>(builder.Bytes_(), NtfsMftProbe::kRecordBytes));
    writer.PutU16(16, sequence);
    writer.PutU64(32, base);
    writer.PutU32(44, number);
}

// Record 0 of a $MFT as mkntfs lays it out; the $DATA maps `runs` from VCN 0.
struct MftRecordLayout {
    MftRecordLayout(std::vector<Run> dataRuns, uint64_t allocatedSize, uint64_t size,
                    std::u16string recordName = u"$MFT")
        : runs(std::move(dataRuns)), allocated(allocatedSize), dataSize(size),
          name(std::move(recordName)) {}

    std::vector<Run> runs;
    uint64_t allocated = 0;
    uint64_t dataSize = 0;
    std::u16string name = u"$MFT";
    // An attribute list: resident with these entries, or non-resident in `listRuns`.
    std::optional<Bytes> residentList;
    std::vector<Run> listRuns;
    uint64_t listSize = 0;
};

NtfsRecordBuilder MftBuilder(const MftRecordLayout& layout) {
    NtfsRecordBuilder builder;
    PutHeader(builder, 1, 0, 0);
    builder.StandardInformation(0, 0, 0, 0x06);
    if (layout.residentList)
        builder.Resident(0x20, *layout.residentList);
    else if (!layout.listRuns.empty())
        builder.NonResident(0x20, RunList(layout.listRuns), Clusters(layout.listRuns) * kSector,
                            layout.listSize, layout.listSize);
    builder.FileName(5, layout.name, 3);
    const size_t data = builder.NonResident(0x80, RunList(layout.runs), layout.allocated,
                                            layout.dataSize, layout.dataSize);
    builder.Vcns(data, 0, Clusters(layout.runs) - 1);
    builder.NonResident(0xB0, RunList({{1, 2}}), 4096, 24, 24);
    return builder;
}

Record MftRecord(const MftRecordLayout& layout) {
    return MftBuilder(layout).Build();
}

// Record 1, $MFTMirr, whose one cluster is `cluster`.
Record MirrorRecord(uint64_t cluster, const std::u16string& name = u"$MFTMirr",
                    uint32_t number = 1) {
    NtfsRecordBuilder builder;
    PutHeader(builder, 1, 0, number);
    builder.StandardInformation(0, 0, 0, 0x06);
    builder.FileName(5, name, 3);
    builder.NonResident(0x80, RunList({{1, static_cast<int64_t>(cluster)}}), 4096, 4096, 4096);
    return builder.Build();
}

// An extension record `number` of the $MFT, holding its $DATA from `firstVcn` in `runs`.
Record ExtensionRecord(uint32_t number, uint64_t firstVcn, const std::vector<Run>& runs,
                       uint64_t base = kMftReference) {
    NtfsRecordBuilder builder;
    PutHeader(builder, 1, base, number);
    const size_t data = builder.NonResident(0x80, RunList(runs), 0, 0, 0);
    builder.Vcns(data, firstVcn, firstVcn + Clusters(runs) - 1);
    return builder.Build();
}

// A disk in memory. Reads past its end fail and give zeros; every read is counted.
class MemoryDisk {
public:
    explicit MemoryDisk(uint64_t sectors) : m_bytes(sectors * kSector) {}

    void Put(uint64_t sector, std::span<const uint8_t> bytes) {
        ASSERT_LE(sector * kSector + bytes.size(), m_bytes.size()) << "sector " << sector;
        std::copy(bytes.begin(), bytes.end(),
                  m_bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSector));
    }
    // A record whose halves lie apart, as a record split between two runs is.
    void PutSplit(uint64_t first, uint64_t second, const Record& record) {
        Put(first, std::span<const uint8_t>(record).first(kSector));
        Put(second, std::span<const uint8_t>(record).subspan(kSector));
    }
    void Fill(uint64_t sector, uint64_t count, uint8_t value) {
        std::fill_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSector),
                    count * kSector, value);
    }

    std::span<const uint8_t> At(uint64_t sector) const {
        return std::span<const uint8_t>(m_bytes).subspan(sector * kSector,
                                                         NtfsMftProbe::kRecordBytes);
    }
    NtfsMftProbe::SectorReader Reader() {
        return [this](uint64_t sector, uint32_t count, uint8_t* buffer) {
            ++m_reads;
            std::fill_n(buffer, size_t{count} * kSector, 0);
            const uint64_t total = m_bytes.size() / kSector;
            if (sector >= total || count > total - sector)
                return false;
            std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSector),
                        size_t{count} * kSector, buffer);
            return true;
        };
    }
    std::optional<Placement> Probe(uint64_t sector) {
        return NtfsMftProbe::Probe(At(sector), sector, Reader());
    }
    uint64_t Reads() const { return m_reads; }

private:
    Bytes m_bytes;
    uint64_t m_reads = 0;
};

// Parameterised cases print as their names.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

void ExpectPlacement(const std::optional<Placement>& placement, uint16_t spc, uint64_t mftCluster,
                     uint64_t mftClusters, uint64_t mirrorCluster, uint64_t start) {
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->sectorsPerCluster, spc);
    EXPECT_EQ(placement->mftFirstCluster, mftCluster);
    EXPECT_EQ(placement->mftClusters, mftClusters);
    EXPECT_EQ(placement->mirrorCluster, mirrorCluster);
    EXPECT_EQ(placement->volumeStart, start);
}

// ------------------------------------------------------------------------------------------
// Which sectors begin a $MFT record

struct RecordCase {
    const char* name;
    std::function<void(Record&)> damage;
    bool accepted;
};

class NtfsMftProbeRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(NtfsMftProbeRecordTest, OnlyFixedUpFileRecordsNamedMftAreTaken) {
    Record record = MftRecord({{{47, 4}}, 47 * 4096, 182272});
    GetParam().damage(record);
    EXPECT_EQ(NtfsMftProbe::IsMftRecord(record), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Records, NtfsMftProbeRecordTest,
    ::testing::Values(
        RecordCase{"Sound", [](Record&) {}, true},
        // NTFS 3.0 keeps the update sequence at 0x2A, before the record number field.
        RecordCase{"SequenceAt2A",
                   [](Record& r) {
                       std::copy_n(r.begin() + 0x30, 6, r.begin() + 0x2A);
                       r[4] = 0x2A;
                   },
                   true},
        RecordCase{"SequenceOffsetOther", [](Record& r) { r[4] = 0x28; }, false},
        RecordCase{"NotFile", [](Record& r) { r[3] = 'X'; }, false},
        RecordCase{"FirstSectorEndTorn", [](Record& r) { r[510] ^= 0x01; }, false},
        RecordCase{"SecondSectorEndTorn", [](Record& r) { r[1023] ^= 0x80; }, false},
        RecordCase{"SequenceTooShort", [](Record& r) { r[6] = 2; }, false},
        RecordCase{"SequencePastRecord",
                   [](Record& r) {
                       r[6] = 0xFF;
                       r[7] = 0x01;
                   },
                   false},
        RecordCase{
            "OtherName",
            [](Record& r) {
                NtfsRecordBuilder other = MftBuilder({{{47, 4}}, 47 * 4096, 182272, u"$MFTMirr"});
                r = other.Build();
            },
            false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NtfsMftProbeRecordShortTest, FewerThanARecordsBytesAreNoRecord) {
    const Record record = MftRecord({{{47, 4}}, 47 * 4096, 182272});
    EXPECT_FALSE(NtfsMftProbe::IsMftRecord(std::span<const uint8_t>(record).first(1023)));
    MemoryDisk disk(4096);
    EXPECT_FALSE(
        NtfsMftProbe::Probe(std::span<const uint8_t>(record).first(512), 2080, disk.Reader()));
}

// ------------------------------------------------------------------------------------------
// Placing the volume from a plain $MFT record

struct PlacementCase {
    const char* name;
    uint16_t spc;   // of the volume built
    uint64_t start; // where it begins
    uint64_t mftCluster;
    uint64_t clusters;
    uint64_t allocated; // 0: clusters x spc x 512
    bool placed;
};

class NtfsMftProbePlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(NtfsMftProbePlacementTest, AllocatedSizeGivesTheClusterSizeAndTheStart) {
    const PlacementCase& c = GetParam();
    const uint64_t recordSector = c.start + c.spc * c.mftCluster;
    const uint64_t mirror = c.mftCluster + c.clusters + 50;
    const uint64_t allocated = c.allocated != 0 ? c.allocated : c.clusters * c.spc * kSector;
    // The data size falls short of the allocated size, as on volumes mkntfs makes.
    const uint64_t dataSize = allocated - 2 * NtfsMftProbe::kRecordBytes - kSector;
    MemoryDisk disk(recordSector + 8);
    disk.Put(recordSector,
             MftRecord({{{c.clusters, static_cast<int64_t>(c.mftCluster)}}, allocated, dataSize}));
    disk.Put(recordSector + 2, MirrorRecord(mirror));
    ASSERT_TRUE(NtfsMftProbe::IsMftRecord(disk.At(recordSector)));
    const std::optional<Placement> placement = disk.Probe(recordSector);
    if (c.placed)
        ExpectPlacement(placement, c.spc, c.mftCluster, c.clusters, mirror, c.start);
    else
        EXPECT_FALSE(placement.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, NtfsMftProbePlacementTest,
    ::testing::Values(
        PlacementCase{"FourKiBClusters", 8, 2048, 4, 47, 0, true},
        PlacementCase{"OneSectorClusters", 1, 63, 16, 64, 0, true},
        PlacementCase{"LargestClusters", 512, 100, 4, 1, 0, true},
        PlacementCase{"StartInFirstTrack", 8, 62, 4, 47, 0, false},
        PlacementCase{"ClustersOf1024Sectors", 8, 2048, 4, 47, 47 * 1024 * kSector, false},
        PlacementCase{"ClustersOfThreeSectors", 8, 2048, 4, 47, 47 * 3 * kSector, false},
        PlacementCase{"AllocatedNotWholeSectors", 8, 2048, 4, 47, 47 * 4096 + 100, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct MirrorNameCase {
    const char* name;
    std::u16string recordName;
    uint32_t number;
    bool known;
};

class NtfsMftProbeMirrorNameTest : public ::testing::TestWithParam<MirrorNameCase> {};

TEST_P(NtfsMftProbeMirrorNameTest, RecordOneIsKnownByItsNameOrItsNumber) {
    MemoryDisk disk(4096);
    disk.Put(2080, MftRecord({{{47, 4}}, 47 * 4096, 182272}));
    disk.Put(2082, MirrorRecord(2047, GetParam().recordName, GetParam().number));
    ExpectPlacement(disk.Probe(2080), 8, 4, 47, GetParam().known ? 2047 : 0, 2048);
}

INSTANTIATE_TEST_SUITE_P(Mirrors, NtfsMftProbeMirrorNameTest,
                         ::testing::Values(MirrorNameCase{"ByName", u"$MFTMirr", 0, true},
                                           MirrorNameCase{"ByNumber", u"Other", 1, true},
                                           MirrorNameCase{"Neither", u"Other", 5, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------------------------------
// $MFT records whose $DATA gives no volume

struct DataCase {
    const char* name;
    std::function<NtfsRecordBuilder()> build;
    bool placed;
};

NtfsRecordBuilder MftWithData(const std::function<void(NtfsRecordBuilder&)>& data) {
    NtfsRecordBuilder builder;
    PutHeader(builder, 1, 0, 0);
    builder.StandardInformation(0, 0, 0, 0x06);
    builder.FileName(5, u"$MFT", 3);
    data(builder);
    return builder;
}

// Such a record whose $DATA maps `runs` for VCNs `firstVcn`-`lastVcn`, after `padding` other
// attributes; `change` may then alter the attribute's bytes.
NtfsRecordBuilder MftWithRuns(const Bytes& runs, uint64_t firstVcn, uint64_t lastVcn,
                              size_t padding = 0, uint64_t allocated = 47 * 4096,
                              const std::function<void(uint8_t*)>& change = {}) {
    return MftWithData([&](NtfsRecordBuilder& builder) {
        for (size_t i = 0; i < padding; ++i)
            builder.Raw(0x40, 16);
        const size_t at = builder.NonResident(0x80, runs, allocated, 182272, 182272);
        builder.Vcns(at, firstVcn, lastVcn);
        if (change)
            change(builder.Bytes_() + at);
    });
}

TEST(NtfsMftProbeStartTest, ClustersBeforeTheDiskNeverWrapAround) {
    // The run puts the record at cluster 2^32 - 1 (a four-byte offset read unsigned, as the
    // reader reads a first run's): the volume would begin 2^35 sectors before a record that
    // lies at sector 5000.
    MemoryDisk disk(8192);
    disk.Put(5000, MftWithRuns({0x41, 47, 0xFF, 0xFF, 0xFF, 0xFF, 0}, 0, 46).Build());
    EXPECT_FALSE(disk.Probe(5000).has_value());
    // Cluster 625 would put it at sector 0: before the first track.
    disk.Put(5000, MftRecord({{{47, 625}}, 47 * 4096, 182272}));
    EXPECT_FALSE(disk.Probe(5000).has_value());
    disk.Put(5000, MftRecord({{{47, 617}}, 47 * 4096, 182272}));
    ExpectPlacement(disk.Probe(5000), 8, 617, 47, 0, 64);
}

class NtfsMftProbeDataTest : public ::testing::TestWithParam<DataCase> {};

TEST_P(NtfsMftProbeDataTest, OnlyAnUnnamedNonResidentDataPlacesTheVolume) {
    MemoryDisk disk(4096);
    NtfsRecordBuilder builder = GetParam().build();
    disk.Put(2080, builder.Build());
    ASSERT_TRUE(NtfsMftProbe::IsMftRecord(disk.At(2080)));
    const std::optional<Placement> placement = disk.Probe(2080);
    if (GetParam().placed)
        ExpectPlacement(placement, 8, 4, 47, 0, 2048);
    else
        EXPECT_FALSE(placement.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Records, NtfsMftProbeDataTest,
    ::testing::Values(
        DataCase{"Sound",
                 [] {
                     return MftWithRuns(RunList({{47, 4}}), 0, 46);
                 },
                 true},
        // The walk looks at 20 attributes: $DATA as the 20th is met, as the 21st it is not.
        DataCase{"DataTwentieth",
                 [] {
                     return MftWithRuns(RunList({{47, 4}}), 0, 46, 17);
                 },
                 true},
        DataCase{"DataTwentyFirst",
                 [] {
                     return MftWithRuns(RunList({{47, 4}}), 0, 46, 18);
                 },
                 false},
        DataCase{"Resident",
                 [] {
                     return MftWithData(
                         [](NtfsRecordBuilder& b) { b.Resident(0x80, Bytes(64, 0xAB)); });
                 },
                 false},
        DataCase{"NoData", [] { return MftWithData([](NtfsRecordBuilder&) {}); }, false},
        DataCase{"SparseFirstRun",
                 [] {
                     return MftWithRuns(RunList({{1, {}}, {46, 4}}), 0, 46);
                 },
                 false},
        DataCase{"NamedStream",
                 [] {
                     return MftWithRuns(RunList({{47, 4}}), 0, 46, 0, 47 * 4096,
                                        [](uint8_t* attribute) { attribute[9] = 4; });
                 },
                 false},
        DataCase{"VcnsDisagreeWithRuns",
                 [] {
                     return MftWithRuns(RunList({{47, 4}}), 0, 47);
                 },
                 false},
        DataCase{"NotFromVcnZero",
                 [] {
                     return MftWithRuns(RunList({{47, 4}}), 3, 49);
                 },
                 false},
        DataCase{"RunListWithoutEnd",
                 [] {
                     return MftWithRuns({0x05, 1, 2, 3, 4, 5, 6, 0}, 0, 46);
                 },
                 false},
        DataCase{
            "AllocatedBeyondAnyMft",
            [] {
                const uint64_t clusters = uint64_t{1} << 31;
                return MftWithRuns(RunList({{clusters, 4}}), 0, clusters - 1, 0, clusters * 4096);
            },
            false}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------------------------------
// $MFT records with an attribute list

// One sector per cluster: record 0 at cluster 100 of a volume at sector 1000. The base record
// maps 37 clusters at 100 and 11 at 300, so record 18 has its first half in the last sector of
// the first run and its second at the start of the second. Record 17 holds VCNs 48-63, record
// 18 VCNs 64-79.
class SplitListVolume {
public:
    static constexpr uint64_t kStart = 1000;
    static constexpr uint64_t kRecord = kStart + 100;
    static constexpr uint64_t kClusters = 80;

    SplitListVolume() : m_disk(2048) {
        m_list = {{0x10, 0}, {0x30, 0}, {0x80, 0}, {0x80, 17}, {0x80, 18}, {0xB0, 0}};
        m_extensions = {ExtensionRecord(17, 48, {{16, 600}}), ExtensionRecord(18, 64, {{16, 700}})};
    }

    std::vector<std::pair<uint8_t, uint32_t>>& List() { return m_list; }
    std::vector<Record>& Extensions() { return m_extensions; }

    MemoryDisk& Lay(uint64_t allocated = kClusters * kSector) {
        MftRecordLayout layout{{{37, 100}, {11, 200}}, allocated, allocated - 700};
        layout.residentList = NtfsRecordBuilder::AttributeListEntries(m_list);
        m_disk.Put(kRecord, MftRecord(layout));
        m_disk.Put(kRecord + 2, MirrorRecord(500));
        m_disk.Put(kRecord + 34, m_extensions[0]);
        // What follows the first half on the disk is no part of the record.
        m_disk.Fill(kRecord + 37, 1, 0xEE);
        m_disk.PutSplit(kRecord + 36, kStart + 300, m_extensions[1]);
        return m_disk;
    }

private:
    MemoryDisk m_disk;
    std::vector<std::pair<uint8_t, uint32_t>> m_list;
    std::vector<Record> m_extensions;
};

TEST(NtfsMftProbeListTest, ExtensionsInTheFirstRunAndAcrossTwoRunsAddTheirRuns) {
    SplitListVolume volume;
    MemoryDisk& disk = volume.Lay();
    ExpectPlacement(disk.Probe(SplitListVolume::kRecord), 1, 100, SplitListVolume::kClusters, 500,
                    SplitListVolume::kStart);
}

TEST(NtfsMftProbeListTest, ClusterSizeIsTheOneThatPlacesTheListedRecords) {
    // Four sectors per cluster: the base record maps 4 clusters at 50 and 8 at 200, record 20
    // lies in the second run and holds VCNs 12-27; the list is non-resident at cluster 300.
    // At 1 or 2 sectors per cluster the runs end before record 20 and the list lies elsewhere.
    constexpr uint64_t kStart = 4096;
    constexpr uint64_t kRecord = kStart + 4 * 50;
    MemoryDisk disk(kStart + 4 * 400);
    const Bytes list =
        NtfsRecordBuilder::AttributeListEntries({{0x10, 0}, {0x30, 0}, {0x80, 0}, {0x80, 20}});
    MftRecordLayout layout{{{4, 50}, {8, 150}}, 28 * 4 * kSector, 28 * 4 * kSector - 1536};
    layout.listRuns = {{1, 300}};
    layout.listSize = list.size();
    disk.Put(kRecord, MftRecord(layout));
    disk.Put(kRecord + 2, MirrorRecord(900));
    disk.Put(kStart + 4 * 206, ExtensionRecord(20, 12, {{16, 260}}));
    disk.Put(kStart + 4 * 300, list);
    ExpectPlacement(disk.Probe(kRecord), 4, 50, 28, 900, kStart);
}

struct ListCase {
    const char* name;
    std::function<void(SplitListVolume&)> change;
    bool placed;
};

class NtfsMftProbeHostileListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(NtfsMftProbeHostileListTest, ListedRecordsMustMakeOneData) {
    SplitListVolume volume;
    GetParam().change(volume);
    MemoryDisk& disk = volume.Lay();
    const std::optional<Placement> placement = disk.Probe(SplitListVolume::kRecord);
    if (GetParam().placed)
        ExpectPlacement(placement, 1, 100, SplitListVolume::kClusters, 500,
                        SplitListVolume::kStart);
    else
        EXPECT_FALSE(placement.has_value());
    // Ten cluster sizes, each reading the (at most three) records the list names in two halves
    // at most; then record 1 and the mirror check.
    EXPECT_LE(disk.Reads(), 10u * 3 * 2 + 3);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, NtfsMftProbeHostileListTest,
    ::testing::Values(
        ListCase{"Sound", [](SplitListVolume&) {}, true},
        ListCase{"RecordNamedTwiceCountsOnce",
                 [](SplitListVolume& v) {
                     v.List().insert(v.List().begin() + 4, {0x80, 17});
                 },
                 true},
        // The base record's extent, which places the volume, must count.
        ListCase{"BaseNotListed",
                 [](SplitListVolume& v) {
                     v.List() = {{0x10, 0}, {0x30, 0}, {0x80, 17}, {0x80, 18}};
                     v.Extensions()[0] = ExtensionRecord(17, 0, {{64, 600}});
                 },
                 false},
        ListCase{"BaseNotFirst", [](SplitListVolume& v) { std::swap(v.List()[2], v.List()[3]); },
                 false},
        ListCase{"RecordPastTheRuns",
                 [](SplitListVolume& v) {
                     v.List()[4] = {0x80, 5000};
                 },
                 false},
        ListCase{"RecordOfNothing",
                 [](SplitListVolume& v) {
                     v.List()[4] = {0x80, 12};
                 },
                 false},
        ListCase{"ExtensionOfAnotherRecord",
                 [](SplitListVolume& v) {
                     v.Extensions()[0] = ExtensionRecord(17, 48, {{16, 600}}, kMftReference | 5);
                 },
                 false},
        // A base record names no base: its reference is 0, which is no extension of record 0.
        ListCase{"BaseRecordListed",
                 [](SplitListVolume& v) {
                     v.Extensions()[0] = ExtensionRecord(17, 48, {{16, 600}}, 0);
                 },
                 false},
        ListCase{"ExtensionOfAnOlderMft",
                 [](SplitListVolume& v) {
                     v.Extensions()[0] = ExtensionRecord(17, 48, {{16, 600}}, uint64_t{2} << 48);
                 },
                 false},
        ListCase{"ExtensionNumberedOtherwise",
                 [](SplitListVolume& v) {
                     v.Extensions()[0] = ExtensionRecord(19, 48, {{16, 600}});
                 },
                 false},
        ListCase{"VcnsLeaveAGap",
                 [](SplitListVolume& v) {
                     v.Extensions()[1] = ExtensionRecord(18, 65, {{16, 700}});
                 },
                 false},
        ListCase{"VcnsOverlap",
                 [](SplitListVolume& v) {
                     v.Extensions()[1] = ExtensionRecord(18, 60, {{16, 700}});
                 },
                 false},
        ListCase{"ListedOutOfOrder",
                 [](SplitListVolume& v) { std::swap(v.List()[3], v.List()[4]); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NtfsMftProbeListTest, SecondHalfIsReadFromTheNextRun) {
    SplitListVolume volume;
    MemoryDisk& disk = volume.Lay();
    // Without the second half where the second run begins, record 18 is no record.
    disk.Fill(SplitListVolume::kStart + 300, 1, 0);
    EXPECT_FALSE(disk.Probe(SplitListVolume::kRecord).has_value());
}

TEST(NtfsMftProbeListTest, RecordsOffTheDiskAreNotTrusted) {
    SplitListVolume volume;
    MemoryDisk& disk = volume.Lay();
    // The second run moved past the disk's end: record 18's second half cannot be read.
    MftRecordLayout layout{{{37, 100}, {11, 0x7FFFFF}}, 80 * kSector, 80 * kSector - 700};
    layout.residentList = NtfsRecordBuilder::AttributeListEntries(volume.List());
    disk.Put(SplitListVolume::kRecord, MftRecord(layout));
    EXPECT_FALSE(disk.Probe(SplitListVolume::kRecord).has_value());
}

// A non-resident list of `count` + 1 $DATA entries (record 0, then 2, 3, ...), each extension
// holding one cluster; the base run is long enough to map them all.
struct LongList {
    static constexpr uint64_t kStart = 6000;
    static constexpr uint64_t kMftCluster = 10;
    static constexpr uint64_t kBaseClusters = 3200;
    static constexpr uint64_t kListCluster = 3300;

    explicit LongList(uint32_t count, uint64_t allocatedClusters)
        : disk(kStart + kListCluster + 200) {
        std::vector<std::pair<uint8_t, uint32_t>> entries = {{0x10, 0}, {0x30, 0}, {0x80, 0}};
        for (uint32_t i = 0; i < count; ++i) {
            entries.push_back({0x80, 2 + i});
            disk.Put(kStart + kMftCluster + 2 * (2 + i),
                     ExtensionRecord(2 + i, kBaseClusters + i, {{1, 5000}}));
        }
        const Bytes list = NtfsRecordBuilder::AttributeListEntries(entries);
        MftRecordLayout layout{{{kBaseClusters, kMftCluster}},
                               allocatedClusters * kSector,
                               allocatedClusters * kSector - 100};
        layout.listRuns = {{(list.size() + kSector - 1) / kSector, kListCluster}};
        layout.listSize = list.size();
        disk.Put(kStart + kMftCluster, MftRecord(layout));
        disk.Put(kStart + kListCluster, list);
    }

    MemoryDisk disk;
};

TEST(NtfsMftProbeListTest, LongListsAreReadOnlyAsFarAsTheyAreTaken) {
    LongList within(1000, LongList::kBaseClusters + 1000);
    ExpectPlacement(within.disk.Probe(LongList::kStart + LongList::kMftCluster), 1,
                    LongList::kMftCluster, LongList::kBaseClusters + 1000, 0, LongList::kStart);

    // 1500 extents: no more than 1024 records are read for them, and they do not hold the
    // allocated size.
    LongList beyond(1500, LongList::kBaseClusters + 1500);
    EXPECT_FALSE(beyond.disk.Probe(LongList::kStart + LongList::kMftCluster).has_value());
    // Per cluster size: the list (64 KiB at most, a sector a read at worst) and 1024 records in
    // two halves at most; then record 1 and the mirror check.
    EXPECT_LE(beyond.disk.Reads(), 10u * (128 + 2 * 1024) + 3);
}

// ------------------------------------------------------------------------------------------
// The mirror's copy of record 0

struct MirrorCase {
    const char* name;
    uint64_t start;
    uint64_t mftCluster;
    uint64_t mirrorCluster;
};

class NtfsMftProbeMirrorTest : public ::testing::TestWithParam<MirrorCase> {};

TEST_P(NtfsMftProbeMirrorTest, MirrorsCopyOfRecordZeroPlacesNoVolume) {
    const MirrorCase& c = GetParam();
    const uint64_t real = c.start + 8 * c.mftCluster;
    const uint64_t copy = c.start + 8 * c.mirrorCluster;
    MemoryDisk disk(c.start + 8 * 400);
    const Record record0 =
        MftRecord({{{47, static_cast<int64_t>(c.mftCluster)}}, 47 * 4096, 182272});
    const Record record1 = MirrorRecord(c.mirrorCluster);
    for (const uint64_t at : {real, copy}) {
        disk.Put(at, record0);
        disk.Put(at + 2, record1);
    }
    ExpectPlacement(disk.Probe(real), 8, c.mftCluster, 47, c.mirrorCluster, c.start);
    EXPECT_FALSE(disk.Probe(copy).has_value());

    // Without the real $MFT the copy is all there is: it places the volume its own position
    // implies.
    disk.Fill(real, 2, 0);
    ExpectPlacement(disk.Probe(copy), 8, c.mftCluster, 47, c.mirrorCluster,
                    copy - 8 * c.mftCluster);
}

INSTANTIATE_TEST_SUITE_P(Orders, NtfsMftProbeMirrorTest,
                         ::testing::Values(MirrorCase{"MirrorAfterMft", 2048, 4, 100},
                                           MirrorCase{"MirrorBeforeMft", 4096, 300, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------------------------------
// Volumes mkntfs made, placed 2048 sectors into a disk

class NtfsMftProbeFixtureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsMftProbeFixtureTest, ScanningEverySectorPlacesTheVolumeOnce) {
    constexpr uint64_t kOffset = 2048;
    TempDir dir;
    const std::filesystem::path path = UnpackFixture(std::string(GetParam()) + ".img", dir);
    ASSERT_FALSE(path.empty());
    std::ifstream file(path, std::ios::binary);
    const Bytes image{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_GE(image.size(), 16 * kSector);
    // The boot sector mkntfs wrote is the oracle.
    const ByteReader boot(image);
    uint8_t spc = 0;
    uint64_t mftCluster = 0;
    uint64_t mirrorCluster = 0;
    ASSERT_TRUE(boot.ReadU8(13, spc) && boot.ReadU64(48, mftCluster) &&
                boot.ReadU64(56, mirrorCluster));

    MemoryDisk disk(kOffset + image.size() / kSector + 1);
    disk.Put(kOffset, image);
    std::vector<uint64_t> records;
    std::vector<Placement> placements;
    for (uint64_t sector = 0; sector + 2 <= kOffset + image.size() / kSector; ++sector) {
        if (!NtfsMftProbe::IsMftRecord(disk.At(sector)))
            continue;
        records.push_back(sector);
        if (const std::optional<Placement> placement = disk.Probe(sector))
            placements.push_back(*placement);
    }
    // The $MFT's record 0 and the mirror's copy of it; only the first places a volume.
    EXPECT_EQ(records.size(), 2u);
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_EQ(placements[0].volumeStart, kOffset);
    EXPECT_EQ(placements[0].sectorsPerCluster, spc);
    EXPECT_EQ(placements[0].mftFirstCluster, mftCluster);
    EXPECT_EQ(placements[0].mirrorCluster, mirrorCluster);
    EXPECT_GT(placements[0].mftClusters, 0u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, NtfsMftProbeFixtureTest,
                         ::testing::Values("ntfs_volume", "ntfs_mirror_first",
                                           "ntfs_many_records"));

} // namespace
