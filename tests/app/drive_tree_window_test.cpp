// The main road in the window: the drives appear in the drive tree by kind, a double click
// opens the action dialog of the drive's kind, its actions start the scan that fills the
// folder tree, and the marked files come back out through Recover Selected.

#include "app/commands/command_ids.h"
#include "app/dialogs/action_dialog_base.h"
#include "app/dialogs/action_dialog_factory.h"
#include "app/main_frame.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/left_view.h"
#include "diskio/drive_list.h"
#include "jobs/scan_state.h"
#include "platform/data_folder.h"
#include "platform/string_table.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/folder_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/sha256.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Dialog 153 of a logical drive: its Standard and Advance Scan buttons, the previous-file-
// system link and its combo.
constexpr int kVolumeDialog = 153;
constexpr int kStandardScan = 1011;
constexpr int kAdvanceScan = 1012;
constexpr int kPreviousFileSystemLink = 1070;
constexpr int kFileSystemCombo = 1071;
constexpr int kFatIndex = 0;
constexpr int kNtfsIndex = 1;
constexpr uint32_t kScanAsFatQuestionId = 61488;

class DriveTreeWindowTest : public WindowTest {
protected:
    // The images as drives C: and D: of the device map, listed as the program lists them.
    void ListDrives(const std::string& deviceMap) {
        m_devices.emplace("MORWICK_DEVICES", deviceMap);
        CDriveList(state.driveList).Build();
        frame.ShowDrives();
    }

    QTreeWidgetItem* ItemOfLetter(QChar letter) const {
        for (QTreeWidgetItemIterator it(frame.DriveView()); *it != nullptr; ++it) {
            const DriveNode* node = CDiskTreeCtrl::NodeOf(*it, state.driveList.nodes);
            if (node != nullptr && node->Logical() != nullptr &&
                node->Logical()->drive == letter.unicode() - u'A') {
                return *it;
            }
        }
        return nullptr;
    }

    void Open(QTreeWidgetItem* item) { emit frame.DriveView()->DriveOpened(item); }

    std::optional<ScopedEnv> m_devices;
};

TEST_F(DriveTreeWindowTest, DrivesAppearByKindAndAStandardScanFromTheDialogFillsTheWindow) {
    TempDir images;
    const fs::path fat = UnpackFixture("fat16_volume.img", images);
    ASSERT_FALSE(fat.empty());
    ListDrives("C:=" + fat.string());
    QTreeWidget* tree = frame.DriveView();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("My Computer"));
    QTreeWidgetItem* c = ItemOfLetter(u'C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->parent()->text(0), QStringLiteral("Logical Drive"));
    EXPECT_TRUE(c->text(0).startsWith(QStringLiteral("C: (")));

    ClickInModal(QString::number(kVolumeDialog), kStandardScan);
    Open(c);
    ASSERT_TRUE(WaitForJob());
    EXPECT_TRUE(frame.LeftView()->FolderTreeShown());
    EXPECT_GT(frame.Store().Size(), 10u);
    EXPECT_NE(state.FatVolume(), nullptr);

    // Then the marked files come out of the same window.
    ASSERT_TRUE(frame.OnCommand(CommandId::kSelectAll));
    TempDir destination;
    WhenModal(QStringLiteral("171"), [&destination](QWidget* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("1049"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QString::fromStdString(destination.Path().string()));
        dialog->findChild<QAbstractButton*>(QStringLiteral("1"))->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kRecoverSelected));
    ASSERT_TRUE(WaitForJob());
    ExpectLiveFilesRecovered("fat16_volume", destination.Path());
}

