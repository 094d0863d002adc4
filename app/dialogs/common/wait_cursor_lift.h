#pragma once

#include <QApplication>

// While a modal window is up, no wait cursor: every override cursor is taken off for as long as
// the object lives and put back, as wait cursors, when it goes.
class WaitCursorLift {
public:
    WaitCursorLift() {
        while (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
            ++m_lifted;
        }
    }
    ~WaitCursorLift() {
        for (int i = 0; i < m_lifted; ++i)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    WaitCursorLift(const WaitCursorLift&) = delete;
    WaitCursorLift& operator=(const WaitCursorLift&) = delete;

private:
    int m_lifted = 0;
};
