#pragma once

#include "platform/jobs/job_window.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

// JobWindow over Qt. Send from a job thread queues the message to an object that lives on the
// GUI thread and blocks until the handler has run there; on the GUI thread it calls the
// handler directly. While a job waits in Send the GUI thread must keep processing events
// (a nested event loop of a dialog does), so it never waits on a job without doing so.
//
// Lifetime: made on the GUI thread; destroyed only after every job that may send to it has
// ended (the JobRunner has joined its thread).
class QtJobWindow : public JobWindow {
public:
    using Handler = std::function<intptr_t(JobMessage&)>;

    explicit QtJobWindow(Handler handler);
    ~QtJobWindow() override;

    intptr_t Send(JobMessage& message) override;

    // Whether the calling thread is the one the handler runs on.
    bool OnHandlerThread() const;

private:
    Handler m_handler;
    // Lives on the GUI thread; only the target of the queued calls.
    std::unique_ptr<QObject> m_receiver;
};
