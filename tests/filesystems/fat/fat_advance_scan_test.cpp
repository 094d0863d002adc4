#include "diskio/records/drive_node.h"
#include "filesystems/carving/signature_search.h"
#include "filesystems/fat/fat_boot_info.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/scan_environment.h"
#include "platform/devices/device_table.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/message_box_icon.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/fls_listing.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kDriveLetter = 2;
constexpr char16_t kInvalidVolumeText[] =
    u"Not a valid logical drive, or critical data structure are badly corrupted for this drive.";

struct SeenItem {
    FoundItem item;
    std::u16string name;
};

// A fixture image mapped as drive C:, with a reader over it. Every item sent is kept; an
// update renames the item it names.
class AdvanceVolume {
public:
    explicit AdvanceVolume(const std::string& fixture) : m_fixture(fixture) {
        if (!fixture.empty())
            m_image = UnpackFixture(fixture + ".img", m_dir);
    }

    bool Ready() const { return !m_image.empty(); }
    const std::filesystem::path& Image() const { return m_image; }
    void SetImage(std::filesystem::path image) { m_image = std::move(image); }
    TempDir& Dir() { return m_dir; }

    // Sets the reader up over the image as a drive of `kind`; `found` fills a rebuilt volume's
    // geometry.
    void SetUp(DriveKind kind = DriveKind::LogicalDrive, uint8_t partitionType = 4,
               FoundVolumeFields found = {}) {
        const uint64_t sectors = std::filesystem::file_size(m_image) / 512;
        LogicalDriveInfo info;
        info.drive = kDriveLetter;
        info.disk = kDriveLetter;
        info.totalSectors = sectors;
        info.lastSector = sectors - 1;
        info.partitionType = partitionType;
        info.foundVolume = std::move(found);
        m_node.number = kDriveLetter;
        m_node.kind = kind;
        m_node.detail = info;
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
        m_volume = std::make_unique<CFatFileSystem>(m_environment);
        m_window.SetHandler([this](JobMessage& message) -> intptr_t {
            const FoundItemPayload* payload = message.Get<FoundItemPayload>();
            if (message.id == WM_ADD_FOUND_ITEM && payload != nullptr) {
                m_items.push_back({*payload->item, payload->name});
                if (m_afterItem)
                    m_afterItem(m_items.size());
            } else if (message.id == WM_UPDATE_FOUND_ITEM && payload != nullptr) {
                m_updates.push_back({*payload->item, payload->name});
            }
            return 0;
        });
        DeviceTable::Process().SetDriveLetter(kDriveLetter,
                                              DeviceSource{m_image.string(), 0, std::nullopt});
        m_volume->SetVolumeFromDrive(0);
    }

    void AdvanceScan() {
        m_volume->AdvanceScan();
        ApplyUpdates();
    }

    void ApplyUpdates() {
        for (const SeenItem& update : m_updates)
            for (SeenItem& seen : m_items)
                if (seen.item.entryId == update.item.entryId)
                    seen = update;
        m_updates.clear();
    }

    CFatFileSystem& Volume() { return *m_volume; }
    RecordingJobWindow& Window() { return m_window; }
    JobFlags& Flags() { return m_flags; }
    ScanEnvironment& Environment() { return m_environment; }
    const std::vector<SeenItem>& Items() const { return m_items; }
    void OnItem(std::function<void(size_t)> afterItem) { m_afterItem = std::move(afterItem); }

    const SeenItem* ById(uint64_t id) const {
        for (const SeenItem& seen : m_items)
            if (seen.item.entryId == id)
                return &seen;
        return nullptr;
    }

    // The item's names from the root, joined by "/", in UTF-8.
    std::string PathOf(const SeenItem& seen) const {
        std::string path = Utf16ToUtf8(seen.name);
        uint64_t parent = seen.item.parentId;
        for (int depth = 0; parent != 0; ++depth) {
            const SeenItem* up = ById(parent);
            if (up == nullptr || depth > 100)
                return "<no parent>/" + path;
            path = Utf16ToUtf8(up->name) + "/" + path;
            parent = up->item.parentId;
        }
        return path;
    }

    const SeenItem* Find(const std::string& path) const {
        for (const SeenItem& seen : m_items)
            if (PathOf(seen) == path)
                return &seen;
        return nullptr;
    }

