// Scan-information files that are damaged or hostile. Real files are made by scanning a FAT and
// an NTFS fixture and saving the scan through the job; then every field boundary is cut, every
// count and length is set to 0, to its largest value and just past the file, and the geometry
// is made to contradict itself. A refused file allocates nothing larger than itself, and the
// job's load of it leaves the drive list, the volume and the views as they were. The save job
// is followed on every path: a write the file system refuses, a folder that does not exist, and
// each answer to the file-exists question.

#include "jobs/scan_info/scan_info_file.h"

#include "diskio/records/drive_node_serializer.h"
#include "diskio/records/logical_drive_info_serializer.h"
#include "diskio/records/physical_disk_info_serializer.h"
#include "diskio/records/stored_drive_list.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/found_item_serializer.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_record_entry_serializer.h"
#include "filesystems/ntfs/ntfs_run_entry_serializer.h"
#include "jobs/scan_info/scan_info_header_serializer.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan_info/thread_for_saving_scan_info.h"
#include "platform/jobs/gui_thread_task.h"
#include "platform/jobs/scan_file_exists_request.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/support/fixture_image.h"
#include "tests/support/found_tree.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <list>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Refusal = ScanInfoFile::Refusal;
using Header = ScanInfoHeaderSerializer;

// --- the largest allocation ------------------------------------------------------------------
// The whole test program's operator new notes the largest single request while a test watches,
// so that a parser that trusts a stored count before checking it against the file shows here
// (and not only as an out-of-memory in production).

namespace {
std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};

void Note(size_t size) {
    if (!g_watching.load(std::memory_order_relaxed))
        return;
    size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size))
        ;
}

void* Allocate(size_t size) {
    Note(size);
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}
} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}
// Every form that allocates through malloc is replaced, so that no block from the library's
// own operator new ever reaches free() here (the sanitizers check the pairing).
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    Note(size);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    Note(size);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

