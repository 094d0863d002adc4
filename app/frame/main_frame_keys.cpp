// The frame's keyboard: the keys aimed inside the window, decided by the key rules over the
// focused view.
#include "app/frame/main_frame.h"

#include "app/commands/command_ids.h"
#include "app/commands/key_decision.h"
#include "app/models/file_list_model.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/file_list_view.h"
#include "app/views/folder_tree_ctrl.h"
#include "jobs/scan/scan_state.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

KeyFocus CMainFrame::FocusOf(const QWidget* focus) const {
    if (focus == nullptr) {
        return KeyFocus::Other;
    }
    if (qobject_cast<const QLineEdit*>(focus) != nullptr || focus->inherits("QTextEdit") ||
        focus->inherits("QPlainTextEdit") || focus->inherits("QAbstractSpinBox")) {
        return KeyFocus::TextEditor;
    }
    if (focus == m_folderView) {
        return KeyFocus::FolderTree;
    }
    if (m_fileListView != nullptr &&
        (focus == m_fileListView || m_fileListView->isAncestorOf(focus))) {
        return KeyFocus::FileList;
    }
    if (focus == m_driveView) {
        return KeyFocus::DriveTree;
    }
    return KeyFocus::Other;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == m_fileListView) {
        FollowFileListSize();
    } else if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only keys aimed inside this window while no dialog is modal: message boxes and
        // dialogs keep their own keys.
        if (widget != nullptr && QApplication::activeModalWidget() == nullptr &&
            (widget == this || isAncestorOf(widget)) && widget->window() == this) {
            return HandleFrameKey(watched, static_cast<QKeyEvent*>(event));
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::HandleFrameKey(QObject* target, QKeyEvent* event) {
    KeyFacts facts;
    facts.key = event->key();
    facts.ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    facts.alt = (event->modifiers() & Qt::AltModifier) != 0;
    facts.shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    facts.autoRepeat = event->isAutoRepeat();
    // Keys arrive at the focus widget first; that is the widget the rules speak of.
    facts.focus = FocusOf(qobject_cast<QWidget*>(target));
    KeyContext context;
    context.resultsShown = m_state.resultsAvailable.load() && ShowsFolderTree();
    context.findDone = m_state.findDone.load();
    context.jobRunning = JobRunning();
    switch (DecideKey(facts, context)) {
    case KeyAction::PassOn:
        return false;
    case KeyAction::Swallow:
        return true;
    case KeyAction::FindNext:
        OnCommand(CommandId::kFindNext);
        return true;
    case KeyAction::OpenHelp:
        OpenHelpTopics();
        return true;
    case KeyAction::FocusFileList: {
        QAbstractItemView& list = m_fileListView->ShownView();
        list.setFocus(Qt::TabFocusReason);
        // The first time, the first row is chosen, so Space has a row to mark.
        if (!m_listRowChosen && m_fileListModel->rowCount() > 0) {
            list.setCurrentIndex(m_fileListModel->index(0, 0));
            m_listRowChosen = true;
        }
        return true;
    }
    case KeyAction::FocusFolderTree:
        m_folderView->setFocus(Qt::TabFocusReason);
        m_folderView->scrollTo(m_folderView->currentIndex(), QAbstractItemView::PositionAtTop);
        return true;
    case KeyAction::ToggleTreeMark:
    case KeyAction::ToggleListMark:
        // The focused view's own space key toggles its current item's mark, exactly as a
        // click on the check box does, and reports it.
        return false;
    }
    return false;
}