    std::string DataHash(const FoundItem& item) {
        const ClusterList list = m_volume->GetFileClusters(static_cast<uint32_t>(item.firstCluster),
                                                           item.size, item.deleted != 0);
        std::vector<uint8_t> data;
        std::vector<uint8_t> cluster(m_volume->BytesPerCluster());
        for (uint32_t number : list.clusters) {
            if (m_volume->ReadCluster(number, 0, cluster.data(), m_volume->SectorsPerCluster()) ==
                0)
                return "unreadable";
            data.insert(data.end(), cluster.begin(), cluster.end());
        }
        if (data.size() < item.size)
            return "short";
        data.resize(item.size);
        return Sha256Hex(data);
    }

    std::filesystem::path Companion(const std::string& suffix) const {
        return FixturesFolder() / (m_fixture + suffix);
    }

    // The number after `label` in the manifest's header, as in "Child is cluster 5".
    std::optional<uint32_t> HeaderNumber(const std::string& label) const {
        std::ifstream in(Companion(".manifest"));
        std::string line;
        while (std::getline(in, line)) {
            const size_t at = line.find(label);
            if (!line.starts_with("#") || at == std::string::npos)
                continue;
            const size_t digits = at + label.size();
            const size_t end = line.find_first_not_of("0123456789", digits);
            if (end == digits)
                continue;
            return static_cast<uint32_t>(std::stoul(line.substr(digits, end - digits)));
        }
        return std::nullopt;
    }

private:
    std::string m_fixture;
    TempDir m_dir;
    std::filesystem::path m_image;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    DriveNode m_node;
    ScanEnvironment m_environment;
    std::unique_ptr<CFatFileSystem> m_volume;
    std::vector<SeenItem> m_items;
    std::vector<SeenItem> m_updates;
    std::function<void(size_t)> m_afterItem;
};

std::map<std::string, uint64_t> ReadGeometryFile(const std::filesystem::path& path) {
    std::map<std::string, uint64_t> values;
    std::ifstream in(path);
    std::string key;
    std::string value;
    while (in >> key >> value)
        values[key] = std::stoull(value, nullptr, 0);
    return values;
}

// Every live, non-empty file of the manifest is found at its path with its size and bytes.
void ExpectManifestFiles(AdvanceVolume& volume, const std::string& prefixToDrop = "") {
    const std::vector<ManifestEntry> manifest = ReadManifest(volume.Companion(".manifest"));
    ASSERT_FALSE(manifest.empty());
    for (const ManifestEntry& entry : manifest) {
        if (entry.state != "present" || (entry.kind == "file" && entry.size == 0))
            continue;
        std::string path = entry.path.substr(1);
        if (!prefixToDrop.empty() && path.starts_with(prefixToDrop))
            continue;
        SCOPED_TRACE(path);
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << "not found";
        EXPECT_EQ(seen->item.IsFolder(), entry.kind == "dir");
        if (entry.kind == "file") {
            EXPECT_EQ(seen->item.size, entry.size);
            EXPECT_EQ(volume.DataHash(seen->item), entry.sha256);
        }
    }
}

bool LogHas(RecordingJobWindow& window, const std::u16string& activity,
            const std::u16string& description) {
    for (const auto& [rowActivity, rowDescription, status, image] : window.LogLines())
        if (rowActivity == activity && rowDescription == description)
            return true;
    return false;
}

std::string ClusterName(uint32_t cluster) {
    return Utf16ToUtf8(FormatText(u"%08lu", cluster));
}

// --- geometry ------------------------------------------------------------------------------

TEST(FatAdvanceGeometryTest, NoBootSectorGeometryIsRebuiltFromTheFolders) {
    AdvanceVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    const auto expected = ReadGeometryFile(volume.Companion(".geometry"));
    ASSERT_EQ(expected.count("sectors_per_cluster"), 1u);
    volume.SetUp();
    volume.AdvanceScan();

    CFatFileSystem& reader = volume.Volume();
    EXPECT_EQ(reader.SectorsPerCluster(), expected.at("sectors_per_cluster"));
    EXPECT_EQ(reader.ReservedSectors(), expected.at("reserved_sectors"));
    EXPECT_EQ(reader.SectorsPerFat(), expected.at("sectors_per_fat"));
    EXPECT_EQ(reader.RootFolderSectors(), expected.at("root_sectors"));
    EXPECT_EQ(reader.Type(), FatType::Fat16);
    EXPECT_TRUE(LogHas(volume.Window(), u"Calculating system parameters", u"Process completed"));
    EXPECT_TRUE(volume.Window().MessageBoxes().empty());
    // The root is intact: its folders get their names back and its files come under it.
    ExpectManifestFiles(volume);
    EXPECT_NE(volume.Window().Count(WM_APPLY_ITEM_NAMES), 0u);
}

