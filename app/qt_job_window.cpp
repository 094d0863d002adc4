#include "app/qt_job_window.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <utility>

QtJobWindow::QtJobWindow(Handler handler)
    : m_handler(std::move(handler)), m_receiver(std::make_unique<QObject>()) {
    // Made before the application object in some tests: bind the receiver to the GUI thread.
    if (QCoreApplication::instance() != nullptr) {
        m_receiver->moveToThread(QCoreApplication::instance()->thread());
    }
}

QtJobWindow::~QtJobWindow() = default;

bool QtJobWindow::OnHandlerThread() const {
    return QThread::currentThread() == m_receiver->thread();
}

intptr_t QtJobWindow::Send(JobMessage& message) {
    if (!m_handler) {
        return 0;
    }
    if (OnHandlerThread()) {
        return m_handler(message);
    }
    intptr_t result = 0;
    // A handler never lets an exception out into the event loop.
    const bool delivered = QMetaObject::invokeMethod(
        m_receiver.get(),
        [this, &message]() -> intptr_t {
            try {
                return m_handler(message);
            } catch (...) {
                return 0;
            }
        },
        Qt::BlockingQueuedConnection, &result);
    return delivered ? result : 0;
}
