// The Preview command's dispatch over scanned fixtures: every present file goes to the viewer
// its extension names, and whatever a viewer gets (the bytes recovery reads, or a cluster list
// the libraries read themselves) hashes as the fixture's manifest says. Viewers are recorders
// that decline unless told otherwise, so each declined file is seen again by the hex view.
#include "app/previews/archive_text_preview.h"
#include "app/previews/found_file_preview.h"
#include "app/models/found_entry_store.h"
#include "app/program_text.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/log_pane.h"
#include "diskio/inventory/drive_list.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/recovered_file_data.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sha256.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QCursor>
#include <QTreeWidgetItemIterator>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
// Dialog 154 of a disk: its Raw Data Recovery button.
constexpr int kDiskRawRecovery = 1024;
using Bytes = std::vector<uint8_t>;

struct Call {
    PreviewViewer viewer = PreviewViewer::Hex;
    std::u16string name;
    uint64_t size = 0;
    uint32_t sectorsPerCluster = 0;
    uint8_t kind = 0xFF;
    std::vector<uint32_t> clusters;
    Bytes bytes;
    // Where a library read from, and whether that file was private to us while it did.
    std::string imagePath;
    bool fromImage = false;
    bool privateCopy = false;
    // Whether the wait cursor was up when the viewer was handed the file.
    bool waitCursor = false;
};

bool WaitCursorUp() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

Bytes Drain(RecoveredFileData& data, uint64_t size) {
    Bytes out;
    RecoveredFileData::Piece piece;
    while (out.size() < size && data.Next(piece))
        out.insert(out.end(), piece.data, piece.data + piece.length);
    out.resize(std::min<uint64_t>(out.size(), size));
    return out;
}

// What a library reads through a list: each entry's sectors from the image (the mapped drive
// starts at the image's sector 0), FAT numbering from cluster 2, holes and bytes past the
// valid length as zeros.
Bytes ReadList(const std::vector<uint32_t>& clusters, uint32_t spc, uint64_t dataStart, bool ntfs,
               const fs::path& image, uint64_t size, uint64_t valid) {
    std::ifstream in(image, std::ios::binary);
    Bytes out;
    for (const uint32_t cluster : clusters) {
        for (uint64_t r = 0; r < spc && out.size() < size; ++r) {
            Bytes sector(512, 0);
            if (!ClusterList::IsSparse(cluster)) {
                const uint64_t number = ntfs ? cluster : cluster - 2;
                in.seekg(static_cast<std::streamoff>((number * spc + dataStart + r) * 512));
                in.read(reinterpret_cast<char*>(sector.data()), 512);
                EXPECT_TRUE(in.good()) << "cluster " << cluster;
                in.clear();
            }
            out.insert(out.end(), sector.begin(), sector.end());
        }
    }
    out.resize(std::min<uint64_t>(out.size(), size));
    if (valid < out.size())
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(valid), out.end(), 0);
    return out;
}

bool IsPrivateCopy(const std::string& path) {
    struct stat file {};
    struct stat folder {};
    return ::lstat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode) &&
           (file.st_mode & 0777) == 0600 &&
           ::lstat(fs::path(path).parent_path().c_str(), &folder) == 0 &&
           (folder.st_mode & 0077) == 0;
}

class Recorder {
public:
    explicit Recorder(fs::path image) : m_image(std::move(image)) {}

    bool pictureShows = false;
    int officeResult = 0;
    // When set, what the picture or office viewer answers in place of the two above.
    std::optional<PreviewAnswer> pictureAnswer;
    std::optional<PreviewAnswer> officeAnswer;
    bool libraryShows = false;
    std::vector<Call> calls;
    // What the person was told, with the number of viewer calls made before.
    std::vector<std::pair<size_t, FoundFilePreview::Notice>> told;

