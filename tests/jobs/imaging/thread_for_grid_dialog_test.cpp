// The imaging job over the committed fixtures mapped as a disk and as a drive, and over disks
// written here sector by sector: the image's sectors are what dd reads from the source at the
// same place, its last 1024 bytes are the trailer as an independent reader (a Python script
// written from the file format) reads it, unreadable sectors come out as zeros with red cells
// and a row each, a stop keeps the prefix, a failed write fails the job, and an image opened
// again scans and searches like its source.
#include "jobs/imaging/thread_for_grid_dialog.h"

#include "diskio/sources/disk_image_file.h"
#include "diskio/inventory/size_text.h"
#include "filesystems/found_item.h"
#include "filesystems/scan_log.h"
#include "jobs/recovery/descriptor_write_buffer.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "platform/settings/data_folder.h"
#include "platform/devices/device_table.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_runner.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/scoped_env.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Grid = CThreadForGridDialog;

namespace {

constexpr uint8_t kDiskCode = 0x80;
constexpr uint64_t kSectorBytes = 512;
constexpr auto kJobTimeout = 120s;

std::u16string English(uint32_t id) {
    return std::u16string(StringTable::Program().English(id));
}

std::u16string Utf16(const fs::path& path) {
    return Utf8ToUtf16(path.string());
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The trailer of `image` as tests/jobs/read_image_trailer.py reads it.
std::map<std::string, std::string> TrailerFields(const fs::path& image) {
    const char* fixtures = std::getenv("MORWICK_FIXTURES");
    const fs::path script =
        fs::path(fixtures != nullptr ? fixtures : "") / ".." / "jobs" / "read_image_trailer.py";
    std::string output;
    EXPECT_EQ(RunCommand("/usr/bin/python3 " + ShellQuote(script.string()) + " " +
                             ShellQuote(image.string()),
                         &output),
              0);
    std::map<std::string, std::string> fields;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (const size_t equals = line.find('='); equals != std::string::npos)
            fields[line.substr(0, equals)] = line.substr(equals + 1);
    return fields;
}

// Whether the first `count` sectors of `image` are what dd reads from `source` at `first`.
bool SameAsDd(const fs::path& image, const fs::path& source, uint64_t first, uint64_t count,
              const TempDir& work) {
    const fs::path expected = work.File("dd.bin");
    if (RunCommand("dd if=" + ShellQuote(source.string()) + " of=" + ShellQuote(expected.string()) +
                   " bs=512 skip=" + std::to_string(first) + " count=" + std::to_string(count) +
                   " status=none") != 0 ||
        fs::file_size(expected) != count * kSectorBytes)
        return false;
    return RunCommand("cmp -n " + std::to_string(count * kSectorBytes) + " " +
                      ShellQuote(image.string()) + " " + ShellQuote(expected.string())) == 0;
}

// A disk of `sectors` sectors in which no byte is zero and no two sectors are alike, so a
// sector that comes out zero was zero-filled and one that repeats its neighbour is stale.
fs::path WritePatternedDisk(const fs::path& path, uint64_t sectors) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> sector(kSectorBytes);
    for (uint64_t s = 0; s < sectors; ++s) {
        for (size_t i = 0; i < sector.size(); ++i)
            sector[i] = static_cast<char>(((s * 31 + i * 7 + s / 256) & 0xFF) | 1);
        out.write(sector.data(), static_cast<std::streamsize>(sector.size()));
    }
    return path;
}

std::vector<std::u16string> TextsOf(const std::vector<JobMessage>& messages, int control) {
    std::vector<std::u16string> texts;
    for (const JobMessage& message : messages)
        if (const auto* text = message.Get<ImageProgressTextPayload>();
            text != nullptr && text->controlId == control)
            texts.push_back(text->text);
    return texts;
}

// Blocks (row * 75 + column) of the sector-map messages with this id, in order.
std::vector<int> BlocksOf(const std::vector<JobMessage>& messages, uint32_t id) {
    std::vector<int> blocks;
    for (const JobMessage& message : messages)
        if (message.id == id)
            if (const auto* cell = message.Get<SectorMapCellPayload>())
                blocks.push_back(cell->row * Grid::kGridColumns + cell->column);
    return blocks;
}

const ImageDonePayload* DoneOf(const std::vector<JobMessage>& messages) {
    return messages.empty() ? nullptr : messages.back().Get<ImageDonePayload>();
}

std::vector<std::u16string> Descriptions(const std::vector<RecordingJobWindow::LogLine>& rows) {
    std::vector<std::u16string> texts;
    for (const auto& row : rows)
        texts.push_back(std::get<1>(row));
    return texts;
}

bool HasDescription(const std::vector<RecordingJobWindow::LogLine>& rows,
                    const std::u16string& text) {
    const std::vector<std::u16string> texts = Descriptions(rows);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

using SeenItems = std::vector<std::pair<FoundItem, std::u16string>>;

// The names the drive list gives a lettered FAT drive, which the image's trailer keeps.
void NameAsTheDriveList(MappedDrive& drive) {
    LogicalDriveInfo& info = *drive.Node().Logical();
    info.rootPath = u"C:\\";
    info.typeName = u"FIXED";
    info.fileSystem = u"FAT";
    info.totalBytes = info.totalSectors * kSectorBytes;
    info.sizeText = FormatSize(info.totalBytes);
}

class GridDialogTest : public ::testing::Test {
protected:
    GridDialogTest()
        : m_config("MORWICK_CONFIG", m_configDir.File("settings.conf").string()),
          m_data("MORWICK_DATA", BuildDataFolder().string()) {}

    fs::path Fixture(const std::string& name) { return UnpackFixture(name + ".img", m_images); }

    // `image` as physical disk 0 and its hard-disk node.
    static DriveNode MapDisk(const fs::path& image,
                             std::vector<DeviceSource::SectorRun> unreadable = {}) {
        DeviceTable::Process().SetPhysicalDisk(
            0, DeviceSource{image.string(), 0, std::nullopt, std::move(unreadable)});
        DriveNode node;
        node.number = kDiskCode;
        node.kind = DriveKind::HardDisk;
        PhysicalDiskInfo disk;
        disk.drive = kDiskCode;
        disk.totalSectors = fs::file_size(image) / kSectorBytes;
        disk.sizeText = FormatSize(fs::file_size(image));
        DiskIdentifyInfo identify;
        identify.model = "QEMU HARDDISK";
        identify.serialNumber = "QM00001";
        identify.firmwareRevision = "2.5+";
        disk.identify = identify;
        node.detail = disk;
        return node;
    }

    // A partition of disk 0 as the drive list places a lettered drive.
    static DriveNode PartitionNode(uint64_t firstSector, uint64_t sectors) {
        DriveNode node;
        node.number = 10;
        node.kind = DriveKind::LogicalDrive;
        LogicalDriveInfo info;
        info.drive = 2;
        info.rootPath = u"C:\\";
        info.typeName = u"FIXED";
        info.fileSystem = u"FAT";
        info.disk = kDiskCode;
        info.firstSector = firstSector;
        info.totalSectors = sectors;
        info.lastSector = firstSector + sectors - 1;
        info.totalBytes = sectors * kSectorBytes;
        info.partitionType = 4;
        info.sizeText = FormatSize(sectors * kSectorBytes);
        node.detail = info;
        return node;
    }

    // Runs the job on this thread; what Run returned.
    bool Image(Grid& job, const DriveNode& node, uint64_t first, uint64_t last,
               const fs::path& output) {
        job.SetImageParams(Utf16(output), node, first, last, &m_window);
        m_window.SetDefaultAnswer(m_boxAnswer);
        return job.Run();
    }

    bool Image(const DriveNode& node, uint64_t first, uint64_t last, const fs::path& output) {
        Grid job(m_state);
        return Image(job, node, first, last, output);
    }

    // Runs the job on the runner, as the window starts it.
    void ImageOnRunner(const DriveNode& node, uint64_t first, uint64_t last,
                       const fs::path& output) {
        JobRunner runner(m_state.jobFlags);
        {
            Grid job(m_state);
            job.SetImageParams(Utf16(output), node, first, last, &m_window);
            m_window.SetDefaultAnswer(m_boxAnswer);
            ASSERT_TRUE(job.Start(runner));
        }
        ASSERT_TRUE(runner.WaitFor(kJobTimeout));
        EXPECT_FALSE(runner.LastJobThrew());
    }

    // The items a scan job finds on `node`.
    SeenItems Scan(const DriveNode& node, CThreadForFileSystem::Parameters parameters) {
        RecordingJobWindow window;
        SeenItems items;
        window.SetHandler([&items](JobMessage& message) -> intptr_t {
            if (message.id == WM_ADD_FOUND_ITEM)
                if (const auto* found = message.Get<FoundItemPayload>())
                    items.emplace_back(*found->item, found->name);
            return 0;
        });
        parameters.notifyWindow = &window;
        m_state.SetSelectedDrive(&node);
        JobRunner runner(m_state.jobFlags);
        {
            CThreadForFileSystem job(m_state);
            job.SetParameters(parameters);
            EXPECT_TRUE(job.Start(runner));
        }
        EXPECT_TRUE(runner.WaitFor(kJobTimeout));
        m_state.SetSelectedDrive(nullptr);
        return items;
    }

    // What every run shows, whatever it copied: the dialog opens first and closes last, and
    // the job is no longer stoppable.
    void ExpectFramed(bool written, const fs::path& output) {
        const std::vector<JobMessage> messages = m_window.Messages();
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages.front().id, WM_IMAGE_START);
        const ImageDonePayload* done = DoneOf(messages);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->imageWritten, written);
        EXPECT_EQ(done->imagePath, Utf16(output));
        EXPECT_EQ(m_window.MalformedCount(), 0u);
        EXPECT_FALSE(m_state.jobFlags.stoppable);
    }

