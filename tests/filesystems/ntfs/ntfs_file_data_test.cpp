// NtfsFileData over the NTFS fixtures: every file of a manifest, read piece by piece, must hash
// as the manifest says and equal what sleuthkit's icat reads; compressed files come in units,
// other files in clusters, resident files in one piece; unreadable sectors and clusters beyond
// the volume give zeros, a failed piece and an incomplete file.
#include "filesystems/ntfs/ntfs_file_data.h"

#include "diskio/records/drive_node.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_environment.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_messages.h"
#include "platform/text/utf_conversion.h"
#include "tests/filesystems/ntfs/ntfs_memory_volume.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kDriveLetter = 9; // J:, no other test of this folder maps it
constexpr uint64_t kUnitClusters = NtfsFileData::kUnitClusters;

struct Gathered {
    Bytes bytes;
    std::vector<RecoveredFileData::Piece> pieces; // data pointers are stale after Next
    std::vector<Bytes> contents;
};

// Every piece Next gives, at most `limit` of them.
Gathered Gather(RecoveredFileData& data, size_t limit = 1u << 20) {
    Gathered all;
    RecoveredFileData::Piece piece;
    while (all.pieces.size() < limit && data.Next(piece)) {
        all.pieces.push_back(piece);
        all.contents.emplace_back(piece.data, piece.data + piece.length);
        all.bytes.insert(all.bytes.end(), piece.data, piece.data + piece.length);
    }
    return all;
}

std::optional<Bytes> Icat(const std::filesystem::path& image, uint64_t record) {
    return CommandOutput("icat " + ShellQuote(image.string()) + " " + std::to_string(record) +
                         " 2>/dev/null");
}

bool HaveIcat() {
    return std::system("command -v icat >/dev/null 2>&1") == 0;
}

// A fixture image as drive J:, scanned once by an NTFS reader, with the items it found by path.
class NtfsFileDataTest : public ::testing::Test {
protected:
    bool Open(const std::string& fixture) {
        m_fixture = fixture;
        m_image = UnpackFixture(fixture + ".img", m_dir);
        if (m_image.empty())
            return false;
        m_sectors = std::filesystem::file_size(m_image) / 512;
        LogicalDriveInfo info;
        info.drive = kDriveLetter;
        info.disk = kDriveLetter;
        info.totalSectors = m_sectors;
        info.lastSector = m_sectors;
        info.partitionType = 7;
        m_node.number = kDriveLetter;
        m_node.kind = DriveKind::LogicalDrive;
        m_node.detail = info;
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
        m_window.SetHandler([this](JobMessage& message) -> intptr_t {
            if (message.id == WM_ADD_FOUND_ITEM)
                if (const FoundItemPayload* payload = message.Get<FoundItemPayload>())
                    m_items.push_back({*payload->item, payload->name});
            return 0;
        });
        Readable(std::nullopt);
        m_volume = std::make_unique<CNtfsFileSystem>(m_environment);
        if (!m_volume->SetVolumeFromDrive(0))
            return false;
        m_volume->Scan();
        return m_volume->SectorsPerCluster() != 0 && !m_items.empty();
    }

    // Sectors from `sectors` on fail to read (none with nullopt); the volume keeps its size.
    void Readable(std::optional<uint64_t> sectors) {
        DeviceTable::Process().SetDriveLetter(kDriveLetter,
                                              DeviceSource{m_image.string(), 0, sectors});
        // The reader keeps its device open: the next read opens the new mapping.
        if (m_volume)
            m_volume->Source().Close();
    }

    std::vector<ManifestEntry> Manifest() const {
        return ReadManifest(FixturesFolder() / (m_fixture + ".manifest"));
    }

    // The item found at this path ("/Packed/Text.txt"); the test fails without one.
    FoundItem Item(const std::string& path) const {
        for (const auto& [item, name] : m_items)
            if (PathOf(item, name) == path)
                return item;
        ADD_FAILURE() << "the scan found nothing at " << path;
        return FoundItem{};
    }
    bool Has(const std::string& path) const {
        for (const auto& [item, name] : m_items)
            if (PathOf(item, name) == path)
                return true;
        return false;
    }

