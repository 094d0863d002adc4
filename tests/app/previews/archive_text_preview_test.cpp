#include "app/previews/archive_text_preview.h"

#include "platform/text/utf_conversion.h"
#include "tests/app/modal_driver.h"
#include "tests/support/archive_fixtures.h"
#include "tests/support/fixture_image.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

TEST(ArchiveTextPreview, KindOfExtension) {
    const std::vector<std::pair<std::u16string, std::optional<uint8_t>>> cases = {
        {u"ZIP", 2},
        {u"zip", 2},
        {u"Rar", 2},
        {u"TXT", 0},
        {u"cpp", 0},
        {u"h", 0},
        {u"BAT", 0},
        {u"C", 0},
        {u"prg", 0},
        {u"CSV", 0},
        {u"tar", std::nullopt},
        {u"7z", std::nullopt},
        {u"", std::nullopt},
        {u"TXT2", std::nullopt},
    };
    for (const auto& [extension, kind] : cases) {
        EXPECT_EQ(ArchiveTextPreviewKind(extension), kind) << Utf16ToUtf8(extension);
    }
}

TEST(ArchiveTextPreview, ClustersPastTheValidLengthReadAsZeros) {
    constexpr uint32_t kSparse = ClusterList::kSparseCluster;
    struct SparseCase {
        std::vector<uint32_t> clusters;
        uint64_t validLength;
        uint8_t sectorsPerCluster;
        std::vector<uint32_t> expected;
    };
    const std::vector<SparseCase> cases = {
        {{5, 6, 7}, UINT64_MAX, 2, {5, 6, 7}},
        {{5, 6, 7}, 1500, 2, {5, 6, kSparse}},
        {{5, 6, 7}, 2048, 2, {5, 6, kSparse}},
        {{5, 6, 7}, 2049, 2, {5, 6, 7}},
        {{5, 6, 7}, 0, 2, {kSparse, kSparse, kSparse}},
        {{5, kSparse, 7}, 4096, 1, {5, kSparse, 7}},
        {{5, 6}, 0, 0, {5, 6}},
    };
    for (const auto& c : cases) {
        ClusterList list;
        list.clusters = c.clusters;
        list.validLength = c.validLength;
        EXPECT_EQ(PreviewClusterArray(list, c.sectorsPerCluster), c.expected) << c.validLength;
    }
}

TEST(ArchiveTextPreview, RecordOfARequest) {
    ArchiveTextPreviewRequest request;
    request.fileSize = 0x123456789ull;
    request.sectorsPerCluster = 8;
    request.dataStartSector = 0x100000000ull + 63;
    request.driveCode = 0x81;
    for (const bool ntfs : {false, true}) {
        request.ntfs = ntfs;
        request.imageFile = ntfs;
        const std::vector<uint32_t> clusters = {9, 10, 11};
        const PreviewFileInfo info = MakePreviewFileInfo(request, clusters);
        // Copied out first: the record is packed, its fields cannot be bound to references.
        const uint64_t fileSize = info.fileSize;
        const uint8_t driveCode = info.driveCode;
        const uint8_t partitionType = info.partitionType;
        const uint8_t sectorsPerCluster = info.sectorsPerCluster;
        const uint32_t* array = info.clusters;
        const uint32_t clusterCount = info.clusterCount;
        const uint64_t dataStartSector = info.dataStartSector;
        const uint32_t isImageFile = info.isImageFile;
        const uint32_t skipRead = info.skipRead;
        EXPECT_EQ(fileSize, request.fileSize);
        EXPECT_EQ(driveCode, 0x81);
        EXPECT_EQ(partitionType, ntfs ? 7 : 2);
        EXPECT_EQ(sectorsPerCluster, 8);
        EXPECT_EQ(array, clusters.data());
        EXPECT_EQ(clusterCount, 3u);
        EXPECT_EQ(dataStartSector, request.dataStartSector);
        EXPECT_EQ(isImageFile, ntfs ? 1u : 0u);
        EXPECT_EQ(skipRead, 0u);
    }
    const uint32_t* none = MakePreviewFileInfo(request, {}).clusters;
    EXPECT_EQ(none, nullptr);
}

ArchiveTextPreviewRequest RequestFor(const ArchiveClusters& where, bool ntfs,
                                     const std::filesystem::path& image) {
    ArchiveTextPreviewRequest request;
    request.fileName = Utf8ToUtf16(where.path);
    request.clusters.clusters = where.clusters;
    request.clusters.byteLength = where.size;
    request.fileSize = where.size;
    request.sectorsPerCluster = where.sectorsPerCluster;
    request.dataStartSector = where.dataStartSector;
    request.ntfs = ntfs;
    request.imageFile = true;
    request.imagePath = Utf8ToUtf16(image.string());
    return request;
}