    FoundFilePreview::Viewers Viewers() {
        FoundFilePreview::Viewers viewers;
        viewers.picture = [this](QWidget*, const std::u16string& name, uint64_t size, uint32_t spc,
                                 RecoveredFileData& data) {
            calls.push_back({PreviewViewer::Picture, name, size, spc});
            calls.back().waitCursor = WaitCursorUp();
            calls.back().bytes = Drain(data, size);
            return pictureAnswer.value_or(pictureShows ? PreviewAnswer::Shown
                                                       : PreviewAnswer::Declined);
        };
        viewers.office = [this](QWidget*, RecoveredFileData& data, uint64_t size,
                                std::u16string_view name) {
            calls.push_back({PreviewViewer::Office, std::u16string(name), size});
            calls.back().waitCursor = WaitCursorUp();
            calls.back().bytes = Drain(data, size);
            return officeAnswer.value_or(officeResult != 0 ? PreviewAnswer::Shown
                                                           : PreviewAnswer::Declined);
        };
        viewers.tell = [this](FoundFilePreview::Notice notice, const std::u16string&) {
            told.emplace_back(calls.size(), notice);
        };
        viewers.archiveOrText = [this](const ArchiveTextPreviewRequest& request, uint8_t kind) {
            Call call{kind == kPreviewKindArchive ? PreviewViewer::Archive : PreviewViewer::Text,
                      request.fileName, request.fileSize, request.sectorsPerCluster, kind};
            call.clusters = request.clusters.clusters;
            call.fromImage = request.imageFile;
            call.imagePath = Utf16ToUtf8(request.imagePath);
            call.privateCopy = request.imageFile && IsPrivateCopy(call.imagePath);
            call.waitCursor = WaitCursorUp();
            call.bytes =
                ReadList(call.clusters, request.sectorsPerCluster, request.dataStartSector,
                         request.ntfs, request.imageFile ? fs::path(call.imagePath) : m_image,
                         request.fileSize, request.clusters.validLength);
            calls.push_back(std::move(call));
            return libraryShows;
        };
        viewers.hex = [this](const std::u16string& name, const FoundFileClusters& where) {
            Call call{PreviewViewer::Hex, name, where.list.byteLength, where.sectorsPerCluster};
            call.clusters = where.list.clusters;
            call.fromImage = where.fromImage;
            call.imagePath = where.imagePath;
            call.privateCopy = where.fromImage && IsPrivateCopy(where.imagePath);
            call.waitCursor = WaitCursorUp();
            call.bytes = ReadList(call.clusters, where.sectorsPerCluster, where.dataStartSector,
                                  where.partitionType == FoundFileClusters::kNtfsNumbering,
                                  where.fromImage ? fs::path(where.imagePath) : m_image,
                                  where.list.byteLength, where.list.validLength);
            calls.push_back(std::move(call));
        };
        return viewers;
    }

private:
    fs::path m_image;
};

class PreviewDispatchTest : public WindowTest {
protected:
    std::string PathOf(std::size_t index) const {
        const FoundEntryStore& store = frame.Store();
        std::string path;
        for (int depth = 0; depth < 64 && index != FoundEntryStore::kNone && index != 0; ++depth) {
            path = "/" + Utf16ToUtf8(store.At(index).name) + path;
            index = store.FindFolderById(store.At(index).item.parentId);
        }
        return index == 0 ? path : std::string();
    }
    std::size_t EntryAt(const std::string& path) const {
        for (std::size_t i = 1; i < frame.Store().Size(); ++i)
            if (PathOf(i) == path)
                return i;
        return FoundEntryStore::kNone;
    }
    std::vector<Call> Preview(Recorder& recorder, std::size_t entry) {
        recorder.calls.clear();
        recorder.told.clear();
        EXPECT_EQ(FoundFilePreview::Show(state, frame.Store(), entry, recorder.Viewers()),
                  FoundFilePreview::Outcome::Shown);
        // The wait cursor goes with the preview.
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        return recorder.calls;
    }
};

struct FixtureCase {
    const char* fixture;
    uint8_t partitionType;
    // How many of the fixture's files the libraries read from a private copy (resident and
    // compressed NTFS files): none, some or all.
    enum { None, Some, All } copied;
};

