// The frame's menus and toolbar drawn offscreen: the main menu's popups in the flat style with
// the menu pictures, the toolbar with a picture on every button and its disabled state greyed,
// the message log in its docking bar, and the start panel inside the right pane, at start-up
// and after imaging. Pictures of the window go to the build's screenshots folder.

#include "app/commands/command_ids.h"
#include "app/commands/menu_resource.h"
#include "app/previews/scroll_bitmap_dlg.h"
#include "app/frame/main_frame.h"
#include "app/frame/toolbar_and_menus.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "controls/flat_menu_metrics.h"
#include "controls/sizing_dialog_bar.h"
#include "diskio/records/drive_node.h"
#include "diskio/inventory/size_text.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace {

// How many pixels of the rectangle differ from its first pixel.
int InkIn(const QImage& image, const QRect& area) {
    const QRect inside = area.intersected(image.rect());
    if (inside.isEmpty()) {
        return 0;
    }
    const QRgb background = image.pixel(inside.topLeft());
    int ink = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ink += image.pixel(x, y) != background ? 1 : 0;
        }
    }
    return ink;
}

double MeanSaturation(const QImage& image, const QRect& area) {
    double sum = 0;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            sum += QColor(image.pixel(x, y)).hsvSaturationF();
            ++count;
        }
    }
    return count > 0 ? sum / count : 0;
}

class FrameRenderingTest : public WindowTest {
protected:
    // The whole window as it is drawn, kept in the screenshots folder under `name`.
    QImage Screenshot(const std::string& name) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        const QImage image = frame.grab().toImage();
        const std::filesystem::path folder =
            std::filesystem::path(MORWICK_BUILD_DIR) / "screenshots";
        std::filesystem::create_directories(folder);
        EXPECT_TRUE(image.save(QString::fromStdString((folder / (name + ".png")).string())));
        return image;
    }
    // The start panel lies inside the file list, covers it whole and shows its picture.
    void ExpectStartPanel(const QImage& window) {
        CScrollBitmapDlg* panel = frame.ChildPane();
        ASSERT_NE(panel, nullptr);
        EXPECT_FALSE(panel->isWindow());
        EXPECT_EQ(panel->parentWidget(), static_cast<QWidget*>(frame.FileListView()));
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->geometry(), frame.FileListView()->rect());
        const QRect inWindow(frame.FileListView()->mapTo(&frame, QPoint(0, 0)),
                             frame.FileListView()->size());
        // White where the list's header would be, and the picture's ink in the middle.
        EXPECT_EQ(QColor(window.pixel(inWindow.topLeft() + QPoint(3, 3))), QColor(Qt::white));
        EXPECT_GT(InkIn(window, QRect(inWindow.center() - QPoint(150, 100), QSize(300, 200))),
                  1000);
    }
};

