#include "app/previews/image_preview_ctrl.h"
#include "app/previews/image_viewer_dlg.h"
#include "app/previews/picture_preview.h"
#include "filesystems/fat/fat_file_data.h"
#include "filesystems/fat/fat_file_system.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "platform/settings/data_folder.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/found_tree.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/piece_list.h"
#include "tests/support/scan_into_tree.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace {

// A 24-bit BMP whose pixel at column x of stored row r (bottom row first) is RGB(200, 4r, 4x).
std::vector<uint8_t> SmallBmp(int width, int height) {
    std::vector<uint8_t> bytes = {'B', 'M'};
    auto le32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto le16 = [&bytes](uint32_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    };
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    le32(54 + stride * static_cast<uint32_t>(height));
    le32(0);
    le32(54);
    le32(40);
    le32(static_cast<uint32_t>(width));
    le32(static_cast<uint32_t>(height));
    le16(1);
    le16(24);
    for (int i = 0; i < 6; ++i)
        le32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bytes.push_back(static_cast<uint8_t>(x * 4)); // blue
            bytes.push_back(static_cast<uint8_t>(y * 4)); // green
            bytes.push_back(200);                         // red
        }
        bytes.resize(bytes.size() + stride - static_cast<uint32_t>(width) * 3, 0);
    }
    return bytes;
}

fs::path ScreenshotFolder() {
    const fs::path folder = BuildDataFolder().parent_path().parent_path() / "screenshots";
    fs::create_directories(folder);
    return folder;
}