TEST_F(PreviewDispatchTest, EveryFileReachesItsViewerWithTheBytesRecoveryReads) {
    const FixtureCase cases[] = {
        {"fat12_pictures", kFatPartition, FixtureCase::None},
        {"office_docs", kFatPartition, FixtureCase::None},
        {"fat16_deleted_folder", kFatPartition, FixtureCase::None},
        {"ntfs_volume", kNtfsPartition, FixtureCase::Some},
        {"ntfs_compressed", kNtfsPartition, FixtureCase::Some},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.fixture);
        MappedFixture fixture(c.fixture, c.partitionType);
        ASSERT_TRUE(fixture.Ready());
        ASSERT_TRUE(ScanInWindow(fixture));
        Recorder recorder(fixture.Image());
        int checked = 0;
        int copied = 0;
        for (const ManifestEntry& file :
             ReadManifest(FixturesFolder() / (std::string(c.fixture) + ".manifest"))) {
            if (file.kind != "file" || file.state != "present" || file.size == 0)
                continue;
            SCOPED_TRACE(file.path);
            const std::size_t entry = EntryAt(file.path);
            ASSERT_NE(entry, FoundEntryStore::kNone);
            const PreviewViewer expected =
                ChoosePreviewViewer(fs::path(file.path).filename().string(), file.size, false);
            const std::vector<Call> calls = Preview(recorder, entry);
            // Declined by every viewer: its own, then the hex view.
            ASSERT_EQ(calls.size(), expected == PreviewViewer::Hex ? 1u : 2u);
            EXPECT_EQ(calls.front().viewer, expected);
            EXPECT_EQ(calls.back().viewer, PreviewViewer::Hex);
            for (const Call& call : calls) {
                EXPECT_TRUE(call.waitCursor) << static_cast<int>(call.viewer);
                EXPECT_EQ(call.name, frame.Store().At(entry).name);
                EXPECT_EQ(call.size, file.size);
                EXPECT_EQ(Sha256Hex(call.bytes), file.sha256) << static_cast<int>(call.viewer);
                if (call.fromImage) {
                    EXPECT_TRUE(call.privateCopy) << call.imagePath;
                    // The copy is gone once the viewer has closed, its folder too.
                    EXPECT_FALSE(fs::exists(call.imagePath));
                    EXPECT_FALSE(fs::exists(fs::path(call.imagePath).parent_path()));
                }
            }
            if (calls.back().fromImage)
                ++copied;
            ++checked;
        }
        EXPECT_GT(checked, 0);
        EXPECT_EQ(copied == 0, c.copied == FixtureCase::None);
        EXPECT_EQ(copied == checked, c.copied == FixtureCase::All);
    }
}

TEST_F(PreviewDispatchTest, AViewerThatShowsTheFileEndsThePreview) {
    MappedFixture fixture("office_docs", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    Recorder recorder(fixture.Image());
    recorder.officeResult = 1;
    const std::vector<Call> calls = Preview(recorder, EntryAt("/report.doc"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].viewer, PreviewViewer::Office);

    MappedFixture pictures("fat12_pictures", kFatPartition);
    ASSERT_TRUE(pictures.Ready());
    ASSERT_TRUE(ScanInWindow(pictures));
    Recorder shows(pictures.Image());
    shows.pictureShows = true;
    for (std::size_t i = 1; i < frame.Store().Size(); ++i) {
        if (frame.Store().At(i).item.IsFolder())
            continue;
        const std::vector<Call> one = Preview(shows, i);
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].viewer, PreviewViewer::Picture);
        // The buffer's geometry is the volume's.
        EXPECT_EQ(one[0].sectorsPerCluster, state.FatVolume()->SectorsPerCluster());
    }
}

// Entries added to the scanned store by hand: names and sizes no fixture holds, over the
// clusters of a file the fixture does hold.
TEST_F(PreviewDispatchTest, NameAndSizeChooseTheViewerAtTheLimits) {
    MappedFixture fixture("fat16_deleted_folder", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    const std::size_t readme = EntryAt("/README.TXT");
    ASSERT_NE(readme, FoundEntryStore::kNone);
    const FoundItem base = frame.Store().At(readme).item;
    struct Case {
        std::u16string name;
        uint64_t size;
        std::vector<PreviewViewer> calls;
    };
    const Case cases[] = {
        {u"C", base.size, {PreviewViewer::Text, PreviewViewer::Hex}},
        {u"readme.TXT", base.size, {PreviewViewer::Text, PreviewViewer::Hex}},
        {u"README.txt", base.size, {PreviewViewer::Text, PreviewViewer::Hex}},
        {u"archive.tar.gz", base.size, {PreviewViewer::Hex}},
        {u"big.jpg", 10485760, {PreviewViewer::Picture, PreviewViewer::Hex}},
        {u"big.jpg", 10485761, {PreviewViewer::Hex}},
        {u"big.xls", 10485761, {PreviewViewer::Hex}},
    };
    Recorder recorder(fixture.Image());
    uint64_t id = 0x7000;
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name) + " " + std::to_string(c.size));
        FoundItem item = base;
        item.entryId = ++id;
        item.size = c.size;
        const std::size_t entry = frame.Store().AddFoundItem(item, c.name);
        ASSERT_NE(entry, FoundEntryStore::kNone);
        std::vector<PreviewViewer> viewers;
        for (const Call& call : Preview(recorder, entry))
            viewers.push_back(call.viewer);
        EXPECT_EQ(viewers, c.calls);
    }
}

