#include "diskio/records/drive_node.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/ntfs/ntfs_scan_run.h"
#include "filesystems/scan_environment.h"
#include "platform/text/byte_reader.h"
#include "platform/devices/device_table.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_flags.h"
#include "platform/text/utf_conversion.h"
#include "tests/filesystems/ntfs/ntfs_memory_volume.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kDriveLetter = 2;
constexpr uint64_t kRoot = CNtfsFileSystem::kRootRecord;
constexpr char16_t kInvalidVolumeText[] =
    u"Not a valid logical drive, or critical data structure are badly corrupted for this drive.";
constexpr char16_t kProductTitle[] = u"Morwick Wrenfal Windows Data Recovery v3.0";

int64_t FiletimeToUnix(uint64_t filetime) {
    return static_cast<int64_t>(filetime / 10000000) - 11644473600;
}

struct SeenItem {
    FoundItem item;
    std::u16string name;
};

// A fixture image mapped as drive C:, with an NTFS reader over it and every item it sends.
class NtfsScanVolume {
public:
    explicit NtfsScanVolume(const std::string& fixture) : m_fixture(fixture) {
        m_image = UnpackFixture(fixture + ".img", m_dir);
        if (!m_image.empty())
            SetUp();
    }

    bool Ready() const { return !m_image.empty(); }

    void Scan() {
        m_volume->Scan();
        Index();
    }
    void AdvanceScan() {
        m_volume->AdvanceScan();
        Index();
    }
    // Runs after every item sent, with the number sent so far.
    void OnItem(std::function<void(size_t)> afterItem) { m_afterItem = std::move(afterItem); }
    // Runs for every message.
    void OnMessage(std::function<void(const JobMessage&)> observer) {
        m_observer = std::move(observer);
    }

    CNtfsFileSystem& Volume() { return *m_volume; }
    RecordingJobWindow& Window() { return m_window; }
    JobFlags& Flags() { return m_flags; }
    ScanEnvironment& Environment() { return m_environment; }
    const std::vector<SeenItem>& Items() const { return m_items; }
    const std::filesystem::path& Image() const { return m_image; }

    const SeenItem* ById(uint64_t id) const {
        const auto it = m_byId.find(id);
        return it == m_byId.end() ? nullptr : &m_items[it->second];
    }
    const std::string& PathOf(const SeenItem& seen) const {
        return m_paths.at(static_cast<size_t>(&seen - m_items.data()));
    }
    const SeenItem* Find(const std::string& path) const {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_paths[i] == path)
                return &m_items[i];
        return nullptr;
    }
    size_t CountPath(const std::string& path) const {
        return static_cast<size_t>(std::count(m_paths.begin(), m_paths.end(), path));
    }

    // The item's data as recovery reads it: its cluster list (holes and bytes past the valid
    // length as zeros), or its resident content. nullopt when a read fails.
    std::optional<std::vector<uint8_t>> ReadData(const FoundItem& item) {
        MapImage();
        const ClusterList list = m_volume->GetFileClusters(item);
        std::vector<uint8_t> data;
        if (list.Empty()) {
            NtfsDataRuns runs;
            if (item.size == 0)
                return data;
            if (!m_volume->ReadDataRuns(item, runs) || !runs.resident)
                return std::nullopt;
            data = runs.residentData;
        } else {
            const uint16_t spc = m_volume->SectorsPerCluster();
            std::vector<uint8_t> cluster(size_t{spc} * 512);
            for (uint32_t number : list.clusters) {
                if (ClusterList::IsSparse(number)) {
                    std::fill(cluster.begin(), cluster.end(), 0);
                } else if (m_volume->ReadClusters(number, 0, cluster.data(), spc) == 0) {
                    return std::nullopt;
                }
                data.insert(data.end(), cluster.begin(), cluster.end());
            }
            if (list.validLength < data.size())
                std::fill(data.begin() + static_cast<std::ptrdiff_t>(list.validLength), data.end(),
                          0);
        }
        if (data.size() < item.size)
            return std::nullopt;
        data.resize(item.size);
        return data;
    }

    std::filesystem::path Companion(const std::string& suffix) const {
        return FixturesFolder() / (m_fixture + suffix);
    }

    // --- damage for a test --------------------------------------------------------------

    void Patch(uint64_t offset, std::span<const uint8_t> bytes) {
        std::fstream file(m_image, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(file.good());
    }
    void PatchU32(uint64_t offset, uint32_t value) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(value >> 16),
                                  static_cast<uint8_t>(value >> 24)};
        Patch(offset, bytes);
    }
    std::vector<uint8_t> ReadImage(uint64_t offset, size_t length) const {
        std::vector<uint8_t> bytes(length);
        std::ifstream file(m_image, std::ios::binary);
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
        return bytes;
    }

    // The image offset of byte `at` of MFT record `record`, found through a reader of its own;
    // nullopt for a record beyond the $MFT.
    std::optional<uint64_t> FindRecordByte(uint32_t record, size_t at) {
        ScanEnvironment environment;
        environment.selectedDrive = &m_node;
        CNtfsFileSystem reader(environment);
        MapImage();
        reader.SetVolumeFromDrive(0);
        if (reader.ReadBootSector() != 1 || reader.LoadMftRuns() != 1)
            return std::nullopt;
        uint64_t second = 0;
        const uint64_t sector = reader.MftRecordToSector(record, second);
        if (sector == 0)
            return std::nullopt;
        if (at >= 512 && second != 0)
            return second * 512 + (at - 512);
        return sector * 512 + at;
    }
    uint64_t RecordByteOffset(uint32_t record, size_t at) {
        // The last two bytes of each sector belong to the update sequence.
        EXPECT_LT(at % 512, 510u);
        const std::optional<uint64_t> offset = FindRecordByte(record, at);
        EXPECT_TRUE(offset.has_value()) << record;
        return offset.value_or(0);
    }

    // The record after its fix-up, read through a reader of its own.
    CNtfsFileSystem::Record ReadRecord(uint32_t record) {
        ScanEnvironment environment;
        environment.selectedDrive = &m_node;
        CNtfsFileSystem reader(environment);
        MapImage();
        reader.SetVolumeFromDrive(0);
        reader.ReadBootSector();
        reader.LoadMftRuns();
        CNtfsFileSystem::Record bytes{};
        EXPECT_TRUE(reader.ReadRecord(record, bytes));
        return bytes;
    }

    // Offset in the record of the first attribute of `type`; 0 when there is none.
    static size_t AttributeOffset(const CNtfsFileSystem::Record& record, uint32_t type) {
        ByteReader reader(record);
        uint16_t offset = 0;
        if (!reader.ReadU16(20, offset))
            return 0;
        for (int i = 0; i < 30 && offset < record.size(); ++i) {
            uint32_t found = 0;
            uint32_t length = 0;
            if (!reader.ReadU32(offset, found) || !reader.ReadU32(offset + 4u, length) ||
                found == 0xFFFFFFFF || length == 0)
                return 0;
            if (found == type)
                return offset;
            offset = static_cast<uint16_t>(offset + length);
        }
        return 0;
    }

    void ZeroRecord(uint32_t record) {
        const std::vector<uint8_t> zeros(512, 0);
        Patch(RecordByteOffset(record, 0), zeros);
        Patch(RecordByteOffset(record, 512 + 4), std::span<const uint8_t>(zeros).first(508));
        Patch(RecordByteOffset(record, 512), std::span<const uint8_t>(zeros).first(4));
    }

    // Rewrites a record in the layout of NTFS 3.0, which keeps the update-sequence array at 42
    // and no record number; false when the record is no file record of the newer layout.
    bool ToOlderRecordLayout(uint32_t record) {
        const std::optional<uint64_t> offset = FindRecordByte(record, 0);
        if (!offset)
            return false;
        std::vector<uint8_t> header = ReadImage(*offset, 56);
        if (std::memcmp(header.data(), "FILE", 4) != 0 || header[4] != 0x30 || header[5] != 0)
            return false;
        header[4] = 0x2A;
        std::copy(header.begin() + 48, header.begin() + 54, header.begin() + 42);
        Patch(*offset, header);
        return true;
    }

    // Sets the parent of the record's first $FILE_NAME.
    void SetParent(uint32_t record, uint32_t parent) {
        const CNtfsFileSystem::Record bytes = ReadRecord(record);
        const size_t name = AttributeOffset(bytes, 0x30);
        ASSERT_NE(name, 0u);
        uint16_t content = 0;
        ASSERT_TRUE(ByteReader(bytes).ReadU16(name + 20, content));
        PatchU32(RecordByteOffset(record, name + content), parent);
    }

