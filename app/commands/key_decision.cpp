#include "app/commands/key_decision.h"

#include <QtCore/qnamespace.h>

namespace {

bool IsLetterOfFrameworkShortcut(int key) {
    return key == Qt::Key_N || key == Qt::Key_O || key == Qt::Key_P || key == Qt::Key_S;
}

bool NoModifiers(const KeyFacts& facts) {
    return !facts.ctrl && !facts.alt && !facts.shift;
}

} // namespace

KeyAction DecideKey(const KeyFacts& facts, const KeyContext& context) {
    // Whatever is typed into an editor (a rename, a text box) is the user's text.
    if (facts.focus == KeyFocus::TextEditor)
        return KeyAction::PassOn;

    const int key = facts.key;
    if (key == Qt::Key_Escape)
        return KeyAction::Swallow;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // The file list opens a folder row on Return; nowhere else does it mean anything.
        return facts.focus == KeyFocus::FileList ? KeyAction::PassOn : KeyAction::Swallow;
    }
    if (key == Qt::Key_F1)
        return KeyAction::OpenHelp;
    if (key == Qt::Key_F3) {
        return context.resultsShown && context.findDone ? KeyAction::FindNext : KeyAction::Swallow;
    }
    // F2 renames in the results; the other function keys have no meaning without results.
    if (key == Qt::Key_F2 || (key >= Qt::Key_F4 && key <= Qt::Key_F12))
        return context.resultsShown ? KeyAction::PassOn : KeyAction::Swallow;

    if (key == Qt::Key_Tab && NoModifiers(facts)) {
        if (context.jobRunning || !context.resultsShown)
            return KeyAction::PassOn;
        return facts.focus == KeyFocus::FolderTree ? KeyAction::FocusFileList
                                                   : KeyAction::FocusFolderTree;
    }
    if (key == Qt::Key_Space && !facts.ctrl && !facts.alt && context.resultsShown &&
        (facts.focus == KeyFocus::FolderTree || facts.focus == KeyFocus::FileList)) {
        // Holding Space down would flip the mark back and forth with every repeat.
        if (facts.autoRepeat)
            return KeyAction::Swallow;
        return facts.focus == KeyFocus::FolderTree ? KeyAction::ToggleTreeMark
                                                   : KeyAction::ToggleListMark;
    }
    // Keep Qt's standard New, Open, Print and Save shortcuts from acting; plain letters are
    // type-ahead in the trees and the list.
    if (facts.ctrl && IsLetterOfFrameworkShortcut(key))
        return KeyAction::Swallow;
    return KeyAction::PassOn;
}
