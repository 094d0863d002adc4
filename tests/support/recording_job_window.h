#pragma once

#include "platform/jobs/job_window.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

// A window for tests: handles messages one at a time, as the GUI thread does, and keeps a copy
// of each after handling, so the copy shows what the handler wrote back. Message boxes take
// the scripted answers in order; with none left, the default answer, or without one the
// request's dismiss answer. Safe to use from job threads and the test thread at once.
class RecordingJobWindow : public JobWindow {
public:
    using LogLine = std::tuple<std::u16string, std::u16string, std::u16string, int>;
    using ChildItemsFiller = std::function<void(ChildItemsRequest&)>;
    using Handler = std::function<intptr_t(JobMessage&)>;

    intptr_t Send(JobMessage& message) override;

    void QueueAnswer(MessageBoxAnswer answer);
    void QueueAnswers(std::initializer_list<MessageBoxAnswer> answers);
    void SetDefaultAnswer(MessageBoxAnswer answer);
    // Fills WM_GET_CHILD_ITEMS results.
    void SetChildItemsFiller(ChildItemsFiller filler);
    // Runs for every message after the built-in answers; its result is Send's.
    void SetHandler(Handler handler);

    std::vector<JobMessage> Messages() const;
    std::vector<uint32_t> Ids() const;
    size_t Count(uint32_t id) const;
    // Messages whose payload is not the kind their id carries.
    size_t MalformedCount() const;
    std::vector<LogLine> LogLines() const;
    // The message boxes asked, each with the answer it got.
    std::vector<MessageBoxRequest> MessageBoxes() const;
    std::optional<std::u16string> LastTitle() const;
    // Waits until at least `count` messages with this id were handled.
    bool WaitForCount(uint32_t id, size_t count, std::chrono::milliseconds timeout) const;
    void Clear();

private:
    size_t CountLocked(uint32_t id) const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_recorded;
    // Recursive so that a handler may itself send, as a GUI handler may.
    std::recursive_mutex m_sendMutex;
    std::vector<JobMessage> m_messages;
    std::deque<MessageBoxAnswer> m_answers;
    std::optional<MessageBoxAnswer> m_defaultAnswer;
    ChildItemsFiller m_childItemsFiller;
    Handler m_handler;
};
