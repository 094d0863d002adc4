// The raw search over the carving fixture (filler with files made by real tools at known
// sectors), its folders and names, its handling of unreadable sectors, and the signature search
// the FAT and NTFS scans call for single clusters.

#include "diskio/records/drive_node.h"
#include "filesystems/carving/active_signature_search.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_environment.h"
#include "filesystems/signatures/signature_file.h"
#include "platform/settings/data_folder.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_flags.h"
#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSector = 512;
constexpr uint8_t kDisk = 0x80;
constexpr char16_t kActivity[] = u"Searching physical disk for known file types";

// One row of carving.manifest.
struct Placement {
    uint64_t sector = 0;
    uint64_t size = 0;
    std::string sha256;
    std::u16string extension;
    std::string sizing; // finder, compound or none
    uint64_t extent = 0;
    std::string name;

    uint64_t Sectors() const { return (size + kSector - 1) / kSector; }
};

std::vector<Placement> ReadPlacements(const fs::path& manifest) {
    std::vector<Placement> rows;
    std::ifstream in(manifest);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Placement row;
        std::string extension;
        fields >> row.sector >> row.size >> row.sha256 >> extension >> row.sizing >> row.extent >>
            row.name;
        EXPECT_FALSE(fields.fail()) << line;
        row.extension = Utf8ToUtf16(extension);
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << manifest;
    return rows;
}

const std::vector<FileSignature>& DeliveredSignatures() {
    static const std::vector<FileSignature> list = [] {
        std::vector<FileSignature> loaded;
        LoadHeaderFile(loaded, BuildDataFolder(), {});
        return loaded;
    }();
    return list;
}

const FileSignature* DeliveredRecord(std::u16string_view extension) {
    for (const FileSignature& record : DeliveredSignatures())
        if (record.extension == extension)
            return &record;
    return nullptr;
}

struct SeenItem {
    FoundItem item;
    std::u16string name;
};

// An image mapped as physical disk 0 (drive 0x80) and a reader over it. With `readable`, reads
// of sectors from that one on fail, as on a disk whose end has gone bad.
class RawDisk {
public:
    RawDisk(const fs::path& image, std::optional<uint64_t> readable = std::nullopt)
        : m_image(image) {
        m_sectors = fs::file_size(image) / kSector;
        PhysicalDiskInfo info;
        info.drive = kDisk;
        info.totalSectors = m_sectors;
        m_node.number = kDisk;
        m_node.kind = DriveKind::HardDisk;
        m_node.detail = info;
        DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{image.string(), 0, readable});
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_environment.selectedDrive = &m_node;
        m_window.SetHandler([this](JobMessage& message) -> intptr_t {
            const FoundItemPayload* payload = message.Get<FoundItemPayload>();
            if (message.id == WM_ADD_FOUND_ITEM && payload != nullptr) {
                m_items.push_back({*payload->item, payload->name});
                if (m_afterItem)
                    m_afterItem();
            }
            return 0;
        });
        m_volume = std::make_unique<CFatFileSystem>(m_environment);
    }

    uint64_t Sectors() const { return m_sectors; }
    CFatFileSystem& Volume() { return *m_volume; }
    RecordingJobWindow& Window() { return m_window; }
    JobFlags& Flags() { return m_flags; }
    void AfterEachItem(std::function<void()> action) { m_afterItem = std::move(action); }

    void Scan(const ActiveSignatureSearch& search, uint64_t lastSector) {
        m_volume->SetScanRange(0, 0, lastSector);
        m_volume->RawScan(search);
    }
    void Scan(const ActiveSignatureSearch& search) { Scan(search, m_sectors - 1); }

    std::vector<SeenItem> Files() const { return Filter(false); }
    std::vector<SeenItem> Folders() const { return Filter(true); }
    std::optional<SeenItem> FileAt(uint64_t sector) const {
        for (const SeenItem& seen : Files())
            if (seen.item.firstCluster == sector)
                return seen;
        return std::nullopt;
    }
    std::u16string FolderName(uint64_t entryId) const {
        for (const SeenItem& seen : Folders())
            if (seen.item.entryId == entryId)
                return seen.name;
        return u"(none)";
    }

    // A raw file's bytes, read through the reader by its first sector and length.
    std::vector<uint8_t> Recover(const FoundItem& item) {
        const uint64_t sectors = (item.size + kSector - 1) / kSector;
        std::vector<uint8_t> bytes(sectors * kSector);
        if (sectors == 0 || m_volume->ReadSectors(item.firstCluster, static_cast<uint32_t>(sectors),
                                                  bytes.data()) == 0)
            return {};
        bytes.resize(item.size);
        return bytes;
    }

