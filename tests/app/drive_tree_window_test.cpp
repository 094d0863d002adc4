// The main road in the window: the drives appear in the drive tree by kind, a double click
// opens the action dialog of the drive's kind, its actions start the scan that fills the
// folder tree, and the marked files come back out through Recover Selected.

#include "app/commands/command_ids.h"
#include "app/dialogs/scan/action_dialog_base.h"
#include "app/dialogs/scan/action_dialog_factory.h"
#include "app/dialogs/scan/search_logical_drive_dlg.h"
#include "app/frame/main_frame.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/left_view.h"
#include "diskio/inventory/drive_list.h"
#include "jobs/scan/scan_state.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/drive_nodes.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fixture_manifest.h"
#include "tests/support/folder_files.h"
#include "tests/support/mmls_listing.h"
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
// Dialog 154 of a disk: Raw Data Recovery and Search Logical Drive; the search dialog's
// Standard Search.
constexpr int kDiskRawRecovery = 1024;
constexpr int kSearchLogicalDrive = 1023;
// Dialog 181 of a disk image: Search Logical Drive.
constexpr int kSearchImageLogicalDrive = 1093;
constexpr int kStandardSearch = 1075;

std::vector<std::string> ReadLines(const fs::path& file) {
    std::vector<std::string> lines;
    const std::string text = ReadFileText(file);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

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

    // The last item of a drive of that kind.
    QTreeWidgetItem* ItemOfKind(DriveKind kind) const {
        QTreeWidgetItem* found = nullptr;
        for (QTreeWidgetItemIterator it(frame.DriveView()); *it != nullptr; ++it) {
            const DriveNode* node = CDiskTreeCtrl::NodeOf(*it, state.driveList.nodes);
            if (node != nullptr && node->kind == kind) {
                found = *it;
            }
        }
        return found;
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
    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
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
              std::u16string(StringTable::Program().English(kNtfsButFatQuestionId)));
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

// Every live file of the manifest that has data (below `under`, for a disk's manifest) is in
// the store under its name with its size (the FAT advance scan, like the core's tests of it,
// leaves out files without clusters).
void ExpectManifestFilesFound(const std::string& fixture, const FoundEntryStore& store,
                              size_t atLeast = 6, const std::string& under = {}) {
    size_t checked = 0;
    for (const ManifestEntry& entry : ReadManifest(FixturesFolder() / (fixture + ".manifest"))) {
        if (entry.kind != "file" || entry.state != "present" || entry.size == 0 ||
            entry.path.rfind(under, 0) != 0) {
            continue;
        }
        const std::u16string name =
            QString::fromStdString(fs::path(entry.path).filename().string()).toStdU16String();
        bool found = false;
        for (std::size_t i = 1; i < store.Size() && !found; ++i) {
            found = store.At(i).name == name && store.At(i).item.size == entry.size;
        }
        EXPECT_TRUE(found) << entry.path;
        ++checked;
    }
    EXPECT_GE(checked, atLeast);
}

TEST_F(DriveTreeWindowTest, AdvanceScanFromTheDialogFindsTheFilesOfDamagedBootSectors) {
    // With its boot sector zeroed the drive list cannot tell a volume's file system: the FAT
    // volume is scanned as what it is taken for, the NTFS one as the previous file system the
    // user picks, confirmed at the question.
    struct Case {
        const char* fixture;
        bool chooseNtfs;
    };
    for (const Case& each : {Case{"fat32_bad_boot", false}, Case{"ntfs_bad_boot", true}}) {
        SCOPED_TRACE(each.fixture);
        TempDir images;
        const fs::path image = UnpackFixture(std::string(each.fixture) + ".img", images);
        ASSERT_FALSE(image.empty());
        ListDrives("C:=" + image.string());
        QTreeWidgetItem* c = ItemOfLetter(u'C');
        ASSERT_NE(c, nullptr);
        frame.answers = {MessageBoxAnswer::Yes};
        const bool chooseNtfs = each.chooseNtfs;
        WhenModal(QString::number(kVolumeDialog), [chooseNtfs](QWidget* dialog) {
            if (chooseNtfs) {
                QTest::mouseClick(
                    dialog->findChild<QLabel*>(QString::number(kPreviousFileSystemLink)),
                    Qt::LeftButton);
                auto* combo = dialog->findChild<QComboBox*>(QString::number(kFileSystemCombo));
                ASSERT_NE(combo, nullptr);
                combo->setCurrentIndex(kFatIndex);
                emit combo->activated(kFatIndex);
                combo->setCurrentIndex(kNtfsIndex);
                emit combo->activated(kNtfsIndex);
            }
            dialog->findChild<QAbstractButton*>(QString::number(kAdvanceScan))->click();
        });
        Open(c);
        ASSERT_TRUE(WaitForJob());
        EXPECT_EQ(state.NtfsVolume() != nullptr, each.chooseNtfs);
        ExpectManifestFilesFound(each.fixture, frame.Store());
        // Back to the drive tree for the next one, without saving.
        frame.answers = {MessageBoxAnswer::No};
        ASSERT_TRUE(frame.OnCommand(CommandId::kShowDriveList));
        state.driveList.Free();
    }
}

TEST_F(DriveTreeWindowTest, RawDataRecoveryOfADiskFindsItsPlacedFiles) {
    TempDir images;
    const fs::path image = UnpackFixture("carving.img", images);
    ASSERT_FALSE(image.empty());
    ListDrives("disk0=" + image.string());
    QTreeWidgetItem* disk = ItemOfKind(DriveKind::HardDisk);
    ASSERT_NE(disk, nullptr);
    ClickInModal(QStringLiteral("154"), kDiskRawRecovery);
    Open(disk);
    ASSERT_TRUE(WaitForJob());
    // Each file the fixture placed whose size a length finder knows is found with that size.
    size_t checked = 0;
    for (const std::string& line : ReadLines(FixturesFolder() / "carving.manifest")) {
        const QStringList fields = QString::fromStdString(line).split(QLatin1Char('\t'));
        if (line.empty() || line[0] == '#' || fields.size() < 5 || fields[4] != "finder") {
            continue;
        }
        const uint64_t size = fields[1].toULongLong();
        bool found = false;
        for (std::size_t i = 1; i < frame.Store().Size() && !found; ++i) {
            found = frame.Store().At(i).item.size == size;
        }
        EXPECT_TRUE(found) << line;
        ++checked;
    }
    EXPECT_GT(checked, 3u);
}

// A volume the search reports from its thread: the drive list keeps a copy (the job's node is
// gone once its thread has ended) and the drive tree shows it below its disk, not below the
// drive the user selected meanwhile; the search keeps the drive tree shown.
TEST_F(DriveTreeWindowTest, AReportedVolumeJoinsTheDriveListAndTheTreeBelowItsDisk) {
    state.driveList.nodes = {DiskNode(0x80), DiskNode(0x81)};
    frame.ShowDrives();
    const DriveNode& first = state.driveList.nodes.front();
    const DriveNode& second = state.driveList.nodes.back();
    frame.DriveView()->setCurrentItem(frame.DriveView()->ItemOf(first));

    const DriveNode expected = FoundVolumeNode(12, 0x81, u"Standard drive 1 (NTFS : 12.34 GB)");
    ASSERT_TRUE(runner.Start([this, expected] {
        DriveNode found = expected;
        JobMessage message{WM_ADD_DRIVE_ITEM, DriveItemPayload{&found}};
        frame.JobWindowForJobs().Send(message);
        // The job's node changes after the send; the window's copy must not.
        found.detail = PhysicalDiskInfo{};
    }));
    ASSERT_TRUE(WaitForJob());

    ASSERT_EQ(state.driveList.nodes.size(), 3u);
    const DriveNode& copy = state.driveList.nodes.back();
    EXPECT_EQ(copy, expected);
    QTreeWidgetItem* item = frame.DriveView()->ItemOf(copy);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(CDiskTreeCtrl::NodeOf(item->parent(), state.driveList.nodes), &second);
    EXPECT_EQ(item->text(0), QStringLiteral("Standard drive 1 (NTFS : 12.34 GB)"));
    EXPECT_TRUE(item->parent()->isExpanded());
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());
}

