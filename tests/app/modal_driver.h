#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Drives modal dialogs from inside their own event loop: once a modal window with the given
// object name is shown (any modal window for an empty name), `act` runs on it. A dialog still
// open some seconds later is closed and the test fails, so a broken answer never hangs the run.
inline void WhenModal(const QString& objectName, std::function<void(QWidget*)> act,
                      int attempts = 400) {
    QTimer::singleShot(10, [objectName, act, attempts] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal != nullptr && modal->isVisible() &&
                           (objectName.isEmpty() || modal->objectName() == objectName);
        if (!found) {
            if (attempts > 0) {
                WhenModal(objectName, act, attempts - 1);
            } else {
                ADD_FAILURE() << "no modal window " << objectName.toStdString() << " appeared";
            }
            return;
        }
        act(modal);
        QPointer<QWidget> guard(modal);
        QTimer::singleShot(5000, [guard] {
            if (guard != nullptr && guard->isVisible()) {
                ADD_FAILURE() << "modal window " << guard->objectName().toStdString()
                              << " stayed open";
                guard->close();
            }
        });
    });
}

// Clicks the button whose object name is `id` in the modal window `dialog`.
inline void ClickInModal(const QString& dialog, int id) {
    WhenModal(dialog, [id](QWidget* modal) {
        auto* button = modal->findChild<QAbstractButton*>(QString::number(id));
        ASSERT_NE(button, nullptr) << "no button " << id;
        button->click();
    });
}