    std::string PathOf(const FoundItem& item, const std::u16string& name) const {
        std::string path = "/" + Utf16ToUtf8(name);
        uint64_t parent = item.parentId;
        for (int depth = 0; parent != CNtfsFileSystem::kRootRecord && depth < 64; ++depth) {
            const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const auto& seen) {
                return seen.first.entryId == parent && seen.first.IsFolder();
            });
            if (it == m_items.end())
                return "<lost>" + path;
            path = "/" + Utf16ToUtf8(it->second) + path;
            parent = it->first.parentId;
        }
        return path;
    }

    uint64_t ClusterBytes() const { return uint64_t{m_volume->SectorsPerCluster()} * 512; }

    // Absolute start of each allocated run of the item, in order.
    std::vector<uint64_t> AllocatedRunStarts(const FoundItem& item) {
        NtfsDataRuns data;
        EXPECT_TRUE(m_volume->ReadDataRuns(item, data));
        std::vector<NtfsRunEntry> runs = data.runs;
        for (const NtfsCompressedRunEntry& entry : data.compressed)
            runs.push_back(entry.run);
        std::vector<uint64_t> starts;
        for (const auto& start : m_volume->RunStartClusters(runs))
            if (start)
                starts.push_back(*start);
        return starts;
    }

    // Checks the file at `path` read whole: the manifest's hash, icat's bytes, the pieces'
    // count and sizes (`pieceBytes` each but the last).
    void ExpectWholeFile(const ManifestEntry& entry, uint64_t pieceBytes, bool checkIcat) {
        SCOPED_TRACE(entry.path);
        const FoundItem item = Item(entry.path);
        NtfsFileData data(*m_volume, item);
        ASSERT_TRUE(data.Available());
        const uint32_t counted = data.PieceCount();
        const Gathered all = Gather(data);
        EXPECT_EQ(all.pieces.size(), counted);
        EXPECT_TRUE(data.Complete());
        EXPECT_EQ(all.bytes.size(), entry.size);
        EXPECT_EQ(Sha256Hex(all.bytes), entry.sha256);
        for (size_t i = 0; i < all.pieces.size(); ++i) {
            EXPECT_FALSE(all.pieces[i].failed) << "piece " << i;
            if (pieceBytes != 0 && i + 1 < all.pieces.size()) {
                EXPECT_EQ(all.pieces[i].length, pieceBytes) << "piece " << i;
            }
        }
        if (checkIcat) {
            const std::optional<Bytes> icat = Icat(m_image, item.entryId);
            ASSERT_TRUE(icat.has_value());
            EXPECT_TRUE(*icat == all.bytes) << "differs from icat";
        }
    }

    std::string m_fixture;
    TempDir m_dir;
    std::filesystem::path m_image;
    uint64_t m_sectors = 0;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    DriveNode m_node;
    ScanEnvironment m_environment;
    std::unique_ptr<CNtfsFileSystem> m_volume;
    std::vector<std::pair<FoundItem, std::u16string>> m_items;
};

// --- whole files ---------------------------------------------------------------------------

TEST_F(NtfsFileDataTest, EveryFileOfThePlainVolumeReadsBackAsTheManifestAndIcatSay) {
    ASSERT_TRUE(Open("ntfs_volume"));
    const bool icat = HaveIcat();
    size_t checked = 0;
    for (const ManifestEntry& entry : Manifest()) {
        // Deleted files are all intact on this volume; the ones the scan lists count too.
        if (entry.kind != "file" || (entry.state != "present" && !Has(entry.path)))
            continue;
        const FoundItem item = Item(entry.path);
        NtfsDataRuns runs;
        ASSERT_TRUE(m_volume->ReadDataRuns(item, runs)) << entry.path;
        const uint64_t pieceBytes = runs.resident       ? 0
                                    : runs.isCompressed ? ClusterBytes() * kUnitClusters
                                                        : ClusterBytes();
        ExpectWholeFile(entry, pieceBytes, icat && entry.state == "present");
        ++checked;
    }
    EXPECT_GT(checked, 90u);
}