    TempDir m_configDir;
    TempDir m_images;
    TempDir m_out;
    ScopedEnv m_config;
    ScopedEnv m_data;
    ScanState m_state;
    RecordingJobWindow m_window;
    // The answer of every message box, the question of an image file on the source disk
    // included (the fixtures are unpacked on the file system the images are written to).
    MessageBoxAnswer m_boxAnswer = MessageBoxAnswer::Yes;
};

// --- what an image holds ---------------------------------------------------------------------

struct RegionCase {
    const char* what;
    enum class Source {
        Disk,
        Partition,
        Drive,
    } source;
    uint64_t first;
    uint64_t last;
    uint64_t sectorsPerBlock;
    const char16_t* blockSizeText;
    const char16_t* processedText;
};

TEST_F(GridDialogTest, AnImageIsTheRegionAsDdReadsItFollowedByTheTrailer) {
    using Source = RegionCase::Source;
    const RegionCase cases[] = {
        {"2999 sectors of a disk", Source::Disk, 0, 2999, 1, u"0.50 KB", u"1.5 MB of 1.5 MB"},
        {"3000 sectors of a disk", Source::Disk, 0, 3000, 1, u"0.50 KB", u"1.5 MB of 1.5 MB"},
        {"3001 sectors of a disk", Source::Disk, 0, 3001, 2, u"1.00 KB", u"1.5 MB of 1.5 MB"},
        {"the middle of a disk", Source::Disk, 10000, 17777, 3, u"1.50 KB", u"3.8 MB of 3.8 MB"},
        {"a whole disk", Source::Disk, 0, 28672, 10, u"5.00 KB", u"14.0 MB of 14.0 MB"},
        {"a partition read through its disk", Source::Partition, 0, 6144, 3, u"1.50 KB",
         u"3.0 MB of 3.0 MB"},
        {"part of a partition", Source::Partition, 100, 3100, 1, u"0.50 KB", u"1.5 MB of 1.5 MB"},
        {"a drive read by its letter", Source::Drive, 0, 16384, 6, u"3.00 KB", u"8.0 MB of 8.0 MB"},
    };
    const fs::path disk = Fixture("mbr_logical");
    const fs::path volume = Fixture("fat16_volume");
    ASSERT_FALSE(disk.empty());
    ASSERT_FALSE(volume.empty());
    const DriveNode diskNode = MapDisk(disk);
    MappedDrive drive(volume, 4);
    NameAsTheDriveList(drive);
    for (const RegionCase& each : cases) {
        SCOPED_TRACE(each.what);
        m_window.Clear();
        const DriveNode node = each.source == Source::Disk        ? diskNode
                               : each.source == Source::Partition ? PartitionNode(2048, 6144)
                                                                  : drive.Node();
        const fs::path& sourceFile = each.source == Source::Drive ? volume : disk;
        const uint64_t offset = each.source == Source::Partition ? 2048 : 0;
        const uint64_t count = each.last - each.first;
        const fs::path output = m_out.File("image.img");
        Grid job(m_state);
        ASSERT_TRUE(Image(job, node, each.first, each.last, output));
        ExpectFramed(true, output);
        EXPECT_EQ(job.SectorsPerBlock(), each.sectorsPerBlock) << "kept after the last block";
        EXPECT_EQ(Grid::SectorsPerBlockFor(each.first, each.last), each.sectorsPerBlock);
        EXPECT_EQ(job.SectorsDone(), count);

        EXPECT_EQ(fs::file_size(output), count * kSectorBytes + 1024);
        EXPECT_TRUE(SameAsDd(output, sourceFile, offset + each.first, count, m_out));

        std::map<std::string, std::string> trailer = TrailerFields(output);
        EXPECT_EQ(trailer["padding"], "zero");
        EXPECT_EQ(trailer["data.bytes"], std::to_string(count * kSectorBytes));
        EXPECT_EQ(trailer["node.number"], std::to_string(node.number));
        EXPECT_EQ(trailer["node.kind"], std::to_string(static_cast<int>(node.kind)));
        EXPECT_EQ(trailer["node.detail"], "1");
        EXPECT_EQ(trailer["node.path"], "");
        if (node.Physical() != nullptr) {
            EXPECT_EQ(trailer["disk.drive"], "128");
            EXPECT_EQ(trailer["disk.sectors"], "28672");
            EXPECT_EQ(trailer["disk.size"], "14.00 MB");
            EXPECT_EQ(trailer["disk.identify"], "1");
            EXPECT_EQ(trailer["identify.model"], "QEMU HARDDISK");
            EXPECT_EQ(trailer["identify.serial"], "QM00001");
            EXPECT_EQ(trailer["identify.firmware"], "2.5+");
        } else {
            const LogicalDriveInfo& info = *node.Logical();
            EXPECT_EQ(trailer["volume.root"], "C:\\");
            EXPECT_EQ(trailer["volume.disk"], std::to_string(info.disk));
            EXPECT_EQ(trailer["volume.first"], std::to_string(info.firstSector));
            EXPECT_EQ(trailer["volume.sectors"], std::to_string(info.totalSectors));
            EXPECT_EQ(trailer["volume.last"], std::to_string(info.lastSector));
            EXPECT_EQ(trailer["volume.type_code"], "4");
            EXPECT_EQ(trailer["volume.size"], Utf16ToUtf8(info.sizeText));
            EXPECT_EQ(trailer["found.clusters_marker"], "0");
        }

        const std::vector<JobMessage> messages = m_window.Messages();
        std::vector<int> all(Grid::kBlockCount);
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<int>(i);
        EXPECT_EQ(BlocksOf(messages, WM_SECTORMAP_READING), all);
        EXPECT_EQ(BlocksOf(messages, WM_SECTORMAP_DONE), all);
        EXPECT_TRUE(BlocksOf(messages, WM_SECTORMAP_FAILED).empty());
        // One chunk a block, for the blocks that hold sectors; the cells after them are only
        // painted.
        const std::vector<std::u16string> reading = TextsOf(messages, Grid::kReadingSectorControl);
        const uint64_t blocks = (count + each.sectorsPerBlock - 1) / each.sectorsPerBlock;
        ASSERT_EQ(reading.size(), blocks);
        EXPECT_EQ(reading.front(), u"Reading Sector : " + Utf8ToUtf16(std::to_string(each.first)));
        EXPECT_EQ(reading.back(),
                  u"Reading Sector : " + Utf8ToUtf16(std::to_string(
                                             each.first + (blocks - 1) * each.sectorsPerBlock)));
        EXPECT_EQ(TextsOf(messages, Grid::kBlockSizeControl),
                  std::vector<std::u16string>{u"Block(s) Not Processed \nBlock Size : " +
                                              std::u16string(each.blockSizeText)});
        EXPECT_EQ(TextsOf(messages, Grid::kProcessedControl).back(),
                  u"Processed " + std::u16string(each.processedText));
        EXPECT_EQ(TextsOf(messages, Grid::kDescriptionControl),
                  std::vector<std::u16string>{Grid::Description(node)});

        const auto rows = m_window.LogLines();
        ASSERT_GE(rows.size(), 5u);
        EXPECT_EQ(rows[0],
                  RecordingJobWindow::LogLine(u"Creating image file", Grid::Description(node),
                                              u"Path :" + Utf16(output), 1));
        EXPECT_EQ(std::get<1>(rows[1]), FormatText(u"Starting sector : %llu , Ending sector : %llu",
                                                   each.first, each.last));
        EXPECT_EQ(std::get<1>(rows[2]), u"Process Started");
        EXPECT_TRUE(std::get<2>(rows[2]).starts_with(u"Started on :"));
        EXPECT_EQ(std::get<3>(rows[2]), 7);
        EXPECT_EQ(std::get<1>(rows[rows.size() - 2]), u"Process completed");
        EXPECT_EQ(std::get<3>(rows[rows.size() - 2]), ScanLog::kImageCompleted);
        EXPECT_EQ(std::get<1>(rows.back()),
                  FormatText(u"Image Size : %.2f MB", static_cast<double>(count) / 2048));
        // After the question of an image beside its source.
        const auto boxes = m_window.MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::YesNo);
        EXPECT_EQ(boxes[1].text, u"Image completed.\nImage path : " + Utf16(output));
        EXPECT_EQ(boxes[1].icon, MessageBoxIcon::Information);
    }
}