private:
    void SetUp() {
        const uint64_t sectors = std::filesystem::file_size(m_image) / 512;
        LogicalDriveInfo info;
        info.drive = kDriveLetter;
        info.disk = kDriveLetter;
        info.firstSector = 0;
        info.totalSectors = sectors;
        info.lastSector = sectors;
        info.partitionType = 7;
        m_node.number = kDriveLetter;
        m_node.kind = DriveKind::LogicalDrive;
        m_node.detail = info;
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
        m_volume = std::make_unique<CNtfsFileSystem>(m_environment);
        m_window.SetHandler([this](JobMessage& message) -> intptr_t {
            if (m_observer)
                m_observer(message);
            if (message.id == WM_ADD_FOUND_ITEM)
                if (const FoundItemPayload* payload = message.Get<FoundItemPayload>()) {
                    m_items.push_back({*payload->item, payload->name});
                    if (m_afterItem)
                        m_afterItem(m_items.size());
                }
            return 0;
        });
        MapImage();
        m_volume->SetVolumeFromDrive(0);
    }

    void MapImage() {
        DeviceTable::Process().SetDriveLetter(kDriveLetter,
                                              DeviceSource{m_image.string(), 0, std::nullopt});
    }

    void Index() {
        m_byId.clear();
        for (size_t i = 0; i < m_items.size(); ++i)
            m_byId.emplace(m_items[i].item.entryId, i);
        m_paths.clear();
        for (const SeenItem& seen : m_items) {
            std::string path = Utf16ToUtf8(seen.name);
            uint64_t parent = seen.item.parentId;
            for (int depth = 0; parent != kRoot; ++depth) {
                const SeenItem* up = ById(parent);
                if (up == nullptr || depth > 100) {
                    path = "<no parent " + std::to_string(parent) + ">/" + path;
                    break;
                }
                path = Utf16ToUtf8(up->name) + "/" + path;
                parent = up->item.parentId;
            }
            m_paths.push_back(path);
        }
    }

    std::string m_fixture;
    TempDir m_dir;
    std::filesystem::path m_image;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    DriveNode m_node;
    ScanEnvironment m_environment;
    std::unique_ptr<CNtfsFileSystem> m_volume;
    std::vector<SeenItem> m_items;
    std::map<uint64_t, size_t> m_byId;
    std::vector<std::string> m_paths;
    std::function<void(size_t)> m_afterItem;
    std::function<void(const JobMessage&)> m_observer;
};

// The manifest's path without its leading '/'.
std::string RelativePath(const ManifestEntry& entry) {
    return entry.path.substr(entry.path.starts_with('/') ? 1 : 0);
}

bool IsStream(const FlsEntry& entry) {
    return entry.path.find(':') != std::string::npos;
}

// Records 0 and 1 ($MFT, $MFTMirr) are never items: the scans treat them as the volume's.
bool IsVolumeRecord(const FlsEntry& entry) {
    return entry.inode <= 1;
}

std::vector<LogLinePayload> LogRows(const RecordingJobWindow& window) {
    std::vector<LogLinePayload> rows;
    for (const JobMessage& message : window.Messages())
        if (const LogLinePayload* row = message.Get<LogLinePayload>())
            rows.push_back(*row);
    return rows;
}