TEST_F(NtfsFileDataTest, FilesWithAttributeListsAndSmallUnitsReadBackWhole) {
    // 512-byte clusters: units of 8 KiB; runs spread over extension records.
    ASSERT_TRUE(Open("ntfs_many_records"));
    const bool icat = HaveIcat();
    size_t checked = 0;
    for (const ManifestEntry& entry : Manifest()) {
        if (entry.kind != "file" || entry.state != "present" || !Has(entry.path))
            continue;
        const uint64_t pieceBytes = entry.path.starts_with("/Compressed/")
                                        ? ClusterBytes() * kUnitClusters
                                        : (entry.size > 700 ? ClusterBytes() : 0);
        ExpectWholeFile(entry, pieceBytes, icat);
        ++checked;
    }
    EXPECT_TRUE(Has("/Fragmented.txt"));
    EXPECT_TRUE(Has("/Compressed/Mixed.bin"));
    EXPECT_GE(checked, 4u);
}

TEST_F(NtfsFileDataTest, EveryFileOfTheCompressedVolumeReadsBackAsTheManifestAndIcatSay) {
    ASSERT_TRUE(Open("ntfs_compressed"));
    const bool icat = HaveIcat();
    size_t checked = 0;
    for (const ManifestEntry& entry : Manifest()) {
        if (entry.kind != "file")
            continue;
        const bool packed = entry.path.starts_with("/Packed/");
        const uint64_t pieceBytes = packed ? ClusterBytes() * kUnitClusters
                                           : (entry.path == "/README.txt" ? 0 : ClusterBytes());
        // The deleted compressed file is intact: it must read back whole too.
        ExpectWholeFile(entry, pieceBytes, icat && entry.state == "present");
        ++checked;
    }
    EXPECT_EQ(checked, 8u);
}

TEST_F(NtfsFileDataTest, CompressedFilesComeOnePiecePerUnit) {
    ASSERT_TRUE(Open("ntfs_compressed"));
    const uint64_t unit = ClusterBytes() * kUnitClusters;
    ASSERT_EQ(unit, 65536u);
    const std::map<std::string, std::vector<size_t>> expected = {
        // Three packed units and a short one packed into one cluster.
        {"/Packed/Text.txt", {65536, 65536, 65536, 8292}},
        // A unit stored raw, and a short last unit stored raw in nine clusters.
        {"/Packed/Noise.bin", {65536, 36864}},
        {"/Packed/Small.txt", {10000}},
        // Units 2, 5 and 6 are holes.
        {"/Packed/Holes.bin", {65536, 65536, 65536, 65536, 65536, 65536, 65536}},
    };
    for (const auto& [path, lengths] : expected) {
        SCOPED_TRACE(path);
        NtfsFileData data(*m_volume, Item(path));
        EXPECT_EQ(data.PieceCount(), lengths.size());
        const Gathered all = Gather(data);
        ASSERT_EQ(all.pieces.size(), lengths.size());
        for (size_t i = 0; i < lengths.size(); ++i)
            EXPECT_EQ(all.pieces[i].length, lengths[i]) << "piece " << i;
        EXPECT_TRUE(data.Complete());
        if (path == "/Packed/Holes.bin") {
            for (size_t hole : {2u, 5u, 6u})
                EXPECT_EQ(all.contents[hole], Bytes(unit, 0)) << "unit " << hole;
            EXPECT_NE(all.contents[1], Bytes(unit, 0));
        }
    }
}