private:
    std::vector<SeenItem> Filter(bool folders) const {
        std::vector<SeenItem> out;
        for (const SeenItem& seen : m_items)
            if (seen.item.IsFolder() == folders)
                out.push_back(seen);
        return out;
    }

    fs::path m_image;
    uint64_t m_sectors = 0;
    DriveNode m_node;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    ScanEnvironment m_environment;
    std::unique_ptr<CFatFileSystem> m_volume;
    std::vector<SeenItem> m_items;
    std::function<void()> m_afterItem;
};

class RawSearchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(DeliveredSignatures().empty())
            << HeaderFileIn(BuildDataFolder()) << " is missing: build header_file";
        m_image = UnpackFixture("carving.img", m_dir);
        ASSERT_FALSE(m_image.empty());
        m_placements = ReadPlacements(FixturesFolder() / "carving.manifest");
        m_search = std::make_unique<ActiveSignatureSearch>(DeliveredSignatures());
    }

    // The fixture twice in a row: more than one read block.
    fs::path DoubledImage() {
        const fs::path doubled = m_dir.File("doubled.img");
        std::ifstream in(m_image, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream out(doubled, std::ios::binary);
        out << bytes << bytes;
        return doubled;
    }

    // The length the search must give a placed file: exact for finders and compound sizing,
    // else up to the next placed file or the type's maximum size.
    uint64_t ExpectedLength(const Placement& row) const {
        if (row.sizing != "none")
            return row.size;
        const FileSignature* record = DeliveredRecord(row.extension);
        EXPECT_NE(record, nullptr) << row.name;
        return record == nullptr ? 0 : std::min<uint64_t>(row.extent, record->maxFileSize);
    }

    const Placement& Row(std::string_view name) const {
        for (const Placement& row : m_placements)
            if (row.name == name)
                return row;
        ADD_FAILURE() << name << " is not in the manifest";
        return m_placements.front();
    }

    TempDir m_dir;
    fs::path m_image;
    std::vector<Placement> m_placements;
    std::unique_ptr<ActiveSignatureSearch> m_search;
};

TEST_F(RawSearchTest, FindsEveryPlacedFileAtItsSectorWithItsBytes) {
    RawDisk disk(m_image);
    disk.Scan(*m_search);
    for (const Placement& row : m_placements) {
        SCOPED_TRACE(row.name);
        const std::optional<SeenItem> found = disk.FileAt(row.sector);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->name, Utf8ToUtf16(std::to_string(row.sector)) + u"." + row.extension);
        EXPECT_EQ(disk.FolderName(found->item.parentId), row.extension);
        EXPECT_EQ(found->item.size, ExpectedLength(row));
        const std::vector<uint8_t> bytes = disk.Recover(found->item);
        ASSERT_GE(bytes.size(), row.size);
        // Files without a finder run on past their end: their start is the file.
        EXPECT_EQ(Sha256Hex(std::span(bytes).first(row.size)), row.sha256);
    }
}

TEST_F(RawSearchTest, FindsNothingOutsideThePlacedFiles) {
    RawDisk disk(m_image);
    disk.Scan(*m_search);
    const std::vector<SeenItem> files = disk.Files();
    ASSERT_FALSE(files.empty());
    std::set<uint64_t> sectors;
    for (const SeenItem& seen : files) {
        EXPECT_TRUE(sectors.insert(seen.item.firstCluster).second)
            << "sector " << seen.item.firstCluster << " found twice";
        const bool inside =
            std::any_of(m_placements.begin(), m_placements.end(), [&](const Placement& row) {
                return seen.item.firstCluster >= row.sector &&
                       seen.item.firstCluster < row.sector + row.Sectors();
            });
        EXPECT_TRUE(inside) << "a find in the filler at sector " << seen.item.firstCluster;
    }
}