// The whole road of a lost partition: a disk whose partition table is wiped, Search Logical
// Drive > Standard Search from the dialogs, the volumes the search finds appear below the
// disk, and one of them scans like any drive.
TEST_F(DriveTreeWindowTest, StandardSearchOfADiskShowsItsLostVolumesBelowItAndTheyScan) {
    TempDir images;
    const fs::path image = UnpackFixture("lost_wiped_table.img", images);
    ASSERT_FALSE(image.empty());
    ListDrives("disk0=" + image.string());
    QTreeWidgetItem* disk = ItemOfKind(DriveKind::HardDisk);
    ASSERT_NE(disk, nullptr);
    const DriveNode* diskNode = CDiskTreeCtrl::NodeOf(disk, state.driveList.nodes);

    ClickInModal(QStringLiteral("154"), kSearchLogicalDrive);
    ClickInModal(QStringLiteral("177"), kStandardSearch);
    Open(disk);
    ASSERT_TRUE(WaitForJob());
    EXPECT_TRUE(frame.LeftView()->DriveTreeShown());

    // The standard search meets the boot sectors of partitions 1 (at the 1 MiB mark) and 2 (on
    // a cylinder); partition 3 lies on no probe.
    const std::vector<MmlsPartition> partitions =
        ReadMmlsPartitions(FixturesFolder() / "lost_wiped_table.mmls");
    ASSERT_EQ(partitions.size(), 3u);
    std::set<uint64_t> starts;
    const DriveNode* fat = nullptr;
    for (const DriveNode& node : state.driveList.nodes) {
        if (node.kind != DriveKind::FoundVolume) {
            continue;
        }
        SCOPED_TRACE(node.Logical()->firstSector);
        starts.insert(node.Logical()->firstSector);
        QTreeWidgetItem* item = frame.DriveView()->ItemOf(node);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->parent(), disk);
        EXPECT_EQ(item->text(0), QString::fromStdU16String(node.Logical()->rootPath));
        EXPECT_TRUE(item->text(0).startsWith(QStringLiteral("Standard drive ")));
        if (node.Logical()->fileSystem == u"FAT32") {
            fat = &node;
        }
    }
    EXPECT_TRUE(disk->isExpanded());
    EXPECT_EQ(starts, (std::set<uint64_t>{partitions[0].start, partitions[1].start}));
    EXPECT_EQ(CDiskTreeCtrl::NodeOf(disk, state.driveList.nodes), diskNode);
    ASSERT_NE(fat, nullptr);

    ClickInModal(QString::number(kVolumeDialog), kStandardScan);
    Open(frame.DriveView()->ItemOf(*fat));
    ASSERT_TRUE(WaitForJob());
    EXPECT_NE(state.FatVolume(), nullptr);
    ExpectManifestFilesFound("lost_wiped_table", frame.Store(), 4, "/p1/");
}

