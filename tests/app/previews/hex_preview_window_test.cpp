// The hex viewer library through the program's own link: a found file no other viewer takes
// opens the library's dialog with the file's clusters (File > File Preview of a text shows it
// in the text viewer), the drive tree's Disk\Drive Preview
// opens it over the drive's sectors; both are driven offscreen and pictured in the build
// folder.
#include "app/previews/archive_text_preview.h"
#include "app/commands/command_ids.h"
#include "app/previews/disk_preview.h"
#include "app/previews/found_file_preview.h"
#include "app/models/file_list_model.h"
#include "app/models/found_entry_store.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "app/views/log_pane.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/scoped_env.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

void SavePicture(QWidget* window, const QString& name) {
    const QString path = QStringLiteral(QT_TESTCASE_BUILDDIR "/") + name;
    EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
}

QString LabelText(QWidget* window, int id) {
    const auto* label = window->findChild<QLabel*>(QString::number(id));
    return label != nullptr ? label->text() : QStringLiteral("<none>");
}

class HexPreviewWindowTest : public WindowTest {
protected:
    std::size_t EntryNamed(const std::u16string& name) const {
        for (std::size_t i = 0; i < frame.Store().Size(); ++i)
            if (frame.Store().At(i).name == name)
                return i;
        return FoundEntryStore::kNone;
    }
};

TEST_F(HexPreviewWindowTest, FilePreviewShowsTheSelectedFileThroughTheLibrary) {
    MappedFixture fixture("fat16_fragmented", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    // The library builds its own device table from the map the program would read.
    const ScopedEnv devices("MORWICK_DEVICES", "C:=" + fixture.Image().string());
    ASSERT_TRUE(ScanInWindow(fixture));
    const std::size_t entry = EntryNamed(u"FRAG.TXT");
    ASSERT_NE(entry, FoundEntryStore::kNone);
    const FoundFileClusters where = FoundFilePreview::EntryClusters(state, frame.Store(), entry);
    ASSERT_EQ(where.status, FoundFileClusters::Status::Ok);
    ASSERT_EQ(where.list.clusters.size(), 1546u);

    bool seen = false;
    WhenModal(QStringLiteral("2000"), [&](QWidget* dialog) {
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("FRAG.TXT"));
        auto* list = dialog->findChild<QTableWidget*>(QStringLiteral("1012"));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->rowCount(), 1546);
        EXPECT_EQ(list->item(1, 0)->text(), QStringLiteral("9"));
        EXPECT_EQ(LabelText(dialog, 1006), QStringLiteral("1546"));
        SavePicture(dialog, QStringLiteral("hex_viewer_found_file.png"));
        dialog->close();
    });
    // A text the text viewer declines is shown in hex.
    FoundFilePreview::Viewers declining = FoundFilePreview::Viewers::Program();
    declining.archiveOrText = [](const ArchiveTextPreviewRequest&, uint8_t) { return false; };
    EXPECT_EQ(FoundFilePreview::Show(state, frame.Store(), entry, declining),
              FoundFilePreview::Outcome::Shown);
    EXPECT_TRUE(seen);

    // Through the command, on the file list's selected row, the text viewer shows it.
    CFileListView* list = frame.FileListView();
    ASSERT_TRUE(frame.FolderView()->SelectEntry(0)); // the root, FRAG.TXT's folder
    const int row = frame.FileList().RowOfEntryId(frame.Store().At(entry).item.entryId);
    ASSERT_GE(row, 0);
    seen = false;
    WhenModal(QStringLiteral("2000"), [&](QWidget* dialog) {
        const auto* text = dialog->findChild<QPlainTextEdit*>(QStringLiteral("2002"));
        seen = dialog->windowTitle() == QStringLiteral("FRAG.TXT") && text != nullptr &&
               !text->toPlainText().isEmpty();
        SavePicture(dialog, QStringLiteral("text_viewer_found_file.png"));
        dialog->close();
    });
    list->selectRow(row);
    list->setFocus();
    ASSERT_EQ(list->SelectedEntries(), std::vector<std::size_t>{entry});
    EXPECT_TRUE(frame.OnCommand(CommandId::kFilePreview));
    EXPECT_TRUE(seen);
}

