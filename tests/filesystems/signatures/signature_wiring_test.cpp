// The known-file-type search inside the advance scans, with the signatures the program
// delivers: on volumes whose pictures and archive were deleted and every trace of them in the
// file system wiped (fat16_wiped, ntfs_wiped), only the search can bring their data back, under
// "Raw Data Folder(s)"; with the "SC" setting off it is never asked.

#include "diskio/records/drive_node.h"
#include "filesystems/carving/active_signature_search.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_environment.h"
#include "filesystems/signatures/signature_file.h"
#include "filesystems/signatures/signature_lists.h"
#include "platform/settings/data_folder.h"
#include "platform/devices/device_table.h"
#include "platform/text/format_text.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_messages.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSector = 512;
constexpr char16_t kRawFolderName[] = u"Raw Data Folder(s)";

// One row of a wiped fixture's manifest.
struct Placed {
    std::string state; // present or wiped
    uint64_t cluster = 0;
    uint64_t sector = 0;
    uint64_t size = 0;
    std::string sha256;
    std::u16string extension; // empty: the search must not find it
    std::string sizing;       // finder or none for a file the search finds
    uint64_t extent = 0;      // what the extension loop gives a file without finder
    std::string path;

    bool Findable() const { return !extension.empty(); }
    std::string Name() const { return path.substr(path.rfind('/') + 1); }
};

std::vector<Placed> ReadPlaced(const fs::path& manifest) {
    std::vector<Placed> rows;
    std::ifstream in(manifest);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Placed row;
        std::string extension;
        std::string extent;
        fields >> row.state >> row.cluster >> row.sector >> row.size >> row.sha256 >> extension >>
            row.sizing >> extent;
        fields.ignore(1);
        std::getline(fields, row.path);
        EXPECT_FALSE(fields.fail()) << line;
        if (extension != "-")
            row.extension = Utf8ToUtf16(extension);
        if (extent != "-")
            row.extent = std::stoull(extent);
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << manifest;
    return rows;
}

// The active list as the scan job builds it: the header file of the build's data folder (the
// user folder holds no copy of its own), every record selected, then made active.
const std::vector<FileSignature>& ActiveSignatures() {
    static const std::vector<FileSignature> active = [] {
        TempDir userFolder;
        SignatureLists lists;
        if (!LoadHeaderFile(lists.user, BuildDataFolder(), userFolder.Path()))
            return std::vector<FileSignature>{};
        SelectSignatures(lists);
        return lists.active;
    }();
    return active;
}

// Passes every call on to the real search and notes the clusters the scan offered it and those
// it matched.
class CountingSearch : public SignatureSearch {
public:
    explicit CountingSearch(ActiveSignatureSearch& inner) : m_inner(inner) {}

    std::optional<SignatureMatch> MatchCluster(ClusterVolume& volume, uint64_t cluster,
                                               std::span<const uint8_t> firstSector) override {
        return Note(cluster, m_inner.MatchCluster(volume, cluster, firstSector));
    }

    std::map<uint64_t, int> offered;
    std::map<uint64_t, int> matched;

private:
    std::optional<SignatureMatch> Note(uint64_t cluster, std::optional<SignatureMatch> match) {
        ++offered[cluster];
        if (match)
            ++matched[cluster];
        return match;
    }

    ActiveSignatureSearch& m_inner;
};

struct SeenItem {
    FoundItem item;
    std::u16string name;
};

// A raw find with the name of the extension folder it was sent to.
struct RawFind {
    FoundItem item;
    std::u16string name;
    std::u16string folder;
};

// A wiped fixture mapped as drive C:, the delivered search, and every item a scan sends.
class WipedVolume {
public:
    WipedVolume(const std::string& fixture, uint8_t partitionType)
        : m_manifest(FixturesFolder() / (fixture + ".manifest")) {
        m_image = UnpackFixture(fixture + ".img", m_dir);
        if (m_image.empty())
            return;
        m_drive.emplace(m_image, partitionType);
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_drive->Node();
        m_window.SetHandler([this](JobMessage& message) -> intptr_t {
            const FoundItemPayload* payload = message.Get<FoundItemPayload>();
            if (payload == nullptr)
                return 0;
            if (message.id == WM_ADD_FOUND_ITEM)
                m_items.push_back({*payload->item, payload->name});
            else if (message.id == WM_UPDATE_FOUND_ITEM)
                for (SeenItem& seen : m_items)
                    if (seen.item.entryId == payload->item->entryId)
                        seen = {*payload->item, payload->name};
            return 0;
        });
        m_search = std::make_unique<ActiveSignatureSearch>(ActiveSignatures());
        m_counting = std::make_unique<CountingSearch>(*m_search);
        m_rows = ReadPlaced(m_manifest);
    }