TEST_F(NtfsFileDataTest, SparseFileGivesAClusterPerPieceAndZerosPastTheInitializedSize) {
    ASSERT_TRUE(Open("ntfs_volume"));
    const FoundItem item = Item("/Sparse.bin");
    // Whatever the marker's cluster holds past the initialized size must not come through.
    const std::vector<uint64_t> starts = AllocatedRunStarts(item);
    ASSERT_EQ(starts.size(), 1u);
    {
        std::FILE* image = std::fopen(m_image.c_str(), "r+b");
        ASSERT_NE(image, nullptr);
        const Bytes stale(4096 - 60, 0xAB);
        ASSERT_EQ(std::fseek(image, static_cast<long>(starts[0] * 4096 + 60), SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(stale.data(), 1, stale.size(), image), stale.size());
        std::fclose(image);
    }
    NtfsFileData data(*m_volume, item);
    EXPECT_EQ(data.PieceCount(), 2097152u / 4096);
    const Gathered all = Gather(data);
    ASSERT_EQ(all.bytes.size(), 2097152u);
    EXPECT_TRUE(data.Complete());
    // The marker at 1 MiB is the only data; the rest of its cluster lies past the initialized
    // size (1048627) and reads as zeros, as do both holes.
    const std::string marker = "MORWICK SPARSE MARKER: the only data of this file.\n";
    EXPECT_EQ(std::string(all.bytes.begin() + 1048576, all.bytes.begin() + 1048576 + 51), marker);
    Bytes zeroed = all.bytes;
    std::fill(zeroed.begin() + 1048576, zeroed.begin() + 1048576 + 51, 0);
    EXPECT_EQ(zeroed, Bytes(2097152, 0));
}

TEST_F(NtfsFileDataTest, ResidentFileIsOnePiece) {
    ASSERT_TRUE(Open("ntfs_volume"));
    NtfsFileData data(*m_volume, Item("/README.txt"));
    ASSERT_TRUE(data.Available());
    EXPECT_EQ(data.PieceCount(), 1u);
    const Gathered all = Gather(data);
    ASSERT_EQ(all.pieces.size(), 1u);
    EXPECT_EQ(std::string(all.bytes.begin(), all.bytes.end()), "Morwick Wrenfal NTFS fixture.\r\n");
    EXPECT_TRUE(data.Complete());

    // A compressed file too small for its own clusters is resident all the same.
    NtfsFileData tiny(*m_volume, Item("/Compressed/Tiny.txt"));
    EXPECT_EQ(tiny.PieceCount(), 1u);
    EXPECT_EQ(Gather(tiny).bytes.size(), 30u);
    EXPECT_TRUE(tiny.Complete());
}

TEST_F(NtfsFileDataTest, ItemSizeBoundsWhatIsGiven) {
    ASSERT_TRUE(Open("ntfs_volume"));
    FoundItem item = Item("/Several.txt");
    const Bytes whole = Gather(*std::make_unique<NtfsFileData>(*m_volume, item)).bytes;
    ASSERT_EQ(whole.size(), 12388u);

    item.size = 5000;
    NtfsFileData shorter(*m_volume, item);
    EXPECT_EQ(shorter.PieceCount(), 2u);
    const Gathered cut = Gather(shorter);
    EXPECT_EQ(cut.bytes, Bytes(whole.begin(), whole.begin() + 5000));
    EXPECT_TRUE(shorter.Complete());

    // A size beyond the four clusters of its runs: the runs give what they hold, no more,
    // and the file is not complete.
    item.size = 12388 + 3 * 4096;
    NtfsFileData longer(*m_volume, item);
    EXPECT_EQ(longer.PieceCount(), 4u);
    const Gathered all = Gather(longer);
    EXPECT_EQ(all.bytes.size(), 4u * 4096);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), all.bytes.begin()));
    EXPECT_FALSE(longer.Complete());
}