TEST_F(GridDialogTest, TheProgressDialogNamesTheDrive) {
    const DriveNode disk = MapDisk(WritePatternedDisk(m_images.File("disk.img"), 16));
    EXPECT_EQ(Grid::Description(disk),
              u"Serial No: QM00001  ModelNo: QEMU HARDDISK  Size : 8.00 KB");
    DriveNode removable = disk;
    removable.kind = DriveKind::RemovableDisk;
    EXPECT_EQ(Grid::Description(removable), u"Serial No:   ModelNo:   Size : 8.00 KB");
    // A disk that says nothing of itself is named after its file.
    DriveNode unnamed = disk;
    unnamed.Physical()->identify = DiskIdentifyInfo{};
    EXPECT_EQ(Grid::Description(unnamed), u"disk.img (8.00 KB)");
    EXPECT_EQ(Grid::Description(PartitionNode(2048, 6144)),
              u"Logical Drive: C:  FileSystem: FAT   Size : 3.00 MB");
    DriveNode found = PartitionNode(2048, 6144);
    found.kind = DriveKind::FoundVolume;
    found.Logical()->rootPath = u"Standard drive 1 (FAT : 3.00 MB)";
    EXPECT_EQ(Grid::Description(found),
              u"Logical Drive: Standard drive 1 (FAT : 3.00 MB)  FileSystem: FAT   Size : 3.00 MB");
}