namespace {

// The largest single allocation `run` made.
size_t LargestAllocation(const std::function<void()>& run) {
    g_largest = 0;
    g_watching = true;
    run();
    g_watching = false;
    return g_largest.load();
}

// What the messages and texts of a run may take beside the file itself.
constexpr size_t kSlack = 16 * 1024;

constexpr uint8_t kFat12Type = 1;
constexpr uint8_t kNtfsType = 7;

enum class Reader { Fat, Ntfs };

void PutNumber(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetNumber(const std::vector<uint8_t>& bytes, size_t offset, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value |= uint64_t{bytes.at(offset + i)} << (8 * i);
    return value;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
}

std::set<std::string> FolderNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::u16string English(uint32_t id) {
    return std::u16string(StringTable::Program().English(id));
}

// A drive list holding every layout of detail: the scanned volume, a disk image with identify
// data, a rebuilt volume with folder clusters, a removable disk, and a folder-cluster array
// last so that a damaged array marker reaches the end of a drive-list file.
std::list<DriveNode> SampleNodes(const DriveNode& scanned) {
    std::list<DriveNode> nodes;
    DriveNode image;
    image.number = 0x81;
    image.kind = DriveKind::DiskImage;
    image.imagePath = u"/images/disk.img";
    PhysicalDiskInfo disk;
    disk.drive = 0x81;
    disk.totalSectors = 2048;
    disk.sizeText = u"1 MB";
    disk.identify = DiskIdentifyInfo{"MODEL", "SERIAL", "FW1", 0};
    image.detail = disk;
    nodes.push_back(image);
    nodes.push_back(scanned);
    DriveNode removable;
    removable.number = 10;
    removable.kind = DriveKind::RemovableDisk;
    PhysicalDiskInfo stick;
    stick.drive = 10;
    stick.totalSectors = 4096;
    removable.detail = stick;
    nodes.push_back(removable);
    DriveNode rebuilt;
    rebuilt.number = 11;
    rebuilt.kind = DriveKind::RebuiltVolume;
    LogicalDriveInfo volume;
    volume.drive = 11;
    volume.totalSectors = 1000;
    volume.lastSector = 999;
    volume.partitionType = 4;
    volume.foundVolume.sectorsPerFat = 3;
    volume.foundVolume.sectorsPerCluster = 4;
    volume.foundVolume.folderClusters = {5, 9, 12};
    rebuilt.detail = volume;
    nodes.push_back(rebuilt);
    return nodes;
}

// Where the parts of a saved file begin and end, from what the file holds.
struct Layout {
    size_t tablesEnd = 0;
    std::vector<size_t> nodeEnds;   // each node's end (its detail included)
    std::vector<size_t> boundaries; // every field boundary inside the nodes
    std::vector<size_t> itemEnds;   // each item record's end
    std::vector<size_t> itemInner;  // boundaries inside the item records
};

Layout LayoutOf(const LoadedScanInfo& file) {
    Layout layout;
    size_t at = Header::kSize + file.fatCopy.size() + file.clusterMap.size() +
                file.recordTable.size() * NtfsRecordEntrySerializer::kSize +
                file.mftRuns.size() * NtfsRunEntrySerializer::kSize;
    layout.tablesEnd = at;
    for (const DriveNode& node : file.nodes) {
        const size_t start = at;
        at += StoredDriveList::WriteNode(node).size();
        layout.boundaries.push_back(start + DriveNodeSerializer::kSize);
        if (node.kind == DriveKind::HardDisk || node.kind == DriveKind::DiskImage) {
            layout.boundaries.push_back(start + DriveNodeSerializer::kSize +
                                        PhysicalDiskInfoSerializer::kSize);
        } else {
            layout.boundaries.push_back(start + DriveNodeSerializer::kSize +
                                        StoredDriveList::kSlotBytes);
        }
        layout.nodeEnds.push_back(at);
    }
    for (const ScanInfoItem& item : file.items) {
        const size_t start = at;
        at += ScanInfoFile::ItemRecord(item.item, item.name).size();
        layout.itemInner.push_back(start + 1);
        layout.itemInner.push_back(start + 1 + FoundItemSerializer::kSize);
        if (item.name.size() > 1)
            layout.itemInner.push_back(start + 1 + FoundItemSerializer::kSize + 2);
        layout.itemEnds.push_back(at);
    }
    return layout;
}

// The window of a save: the found items are handed over on request, the root first, as the
// frame hands them over; the file-exists question gets `answer` (with `newName` for Rename).
void AnswerSave(RecordingJobWindow& window, const std::vector<FoundTree::Entry>& items,
                ScanFileExistsRequest::Answer answer = ScanFileExistsRequest::Answer::Cancel,
                std::u16string newName = {}) {
    auto cursor = std::make_shared<size_t>(0);
    window.SetHandler([&items, cursor, answer, newName](JobMessage& message) -> intptr_t {
        if (auto* write = message.Get<WriteTreePayload>()) {
            if (write->restart)
                *cursor = 0;
            if (*cursor < items.size()) {
                const FoundTree::Entry& entry = items[*cursor];
                write->record = ScanInfoFile::ItemRecord(entry.item, entry.name);
                ++*cursor;
            }
            write->more = *cursor < items.size();
        }
        if (auto* question = message.Get<ScanFileExistsRequest>()) {
            question->answer = answer;
            question->newName = newName;
        }
        return 0;
    });
}

// The window of a load: it runs the hand-over, drops the scan when asked and keeps the items
// it is sent in `shown` (their payloads live only while they are sent).
void AnswerLoad(RecordingJobWindow& window, ScanState& state, FoundTree* shown = nullptr) {
    window.SetHandler([&state, shown](JobMessage& message) -> intptr_t {
        if (auto* task = message.Get<GuiThreadTask>())
            task->task();
        if (message.id == WM_RESET_SCAN) {
            state.driveList.Free();
            state.FreeVolume();
        }
        if (shown != nullptr)
            shown->Take(message);
        return 0;
    });
}

class ScanInfoFileTest : public ::testing::Test {
protected:
    // Scans the fixture as drive C: into m_state and keeps its items, the root first, with the
    // sample drive list.
    void ScanFixture(const std::string& fixture, Reader reader, bool advance = false) {
        const fs::path image = UnpackFixture(fixture + ".img", m_images);
        ASSERT_FALSE(image.empty());
        m_drive.emplace(image, reader == Reader::Fat ? kFat12Type : kNtfsType);
        m_items.clear();
        m_tree = FoundTree();
        FoundItem root;
        root.entryId = reader == Reader::Fat ? 0 : 5;
        root.parentId = ~uint64_t{0};
        root.attributes = FoundItem::kFolderAttribute;
        m_items.push_back({root, u"Root"});
        RecordingJobWindow scanWindow;
        scanWindow.SetHandler([this](JobMessage& message) -> intptr_t {
            m_tree.Take(message);
            return 0;
        });
        m_state.Environment().window = &scanWindow;
        m_state.SetSelectedDrive(&m_drive->Node());
        m_state.driveList.nodes = SampleNodes(m_drive->Node());
        if (reader == Reader::Fat) {
            CFatFileSystem& fat = m_state.NewFatVolume();
            fat.SetVolumeFromDrive(0);
            advance ? fat.AdvanceScan() : fat.Scan();
        } else {
            CNtfsFileSystem& ntfs = m_state.NewNtfsVolume();
            ASSERT_TRUE(ntfs.SetVolumeFromDrive(0));
            advance ? ntfs.AdvanceScan() : ntfs.Scan();
        }
        m_state.Environment().window = nullptr;
        m_items.insert(m_items.end(), m_tree.Entries().begin(), m_tree.Entries().end());
        ASSERT_GT(m_items.size(), 3u);
    }

    // Saves the current scan through the job; true when the job says it saved.
    bool Save(const fs::path& path, RecordingJobWindow& window) {
        CThreadForSavingScanInfo job(m_state);
        job.SetParameters({path, CThreadForSavingScanInfo::Mode::Save, &window});
        m_state.scanInfoJobRunning = true;
        return job.Run();
    }

    // Scans and saves; the file's bytes.
    std::vector<uint8_t> SavedFile(const std::string& fixture, Reader reader,
                                   bool advance = false) {
        ScanFixture(fixture, reader, advance);
        RecordingJobWindow window;
        AnswerSave(window, m_items);
        const fs::path path = m_files.File(fixture + (advance ? "-advance.DAT" : ".DAT"));
        EXPECT_TRUE(Save(path, window));
        return ReadFile(path);
    }

    // Loads `bytes` through the job into m_state.
    bool Load(std::span<const uint8_t> bytes, RecordingJobWindow& window,
              FoundTree* shown = nullptr) {
        WriteFile(m_files.File("load.DAT"), bytes);
        return LoadWritten(window, shown);
    }

    // Loads the file Load wrote last.
    bool LoadWritten(RecordingJobWindow& window, FoundTree* shown = nullptr) {
        const fs::path path = m_files.File("load.DAT");
        AnswerLoad(window, m_state, shown);
        CThreadForSavingScanInfo job(m_state);
        job.SetParameters({path, CThreadForSavingScanInfo::Mode::Load, &window});
        m_state.scanInfoJobRunning = true;
        return job.Run();
    }

    // The job's load of a refused file changes nothing: the scan is not dropped, the user is
    // told it is not a scan file, and the flags and the lock are free again.
    void ExpectRefusedLoadChangesNothing(std::span<const uint8_t> bytes) {
        const std::list<DriveNode> nodesBefore = m_state.driveList.nodes;
        const CFatFileSystem* fatBefore = m_state.FatVolume();
        const CNtfsFileSystem* ntfsBefore = m_state.NtfsVolume();
        const uint32_t foundBefore = m_state.VolumeFoundCount();
        RecordingJobWindow window;
        WriteFile(m_files.File("load.DAT"), bytes);
        bool loaded = true;
        const size_t largest = LargestAllocation([&] { loaded = LoadWritten(window); });
        EXPECT_FALSE(loaded);
        // The whole file is read once; nothing larger is asked for.
        EXPECT_LE(largest, bytes.size() + kSlack);
        EXPECT_EQ(window.Count(WM_RESET_SCAN), 0u);
        const auto boxes = window.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, English(kNotValidId));
        EXPECT_EQ(m_state.driveList.nodes, nodesBefore);
        EXPECT_EQ(m_state.FatVolume(), fatBefore);
        EXPECT_EQ(m_state.NtfsVolume(), ntfsBefore);
        EXPECT_EQ(m_state.VolumeFoundCount(), foundBefore);
        EXPECT_FALSE(m_state.scanInfoJobRunning);
        EXPECT_TRUE(m_state.scanInfoLock.try_lock());
        m_state.scanInfoLock.unlock();
    }

    // Parse with the allocation bound: a refused file never asks for more than its own size.
    Refusal ParseBounded(std::span<const uint8_t> bytes, LoadedScanInfo& out) {
        Refusal refusal = Refusal::None;
        const size_t largest =
            LargestAllocation([&] { refusal = ScanInfoFile::Parse(bytes, out); });
        EXPECT_LE(largest, bytes.size() + kSlack);
        return refusal;
    }

    TempDir m_images;
    TempDir m_files;
    ScanState m_state;
    std::optional<MappedDrive> m_drive;
    FoundTree m_tree;
    std::vector<FoundTree::Entry> m_items;
};

struct Fixture {
    const char* name;
    Reader reader;
    bool advance;
};

const Fixture kFixtures[] = {
    {"fat12_small", Reader::Fat, false},
    {"ntfs_deleted_parent", Reader::Ntfs, false},
    {"ntfs_deleted_parent", Reader::Ntfs, true},
};

std::string NameOf(const Fixture& fixture) {
    return std::string(fixture.name) + (fixture.advance ? " advance" : " standard");
}

// --- the file as saved -----------------------------------------------------------------------

TEST_F(ScanInfoFileTest, ASavedScanParsesWholeWithEveryItemAndNode) {
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(NameOf(fixture));
        const std::vector<uint8_t> bytes = SavedFile(fixture.name, fixture.reader, fixture.advance);
        LoadedScanInfo file;
        ASSERT_EQ(ParseBounded(bytes, file), Refusal::None);
        EXPECT_FALSE(file.partial);
        EXPECT_EQ(file.nodes, m_state.driveList.nodes);
        ASSERT_EQ(file.items.size(), m_items.size());
        for (size_t i = 0; i < m_items.size(); ++i) {
            EXPECT_EQ(file.items[i].item, m_items[i].item) << i;
            EXPECT_EQ(file.items[i].name, m_items[i].name) << i;
        }
        EXPECT_EQ(file.header.itemCount, m_items.size());
        EXPECT_EQ(LayoutOf(file).itemEnds.back(), bytes.size());
        if (fixture.advance) {
            EXPECT_FALSE(file.recordTable.empty());
        } else if (fixture.reader == Reader::Ntfs) {
            EXPECT_FALSE(file.mftRuns.empty());
        }
    }
}