// Random data holds no files, so whatever the search finds in it is a false find. Each
// delivered record must be long enough that 64 MiB of it gives almost none: the records all
// together expect about 0.1 there, where one record of two bytes alone would expect two.
constexpr uint64_t kRandomBytes = uint64_t{64} << 20;
constexpr size_t kMaxFalseFinds = 1;

// kRandomBytes from a fixed seed, the same on every run.
fs::path RandomImage(const TempDir& dir) {
    const fs::path image = dir.File("random.img");
    std::mt19937_64 generator(0x4D57'2A5E'ED00'0001ULL);
    std::vector<uint64_t> chunk(1 << 16);
    std::ofstream out(image, std::ios::binary);
    for (uint64_t done = 0; done < kRandomBytes; done += chunk.size() * sizeof(uint64_t)) {
        for (uint64_t& word : chunk)
            word = generator();
        out.write(reinterpret_cast<const char*>(chunk.data()),
                  static_cast<std::streamsize>(chunk.size() * sizeof(uint64_t)));
    }
    return out ? image : fs::path();
}

std::string FindsText(const std::vector<SeenItem>& files) {
    std::string text;
    for (const SeenItem& seen : files)
        text += " " + Utf16ToUtf8(seen.name);
    return text;
}

TEST_F(RawSearchTest, RandomDataGivesAlmostNoFalseFinds) {
    const fs::path image = RandomImage(m_dir);
    ASSERT_FALSE(image.empty());
    RawDisk disk(image);
    disk.Scan(*m_search);
    EXPECT_EQ(disk.Sectors(), kRandomBytes / kSector);
    const std::vector<SeenItem> files = disk.Files();
    EXPECT_LE(files.size(), kMaxFalseFinds) << "false finds:" << FindsText(files);
}

// The user's copy of the header file is the user's: a copy written before the delivered EXE
// record grew keeps its two-byte record, and loading and searching with it leave it as it was.
TEST_F(RawSearchTest, AUsersOlderCopyKeepsItsOwnExeRecord) {
    const FileSignature* exe = DeliveredRecord(u"EXE");
    ASSERT_NE(exe, nullptr);
    EXPECT_EQ(exe->matchLength, 8);
    std::vector<FileSignature> older = DeliveredSignatures();
    for (FileSignature& record : older)
        if (record.extension == u"EXE") {
            record.matchLength = 2;
            record.header = {0x4D, 0x5A};
        }
    TempDir user;
    ASSERT_TRUE(RewriteHeaderFile(older, user.Path()));
    const auto bytesOf = [](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const std::string before = bytesOf(HeaderFileIn(user.Path()));

    std::vector<FileSignature> loaded;
    ASSERT_TRUE(LoadHeaderFile(loaded, BuildDataFolder(), user.Path()));
    const auto userExe = std::find_if(loaded.begin(), loaded.end(),
                                      [](const FileSignature& r) { return r.extension == u"EXE"; });
    ASSERT_NE(userExe, loaded.end());
    EXPECT_EQ(userExe->matchLength, 2);
    RawDisk disk(m_image);
    disk.Scan(ActiveSignatureSearch(loaded));
    EXPECT_FALSE(disk.Files().empty());
    EXPECT_EQ(bytesOf(HeaderFileIn(user.Path())), before);
}

TEST_F(RawSearchTest, SendsDeletedContiguousItemsInFoldersAndLogsTheSearch) {
    RawDisk disk(m_image);
    disk.Scan(*m_search);
    const std::vector<SeenItem> files = disk.Files();
    const std::vector<SeenItem> folders = disk.Folders();
    std::set<uint64_t> ids;
    std::set<std::u16string> folderNames;
    for (const SeenItem& seen : folders) {
        EXPECT_EQ(seen.item.attributes, 0x10);
        EXPECT_EQ(seen.item.parentId, 0u);
        EXPECT_EQ(seen.item.deleted, 1);
        EXPECT_EQ(seen.item.contiguousData, 1);
        EXPECT_TRUE(ids.insert(seen.item.entryId).second);
        EXPECT_TRUE(folderNames.insert(seen.name).second)
            << "two folders named " << Utf16ToUtf8(seen.name);
    }
    uint64_t bytes = 0;
    for (const SeenItem& seen : files) {
        EXPECT_EQ(seen.item.attributes, 0x20);
        EXPECT_EQ(seen.item.deleted, 1);
        EXPECT_EQ(seen.item.contiguousData, 1);
        EXPECT_TRUE(ids.insert(seen.item.entryId).second);
        const std::u16string folder = disk.FolderName(seen.item.parentId);
        EXPECT_EQ(seen.name.substr(seen.name.find(u'.') + 1), folder);
        bytes += seen.item.size;
    }
    EXPECT_EQ(*ids.begin(), 2u);
    EXPECT_EQ(disk.Volume().FileCount(), static_cast<int32_t>(files.size()));
    EXPECT_EQ(disk.Volume().FoundCount(), files.size() + folders.size());
    EXPECT_EQ(disk.Volume().FoundBytes(), bytes);
    // Every type of the fixture has its folder, the office types by their documents' kind.
    for (const Placement& row : m_placements)
        EXPECT_EQ(folderNames.count(row.extension), 1u);

    const auto lines = disk.Window().LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::get<0>(lines.front()), kActivity);
    EXPECT_EQ(std::get<1>(lines.front()), u"Process Started");
    EXPECT_EQ(std::get<0>(lines.back()), kActivity);
    EXPECT_EQ(std::get<1>(lines.back()), u"Process completed");
    const std::vector<uint32_t> messages = disk.Window().Ids();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], WM_DESTROY_PROGRESS);
    EXPECT_EQ(messages.back(), WM_COLLAPSE_ROOT);
}