// Sector numbers past 32 bits, in the image, the texts and the rows.
TEST_F(GridDialogTest, RegionsBeyondFourBillionSectorsAreCopiedAndNamedWhole) {
    constexpr uint64_t kFirst = (uint64_t{1} << 32) + 98;
    static constexpr uint8_t kMarker[] = {'F', 'A', 'R', ' ', 'O', 'U', 'T'};
    const fs::path sparse = m_images.File("huge.img");
    if (!WriteSparseFileWithMarker(sparse, (kFirst + 2) * kSectorBytes, kMarker,
                                   (kFirst + 4096) * kSectorBytes))
        GTEST_SKIP() << "the file system refuses a 2 TiB sparse file";
    const DriveNode node = MapDisk(sparse);
    const fs::path output = m_out.File("far.img");
    ASSERT_TRUE(Image(node, kFirst, kFirst + 5, output));
    const std::vector<uint8_t> bytes = FileBytes(output);
    ASSERT_EQ(bytes.size(), 5 * kSectorBytes + 1024);
    EXPECT_TRUE(std::equal(std::begin(kMarker), std::end(kMarker), bytes.begin() + 2 * 512));
    EXPECT_EQ(TextsOf(m_window.Messages(), Grid::kReadingSectorControl).front(),
              u"Reading Sector : 4294967394");
    EXPECT_EQ(std::get<1>(m_window.LogLines()[1]),
              u"Starting sector : 4294967394 , Ending sector : 4294967399");
    EXPECT_EQ(TrailerFields(output)["disk.sectors"], std::to_string(kFirst + 4096));
}