void ZeroSector(const std::filesystem::path& image, uint64_t sector) {
    std::fstream out(image, std::ios::in | std::ios::out | std::ios::binary);
    const std::array<char, 512> zeros{};
    out.seekp(static_cast<std::streamoff>(sector * 512));
    out.write(zeros.data(), zeros.size());
}

// With the first FAT's signature gone too, the reserved count comes from where the second FAT
// begins, and the second FAT is the one that links.
TEST(FatAdvanceGeometryTest, LostFirstFatIsFoundThroughTheSecond) {
    AdvanceVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    const auto expected = ReadGeometryFile(volume.Companion(".geometry"));
    ZeroSector(volume.Image(), expected.at("first_fat_sector"));
    volume.SetUp();
    volume.AdvanceScan();

    EXPECT_EQ(volume.Volume().ReservedSectors(), expected.at("reserved_sectors"));
    EXPECT_EQ(volume.Volume().SectorsPerFat(), expected.at("sectors_per_fat"));
    EXPECT_EQ(volume.Volume().LinkingModeValue(), CFatFileSystem::kLinkFat2);
    ExpectManifestFiles(volume);
}

TEST(FatAdvanceGeometryTest, Fat12WithoutBootSectorTakesItsRootSizeFromTheSecondFat) {
    AdvanceVolume volume("fat12_floppy");
    ASSERT_TRUE(volume.Ready());
    ZeroSector(volume.Image(), 0);
    volume.SetUp(DriveKind::LogicalDrive, 1);
    volume.AdvanceScan();

    EXPECT_EQ(volume.Volume().Type(), FatType::Fat12);
    EXPECT_EQ(volume.Volume().SectorsPerCluster(), 1);
    EXPECT_EQ(volume.Volume().ReservedSectors(), 1u);
    EXPECT_EQ(volume.Volume().SectorsPerFat(), 9u);
    EXPECT_EQ(volume.Volume().RootFolderSectors(), 14u);
    ExpectManifestFiles(volume, "Trash");
}

// The geometry search rebuilds what the boot sector said, whatever the cluster size: small
// FAT32 clusters put the data area far in, where the first rule of the search looks away.
struct GeometryCase {
    const char* fixture;
    uint8_t partitionType;
    FatType type;
};

class FatAdvanceGeometryByClusterTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(FatAdvanceGeometryByClusterTest, BootSectorGeometryIsRebuiltAndEveryFileFound) {
    const GeometryCase& c = GetParam();
    AdvanceVolume volume(c.fixture);
    ASSERT_TRUE(volume.Ready());
    std::array<uint8_t, 512> boot{};
    {
        std::ifstream in(volume.Image(), std::ios::binary);
        in.read(reinterpret_cast<char*>(boot.data()), boot.size());
    }
    FatBootInfo expected;
    ASSERT_EQ(ParseFatBootSector(boot, expected), 1);
    ZeroSector(volume.Image(), 0); // the advance scan must not need it
    volume.SetUp(DriveKind::LogicalDrive, c.partitionType);
    volume.AdvanceScan();