// A viewer that cannot show the file says why, then the hex view shows it; a viewer that merely
// declines says nothing, and a text the text viewer declines needs no word either.
TEST_F(PreviewDispatchTest, AViewerThatCannotShowTheFileIsExplainedBeforeTheHexView) {
    using FoundFilePreview::Notice;
    MappedFixture fixture("fat16_deleted_folder", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    const std::size_t readme = EntryAt("/README.TXT");
    ASSERT_NE(readme, FoundEntryStore::kNone);
    struct Case {
        const char16_t* name;
        std::optional<PreviewAnswer> answer; // of the picture or office viewer
        PreviewViewer first;
        std::optional<Notice> notice;
    };
    const Case cases[] = {
        {u"a.jpg", PreviewAnswer::NotDecoded, PreviewViewer::Picture, Notice::PictureNotDecoded},
        {u"a.tga", PreviewAnswer::KindNotRead, PreviewViewer::Picture, Notice::PictureKindNotRead},
        {u"a.png", PreviewAnswer::Unreadable, PreviewViewer::Picture, Notice::Unreadable},
        {u"a.gif", PreviewAnswer::Declined, PreviewViewer::Picture, std::nullopt},
        {u"a.doc", PreviewAnswer::Unreadable, PreviewViewer::Office, Notice::Unreadable},
        {u"a.mdb", PreviewAnswer::Declined, PreviewViewer::Office, std::nullopt},
        {u"a.zip", std::nullopt, PreviewViewer::Archive, Notice::ArchiveNotListed},
        {u"a.txt", std::nullopt, PreviewViewer::Text, std::nullopt},
    };
    uint64_t id = 0x7200;
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        Recorder recorder(fixture.Image());
        recorder.pictureAnswer = c.answer;
        recorder.officeAnswer = c.answer;
        FoundItem item = frame.Store().At(readme).item;
        item.entryId = ++id;
        const std::size_t entry = frame.Store().AddFoundItem(item, c.name);
        const std::vector<Call> calls = Preview(recorder, entry);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].viewer, c.first);
        EXPECT_EQ(calls[1].viewer, PreviewViewer::Hex);
        if (c.notice) {
            // Told once, after its viewer and before the hex view.
            ASSERT_EQ(recorder.told.size(), 1u);
            EXPECT_EQ(recorder.told[0].first, 1u);
            EXPECT_EQ(recorder.told[0].second, *c.notice);
        } else {
            EXPECT_TRUE(recorder.told.empty());
        }
    }
}

// What the person reads: the message names the picture kind no decoder reads; each notice has
// its message and its log row's status in the current language.
TEST(PreviewNoticeTest, EachNoticeHasItsTexts) {
    using FoundFilePreview::Notice;
    const std::u16string kind =
        FoundFilePreview::NoticeMessage(Notice::PictureKindNotRead, u"x.tga");
    EXPECT_NE(kind.find(u"TGA"), std::u16string::npos);
    EXPECT_EQ(kind.find(u"%s"), std::u16string::npos);
    std::set<std::u16string> texts;
    for (const Notice notice : {Notice::PictureNotDecoded, Notice::PictureKindNotRead,
                                Notice::Unreadable, Notice::ArchiveNotListed}) {
        const std::u16string message = FoundFilePreview::NoticeMessage(notice, u"a.J2K");
        const std::u16string status = FoundFilePreview::NoticeStatus(notice);
        EXPECT_FALSE(message.empty());
        EXPECT_FALSE(status.empty());
        texts.insert(message);
        texts.insert(status);
    }
    EXPECT_EQ(texts.size(), 8u);
}

