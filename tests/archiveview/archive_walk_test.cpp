#include "archiveview/core/archive_contents.h"
#include "archiveview/core/cluster_list_byte_source.h"
#include "archiveview/core/memory_byte_source.h"
#include "platform/utf_conversion.h"
#include "tests/support/archive_fixtures.h"
#include "tests/support/fixture_image.h"
#include "tests/support/folder_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ListedEntry {
    std::string name;
    uint64_t unpacked;
    uint64_t packed;
    std::string stamp;
    bool operator==(const ListedEntry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ListedEntry& e) {
    return out << e.name << " " << e.unpacked << " " << e.packed << " " << e.stamp;
}

std::vector<ListedEntry> Listed(const ArchiveListing& listing) {
    std::vector<ListedEntry> rows;
    for (const auto& entry : listing.entries) {
        rows.push_back({Utf16ToUtf8(entry.name), entry.unpackedSize, entry.packedSize,
                        DosStampAsOracleText(entry.dosDateTime)});
    }
    return rows;
}

std::vector<ListedEntry> Expected(std::string_view archive) {
    std::vector<ListedEntry> rows;
    for (const auto& entry : ReadOracleListing(archive)) {
        rows.push_back({entry.name, entry.unpackedSize, entry.packedSize, entry.stamp});
    }
    return rows;
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    const std::string text = ReadFileText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Archives the walks list, with what zipfile and rarfile (checked against bsdtar) list.
const std::vector<std::string> kListedArchives = {"zip_python.zip", "zip_infozip.zip",
                                                  "zip_large.zip", "rar4_hosts.rar"};

TEST(ArchiveWalk, ListsWhatTheIndependentReadersList) {
    TempDir folder;
    for (const auto& archive : kListedArchives) {
        SCOPED_TRACE(archive);
        const auto bytes = FileBytes(UnpackFixture(archive, folder));
        ASSERT_FALSE(bytes.empty());
        MemoryByteSource source(bytes);
        const ArchiveListing listing =
            ListArchiveContents(Utf8ToUtf16(archive), source, bytes.size());
        EXPECT_EQ(Listed(listing), Expected(archive));
        uint64_t total = 0;
        for (const auto& row : Expected(archive)) {
            total += row.unpacked;
        }
        EXPECT_EQ(listing.totalUnpackedSize, total);
    }
}

TEST(ArchiveWalk, Rar5ListsNothing) {
    TempDir folder;
    const auto bytes = FileBytes(UnpackFixture("rar5.rar", folder));
    ASSERT_FALSE(bytes.empty());
    // The independent readers do see an entry in it.
    ASSERT_EQ(ReadOracleListing("rar5.rar").size(), 1u);
    MemoryByteSource source(bytes);
    EXPECT_TRUE(ListArchiveContents(u"rar5.rar", source, bytes.size()).entries.empty());
}

TEST(ArchiveWalk, TheNameEndingChoosesTheWalk) {
    TempDir folder;
    const auto zip = FileBytes(UnpackFixture("zip_python.zip", folder));
    const auto rar = FileBytes(UnpackFixture("rar4_hosts.rar", folder));
    struct EndingCase {
        std::u16string name;
        const std::vector<uint8_t>* bytes;
        size_t entries;
    };
    const std::vector<EndingCase> cases = {
        {u"A.ZIP", &zip, 6},
        {u"a.Zip", &zip, 6},
        {u"x.rar", &rar, 6},
        {u"X.RAR", &rar, 6},
        {u"zip_python.tar", &zip, 0},
        {u"zip", &zip, 0},
        {u".zi", &zip, 0},
        // The content does not choose: a zip named .rar lists nothing, and so the other way.
        {u"wrong.rar", &zip, 0},
        {u"wrong.zip", &rar, 0},
    };
    for (const auto& c : cases) {
        MemoryByteSource source(*c.bytes);
        EXPECT_EQ(ListArchiveContents(c.name, source, c.bytes->size()).entries.size(), c.entries)
            << Utf16ToUtf8(c.name);
    }
}

// Each archive read from the volume fixtures through the cluster list istat gives for it.
TEST(ArchiveWalk, ListsTheSameThroughFragmentedClusterLists) {
    struct VolumeCase {
        const char* image;
        uint8_t partitionType;
        std::vector<std::string> archives;
    };
    const std::vector<VolumeCase> volumes = {
        {"archives_fat", 2, kListedArchives},
        // The small archives are resident in their NTFS records: no cluster list.
        {"archives_ntfs", 7, {"zip_python.zip", "rar4_hosts.rar"}},
    };
    TempDir folder;
    for (const auto& volume : volumes) {
        const auto image = UnpackFixture(std::string(volume.image) + ".img", folder);
        ASSERT_FALSE(image.empty());
        const auto rows = ReadArchiveClusters(volume.image);
        for (const auto& archive : volume.archives) {
            SCOPED_TRACE(std::string(volume.image) + " " + archive);
            const ArchiveClusters where = ClustersOf(rows, archive);
            if (archive.size() > 0 && where.size > 2048) {
                EXPECT_GT(where.clusters.size(), 1u);
                bool fragmented = false;
                for (size_t i = 1; i < where.clusters.size(); ++i) {
                    fragmented |= where.clusters[i] != where.clusters[i - 1] + 1;
                }
                EXPECT_TRUE(fragmented);
            }
            PreviewFileInfo info{};
            info.fileSize = where.size;
            info.partitionType = volume.partitionType;
            info.sectorsPerCluster = where.sectorsPerCluster;
            info.clusters = where.clusters.data();
            info.clusterCount = static_cast<uint32_t>(where.clusters.size());
            info.dataStartSector = where.dataStartSector;
            info.isImageFile = 1;
            ClusterListByteSource source(info,
                                         ClusterListByteSource::DeviceReader(info, image.string()));
            EXPECT_EQ(Listed(ListArchiveContents(Utf8ToUtf16(archive), source, where.size)),
                      Expected(archive));
        }
    }
}

} // namespace