// --- unreadable sectors ----------------------------------------------------------------------

TEST_F(GridDialogTest, UnreadableSectorsAreZerosWithARedBlockAndARowEach) {
    const fs::path disk = WritePatternedDisk(m_images.File("patterned.img"), 6000);
    const std::vector<DeviceSource::SectorRun> unreadable = {{100, 3}, {2000, 1}, {5999, 1}};
    const std::set<uint64_t> failedSectors = {100, 101, 102, 2000, 5999};
    const DriveNode node = MapDisk(disk, unreadable);
    struct Case {
        uint64_t first;
        uint64_t last;
        std::vector<int> failedBlocks;
    };
    const Case cases[] = {
        {0, 3000, {100, 101, 102, 2000}},
        {0, 6000, {50, 51, 1000, 2999}},
        {99, 102, {1, 2}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.first) + ".." + std::to_string(each.last));
        m_window.Clear();
        const fs::path output = m_out.File("image.img");
        ASSERT_TRUE(Image(node, each.first, each.last, output));
        ExpectFramed(true, output);

        // What dd reads, with zeros where the disk fails.
        const std::vector<uint8_t> source = FileBytes(disk);
        std::vector<uint8_t> expected(
            source.begin() + static_cast<std::ptrdiff_t>(each.first * 512),
            source.begin() + static_cast<std::ptrdiff_t>(each.last * 512));
        std::vector<std::u16string> errorRows;
        for (uint64_t s = each.first; s < each.last; ++s) {
            if (failedSectors.count(s) == 0)
                continue;
            std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>((s - each.first) * 512), 512,
                        uint8_t{0});
            errorRows.push_back(u"Error reading sector : " + Utf8ToUtf16(std::to_string(s)));
        }
        std::vector<uint8_t> image = FileBytes(output);
        ASSERT_EQ(image.size(), expected.size() + 1024);
        image.resize(expected.size());
        EXPECT_TRUE(image == expected);

        const std::vector<JobMessage> messages = m_window.Messages();
        EXPECT_EQ(BlocksOf(messages, WM_SECTORMAP_FAILED), each.failedBlocks);
        EXPECT_EQ(BlocksOf(messages, WM_SECTORMAP_DONE).size() + each.failedBlocks.size(),
                  Grid::kBlockCount);
        std::vector<std::u16string> rows;
        for (const auto& row : m_window.LogLines())
            if (std::get<3>(row) == ScanLog::kImageReadError)
                rows.push_back(std::get<1>(row));
        EXPECT_EQ(rows, errorRows);
        // A failed image still completes: the failures are the disk's, not the image's.
        EXPECT_TRUE(HasDescription(m_window.LogLines(), u"Process completed"));
    }
}