TEST_F(FrameRenderingTest, MenuPopupsAreFlatWithTheirPictures) {
    const MenuResource* resource = FindMenuResource(kMainMenuId);
    ASSERT_NE(resource, nullptr);
    const uint32_t filesTextId = resource->items.at(1).textId;
    auto* files = frame.menuBar()->findChild<QMenu*>(QStringLiteral("menu %1").arg(filesTextId));
    ASSERT_NE(files, nullptr);
    frame.Menus().ApplyMenuRules(files);
    files->popup(frame.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(RunEventsUntil([files] { return files->isVisible(); }, 2000));
    const QImage image = files->grab().toImage();
    files->hide();

    QAction* recoverAll = frame.Menus().MenuAction(CommandId::kRecoverAll);
    ASSERT_NE(recoverAll, nullptr);
    EXPECT_FALSE(recoverAll->icon().isNull());
    const QRect item = files->actionGeometry(recoverAll);
    const FlatMenuMetrics metrics(files->palette());
    const QRect column = metrics.ImageColumnRect(item);
    // The light image column, the menu's background beside it, and a picture in the column.
    EXPECT_EQ(QColor(image.pixel(column.left() + 1, item.top() + 1)), metrics.ImageColumn());
    EXPECT_EQ(QColor(image.pixel(item.right() - 2, item.top() + 1)), metrics.Background());
    EXPECT_GT(InkIn(image, metrics.ImageRect(item)), 20);
}

TEST_F(FrameRenderingTest, EveryToolbarButtonShowsAPictureAndDisabledOnesAreGrey) {
    QToolBar* toolbar = frame.Menus().ToolBar();
    ASSERT_NE(toolbar, nullptr);
    ASSERT_EQ(toolbar->iconSize(), QSize(48, 48));
    frame.ApplyButtonRules();
    const QImage image = toolbar->grab().toImage();
    double enabledSaturation = -1;
    double disabledSaturation = -1;
    for (const uint32_t id : ToolbarButtons()) {
        if (id == 0) {
            continue;
        }
        QAction* action = frame.Menus().ButtonAction(id);
        ASSERT_NE(action, nullptr) << id;
        const QRect button = toolbar->actionGeometry(action);
        EXPECT_GT(InkIn(image, button.adjusted(4, 4, -4, -4)), 200) << id;
        const double saturation = MeanSaturation(image, button);
        // Nothing runs and nothing was found: Refresh is enabled, Recover All is not.
        if (id == CommandId::kRefreshDriveList) {
            EXPECT_TRUE(action->isEnabled());
            enabledSaturation = saturation;
        } else if (id == CommandId::kRecoverAll) {
            EXPECT_FALSE(action->isEnabled());
            disabledSaturation = saturation;
        }
    }
    EXPECT_GT(enabledSaturation, disabledSaturation);
}

TEST_F(FrameRenderingTest, TheDriveTreeMenuIsOfferedOnDrivesOnly) {
    ShowOneHardDisk();
    QTreeWidget* tree = frame.DriveView();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* computer = tree->topLevelItem(0);
    ASSERT_EQ(computer->childCount(), 1);
    QTreeWidgetItem* group = computer->child(0);
    ASSERT_EQ(group->childCount(), 1);
    // Neither the computer nor a group has a menu.
    EXPECT_EQ(frame.CreateDriveContextMenu(tree->visualItemRect(computer).center()), nullptr);
    EXPECT_EQ(frame.CreateDriveContextMenu(tree->visualItemRect(group).center()), nullptr);
    std::unique_ptr<QMenu> menu(
        frame.CreateDriveContextMenu(tree->visualItemRect(group->child(0)).center()));
    ASSERT_NE(menu, nullptr);
    QAction* preview = menu->findChild<QAction*>(QString::number(CommandId::kDiskPreview));
    QAction* properties = menu->findChild<QAction*>(QString::number(CommandId::kProperties));
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(properties, nullptr);
    EXPECT_FALSE(preview->icon().isNull());
    // The hex viewer is there, and Properties has its dialog.
    EXPECT_TRUE(preview->isEnabled());
    EXPECT_TRUE(properties->isEnabled());
}

TEST_F(FrameRenderingTest, TheLogSitsInTheDockingBarAtTheBottom) {
    CSizingDialogBar* bar = frame.LogBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0"));
    EXPECT_GE(bar->height(), 32);
    EXPECT_TRUE(bar->isAncestorOf(frame.LogPane()));
}

TEST_F(FrameRenderingTest, TheStartPanelLiesInTheRightPaneAndFollowsItsSize) {
    ShowOneHardDisk();
    ExpectStartPanel(Screenshot("main_frame_start"));
    // A larger window and a moved splitter: the panel keeps covering the list.
    frame.resize(1300, 820);
    frame.Splitter()->setSizes({300, 1000});
    QCoreApplication::processEvents();
    ExpectStartPanel(frame.grab().toImage());
}

TEST_F(FrameRenderingTest, AfterImagingTheStartPanelReturnsInsideTheWindow) {
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    TempDir out;
    DriveNode drive = fixture.Node();
    LogicalDriveInfo& volume = *drive.Logical();
    volume.rootPath = u"C:\\";
    volume.fileSystem = u"FAT";
    volume.sizeText = FormatSizeFromSectors(static_cast<uint32_t>(volume.totalSectors), 0);
    const QString image = QString::fromStdString(out.File("volume.img").string());
    ASSERT_TRUE(frame.StartDiskImage(drive, {0, volume.totalSectors}, image));
    EXPECT_EQ(frame.ChildPane(), nullptr) << "imaging covers the list with its own panel";
    ASSERT_TRUE(WaitForJob());
    EXPECT_EQ(frame.ImageProgressDialog(), nullptr);
    ExpectStartPanel(Screenshot("main_frame_after_imaging"));
}

} // namespace