TEST_F(RawSearchTest, TheRegionEndCapsEveryLength) {
    const Placement& zip = Row("archive.zip");
    const Placement& bitmap = Row("picture.bmp");
    {
        // The region's last sector starts a file without a finder: one sector.
        RawDisk disk(m_image);
        disk.Scan(*m_search, zip.sector);
        const std::optional<SeenItem> found = disk.FileAt(zip.sector);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->item.size, kSector);
    }
    {
        // A finder's length stops at the region's end too.
        RawDisk disk(m_image);
        disk.Scan(*m_search, bitmap.sector + 9);
        const std::optional<SeenItem> found = disk.FileAt(bitmap.sector);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->item.size, 10 * kSector);
        EXPECT_FALSE(disk.FileAt(Row("intel.tif").sector).has_value());
    }
}

TEST_F(RawSearchTest, UnreadableSectorsAreLoggedAndNeverMatched) {
    // Past sector 2048 of the doubled image nothing can be read: the second read block fails
    // whole, and the buffer still holds the first block, whose files must not come back.
    const fs::path doubled = DoubledImage();
    constexpr uint64_t kReadable = 2048;
    RawDisk disk(doubled, kReadable);
    disk.Scan(*m_search);
    const uint64_t copy = fs::file_size(m_image) / kSector;
    for (const SeenItem& seen : disk.Files())
        EXPECT_LT(seen.item.firstCluster, kReadable) << "a find in unreadable sectors";
    for (const Placement& row : m_placements) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(disk.FileAt(row.sector).has_value());
        EXPECT_EQ(disk.FileAt(row.sector)->item.size, ExpectedLength(row));
    }
    // The second copy's GIF starts before the bad sectors: its structure cannot be read to its
    // end, so it runs to the first unreadable sector.
    const Placement& gif = Row("picture.gif");
    ASSERT_LT(copy + gif.sector, kReadable);
    ASSERT_GT(copy + gif.sector + gif.Sectors(), kReadable);
    const std::optional<SeenItem> cut = disk.FileAt(copy + gif.sector);
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->item.size, (kReadable - copy - gif.sector) * kSector);

    size_t errorRows = 0;
    for (const auto& [activity, description, status, image] : disk.Window().LogLines()) {
        if (description.rfind(u"Error reading sector :", 0) != 0)
            continue;
        ++errorRows;
        EXPECT_EQ(description, u"Error reading sector :2048");
        EXPECT_EQ(status, Utf8ToUtf16(std::to_string(disk.Sectors() - kReadable) + " sectors to " +
                                      std::to_string(disk.Sectors() - 1)));
    }
    EXPECT_EQ(errorRows, 1u);
    EXPECT_EQ(std::get<1>(disk.Window().LogLines().back()), u"Process completed");
}