TEST_F(PreviewDispatchTest, FoldersShowTheirOwnClustersInHexOnly) {
    MappedFixture fixture("fat16_deleted_folder", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    Recorder recorder(fixture.Image());
    recorder.pictureShows = recorder.libraryShows = true;
    recorder.officeResult = 1;
    const CFatFileSystem& volume = *state.FatVolume();
    const uint32_t clusterBytes = volume.SectorsPerCluster() * 512;

    // The root has no list; a live folder its chain; a deleted one only its first cluster.
    const std::vector<Call> root = Preview(recorder, 0);
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(root[0].viewer, PreviewViewer::Hex);
    EXPECT_TRUE(root[0].clusters.empty());
    EXPECT_EQ(root[0].size, 0u);

    for (const char* path : {"/KEEP", "/Trash", "/KEEP/INNER"}) {
        SCOPED_TRACE(path);
        const std::size_t entry = EntryAt(path);
        ASSERT_NE(entry, FoundEntryStore::kNone);
        const FoundItem& item = frame.Store().At(entry).item;
        const std::vector<Call> calls = Preview(recorder, entry);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].viewer, PreviewViewer::Hex);
        ASSERT_FALSE(calls[0].clusters.empty());
        EXPECT_EQ(calls[0].clusters.front(), item.firstCluster);
        if (item.deleted != 0)
            EXPECT_EQ(calls[0].clusters.size(), 1u);
        EXPECT_EQ(calls[0].size, uint64_t{clusterBytes} * calls[0].clusters.size());
        // A folder's first cluster begins with its "." entry.
        ASSERT_GE(calls[0].bytes.size(), 11u);
        EXPECT_EQ(std::string(calls[0].bytes.begin(), calls[0].bytes.begin() + 11),
                  std::string(".          "));
    }

    // Synthetic folders of a search lie in no cluster: an empty list, never cluster 0 - 2.
    FoundItem synthetic{};
    synthetic.attributes = FoundItem::kFolderAttribute;
    synthetic.entryId = 0x7100;
    synthetic.parentId = frame.Store().RootId();
    synthetic.deleted = 1;
    const std::size_t folder = frame.Store().AddFoundItem(synthetic, u"Raw Data Folder(s)");
    const std::vector<Call> calls = Preview(recorder, folder);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].clusters.empty());
    EXPECT_EQ(calls[0].size, 0u);
}

// Resident and compressed NTFS files have no cluster list: the picture and office viewers get
// their bytes from recovery's reader, the libraries from the private copy.
TEST_F(PreviewDispatchTest, ResidentAndCompressedFilesReachEveryViewer) {
    MappedFixture fixture("ntfs_compressed", kNtfsPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture));
    std::map<std::string, ManifestEntry> manifest;
    for (const ManifestEntry& file : ReadManifest(FixturesFolder() / "ntfs_compressed.manifest"))
        manifest[file.path] = file;
    Recorder recorder(fixture.Image());
    for (const char* path : {"/README.txt", "/Packed/Text.txt"}) {
        const std::size_t original = EntryAt(path);
        ASSERT_NE(original, FoundEntryStore::kNone);
        for (const std::u16string name : {u"as.png", u"as.ppt", u"as.zip", u"as.bin"}) {
            SCOPED_TRACE(std::string(path) + " " + Utf16ToUtf8(name));
            // The same record (NTFS data is found by its record number) under another name.
            const FoundItem item = frame.Store().At(original).item;
            const std::size_t entry = frame.Store().AddFoundItem(item, name);
            const std::vector<Call> calls = Preview(recorder, entry);
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.front().viewer, FoundFilePreview::ChooseViewer(name, item.size, false));
            for (const Call& call : calls)
                EXPECT_EQ(Sha256Hex(call.bytes), manifest[path].sha256);
            EXPECT_TRUE(calls.back().privateCopy);
        }
    }
}

