// Every block that a scan, the raw search, the lost-drive search, imaging, recovery or the
// scan-information load reads from its source lands on page-aligned memory: the kernel's copy
// into a buffer a few bytes past a page boundary runs several times slower. The probe counts the
// process's large reads by the alignment of their buffers while each piece of work runs.

#include "diskio/sources/block_buffer.h"
#include "jobs/imaging/thread_for_grid_dialog.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "jobs/search/thread_for_search_volume.h"
#include "platform/jobs/job_flags.h"
#include "platform/text/utf_conversion.h"
#include "tests/jobs/recovery/recovery_test_fixture.h"
#include "tests/support/fixture_image.h"
#include "tests/support/read_alignment_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

struct AlignmentCase;

class ReadAlignmentTest : public RecoveryTest, public testing::WithParamInterface<AlignmentCase> {
public:
    using RecoveryTest::RawSearch;
    using RecoveryTest::RunScan;
    using RecoveryTest::Scan;

    void AdvanceScan(const std::string& fixture) {
        CThreadForFileSystem::Parameters advance;
        advance.advanceScan = true;
        probe.emplace();
        RunScan(fixture, advance, {});
    }

    // Imaging reads blocks of a 3,000th of the region: a 256 MiB disk makes them large.
    void ImageALargeDisk() {
        const fs::path disk = m_work.Path() / "large.img";
        const uint8_t marker[] = {0x55, 0xAA};
        ASSERT_TRUE(WriteSparseFileWithMarker(disk, 510, marker, uint64_t{256} << 20));
        m_drive.emplace(disk, 0x0B);
        // The copy is written beside the disk it is made from.
        m_window.SetDefaultAnswer(MessageBoxAnswer::Yes);
        CThreadForGridDialog job(m_state);
        job.SetImageParams(Utf8ToUtf16((m_work.Path() / "copy.img").string()), m_drive->Node(), 0,
                           m_drive->LastSector(), &m_window);
        probe.emplace();
        EXPECT_TRUE(job.Run());
    }

    void SearchLostDisk(const std::string& fixture) {
        m_image = UnpackFixture(fixture + ".img", m_work);
        ASSERT_FALSE(m_image.empty());
        CThreadForSearchVolume::Disk disk;
        disk.drive = CThreadForSearchVolume::Disk::kImageDisk;
        disk.imagePath = Utf8ToUtf16(m_image.string());
        disk.source = SectorSource::ForImage(m_image.string());
        disk.sectors = fs::file_size(m_image) / 512;
        const std::list<DriveNode> listed;
        JobFlags flags;
        CThreadForSearchVolume job(std::move(disk), listed, flags);
        CThreadForSearchVolume::Parameters parameters;
        parameters.notifyWindow = &m_window;
        parameters.advance = true;
        job.SetParameters(parameters);
        probe.emplace();
        job.Run();
    }

    void RecoverEverything() {
        const fs::path out = m_work.Path() / "out";
        fs::create_directories(out);
        Recover(RecoverAllTo(out));
    }

    void SaveAndLoadTheScan() {
        const fs::path file = m_work.Path() / "scan.DAT";
        CThreadForSavingScanInfo save(m_state);
        ASSERT_NE(m_ntfs ? save.SaveNtfsScanInfo(file) : save.SaveFatScanInfo(file), 0);
        CThreadForSavingScanInfo load(m_state);
        load.SetParameters({file, CThreadForSavingScanInfo::Mode::Load, &m_window});
        probe.emplace();
        EXPECT_TRUE(load.Run());
    }

    // Made by the case when only part of its work is to be watched.
    std::optional<ReadAlignmentProbe> probe;
};

struct AlignmentCase {
    const char* work;
    void (*run)(ReadAlignmentTest&);
};

void PrintTo(const AlignmentCase& c, std::ostream* out) {
    *out << c.work;
}

const AlignmentCase kCases[] = {
    {"advance scan of FAT32", [](ReadAlignmentTest& t) { t.AdvanceScan("fat32_volume"); }},
    {"advance scan of NTFS", [](ReadAlignmentTest& t) { t.AdvanceScan("ntfs_volume"); }},
    {"raw search",
     [](ReadAlignmentTest& t) {
         t.probe.emplace();
         t.RawSearch("carving");
     }},
    {"advance lost-drive search", [](ReadAlignmentTest& t) { t.SearchLostDisk("lost_no_boot"); }},
    {"imaging", [](ReadAlignmentTest& t) { t.ImageALargeDisk(); }},
    {"recovery from FAT",
     [](ReadAlignmentTest& t) {
         t.Scan("fat32_volume");
         t.probe.emplace();
         t.RecoverEverything();
     }},
    {"scan-information load",
     [](ReadAlignmentTest& t) {
         t.Scan("fat32_volume");
         t.SaveAndLoadTheScan();
     }},
};
} // namespace

TEST_P(ReadAlignmentTest, LargeReadsLandOnPageAlignedMemory) {
    GetParam().run(*this);
    ASSERT_TRUE(probe.has_value());
    EXPECT_GT(probe->AlignedLargeReads(), 0u) << "the work made no large read to check";
    EXPECT_EQ(probe->UnalignedLargeReads(), 0u)
        << "largest unaligned read: " << probe->LargestUnaligned() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(EveryBlockReader, ReadAlignmentTest, testing::ValuesIn(kCases));

TEST(BlockBuffer, StartsOnAPageWhateverItsSizeAndKeepsItsBytesWhenResized) {
    for (const size_t bytes : {size_t{1}, size_t{512}, size_t{4095}, size_t{1} << 20}) {
        BlockBuffer buffer(bytes);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.data()) % BlockBuffer::kAlignment, 0u);
        EXPECT_EQ(buffer.size(), bytes);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; }));
        buffer[0] = 7;
        buffer.resize(bytes * 3);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.data()) % BlockBuffer::kAlignment, 0u);
        EXPECT_EQ(buffer[0], 7);
        EXPECT_EQ(buffer[bytes * 3 - 1], 0);
        const BlockBuffer copy(buffer);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(copy.data()) % BlockBuffer::kAlignment, 0u);
        EXPECT_NE(copy.data(), buffer.data());
        EXPECT_TRUE(std::equal(copy.begin(), copy.end(), buffer.begin(), buffer.end()));
        BlockBuffer moved(std::move(buffer));
        EXPECT_EQ(moved[0], 7);
        EXPECT_TRUE(buffer.empty());
        moved.assign(10, 0xAB);
        EXPECT_EQ(moved.size(), 10u);
        EXPECT_EQ(moved[9], 0xAB);
    }
}