// --- stopping --------------------------------------------------------------------------------

TEST_F(GridDialogTest, AStopKeepsTheSectorsCopiedAndStillWritesTheTrailer) {
    const fs::path disk = Fixture("mbr_logical");
    ASSERT_FALSE(disk.empty());
    const DriveNode node = MapDisk(disk);
    struct Case {
        const char* what;
        uint32_t id;       // the message whose arrival asks for the stop
        std::u16string at; // its text, or empty for the n-th such message
        size_t nth;
        uint64_t copied;
    };
    const Case cases[] = {
        {"before block 500 is read", WM_SECTORMAP_READING, u"", 501, 500},
        {"while sector 777 is read", kJobSetImageProgressText, u"Reading Sector : 777", 0, 778},
        {"after the first block", WM_SECTORMAP_DONE, u"", 1, 1},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        m_window.Clear();
        size_t seen = 0;
        m_window.SetHandler([&](JobMessage& message) -> intptr_t {
            if (message.id != each.id)
                return 0;
            const auto* text = message.Get<ImageProgressTextPayload>();
            if (each.at.empty() ? ++seen == each.nth : text != nullptr && text->text == each.at)
                m_state.jobFlags.stopRequested = true;
            return 0;
        });
        const fs::path output = m_out.File("partial.img");
        ImageOnRunner(node, 0, 3000, output);
        m_window.SetHandler({});
        ExpectFramed(true, output);
        EXPECT_EQ(fs::file_size(output), each.copied * kSectorBytes + 1024);
        EXPECT_TRUE(SameAsDd(output, disk, 0, each.copied, m_out));
        EXPECT_EQ(TrailerFields(output)["node.kind"], "0");

        // After the question of an image beside its source.
        const auto boxes = m_window.MessageBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[1].text, u"Process aborted.\nPartial image path : " + Utf16(output));
        EXPECT_EQ(boxes[1].icon, MessageBoxIcon::Error);
        const auto rows = m_window.LogLines();
        EXPECT_EQ(std::get<1>(rows[rows.size() - 2]), u"Process aborted, user intervention");
        EXPECT_TRUE(std::get<2>(rows[rows.size() - 2]).starts_with(u"Aborted on :"));
        EXPECT_EQ(std::get<1>(rows.back()),
                  FormatText(u"Image Size : %.2f MB", static_cast<double>(each.copied) / 2048));
        EXPECT_FALSE(HasDescription(rows, u"Process completed"));
        // The partial image opens like a whole one with fewer sectors.
        const ImageFileLoad load = disk_image_file::LoadImageFile(output, {});
        ASSERT_TRUE(load.node.has_value());
        EXPECT_EQ(load.node->Physical()->totalSectors, each.copied);
        m_state.jobFlags.stopRequested = false;
    }
}

// --- failures that leave no image ------------------------------------------------------------

TEST_F(GridDialogTest, AWriteTheFileRefusesFailsTheJobAndNamesThePartialImage) {
    const fs::path disk = WritePatternedDisk(m_images.File("patterned.img"), 4000);
    const DriveNode node = MapDisk(disk);
    // The file may grow to the limit: in the middle of the sectors, or up to the trailer.
    // Blocks go out a mebibyte at a time, so the copy ends with the block whose mebibyte could
    // not be written (two sectors a block; sector 1000 goes past the limit), or none when only
    // the trailer does not fit.
    const size_t blocksPerWrite = DescriptorWriteBuffer::kFlushBytes / 1024;
    const struct {
        uint64_t limit;
        size_t blocksRead;
    } cases[] = {{1000 * 512 + 100, blocksPerWrite}, {4000 * 512, 3000}};
    for (const auto& [limit, blocksRead] : cases) {
        SCOPED_TRACE(limit);
        const fs::path output = m_out.File("limited.img");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes past the limit fail with EFBIG instead of killing the process.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit lowered{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &lowered);
            RecordingJobWindow window;
            // Yes to the question of an image beside its source.
            window.SetDefaultAnswer(MessageBoxAnswer::Yes);
            Grid job(m_state);
            job.SetImageParams(Utf16(output), node, 0, 4000, &window);
            int faults = job.Run() ? 1 : 0;
            const std::vector<JobMessage> messages = window.Messages();
            const ImageDonePayload* done = DoneOf(messages);
            if (done == nullptr || done->imageWritten)
                faults |= 2;
            const auto rows = window.LogLines();
            const std::u16string cannotWrite =
                FormatText(u"Cannot write the image file %s: %s", Utf16(output),
                           Utf8ToUtf16(std::strerror(EFBIG)));
            bool failedRow = false;
            for (const auto& row : rows)
                failedRow |= std::get<1>(row) == cannotWrite &&
                             std::get<2>(row) == English(kProcessFailedId);
            if (!failedRow)
                faults |= 4;
            if (!HasDescription(rows, u"Partial image path : " + Utf16(output)))
                faults |= 8;
            if (HasDescription(rows, u"Process completed"))
                faults |= 16;
            const auto boxes = window.MessageBoxes();
            if (boxes.size() != 2 || boxes[1].text != cannotWrite ||
                boxes[1].icon != MessageBoxIcon::Error)
                faults |= 32;
            if (m_state.jobFlags.stoppable)
                faults |= 64;
            if (window.Count(WM_SECTORMAP_READING) != blocksRead)
                faults |= 128;
            ::_exit(faults);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "1 reported written, 2 WM_IMAGE_DONE says written, 4 no failed-write row, "
               "8 the partial image not named, 16 a completed row, 32 no error box, "
               "64 still stoppable, 128 the copy went on after the failed write";
        EXPECT_EQ(fs::file_size(output), limit) << "the partial file is kept as it was";
    }
}