TEST_F(NtfsFileDataTest, UnknownRecordIsNotAvailable) {
    ASSERT_TRUE(Open("ntfs_volume"));
    FoundItem item;
    item.entryId = 1000000; // far past the $MFT
    item.size = 5000;
    item.attributes = 0x20;
    NtfsFileData data(*m_volume, item);
    EXPECT_FALSE(data.Available());
    EXPECT_EQ(data.PieceCount(), 0u);
    RecoveredFileData::Piece piece;
    EXPECT_FALSE(data.Next(piece));
    EXPECT_FALSE(data.Complete());
}

// --- items found by signature --------------------------------------------------------------

TEST_F(NtfsFileDataTest, ContiguousItemReadsConsecutiveClustersFromItsFirst) {
    ASSERT_TRUE(Open("ntfs_volume"));
    const FoundItem file = Item("/Several.txt");
    const ClusterList list = m_volume->GetFileClusters(file);
    ASSERT_EQ(list.clusters.size(), 4u);
    for (size_t i = 1; i < list.clusters.size(); ++i)
        ASSERT_EQ(list.clusters[i], list.clusters[0] + i) << "the fixture's file is in one run";
    FoundItem found;
    found.entryId = 0;
    found.firstCluster = list.clusters[0];
    found.size = file.size;
    found.contiguousData = 1;
    NtfsFileData data(*m_volume, found);
    ASSERT_TRUE(data.Available());
    EXPECT_EQ(data.PieceCount(), 4u);
    const Gathered all = Gather(data);
    EXPECT_EQ(all.bytes, Gather(*std::make_unique<NtfsFileData>(*m_volume, file)).bytes);
    EXPECT_TRUE(data.Complete());
}

TEST_F(NtfsFileDataTest, AFileEndsWhereTheVolumeEnds) {
    ASSERT_TRUE(Open("ntfs_volume"));
    const uint64_t volumeClusters = m_volume->TotalSectors() / m_volume->SectorsPerCluster();
    FoundItem found;
    found.firstCluster = volumeClusters - 1;
    // A damaged size: far more than the volume holds after the first cluster.
    found.size = uint64_t{1} << 40;
    found.contiguousData = 1;
    NtfsFileData data(*m_volume, found);
    ASSERT_TRUE(data.Available());
    EXPECT_EQ(data.PieceCount(), 1u);
    const Gathered all = Gather(data);
    ASSERT_EQ(all.pieces.size(), 1u);
    EXPECT_FALSE(all.pieces[0].failed);
    EXPECT_EQ(all.pieces[0].length, 4096u);
    EXPECT_FALSE(data.Complete());

    found.firstCluster = volumeClusters + 5;
    NtfsFileData outside(*m_volume, found);
    EXPECT_EQ(outside.PieceCount(), 0u);
    EXPECT_EQ(Gather(outside).pieces.size(), 0u);
    EXPECT_FALSE(outside.Complete());
}

// --- damaged sectors -----------------------------------------------------------------------

TEST_F(NtfsFileDataTest, UnreadableSectorsReadAsZerosInAFailedPiece) {
    ASSERT_TRUE(Open("ntfs_volume"));
    const FoundItem item = Item("/Several.txt");
    const Bytes whole = Gather(*std::make_unique<NtfsFileData>(*m_volume, item)).bytes;
    const std::vector<uint64_t> starts = AllocatedRunStarts(item);
    ASSERT_FALSE(starts.empty());
    const uint64_t second = starts[0] + 1;
    // Three sectors of the second cluster can still be read; nothing after them.
    Readable(second * 8 + 3);

    NtfsFileData data(*m_volume, item);
    ASSERT_TRUE(data.Available());
    const Gathered all = Gather(data);
    ASSERT_EQ(all.pieces.size(), 4u);
    EXPECT_FALSE(all.pieces[0].failed);
    EXPECT_EQ(all.contents[0], Bytes(whole.begin(), whole.begin() + 4096));
    EXPECT_TRUE(all.pieces[1].failed);
    EXPECT_FALSE(all.pieces[1].error.isSector);
    EXPECT_EQ(all.pieces[1].error.number, second);
    Bytes expected(whole.begin() + 4096, whole.begin() + 8192);
    std::fill(expected.begin() + 3 * 512, expected.end(), 0);
    EXPECT_EQ(all.contents[1], expected);
    for (size_t i = 2; i < 4; ++i) {
        EXPECT_TRUE(all.pieces[i].failed) << i;
        EXPECT_EQ(all.pieces[i].error.number, second + i - 1);
        EXPECT_EQ(all.contents[i], Bytes(all.pieces[i].length, 0)) << i;
    }
    EXPECT_EQ(all.bytes.size(), whole.size());
    EXPECT_FALSE(data.Complete());
}