struct ShownListing {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> totals;
    // The line under the list that says the directory is damaged.
    bool damageSaid = false;
};

// Runs the preview; once the listing shows, reads it (and saves a picture of it when asked)
// and closes it.
bool ShowAndRead(const ArchiveTextPreviewRequest& request, ShownListing& shown,
                 const QString& picture = {}) {
    WhenModal(QStringLiteral("102"), [&shown, picture](QWidget* dialog) {
        auto* list = dialog->findChild<QTableWidget*>(QStringLiteral("1002"));
        ASSERT_NE(list, nullptr);
        for (int row = 0; row < list->rowCount(); ++row) {
            std::vector<std::string> texts;
            for (int column = 0; column < list->columnCount(); ++column) {
                texts.push_back(list->item(row, column)->text().toStdString());
            }
            shown.rows.push_back(texts);
        }
        for (const int id : {1004, 1005, 1006, 1007}) {
            auto* label = dialog->findChild<QLabel*>(QString::number(id));
            ASSERT_NE(label, nullptr) << id;
            shown.totals.push_back(label->text().toStdString());
        }
        auto* note = dialog->findChild<QLabel*>(QStringLiteral("damage note"));
        shown.damageSaid = note != nullptr && note->isVisible() && !note->text().isEmpty();
        if (!picture.isEmpty()) {
            EXPECT_TRUE(dialog->grab().save(picture));
        }
        dialog->close();
    });
    return ShowArchiveOrTextPreview(request, kPreviewKindArchive);
}

std::string RatioText(uint64_t unpacked, uint64_t packed) {
    if (unpacked == 0 || packed >= unpacked) {
        return "0.00 %";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", (unpacked - packed) * 100.0 / unpacked);
    return text;
}

// "YYYY-MM-DD HH:MM:SS" as "MM/DD/YYYY, HH:MM:AM".
std::string StampText(const std::string& stamp) {
    const int hour = std::stoi(stamp.substr(11, 2));
    const int twelve = hour % 12 == 0 ? 12 : hour % 12;
    char text[32];
    std::snprintf(text, sizeof text, "%s/%s/%s, %02d:%s:%s", stamp.substr(5, 2).c_str(),
                  stamp.substr(8, 2).c_str(), stamp.substr(0, 4).c_str(), twelve,
                  stamp.substr(14, 2).c_str(), hour < 12 ? "AM" : "PM");
    return text;
}

// The rows the independent readers list, last first, as the listing shows them.
std::vector<std::vector<std::string>> ExpectedRows(std::string_view archive) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& entry : ReadOracleListing(archive)) {
        const bool file = entry.unpackedSize != 0 && entry.packedSize != 0;
        rows.insert(rows.begin(),
                    {entry.name, file ? "File" : "Folder", std::to_string(entry.unpackedSize),
                     std::to_string(entry.packedSize),
                     RatioText(entry.unpackedSize, entry.packedSize), StampText(entry.stamp)});
    }
    return rows;
}

TEST(ArchiveTextPreview, ListsArchivesOnTheVolumeFixtures) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> totals = {
        {"zip_python.zip", {"zip_python.zip", "3.26 KB", "11.23 KB", "6"}},
        {"rar4_hosts.rar", {"rar4_hosts.rar", "3.76 KB", "4.00 GB", "6"}},
        {"zip_large.zip", {"zip_large.zip", "270 Bytes", "3.00 GB", "2"}},
        {"zip_infozip.zip", {"zip_infozip.zip", "697 Bytes", "4.59 KB", "4"}},
        {"rar5.rar", {"rar5.rar", "456 Bytes", "0 Bytes", "0"}},
    };
    TempDir folder;
    bool pictured = false;
    ForEachArchiveOnVolumes(folder, [&](const ArchiveVolume& volume,
                                        const std::filesystem::path& image,
                                        const ArchiveClusters& where) {
        ShownListing shown;
        // A picture of the first listing, beside the test programs in the build folder.
        const QString picture =
            pictured ? QString()
                     : QDir(QCoreApplication::applicationDirPath())
                           .absoluteFilePath(QStringLiteral("../archive_listing.png"));
        pictured = true;
        const bool rar5 = where.path == "rar5.rar";
        EXPECT_EQ(ShowAndRead(RequestFor(where, volume.ntfs, image), shown, picture), !rar5);
        EXPECT_EQ(shown.rows, rar5 ? decltype(shown.rows){} : ExpectedRows(where.path));
        EXPECT_FALSE(shown.damageSaid);
        for (const auto& [name, texts] : totals) {
            if (name == where.path) {
                EXPECT_EQ(shown.totals, texts);
            }
        }
    });
}