TEST_F(RawSearchTest, AFileWithoutFinderStopsAtAnUnreadableSectorInsideTheBlock) {
    const Placement& pdf = Row("document.pdf");
    const uint64_t readable = pdf.sector + 2;
    RawDisk disk(m_image, readable);
    disk.Scan(*m_search);
    const std::optional<SeenItem> found = disk.FileAt(pdf.sector);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->item.size, 2 * kSector);
    EXPECT_FALSE(disk.FileAt(m_placements.back().sector).has_value());
    EXPECT_TRUE(disk.FileAt(Row("document.doc").sector).has_value());
}

TEST_F(RawSearchTest, StopRequestEndsTheSearch) {
    RawDisk disk(m_image);
    disk.AfterEachItem([&disk] { disk.Flags().stopRequested = true; });
    disk.Scan(*m_search);
    // The stop comes while the first find is being sent: nothing follows it.
    EXPECT_EQ(disk.Folders().size(), 1u);
    EXPECT_LE(disk.Files().size(), 1u);
    const auto lines = disk.Window().LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(std::get<1>(lines.back()), u"Process aborted, user intervention");
}

// ---------------------------------------------------------------------------------------------
// Folders of raw finds

class RawFolderTest : public testing::Test {
protected:
    RawFolderTest() : m_image(m_dir.File("empty.img")) {
        std::ofstream(m_image, std::ios::binary) << std::string(64 * kSector, '\0');
        m_disk = std::make_unique<RawDisk>(m_image);
        m_disk->Volume().SetScanRange(0, 0, 63);
    }

    TempDir m_dir;
    fs::path m_image;
    std::unique_ptr<RawDisk> m_disk;
};

TEST_F(RawFolderTest, The2501stFindOfAnExtensionGoesToFolderOne) {
    CFatFileSystem& volume = m_disk->Volume();
    for (uint64_t i = 0; i < 2501; ++i)
        volume.AddRawMatch(SignatureMatch{u"EXT", 1000}, 100 + i);
    volume.AddRawMatch(SignatureMatch{u"PNG", 10}, 7);
    for (uint64_t i = 0; i < 2500; ++i)
        volume.AddRawMatch(SignatureMatch{u"EXT", 1000}, 5000 + i);

    std::map<std::u16string, size_t> perFolder;
    for (const SeenItem& seen : m_disk->Files())
        ++perFolder[m_disk->FolderName(seen.item.parentId)];
    EXPECT_EQ(perFolder, (std::map<std::u16string, size_t>{
                             {u"EXT", 2500}, {u"EXT 1", 2500}, {u"EXT 2", 1}, {u"PNG", 1}}));
    const std::optional<SeenItem> overflow = m_disk->FileAt(2600);
    ASSERT_TRUE(overflow.has_value());
    EXPECT_EQ(m_disk->FolderName(overflow->item.parentId), u"EXT 1");
    EXPECT_EQ(overflow->name, u"2600.EXT");
    EXPECT_EQ(volume.FileCount(), 5002);
    EXPECT_EQ(volume.FoundBytes(), 5001u * 1000 + 10);
}