    bool Ready() const { return !m_image.empty() && !m_rows.empty(); }

    // Wires the search in as the scan job does before a scan.
    void UseSearch(bool enabled) {
        m_environment.signatureSearchEnabled = enabled;
        m_environment.signatures = m_counting.get();
        m_search->Reset();
    }

    ScanEnvironment& Environment() { return m_environment; }
    const std::vector<Placed>& Rows() const { return m_rows; }
    const CountingSearch& Counts() const { return *m_counting; }
    const ActiveSignatureSearch& Search() const { return *m_search; }
    const std::vector<SeenItem>& Items() const { return m_items; }

    const SeenItem* RawFolder() const {
        const SeenItem* found = nullptr;
        for (const SeenItem& seen : m_items)
            if (seen.name == kRawFolderName) {
                EXPECT_EQ(found, nullptr) << "two raw data folders";
                found = &seen;
            }
        return found;
    }

    // The files under the extension folders of the raw data folder.
    std::vector<RawFind> RawFinds() const {
        std::vector<RawFind> finds;
        const SeenItem* raw = RawFolder();
        if (raw == nullptr)
            return finds;
        std::map<uint64_t, std::u16string> folders;
        for (const SeenItem& seen : m_items)
            if (seen.item.parentId == raw->item.entryId) {
                EXPECT_TRUE(seen.item.IsFolder()) << Utf16ToUtf8(seen.name);
                folders[seen.item.entryId] = seen.name;
            }
        for (const SeenItem& seen : m_items) {
            const auto folder = folders.find(seen.item.parentId);
            if (folder != folders.end())
                finds.push_back({seen.item, seen.name, folder->second});
        }
        return finds;
    }

    // The items sent under this name.
    size_t CountNamed(const std::string& name) const {
        size_t count = 0;
        for (const SeenItem& seen : m_items)
            if (Utf16ToUtf8(seen.name) == name)
                ++count;
        return count;
    }

private:
    fs::path m_manifest;
    TempDir m_dir;
    fs::path m_image;
    std::optional<MappedDrive> m_drive;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    ScanEnvironment m_environment;
    std::unique_ptr<ActiveSignatureSearch> m_search;
    std::unique_ptr<CountingSearch> m_counting;
    std::vector<Placed> m_rows;
    std::vector<SeenItem> m_items;
};

// Checks every findable row against the finds: one find at its first cluster, named
// "<cluster>.<extension>" in the folder of its extension, deleted and contiguous, sized by its
// finder or by the extension loop, and holding the file's bytes from that cluster on; and no
// find anywhere else. `read` reads `sectors` sectors from the find's first cluster.
void ExpectFindsMatchTheManifest(
    const WipedVolume& volume,
    const std::function<std::vector<uint8_t>(uint64_t cluster, uint64_t sectors)>& read) {
    const std::vector<RawFind> finds = volume.RawFinds();
    std::map<uint64_t, const RawFind*> byCluster;
    for (const RawFind& find : finds)
        EXPECT_TRUE(byCluster.emplace(find.item.firstCluster, &find).second)
            << "two finds at cluster " << find.item.firstCluster;

    size_t findable = 0;
    std::set<std::u16string> extensions;
    for (const Placed& row : volume.Rows()) {
        SCOPED_TRACE(row.path);
        const auto it = byCluster.find(row.cluster);
        if (!row.Findable()) {
            EXPECT_EQ(it, byCluster.end()) << "found though it starts no known file or is in use";
            continue;
        }
        ++findable;
        extensions.insert(row.extension);
        ASSERT_NE(it, byCluster.end());
        const RawFind& find = *it->second;
        EXPECT_EQ(find.name, FormatText(u"%llu.%s", row.cluster, row.extension));
        EXPECT_EQ(find.folder, row.extension);
        EXPECT_FALSE(find.item.IsFolder());
        EXPECT_EQ(find.item.deleted, 1);
        EXPECT_EQ(find.item.contiguousData, 1);
        if (row.sizing == "finder") {
            EXPECT_EQ(find.item.size, row.size);
        } else {
            EXPECT_EQ(find.item.size, row.extent);
        }

        ASSERT_GE(find.item.size, row.size);
        std::vector<uint8_t> bytes = read(row.cluster, (find.item.size + kSector - 1) / kSector);
        ASSERT_GE(bytes.size(), row.size);
        // A file without a finder runs on past its end: its start is the file.
        bytes.resize(row.sizing == "finder" ? find.item.size : row.size);
        EXPECT_EQ(Sha256Hex(bytes), row.sha256);
    }
    EXPECT_EQ(finds.size(), findable);
    std::set<std::u16string> folders;
    for (const RawFind& find : finds)
        folders.insert(find.folder);
    EXPECT_EQ(folders, extensions);
    EXPECT_EQ(extensions, (std::set<std::u16string>{u"JPG", u"PNG", u"ZIP"}));
}

class SignatureWiringTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ActiveSignatures().empty())
            << HeaderFileIn(BuildDataFolder()) << " is missing or empty: build header_file";
    }
};

// ---------------------------------------------------------------------------------------------
// FAT

class FatWiring {
public:
    FatWiring() : m_volume("fat16_wiped", 4) {}

    bool Ready() const { return m_volume.Ready(); }
    WipedVolume& Wiped() { return m_volume; }

    void AdvanceScan() {
        m_reader = std::make_unique<CFatFileSystem>(m_volume.Environment());
        m_reader->SetVolumeFromDrive(0);
        m_reader->AdvanceScan();
    }

    CFatFileSystem& Reader() { return *m_reader; }

    std::vector<uint8_t> Read(uint64_t cluster, uint64_t sectors) {
        std::vector<uint8_t> bytes(sectors * kSector);
        if (sectors == 0 ||
            m_reader->ReadSectors(m_reader->ClusterToSector(static_cast<uint32_t>(cluster)),
                                  static_cast<uint32_t>(sectors), bytes.data()) == 0)
            return {};
        return bytes;
    }

private:
    WipedVolume m_volume;
    std::unique_ptr<CFatFileSystem> m_reader;
};

TEST_F(SignatureWiringTest, FatAdvanceScanFindsTheWipedFilesByTheirSignatures) {
    FatWiring fat;
    ASSERT_TRUE(fat.Ready());
    WipedVolume& volume = fat.Wiped();
    volume.UseSearch(true);
    fat.AdvanceScan();

    for (const Placed& row : volume.Rows())
        ASSERT_EQ(fat.Reader().ClusterToSector(static_cast<uint32_t>(row.cluster)), row.sector)
            << row.path;
    const SeenItem* raw = volume.RawFolder();
    ASSERT_NE(raw, nullptr);
    EXPECT_TRUE(raw->item.IsFolder());
    EXPECT_EQ(raw->item.parentId, 0u);
    ExpectFindsMatchTheManifest(
        volume, [&fat](uint64_t cluster, uint64_t sectors) { return fat.Read(cluster, sectors); });

    // The scan offers each free cluster once and none in use; the live picture is never seen.
    for (const auto& [cluster, times] : volume.Counts().offered) {
        EXPECT_EQ(times, 1) << "cluster " << cluster;
        EXPECT_EQ(fat.Reader().ClusterUsage(static_cast<uint32_t>(cluster)),
                  CFatFileSystem::kClusterUnused)
            << "cluster " << cluster;
    }
    for (const Placed& row : volume.Rows()) {
        EXPECT_EQ(volume.Counts().offered.count(row.cluster), row.state == "wiped" ? 1u : 0u)
            << row.path;
        // Nothing but the search knows the wiped files; the live ones are still found by name.
        EXPECT_EQ(volume.CountNamed(row.Name()), row.state == "wiped" ? 0u : 1u) << row.path;
    }
    EXPECT_EQ(volume.Search().MatchedClusterCount(), volume.Counts().matched.size());
}

