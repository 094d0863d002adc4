// Commands chosen with the mouse in the real window, from the menu bar's popups, the context
// menus and a double click, while a scan and its marks are on screen. A command may rebuild the
// menu, the view or the model that delivered its click; the click must have returned first.
// Run under the sanitizers, these catch a menu or view freed beneath its own event.

#include "app/commands/command_ids.h"
#include "app/frame/status_panes.h"
#include "app/frame/toolbar_and_menus.h"
#include "app/models/file_list_model.h"
#include "app/program_text.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "diskio/records/drive_node.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/scoped_env.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kEventsTimeoutMs = 10000;

// What a person sees of a scan: its entries, the marks and the folder tree.
struct ShownScan {
    std::size_t entries = 0;
    std::vector<uint8_t> marks;
    uint64_t markedFiles = 0;
    uint64_t markedBytes = 0;
    bool folderTree = false;
    QString markedPane;

    bool operator==(const ShownScan&) const = default;
};

class MouseCommandWindowTest : public WindowTest {
protected:
    ~MouseCommandWindowTest() override { StringTable::Program().UseEnglish(); }

    // Scans the FAT fixture and marks one folder with everything below it.
    void ScanWithMarks() {
        ASSERT_TRUE(fixture.Ready());
        ASSERT_TRUE(ScanInWindow(fixture));
        FoundEntryStore& store = frame.Store();
        std::size_t folder = FoundEntryStore::kNone;
        for (std::size_t i = 1; i < store.Size() && folder == FoundEntryStore::kNone; ++i) {
            if (store.At(i).item.IsFolder() && !store.ChildrenOf(store.At(i).item.entryId).empty())
                folder = i;
        }
        ASSERT_NE(folder, FoundEntryStore::kNone);
        store.SetCheck(folder, true);
        frame.RecountSelection();
        ASSERT_GT(state.selectedFiles.load(), 0u);
        frame.FolderView()->SelectEntry(0);
        frame.ApplyButtonRules();
    }

    ShownScan Shown() const {
        ShownScan shown;
        const FoundEntryStore& store = frame.Store();
        shown.entries = store.Size();
        for (std::size_t i = 0; i < store.Size(); ++i)
            shown.marks.push_back(store.At(i).item.checkState);
        shown.markedFiles = state.selectedFiles.load();
        shown.markedBytes = state.selectedBytes.load();
        shown.folderTree = frame.ShowsFolderTree();
        shown.markedPane = frame.Status().PaneText(2);
        return shown;
    }

    // The visible popup of the frame with this menu resource id, or null.
    QMenu* ShownPopup(uint32_t menuId) const {
        const QString name = QStringLiteral("menu %1").arg(menuId);
        for (QMenu* menu : frame.findChildren<QMenu*>()) {
            if (menu->isVisible() && menu->objectName() == name)
                return menu;
        }
        return nullptr;
    }

    // Presses and releases the left button over the item, as a click does.
    static void ClickItem(QMenu& menu, uint32_t command) {
        QAction* action = menu.findChild<QAction*>(QString::number(command));
        ASSERT_NE(action, nullptr) << command;
        ASSERT_TRUE(action->isEnabled()) << command;
        const QRect place = menu.actionGeometry(action);
        ASSERT_TRUE(place.isValid()) << command;
        QTest::mouseClick(&menu, Qt::LeftButton, {}, place.center());
    }

    // Opens the menu bar's popup that holds the command by a click on its title, then clicks
    // the command.
    void ClickMenuBarCommand(uint32_t command) {
        QAction* action = frame.Menus().MenuAction(command);
        ASSERT_NE(action, nullptr) << command;
        QPointer<QMenu> popup = qobject_cast<QMenu*>(action->parent());
        ASSERT_NE(popup, nullptr) << command;
        QMenuBar* bar = frame.menuBar();
        const QRect title = bar->actionGeometry(popup->menuAction());
        ASSERT_TRUE(title.isValid()) << command;
        QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
        ASSERT_TRUE(QTest::qWaitFor([&popup] { return popup != nullptr && popup->isVisible(); }))
            << command;
        ClickItem(*popup, command);
    }

    // A right click at the point of the view's viewport; the context menu the view shows.
    QMenu* RightClick(QWidget& viewport, const QPoint& at, uint32_t menuId) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport.mapToGlobal(at));
        QApplication::sendEvent(&viewport, &event);
        QMenu* menu = nullptr;
        QTest::qWaitFor([&] { return (menu = ShownPopup(menuId)) != nullptr; });
        return menu;
    }

    MappedFixture fixture{"fat16_volume", kFatPartition};
};

TEST_F(MouseCommandWindowTest, EveryLanguageChosenWithTheMouseKeepsTheScanAndItsMarks) {
    const fs::path data = BuildDataFolder();
    const ScopedEnv folder("MORWICK_DATA", data.string());
    for (const char* pack : {"French.dll", "German.dll", "Spanish.dll", "Italian.dll"})
        ASSERT_TRUE(fs::exists(data / pack)) << data / pack;
    ScanWithMarks();
    // The scan's closing hint is not a question of the language change.
    frame.questions.clear();
    const ShownScan before = Shown();
    struct Choice {
        uint32_t command;
        uint32_t language;
    };
    using namespace CommandId;
    const Choice choices[] = {
        {kFrench, 1}, {kGerman, 2}, {kSpanish, 3}, {kItalian, 4}, {kEnglish, 0}};
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.language);
        ClickMenuBarCommand(choice.command);
        ASSERT_TRUE(RunEventsUntil([&] { return state.language.load() == choice.language; },
                                   kEventsTimeoutMs));
        // The menus were built again in the new language, with the chosen one gray.
        QAction* chosen = frame.Menus().MenuAction(choice.command);
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(chosen->text(), ProgramText(choice.command));
        frame.Menus().ApplyMenuRules(qobject_cast<QMenu*>(chosen->parent()));
        EXPECT_FALSE(chosen->isEnabled());
        ShownScan after = Shown();
        // The marked pane's words are the new language's; its numbers stay.
        after.markedPane = before.markedPane;
        EXPECT_EQ(after, before);
    }
    EXPECT_EQ(Shown(), before);
    EXPECT_TRUE(frame.questions.empty());
}

