// Disk imaging through the real window, offscreen: the progress panel over the file list while
// the job runs, the job's cells and texts reaching it, the finished image opened as a drive,
// Drives > Open Image File, and an image that could not be written opening nothing.

#include "app/commands/command_ids.h"
#include "app/dialogs/scan/image_progress_dlg.h"
#include "app/previews/scroll_bitmap_dlg.h"
#include "app/frame/main_frame.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "controls/sector_map_ctrl.h"
#include "controls/sector_map_geometry.h"
#include "controls/sector_map_model.h"
#include "diskio/records/disk_image_trailer_serializer.h"
#include "diskio/inventory/size_text.h"
#include "platform/jobs/job_messages.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kFat16Type = 4;

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

class ImagingWindowTest : public WindowTest {
protected:
    size_t ImageNodes() const {
        return static_cast<size_t>(std::count_if(
            state.driveList.nodes.begin(), state.driveList.nodes.end(),
            [](const DriveNode& node) { return node.kind == DriveKind::VolumeImage; }));
    }
    bool TreeShows(const QString& text) {
        for (QTreeWidgetItemIterator it(frame.DriveView()); *it != nullptr; ++it)
            if ((*it)->text(0) == text)
                return true;
        return false;
    }
    void Send(JobMessage message) { frame.JobWindowForJobs().Send(message); }
};

TEST_F(ImagingWindowTest, AnImageMadeInTheWindowOpensAsADrive) {
    MappedFixture fixture("fat16_volume", kFat16Type);
    ASSERT_TRUE(fixture.Ready());
    TempDir out;
    const fs::path image = out.File("volume.img");
    const QString imagePath = QString::fromStdString(image.string());
    // The drive as the drive list describes a lettered volume.
    DriveNode drive = fixture.Node();
    LogicalDriveInfo& volume = *drive.Logical();
    const uint64_t total = volume.totalSectors;
    volume.rootPath = u"C:\\";
    volume.fileSystem = u"FAT";
    volume.sizeText = FormatSizeFromSectors(static_cast<uint32_t>(total), 0);

    // The destination lies beside the fixture image: Yes to writing there.
    frame.answers.push_back(MessageBoxAnswer::Yes);
    ASSERT_TRUE(frame.StartDiskImage(drive, {0, total}, imagePath));
    bool panelShown = false;
    ASSERT_TRUE(RunEventsUntil(
        [&] {
            panelShown = panelShown || frame.ImageProgressDialog() != nullptr;
            return !runner.IsRunning();
        },
        kJobTimeoutMs));
    EXPECT_TRUE(panelShown);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.ImageProgressDialog(), nullptr) << "the panel goes with the job";
    EXPECT_NE(frame.ChildPane(), nullptr);

    // The volume's sectors, then the trailer that names it.
    const std::vector<uint8_t> source = FileBytes(fixture.Image());
    const std::vector<uint8_t> bytes = FileBytes(image);
    ASSERT_EQ(bytes.size(), total * 512 + 1024);
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + total * 512, bytes.begin()));
    DriveNode trailer;
    ASSERT_TRUE(DiskImageTrailerSerializer::Read(
        std::span<const uint8_t>(bytes).last(DiskImageTrailerSerializer::kSize), trailer));
    EXPECT_EQ(trailer.kind, DriveKind::LogicalDrive);

    // Opened as a drive at once, and again through Drives > Open Image File.
    EXPECT_EQ(ImageNodes(), 1u);
    EXPECT_TRUE(TreeShows(imagePath));
    frame.openImagePath = imagePath;
    EXPECT_TRUE(frame.OnCommand(CommandId::kOpenImageFile));
    EXPECT_EQ(ImageNodes(), 2u);
    const DriveNode& opened = state.driveList.nodes.back();
    EXPECT_EQ(opened.imagePath, imagePath.toStdU16String());
    ASSERT_NE(opened.Logical(), nullptr);
    EXPECT_EQ(opened.Logical()->totalSectors, total);
    // Properties name the disk the image was made from, as its trailer recorded it.
    QString recordedSource;
    WhenModal(QStringLiteral("220"), [&recordedSource](QWidget* dialog) {
        auto* value = dialog->findChild<QLabel*>(QStringLiteral("1128"));
        ASSERT_NE(value, nullptr);
        recordedSource = value->text();
        dialog->close();
    });
    frame.ShowDriveProperties(opened);
    EXPECT_EQ(recordedSource,
              QStringLiteral("Physical Disk 0x") + QString::number(volume.disk, 16).toUpper());

    // A file that is no image is refused and adds nothing.
    const fs::path small = out.File("small.img");
    std::ofstream(small, std::ios::binary) << std::string(4096, 'x');
    frame.questions.clear();
    frame.openImagePath = QString::fromStdString(small.string());
    frame.OnCommand(CommandId::kOpenImageFile);
    EXPECT_EQ(ImageNodes(), 2u);
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions[0], QStringLiteral("Not a valid image file."));
}

TEST_F(ImagingWindowTest, TheJobsCellsAndTextsReachThePanelAndAFailedImageOpensNothing) {
    Send(MakeImageStart());
    CImageProgressDlg* panel = frame.ImageProgressDialog();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->parentWidget(), static_cast<QWidget*>(frame.FileListView()));
    Send(MakeSectorMapFailed(3, 4));
    Send(MakeSectorMapDone(0, 0));
    const SectorMapModel& map = panel->SectorMap()->Model();
    EXPECT_EQ(map.State(SectorMapGeometry::CellIndex(3, 4)), SectorMapCellState::Failed);
    EXPECT_EQ(map.State(SectorMapGeometry::CellIndex(0, 0)), SectorMapCellState::Done);
    Send(MakeImageProgressText(1006, u"Reading Sector : 4294967296"));
    auto* text = panel->findChild<QLabel*>(QStringLiteral("1006"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Reading Sector : 4294967296"));

    const size_t nodes = state.driveList.nodes.size();
    Send(MakeImageDone(false, u"/nonexistent/old.img"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.ImageProgressDialog(), nullptr);
    EXPECT_EQ(state.driveList.nodes.size(), nodes);
    EXPECT_TRUE(state.jobFlags.stopRequested);
    EXPECT_FALSE(state.jobFlags.stoppable);
}

} // namespace