// A raw search of a disk: its items are read by their 64-bit first sector.
TEST_F(PreviewDispatchTest, RawSearchItemsReachTheirViewersWithThePlacedBytes) {
    TempDir images;
    const fs::path image = UnpackFixture("carving.img", images);
    ASSERT_FALSE(image.empty());
    const ScopedEnv devices("MORWICK_DEVICES", "disk0=" + image.string());
    CDriveList(state.driveList).Build();
    frame.ShowDrives();
    QTreeWidgetItem* disk = nullptr;
    for (QTreeWidgetItemIterator it(frame.DriveView()); *it != nullptr; ++it) {
        const DriveNode* node = CDiskTreeCtrl::NodeOf(*it, state.driveList.nodes);
        if (node != nullptr && node->kind == DriveKind::HardDisk)
            disk = *it;
    }
    ASSERT_NE(disk, nullptr);
    ClickInModal(QStringLiteral("154"), kDiskRawRecovery);
    emit frame.DriveView()->DriveOpened(disk);
    ASSERT_TRUE(WaitForJob());

    Recorder recorder(image);
    int checked = 0;
    std::ifstream manifest(FixturesFolder() / "carving.manifest");
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        uint64_t sector = 0;
        uint64_t size = 0;
        std::string sha256;
        std::string extension;
        if (line.empty() || line[0] == '#' || !(fields >> sector >> size >> sha256 >> extension))
            continue;
        SCOPED_TRACE(line);
        std::size_t entry = FoundEntryStore::kNone;
        for (std::size_t i = 1; i < frame.Store().Size(); ++i) {
            const FoundItem& item = frame.Store().At(i).item;
            if (!item.IsFolder() && item.firstCluster == sector && item.size == size)
                entry = i;
        }
        // Items whose end no finder knows are found with another size.
        if (entry == FoundEntryStore::kNone)
            continue;
        const std::vector<Call> calls = Preview(recorder, entry);
        const PreviewViewer expected = ChoosePreviewViewer("x." + extension, size, false);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front().viewer, expected);
        EXPECT_EQ(calls.back().viewer, PreviewViewer::Hex);
        for (const Call& call : calls)
            EXPECT_EQ(Sha256Hex(call.bytes), sha256) << static_cast<int>(call.viewer);
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

// Clusters of 256 sectors do not fit the archive and text library's one-byte field: such files
// are shown in hex, with their bytes from the right sectors, and the log says why.
std::filesystem::path BuildBigClusterVolume(const TempDir& into) {
    const fs::path image = into.Path() / "ntfs_big_clusters.img";
    const std::string script = (FixturesFolder() / "make_ntfs_big_clusters.sh").string();
    return RunCommand("sh " + ShellQuote(script) + " " + ShellQuote(image.string())) == 0
               ? image
               : fs::path();
}

TEST_F(PreviewDispatchTest, ArchivesAndTextsOnClustersOfMoreThan255SectorsShowInHex) {
    MappedFixture fixture(BuildBigClusterVolume, kNtfsPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(ScanInWindow(fixture, true));
    ASSERT_NE(state.NtfsVolume(), nullptr);
    ASSERT_EQ(state.NtfsVolume()->SectorsPerCluster(), 256u);
    Recorder recorder(fixture.Image());
    frame.SetPreviewViewers(recorder.Viewers());
    auto* list = frame.findChild<CFileListView*>();
    ASSERT_NE(list, nullptr);
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "a text file on large clusters\n";
    const struct {
        const char* path;
        std::string start;
    } files[] = {{"/notes.zip", "PK\x03\x04"}, {"/readme.txt", text}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        const std::size_t entry = EntryAt(file.path);
        ASSERT_NE(entry, FoundEntryStore::kNone);
        recorder.calls.clear();
        recorder.told.clear();
        const int rows = frame.LogPane()->RowCount();
        emit list->PreviewRequested(entry);
        ASSERT_EQ(recorder.calls.size(), 1u);
        // The library was never asked, so nothing is said of an archive it could not list.
        EXPECT_TRUE(recorder.told.empty());
        const Call& call = recorder.calls.front();
        EXPECT_EQ(call.viewer, PreviewViewer::Hex);
        EXPECT_EQ(call.sectorsPerCluster, 256u);
        ASSERT_GE(call.bytes.size(), file.start.size());
        EXPECT_EQ(std::string(call.bytes.begin(), call.bytes.begin() + file.start.size()),
                  file.start);
        ASSERT_EQ(frame.LogPane()->RowCount(), rows + 1);
        EXPECT_EQ(frame.LogPane()->Rows().back().status, ProgramText(kClustersTooLargeId));
    }
}

} // namespace