TEST(ImagePreviewCtrlTest, TheTypeComesFromTheNamesEnd) {
    const struct {
        const char* name;
        uint32_t type;
    } cases[] = {
        {"X.JPEG", 3},          {"photo.jpg", 3}, {"a.wbmp", 7}, {"A.WBMP", 7}, {"b.bmp", 1},
        {"c.GIF", 2},           {"d.png", 4},     {"e.Ico", 5},  {"f.tif", 6},  {"g.TIFF", 6},
        {"noextension", 0},     {"h.cur", 0},     {"i.jpe", 0},  {"", 0},       {"bmp", 1},
        {"archive.bmp.zip", 0}, {"x.pjpeg", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CImagePreviewCtrl::GetImageType(QString::fromUtf8(c.name)), c.type) << c.name;
}

TEST(PicturePreviewTest, ThePictureGroupGoesByTheLastExtension) {
    const struct {
        const char16_t* name;
        bool picture;
    } cases[] = {
        {u"0001234.JPG", true}, {u"scan.tiff", true},    {u"x.WbMp", true},
        {u"logo.emf", true},    {u"photo.jpg...", true}, {u"PNG", true},
        {u"readme.txt", false}, {u"a.jpg.txt", false},   {u"noext", false},
        {u"", false},           {u"a.", false},          {u"pic.jpe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPictureName(c.name), c.picture)
            << QString::fromStdU16String(c.name).toStdString();
}

TEST(ImageViewerDlgTest, ShowsThePictureAtItsSizeInAFramedCell) {
    const std::vector<uint8_t> bmp = SmallBmp(40, 30);
    CImageViewerDlg dialog(nullptr, bmp, QStringLiteral("sample.bmp"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("186"));
    EXPECT_EQ(dialog.geometry(), QRect(150, 50, 650, 600));
    CImagePreviewCtrl* list = dialog.findChild<CImagePreviewCtrl*>(QStringLiteral("1"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->geometry(), QRect(QPoint(10, 10), QPoint(635, 565)));
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("sample.bmp"));
    EXPECT_EQ(list->iconSize(), QSize(40, 30));
    const QImage cell = list->item(0)->icon().pixmap(QSize(40, 30)).toImage();
    ASSERT_EQ(cell.size(), QSize(40, 30));
    EXPECT_EQ(cell.pixelColor(0, 0), QColor(192, 192, 192)); // the frame
    EXPECT_EQ(cell.pixelColor(39, 29), QColor(192, 192, 192));
    // Inside: the picture's own pixels (the BMP's bottom row is stored first).
    EXPECT_EQ(cell.pixelColor(5, 28), QColor(200, 4, 20));
    EXPECT_EQ(cell.pixelColor(10, 1), QColor(200, 112, 40));
}

TEST(ImageViewerDlgTest, APictureNoDecoderTakesLeavesTheListEmpty) {
    const std::vector<uint8_t> junk(300, 0x5A);
    for (const char* name : {"broken.jpg", "broken.bin", "broken.wbmp"}) {
        CImageViewerDlg dialog(nullptr, junk, QString::fromUtf8(name));
        EXPECT_EQ(dialog.PreviewControl()->count(), 0) << name;
    }
}

TEST(ImageViewerDlgTest, ArrowKeysNeitherSelectNorMoveTheItem) {
    const std::vector<uint8_t> bmp = SmallBmp(8, 8);
    CImageViewerDlg dialog(nullptr, bmp, QStringLiteral("keys.bmp"));
    dialog.show();
    CImagePreviewCtrl* list = dialog.PreviewControl();
    list->setFocus();
    const QPoint before = list->visualItemRect(list->item(0)).topLeft();
    for (const Qt::Key key :
         {Qt::Key_Down, Qt::Key_Right, Qt::Key_Home, Qt::Key_Space, Qt::Key_End})
        QTest::keyClick(list, key);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_EQ(list->visualItemRect(list->item(0)).topLeft(), before);
    dialog.close();
}

// The picture floppy scanned as drive C:, its pictures read as the Preview command reads them.
class PictureFloppyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_image = UnpackFixture("fat12_pictures.img", m_work);
        ASSERT_FALSE(m_image.empty());
        m_drive.emplace(m_image, 1);
        m_state.SetSelectedDrive(&m_drive->Node());
        ASSERT_GT(ScanIntoTree(m_state, m_tree), 0u);
        ASSERT_NE(m_state.FatVolume(), nullptr);
    }
    void TearDown() override { m_state.FreeVolume(); }

    const FoundTree::Entry* Find(const std::u16string& name) const {
        for (const FoundTree::Entry& entry : m_tree.Entries())
            if (entry.name == name)
                return &entry;
        return nullptr;
    }

    TempDir m_work;
    fs::path m_image;
    std::optional<MappedDrive> m_drive;
    ScanState m_state;
    FoundTree m_tree;
};

TEST_F(PictureFloppyTest, TheBufferHoldsTheFileInWholeZeroFilledClusters) {
    const std::vector<ManifestEntry> manifest =
        ReadManifest(FixturesFolder() / "fat12_pictures.manifest");
    ASSERT_EQ(manifest.size(), 2u);
    for (const ManifestEntry& row : manifest) {
        const std::u16string name = QString::fromStdString(row.path.substr(1)).toStdU16String();
        const FoundTree::Entry* entry = Find(name);
        ASSERT_NE(entry, nullptr) << row.path;
        CFatFileSystem& fat = *m_state.FatVolume();
        FatFileData data(fat, entry->item, false);
        const uint32_t spc = fat.SectorsPerCluster();
        const std::vector<uint8_t> buffer = ReadPictureBuffer(entry->item.size, spc, data);
        const uint64_t clusters = (entry->item.size / 512 + 1) / spc + 1;
        ASSERT_EQ(buffer.size(), clusters * spc * 512);
        EXPECT_EQ(Sha256Hex(std::span(buffer.data(), entry->item.size)), row.sha256) << row.path;
        for (size_t i = entry->item.size; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], 0) << row.path << " byte " << i;
    }
}

TEST_F(PictureFloppyTest, APictureOnTheFloppyOpensTheViewerWhichIsSavedAsAPicture) {
    const FoundTree::Entry* photo = Find(u"PHOTO.JPG");
    ASSERT_NE(photo, nullptr);
    FatFileData data(*m_state.FatVolume(), photo->item, false);
    int items = -1;
    QImage shot;
    WhenModal(QStringLiteral("186"), [&items, &shot](QWidget* modal) {
        auto* list = modal->findChild<CImagePreviewCtrl*>(QStringLiteral("1"));
        items = list != nullptr ? list->count() : -1;
        if (list != nullptr && list->count() == 1) {
            EXPECT_EQ(list->iconSize(), QSize(48, 32));
        }
        shot = modal->grab().toImage();
        modal->close();
    });
    EXPECT_EQ(ShowPicturePreview(nullptr, photo->name, photo->item.size,
                                 m_state.FatVolume()->SectorsPerCluster(), data),
              PreviewAnswer::Shown);
    EXPECT_EQ(items, 1);
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(
        shot.save(QString::fromStdString((ScreenshotFolder() / "image_viewer.png").string())));
}

TEST_F(PictureFloppyTest, NamesOutsideThePictureGroupAndLargeFilesGoToTheHexView) {
    const FoundTree::Entry* photo = Find(u"PHOTO.JPG");
    ASSERT_NE(photo, nullptr);
    const struct {
        std::u16string name;
        uint64_t size;
        uint32_t sectorsPerCluster;
    } cases[] = {
        {u"PHOTO.TXT", photo->item.size, 1},
        {u"PHOTO.JPG", kPicturePreviewLimit + 1, 1},
        {u"PHOTO.JPG", photo->item.size, 0},
    };
    for (const auto& c : cases) {
        FatFileData data(*m_state.FatVolume(), photo->item, false);
        // No dialog may open: one that did would be closed by this guard and fail the test.
        bool opened = false;
        QTimer::singleShot(200, [&opened] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = true;
                modal->close();
            }
        });
        EXPECT_EQ(ShowPicturePreview(nullptr, c.name, c.size, c.sectorsPerCluster, data),
                  PreviewAnswer::Declined);
        QTest::qWait(300);
        EXPECT_FALSE(opened);
    }
}