TEST_F(SignatureWiringTest, FatAdvanceScanWithTheSettingOffNeverAsksTheSearch) {
    FatWiring fat;
    ASSERT_TRUE(fat.Ready());
    WipedVolume& volume = fat.Wiped();
    volume.UseSearch(false);
    fat.AdvanceScan();

    EXPECT_EQ(volume.RawFolder(), nullptr);
    EXPECT_TRUE(volume.Counts().offered.empty());
    EXPECT_EQ(volume.Search().MatchedClusterCount(), 0u);
    // The scan itself ran: the live files are there.
    for (const Placed& row : volume.Rows()) {
        if (row.state == "present") {
            EXPECT_EQ(volume.CountNamed(row.Name()), 1u) << row.path;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// NTFS

class NtfsWiring {
public:
    NtfsWiring() : m_volume("ntfs_wiped", 7) {}

    bool Ready() const { return m_volume.Ready(); }
    WipedVolume& Wiped() { return m_volume; }

    void AdvanceScan() {
        m_reader = std::make_unique<CNtfsFileSystem>(m_volume.Environment());
        m_reader->SetVolumeFromDrive(0);
        m_reader->AdvanceScan();
    }

    CNtfsFileSystem& Reader() { return *m_reader; }

    std::vector<uint8_t> Read(uint64_t cluster, uint64_t sectors) {
        std::vector<uint8_t> bytes(sectors * kSector);
        if (sectors == 0 ||
            m_reader->ReadSectors(cluster * m_reader->SectorsPerCluster(),
                                  static_cast<uint32_t>(sectors), bytes.data()) == 0)
            return {};
        return bytes;
    }

private:
    WipedVolume m_volume;
    std::unique_ptr<CNtfsFileSystem> m_reader;
};

TEST_F(SignatureWiringTest, NtfsAdvanceScanFindsTheWipedFilesOnceEach) {
    NtfsWiring ntfs;
    ASSERT_TRUE(ntfs.Ready());
    WipedVolume& volume = ntfs.Wiped();
    volume.UseSearch(true);
    ntfs.AdvanceScan();

    ASSERT_EQ(ntfs.Reader().SectorsPerCluster(), 4);
    for (const Placed& row : volume.Rows())
        ASSERT_EQ(row.cluster * 4, row.sector) << row.path;
    const SeenItem* raw = volume.RawFolder();
    ASSERT_NE(raw, nullptr);
    EXPECT_TRUE(raw->item.IsFolder());
    EXPECT_EQ(raw->item.parentId, CNtfsFileSystem::kRootRecord);
    // The archive, which has no finder, runs over free clusters only: the live After.txt that
    // follows it is stepped over, up to the next picture.
    ExpectFindsMatchTheManifest(volume, [&ntfs](uint64_t cluster, uint64_t sectors) {
        return ntfs.Read(cluster, sectors);
    });

    // Both the free-cluster search and the record collection pass over every free cluster:
    // each must reach the search once.
    for (const auto& [cluster, times] : volume.Counts().offered) {
        EXPECT_EQ(times, 1) << "cluster " << cluster;
        EXPECT_EQ(ntfs.Reader().ClusterUsage(cluster), 0) << "cluster " << cluster;
    }
    for (const auto& [cluster, times] : volume.Counts().matched)
        EXPECT_EQ(times, 1) << "cluster " << cluster;
    for (const Placed& row : volume.Rows()) {
        EXPECT_EQ(volume.Counts().offered.count(row.cluster), row.state == "wiped" ? 1u : 0u)
            << row.path;
        EXPECT_EQ(volume.CountNamed(row.Name()), row.state == "wiped" ? 0u : 1u) << row.path;
    }
    EXPECT_EQ(volume.Search().MatchedClusterCount(), volume.Counts().matched.size());
}

TEST_F(SignatureWiringTest, NtfsAdvanceScanWithTheSettingOffNeverAsksTheSearch) {
    NtfsWiring ntfs;
    ASSERT_TRUE(ntfs.Ready());
    WipedVolume& volume = ntfs.Wiped();
    volume.UseSearch(false);
    ntfs.AdvanceScan();

    EXPECT_EQ(volume.RawFolder(), nullptr);
    EXPECT_TRUE(volume.Counts().offered.empty());
    for (const Placed& row : volume.Rows()) {
        if (row.state == "present") {
            EXPECT_EQ(volume.CountNamed(row.Name()), 1u) << row.path;
        }
    }
}

} // namespace