TEST_F(DriveTreeWindowTest, AdvanceScanAsFatOnAnNtfsDriveAsksAndNoScansAsNtfs) {
    TempDir images;
    const fs::path ntfs = UnpackFixture("ntfs_volume.img", images);
    ASSERT_FALSE(ntfs.empty());
    ListDrives("D:=" + ntfs.string());
    QTreeWidgetItem* d = ItemOfLetter(u'D');
    ASSERT_NE(d, nullptr);

    frame.answers = {MessageBoxAnswer::No};
    WhenModal(QString::number(kVolumeDialog), [](QWidget* dialog) {
        auto* link = dialog->findChild<QLabel*>(QString::number(kPreviousFileSystemLink));
        ASSERT_NE(link, nullptr);
        QTest::mouseClick(link, Qt::LeftButton);
        auto* combo = dialog->findChild<QComboBox*>(QString::number(kFileSystemCombo));
        ASSERT_NE(combo, nullptr);
        EXPECT_TRUE(combo->isVisible());
        // Only a change of choice counts: NTFS (the drive's own), then FAT.
        combo->setCurrentIndex(kNtfsIndex);
        emit combo->activated(kNtfsIndex);
        combo->setCurrentIndex(kFatIndex);
        emit combo->activated(kFatIndex);
        dialog->findChild<QAbstractButton*>(QString::number(kAdvanceScan))->click();
    });
    Open(d);
    ASSERT_TRUE(WaitForJob());
    ASSERT_FALSE(frame.questions.empty());
    EXPECT_EQ(frame.questions.front().toStdU16String(),
              std::u16string(StringTable::Program().English(kScanAsFatQuestionId)));
    EXPECT_NE(state.NtfsVolume(), nullptr);
    EXPECT_EQ(state.FatVolume(), nullptr);
    EXPECT_GT(frame.Store().Size(), 10u);
}

TEST_F(DriveTreeWindowTest, NothingOpensWhileAJobRunsOrOnTheComputerAndGroups) {
    TempDir images;
    const fs::path fat = UnpackFixture("fat16_volume.img", images);
    ASSERT_FALSE(fat.empty());
    ListDrives("C:=" + fat.string());
    QTreeWidgetItem* c = ItemOfLetter(u'C');
    ASSERT_NE(c, nullptr);
    Open(frame.DriveView()->topLevelItem(0));
    Open(c->parent());
    EXPECT_EQ(frame.actionDialogsOpened, 0);

    std::atomic<bool> release{false};
    ASSERT_TRUE(runner.Start([&release] {
        while (!release.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }));
    Open(c);
    EXPECT_EQ(frame.actionDialogsOpened, 0);
    release = true;
    ASSERT_TRUE(WaitForJob());
}

TEST_F(DriveTreeWindowTest, TheDriveTreeAndEveryActionDialogAreSavedAsPictures) {
    TempDir images;
    const fs::path fat = UnpackFixture("fat16_volume.img", images);
    ASSERT_FALSE(fat.empty());
    ListDrives("disk0=" + fat.string() + ";C:=" + fat.string());
    const fs::path pictures = BuildDataFolder().parent_path().parent_path() / "screenshots";
    fs::create_directories(pictures);
    auto save = [&pictures](QWidget& widget, const std::string& name) {
        const fs::path file = pictures / (name + ".png");
        EXPECT_TRUE(widget.grab().save(QString::fromStdString(file.string()))) << name;
    };
    save(*frame.DriveView(), "drive_tree");

    // One node of each kind that opens a dialog: a disk, a volume, a CD/DVD drive and images.
    const std::vector<DriveKind> kinds = {DriveKind::LogicalDrive, DriveKind::HardDisk,
                                          DriveKind::CdRomDrive,   DriveKind::DiskImage,
                                          DriveKind::VolumeImage,  DriveKind::CdRomImage};
    std::set<int> dialogs;
    for (const DriveKind kind : kinds) {
        DriveNode node;
        node.kind = kind;
        if (kind == DriveKind::LogicalDrive || kind == DriveKind::VolumeImage) {
            LogicalDriveInfo volume;
            volume.partitionType = 7;
            node.detail = volume;
        } else {
            node.detail = PhysicalDiskInfo{};
        }
        std::unique_ptr<CActionDialogBase> dialog =
            MakeActionDialogFor(node, QStringLiteral("image.img"), {}, &frame);
        ASSERT_NE(dialog, nullptr) << static_cast<int>(kind);
        dialog->show();
        dialogs.insert(dialog->objectName().toInt());
        save(*dialog, "action_dialog_" + dialog->objectName().toStdString());
    }
    EXPECT_EQ(dialogs, (std::set<int>{153, 154, 155, 180, 181, 240}));
}

} // namespace