TEST_F(RawFolderTest, FifteenCharacterExtensionIsCutAndSectorsKeep64Bits) {
    CFatFileSystem& volume = m_disk->Volume();
    volume.AddRawMatch(SignatureMatch{u"ABCDEFGHIJKLMNO", 512}, 123);
    const uint64_t farSector = (uint64_t{1} << 32) + 5;
    volume.AddRawMatch(SignatureMatch{u"JPG", 3 * kSector}, farSector);
    ASSERT_EQ(m_disk->Folders().size(), 2u);
    EXPECT_EQ(m_disk->Folders()[0].name, u"ABCDEFGHIJKLMN");
    ASSERT_TRUE(m_disk->FileAt(123).has_value());
    EXPECT_EQ(m_disk->FileAt(123)->name, u"123.ABCDEFGHIJKLMN");
    const std::optional<SeenItem> far = m_disk->FileAt(farSector);
    ASSERT_TRUE(far.has_value());
    EXPECT_EQ(far->name, u"4294967301.JPG");
    EXPECT_EQ(far->item.size, 3 * kSector);
}

// ---------------------------------------------------------------------------------------------
// Single clusters, for the FAT and NTFS scans

std::vector<uint8_t> ReadImage(const fs::path& image, uint64_t sector, uint64_t count) {
    std::vector<uint8_t> bytes(count * kSector);
    std::ifstream in(image, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(sector * kSector));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteImage(const fs::path& image, uint64_t byteOffset, std::string_view bytes) {
    std::fstream file(image, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(byteOffset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good());
}

TEST_F(RawSearchTest, AFatClusterIsMatchedOnceUntilReset) {
    RawDisk disk(m_image);
    // A raw range has one sector per cluster: cluster n is sector n.
    disk.Scan(*m_search);
    const Placement& jpeg = Row("baseline.jpg");
    const std::vector<uint8_t> first = ReadImage(m_image, jpeg.sector, 1);
    ActiveSignatureSearch search(DeliveredSignatures());
    const auto match =
        search.MatchCluster(disk.Volume(), static_cast<uint32_t>(jpeg.sector), first);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->extension, u"JPG");
    EXPECT_EQ(match->length, jpeg.size);
    EXPECT_FALSE(search.MatchCluster(disk.Volume(), static_cast<uint32_t>(jpeg.sector), first));
    EXPECT_EQ(search.MatchedClusterCount(), 1u);
    search.Reset();
    EXPECT_TRUE(search.MatchCluster(disk.Volume(), static_cast<uint32_t>(jpeg.sector), first));
    // A sector that starts nothing is no match and is not remembered.
    const std::vector<uint8_t> filler = ReadImage(m_image, 0, 1);
    EXPECT_FALSE(search.MatchCluster(disk.Volume(), 0, filler));
    EXPECT_EQ(search.MatchedClusterCount(), 1u);
}

TEST_F(RawSearchTest, AnNtfsClusterIsMatchedOnceAndSizedInClusters) {
    RecordingJobWindow window;
    JobFlags flags;
    ScanEnvironment environment;
    environment.window = &window;
    environment.flags = &flags;
    CNtfsFileSystem volume(environment);
    NtfsVolumeRecord record;
    record.sectorsPerCluster = 2;
    record.imageFlag = 1;
    record.imagePath = Utf8ToUtf16(m_image.string());
    record.totalSectors = fs::file_size(m_image) / kSector;
    record.lastSector = record.totalSectors - 1;
    volume.SetVolumeFromScanInfo(record);

    const Placement& zip = Row("archive.zip");
    ASSERT_EQ(zip.sector % 2, 0u);
    const std::vector<uint8_t> first = ReadImage(m_image, zip.sector, 1);
    ActiveSignatureSearch search(DeliveredSignatures());
    const auto match = search.MatchCluster(volume, zip.sector / 2, first);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->extension, u"ZIP");
    // Two-sector clusters up to the next file's cluster.
    EXPECT_EQ(match->length, zip.extent);
    EXPECT_FALSE(search.MatchCluster(volume, zip.sector / 2, first));

    const Placement& jpeg = Row("progressive.jpg");
    ASSERT_EQ(jpeg.sector % 2, 0u);
    const auto picture =
        search.MatchCluster(volume, jpeg.sector / 2, ReadImage(m_image, jpeg.sector, 1));
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->length, jpeg.size);
    // A cluster past the volume is never matched.
    EXPECT_FALSE(search.MatchCluster(volume, record.totalSectors, first));
    EXPECT_FALSE(search.MatchCluster(volume, UINT64_MAX, first));
}