TEST(ArchiveTextPreview, EmptyListingsReturnFalse) {
    TempDir folder;
    const auto image = UnpackFixture("archives_fat.img", folder);
    const auto rows = ReadArchiveClusters("archives_fat");
    struct EmptyCase {
        const char* what;
        ArchiveTextPreviewRequest request;
    };
    auto renamed = RequestFor(ClustersOf(rows, "zip_python.zip"), false, image);
    renamed.fileName = u"zip_python.tar";
    auto empty = RequestFor(ClustersOf(rows, "zip_python.zip"), false, image);
    empty.fileSize = 0;
    auto noImage = RequestFor(ClustersOf(rows, "zip_python.zip"), false, "/nonexistent.img");
    // The zip's last sectors lost: its directory's end record with them.
    auto cutDirectory = RequestFor(ClustersOf(rows, "zip_python.zip"), false, image);
    cutDirectory.clusters.validLength = 512;
    const std::vector<EmptyCase> cases = {{"a name ending in .tar", renamed},
                                          {"size 0", empty},
                                          {"an image that does not open", noImage},
                                          {"a directory that cannot be read", cutDirectory}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShownListing shown;
        EXPECT_FALSE(ShowAndRead(c.request, shown));
        EXPECT_TRUE(shown.rows.empty());
        ASSERT_EQ(shown.totals.size(), 4u);
        EXPECT_EQ(shown.totals[3], "0");
        // A zip whose directory could not be read says so; a name no walk reads says nothing.
        EXPECT_EQ(shown.damageSaid, c.request.fileName != u"zip_python.tar");
    }
}

TEST(ArchiveTextPreview, ShowsTextAndRepeatsTheResultForOtherKinds) {
    TempDir folder;
    const auto image = folder.File("text.img");
    // Sectors 0-3 of a FAT "volume" whose data area starts at sector 1; the file's clusters
    // of one sector each are 4 and 2: image sectors 3 and 1.
    {
        std::ofstream out(image, std::ios::binary);
        out << std::string(512, 'z') << std::string(500, 'b') << std::string(12, '\0')
            << std::string(512, 'z') << "caf\xC3" << std::string(508, 'a');
    }
    ArchiveTextPreviewRequest request;
    request.fileName = u"notes.txt";
    request.clusters.clusters = {4, 2};
    request.fileSize = 900;
    request.sectorsPerCluster = 1;
    request.dataStartSector = 1;
    request.imageFile = true;
    request.imagePath = Utf8ToUtf16(image.string());

    std::u16string shownText;
    QString title;
    WhenModal(QStringLiteral("2000"), [&](QWidget* dialog) {
        auto* text = dialog->findChild<QPlainTextEdit*>(QStringLiteral("2002"));
        ASSERT_NE(text, nullptr);
        shownText = text->toPlainText().toStdU16String();
        title = dialog->windowTitle();
        dialog->close();
    });
    EXPECT_TRUE(ShowArchiveOrTextPreview(request, kPreviewKindText));
    // "caf" and a lone C3 make the whole text Windows-1252.
    EXPECT_EQ(shownText, u"caf\u00C3" + std::u16string(508, u'a') + std::u16string(388, u'b'));
    EXPECT_EQ(title, QStringLiteral("notes.txt"));
    // Kind 1 shows nothing and returns what the last dialog returned.
    EXPECT_TRUE(ShowArchiveOrTextPreview(request, 1));

    request.fileSize = 0;
    WhenModal(QStringLiteral("2000"), [](QWidget* dialog) { dialog->close(); });
    EXPECT_FALSE(ShowArchiveOrTextPreview(request, kPreviewKindText));
    EXPECT_FALSE(ShowArchiveOrTextPreview(request, 1));
    EXPECT_FALSE(ShowArchiveOrTextPreview(request, 3));
}

// The library's own sector layer reads drives of the device map as the program's does.
TEST(ArchiveTextPreview, ReadsDrivesOfTheDeviceMap) {
    TempDir folder;
    const auto image = UnpackFixture("archives_fat.img", folder);
    ScopedEnv devices("MORWICK_DEVICES", "C:=" + image.string());
    auto request =
        RequestFor(ClustersOf(ReadArchiveClusters("archives_fat"), "rar4_hosts.rar"), false, image);
    request.imageFile = false;
    request.driveCode = 2;
    ShownListing shown;
    EXPECT_TRUE(ShowAndRead(request, shown));
    EXPECT_EQ(shown.rows, ExpectedRows("rar4_hosts.rar"));
}

} // namespace