// --- cut short -------------------------------------------------------------------------------

TEST_F(ScanInfoFileTest,
       ACutInsideTheHeaderTablesOrNodesIsRefusedAndInsideTheItemsKeepsWhatIsWhole) {
    const size_t headerFields[] = {0,  1,  2,  6,  10, 14,  15,  16,  17,  21,
                                   25, 33, 37, 41, 45, 49,  51,  52,  53,  61,
                                   69, 77, 85, 89, 91, 219, 347, 348, 868, 1023};
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(NameOf(fixture));
        const std::vector<uint8_t> whole = SavedFile(fixture.name, fixture.reader, fixture.advance);
        LoadedScanInfo full;
        ASSERT_EQ(ScanInfoFile::Parse(whole, full), Refusal::None);
        const Layout layout = LayoutOf(full);

        struct Cut {
            size_t length;
            Refusal expected;
        };
        std::vector<Cut> cuts;
        for (size_t field : headerFields)
            cuts.push_back({field, Refusal::ShortHeader});
        cuts.push_back(
            {Header::kSize, layout.tablesEnd > Header::kSize ? Refusal::Tables : Refusal::Nodes});
        // Each table's end but the last, and the middle of each table.
        size_t at = Header::kSize;
        for (size_t table :
             {full.fatCopy.size() + full.recordTable.size() * 24 + full.mftRuns.size() * 14,
              full.clusterMap.size()}) {
            if (table == 0)
                continue;
            cuts.push_back({at + table / 2, Refusal::Tables});
            at += table;
            if (at < layout.tablesEnd)
                cuts.push_back({at, Refusal::Tables});
        }
        cuts.push_back({layout.tablesEnd + 1, Refusal::Nodes});
        for (size_t boundary : layout.boundaries)
            cuts.push_back({boundary, Refusal::Nodes});
        for (size_t i = 0; i + 1 < layout.nodeEnds.size(); ++i)
            cuts.push_back({layout.nodeEnds[i], Refusal::Nodes});
        for (const Cut& cut : cuts) {
            SCOPED_TRACE("cut at " + std::to_string(cut.length));
            const std::span<const uint8_t> part(whole.data(), cut.length);
            LoadedScanInfo out;
            out.partial = true;
            EXPECT_EQ(ParseBounded(part, out), cut.expected);
            EXPECT_TRUE(out.items.empty() && out.nodes.empty());
        }

        // Inside the items: every complete record stays, the load is partial.
        std::vector<size_t> itemCuts = layout.itemInner;
        itemCuts.push_back(layout.nodeEnds.back());
        itemCuts.insert(itemCuts.end(), layout.itemEnds.begin(), layout.itemEnds.end() - 1);
        for (size_t length : itemCuts) {
            SCOPED_TRACE("cut at " + std::to_string(length));
            const size_t complete =
                static_cast<size_t>(std::count_if(layout.itemEnds.begin(), layout.itemEnds.end(),
                                                  [length](size_t end) { return end <= length; }));
            LoadedScanInfo out;
            ASSERT_EQ(ParseBounded({whole.data(), length}, out), Refusal::None);
            EXPECT_TRUE(out.partial);
            ASSERT_EQ(out.items.size(), complete);
            for (size_t i = 0; i < complete; ++i)
                EXPECT_EQ(out.items[i].name, full.items[i].name);
            EXPECT_EQ(out.nodes, full.nodes);
        }
    }
}

TEST_F(ScanInfoFileTest, ALoadCutInsideTheItemsShowsWhatIsWholeAndSaysItEndsEarly) {
    const std::vector<uint8_t> whole = SavedFile("fat12_small", Reader::Fat);
    LoadedScanInfo full;
    ASSERT_EQ(ScanInfoFile::Parse(whole, full), Refusal::None);
    const Layout layout = LayoutOf(full);
    const size_t kept = 3;
    const std::vector<uint8_t> cut(
        whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(layout.itemEnds[kept - 1] + 5));
    RecordingJobWindow window;
    FoundTree shown;
    EXPECT_FALSE(Load(cut, window, &shown));
    EXPECT_EQ(window.Count(WM_RESET_SCAN), 1u);
    EXPECT_EQ(window.Count(WM_ADD_TREE_ROOT), 1u);
    ASSERT_EQ(shown.Entries().size(), kept - 1);
    EXPECT_EQ(shown.Entries().back().name, full.items[kept - 1].name);
    ASSERT_NE(m_state.FatVolume(), nullptr);
    EXPECT_EQ(m_state.VolumeFoundCount(), kept);
    EXPECT_EQ(m_state.driveList.nodes, full.nodes);
    const auto rows = window.LogLines();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(std::get<3>(rows.back()), 4);
    EXPECT_FALSE(m_state.scanInfoJobRunning);
}

// --- counts and lengths ----------------------------------------------------------------------

struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&, const Layout&)> apply;
    std::optional<Refusal> expected; // nullopt: loads (checked by `loaded`)
    std::function<void(const LoadedScanInfo&, const LoadedScanInfo& full)> loaded = {};
};