// Big.log lies in runs of many clusters, read a block at a time: where the volume stops being
// readable inside a run, the clusters before it still come whole and each one after it is a
// failed piece of its own, as when every cluster was read on its own.
TEST_F(NtfsFileDataTest, AnUnreadableSectorInsideARunFailsOnlyTheClustersFromItsOwn) {
    ASSERT_TRUE(Open("ntfs_volume"));
    const FoundItem item = Item("/Big.log");
    const Bytes whole = Gather(*std::make_unique<NtfsFileData>(*m_volume, item)).bytes;
    const std::optional<ClusterList> list = NtfsFileData(*m_volume, item).Clusters(1u << 20);
    ASSERT_TRUE(list.has_value());
    const std::vector<uint32_t>& clusters = list->clusters;
    const uint64_t spc = m_volume->SectorsPerCluster();
    const uint64_t clusterBytes = ClusterBytes();
    // Past the file's middle, a cluster with neighbours on both sides in the same run.
    size_t inside = clusters.size() / 2;
    while (inside + 1 < clusters.size() && !(clusters[inside - 1] + 1 == clusters[inside] &&
                                             clusters[inside] + 1 == clusters[inside + 1]))
        ++inside;
    ASSERT_LT(inside + 1, clusters.size());
    for (const uint64_t inCluster : {uint64_t{0}, uint64_t{3}}) {
        SCOPED_TRACE(inCluster);
        const uint64_t limit = clusters[inside] * spc + inCluster;
        Readable(limit);
        NtfsFileData data(*m_volume, item);
        const Gathered all = Gather(data);
        Readable(std::nullopt);
        ASSERT_EQ(all.pieces.size(), clusters.size());
        for (size_t i = 0; i < clusters.size(); ++i) {
            const uint64_t first = uint64_t{clusters[i]} * spc;
            const size_t at = static_cast<size_t>(i * clusterBytes);
            Bytes expected(whole.begin() + static_cast<std::ptrdiff_t>(at),
                           whole.begin() + static_cast<std::ptrdiff_t>(at + all.pieces[i].length));
            const bool readable = first + spc <= limit;
            if (!readable) {
                const size_t kept = static_cast<size_t>(limit > first ? (limit - first) * 512 : 0);
                std::fill(expected.begin() +
                              static_cast<std::ptrdiff_t>(std::min(kept, expected.size())),
                          expected.end(), uint8_t{0});
            }
            EXPECT_EQ(all.pieces[i].failed, !readable) << i;
            if (!readable) {
                EXPECT_FALSE(all.pieces[i].error.isSector) << i;
                EXPECT_EQ(all.pieces[i].error.number, clusters[i]) << i;
            }
            EXPECT_EQ(all.contents[i], expected) << i;
        }
        EXPECT_FALSE(data.Complete());
    }
}