TEST_F(GridDialogTest, WhatCannotBeImagedOpensNothingAndLeavesTheSourceAlone) {
    const fs::path disk = WritePatternedDisk(m_images.File("patterned.img"), 64);
    const std::vector<uint8_t> before = FileBytes(disk);
    const DriveNode node = MapDisk(disk);
    DriveNode image = node;
    image.kind = DriveKind::DiskImage;
    image.imagePath = Utf16(disk);
    DriveNode bare = node;
    bare.detail = std::monostate{};
    fs::create_hard_link(disk, m_images.File("other-name.img"));
    struct Case {
        const char* what;
        DriveNode node;
        fs::path output;
        std::u16string description;
        std::u16string status;
    };
    const fs::path missing = m_out.File("no/such/folder/image.img");
    const Case cases[] = {
        {"the source's own file", node, disk,
         u"The image file " + Utf16(disk) + u" is the drive being copied", u"Process failed"},
        {"another name of the source's file", node, m_images.File("other-name.img"),
         u"The image file " + Utf16(m_images.File("other-name.img")) +
             u" is the drive being copied",
         u"Process failed"},
        {"a folder that does not exist", node, missing, u"Cannot open file ",
         u"Path :" + Utf16(missing)},
        {"an image of a disk", image, m_out.File("a.img"),
         u"This drive cannot be copied into an image file", u"Process failed"},
        {"a node without its detail", bare, m_out.File("b.img"),
         u"This drive cannot be copied into an image file", u"Process failed"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        m_window.Clear();
        EXPECT_FALSE(Image(each.node, 0, 64, each.output));
        ExpectFramed(false, each.output);
        const auto rows = m_window.LogLines();
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(std::get<1>(rows.back()), each.description);
        EXPECT_EQ(std::get<2>(rows.back()), each.status);
        EXPECT_EQ(std::get<3>(rows.back()), ScanLog::kImageAborted);
        EXPECT_EQ(m_window.Count(WM_SECTORMAP_READING), 0u);
        EXPECT_TRUE(m_window.MessageBoxes().empty());
        EXPECT_TRUE(FileBytes(disk) == before);
    }
    EXPECT_FALSE(fs::exists(m_out.File("a.img")));
}

TEST_F(GridDialogTest, AnImageBesideTheSourceIsWrittenOnlyAfterYes) {
    const fs::path disk = WritePatternedDisk(m_images.File("patterned.img"), 64);
    const std::vector<uint8_t> before = FileBytes(disk);
    const DriveNode node = MapDisk(disk);
    const fs::path beside = m_images.File("beside.img");
    const std::u16string warning = u"The image file " + Utf16(beside) +
                                   u" lies on the disk being copied: its writes may overwrite "
                                   u"lost data";
    for (const MessageBoxAnswer answer : {MessageBoxAnswer::No, MessageBoxAnswer::Yes}) {
        const bool yes = answer == MessageBoxAnswer::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        m_window.Clear();
        m_boxAnswer = answer;
        EXPECT_EQ(Image(node, 0, 64, beside), yes);
        ExpectFramed(yes, beside);
        const auto boxes = m_window.MessageBoxes();
        ASSERT_GE(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, u"The image file " + Utf16(beside) +
                                     u" lies on the disk being copied. Writing it there may "
                                     u"overwrite the very data being copied.\n\nWrite the "
                                     u"image there all the same?");
        EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::YesNo);
        const auto rows = m_window.LogLines();
        auto asked = std::find_if(rows.begin(), rows.end(),
                                  [&](const auto& row) { return std::get<1>(row) == warning; });
        ASSERT_NE(asked, rows.end());
        EXPECT_EQ(std::get<2>(*asked),
                  yes ? u"Answered Yes: written there" : u"Answered No: nothing written");
        if (yes) {
            EXPECT_TRUE(SameAsDd(beside, disk, 0, 64, m_out));
            EXPECT_TRUE(HasDescription(rows, u"Process completed"));
        } else {
            EXPECT_FALSE(fs::exists(beside)) << "No made the file";
            EXPECT_EQ(m_window.Count(WM_SECTORMAP_READING), 0u);
            EXPECT_TRUE(HasDescription(rows, u"Process aborted, user intervention"));
            EXPECT_EQ(boxes.size(), 1u);
        }
    }
    EXPECT_TRUE(FileBytes(disk) == before);
}