// Field at `offset` of `width` bytes set to `value`.
std::function<void(std::vector<uint8_t>&, const Layout&)> Set(size_t offset, uint64_t value,
                                                              size_t width) {
    return
        [=](std::vector<uint8_t>& bytes, const Layout&) { PutNumber(bytes, offset, value, width); };
}

std::function<void(std::vector<uint8_t>&, const Layout&)>
Both(std::function<void(std::vector<uint8_t>&, const Layout&)> first,
     std::function<void(std::vector<uint8_t>&, const Layout&)> second) {
    return [=](std::vector<uint8_t>& bytes, const Layout& layout) {
        first(bytes, layout);
        second(bytes, layout);
    };
}

// Cuts the file after the nodes.
void DropItems(std::vector<uint8_t>& bytes, const Layout& layout) {
    bytes.resize(layout.nodeEnds.back());
}

void RunDamages(ScanInfoFileTest& test, const std::vector<uint8_t>& whole,
                const std::vector<Damage>& damages,
                const std::function<void(std::span<const uint8_t>)>& refusedLoad) {
    LoadedScanInfo full;
    ASSERT_EQ(ScanInfoFile::Parse(whole, full), Refusal::None);
    const Layout layout = LayoutOf(full);
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        std::vector<uint8_t> bytes = whole;
        damage.apply(bytes, layout);
        LoadedScanInfo out;
        Refusal refusal = Refusal::None;
        const size_t largest =
            LargestAllocation([&] { refusal = ScanInfoFile::Parse(bytes, out); });
        EXPECT_LE(largest, bytes.size() + kSlack);
        if (damage.expected) {
            EXPECT_EQ(refusal, *damage.expected);
            if (refusal != Refusal::None)
                refusedLoad(bytes);
        } else {
            ASSERT_EQ(refusal, Refusal::None);
            if (damage.loaded)
                damage.loaded(out, full);
        }
    }
    (void)test;
}

TEST_F(ScanInfoFileTest, FatCountsLengthsAndGeometryThatContradictTheFileAreRefused) {
    const std::vector<uint8_t> whole = SavedFile("fat12_small", Reader::Fat);
    const uint64_t total = GetNumber(whole, Header::kOffsetTotalSectors, 8);
    const uint64_t first = GetNumber(whole, Header::kOffsetFirstSector, 8);
    const auto keepsAllItems = [](const LoadedScanInfo& out, const LoadedScanInfo& full) {
        EXPECT_EQ(out.items.size(), full.items.size());
        EXPECT_TRUE(out.partial);
    };
    const std::vector<Damage> damages = {
        {"item count 0", Set(Header::kOffsetItemCount, 0, 4), std::nullopt,
         [](const LoadedScanInfo& out, const LoadedScanInfo&) {
             EXPECT_TRUE(out.items.empty());
             EXPECT_TRUE(out.partial);
         }},
        {"item count max", Set(Header::kOffsetItemCount, 0xFFFFFFFF, 4), std::nullopt,
         keepsAllItems},
        {"item count one past the file",
         [](std::vector<uint8_t>& bytes, const Layout& layout) {
             PutNumber(bytes, Header::kOffsetItemCount, layout.itemEnds.size() + 1, 4);
         },
         std::nullopt, keepsAllItems},
        {"node count max", Set(Header::kOffsetNodeCount, 0xFFFF, 2), Refusal::Nodes},
        {"node count one past the file",
         Both(DropItems,
              [](std::vector<uint8_t>& bytes, const Layout& layout) {
                  PutNumber(bytes, Header::kOffsetNodeCount, layout.nodeEnds.size() + 1, 2);
              }),
         Refusal::Nodes},
        {"map size max", Set(Header::kOffsetMapSize, 0xFFFFFFFF, 4), Refusal::Geometry},
        {"map size past the file",
         [](std::vector<uint8_t>& bytes, const Layout&) {
             PutNumber(bytes, Header::kOffsetMapSize,
                       GetNumber(bytes, Header::kOffsetMapSize, 4) + bytes.size(), 4);
         },
         Refusal::Geometry},
        {"sectors per FAT max", Set(Header::kOffsetSectorsPerFat, 0xFFFFFFFF, 4),
         Refusal::Geometry},
        {"sectors per FAT max, contiguous",
         Both(Set(Header::kOffsetSectorsPerFat, 0xFFFFFFFF, 4),
              Set(Header::kOffsetLinkingMode, 2, 1)),
         Refusal::Geometry},
        {"sectors per FAT past the file, total sectors raised to match",
         Both(Set(Header::kOffsetSectorsPerFat, 0x00800000, 4),
              Set(Header::kOffsetTotalSectors, 0x10000000, 8)),
         Refusal::Tables},
        // Byte 14 tells the reader: without it this is a drive list that counts items.
        {"sectors per cluster 0", Set(Header::kOffsetFatSectorsPerCluster, 0, 1),
         Refusal::Geometry},
        {"sectors per cluster 3", Set(Header::kOffsetFatSectorsPerCluster, 3, 1),
         Refusal::Geometry},
        {"sectors per cluster 255", Set(Header::kOffsetFatSectorsPerCluster, 255, 1),
         Refusal::Geometry},
        {"partition type 7 in a FAT header", Set(Header::kOffsetFatType, 7, 1), Refusal::Geometry},
        {"linking mode 3", Set(Header::kOffsetLinkingMode, 3, 1), Refusal::Geometry},
        {"first sector after the last",
         Both(Set(Header::kOffsetFirstSector, 100, 8), Set(Header::kOffsetLastSector, 99, 8)),
         Refusal::Geometry},
        {"reserved + FATs + root past the total", Set(Header::kOffsetReservedSectors, total, 4),
         Refusal::Geometry},
        {"root sectors max", Set(Header::kOffsetRootFolderSectors, 0xFFFFFFFF, 4),
         Refusal::Geometry},
        {"total sectors 0", Set(Header::kOffsetTotalSectors, 0, 8), Refusal::Geometry},
        {"absolute sectors with a total that is not last - first + 1",
         Both(Set(Header::kOffsetAbsoluteSectors, 1, 1),
              Set(Header::kOffsetLastSector, first + total + 5, 8)),
         Refusal::Geometry},
        {"first banner changed", Set(Header::kOffsetBanner, 'N', 1), Refusal::Banners},
        {"second banner changed", Set(Header::kOffsetSecondBanner + 3, 'X', 1), Refusal::Banners},
        {"first banner without its NUL",
         [](std::vector<uint8_t>& bytes, const Layout&) {
             std::fill_n(bytes.begin() + Header::kOffsetBanner + 45, 128 - 45, 'x');
         },
         Refusal::Banners},
        {"banners swapped",
         [](std::vector<uint8_t>& bytes, const Layout&) {
             std::swap_ranges(bytes.begin() + Header::kOffsetBanner,
                              bytes.begin() + Header::kOffsetBanner + 128,
                              bytes.begin() + Header::kOffsetSecondBanner);
         },
         Refusal::Banners},
    };
    RunDamages(*this, whole, damages,
               [this](std::span<const uint8_t> bytes) { ExpectRefusedLoadChangesNothing(bytes); });
}