// Every present file of the manifest (deleted ones too when asked) reads back with its hash;
// compressed files are marked so recovery decompresses them (no cluster list). `placed` gives
// the path a manifest path is expected under.
void ExpectManifestContents(NtfsScanVolume& volume, const std::string& fixture, bool deletedToo,
                            const std::function<std::string(const std::string&)>& placed = {}) {
    const std::vector<ManifestEntry> manifest =
        ReadManifest(FixturesFolder() / (fixture + ".manifest"));
    ASSERT_FALSE(manifest.empty());
    size_t checked = 0;
    for (const ManifestEntry& entry : manifest) {
        if (entry.kind != "file" || (entry.state != "present" && !deletedToo))
            continue;
        const std::string path = placed ? placed(RelativePath(entry)) : RelativePath(entry);
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << path;
        EXPECT_EQ(seen->item.size, entry.size) << path;
        EXPECT_EQ(seen->item.deleted, entry.state == "deleted" ? 1 : 0) << path;
        if (entry.path.starts_with("/Compressed/") && entry.size > 1024) {
            EXPECT_EQ(seen->item.noData, 1) << path;
            continue;
        }
        const std::optional<std::vector<uint8_t>> data = volume.ReadData(seen->item);
        ASSERT_TRUE(data.has_value()) << path;
        EXPECT_EQ(Sha256Hex(*data), entry.sha256) << path;
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}

// --- standard scan --------------------------------------------------------------------------

struct NtfsStamps {
    int64_t modified = -1;
    int64_t created = -1;
    int64_t changed = -1;
};

// The stamps of a record's first $FILE_NAME, read straight from the record: what the record
// itself says its index key holds.
NtfsStamps FileNameStamps(CNtfsFileSystem& volume, uint64_t recordNumber) {
    NtfsStamps stamps;
    CNtfsFileSystem::Record record{};
    if (!volume.ReadRecord(static_cast<uint32_t>(recordNumber), record))
        return stamps;
    const ByteReader reader(record);
    uint16_t offset = 0;
    if (!reader.ReadU16(20, offset))
        return stamps;
    for (int attributes = 0; attributes < 30 && size_t{offset} + 8 <= record.size(); ++attributes) {
        uint32_t type = 0, length = 0;
        if (!reader.ReadU32(offset, type) || !reader.ReadU32(offset + 4, length) ||
            type == 0xFFFFFFFF || length == 0)
            break;
        if (type == 0x30) {
            uint16_t content = 0;
            uint64_t created = 0, modified = 0, changed = 0;
            if (reader.ReadU16(offset + 20, content) &&
                reader.ReadU64(offset + content + 8, created) &&
                reader.ReadU64(offset + content + 16, modified) &&
                reader.ReadU64(offset + content + 24, changed)) {
                stamps = {FiletimeToUnix(modified), FiletimeToUnix(created),
                          FiletimeToUnix(changed)};
            }
            break;
        }
        offset = static_cast<uint16_t>(offset + length);
    }
    return stamps;
}

// The same volume in memory and as a mapped drive: both set-ups read the same tree.
TEST(NtfsStandardScanTest, MemorySourceScansAsTheDriveDoes) {
    for (const bool advance : {false, true}) {
        NtfsScanVolume drive("ntfs_volume");
        NtfsMemoryVolume memory("ntfs_volume");
        ASSERT_TRUE(drive.Ready() && memory.Ready());
        CNtfsFileSystem& volume = memory.Open();
        if (advance) {
            drive.AdvanceScan();
            volume.AdvanceScan();
        } else {
            drive.Scan();
            volume.Scan();
        }
        std::multiset<std::pair<uint64_t, std::u16string>> fromDrive, fromMemory;
        for (const SeenItem& seen : drive.Items())
            fromDrive.emplace(seen.item.entryId, seen.name);
        for (const NtfsMemoryVolume::Sent& sent : memory.Items())
            fromMemory.emplace(sent.item.entryId, sent.name);
        EXPECT_GT(fromMemory.size(), 100u) << advance;
        EXPECT_EQ(fromMemory, fromDrive) << advance;
        EXPECT_EQ(volume.FoundCount(), drive.Volume().FoundCount()) << advance;
    }
}

TEST(NtfsStandardScanTest, ItemsMatchTheSleuthkitListing) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();

    std::vector<FlsEntry> listing = ReadFlsListing(volume.Companion(".fls"));
    ASSERT_GT(listing.size(), 100u);
    size_t compared = 0;
    for (const FlsEntry& row : listing) {
        if (IsStream(row) || IsVolumeRecord(row))
            continue;
        ASSERT_EQ(volume.CountPath(row.path), 1u) << row.path;
        const SeenItem& seen = *volume.Find(row.path);
        const bool folder = row.type.ends_with('d');
        EXPECT_EQ(seen.item.IsFolder(), folder) << row.path;
        EXPECT_EQ(seen.item.deleted, row.deleted ? 1 : 0) << row.path;
        EXPECT_EQ(seen.item.entryId, row.inode) << row.path;
        EXPECT_EQ(seen.item.firstCluster, 0u) << row.path;
        if (!folder) {
            EXPECT_EQ(seen.item.size, row.size) << row.path;
        }
        // Items met in an index carry the times of its $FILE_NAME key; items read from their
        // records (the deleted ones) those of $STANDARD_INFORMATION, which fls prints.
        const NtfsStamps expected = row.deleted ? NtfsStamps{row.mtime, row.crtime, row.ctime}
                                                : FileNameStamps(volume.Volume(), row.inode);
        EXPECT_EQ(FiletimeToUnix(seen.item.NtfsModifiedTime()), expected.modified) << row.path;
        EXPECT_EQ(FiletimeToUnix(seen.item.NtfsCreatedTime()), expected.created) << row.path;
        EXPECT_EQ(FiletimeToUnix(seen.item.NtfsChangedTime()), expected.changed) << row.path;
        ++compared;
    }
    EXPECT_GT(compared, 100u);

    // Nothing else was sent: every item is a row of the listing, or a system file that fls
    // lists only by its named streams.
    for (const SeenItem& seen : volume.Items()) {
        const std::string& path = volume.PathOf(seen);
        const bool listed = FindFlsEntry(listing, path) != nullptr ||
                            std::any_of(listing.begin(), listing.end(), [&](const FlsEntry& row) {
                                return row.path.starts_with(path + ":");
                            });
        EXPECT_TRUE(listed) << path;
        EXPECT_NE(seen.name, u".");
    }
    // Dated.txt's own stamps (written 2012, created 2010) are in its record; the index keeps
    // the stamps its name got when it was made.
    const SeenItem* dated = volume.Find("Dated.txt");
    ASSERT_NE(dated, nullptr);
    const FlsEntry* datedRow = FindFlsEntry(listing, "Dated.txt");
    ASSERT_NE(datedRow, nullptr);
    EXPECT_EQ(datedRow->mtime, 1330516800);
    EXPECT_EQ(FiletimeToUnix(dated->item.NtfsModifiedTime()),
              FileNameStamps(volume.Volume(), datedRow->inode).modified);
}

TEST(NtfsStandardScanTest, FilesReadBackAsTheManifestSays) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    ExpectManifestContents(volume, "ntfs_volume", true);

    uint64_t fileBytes = 0;
    uint32_t files = 0;
    for (const SeenItem& seen : volume.Items())
        if (!seen.item.IsFolder()) {
            fileBytes += seen.item.size;
            ++files;
        }
    EXPECT_EQ(volume.Volume().FileCount(), files);
    EXPECT_EQ(volume.Volume().FoundBytes(), fileBytes);
    // The root counts as found too.
    EXPECT_EQ(volume.Volume().FoundCount(), volume.Items().size() + 1);
}

TEST(NtfsStandardScanTest, SendsTheMessagesOfAScan) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    const std::vector<JobMessage> messages = volume.Window().Messages();

    // Before the first item: pane widths, the progress bar over the $MFT's records, the root.
    const auto firstItem =
        std::find_if(messages.begin(), messages.end(),
                     [](const JobMessage& message) { return message.id == WM_ADD_FOUND_ITEM; });
    ASSERT_NE(firstItem, messages.end());
    ASSERT_GE(firstItem - messages.begin(), 3);
    const JobMessage& widths = *(firstItem - 3);
    const JobMessage& progress = *(firstItem - 2);
    const JobMessage& root = *(firstItem - 1);
    ASSERT_EQ(widths.id, WM_SET_PANE_WIDTHS);
    EXPECT_EQ(widths.Get<PaneWidthsPayload>()->pane0, 345);
    EXPECT_EQ(widths.Get<PaneWidthsPayload>()->pane1, 340);
    ASSERT_EQ(progress.id, WM_CREATE_PROGRESS);
    EXPECT_EQ(progress.Get<ProgressCreatePayload>()->label, u"");
    EXPECT_EQ(progress.Get<ProgressCreatePayload>()->maximum, volume.Volume().MftRecordCount());
    EXPECT_EQ(root.id, WM_ADD_TREE_ROOT);
    EXPECT_EQ(volume.Window().Count(WM_ADD_TREE_ROOT), 1u);

    // Each item is followed by the running count.
    size_t items = 0;
    for (size_t i = 0; i + 1 < messages.size(); ++i) {
        if (messages[i].id != WM_ADD_FOUND_ITEM)
            continue;
        ++items;
        ASSERT_EQ(messages[i + 1].id, WM_SET_PROGRESS_TEXT);
        EXPECT_EQ(messages[i + 1].Get<TextPayload>()->text,
                  FormatText(u"%d Entries Found", items + 1));
    }

    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].activity, u"Creating directory tree");
    EXPECT_EQ(rows[0].description, u"Process Started");
    EXPECT_TRUE(rows[0].status.starts_with(u"Started on :"));
    EXPECT_EQ(rows[0].image, 1);
    EXPECT_EQ(rows[1].description, u"Adding deleted file(s) and folder(s)");
    EXPECT_EQ(rows[1].status, u"Process Started");
    EXPECT_EQ(rows[2].status, u"Process completed");
    EXPECT_EQ(rows[2].image, 5);
    EXPECT_EQ(rows[3].description, u"Process completed");
    EXPECT_TRUE(rows[3].status.starts_with(u"Completed on :"));
    EXPECT_EQ(rows[3].image, 5);

    // The scan ends with the bar gone, the tree collapsed and the hint at the advance scan.
    std::vector<uint32_t> ids = volume.Window().Ids();
    const auto destroy = std::find(ids.begin(), ids.end(), WM_DESTROY_PROGRESS);
    ASSERT_NE(destroy, ids.end());
    ASSERT_NE(destroy + 1, ids.end());
    EXPECT_EQ(*(destroy + 1), WM_COLLAPSE_ROOT);
    const std::vector<MessageBoxRequest> boxes = volume.Window().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"If you are unable to find the lost file(s) and folder(s) in the "
                             u"displayed tree rescan the drive again in \"Advance Search\"");
    EXPECT_EQ(boxes[0].caption, kProductTitle);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Information);
    EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::Ok);
    EXPECT_TRUE(boxes[0].topmost);
}

