#include "app/frame/main_frame.h"
#include "app/models/file_list_model.h"
#include "app/models/folder_tree_model.h"
#include "app/models/found_entry_store.h"
#include "app/models/rename_check.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "jobs/scan/scan_state.h"
#include "platform/jobs/job_runner.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

const QString kTitle = QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0");
const QString kBadCharacterText =
    QStringLiteral("A file name cannot contain any of the following characters:\n\t\\ / : * ? \" "
                   "< > |");
const QString kEmptyText = QStringLiteral("File name should not be zero length");
const QString kTooLongText =
    QStringLiteral("File name length can not be exceeded more then 256 charecters.");

TEST(RenameCheckTest, NamesAreJudgedOnTheirUtf16Text) {
    EXPECT_EQ(ValidateRenamedName(std::u16string(256, u'a')), RenameCheck::Ok);
    EXPECT_EQ(ValidateRenamedName(std::u16string(257, u'a')), RenameCheck::TooLong);
    EXPECT_EQ(ValidateRenamedName(u""), RenameCheck::Empty);
    for (const char16_t bad : std::u16string_view(u"\"*/:<>?\\|")) {
        EXPECT_EQ(ValidateRenamedName(std::u16string(u"a") + bad + u"b"), RenameCheck::BadCharacter)
            << static_cast<int>(bad);
    }
    // Characters no narrow code page holds are names like any other, not question marks.
    EXPECT_EQ(ValidateRenamedName(u"\u0420\u0435\u0437\u044e\u043c\u0435 \u6587\u4ef6.txt"),
              RenameCheck::Ok);
    EXPECT_EQ(ValidateRenamedName(u"\U0001F4C1 photos"), RenameCheck::Ok);
    EXPECT_EQ(ValidateRenamedName(u"\uFF1F full-width question mark"), RenameCheck::Ok);
    // A forbidden character is named first, even in a name that is also too long.
    EXPECT_EQ(ValidateRenamedName(std::u16string(300, u'a') + u':'), RenameCheck::BadCharacter);
}

TEST(RenameCheckTest, EachRefusalHasItsStringTableMessage) {
    EXPECT_EQ(RenameCheckMessageId(RenameCheck::Ok), 0u);
    EXPECT_EQ(RenameCheckMessageId(RenameCheck::BadCharacter), 61565u);
    EXPECT_EQ(RenameCheckMessageId(RenameCheck::Empty), 61567u);
    EXPECT_EQ(RenameCheckMessageId(RenameCheck::TooLong), 61566u);
}

struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onTop = false;
    bool editorOpen = false;
};

// Waits for the rename message box, notes what it shows and closes it. Nullopt when none came.
std::optional<SeenBox> CloseRenameBox(QAbstractItemView& view,
                                      std::chrono::milliseconds limit = 3s) {
    std::optional<SeenBox> seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (seen || box == nullptr || box->objectName() != QStringLiteral("rename refused")) {
            return;
        }
        seen = SeenBox{box->text(), box->windowTitle(), box->icon(),
                       box->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                       view.indexWidget(view.currentIndex()) != nullptr};
        box->accept();
    });
    poll.start();
    return QTest::qWaitFor([&] { return seen.has_value(); }, static_cast<int>(limit.count()))
               ? seen
               : std::nullopt;
}

// Opens the editor of the current item with F2, types the name and presses Return. The editor
// hands the name over once events are processed.
bool RenameCurrent(QAbstractItemView& view, const QString& name) {
    QTest::keyClick(&view, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(view.indexWidget(view.currentIndex()));
    if (editor == nullptr) {
        return false;
    }
    editor->setText(name);
    QTest::keyClick(editor, Qt::Key_Return);
    return true;
}

FoundItem Folder(uint64_t id, uint64_t parent) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.attributes = FoundItem::kFolderAttribute;
    return item;
}

FoundItem File(uint64_t id, uint64_t parent) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.size = 10;
    return item;
}

class RenameInViewsTest : public ::testing::Test {
protected:
    RenameInViewsTest() : treeModel(store), listModel(store), tree(treeModel), list(listModel) {
        store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
        folder = store.AddFoundItem(Folder(10, 0), u"Docs");
        file = store.AddFoundItem(File(11, 0), u"report.txt");
        listModel.ShowFolder(0);
        tree.resize(300, 200);
        list.resize(600, 200);
        tree.show();
        list.show();
        tree.ExpandEntry(0);
        tree.SelectEntry(folder);
        list.setCurrentIndex(listModel.index(listModel.RowOfEntryId(11), 0));
    }

    FoundEntryStore store;
    FolderTreeModel treeModel;
    FileListModel listModel;
    CFolderTreeCtrl tree;
    CFileListView list;
    std::size_t folder = 0;
    std::size_t file = 0;
};