TEST_F(ScanInfoFileTest, NtfsCountsLengthsAndGeometryThatContradictTheFileAreRefused) {
    for (bool advance : {false, true}) {
        SCOPED_TRACE(advance ? "advance" : "standard");
        const std::vector<uint8_t> whole = SavedFile("ntfs_deleted_parent", Reader::Ntfs, advance);
        const uint32_t runs =
            static_cast<uint32_t>(GetNumber(whole, Header::kOffsetMftRunCount, 4));
        std::vector<Damage> damages = {
            {"sectors per cluster 1024", Set(Header::kOffsetNtfsSectorsPerCluster, 1024, 2),
             Refusal::Geometry},
            {"sectors per cluster 3", Set(Header::kOffsetNtfsSectorsPerCluster, 3, 2),
             Refusal::Geometry},
            {"sectors per cluster 0xFFFF", Set(Header::kOffsetNtfsSectorsPerCluster, 0xFFFF, 2),
             Refusal::Geometry},
            {"first sector after the last",
             Both(Set(Header::kOffsetFirstSector, 100, 8), Set(Header::kOffsetLastSector, 99, 8)),
             Refusal::Geometry},
            {"cluster count max", Set(Header::kOffsetClusterCount, 0xFFFFFFFF, 4),
             Refusal::Geometry},
            {"run count max, length to match (overflows 32 bits)",
             Both(Set(Header::kOffsetMftRunCount, 0xFFFFFFFF, 4),
                  Set(Header::kOffsetMftRunTableBytes, uint64_t{0xFFFFFFFF} * 14, 4)),
             Refusal::Geometry},
            {"run count whose length overflows 32 bits",
             Set(Header::kOffsetMftRunCount, 0x12492493, 4), Refusal::Geometry},
            {"run length without its count",
             Set(Header::kOffsetMftRunTableBytes, 14 * (runs + 1), 4), Refusal::Geometry},
            {"node count max", Set(Header::kOffsetNodeCount, 0xFFFF, 2), Refusal::Nodes},
            {"node count one past the file",
             Both(DropItems,
                  [](std::vector<uint8_t>& bytes, const Layout& layout) {
                      PutNumber(bytes, Header::kOffsetNodeCount, layout.nodeEnds.size() + 1, 2);
                  }),
             Refusal::Nodes},
            {"item count max", Set(Header::kOffsetItemCount, 0xFFFFFFFF, 4), std::nullopt,
             [](const LoadedScanInfo& out, const LoadedScanInfo& full) {
                 EXPECT_EQ(out.items.size(), full.items.size());
                 EXPECT_TRUE(out.partial);
             }},
            {"second banner empty", Set(Header::kOffsetSecondBanner, 0, 1), Refusal::Banners},
        };
        if (advance) {
            damages.push_back({"record-table count max",
                               Set(Header::kOffsetRecordTableCount, 0xFFFFFFFF, 4),
                               Refusal::Tables});
            damages.push_back({"record-table count whose length overflows 32 bits",
                               Set(Header::kOffsetRecordTableCount, 0x0AAAAAAB, 4),
                               Refusal::Tables});
            damages.push_back({"record-table count past the file",
                               [](std::vector<uint8_t>& bytes, const Layout&) {
                                   PutNumber(bytes, Header::kOffsetRecordTableCount,
                                             bytes.size() / 24 + 1, 4);
                               },
                               Refusal::Tables});
            damages.push_back({"runs beside a record table",
                               Both(Set(Header::kOffsetMftRunCount, 1, 4),
                                    Set(Header::kOffsetMftRunTableBytes, 14, 4)),
                               Refusal::Geometry});
        } else {
            damages.push_back({"run count past the file, length to match",
                               [](std::vector<uint8_t>& bytes, const Layout&) {
                                   const uint64_t count = bytes.size() / 14 + 1;
                                   PutNumber(bytes, Header::kOffsetMftRunCount, count, 4);
                                   PutNumber(bytes, Header::kOffsetMftRunTableBytes, count * 14, 4);
                               },
                               Refusal::Tables});
        }
        RunDamages(*this, whole, damages, [this](std::span<const uint8_t> bytes) {
            ExpectRefusedLoadChangesNothing(bytes);
        });
    }
}

// --- what the volume cannot hold ---------------------------------------------------------------

// Field `offset` of the item record `index` (the root is 0) set to `value`.
std::function<void(std::vector<uint8_t>&, const Layout&)> SetItem(size_t index, size_t offset,
                                                                  uint64_t value, size_t width) {
    return [=](std::vector<uint8_t>& bytes, const Layout& layout) {
        const size_t start = index == 0 ? layout.nodeEnds.back() : layout.itemEnds[index - 1];
        PutNumber(bytes, start + 1 + offset, value, width);
    };
}

size_t FirstFileItem(const std::vector<uint8_t>& whole) {
    LoadedScanInfo file;
    EXPECT_EQ(ScanInfoFile::Parse(whole, file), Refusal::None);
    for (size_t i = 1; i < file.items.size(); ++i)
        if (!file.items[i].item.IsFolder() && file.items[i].item.size != 0)
            return i;
    ADD_FAILURE() << "no file item";
    return 1;
}