// The same disk as an image file: its found volumes lie in the file and go below its item.
TEST_F(DriveTreeWindowTest, StandardSearchOfADiskImageShowsItsVolumesBelowTheImage) {
    TempDir images;
    const fs::path image = UnpackFixture("lost_wiped_table.img", images);
    ASSERT_FALSE(image.empty());
    const std::u16string path = QString::fromStdString(image.string()).toStdU16String();
    state.driveList.nodes = {DiskNode(10, DriveKind::DiskImage, path)};
    frame.ShowDrives();
    QTreeWidgetItem* item = ItemOfKind(DriveKind::DiskImage);
    ASSERT_NE(item, nullptr);

    ClickInModal(QStringLiteral("181"), kSearchImageLogicalDrive);
    ClickInModal(QStringLiteral("177"), kStandardSearch);
    Open(item);
    ASSERT_TRUE(WaitForJob());
    std::size_t found = 0;
    for (const DriveNode& node : state.driveList.nodes) {
        if (node.kind == DriveKind::FoundVolume) {
            ++found;
            EXPECT_EQ(node.imagePath, path);
            QTreeWidgetItem* volume = frame.DriveView()->ItemOf(node);
            ASSERT_NE(volume, nullptr);
            EXPECT_EQ(volume->parent(), item);
        }
    }
    EXPECT_EQ(found, 2u);
    EXPECT_TRUE(item->isExpanded());
}

TEST_F(DriveTreeWindowTest, DisksThatSayNothingOfThemselvesAreNamedAfterTheirFiles) {
    TempDir images;
    const fs::path first = UnpackFixture("fat16_volume.img", images);
    ASSERT_FALSE(first.empty());
    const fs::path second = images.File("copy of the disk.img");
    fs::copy_file(first, second);
    ListDrives("disk0=" + first.string() + ";disk1=" + second.string());
    std::vector<QString> names;
    for (const DriveNode& node : state.driveList.nodes) {
        if (node.kind != DriveKind::HardDisk) {
            continue;
        }
        QTreeWidgetItem* item = frame.DriveView()->ItemOf(node);
        ASSERT_NE(item, nullptr);
        names.push_back(item->text(0));
        // Properties name the disk the same way.
        QString shown;
        WhenModal(QStringLiteral("220"), [&shown](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("1126"));
            ASSERT_NE(name, nullptr);
            shown = name->text();
            dialog->close();
        });
        frame.ShowDriveProperties(node);
        EXPECT_EQ(shown, item->text(0));
    }
    const QString size =
        QString::fromStdU16String(state.driveList.nodes.front().Physical()->sizeText);
    EXPECT_EQ(names, (std::vector<QString>{QStringLiteral("fat16_volume.img (%1)").arg(size),
                                           QStringLiteral("copy of the disk.img (%1)").arg(size)}));
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
    CSearchLogicalDriveDlg search(0, {}, &frame);
    search.show();
    dialogs.insert(search.objectName().toInt());
    save(search, "action_dialog_" + search.objectName().toStdString());
    EXPECT_EQ(dialogs, (std::set<int>{153, 154, 155, 177, 180, 181, 240}));
}

} // namespace
