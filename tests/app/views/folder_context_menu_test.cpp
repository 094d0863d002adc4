// The context menus of the folder tree and the file list, and the application's message pumps.

#include "app/commands/command_ids.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/models/found_entry_store.h"
#include "app/morwick_wrenfal_app.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "tests/support/found_item_builders.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using found_items::Folder;

class FolderContextMenuTest : public ::testing::Test {
protected:
    FolderContextMenuTest() {
        store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
        docs = store.AddFoundItem(Folder(10, 0), u"Docs");
        view.show();
        view.ExpandEntry(0);
    }

    QAction* Action(QMenu& menu, int id) const {
        return menu.findChild<QAction*>(QString::number(id));
    }
    // The menu's commands in order, separators left out.
    static std::vector<QAction*> Commands(const QMenu& menu) {
        std::vector<QAction*> commands;
        for (QAction* action : menu.actions()) {
            if (!action->isSeparator()) {
                commands.push_back(action);
            }
        }
        return commands;
    }

    FoundEntryStore store;
    FolderTreeModel model{store};
    CFolderTreeCtrl view{model};
    std::size_t docs = 0;
};

TEST_F(FolderContextMenuTest, OffersTheFiveCommandsWithOnlyTheBuiltOnesEnabled) {
    std::unique_ptr<QMenu> menu(view.CreateContextMenu(docs));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(Commands(*menu).size(), 5u);
    const int order[] = {CommandId::kPreview, CommandId::kSelectUnselect, CommandId::kRecover,
                         CommandId::kRename, CommandId::kShowProperties};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Commands(*menu)[i]->objectName(), QString::number(order[i]));
    EXPECT_TRUE(Action(*menu, CommandId::kSelectUnselect)->isEnabled());
    EXPECT_TRUE(Action(*menu, CommandId::kRename)->isEnabled());
    EXPECT_FALSE(Action(*menu, CommandId::kRecover)->isEnabled());
    // Preview asks the frame to show the folder.
    QAction* preview = Action(*menu, CommandId::kPreview);
    ASSERT_TRUE(preview->isEnabled());
    std::vector<std::size_t> asked;
    QObject::connect(&view, &CFolderTreeCtrl::PreviewRequested,
                     [&asked](std::size_t entry) { asked.push_back(entry); });
    preview->trigger();
    EXPECT_EQ(asked, std::vector<std::size_t>{docs});

    EXPECT_EQ(view.CreateContextMenu(FoundEntryStore::kNone), nullptr);
}

TEST_F(FolderContextMenuTest, ShowPropertiesAsksForTheFoldersProperties) {
    std::vector<std::size_t> asked;
    QObject::connect(&view, &CFolderTreeCtrl::PropertiesRequested,
                     [&asked](std::size_t entry) { asked.push_back(entry); });
    std::unique_ptr<QMenu> menu(view.CreateContextMenu(docs));
    ASSERT_NE(menu, nullptr);
    Action(*menu, CommandId::kShowProperties)->trigger();
    EXPECT_EQ(asked, std::vector<std::size_t>{docs});
}

TEST_F(FolderContextMenuTest, SelectUnselectToggleTheFolderAndTellTheFrame) {
    int told = 0;
    QObject::connect(&view, &CFolderTreeCtrl::CheckChangedByUser, [&told] { ++told; });
    std::unique_ptr<QMenu> menu(view.CreateContextMenu(docs));
    Action(*menu, CommandId::kSelectUnselect)->trigger();
    EXPECT_EQ(store.At(docs).item.checkState, FoundEntryStore::kChecked);
    Action(*menu, CommandId::kSelectUnselect)->trigger();
    EXPECT_EQ(store.At(docs).item.checkState, FoundEntryStore::kUnchecked);
    EXPECT_EQ(told, 2);
}

TEST_F(FolderContextMenuTest, RenameOpensTheEditorOnlyWhenAllowed) {
    bool allowed = false;
    view.SetRenameAllowed([&allowed] { return allowed; });
    std::unique_ptr<QMenu> refused(view.CreateContextMenu(docs));
    EXPECT_FALSE(Action(*refused, CommandId::kRename)->isEnabled());
    Action(*refused, CommandId::kRename)->trigger();
    EXPECT_EQ(view.findChild<QLineEdit*>(), nullptr);

    allowed = true;
    std::unique_ptr<QMenu> menu(view.CreateContextMenu(docs));
    Action(*menu, CommandId::kRename)->trigger();
    QLineEdit* editor = view.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("Docs"));
}

TEST_F(FolderContextMenuTest, TheFileListOffersTheSameMenuWithPicturesForItsRows) {
    FoundItem file;
    file.entryId = 11;
    file.parentId = 10;
    file.size = 5;
    const std::size_t note = store.AddFoundItem(file, u"note.txt");
    FileListModel rows(store);
    CFileListView list(rows);
    list.resize(600, 300);
    list.show();
    rows.ShowFolder(10);
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_EQ(list.CreateContextMenu(QPoint(-50, -50)), nullptr);
    const QRect cell = list.visualRect(rows.index(0, 0));
    std::unique_ptr<QMenu> menu(list.CreateContextMenu(cell.center()));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(Commands(*menu).size(), 5u);
    // Preview and Recover carry their pictures; only the built commands are enabled.
    EXPECT_FALSE(Action(*menu, CommandId::kPreview)->icon().isNull());
    EXPECT_FALSE(Action(*menu, CommandId::kRecover)->icon().isNull());
    EXPECT_FALSE(Action(*menu, CommandId::kRecover)->isEnabled());
    EXPECT_TRUE(Action(*menu, CommandId::kShowProperties)->isEnabled()) << "its dialog exists";
    Action(*menu, CommandId::kSelectUnselect)->trigger();
    EXPECT_EQ(store.At(note).item.checkState, FoundEntryStore::kChecked);
    Action(*menu, CommandId::kSelectUnselect)->trigger();
    EXPECT_EQ(store.At(note).item.checkState, FoundEntryStore::kUnchecked);
}

// Counts the events of one type that reach the application, and keeps them from it.
class EventCounter : public QObject {
public:
    explicit EventCounter(QEvent::Type type) : m_type(type) {}
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != m_type)
            return false;
        ++count;
        return true;
    }

private:
    QEvent::Type m_type;
};

TEST(MessagePumpTest, PumpsHandleWaitingEventsAndPassAQuitOn) {
    int handled = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&handled] { ++handled; }, Qt::QueuedConnection);
    EXPECT_EQ(CMorwickWrenfalApp::PumpMessages(), 1);
    EXPECT_EQ(handled, 1);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&handled] { ++handled; }, Qt::QueuedConnection);
    CMorwickWrenfalApp::PumpWaitingMessages();
    EXPECT_EQ(handled, 2);

    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    EXPECT_EQ(CMorwickWrenfalApp::PumpMessages(), 0);
    // The quit request waits again for the main loop.
    EventCounter quits(QEvent::Quit);
    QCoreApplication::instance()->installEventFilter(&quits);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&quits);
    EXPECT_EQ(quits.count, 1);
}

} // namespace