    CFatFileSystem& reader = volume.Volume();
    EXPECT_EQ(reader.Type(), c.type);
    EXPECT_EQ(reader.SectorsPerCluster(), expected.sectorsPerCluster);
    EXPECT_EQ(reader.ReservedSectors(), expected.reservedSectors);
    EXPECT_EQ(reader.SectorsPerFat(), expected.sectorsPerFat);
    EXPECT_EQ(reader.RootFolderSectors(), expected.rootFolderSectors);
    EXPECT_TRUE(volume.Window().MessageBoxes().empty());
    ExpectManifestFiles(volume, "Trash");
    // sleuthkit's listing of the same image: every live file it shows, we show with its size.
    // It cuts names near 240 bytes; the manifest has those whole.
    constexpr size_t kSleuthkitNameCut = 200;
    for (const FlsEntry& entry : ReadFlsListing(volume.Companion(".fls"))) {
        if (entry.deleted || entry.type != "r/r" || entry.size == 0 ||
            entry.path.find("(Volume Label Entry)") != std::string::npos ||
            entry.path.size() - entry.path.rfind('/') > kSleuthkitNameCut)
            continue;
        const SeenItem* seen = volume.Find(entry.path);
        ASSERT_NE(seen, nullptr) << entry.path;
        EXPECT_EQ(seen->item.size, entry.size) << entry.path;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FatAdvanceGeometryByClusterTest,
                         ::testing::Values(GeometryCase{"fat12_floppy", 1, FatType::Fat12},
                                           GeometryCase{"fat16_volume", 6, FatType::Fat16},
                                           GeometryCase{"fat32_spc1", 12, FatType::Fat32},
                                           GeometryCase{"fat32_spc2", 12, FatType::Fat32},
                                           GeometryCase{"fat32_spc4", 12, FatType::Fat32},
                                           GeometryCase{"fat32_spc8", 12, FatType::Fat32}),
                         [](const auto& info) { return std::string(info.param.fixture); });

TEST(FatAdvanceGeometryTest, VolumeWithoutFoldersIsRejectedWithTheMessage) {
    AdvanceVolume volume("");
    const std::filesystem::path blank = volume.Dir().File("blank.img");
    { std::ofstream out(blank, std::ios::binary); }
    std::filesystem::resize_file(blank, 4096 * 512);
    volume.SetImage(blank);
    volume.SetUp();
    volume.Flags().stoppable = true;
    volume.Environment().progressIdle = 0;
    volume.AdvanceScan();

    const auto boxes = volume.Window().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kInvalidVolumeText);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Error);
    EXPECT_FALSE(volume.Flags().stoppable);
    EXPECT_FALSE(volume.Flags().stopRequested);
    EXPECT_EQ(volume.Environment().progressIdle.load(), 1u);
    EXPECT_TRUE(volume.Items().empty());
    EXPECT_FALSE(LogHas(volume.Window(), u"Creating directory tree", u"Process Started"));
}

// --- folders rebuilt from "." and ".." -----------------------------------------------------

TEST(FatAdvanceScanTest, ZeroedRootGivesItsFoldersUnderTheirClusterNumbers) {
    AdvanceVolume volume("fat16_zero_root");
    ASSERT_TRUE(volume.Ready());
    const auto photos = volume.HeaderNumber("Photos was cluster ");
    const auto music = volume.HeaderNumber("Music cluster ");
    ASSERT_TRUE(photos && music);
    volume.SetUp();
    volume.AdvanceScan();

    const std::string photosName = ClusterName(*photos);
    const std::string musicName = ClusterName(*music);
    EXPECT_EQ(photosName.size(), 8u);
    for (const std::string& name : {photosName, musicName}) {
        const SeenItem* folder = volume.Find(name);
        ASSERT_NE(folder, nullptr) << name;
        EXPECT_TRUE(folder->item.IsFolder());
        EXPECT_EQ(folder->item.parentId, 0u);
    }
    const std::map<std::string, std::string> moved = {
        {"Photos/IMG_0001.JPG", photosName + "/IMG_0001.JPG"},
        {"Photos/Holiday at the sea.txt", photosName + "/Holiday at the sea.txt"},
        {"Photos/2023/march.txt", photosName + "/2023/march.txt"},
        {"Music/Track 01.txt", musicName + "/Track 01.txt"},
        {"Music/TRACK02.TXT", musicName + "/TRACK02.TXT"}};
    for (const ManifestEntry& entry : ReadManifest(volume.Companion(".manifest"))) {
        const auto it = moved.find(entry.path.substr(1));
        if (it == moved.end())
            continue;
        const SeenItem* file = volume.Find(it->second);
        ASSERT_NE(file, nullptr) << it->second;
        EXPECT_EQ(file->item.size, entry.size);
        EXPECT_EQ(volume.DataHash(file->item), entry.sha256) << it->second;
    }
    // Nothing was orphaned: no "Lost Folder(s)".
    EXPECT_EQ(volume.ById(CFatFileSystem::kLostFoldersId), nullptr);
}