// A picture the decoders decline is said so, in a message and a log row, before the hex view
// shows it; nothing waits under a wait cursor once the preview is over.
TEST_F(HexPreviewWindowTest, APictureThatCannotBeDecodedIsExplainedThenShownInHex) {
    MappedFixture fixture("fat12_pictures", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const ScopedEnv devices("MORWICK_DEVICES", "C:=" + fixture.Image().string());
    ASSERT_TRUE(ScanInWindow(fixture));
    const std::size_t icon = EntryNamed(u"icon.png");
    ASSERT_NE(icon, FoundEntryStore::kNone);
    // The same clusters, cut short: a truncated PNG.
    FoundItem cut = frame.Store().At(icon).item;
    cut.entryId = 0x7300;
    cut.size = 60;
    const std::size_t entry = frame.Store().AddFoundItem(cut, u"broken.png");
    ASSERT_NE(entry, FoundEntryStore::kNone);

    CFileListView* list = frame.FileListView();
    ASSERT_TRUE(frame.FolderView()->SelectEntry(0));
    const int row = frame.FileList().RowOfEntryId(cut.entryId);
    ASSERT_GE(row, 0);
    bool hexShown = false;
    size_t questionsBeforeHex = 0;
    WhenModal(QStringLiteral("2000"), [&](QWidget* dialog) {
        hexShown = dialog->windowTitle() == QStringLiteral("broken.png");
        questionsBeforeHex = frame.questions.size();
        dialog->close();
    });
    list->selectRow(row);
    list->setFocus();
    ASSERT_EQ(list->SelectedEntries(), std::vector<std::size_t>{entry});
    const size_t rowsBefore = frame.LogPane()->Rows().size();
    // The scan has had its own messages.
    const size_t asked = frame.questions.size();
    EXPECT_TRUE(frame.OnCommand(CommandId::kFilePreview));
    EXPECT_TRUE(hexShown);
    const QString message = QString::fromStdU16String(FoundFilePreview::NoticeMessage(
        FoundFilePreview::Notice::PictureNotDecoded, u"broken.png"));
    ASSERT_EQ(frame.questions.size(), asked + 1);
    EXPECT_EQ(frame.questions.back(), message);
    EXPECT_EQ(questionsBeforeHex, asked + 1);
    const std::vector<CLogPaneDlg::Row> rows = frame.LogPane()->Rows();
    ASSERT_EQ(rows.size(), rowsBefore + 1);
    EXPECT_EQ(rows.back().description, QStringLiteral("broken.png"));
    EXPECT_EQ(rows.back().status, QString::fromStdU16String(FoundFilePreview::NoticeStatus(
                                      FoundFilePreview::Notice::PictureNotDecoded)));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The folder tree's Preview: a deleted folder shows its first cluster alone, in hex.
TEST_F(HexPreviewWindowTest, FilePreviewOfADeletedFolderShowsItsFirstClusterOnly) {
    MappedFixture fixture("fat16_deleted_folder", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const ScopedEnv devices("MORWICK_DEVICES", "C:=" + fixture.Image().string());
    ASSERT_TRUE(ScanInWindow(fixture));
    const std::size_t trash = EntryNamed(u"Trash");
    ASSERT_NE(trash, FoundEntryStore::kNone);
    ASSERT_TRUE(frame.Store().At(trash).item.IsFolder());
    ASSERT_NE(frame.Store().At(trash).item.deleted, 0);
    CFolderTreeCtrl* tree = frame.FolderView();
    ASSERT_TRUE(tree->SelectEntry(trash));
    tree->setFocus();

    bool seen = false;
    WhenModal(QStringLiteral("2000"), [&](QWidget* dialog) {
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Trash"));
        auto* list = dialog->findChild<QTableWidget*>(QStringLiteral("1012"));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->rowCount(), 1);
        EXPECT_EQ(list->item(0, 0)->text(),
                  QString::number(frame.Store().At(trash).item.firstCluster));
        EXPECT_EQ(LabelText(dialog, 1006), QStringLiteral("1"));
        dialog->close();
    });
    EXPECT_TRUE(frame.OnCommand(CommandId::kFilePreview));
    EXPECT_TRUE(seen);
}

TEST_F(HexPreviewWindowTest, DiskDrivePreviewShowsTheDrivesSectorsWithItsBootSectorFields) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    const ScopedEnv devices("MORWICK_DEVICES", "C:=" + fixture.Image().string());
    fixture.Map();
    state.driveList.nodes.push_back(fixture.Node());
    frame.ShowDrives();
    CDiskTreeCtrl* tree = frame.DriveView();
    QTreeWidgetItem* item = tree->ItemOf(state.driveList.nodes.back());
    ASSERT_NE(item, nullptr);
    tree->setCurrentItem(item);
    tree->setFocus();

    const LogicalDriveInfo& volume = *fixture.Node().Logical();
    bool seen = false;
    WhenModal(QStringLiteral("2000"), [&](QWidget* dialog) {
        seen = true;
        EXPECT_EQ(LabelText(dialog, 2004), QStringLiteral("Drive :"));
        EXPECT_EQ(LabelText(dialog, 2007), QStringLiteral("SPC :"));
        // The boot sector's sectors per cluster, read by the library itself.
        EXPECT_FALSE(LabelText(dialog, 2011).isEmpty());
        // The whole volume: its sectors from the first to the last, nothing past them.
        const double megabytes =
            static_cast<double>(volume.lastSector - volume.firstSector + 1) * 512 / (1 << 20);
        EXPECT_EQ(LabelText(dialog, 1003), QStringLiteral("%1 MB").arg(megabytes, 0, 'f', 2));
        SavePicture(dialog, QStringLiteral("hex_viewer_drive.png"));
        dialog->close();
    });
    EXPECT_TRUE(frame.OnCommand(CommandId::kFilePreview));
    EXPECT_TRUE(seen);
}

} // namespace