TEST(NtfsStandardScanTest, MftEntryDoesNotEndTheRootIndex) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    // $UpCase and $Volume follow $MFT in the root index, and no record pass reaches records
    // below 16: the walk went on past the $MFT entry.
    for (const char* name : {"$MFTMirr", "$MFT"})
        EXPECT_EQ(volume.Find(name), nullptr) << name;
    for (const char* name : {"$UpCase", "$Volume", "$Secure", "$Extend/$Quota"})
        EXPECT_NE(volume.Find(name), nullptr) << name;
}

// The byte offsets, in the image, of a name in the root folder's index blocks.
std::vector<uint64_t> IndexNameOffsets(const NtfsScanVolume& volume, const std::u16string& name,
                                       uint64_t clusterBytes) {
    std::vector<uint8_t> pattern{static_cast<uint8_t>(name.size()), 0};
    for (char16_t unit : name) {
        pattern.push_back(static_cast<uint8_t>(unit));
        pattern.push_back(static_cast<uint8_t>(unit >> 8));
    }
    const uint64_t size = std::filesystem::file_size(volume.Image());
    const std::vector<uint8_t> image = volume.ReadImage(0, static_cast<size_t>(size));
    std::vector<uint64_t> offsets;
    for (auto it = std::search(image.begin(), image.end(), pattern.begin(), pattern.end());
         it != image.end(); it = std::search(it + 1, image.end(), pattern.begin(), pattern.end())) {
        const uint64_t at = static_cast<uint64_t>(it - image.begin());
        const uint64_t block = at / clusterBytes * clusterBytes;
        if (std::memcmp(image.data() + block, "INDX", 4) == 0)
            offsets.push_back(at);
    }
    return offsets;
}

TEST(NtfsStandardScanTest, ParentOutsideTheWalkGetsAReferenceFolder) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    // README.txt's index entry: Win32 namespace, and a parent no walk reaches.
    const std::vector<uint64_t> names = IndexNameOffsets(volume, u"README.txt", 4096);
    ASSERT_EQ(names.size(), 1u);
    const uint8_t win32 = 1;
    volume.Patch(names[0] + 1, std::span<const uint8_t>(&win32, 1));
    volume.PatchU32(names[0] - 80 + 16, 4000);
    volume.Scan();

    const SeenItem* reference = volume.Find("REF-4000");
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(reference->item.entryId, 4000u);
    EXPECT_EQ(reference->item.parentId, kRoot);
    EXPECT_TRUE(reference->item.IsFolder());
    const SeenItem* readme = volume.Find("REF-4000/README.txt");
    ASSERT_NE(readme, nullptr);
    EXPECT_EQ(readme->item.size, 31u);
    // Its record was reached through the index: the record pass does not send it again.
    EXPECT_EQ(volume.Find("README.txt"), nullptr);
    EXPECT_EQ(volume.CountPath("REF-4000"), 1u);
}

TEST(NtfsStandardScanTest, DeletedFoldersWhoseParentsFormACycleEndUnderLostFolders) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const SeenItem* trash = nullptr;
    {
        NtfsScanVolume clean("ntfs_volume");
        ASSERT_TRUE(clean.Ready());
        clean.Scan();
        trash = clean.Find("Trash");
        ASSERT_NE(trash, nullptr);
        const SeenItem* sub = clean.Find("Trash/Sub");
        ASSERT_NE(sub, nullptr);
        // Trash becomes Sub's child while Sub stays Trash's.
        volume.SetParent(static_cast<uint32_t>(trash->item.entryId),
                         static_cast<uint32_t>(sub->item.entryId));
    }
    volume.Scan();
    const SeenItem* lost = volume.Find("Lost Folder(s)");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->item.entryId, CNtfsFileSystem::kLostFoldersId);
    EXPECT_EQ(lost->item.parentId, kRoot);
    for (const char* path :
         {"Lost Folder(s)/Trash", "Lost Folder(s)/Trash/Sub", "Lost Folder(s)/Trash/Draft 1.txt",
          "Lost Folder(s)/Trash/Sub/Deep.txt"})
        EXPECT_EQ(volume.CountPath(path), 1u) << path;
    EXPECT_EQ(volume.Find("Trash"), nullptr);
}

// The offset of the first name pattern ([length][namespace][UTF-16 name]) in the bytes.
std::optional<size_t> NameOffset(const std::vector<uint8_t>& bytes, const std::u16string& name) {
    std::vector<uint8_t> pattern{static_cast<uint8_t>(name.size()), 0};
    for (char16_t unit : name) {
        pattern.push_back(static_cast<uint8_t>(unit));
        pattern.push_back(static_cast<uint8_t>(unit >> 8));
    }
    const auto it = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    if (it == bytes.end())
        return std::nullopt;
    return static_cast<size_t>(it - bytes.begin());
}