TEST(FatAdvanceScanTest, FolderOfAZeroedParentComesBackUnderLostFolders) {
    AdvanceVolume volume("fat16_zero_parent");
    ASSERT_TRUE(volume.Ready());
    const auto child = volume.HeaderNumber("Child is cluster ");
    ASSERT_TRUE(child);
    volume.SetUp();
    volume.AdvanceScan();

    const SeenItem* lost = volume.ById(CFatFileSystem::kLostFoldersId);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->name, u"Lost Folder(s)");
    EXPECT_EQ(lost->item.parentId, 0u);
    EXPECT_TRUE(lost->item.IsFolder());
    const std::string base = "Lost Folder(s)/" + ClusterName(*child);
    ASSERT_NE(volume.Find(base), nullptr);
    const std::map<std::string, std::string> moved = {
        {"Parent/Child/One.txt", base + "/One.txt"},
        {"Parent/Child/TWO.TXT", base + "/TWO.TXT"},
        {"Parent/Child/Grand/Three.txt", base + "/Grand/Three.txt"},
        {"Intact/Kept.txt", "Intact/Kept.txt"}};
    for (const ManifestEntry& entry : ReadManifest(volume.Companion(".manifest"))) {
        const auto it = moved.find(entry.path.substr(1));
        if (it == moved.end())
            continue;
        const SeenItem* file = volume.Find(it->second);
        ASSERT_NE(file, nullptr) << it->second;
        EXPECT_EQ(volume.DataHash(file->item), entry.sha256) << it->second;
    }
    EXPECT_EQ(std::count_if(volume.Items().begin(), volume.Items().end(),
                            [](const SeenItem& seen) { return seen.name == u"Lost Folder(s)"; }),
              1);
}

// Child's ".." is pointed at Intact, which lies in a higher cluster: when the cluster walk
// meets Child, its parent is not known yet.
TEST(FatAdvanceScanTest, OrphanWhoseParentIsFoundLaterIsAttachedToIt) {
    AdvanceVolume volume("fat16_zero_parent");
    ASSERT_TRUE(volume.Ready());
    const auto child = volume.HeaderNumber("Child is cluster ");
    ASSERT_TRUE(child);

    std::fstream image(volume.Image(), std::ios::in | std::ios::out | std::ios::binary);
    std::array<uint8_t, 512> boot{};
    image.read(reinterpret_cast<char*>(boot.data()), boot.size());
    FatBootInfo info;
    ASSERT_EQ(ParseFatBootSector(boot, info), 1);
    const uint64_t rootStart = info.reservedSectors + 2ull * info.sectorsPerFat;
    std::vector<uint8_t> root(info.rootFolderSectors * 512ull);
    image.seekg(static_cast<std::streamoff>(rootStart * 512));
    image.read(reinterpret_cast<char*>(root.data()), static_cast<std::streamsize>(root.size()));
    uint32_t intact = 0;
    for (size_t at = 0; at + 32 <= root.size(); at += 32)
        if (std::memcmp(root.data() + at, "INTACT     ", 11) == 0)
            intact = root[at + 26] | (root[at + 27] << 8);
    ASSERT_GT(intact, *child);
    const uint64_t childSector =
        rootStart + info.rootFolderSectors + uint64_t{info.sectorsPerCluster} * (*child - 2);
    const std::array<char, 2> parent = {static_cast<char>(intact & 0xFF),
                                        static_cast<char>(intact >> 8)};
    image.seekp(static_cast<std::streamoff>(childSector * 512 + 32 + 26));
    image.write(parent.data(), parent.size());
    image.close();

    volume.SetUp();
    volume.AdvanceScan();

    const SeenItem* intactFolder = volume.Find("Intact");
    ASSERT_NE(intactFolder, nullptr);
    const SeenItem* childFolder = volume.Find("Intact/" + ClusterName(*child));
    ASSERT_NE(childFolder, nullptr);
    EXPECT_EQ(childFolder->item.parentId, intactFolder->item.entryId);
    EXPECT_NE(volume.Find("Intact/" + ClusterName(*child) + "/Grand/Three.txt"), nullptr);
    EXPECT_EQ(volume.ById(CFatFileSystem::kLostFoldersId), nullptr);
}

