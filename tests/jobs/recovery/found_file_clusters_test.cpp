// The cluster lists the viewers read found files through: every present file of FAT and NTFS
// fixtures, read sector by sector from the image at the sectors its list and numbering give
// (as the viewer computes them), must hash as the fixture's manifest says; the fragmented
// file's list is the one its fixture script laid down; holes are marked, resident data has no
// list, raw-search items list absolute sectors.
#include "jobs/recovery/found_file_clusters.h"

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class FoundFileClustersTest : public RecoveryTest {
protected:
    FoundFileClusters Of(const FoundItem& item) {
        if (IsNtfs())
            return NtfsFoundFileClusters(*m_state.NtfsVolume(), item);
        return FatFoundFileClusters(*m_state.FatVolume(), item, false);
    }

    const FoundItem* Item(const std::string& path) const {
        for (const FoundTree::Entry& entry : m_tree.Entries())
            if ("/" + m_tree.PathOf(entry, RootId()).value_or("") == path)
                return &entry.item;
        return nullptr;
    }

    // The file's bytes as the viewer reads them: each list entry's sectors straight from the
    // image file (the mapped drive starts at its sector 0), holes and bytes past the valid
    // length as zeros, cut to the size.
    Bytes ReadThroughList(const FoundFileClusters& where) const {
        std::ifstream image(Image(), std::ios::binary);
        Bytes out;
        const uint64_t spc = where.sectorsPerCluster;
        for (const uint32_t cluster : where.list.clusters) {
            for (uint64_t r = 0; r < spc && out.size() < where.list.byteLength; ++r) {
                Bytes sector(512, 0);
                if (!ClusterList::IsSparse(cluster)) {
                    const uint64_t number = where.partitionType == FoundFileClusters::kNtfsNumbering
                                                ? cluster
                                                : cluster - 2;
                    image.seekg(static_cast<std::streamoff>(
                        (number * spc + where.dataStartSector + r) * 512));
                    image.read(reinterpret_cast<char*>(sector.data()), 512);
                    EXPECT_TRUE(image.good()) << "cluster " << cluster;
                    image.clear();
                }
                out.insert(out.end(), sector.begin(), sector.end());
            }
        }
        out.resize(std::min<uint64_t>(out.size(), where.list.byteLength));
        if (where.list.validLength < out.size())
            std::fill(out.begin() + static_cast<std::ptrdiff_t>(where.list.validLength), out.end(),
                      0);
        return out;
    }

    // Every present file of the manifest whose data lies in clusters; returns how many.
    int ExpectManifestFiles(const std::string& fixture) {
        int checked = 0;
        for (const ManifestEntry& entry :
             ReadManifest(FixturesFolder() / (fixture + ".manifest"))) {
            if (entry.kind != "file" || entry.state != "present" || entry.size == 0)
                continue;
            SCOPED_TRACE(entry.path);
            const FoundItem* item = Item(entry.path);
            if (item == nullptr) {
                ADD_FAILURE() << "not found by the scan";
                continue;
            }
            const FoundFileClusters where = Of(*item);
            if (where.status == FoundFileClusters::Status::NoData && IsNtfs())
                continue; // resident: no clusters to show
            EXPECT_EQ(where.status, FoundFileClusters::Status::Ok);
            EXPECT_EQ(where.list.byteLength, entry.size);
            EXPECT_FALSE(where.fromImage);
            // A compressed file's clusters hold its packed units, not its bytes.
            EXPECT_EQ(where.compressed, entry.path.rfind("/Compressed/", 0) == 0);
            if (!where.compressed) {
                EXPECT_EQ(Sha256Hex(ReadThroughList(where)), entry.sha256);
            }
            ++checked;
        }
        return checked;
    }
};

TEST_F(FoundFileClustersTest, FatFilesReadBackThroughTheirListsAsTheManifestSays) {
    for (const std::string fixture : {"fat16_fragmented", "fat16_volume", "fat32_spc1"}) {
        SCOPED_TRACE(fixture);
        m_tree = FoundTree{};
        Scan(fixture);
        EXPECT_GT(ExpectManifestFiles(fixture), 0);
    }
}

TEST_F(FoundFileClustersTest, FragmentedFileListsTheClustersItsScriptLaidDown) {
    Scan("fat16_fragmented");
    const FoundItem* item = Item("/FRAG.TXT");
    ASSERT_NE(item, nullptr);
    const FoundFileClusters where = Of(*item);
    ASSERT_EQ(where.status, FoundFileClusters::Status::Ok);
    // From the fixture's header: clusters 5-5 9-14 18-19 23-1559.
    std::vector<uint32_t> expected = {5};
    for (uint32_t c = 9; c <= 14; ++c)
        expected.push_back(c);
    expected.push_back(18);
    expected.push_back(19);
    for (uint32_t c = 23; c <= 1559; ++c)
        expected.push_back(c);
    EXPECT_EQ(where.list.clusters, expected);
    EXPECT_EQ(where.partitionType, FoundFileClusters::kFatNumbering);
    EXPECT_EQ(where.sectorsPerCluster, 2u);
    EXPECT_EQ(where.dataStartSector, m_state.FatVolume()->ClusterToSector(2));
}

TEST_F(FoundFileClustersTest, NtfsFilesReadBackThroughTheirListsAndResidentOnesHaveNone) {
    Scan("ntfs_volume");
    EXPECT_GT(ExpectManifestFiles("ntfs_volume"), 0);
    const FoundItem* resident = Item("/README.txt");
    ASSERT_NE(resident, nullptr);
    EXPECT_EQ(Of(*resident).status, FoundFileClusters::Status::NoData);
}

TEST_F(FoundFileClustersTest, SparseFileMarksItsHolesAndKeepsItsValidLength) {
    Scan("ntfs_volume");
    const FoundItem* item = Item("/Sparse.bin");
    ASSERT_NE(item, nullptr);
    const FoundFileClusters where = Of(*item);
    ASSERT_EQ(where.status, FoundFileClusters::Status::Ok);
    EXPECT_EQ(where.list.clusters.size(), 2097152u / 4096);
    const auto holes = std::count(where.list.clusters.begin(), where.list.clusters.end(),
                                  ClusterList::kSparseCluster);
    EXPECT_EQ(holes, static_cast<std::ptrdiff_t>(where.list.clusters.size() - 1));
    EXPECT_EQ(where.list.validLength, 1048627u);
    const Bytes bytes = ReadThroughList(where);
    const std::string marker = "MORWICK SPARSE MARKER: the only data of this file.\n";
    EXPECT_EQ(std::string(bytes.begin() + 1048576, bytes.begin() + 1048576 + 51), marker);
}

TEST_F(FoundFileClustersTest, RawSearchItemsListTheirAbsoluteSectors) {
    RawSearch("carving");
    int checked = 0;
    for (const FoundTree::Entry& entry : m_tree.Entries()) {
        if (entry.item.IsFolder() || entry.item.size == 0)
            continue;
        const FoundFileClusters where = Of(entry.item);
        ASSERT_EQ(where.status, FoundFileClusters::Status::Ok);
        EXPECT_EQ(where.partitionType, FoundFileClusters::kNtfsNumbering);
        EXPECT_EQ(where.sectorsPerCluster, 1u);
        ASSERT_FALSE(where.list.clusters.empty());
        EXPECT_EQ(where.list.clusters.front(), entry.item.firstCluster);
        EXPECT_EQ(where.list.clusters.size(), (entry.item.size + 511) / 512);
        EXPECT_EQ(where.list.clusters.back(),
                  entry.item.firstCluster + where.list.clusters.size() - 1);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

} // namespace