TEST_F(RenameInViewsTest, RefusedNamesShowTheirMessageAfterTheEditorClosedAndKeepTheOldName) {
    struct Case {
        QString name;
        QString message;
    };
    const Case cases[] = {{QStringLiteral("a:b"), kBadCharacterText},
                          {QString(), kEmptyText},
                          {QString(257, QLatin1Char('n')), kTooLongText}};
    for (const Case& each : cases) {
        for (QAbstractItemView* view :
             {static_cast<QAbstractItemView*>(&tree), static_cast<QAbstractItemView*>(&list)}) {
            ASSERT_TRUE(RenameCurrent(*view, each.name));
            const std::optional<SeenBox> box = CloseRenameBox(*view);
            ASSERT_TRUE(box.has_value()) << each.message.toStdString();
            EXPECT_EQ(box->text, each.message);
            EXPECT_EQ(box->title, kTitle);
            EXPECT_EQ(box->icon, QMessageBox::Critical);
            EXPECT_TRUE(box->onTop);
            EXPECT_FALSE(box->editorOpen);
        }
        EXPECT_EQ(store.At(folder).name, u"Docs");
        EXPECT_EQ(store.At(folder).treeText, u"Docs");
        EXPECT_EQ(store.At(file).name, u"report.txt");
    }
}

TEST_F(RenameInViewsTest, AcceptedNamesChangeTheEntryWithoutAMessage) {
    const QString longest(256, QChar(0x00e9));
    ASSERT_TRUE(RenameCurrent(list, longest));
    ASSERT_TRUE(RenameCurrent(tree, QStringLiteral("\u6587\u4ef6")));
    EXPECT_FALSE(CloseRenameBox(list, 200ms).has_value());
    EXPECT_EQ(store.At(file).name, longest.toStdU16String());
    EXPECT_EQ(store.At(folder).name, u"\u6587\u4ef6");
    EXPECT_EQ(listModel.index(listModel.RowOfEntryId(10), 0).data().toString(),
              QStringLiteral("\u6587\u4ef6"));
}

TEST_F(RenameInViewsTest, WhileRenamingIsForbiddenF2OpensNoEditorButTheSpaceKeyStillChecks) {
    bool allowed = false;
    tree.SetRenameAllowed([&allowed] { return allowed; });
    list.SetRenameAllowed([&allowed] { return allowed; });
    EXPECT_FALSE(RenameCurrent(tree, QStringLiteral("x")));
    EXPECT_FALSE(RenameCurrent(list, QStringLiteral("x")));
    EXPECT_EQ(tree.indexWidget(tree.currentIndex()), nullptr);
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_EQ(store.At(file).item.checkState, FoundEntryStore::kChecked);

    allowed = true;
    EXPECT_TRUE(RenameCurrent(list, QStringLiteral("again.txt")));
    EXPECT_FALSE(CloseRenameBox(list, 100ms).has_value());
    EXPECT_EQ(store.At(file).name, u"again.txt");
}

// Answers the frame's questions without modal dialogs.
class QuietFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;

protected:
    MessageBoxAnswer AskUser(const QString&, const QString&, MessageBoxIcon, MessageBoxButtons,
                             bool) override {
        return MessageBoxAnswer::Ok;
    }
};

TEST(RenameInFrameTest, NoRenameWhileAJobRuns) {
    ScanState state;
    JobRunner runner(state.jobFlags);
    QuietFrame frame(state, runner);
    frame.resize(900, 600);
    frame.show();
    JobMessage root = MakeAddTreeRoot(0);
    frame.HandleJobMessage(root);
    const FoundItem item = File(21, 0);
    JobMessage add = MakeAddFoundItem(&item, u"kept.txt");
    frame.HandleJobMessage(add);
    // As a scan that ended leaves it: the frame's keys go to the list only with results.
    state.resultsAvailable = true;
    CFileListView& list = *frame.FileListView();
    ASSERT_EQ(frame.FileList().rowCount(), 1);
    list.setCurrentIndex(frame.FileList().index(0, 0));

    std::atomic<bool> release{false};
    ASSERT_TRUE(runner.Start([&release] {
        while (!release.load()) {
            std::this_thread::sleep_for(1ms);
        }
    }));
    EXPECT_FALSE(RenameCurrent(list, QStringLiteral("changed.txt")));
    release = true;
    ASSERT_TRUE(runner.WaitFor(10s));

    EXPECT_TRUE(RenameCurrent(list, QStringLiteral("changed.txt")));
    EXPECT_FALSE(CloseRenameBox(list, 100ms).has_value());
    EXPECT_EQ(frame.Store().At(1).name, u"changed.txt");
}

} // namespace