TEST_F(MouseCommandWindowTest, DriveListCommandsChosenWithTheMouseGoBackToTheDriveTree) {
    for (const uint32_t command : {CommandId::kShowDriveList, CommandId::kRefreshDriveList}) {
        SCOPED_TRACE(command);
        ScanWithMarks();
        ASSERT_TRUE(frame.ShowsFolderTree());
        // The results are not saved: the save prompt is answered No.
        frame.questions.clear();
        frame.answers.push_back(MessageBoxAnswer::No);
        ClickMenuBarCommand(command);
        ASSERT_TRUE(RunEventsUntil([&] { return !frame.ShowsFolderTree(); }, kEventsTimeoutMs));
        EXPECT_EQ(frame.questions.size(), 1u);
        EXPECT_EQ(frame.Store().Size(), 0u);
        EXPECT_EQ(frame.FileList().rowCount(), 0);
        EXPECT_FALSE(state.someSelected.load());
    }
}

// The entry context menus of both views: Select / Unselect changes the marks it was chosen
// from, Show Properties opens its dialog over the menu that chose it.
TEST_F(MouseCommandWindowTest, EntryContextMenusChosenWithTheMouseActOnTheirEntry) {
    ScanWithMarks();
    struct Place {
        const char* view;
        std::function<QAbstractItemView&()> widget;
    };
    const Place places[] = {
        {"folder tree", [this]() -> QAbstractItemView& { return *frame.FolderView(); }},
        {"file list", [this]() -> QAbstractItemView& { return frame.FileListView()->ShownView(); }},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.view);
        frame.FolderView()->SelectEntry(0);
        QAbstractItemView& view = place.widget();
        const QModelIndex first = view.model()->index(0, 0);
        ASSERT_TRUE(first.isValid());
        const QPoint at = view.visualRect(first).center();

        const ShownScan before = Shown();
        QMenu* menu = RightClick(*view.viewport(), at, kEntryContextMenuId);
        ASSERT_NE(menu, nullptr);
        ClickItem(*menu, CommandId::kSelectUnselect);
        ASSERT_TRUE(RunEventsUntil([&] { return Shown() != before; }, kEventsTimeoutMs));
        EXPECT_NE(Shown().marks, before.marks);

        bool propertiesShown = false;
        WhenModal(QString(), [&propertiesShown](QWidget* dialog) {
            propertiesShown = true;
            dialog->close();
        });
        menu = RightClick(*view.viewport(), at, kEntryContextMenuId);
        ASSERT_NE(menu, nullptr);
        ClickItem(*menu, CommandId::kShowProperties);
        ASSERT_TRUE(RunEventsUntil([&] { return propertiesShown; }, kEventsTimeoutMs));
        ASSERT_TRUE(RunEventsUntil([] { return QApplication::activeModalWidget() == nullptr; },
                                   kEventsTimeoutMs));
        EXPECT_TRUE(frame.ShowsFolderTree());
    }
}

TEST_F(MouseCommandWindowTest, DriveContextMenuChosenWithTheMouseShowsTheDriveProperties) {
    ShowOneHardDisk();
    CDiskTreeCtrl& tree = *frame.DriveView();
    QTreeWidgetItem* disk = tree.ItemOf(state.driveList.nodes.front());
    ASSERT_NE(disk, nullptr);
    tree.scrollToItem(disk);
    const QPoint at = tree.visualItemRect(disk).center();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        bool propertiesShown = false;
        WhenModal(QString(), [&propertiesShown](QWidget* dialog) {
            propertiesShown = true;
            dialog->close();
        });
        QMenu* menu = RightClick(*tree.viewport(), at, kDriveContextMenuId);
        ASSERT_NE(menu, nullptr);
        ClickItem(*menu, CommandId::kProperties);
        ASSERT_TRUE(RunEventsUntil([&] { return propertiesShown; }, kEventsTimeoutMs));
        ASSERT_TRUE(RunEventsUntil([] { return QApplication::activeModalWidget() == nullptr; },
                                   kEventsTimeoutMs));
    }
}

// A double click on a folder's row opens the folder: the list that delivered the click shows
// the folder's rows instead.
TEST_F(MouseCommandWindowTest, DoubleClickOnAFolderRowOpensIt) {
    ScanWithMarks();
    const ShownScan before = Shown();
    QAbstractItemView& view = frame.FileListView()->ShownView();
    int row = -1;
    for (int i = 0; i < frame.FileList().rowCount() && row < 0; ++i) {
        const std::size_t entry = frame.FileList().EntryAt(i);
        if (entry != FoundEntryStore::kNone && frame.Store().At(entry).item.IsFolder())
            row = i;
    }
    ASSERT_GE(row, 0);
    const std::size_t folder = frame.FileList().EntryAt(row);
    const QPoint at = view.visualRect(frame.FileList().index(row, 0)).center();
    // A person's double click: the first click's press and release, then the second press
    // that the window system reports as the double click.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(RunEventsUntil([&] { return frame.FolderView()->SelectedEntry() == folder; },
                               kEventsTimeoutMs));
    EXPECT_EQ(Shown(), before);
}

} // namespace
