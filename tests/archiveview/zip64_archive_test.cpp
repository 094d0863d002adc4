// Archives past 4 GiB, made at test time as sparse files, read the way the library reads a found
// file (through a cluster list over an image file) and listed against Python's zipfile.
#include "archiveview/core/archive_contents.h"
#include "archiveview/core/cluster_list_byte_source.h"
#include "archiveview/core/memory_byte_source.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/archive_fixtures.h"
#include "tests/support/fixture_image.h"
#include "tests/support/folder_files.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kSectorsPerCluster = 128;
constexpr uint64_t kClusterBytes = uint64_t{kSectorsPerCluster} * 512;

struct Zip64Case {
    const char* kind;
    const char* name;
};

class Zip64ArchiveTest : public ::testing::TestWithParam<Zip64Case> {};

TEST_P(Zip64ArchiveTest, ListsWhatZipfileLists) {
    TempDir folder;
    const std::filesystem::path archive = folder.Path() / GetParam().name;
    ASSERT_EQ(RunCommand("python3 " +
                         ShellQuote((FixturesFolder() / "make_zip64_archive.py").string()) + " " +
                         GetParam().kind + " " + ShellQuote(archive.string())),
              0);
    const uint64_t size = std::filesystem::file_size(archive);
    ASSERT_GT(size, uint64_t{4} << 30);
    const std::vector<OracleEntry> expected = ListWithOracle(archive);
    // On a disk the archive's last cluster is whole: what follows the archive reads as zeros.
    std::filesystem::resize_file(archive,
                                 (size + kClusterBytes - 1) / kClusterBytes * kClusterBytes);

    // The archive as a found file of one NTFS run from the image's first sector.
    std::vector<uint32_t> clusters((size + kClusterBytes - 1) / kClusterBytes);
    std::iota(clusters.begin(), clusters.end(), 0u);
    PreviewFileInfo info{};
    info.fileSize = size;
    info.partitionType = kPartitionTypeNtfs;
    info.sectorsPerCluster = kSectorsPerCluster;
    info.clusters = clusters.data();
    info.clusterCount = static_cast<uint32_t>(clusters.size());
    info.isImageFile = 1;
    ClusterListByteSource source(info, ClusterListByteSource::DeviceReader(info, archive.string()));
    const ArchiveListing listing = ListArchiveContents(Utf8ToUtf16(GetParam().name), source, size);

    ASSERT_EQ(listing.entries.size(), expected.size());
    uint64_t total = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(Utf16ToUtf8(listing.entries[i].name), expected[i].name);
        EXPECT_EQ(listing.entries[i].unpackedSize, expected[i].unpackedSize);
        EXPECT_EQ(listing.entries[i].packedSize, expected[i].packedSize);
        EXPECT_EQ(DosStampAsOracleText(listing.entries[i].dosDateTime), expected[i].stamp);
        total += expected[i].unpackedSize;
    }
    EXPECT_EQ(listing.totalUnpackedSize, total);
}

INSTANTIATE_TEST_SUITE_P(SparseArchives, Zip64ArchiveTest,
                         ::testing::Values(Zip64Case{"big-entry", "zip64_big_entry.zip"},
                                           Zip64Case{"far-directory", "zip64_far_directory.zip"}),
                         [](const ::testing::TestParamInfo<Zip64Case>& info) {
                             return std::string(info.param.kind[0] == 'b' ? "EntryOver4GiB"
                                                                          : "DirectoryPast4GiB");
                         });

// Info-ZIP's forced Zip64 keeps small sizes in the header and puts only the overflow marker's
// value in the extra block: each field is read from where it is.
TEST(Zip64ForcedTest, SmallArchiveWithZip64RecordsListsWhatZipfileLists) {
    TempDir folder;
    WriteFileText(folder.Path() / "a.txt", "hello zip64\n");
    WriteFileText(folder.Path() / "b.txt", std::string(3000, 'b'));
    const std::filesystem::path archive = folder.Path() / "forced.zip";
    ASSERT_EQ(RunCommand("cd " + ShellQuote(folder.Path().string()) +
                         " && zip -q -fz -X forced.zip a.txt b.txt"),
              0);
    const std::string text = ReadFileText(archive);
    ASSERT_NE(text.find("PK\x06\x06"), std::string::npos) << "no Zip64 end record";
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    MemoryByteSource source(bytes);
    const ArchiveListing listing = ListArchiveContents(u"forced.zip", source, bytes.size());
    const std::vector<OracleEntry> expected = ListWithOracle(archive);
    ASSERT_EQ(listing.entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Utf16ToUtf8(listing.entries[i].name), expected[i].name);
        EXPECT_EQ(listing.entries[i].unpackedSize, expected[i].unpackedSize);
        EXPECT_EQ(listing.entries[i].packedSize, expected[i].packedSize);
    }
}

} // namespace