// A picture no decoder accepts, one of a kind no decoder reads, and one whose sectors could
// not be read open no viewer: each answer names why, for the hex view that follows. The
// viewer opens for the same picture whole, under no wait cursor.
TEST_F(PictureFloppyTest, PicturesThatCannotBeShownOpenNoViewerAndSayWhy) {
    std::map<std::u16string, std::vector<uint8_t>> files;
    for (const char16_t* name : {u"PHOTO.JPG", u"icon.png"}) {
        const FoundTree::Entry* entry = Find(name);
        ASSERT_NE(entry, nullptr);
        FatFileData data(*m_state.FatVolume(), entry->item, false);
        std::vector<uint8_t>& bytes = files[name];
        RecoveredFileData::Piece piece;
        while (data.Next(piece))
            bytes.insert(bytes.end(), piece.data, piece.data + piece.length);
        bytes.resize(static_cast<size_t>(entry->item.size));
    }
    std::vector<uint8_t> damagedJpeg = files[u"PHOTO.JPG"];
    std::fill(damagedJpeg.begin() + 2, damagedJpeg.begin() + 600, 0);
    const std::vector<uint8_t> cutPng(files[u"icon.png"].begin(), files[u"icon.png"].begin() + 60);
    const std::string text = "plain text, no picture of any kind";
    const std::vector<uint8_t> notPicture(text.begin(), text.end());
    struct Case {
        const char* what;
        std::u16string name;
        std::vector<uint8_t> bytes;
        std::set<size_t> unreadable;
        PreviewAnswer answer;
    };
    const Case cases[] = {
        {"a damaged JPEG", u"PHOTO.JPG", damagedJpeg, {}, PreviewAnswer::NotDecoded},
        {"a truncated PNG", u"icon.png", cutPng, {}, PreviewAnswer::NotDecoded},
        {"a TGA", u"scan.TGA", notPicture, {}, PreviewAnswer::KindNotRead},
        {"a JPEG 2000", u"scan.jp2", notPicture, {}, PreviewAnswer::KindNotRead},
        {"an EMF", u"chart.emf", notPicture, {}, PreviewAnswer::KindNotRead},
        {"a JPEG whose first sector failed",
         u"PHOTO.JPG",
         files[u"PHOTO.JPG"],
         {0},
         PreviewAnswer::Unreadable},
        {"a whole JPEG", u"PHOTO.JPG", files[u"PHOTO.JPG"], {}, PreviewAnswer::Shown},
        {"a whole PNG", u"icon.png", files[u"icon.png"], {}, PreviewAnswer::Shown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<uint8_t>> pieces;
        for (size_t at = 0; at < c.bytes.size(); at += 512)
            pieces.emplace_back(
                c.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                c.bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + 512, c.bytes.size())));
        PieceList data(pieces, c.unreadable);
        bool opened = false;
        bool waitCursor = true;
        if (c.answer == PreviewAnswer::Shown) {
            WhenModal(QStringLiteral("186"), [&](QWidget* modal) {
                opened = true;
                waitCursor = QApplication::overrideCursor() != nullptr;
                modal->close();
            });
        } else {
            // No dialog may open: one that did would be closed by this guard and fail the test.
            QTimer::singleShot(200, [&opened] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    opened = true;
                    modal->close();
                }
            });
        }
        // The preview's own wait cursor is up while the picture is prepared.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        EXPECT_EQ(ShowPicturePreview(nullptr, c.name, c.bytes.size(), 1, data), c.answer);
        QApplication::restoreOverrideCursor();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        if (c.answer != PreviewAnswer::Shown)
            QTest::qWait(300);
        EXPECT_EQ(opened, c.answer == PreviewAnswer::Shown);
        if (opened)
            EXPECT_FALSE(waitCursor);
    }
}

} // namespace
