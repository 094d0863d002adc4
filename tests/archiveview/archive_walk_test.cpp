#include "archiveview/core/archive_contents.h"
#include "archiveview/core/cluster_list_byte_source.h"
#include "archiveview/core/memory_byte_source.h"
#include "platform/text/utf_conversion.h"
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
    TempDir folder;
    ForEachArchiveOnVolumes(folder, [](const ArchiveVolume& volume,
                                       const std::filesystem::path& image,
                                       const ArchiveClusters& where) {
        // Every archive of more than two clusters lies in more than one piece.
        if (where.size > 2048) {
            bool fragmented = false;
            for (size_t i = 1; i < where.clusters.size(); ++i) {
                fragmented |= where.clusters[i] != where.clusters[i - 1] + 1;
            }
            EXPECT_TRUE(fragmented);
        }
        PreviewFileInfo info{};
        info.fileSize = where.size;
        info.partitionType = volume.ntfs ? 7 : 2;
        info.sectorsPerCluster = where.sectorsPerCluster;
        info.clusters = where.clusters.data();
        info.clusterCount = static_cast<uint32_t>(where.clusters.size());
        info.dataStartSector = where.dataStartSector;
        info.isImageFile = 1;
        ClusterListByteSource source(info,
                                     ClusterListByteSource::DeviceReader(info, image.string()));
        const auto listed =
            Listed(ListArchiveContents(Utf8ToUtf16(where.path), source, where.size));
        // RAR 5 lists nothing, whatever the independent readers see in it.
        EXPECT_EQ(listed,
                  where.path == "rar5.rar" ? std::vector<ListedEntry>{} : Expected(where.path));
    });
}

} // namespace