TEST_F(NtfsFileDataTest, UnreadableCompressedUnitIsZerosInAFailedPiece) {
    ASSERT_TRUE(Open("ntfs_compressed"));
    const FoundItem item = Item("/Packed/Text.txt");
    const Bytes whole = Gather(*std::make_unique<NtfsFileData>(*m_volume, item)).bytes;
    ASSERT_EQ(whole.size(), 204900u);
    // Runs: unit 0 packed at starts[0], unit 1 at starts[1], and so on.
    const std::vector<uint64_t> starts = AllocatedRunStarts(item);
    ASSERT_GE(starts.size(), 2u);
    ASSERT_GT(starts[1], starts[0]);
    {
        // Unit 1's clusters wholly unreadable: its piece is zeros, marked at its first sector.
        Readable(starts[1] * 8);
        NtfsFileData data(*m_volume, item);
        const Gathered all = Gather(data);
        ASSERT_EQ(all.pieces.size(), 4u);
        EXPECT_FALSE(all.pieces[0].failed);
        EXPECT_EQ(all.contents[0], Bytes(whole.begin(), whole.begin() + 65536));
        EXPECT_TRUE(all.pieces[1].failed);
        EXPECT_TRUE(all.pieces[1].error.isSector);
        EXPECT_EQ(all.pieces[1].error.number, starts[1] * 8);
        EXPECT_EQ(all.contents[1], Bytes(65536, 0));
        EXPECT_FALSE(data.Complete());
    }
    {
        // Two sectors of it readable: the piece fails at the third.
        Readable(starts[1] * 8 + 2);
        NtfsFileData data(*m_volume, item);
        const Gathered all = Gather(data);
        ASSERT_EQ(all.pieces.size(), 4u);
        EXPECT_TRUE(all.pieces[1].failed);
        EXPECT_TRUE(all.pieces[1].error.isSector);
        EXPECT_EQ(all.pieces[1].error.number, starts[1] * 8 + 2);
        EXPECT_FALSE(data.Complete());
    }
}

TEST_F(NtfsFileDataTest, CorruptPackedUnitIsZerosInAFailedPiece) {
    ASSERT_TRUE(Open("ntfs_compressed"));
    const FoundItem item = Item("/Packed/Small.txt");
    const std::vector<uint64_t> starts = AllocatedRunStarts(item);
    ASSERT_FALSE(starts.empty());
    // A reference before the chunk's start as the first item of the packed cluster.
    {
        std::FILE* image = std::fopen(m_image.c_str(), "r+b");
        ASSERT_NE(image, nullptr);
        const uint8_t chunk[] = {0x03, 0xB0, 0x01, 0x00, 0x10, 0x00, 0x00};
        ASSERT_EQ(std::fseek(image, static_cast<long>(starts[0] * 4096), SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(chunk, 1, sizeof chunk, image), sizeof chunk);
        std::fclose(image);
    }
    NtfsFileData data(*m_volume, item);
    const Gathered all = Gather(data);
    ASSERT_EQ(all.pieces.size(), 1u);
    EXPECT_TRUE(all.pieces[0].failed);
    EXPECT_TRUE(all.pieces[0].error.isSector);
    EXPECT_EQ(all.pieces[0].error.number, starts[0] * 8);
    EXPECT_EQ(all.contents[0], Bytes(10000, 0));
    EXPECT_FALSE(data.Complete());
}

} // namespace

// A record claiming a hole of 4 TiB gives no more zeros than its volume could hold, and says
// the file is incomplete.
TEST(NtfsFileDataBoundsTest, HolesGiveNoMoreThanTheVolumeHolds) {
    NtfsMemoryVolume memory("ntfs_volume");
    ASSERT_TRUE(memory.Ready());
    const FoundItem item = memory.OpenWithHugeHole("ntfs_volume", "Sparse.bin", uint64_t{1} << 42);
    ASSERT_NE(item.entryId, 0u);
    CNtfsFileSystem& volume = memory.Volume();
    NtfsFileData data(volume, item);
    ASSERT_TRUE(data.Available());
    const uint64_t volumeClusters = volume.TotalSectors() / volume.SectorsPerCluster();
    EXPECT_GT(data.PieceCount(), 0u);
    EXPECT_LE(data.PieceCount(), volumeClusters);
    RecoveredFileData::Piece piece;
    uint64_t given = 0;
    while (data.Next(piece))
        given += piece.length;
    EXPECT_LE(given, volume.TotalSectors() * 512);
    EXPECT_FALSE(data.Complete());
}
