// What the frame does with a key before the focused widget sees it.

#include "app/commands/key_decision.h"

#include <QtCore/qnamespace.h>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct KeyCase {
    const char* label;
    KeyFacts facts;
    KeyContext context;
    KeyAction expected;
};

std::ostream& operator<<(std::ostream& out, const KeyCase& c) {
    return out << c.label;
}

KeyFacts Key(int key, KeyFocus focus, bool ctrl = false, bool shift = false, bool alt = false) {
    KeyFacts facts;
    facts.key = key;
    facts.focus = focus;
    facts.ctrl = ctrl;
    facts.shift = shift;
    facts.alt = alt;
    return facts;
}

KeyFacts Repeated(KeyFacts facts) {
    facts.autoRepeat = true;
    return facts;
}

constexpr KeyContext kDriveList{.resultsShown = false, .findDone = false, .jobRunning = false};
constexpr KeyContext kResults{.resultsShown = true, .findDone = false, .jobRunning = false};
constexpr KeyContext kFound{.resultsShown = true, .findDone = true, .jobRunning = false};
constexpr KeyContext kJob{.resultsShown = true, .findDone = true, .jobRunning = true};

using F = KeyFocus;
using A = KeyAction;

class KeyDecisionTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyDecisionTest, Decides) {
    const KeyCase& c = GetParam();
    EXPECT_EQ(DecideKey(c.facts, c.context), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyDecisionTest,
    ::testing::Values(
        KeyCase{"F3 after a find", Key(Qt::Key_F3, F::FileList), kFound, A::FindNext},
        KeyCase{"F3 before a find", Key(Qt::Key_F3, F::FileList), kResults, A::Swallow},
        KeyCase{"F3 without results", Key(Qt::Key_F3, F::DriveTree),
                KeyContext{.resultsShown = false, .findDone = true, .jobRunning = false},
                A::Swallow},
        KeyCase{"F1 anywhere", Key(Qt::Key_F1, F::DriveTree), kDriveList, A::OpenHelp},
        KeyCase{"F1 in a job", Key(Qt::Key_F1, F::Other), kJob, A::OpenHelp},
        KeyCase{"F5 without results", Key(Qt::Key_F5, F::DriveTree), kDriveList, A::Swallow},
        KeyCase{"F4 without results", Key(Qt::Key_F4, F::Other), kDriveList, A::Swallow},
        KeyCase{"F12 without results", Key(Qt::Key_F12, F::DriveTree), kDriveList, A::Swallow},
        KeyCase{"F5 with results", Key(Qt::Key_F5, F::FileList), kResults, A::PassOn},
        KeyCase{"F2 renames with results", Key(Qt::Key_F2, F::FileList), kResults, A::PassOn},
        KeyCase{"F2 without results", Key(Qt::Key_F2, F::DriveTree), kDriveList, A::Swallow},
        KeyCase{"F13 is no concern", Key(Qt::Key_F13, F::DriveTree), kDriveList, A::PassOn},
        KeyCase{"Tab from the tree", Key(Qt::Key_Tab, F::FolderTree), kResults, A::FocusFileList},
        KeyCase{"Tab from the list", Key(Qt::Key_Tab, F::FileList), kResults, A::FocusFolderTree},
        KeyCase{"Tab from elsewhere", Key(Qt::Key_Tab, F::Other), kResults, A::FocusFolderTree},
        KeyCase{"Tab in a job", Key(Qt::Key_Tab, F::FolderTree), kJob, A::PassOn},
        KeyCase{"Tab without results", Key(Qt::Key_Tab, F::DriveTree), kDriveList, A::PassOn},
        KeyCase{"Ctrl+Tab", Key(Qt::Key_Tab, F::FolderTree, true), kResults, A::PassOn},
        KeyCase{"Shift+Tab", Key(Qt::Key_Tab, F::FolderTree, false, true), kResults, A::PassOn},
        KeyCase{"Space in the tree", Key(Qt::Key_Space, F::FolderTree), kResults,
                A::ToggleTreeMark},
        KeyCase{"Space in the list", Key(Qt::Key_Space, F::FileList), kResults, A::ToggleListMark},
        KeyCase{"Space held down", Repeated(Key(Qt::Key_Space, F::FileList)), kResults, A::Swallow},
        KeyCase{"Space in the drive tree", Key(Qt::Key_Space, F::DriveTree), kResults, A::PassOn},
        KeyCase{"Space without results", Key(Qt::Key_Space, F::FileList), kDriveList, A::PassOn},
        KeyCase{"Ctrl+Space", Key(Qt::Key_Space, F::FileList, true), kResults, A::PassOn},
        KeyCase{"Return in the list opens", Key(Qt::Key_Return, F::FileList), kResults, A::PassOn},
        KeyCase{"Enter in the list opens", Key(Qt::Key_Enter, F::FileList), kResults, A::PassOn},
        KeyCase{"Return in the tree", Key(Qt::Key_Return, F::FolderTree), kResults, A::Swallow},
        KeyCase{"Return in the drive tree", Key(Qt::Key_Return, F::DriveTree), kDriveList,
                A::Swallow},
        KeyCase{"Escape in the tree", Key(Qt::Key_Escape, F::FolderTree), kResults, A::Swallow},
        KeyCase{"Escape in the list", Key(Qt::Key_Escape, F::FileList), kDriveList, A::Swallow},
        KeyCase{"Ctrl+N", Key(Qt::Key_N, F::FileList, true), kResults, A::Swallow},
        KeyCase{"Ctrl+O", Key(Qt::Key_O, F::DriveTree, true), kDriveList, A::Swallow},
        KeyCase{"Ctrl+P", Key(Qt::Key_P, F::FolderTree, true), kResults, A::Swallow},
        KeyCase{"Ctrl+Shift+S", Key(Qt::Key_S, F::Other, true, true), kJob, A::Swallow},
        KeyCase{"plain N", Key(Qt::Key_N, F::FileList), kResults, A::PassOn},
        KeyCase{"plain O", Key(Qt::Key_O, F::FolderTree), kResults, A::PassOn},
        KeyCase{"plain P", Key(Qt::Key_P, F::DriveTree), kDriveList, A::PassOn},
        KeyCase{"Shift+S", Key(Qt::Key_S, F::FileList, false, true), kResults, A::PassOn},
        KeyCase{"Ctrl+A", Key(Qt::Key_A, F::FileList, true), kResults, A::PassOn},
        KeyCase{"Down arrow", Key(Qt::Key_Down, F::FolderTree), kResults, A::PassOn},
        // An editor gets every key: Escape cancels and Return ends a rename there.
        KeyCase{"Escape in an editor", Key(Qt::Key_Escape, F::TextEditor), kResults, A::PassOn},
        KeyCase{"Return in an editor", Key(Qt::Key_Return, F::TextEditor), kResults, A::PassOn},
        KeyCase{"Space in an editor", Key(Qt::Key_Space, F::TextEditor), kResults, A::PassOn},
        KeyCase{"Tab in an editor", Key(Qt::Key_Tab, F::TextEditor), kResults, A::PassOn},
        KeyCase{"Ctrl+S in an editor", Key(Qt::Key_S, F::TextEditor, true), kResults, A::PassOn}));

TEST(KeyDecisionTextTest, EveryLetterTypedIntoAnEditorArrives) {
    for (const KeyContext& context : {kDriveList, kResults, kFound, kJob}) {
        for (const bool shift : {false, true}) {
            for (const int key : {Qt::Key_S, Qt::Key_N, Qt::Key_O, Qt::Key_W, Qt::Key_P}) {
                EXPECT_EQ(DecideKey(Key(key, F::TextEditor, false, shift), context), A::PassOn)
                    << key;
            }
        }
    }
}

} // namespace
