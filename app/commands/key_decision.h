#pragma once

#include <cstdint>

// The frame's keyboard rules as a pure decision, so they are tested without windows. The frame
// asks only for keys aimed inside its own window while no modal dialog is active; message
// boxes, dialogs and the find dialog keep their own keys.
enum class KeyFocus {
    FolderTree,
    FileList,
    DriveTree,
    // A line editor (a rename in the tree or the list, any text box) has the focus: it gets
    // every key.
    TextEditor,
    Other,
};

struct KeyFacts {
    // A Qt::Key value.
    int key = 0;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
    // Auto-repeated key-down.
    bool autoRepeat = false;
    KeyFocus focus = KeyFocus::Other;
};

struct KeyContext {
    bool resultsShown = false;
    bool findDone = false;
    bool jobRunning = false;
};

enum class KeyAction {
    // The key goes on to the widget it was aimed at.
    PassOn,
    // The key is dropped.
    Swallow,
    FindNext,
    OpenHelp,
    // Tab: the focus moves to the file list or back to the folder tree.
    FocusFileList,
    FocusFolderTree,
    // Space: the focused item's mark toggles.
    ToggleTreeMark,
    ToggleListMark,
};

// An editor gets every key. Elsewhere: Escape is dropped, and Return and Enter too unless the
// file list has the focus (it opens a folder row); F1 opens the help; F3 runs Find Next once a
// find has run over shown results; F2 and F4 to F12 are dropped while no results are shown;
// Tab without modifiers moves between the folder tree and the file list while results are
// shown and no job runs; Space marks the focused tree item or list row while results are shown
// (a held-down Space marks once); Ctrl with N, O, P or S is dropped. Everything else passes on.
KeyAction DecideKey(const KeyFacts& facts, const KeyContext& context);