// A map too small for the volume (a 1-byte map once set the cluster limit to 0, which the
// reader took for no limit), an item larger than its volume, a cluster past its end: refused
// whole before anything is allocated for them. What the volume can hold still loads.
TEST_F(ScanInfoFileTest, ClaimsTheVolumeCannotHoldAreRefused) {
    using Item = FoundItemSerializer;
    constexpr uint64_t kPetabytes31 = uint64_t{31} << 50;
    const auto loads = [](const LoadedScanInfo& out, const LoadedScanInfo& full) {
        EXPECT_EQ(out.items.size(), full.items.size());
    };
    {
        SCOPED_TRACE("FAT");
        const std::vector<uint8_t> whole = SavedFile("fat12_small", Reader::Fat);
        const uint64_t total = GetNumber(whole, Header::kOffsetTotalSectors, 8);
        const uint64_t perCluster = whole[Header::kOffsetFatSectorsPerCluster];
        const uint64_t system = GetNumber(whole, Header::kOffsetReservedSectors, 4) +
                                2 * GetNumber(whole, Header::kOffsetSectorsPerFat, 4) +
                                GetNumber(whole, Header::kOffsetRootFolderSectors, 4);
        const uint64_t clusterEnd =
            std::max<uint64_t>((total - system) / perCluster + 2,
                               GetNumber(whole, Header::kOffsetSectorsPerFat, 4) * 341);
        const size_t file = FirstFileItem(whole);
        // A map must follow the FAT copy; the saved scan has none.
        ASSERT_EQ(GetNumber(whole, Header::kOffsetMapSize, 4), 0u);
        const std::vector<Damage> damages = {
            {"1-byte map", Set(Header::kOffsetMapSize, 1, 4), Refusal::Geometry},
            {"3-byte map", Set(Header::kOffsetMapSize, 3, 4), Refusal::Geometry},
            {"a file of 31 PB", SetItem(file, Item::kOffsetSize, kPetabytes31, 8), Refusal::Items},
            {"a file one byte larger than the volume",
             SetItem(file, Item::kOffsetSize, total * 512 + 1, 8), Refusal::Items},
            {"a file as large as the volume", SetItem(file, Item::kOffsetSize, total * 512, 8),
             std::nullopt, loads},
            {"a first cluster past the volume",
             SetItem(file, Item::kOffsetFirstCluster, clusterEnd, 8), Refusal::Items},
            {"a first cluster of 2^40", SetItem(file, Item::kOffsetFirstCluster, 1ull << 40, 8),
             Refusal::Items},
            {"the last cluster", SetItem(file, Item::kOffsetFirstCluster, clusterEnd - 1, 8),
             std::nullopt, loads},
        };
        RunDamages(*this, whole, damages, [this](std::span<const uint8_t> bytes) {
            ExpectRefusedLoadChangesNothing(bytes);
        });
    }
    {
        SCOPED_TRACE("NTFS");
        const std::vector<uint8_t> whole = SavedFile("ntfs_deleted_parent", Reader::Ntfs);
        const uint64_t total = GetNumber(whole, Header::kOffsetTotalSectors, 8);
        const uint64_t perCluster = GetNumber(whole, Header::kOffsetNtfsSectorsPerCluster, 2);
        const uint64_t clusters = (total + perCluster - 1) / perCluster;
        const size_t file = FirstFileItem(whole);
        const auto contiguous = SetItem(file, Item::kOffsetContiguousData, 1, 1);
        const std::vector<Damage> damages = {
            // A file with runs may be sparse or compressed: its size is no claim on the disk.
            {"a file with runs of 31 PB", SetItem(file, Item::kOffsetSize, kPetabytes31, 8),
             std::nullopt, loads},
            {"a signature-found file of 31 PB",
             Both(contiguous, SetItem(file, Item::kOffsetSize, kPetabytes31, 8)), Refusal::Items},
            {"a signature-found file past the volume",
             Both(contiguous, SetItem(file, Item::kOffsetFirstCluster, clusters, 8)),
             Refusal::Items},
            {"a signature-found file at the last cluster",
             Both(Both(contiguous, SetItem(file, Item::kOffsetFirstCluster, clusters - 1, 8)),
                  SetItem(file, Item::kOffsetSize, perCluster * 512, 8)),
             std::nullopt, loads},
        };
        RunDamages(*this, whole, damages, [this](std::span<const uint8_t> bytes) {
            ExpectRefusedLoadChangesNothing(bytes);
        });
    }
}

// Zero counts are a scan that found nothing and a volume without tables: both load.
TEST_F(ScanInfoFileTest, ZeroCountsAreLegal) {
    ScanFixture("ntfs_deleted_parent", Reader::Ntfs, false);
    ScanInfoHeader header;
    header.content = ScanInfoHeader::Content::Ntfs;
    header.ntfs = m_state.NtfsVolume()->ScanInfoRecord();
    struct Case {
        const char* what;
        bool withItems;
        bool withNodes;
    };
    for (const Case& each : {Case{"no items", false, true}, Case{"no nodes", true, false},
                             Case{"nothing", false, false}}) {
        SCOPED_TRACE(each.what);
        std::vector<uint8_t> bytes;
        const std::list<DriveNode> nodes =
            each.withNodes ? m_state.driveList.nodes : std::list<DriveNode>();
        // A record table of 0 entries: the runs (none here) are what is stored.
        ASSERT_EQ(ScanInfoFile::WritePrefix(header, {}, {}, {}, {}, nodes,
                                            [&bytes](std::span<const uint8_t> part) {
                                                bytes.insert(bytes.end(), part.begin(), part.end());
                                                return true;
                                            }),
                  ScanInfoFile::WriteResult::Written);
        if (each.withItems) {
            for (const FoundTree::Entry& entry : m_items) {
                const auto record = ScanInfoFile::ItemRecord(entry.item, entry.name);
                bytes.insert(bytes.end(), record.begin(), record.end());
            }
            PutNumber(bytes, Header::kOffsetItemCount, m_items.size(), 4);
        }
        LoadedScanInfo out;
        ASSERT_EQ(ParseBounded(bytes, out), Refusal::None);
        EXPECT_FALSE(out.partial);
        EXPECT_EQ(out.items.size(), each.withItems ? m_items.size() : 0u);
        EXPECT_EQ(out.nodes, nodes);
        EXPECT_TRUE(out.recordTable.empty() && out.mftRuns.empty() && out.clusterMap.empty());

        RecordingJobWindow window;
        EXPECT_TRUE(Load(bytes, window));
        EXPECT_EQ(m_state.driveList.nodes, nodes);
        ASSERT_NE(m_state.NtfsVolume(), nullptr);
        EXPECT_EQ(m_state.VolumeFoundCount(), each.withItems ? m_items.size() : 0u);
        EXPECT_FALSE(m_state.scanInfoJobRunning);
    }
}

// --- the drive nodes -------------------------------------------------------------------------