TEST(NtfsStandardScanTest, FolderWhoseIndexNamesItselfIsWalkedOnce) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const std::map<std::string, uint64_t> records = [&] {
        std::map<std::string, uint64_t> byPath;
        for (const FlsEntry& row : ReadFlsListing(volume.Companion(".fls")))
            byPath.emplace(row.path, row.inode);
        return byPath;
    }();
    const uint32_t docs = static_cast<uint32_t>(records.at("Docs"));
    const uint8_t win32 = 1;
    // The walk takes Win32 names only: Docs in the root's index, and in Docs' own index
    // (resident in its record) the entry of Nested.txt, which now names Docs itself as a
    // folder.
    const std::vector<uint64_t> inRoot = IndexNameOffsets(volume, u"Docs", 4096);
    ASSERT_EQ(inRoot.size(), 1u);
    volume.Patch(inRoot[0] + 1, std::span<const uint8_t>(&win32, 1));
    const uint64_t record = volume.RecordByteOffset(docs, 0);
    const std::optional<size_t> nested = NameOffset(volume.ReadImage(record, 1024), u"Nested.txt");
    ASSERT_TRUE(nested.has_value());
    ASSERT_GT(*nested, 256u); // in the index root, past Docs' own $FILE_NAME
    ASSERT_LT(*nested, 490u);
    volume.Patch(record + *nested + 1, std::span<const uint8_t>(&win32, 1));
    volume.PatchU32(record + *nested - 80, docs);
    volume.PatchU32(record + *nested - 80 + 72, 0x10000020);
    volume.Scan();

    EXPECT_EQ(volume.CountPath("Docs"), 1u);
    EXPECT_EQ(volume.CountPath("Docs/Nested.txt"), 1u);
    EXPECT_NE(volume.Find("Docs/Projects/Old/plan.txt"), nullptr);
    std::set<uint64_t> ids;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(ids.insert(seen.item.entryId).second) << volume.PathOf(seen);
}

TEST(NtfsStandardScanTest, IndexBlocksMarkedUnusedAreNotRead) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    // The root folder's $BITMAP says its only index block is free.
    const CNtfsFileSystem::Record root = volume.ReadRecord(CNtfsFileSystem::kRootRecord);
    const size_t bitmap = NtfsScanVolume::AttributeOffset(root, 0xB0);
    ASSERT_NE(bitmap, 0u);
    uint16_t content = 0;
    ASSERT_TRUE(ByteReader(root).ReadU16(bitmap + 20, content));
    const uint8_t none = 0;
    volume.Patch(volume.RecordByteOffset(CNtfsFileSystem::kRootRecord, bitmap + content),
                 std::span<const uint8_t>(&none, 1));
    volume.Scan();
    // Its entries are not taken: the system files below record 16 are reached through them
    // only, while the user's files still come from their records.
    EXPECT_EQ(volume.Find("$UpCase"), nullptr);
    EXPECT_NE(volume.Find("Docs/Nested.txt"), nullptr);
}

TEST(NtfsStandardScanTest, LostParentIdNeverNamesAnItem) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    uint32_t gone = 0;
    for (const FlsEntry& row : ReadFlsListing(volume.Companion(".fls")))
        if (row.path == "GONE.TXT")
            gone = static_cast<uint32_t>(row.inode);
    ASSERT_NE(gone, 0u);
    // A deleted file that names itself as its parent.
    volume.SetParent(gone, gone);
    volume.Scan();
    const SeenItem* file =
        volume.Find("Lost Folder(s)/" + FormatText8("Folder %d", gone) + "/GONE.TXT");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->item.entryId, gone);
    const SeenItem* folder = volume.ById(file->item.parentId);
    ASSERT_NE(folder, nullptr);
    EXPECT_NE(folder->item.entryId, gone);
    EXPECT_EQ(folder->item.parentId, CNtfsFileSystem::kLostFoldersId);
    std::set<uint64_t> ids;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(ids.insert(seen.item.entryId).second) << volume.PathOf(seen);
}

TEST(NtfsStandardScanTest, RecordNamedDotIsNeverSent) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    uint32_t gone = 0;
    {
        NtfsScanVolume clean("ntfs_volume");
        ASSERT_TRUE(clean.Ready());
        clean.Scan();
        const SeenItem* item = clean.Find("GONE.TXT");
        ASSERT_NE(item, nullptr);
        gone = static_cast<uint32_t>(item->item.entryId);
    }
    const CNtfsFileSystem::Record record = volume.ReadRecord(gone);
    const size_t name = NtfsScanVolume::AttributeOffset(record, 0x30);
    ASSERT_NE(name, 0u);
    const uint8_t dot[] = {1, 0, '.', 0};
    volume.Patch(volume.RecordByteOffset(gone, name + 88), dot);
    volume.Scan();
    EXPECT_EQ(volume.Find("GONE.TXT"), nullptr);
    EXPECT_EQ(volume.Find("."), nullptr);
    EXPECT_NE(volume.Find("Old Draft.txt"), nullptr);
}

TEST(NtfsStandardScanTest, StopEndsTheScanAndKeepsTheItems) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.OnItem([&](size_t sent) {
        if (sent == 20)
            volume.Flags().stopRequested = true;
    });
    volume.Scan();
    EXPECT_EQ(volume.Items().size(), 20u);
    EXPECT_EQ(volume.Volume().FoundCount(), 21u);
    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().activity, u"Creating directory tree");
    EXPECT_EQ(rows.back().description, u"Process aborted, user intervention");
    EXPECT_TRUE(rows.back().status.starts_with(u"Aborted on :"));
    EXPECT_EQ(rows.back().image, 3);
    EXPECT_EQ(volume.Window().Count(WM_DESTROY_PROGRESS), 1u);
    EXPECT_EQ(volume.Window().Count(WM_COLLAPSE_ROOT), 1u);
}

TEST(NtfsStandardScanTest, UnreadableVolumeEndsWithTheInvalidDriveMessage) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    // No boot sector, no backup, no file record anywhere: nothing to vote with.
    const uint64_t size = std::filesystem::file_size(volume.Image());
    std::vector<uint8_t> zeros(static_cast<size_t>(size), 0);
    volume.Patch(0, zeros);
    volume.Scan();
    EXPECT_TRUE(volume.Items().empty());
    EXPECT_EQ(volume.Volume().FoundCount(), 0u);
    const std::vector<MessageBoxRequest> boxes = volume.Window().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kInvalidVolumeText);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Warning);
    EXPECT_TRUE(boxes[0].topmost);
    // It fell back to the advance scan, whose vote found nothing.
    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].activity, u"Calculating system parameters");
    EXPECT_EQ(rows[1].description, u"Process completed");
}

// The record number a header line of the fixture's manifest names first.
uint32_t HeaderRecord(const NtfsScanVolume& volume, const std::string& key) {
    const std::optional<std::string> value =
        ManifestHeaderValue(volume.Companion(".manifest"), key);
    EXPECT_TRUE(value.has_value()) << key;
    return value ? static_cast<uint32_t>(std::stoul(*value)) : 0;
}