// The extension loop of a FAT cluster steps over the clusters the volume's map marks as used.
TEST(RawSearchFatClusterTest, ExtensionLoopStepsOverClustersInUse) {
    TempDir dir;
    const fs::path image = UnpackFixture("fat16_volume.img", dir);
    ASSERT_FALSE(image.empty());
    const uint64_t sectors = fs::file_size(image) / kSector;
    constexpr int kLetter = 2;
    LogicalDriveInfo info;
    info.drive = kLetter;
    info.disk = kLetter;
    info.totalSectors = sectors;
    info.lastSector = sectors - 1;
    info.partitionType = 4;
    DriveNode node;
    node.number = kLetter;
    node.kind = DriveKind::LogicalDrive;
    node.detail = info;
    DeviceTable::Process().SetDriveLetter(kLetter, DeviceSource{image.string(), 0, std::nullopt});
    RecordingJobWindow window;
    JobFlags flags;
    ScanEnvironment environment;
    environment.window = &window;
    environment.flags = &flags;
    environment.selectedDrive = &node;
    CFatFileSystem volume(environment);
    volume.SetVolumeFromDrive(0);
    volume.Scan();
    // What the advance scan builds before it matches clusters: the FAT's allocations.
    volume.BuildClusterMap();
    ASSERT_EQ(volume.TypeCode(), 4); // FAT16: two bytes per entry
    auto unused = [&volume](uint32_t cluster) {
        return volume.ClusterUsage(cluster) == CFatFileSystem::kClusterUnused;
    };
    // The files lie in one run from cluster 2: free the one before the run's last cluster, in
    // both FATs, for a free cluster, one in use, then free ones.
    uint32_t last = 0;
    for (uint32_t c = 2; c < volume.ClusterLimit(); ++c)
        if (!unused(c))
            last = c;
    ASSERT_GT(last, 3u);
    ASSERT_TRUE(unused(last + 1) && unused(last + 2));
    const uint32_t start = last - 1;
    for (uint64_t copy = 0; copy < 2; ++copy)
        WriteImage(image,
                   (volume.ReservedSectors() + copy * volume.SectorsPerFat()) * kSector +
                       uint64_t{start} * 2,
                   std::string(2, '\0'));
    volume.SetLinkingMode(CFatFileSystem::kLinkFat1);
    volume.BuildClusterMap();
    ASSERT_TRUE(unused(start) && !unused(start + 1) && unused(start + 2) && unused(start + 3));

    const FileSignature head = [] {
        FileSignature record;
        record.extension = u"HEAD";
        record.matchLength = 4;
        record.header = {'H', 'E', 'A', 'D'};
        record.maxFileSize = 1 << 20;
        return record;
    }();
    FileSignature stop = head;
    stop.extension = u"STOP";
    stop.header = {'S', 'T', 'O', 'P'};
    const uint64_t clusterBytes = volume.BytesPerCluster();
    auto at = [&volume](uint32_t cluster) { return volume.ClusterToSector(cluster) * kSector; };
    WriteImage(image, at(start), "HEAD");
    // The cluster in use would end the file if it were read; the second free one after it does.
    WriteImage(image, at(start + 1), "STOP");
    WriteImage(image, at(start + 3), "STOP");

    ActiveSignatureSearch search(std::vector<FileSignature>{head, stop});
    std::vector<uint8_t> first(kSector);
    ASSERT_NE(volume.ReadSectors(volume.ClusterToSector(start), 1, first.data()), 0);
    const auto match = search.MatchCluster(volume, start, first);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->extension, u"HEAD");
    EXPECT_EQ(match->length, 2 * clusterBytes);
}

} // namespace