// A rebuilt volume reads only the folder clusters the lost-drive search kept.
TEST(FatAdvanceScanTest, RebuiltVolumeReadsOnlyItsRecordedFolderClusters) {
    AdvanceVolume volume("fat16_zero_parent");
    ASSERT_TRUE(volume.Ready());
    const auto child = volume.HeaderNumber("Child is cluster ");
    ASSERT_TRUE(child);
    std::array<uint8_t, 512> boot{};
    {
        std::ifstream in(volume.Image(), std::ios::binary);
        in.read(reinterpret_cast<char*>(boot.data()), boot.size());
    }
    FatBootInfo info;
    ASSERT_EQ(ParseFatBootSector(boot, info), 1);
    FoundVolumeFields found;
    found.sectorsPerCluster = info.sectorsPerCluster;
    found.sectorsPerFat = info.sectorsPerFat;
    found.reservedSectors = info.reservedSectors;
    found.rootFolderSectors = static_cast<uint16_t>(info.rootFolderSectors);
    // Child twice, and numbers no volume has.
    found.folderClusters = {*child, *child, 0, 1, 0xFFFFFFF0u};
    volume.SetUp(DriveKind::RebuiltVolume, 6, found);
    volume.AdvanceScan();

    EXPECT_EQ(volume.Volume().Type(), FatType::Fat16);
    EXPECT_EQ(volume.Volume().SectorsPerCluster(), info.sectorsPerCluster);
    const std::string base = "Lost Folder(s)/" + ClusterName(*child);
    ASSERT_NE(volume.Find(base), nullptr);
    EXPECT_NE(volume.Find(base + "/One.txt"), nullptr);
    EXPECT_NE(volume.Find(base + "/Grand/Three.txt"), nullptr);
    // Intact was not recorded, and no root pass runs here.
    EXPECT_EQ(volume.Find("Intact"), nullptr);
    EXPECT_EQ(volume.Find("README.TXT"), nullptr);
    EXPECT_EQ(std::count_if(volume.Items().begin(), volume.Items().end(),
                            [&](const SeenItem& seen) {
                                return seen.item.firstCluster == *child && seen.item.IsFolder();
                            }),
              1);
}

// The lost-folder search on FAT32 rebuilds the root from cluster 2 and names the root
// folders it found by their clusters.
TEST(FatAdvanceScanTest, Fat32RootFilesComeFromClusterTwo) {
    AdvanceVolume volume("fat32_volume");
    ASSERT_TRUE(volume.Ready());
    volume.SetUp(DriveKind::LogicalDrive, 11);
    std::array<uint8_t, 512> boot{};
    ASSERT_NE(volume.Volume().ReadSectors(0, 1, boot.data()), 0);
    FatBootInfo info;
    ASSERT_EQ(ParseFatBootSector(boot, info), 1);
    volume.Volume().ApplyBootInfo(info);
    volume.Volume().ChooseLinkingMode();
    volume.Volume().BuildClusterMap();
    volume.Volume().FindLostFolders();
    volume.ApplyUpdates();

    EXPECT_TRUE(LogHas(volume.Window(), u"Adding Root File(s)", u"Process completed"));
    EXPECT_TRUE(
        LogHas(volume.Window(), u"Adding Broken File(s) and Folder(s)", u"Process completed"));
    // Trash was deleted with its whole tree; what it held is not asked for here.
    ExpectManifestFiles(volume, "Trash");
    // No file is sent twice.
    std::set<std::pair<uint64_t, std::u16string>> files;
    for (const SeenItem& seen : volume.Items())
        if (!seen.item.IsFolder() && seen.item.deleted == 0) {
            EXPECT_TRUE(files.insert({seen.item.firstCluster, seen.name}).second)
                << volume.PathOf(seen);
        }
}

// --- stopping and the raw data folder ------------------------------------------------------