TEST(NtfsStandardScanTest, OrphansComeBackUnderLostFolders) {
    NtfsScanVolume volume("ntfs_deleted_parent");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    // Gone's record is zeroed: its deleted subtree hangs on a folder standing for it. Cut's
    // record is zeroed too, but the root's index still names it: its live contents, which its
    // own lost index cannot reach, come back under it from their records.
    const uint32_t gone = HeaderRecord(volume, "zeroed-record-gone");
    const uint32_t cut = HeaderRecord(volume, "zeroed-record-cut");
    const std::string goneFolder = "Lost Folder(s)/" + FormatText8("Folder %d", gone);
    const std::string cutFolder = "Cut";
    const SeenItem* cutItem = volume.Find(cutFolder);
    ASSERT_NE(cutItem, nullptr);
    EXPECT_EQ(cutItem->item.entryId, cut);
    EXPECT_EQ(cutItem->item.parentId, CNtfsFileSystem::kRootRecord);
    for (const auto& [path, id] : {std::pair{goneFolder, gone}}) {
        const SeenItem* folder = volume.Find(path);
        ASSERT_NE(folder, nullptr) << path;
        EXPECT_EQ(folder->item.entryId, id);
        EXPECT_EQ(folder->item.parentId, CNtfsFileSystem::kLostFoldersId);
        EXPECT_TRUE(folder->item.IsFolder());
    }
    EXPECT_EQ(volume.CountPath("Lost Folder(s)"), 1u);
    const SeenItem* child = volume.Find(goneFolder + "/Child");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->item.deleted, 1);
    EXPECT_EQ(child->item.entryId, HeaderRecord(volume, "zeroed-record-gone") + 2);
    const SeenItem* branch = volume.Find(cutFolder + "/Branch");
    ASSERT_NE(branch, nullptr);
    EXPECT_EQ(branch->item.deleted, 0);

    ExpectManifestContents(volume, "ntfs_deleted_parent", true, [&](const std::string& path) {
        if (path.starts_with("Gone/"))
            return goneFolder + path.substr(4);
        if (path.starts_with("Cut/"))
            return cutFolder + path.substr(3);
        return path;
    });
}

TEST(NtfsAdvanceScanTest, OrphansComeBackUnderLostFolders) {
    NtfsScanVolume volume("ntfs_deleted_parent");
    ASSERT_TRUE(volume.Ready());
    volume.AdvanceScan();
    const uint32_t gone = HeaderRecord(volume, "zeroed-record-gone");
    const uint32_t cut = HeaderRecord(volume, "zeroed-record-cut");
    const std::string goneFolder = "Lost Folder(s)/" + FormatText8("Folder %d", gone);
    const std::string cutFolder = "Lost Folder(s)/" + FormatText8("Folder %d", cut);
    ExpectManifestContents(volume, "ntfs_deleted_parent", true, [&](const std::string& path) {
        if (path.starts_with("Gone/"))
            return goneFolder + path.substr(4);
        if (path.starts_with("Cut/"))
            return cutFolder + path.substr(3);
        return path;
    });
    // The folders standing for lost parents keep ids apart from the item ids.
    std::set<uint64_t> ids;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(ids.insert(seen.item.entryId).second) << volume.PathOf(seen);
}

// --- advance scan ---------------------------------------------------------------------------

std::map<std::string, uint64_t> RecordsOfListing(const std::filesystem::path& listing) {
    std::map<std::string, uint64_t> records;
    for (const FlsEntry& row : ReadFlsListing(listing))
        if (!IsStream(row))
            records.emplace(row.path, row.inode);
    return records;
}

TEST(NtfsAdvanceScanTest, RebuildsTheTreeFromTheRecords) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.AdvanceScan();
    EXPECT_TRUE(volume.Volume().FoundCount() > 100);
    EXPECT_EQ(volume.Volume().SectorsPerCluster(), 8);
    ExpectManifestContents(volume, "ntfs_volume", true);

    // Items carry their record numbers; ids index the record table.
    const std::map<std::string, uint64_t> records = RecordsOfListing(volume.Companion(".fls"));
    const auto& table = volume.Volume().RecordTable();
    const uint32_t base = volume.Volume().RecordTableBase();
    size_t compared = 0;
    for (const SeenItem& seen : volume.Items()) {
        const auto it = records.find(volume.PathOf(seen));
        if (it == records.end())
            continue;
        EXPECT_EQ(seen.item.firstCluster, it->second) << volume.PathOf(seen);
        ASSERT_GE(seen.item.entryId, base);
        ASSERT_LT(seen.item.entryId - base, table.size());
        EXPECT_EQ(table[seen.item.entryId - base].recordNumber, it->second);
        ++compared;
    }
    EXPECT_GT(compared, 100u);

    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    std::vector<std::u16string> activities;
    for (const LogLinePayload& row : rows)
        if (row.image == 1)
            activities.push_back(row.activity);
    EXPECT_EQ(activities, (std::vector<std::u16string>{u"Calculating system parameters",
                                                       u"Creating free cluster list",
                                                       u"Searching for critical information..",
                                                       u"Creating directory tree"}));
    EXPECT_EQ(rows.back().description, u"Process completed");
}

// The copies of records 0 to 3 in $MFTMirr are no records of their own, whether the mirror
// lies after the $MFT (mkntfs) or before it (as Windows places it on some volumes): every row
// of the sleuthkit listing comes back once, with its record number. Without boot sectors,
// record 1 tells where the mirror lies.
TEST(NtfsAdvanceScanTest, MirrorCopiesAreNoRecordsOfTheirOwn) {
    for (const auto& [fixture, wipeBoot] : std::vector<std::pair<std::string, bool>>{
             {"ntfs_volume", false}, {"ntfs_mirror_first", false}, {"ntfs_mirror_first", true}}) {
        NtfsScanVolume volume(fixture);
        ASSERT_TRUE(volume.Ready());
        if (wipeBoot) {
            const std::vector<uint8_t> zeros(512, 0);
            volume.Patch(0, zeros);
            volume.Patch(std::filesystem::file_size(volume.Image()) - 512, zeros);
        }
        volume.AdvanceScan();
        for (const char* name : {"$MFT", "$MFTMirr", "$LogFile", "$Volume"})
            EXPECT_EQ(volume.CountPath(name), 1u) << fixture << " " << name;
        size_t compared = 0;
        for (const auto& [path, record] : RecordsOfListing(volume.Companion(".fls"))) {
            const SeenItem* seen = volume.Find(path);
            ASSERT_NE(seen, nullptr) << fixture << " " << path;
            EXPECT_EQ(volume.CountPath(path), 1u) << fixture << " " << path;
            EXPECT_EQ(seen->item.firstCluster, record) << fixture << " " << path;
            ++compared;
        }
        EXPECT_GT(compared, 100u) << fixture;
        ExpectManifestContents(volume, "ntfs_volume", true);
    }
}

TEST(NtfsAdvanceScanTest, RecordsNumberThemselvesAcrossALostRecord) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const std::map<std::string, uint64_t> records = RecordsOfListing(volume.Companion(".fls"));
    volume.ZeroRecord(static_cast<uint32_t>(records.at("One.bin")));
    volume.AdvanceScan();
    EXPECT_EQ(volume.Find("One.bin"), nullptr);
    for (const char* path : {"README.txt", "Resident 700.txt", "Cluster1.txt", "Dated.txt", "Docs",
                             "Docs/Nested.txt", "Many/Entry 080 of many.txt"}) {
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << path;
        EXPECT_EQ(seen->item.firstCluster, records.at(path)) << path;
    }
}