TEST_F(ScanInfoFileTest, DamagedDriveNodesAreRefusedWhole) {
    m_state.driveList.nodes = SampleNodes(MappedDrive(
                                              [this] {
                                                  const fs::path image = m_images.File("blank.img");
                                                  std::ofstream(image).close();
                                                  fs::resize_file(image, 64 * 1024);
                                                  return image;
                                              }(),
                                              4)
                                              .Node());
    const std::vector<uint8_t> whole = ScanInfoFile::BuildDriveListFile(m_state.driveList.nodes);
    ASSERT_FALSE(whole.empty());
    LoadedScanInfo full;
    ASSERT_EQ(ScanInfoFile::Parse(whole, full), Refusal::None);
    ASSERT_EQ(full.nodes, m_state.driveList.nodes);
    const Layout layout = LayoutOf(full);
    const size_t lastNode = layout.nodeEnds[layout.nodeEnds.size() - 2];
    const size_t lastFound =
        lastNode + DriveNodeSerializer::kSize + LogicalDriveInfoSerializer::kOffsetFoundVolume;
    const size_t marker = lastFound + LogicalDriveInfoSerializer::kFoundOffsetFolderClusters;
    const size_t count = lastFound + LogicalDriveInfoSerializer::kFoundOffsetFolderClusterCount;
    // The removable disk, whose slot holds no array.
    const size_t removable = layout.nodeEnds[1] + DriveNodeSerializer::kSize +
                             LogicalDriveInfoSerializer::kOffsetFoundVolume +
                             LogicalDriveInfoSerializer::kFoundOffsetFolderClusters;
    const std::vector<Damage> damages = {
        {"kind 9", Set(Header::kSize + DriveNodeSerializer::kOffsetKind, 9, 1), Refusal::Nodes},
        {"kind 255 on the last node", Set(lastNode + DriveNodeSerializer::kOffsetKind, 255, 1),
         Refusal::Nodes},
        {"array marker clear, its count kept: the array is left over", Set(marker, 0, 4),
         std::nullopt,
         [](const LoadedScanInfo& out, const LoadedScanInfo& full) {
             ASSERT_EQ(out.nodes.size(), full.nodes.size());
             EXPECT_TRUE(out.nodes.back().Logical()->foundVolume.folderClusters.empty());
             EXPECT_TRUE(out.partial);
         }},
        {"array marker set, count past the file", Set(count, 1000, 4), Refusal::Nodes},
        {"array count max", Set(count, 0xFFFFFFFF, 4), Refusal::Nodes},
        {"array count at the reader's limit",
         Set(count, LogicalDriveInfoSerializer::kMaxFolderClusters, 4), Refusal::Nodes},
        {"array count one short: the last entry is left over", Set(count, 2, 4), std::nullopt,
         [](const LoadedScanInfo& out, const LoadedScanInfo&) {
             EXPECT_EQ(out.nodes.back().Logical()->foundVolume.folderClusters,
                       (std::vector<uint32_t>{5, 9}));
             EXPECT_TRUE(out.partial);
         }},
        {"a removable disk's slot with a count but no marker", Set(removable + 4, 77, 4),
         std::nullopt,
         [](const LoadedScanInfo& out, const LoadedScanInfo& full) {
             EXPECT_EQ(out.nodes, full.nodes);
         }},
        {"node count 0: the nodes are bytes after the list", Set(Header::kOffsetNodeCount, 0, 2),
         std::nullopt,
         [](const LoadedScanInfo& out, const LoadedScanInfo&) {
             EXPECT_TRUE(out.nodes.empty());
             EXPECT_TRUE(out.items.empty());
         }},
        {"node count past the file", Set(Header::kOffsetNodeCount, 5, 2), Refusal::Nodes},
    };
    // The state holds a FAT volume, as after a scan, while these are loaded.
    m_state.NewFatVolume();
    RunDamages(*this, whole, damages,
               [this](std::span<const uint8_t> bytes) { ExpectRefusedLoadChangesNothing(bytes); });
}

TEST_F(ScanInfoFileTest, AFileTooShortOrWithoutBannersIsRefusedByTheJobToo) {
    ScanFixture("fat12_small", Reader::Fat);
    for (size_t length : {size_t{0}, size_t{1}, size_t{90}, size_t{1023}}) {
        SCOPED_TRACE(length);
        const std::vector<uint8_t> bytes(length, 0);
        ExpectRefusedLoadChangesNothing(bytes);
    }
    const std::vector<uint8_t> zeros(4096, 0);
    ExpectRefusedLoadChangesNothing(zeros);
}

// --- the save job on every path --------------------------------------------------------------

TEST_F(ScanInfoFileTest, AWriteTheFileSystemRefusesFailsAndLeavesNothing) {
    ScanFixture("fat12_small", Reader::Fat);
    RecordingJobWindow reference;
    AnswerSave(reference, m_items);
    ASSERT_TRUE(Save(m_files.File("reference.DAT"), reference));
    const std::vector<uint8_t> whole = ReadFile(m_files.File("reference.DAT"));
    LoadedScanInfo full;
    ASSERT_EQ(ScanInfoFile::Parse(whole, full), Refusal::None);
    const Layout layout = LayoutOf(full);
    const fs::path folder = m_files.Path() / "limited";
    fs::create_directory(folder);
    m_state.scanInfoSaved = false;
    // Inside the header, the tables, the nodes and the last item; at the end of the first item,
    // where the whole next record is refused.
    ASSERT_GE(layout.itemEnds.size(), 2u);
    const rlim_t limits[] = {512, static_cast<rlim_t>(layout.tablesEnd - 100),
                             static_cast<rlim_t>(layout.nodeEnds.front() + 10),
                             static_cast<rlim_t>(whole.size() - 3),
                             static_cast<rlim_t>(layout.itemEnds.front())};
    for (rlim_t limit : limits) {
        SCOPED_TRACE(limit);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes past the limit fail with EFBIG instead of killing the process.
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lowered{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &lowered);
            RecordingJobWindow window;
            AnswerSave(window, m_items);
            const bool saved = Save(folder / "scan.DAT", window);
            int faults = 0;
            if (saved)
                faults |= 1;
            const auto rows = window.LogLines();
            if (rows.empty() || std::get<2>(rows.back()) != English(kProcessFailedId))
                faults |= 2;
            // A failed row names the file system's refusal.
            const std::u16string refusal = Utf8ToUtf16(std::strerror(EFBIG));
            if (std::none_of(rows.begin(), rows.end(), [&](const auto& row) {
                    return std::get<2>(row) == English(kProcessFailedId) &&
                           std::get<1>(row).find(refusal) != std::u16string::npos;
                }))
                faults |= 64;
            for (const auto& row : rows)
                if (std::get<2>(row) == English(kProcessCompletedId))
                    faults |= 4;
            if (!fs::is_empty(folder))
                faults |= 8;
            if (m_state.scanInfoJobRunning || m_state.scanInfoSaved)
                faults |= 16;
            if (!m_state.scanInfoLock.try_lock())
                faults |= 32;
            ::_exit(faults);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "1 reported saved, 2 no Process failed row last, 4 a Process completed row, "
               "8 a file left in the folder, 16 flags left set, 32 lock held, 64 the failed row "
               "does not name the refusal";
    }
}