TEST(FatAdvanceScanTest, StopKeepsTheItemsFoundSoFar) {
    AdvanceVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    volume.SetUp();
    volume.OnItem([&](size_t count) {
        if (count == 3)
            volume.Flags().stopRequested = true;
    });
    volume.AdvanceScan();

    EXPECT_EQ(volume.Items().size(), 3u);
    EXPECT_EQ(volume.Volume().FoundCount(), 3u);
    EXPECT_TRUE(
        LogHas(volume.Window(), u"Creating directory tree", u"Process aborted, user intervention"));
    EXPECT_FALSE(LogHas(volume.Window(), u"Creating directory tree", u"Process completed"));
    EXPECT_FALSE(LogHas(volume.Window(), u"Adding Root File(s)", u"Process Started"));
    EXPECT_TRUE(volume.Window().MessageBoxes().empty());
    // The reader stays usable for recovery of what was found.
    for (const SeenItem& seen : volume.Items())
        if (!seen.item.IsFolder()) {
            EXPECT_EQ(volume.DataHash(seen.item).size(), 64u);
        }
}

// Takes every unused cluster that is all zero for a file: "bin" at even, "dat" at odd ones.
class ZeroClusterSignatures : public SignatureSearch {
public:
    std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                               std::span<const uint8_t> firstSector) override {
        ++calls;
        if (firstSector.size() != 512 || !volume.IsClusterFree(cluster) ||
            !std::all_of(firstSector.begin(), firstSector.end(), [](uint8_t b) { return b == 0; }))
            return std::nullopt;
        return SignatureMatch{cluster % 2 == 0 ? u"bin" : u"dat", 1000 + cluster};
    }
    size_t calls = 0;
};

TEST(FatAdvanceScanTest, RawDataFolderSplitsExtensionsAndKeepsIdsUnique) {
    AdvanceVolume volume("fat16_no_boot");
    ASSERT_TRUE(volume.Ready());
    ZeroClusterSignatures signatures;
    volume.SetUp();
    volume.Environment().signatures = &signatures;
    volume.Environment().signatureSearchEnabled = true;
    volume.AdvanceScan();
    ASSERT_GT(signatures.calls, 5000u);

    std::set<uint32_t> lowIds;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(lowIds.insert(static_cast<uint32_t>(seen.item.entryId)).second)
            << Utf16ToUtf8(seen.name) << " id " << seen.item.entryId;

    const SeenItem* raw = volume.Find("Raw Data Folder(s)");
    ASSERT_NE(raw, nullptr);
    EXPECT_TRUE(raw->item.IsFolder());
    EXPECT_EQ(raw->item.deleted, 1);
    std::map<std::u16string, size_t> filesIn; // extension folder name -> files
    std::map<uint64_t, std::u16string> folderOf;
    for (const SeenItem& seen : volume.Items())
        if (seen.item.parentId == raw->item.entryId) {
            EXPECT_TRUE(seen.item.IsFolder());
            EXPECT_EQ(seen.item.deleted, 1);
            folderOf[seen.item.entryId] = seen.name;
            filesIn[seen.name] = 0;
        }
    size_t files = 0;
    for (const SeenItem& seen : volume.Items()) {
        const auto it = folderOf.find(seen.item.parentId);
        if (it == folderOf.end())
            continue;
        ++files;
        ++filesIn[it->second];
        const uint32_t cluster = static_cast<uint32_t>(seen.item.firstCluster);
        const std::u16string extension = cluster % 2 == 0 ? u"bin" : u"dat";
        EXPECT_EQ(seen.name, FormatText(u"%u.%s", cluster, extension));
        EXPECT_EQ(it->second.substr(0, 3), extension);
        EXPECT_EQ(seen.item.size, 1000u + cluster);
        EXPECT_EQ(seen.item.deleted, 1);
        EXPECT_EQ(seen.item.contiguousData, 1);
    }
    EXPECT_GT(files, 5000u);
    ASSERT_EQ(filesIn.count(u"bin"), 1u);
    // The second folder of an extension is numbered 1, as in the raw search.
    ASSERT_EQ(filesIn.count(u"bin 1"), 1u);
    ASSERT_EQ(filesIn.count(u"dat 1"), 1u);
    EXPECT_EQ(filesIn[u"bin"], 2500u);
    EXPECT_EQ(filesIn[u"dat"], 2500u);
    EXPECT_EQ(filesIn.size(), 4u);
    // The volume's own files are still all there.
    ExpectManifestFiles(volume);
}

} // namespace