TEST(NtfsAdvanceScanTest, OlderRecordsAreNumberedByTheNextFolder) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const std::map<std::string, uint64_t> records = RecordsOfListing(volume.Companion(".fls"));
    // Records without their number in the header: the count of records found numbers them,
    // and a lost record shifts it until Docs names itself through its index.
    for (uint32_t record = 0; record < volume.Volume().TotalSectors() / 2; ++record)
        if (!volume.ToOlderRecordLayout(record) && record > 16)
            break;
    volume.ZeroRecord(static_cast<uint32_t>(records.at("One.bin")));
    volume.AdvanceScan();
    EXPECT_EQ(volume.Find("One.bin"), nullptr);
    for (const char* path : {"Resident 700.txt", "Cluster1.txt", "Several.txt", "Dated.txt",
                             "Big.log", "Sparse.bin", "Docs", "Docs/Nested.txt"}) {
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << path;
        EXPECT_EQ(seen->item.firstCluster, records.at(path)) << path;
    }
    // Their data is found through the record table, whatever their numbers.
    for (const ManifestEntry& entry : ReadManifest(volume.Companion(".manifest"))) {
        if (entry.kind != "file" || entry.state != "present" || entry.path == "/One.bin" ||
            entry.path.starts_with("/Compressed/"))
            continue;
        const SeenItem* seen = volume.Find(RelativePath(entry));
        ASSERT_NE(seen, nullptr) << entry.path;
        const std::optional<std::vector<uint8_t>> data = volume.ReadData(seen->item);
        ASSERT_TRUE(data.has_value()) << entry.path;
        EXPECT_EQ(Sha256Hex(*data), entry.sha256) << entry.path;
    }
}

TEST(NtfsAdvanceScanTest, StopDuringCollectionStillBuildsTheTree) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    bool collecting = false;
    size_t blocks = 0;
    volume.OnMessage([&](const JobMessage& message) {
        if (const ProgressCreatePayload* bar = message.Get<ProgressCreatePayload>())
            collecting = message.id == WM_CREATE_PROGRESS &&
                         bar->maximum == volume.Volume().TotalSectors() / 1600;
        if (collecting && message.id == WM_SET_STATUS_TEXT2 && ++blocks == 3)
            volume.Flags().stopRequested = true;
    });
    volume.AdvanceScan();
    EXPECT_EQ(blocks, 3u);
    EXPECT_FALSE(volume.Flags().stopRequested);
    // The $MFT lies in the first blocks: everything is there.
    EXPECT_NE(volume.Find("Docs/Projects/Old/plan.txt"), nullptr);
    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    const auto aborted = std::find_if(rows.begin(), rows.end(), [](const LogLinePayload& row) {
        return row.activity == u"Searching for critical information.." && row.image == 3;
    });
    EXPECT_NE(aborted, rows.end());
    EXPECT_EQ(rows.back().activity, u"Creating directory tree");
    EXPECT_EQ(rows.back().image, 5);
}

TEST(NtfsAdvanceScanTest, DamagedBootSectorStillGivesTheFiles) {
    NtfsScanVolume volume("ntfs_bad_boot");
    ASSERT_TRUE(volume.Ready());
    volume.AdvanceScan();
    ExpectManifestContents(volume, "ntfs_bad_boot", true);
    EXPECT_EQ(volume.Find("Lost Folder(s)"), nullptr);
}

TEST(NtfsAdvanceScanTest, EstimatesTheClusterSize) {
    for (const auto& [fixture, sectors] : std::vector<std::pair<std::string, uint16_t>>{
             {"ntfs_volume", 8}, {"ntfs_deleted_parent", 2}}) {
        NtfsScanVolume volume(fixture);
        ASSERT_TRUE(volume.Ready());
        NtfsScanRun run(volume.Volume());
        EXPECT_EQ(run.EstimateSectorsPerCluster(), sectors) << fixture;
    }
}

// Takes every free cluster it is shown for a file of one extension.
class EveryClusterSignatures : public SignatureSearch {
public:
    explicit EveryClusterSignatures(const NtfsScanVolume& volume) : m_volume(volume) {}

    std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                               std::span<const uint8_t> sector) override {
        clusters.push_back(cluster);
        const uint64_t offset = cluster * volume.SectorsPerCluster() * 512;
        if (sector.size() != 512 ||
            !std::equal(sector.begin(), sector.end(), m_volume.ReadImage(offset, 512).begin()))
            ++wrongSectors;
        return SignatureMatch{u"extension-longer-than-14", 1000 + cluster};
    }

    std::vector<uint64_t> clusters;
    size_t wrongSectors = 0;

private:
    const NtfsScanVolume& m_volume;
};

TEST(NtfsAdvanceScanTest, RawFindsFillExtensionFoldersOf2500) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    EveryClusterSignatures signatures(volume);
    volume.Environment().signatures = &signatures;
    volume.Environment().signatureSearchEnabled = true;
    volume.AdvanceScan();

    ASSERT_GT(signatures.clusters.size(), 2500u);
    EXPECT_EQ(signatures.wrongSectors, 0u);
    // Each free cluster is offered once, and none of them holds a live file's data.
    std::set<uint64_t> offered(signatures.clusters.begin(), signatures.clusters.end());
    EXPECT_EQ(offered.size(), signatures.clusters.size());
    for (const SeenItem& seen : volume.Items()) {
        if (seen.item.IsFolder() || seen.item.deleted != 0 || seen.item.contiguousData != 0)
            continue;
        for (uint32_t cluster : volume.Volume().GetFileClusters(seen.item).clusters)
            EXPECT_EQ(offered.count(cluster), 0u) << volume.PathOf(seen);
    }

    const SeenItem* raw = volume.Find("Raw Data Folder(s)");
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->item.entryId, volume.Volume().ClusterCount());
    EXPECT_EQ(raw->item.contiguousData, 1);
    const std::string extension = "extension-long"; // cut to 14 characters
    const SeenItem* first = volume.Find("Raw Data Folder(s)/" + extension);
    const SeenItem* second = volume.Find("Raw Data Folder(s)/" + extension + "1");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->item.entryId, raw->item.entryId + 1);
    size_t inFirst = 0;
    size_t inSecond = 0;
    std::set<uint64_t> ids;
    for (const SeenItem& seen : volume.Items()) {
        EXPECT_TRUE(ids.insert(seen.item.entryId).second) << volume.PathOf(seen);
        if (seen.item.parentId != first->item.entryId && seen.item.parentId != second->item.entryId)
            continue;
        (seen.item.parentId == first->item.entryId ? inFirst : inSecond) += 1;
        EXPECT_EQ(Utf16ToUtf8(seen.name), std::to_string(seen.item.firstCluster) + "." + extension);
        EXPECT_EQ(seen.item.size, 1000 + seen.item.firstCluster);
        EXPECT_EQ(seen.item.contiguousData, 1);
        EXPECT_EQ(offered.count(seen.item.firstCluster), 1u);
    }
    EXPECT_EQ(inFirst, 2500u);
    EXPECT_EQ(inFirst + inSecond, signatures.clusters.size());
    // The volume's own files are all there besides.
    ExpectManifestContents(volume, "ntfs_volume", false);
}