TEST_F(ScanInfoFileTest, AFileThatCannotBeCreatedIsReportedAndNotCompleted) {
    ScanFixture("fat12_small", Reader::Fat);
    const fs::path path = m_files.Path() / "missing" / "scan.DAT";
    RecordingJobWindow window;
    AnswerSave(window, m_items);
    EXPECT_FALSE(Save(path, window));
    const auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, English(kCannotOpenFileId) + Utf8ToUtf16(path.string()));
    for (const auto& row : window.LogLines())
        EXPECT_NE(std::get<2>(row), English(kProcessCompletedId));
    EXPECT_EQ(window.Count(WM_WRITE_TREE_TO_FILE), 0u);
    EXPECT_FALSE(fs::exists(path.parent_path()));
    EXPECT_FALSE(m_state.scanInfoJobRunning);
    EXPECT_FALSE(m_state.scanInfoSaved);
    EXPECT_TRUE(m_state.scanInfoLock.try_lock());
    m_state.scanInfoLock.unlock();
}

TEST_F(ScanInfoFileTest, AnExistingFileIsKeptUnlessTheUserAnswersOverwrite) {
    ScanFixture("fat12_small", Reader::Fat);
    using Answer = ScanFileExistsRequest::Answer;
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    struct Case {
        const char* what;
        Answer answer;
        bool saved;
        bool oldKept;
        bool renamed;
    };
    const Case cases[] = {
        {"cancel", Answer::Cancel, false, true, false},
        {"rename", Answer::Rename, true, true, true},
        {"overwrite", Answer::Overwrite, true, false, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        TempDir folder;
        const fs::path path = folder.File("scan.DAT");
        WriteFile(path, old);
        RecordingJobWindow window;
        AnswerSave(window, m_items, each.answer, u"renamed.DAT");
        EXPECT_EQ(Save(path, window), each.saved);
        EXPECT_EQ(window.Count(kJobAskScanFileExists), 1u);
        EXPECT_EQ(ReadFile(path) == old, each.oldKept);
        EXPECT_EQ(fs::exists(folder.File("renamed.DAT")), each.renamed);
        const std::set<std::string> expected =
            each.renamed ? std::set<std::string>{"scan.DAT", "renamed.DAT"}
                         : std::set<std::string>{"scan.DAT"};
        EXPECT_EQ(FolderNames(folder.Path()), expected);
        const fs::path written = each.renamed ? folder.File("renamed.DAT") : path;
        if (each.saved) {
            LoadedScanInfo file;
            ASSERT_EQ(ScanInfoFile::Parse(ReadFile(written), file), Refusal::None);
            EXPECT_EQ(file.items.size(), m_items.size());
            EXPECT_FALSE(file.partial);
        } else {
            EXPECT_TRUE(window.LogLines().empty());
            EXPECT_EQ(window.Count(WM_WRITE_TREE_TO_FILE), 0u);
        }
        EXPECT_FALSE(m_state.scanInfoJobRunning);
        EXPECT_TRUE(m_state.scanInfoLock.try_lock());
        m_state.scanInfoLock.unlock();
    }
}

TEST_F(ScanInfoFileTest, AFileThatCannotBeOpenedIsReportedAndChangesNothing) {
    ScanFixture("fat12_small", Reader::Fat);
    const std::list<DriveNode> before = m_state.driveList.nodes;
    RecordingJobWindow window;
    AnswerLoad(window, m_state);
    CThreadForSavingScanInfo job(m_state);
    job.SetParameters({m_files.File("absent.DAT"), CThreadForSavingScanInfo::Mode::Load, &window});
    m_state.scanInfoJobRunning = true;
    EXPECT_FALSE(job.Run());
    const auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, English(kUnableToOpenId));
    EXPECT_EQ(window.Count(WM_RESET_SCAN), 0u);
    EXPECT_EQ(m_state.driveList.nodes, before);
    EXPECT_NE(m_state.FatVolume(), nullptr);
    EXPECT_FALSE(m_state.scanInfoJobRunning);
}

// --- the fuzz seeds --------------------------------------------------------------------------

// The file of `file` with only its first `items` records and `nodes` as its drive list.
std::vector<uint8_t> CutFile(LoadedScanInfo file, size_t items, const std::list<DriveNode>& nodes) {
    file.items.resize(std::min(items, file.items.size()));
    file.header.itemCount = static_cast<uint32_t>(file.items.size());
    std::vector<uint8_t> bytes;
    const auto sink = [&bytes](std::span<const uint8_t> part) {
        bytes.insert(bytes.end(), part.begin(), part.end());
        return true;
    };
    EXPECT_EQ(ScanInfoFile::WritePrefix(file.header, file.fatCopy, file.clusterMap,
                                        file.recordTable, file.mftRuns, nodes, sink),
              ScanInfoFile::WriteResult::Written);
    for (const ScanInfoItem& item : file.items)
        sink(ScanInfoFile::ItemRecord(item.item, item.name));
    return bytes;
}

// The committed seeds of the scan-information fuzz target are whole files of real scans, cut
// to a few items. With MORWICK_SCAN_INFO_SEEDS set to a folder, they are made there again.
TEST_F(ScanInfoFileTest, TheFuzzSeedsAreWholeFilesOfRealScans) {
    const char* remake = std::getenv("MORWICK_SCAN_INFO_SEEDS");
    const fs::path committed = FixturesFolder().parent_path() / "fuzz" / "corpus" / "scan_info";
    const bool make = remake != nullptr && *remake != 0;
    const fs::path folder = make ? fs::path(remake) : committed;
    struct Seed {
        const char* name;
        const Fixture* fixture; // null: a drive-list file
    };
    const Seed seeds[] = {{"fat12-scan", &kFixtures[0]},
                          {"ntfs-standard-scan", &kFixtures[1]},
                          {"ntfs-advance-scan", &kFixtures[2]},
                          {"drive-list", nullptr}};
    for (const Seed& seed : seeds) {
        SCOPED_TRACE(seed.name);
        const fs::path path = folder / seed.name;
        if (make) {
            std::vector<uint8_t> bytes;
            if (seed.fixture == nullptr) {
                bytes = ScanInfoFile::BuildDriveListFile(SampleNodes(m_drive->Node()));
            } else {
                const std::vector<uint8_t> whole =
                    SavedFile(seed.fixture->name, seed.fixture->reader, seed.fixture->advance);
                LoadedScanInfo file;
                ASSERT_EQ(ScanInfoFile::Parse(whole, file), Refusal::None);
                bytes = CutFile(file, 6, {m_drive->Node()});
            }
            fs::create_directories(folder);
            WriteFile(path, bytes);
        }
        const std::vector<uint8_t> bytes = ReadFile(path);
        ASSERT_FALSE(bytes.empty()) << path;
        EXPECT_LE(bytes.size(), 16u * 1024);
        LoadedScanInfo file;
        ASSERT_EQ(ScanInfoFile::Parse(bytes, file), Refusal::None);
        EXPECT_FALSE(file.partial);
        EXPECT_FALSE(file.nodes.empty());
        EXPECT_EQ(file.items.empty(), seed.fixture == nullptr);
    }
}

} // namespace