TEST_F(GridDialogTest, AnImageOnAnotherFileSystemIsAskedOnlyWhenItIsAPartitionOfTheDisk) {
    std::unique_ptr<TempDir> other = TempDirOnAnotherFileSystem();
    if (!other)
        GTEST_SKIP() << "no second file system to write to";
    const fs::path disk = WritePatternedDisk(m_images.File("patterned.img"), 64);
    const DriveNode node = MapDisk(disk);
    // The source disk's file is the disk here: its file system and the destination's.
    const OneDiskOrTwo trees(disk, other->Path());
    int round = 0;
    for (const OneDiskOrTwo::Case& each : trees.Cases()) {
        SCOPED_TRACE(each.what);
        m_window.Clear();
        const fs::path output = other->File("copy" + std::to_string(round++) + ".img");
        Grid job(m_state);
        job.SetImageParams(Utf16(output), node, 0, 64, &m_window);
        Grid::Parameters parameters = job.GetParameters();
        parameters.sysfsRoot = each.sysfsRoot;
        job.SetParameters(parameters);
        m_window.SetDefaultAnswer(MessageBoxAnswer::No);
        EXPECT_EQ(job.Run(), !each.oneDisk);
        EXPECT_EQ(fs::exists(output), !each.oneDisk);
        const auto boxes = m_window.MessageBoxes();
        // Asked: the question alone; not asked: the completion box alone.
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].buttons == MessageBoxButtons::YesNo, each.oneDisk);
    }
}

// --- images opened again ---------------------------------------------------------------------

TEST_F(GridDialogTest, AVolumeImageScansToWhatItsSourceScansTo) {
    const fs::path volume = Fixture("fat16_volume");
    ASSERT_FALSE(volume.empty());
    MappedDrive drive(volume, 4);
    NameAsTheDriveList(drive);
    for (const bool advance : {false, true}) {
        SCOPED_TRACE(advance ? "advance" : "standard");
        CThreadForFileSystem::Parameters parameters;
        parameters.advanceScan = advance;
        drive.Map();
        const SeenItems expected = Scan(drive.Node(), parameters);
        ASSERT_GT(expected.size(), 5u);

        const fs::path output = m_out.File("volume.img");
        ASSERT_TRUE(Image(drive.Node(), 0, drive.Node().Logical()->totalSectors, output));
        const ImageFileLoad load = disk_image_file::LoadImageFile(output, m_state.driveList.nodes);
        ASSERT_TRUE(load.node.has_value());
        EXPECT_EQ(load.node->kind, DriveKind::VolumeImage);
        // The source is gone: the image reads only its own file.
        DeviceTable::Process().SetDriveLetter(
            MappedDrive::kDriveLetter,
            DeviceSource{m_images.File("gone").string(), 0, std::nullopt});
        parameters.setupOption = 1;
        EXPECT_EQ(Scan(*load.node, parameters), expected);
    }
}

TEST_F(GridDialogTest, ADiskImageGivesTheRawSearchFindsOfItsSource) {
    const fs::path carving = Fixture("carving");
    ASSERT_FALSE(carving.empty());
    // Disks are sized in megabytes at least; zeros after the files change no find.
    fs::resize_file(carving, 2 * 1024 * 1024);
    const DriveNode disk = MapDisk(carving);
    const uint64_t sectors = disk.Physical()->totalSectors;
    CThreadForFileSystem::Parameters parameters;
    parameters.rawSearch = true;
    parameters.regionFirstSector = 0;
    parameters.regionLastSector = sectors;
    const SeenItems expected = Scan(disk, parameters);
    ASSERT_GT(expected.size(), 10u);

    const fs::path output = m_out.File("disk.img");
    ASSERT_TRUE(Image(disk, 0, sectors, output));
    const ImageFileLoad load = disk_image_file::LoadImageFile(output, m_state.driveList.nodes);
    ASSERT_TRUE(load.node.has_value());
    EXPECT_EQ(load.node->kind, DriveKind::DiskImage);
    EXPECT_EQ(load.node->Physical()->totalSectors, sectors) << "the trailer is no sector";
    DeviceTable::Process().SetPhysicalDisk(
        0, DeviceSource{m_images.File("gone").string(), 0, std::nullopt});
    parameters.setupOption = 1;
    EXPECT_EQ(Scan(*load.node, parameters), expected);
}

} // namespace