TEST(NtfsAdvanceScanTest, NoSignatureSearchWithoutTheSetting) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    EveryClusterSignatures signatures(volume);
    volume.Environment().signatures = &signatures;
    volume.Environment().signatureSearchEnabled = false;
    volume.AdvanceScan();
    EXPECT_TRUE(signatures.clusters.empty());
    EXPECT_EQ(volume.Find("Raw Data Folder(s)"), nullptr);
    EXPECT_EQ(volume.Volume().ClusterCount(), volume.Volume().TotalSectors() / 8);
}

// Target.txt's names and Fragmented.txt's runs overflow their records into extension records;
// Fragmented.txt's only $FILE_NAME lies in one. Every file comes back once, whole.
void ExpectOverflowedRecords(NtfsScanVolume& volume) {
    const std::vector<ManifestEntry> manifest = ReadManifest(volume.Companion(".manifest"));
    for (const char* path : {"README.txt", "Links/Target.txt", "Fragmented.txt"}) {
        const auto entry =
            std::find_if(manifest.begin(), manifest.end(),
                         [&](const ManifestEntry& row) { return RelativePath(row) == path; });
        ASSERT_NE(entry, manifest.end()) << path;
        ASSERT_EQ(volume.CountPath(path), 1u) << path;
        const SeenItem& seen = *volume.Find(path);
        EXPECT_EQ(seen.item.size, entry->size) << path;
        const std::optional<std::vector<uint8_t>> data = volume.ReadData(seen.item);
        ASSERT_TRUE(data.has_value()) << path;
        EXPECT_EQ(Sha256Hex(*data), entry->sha256) << path;
    }
    const SeenItem* mixed = volume.Find("Compressed/Mixed.bin");
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->item.noData, 1);
    // Extension records are parts of other records, never items.
    std::set<std::string> paths;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(paths.insert(volume.PathOf(seen)).second ||
                    volume.PathOf(seen).starts_with('$'))
            << volume.PathOf(seen);
}

// Both scans, standard (false) and advance (true).
class NtfsBothScansTest : public testing::TestWithParam<bool> {};

TEST_P(NtfsBothScansTest, OverflowedRecordsKeepTheirNames) {
    NtfsScanVolume volume("ntfs_many_records");
    ASSERT_TRUE(volume.Ready());
    if (GetParam()) {
        volume.AdvanceScan();
        // The advance scan votes the cluster size itself.
        EXPECT_EQ(volume.Volume().SectorsPerCluster(), 1);
    } else {
        volume.Scan();
    }
    ExpectOverflowedRecords(volume);
}

INSTANTIATE_TEST_SUITE_P(Scans, NtfsBothScansTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Advance" : "Standard";
                         });

// --- damaged volumes ----------------------------------------------------------------------

// No folder id names two folders, and no folder is its own ancestor.
void ExpectSoundTree(const NtfsScanVolume& volume, const std::string& context) {
    std::map<uint64_t, const SeenItem*> folders;
    for (const SeenItem& seen : volume.Items()) {
        if (seen.item.IsFolder()) {
            EXPECT_TRUE(folders.emplace(seen.item.entryId, &seen).second)
                << context << ": folder id " << seen.item.entryId << " twice";
        }
    }
    for (const auto& [id, folder] : folders) {
        uint64_t parent = folder->item.parentId;
        size_t steps = 0;
        for (; parent != kRoot && steps <= folders.size(); ++steps) {
            const auto up = folders.find(parent);
            if (up == folders.end())
                break; // a parent that was never sent: shown nowhere, but no loop
            parent = up->second->item.parentId;
        }
        EXPECT_LE(steps, folders.size()) << context << ": folder " << id << " in a cycle";
    }
}

TEST(NtfsDamagedVolumeTest, ScansOfScrambledRecordsAndIndexesEnd) {
    std::mt19937 random(20231114);
    for (int round = 0; round < 6; ++round) {
        for (const bool advance : {false, true}) {
            NtfsScanVolume volume("ntfs_volume");
            ASSERT_TRUE(volume.Ready());
            // Bytes of the $MFT's records (they start at sector 32) and of the root's index
            // block (cluster 517) take random values.
            for (int i = 0; i < 400; ++i) {
                const bool inIndex = i % 4 == 0;
                const uint64_t offset = inIndex ? 517ull * 4096 + random() % 4096
                                                : 32ull * 512 + random() % (188 * 1024);
                const uint8_t value = static_cast<uint8_t>(random());
                volume.Patch(offset, std::span<const uint8_t>(&value, 1));
            }
            if (advance)
                volume.AdvanceScan();
            else
                volume.Scan();
            const std::string context =
                (advance ? "advance round " : "standard round ") + std::to_string(round);
            ExpectSoundTree(volume, context);
            EXPECT_EQ(volume.Volume().FoundCount(),
                      volume.Items().empty() ? 0 : volume.Items().size() + 1)
                << context;
        }
    }
}

// --- index blocks -----------------------------------------------------------------------------

TEST(NtfsIndexBlockTest, FixupRestoresSectorEndsAndRejectsOtherBlocks) {
    std::vector<uint8_t> block(4096, 0);
    std::memcpy(block.data(), "INDX", 4);
    block[4] = 0x28; // update-sequence array at 40, 9 entries
    block[6] = 9;
    block[0x28] = 0x11; // sequence number, written at every sector end
    block[0x29] = 0x22;
    for (size_t sector = 1; sector <= 8; ++sector) {
        block[sector * 512 - 2] = 0x11;
        block[sector * 512 - 1] = 0x22;
        block[0x28 + 2 * sector] = static_cast<uint8_t>(sector);
        block[0x29 + 2 * sector] = static_cast<uint8_t>(0xA0 + sector);
    }
    ASSERT_TRUE(NtfsScanRun::ApplyIndexFixup(block));
    for (size_t sector = 1; sector <= 8; ++sector) {
        EXPECT_EQ(block[sector * 512 - 2], sector);
        EXPECT_EQ(block[sector * 512 - 1], 0xA0 + sector);
    }
    // A count larger than the block touches nothing past it; an array past the end fails.
    block[6] = 200;
    EXPECT_TRUE(NtfsScanRun::ApplyIndexFixup(block));
    block[4] = 0xF0;
    block[5] = 0x0F;
    EXPECT_FALSE(NtfsScanRun::ApplyIndexFixup(block));
    std::memcpy(block.data(), "FILE", 4);
    EXPECT_FALSE(NtfsScanRun::ApplyIndexFixup(block));
}

TEST(NtfsIndexBlockTest, EntryParentNeedsAKey) {
    std::vector<uint8_t> entry(96, 0);
    entry[8] = 96;  // length
    entry[10] = 70; // key length
    entry[16] = 0x39;
    entry[17] = 0x30; // parent 0x3039
    EXPECT_EQ(NtfsScanRun::EntryParent(entry, 0), 0x3039u);
    entry[12] = 2; // the last entry of a node: no key
    EXPECT_FALSE(NtfsScanRun::EntryParent(entry, 0).has_value());
    entry[12] = 0;
    entry[10] = 0;
    EXPECT_FALSE(NtfsScanRun::EntryParent(entry, 0).has_value());
    entry[10] = 70;
    EXPECT_FALSE(NtfsScanRun::EntryParent(entry, 90).has_value()); // past the buffer
}

} // namespace
