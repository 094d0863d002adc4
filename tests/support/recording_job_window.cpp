#include "tests/support/recording_job_window.h"

#include <algorithm>
#include <utility>

intptr_t RecordingJobWindow::Send(JobMessage& message) {
    std::lock_guard sendLock(m_sendMutex);
    ChildItemsFiller filler;
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        if (MessageBoxRequest* request = message.Get<MessageBoxRequest>()) {
            if (!m_answers.empty()) {
                request->answer = m_answers.front();
                m_answers.pop_front();
            } else if (m_defaultAnswer) {
                request->answer = *m_defaultAnswer;
            }
        }
        filler = m_childItemsFiller;
        handler = m_handler;
    }
    // Callbacks run without the lock, so they may query this window.
    if (ChildItemsRequest* request = message.Get<ChildItemsRequest>(); request && filler) {
        filler(*request);
    }
    const intptr_t result = handler ? handler(message) : 0;
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message);
    }
    m_recorded.notify_all();
    return result;
}

void RecordingJobWindow::QueueAnswer(MessageBoxAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void RecordingJobWindow::QueueAnswers(std::initializer_list<MessageBoxAnswer> answers) {
    std::lock_guard lock(m_mutex);
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

void RecordingJobWindow::SetDefaultAnswer(MessageBoxAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_defaultAnswer = answer;
}

void RecordingJobWindow::SetChildItemsFiller(ChildItemsFiller filler) {
    std::lock_guard lock(m_mutex);
    m_childItemsFiller = std::move(filler);
}

void RecordingJobWindow::SetHandler(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<JobMessage> RecordingJobWindow::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<uint32_t> RecordingJobWindow::Ids() const {
    std::lock_guard lock(m_mutex);
    std::vector<uint32_t> ids;
    ids.reserve(m_messages.size());
    for (const JobMessage& message : m_messages) {
        ids.push_back(message.id);
    }
    return ids;
}

size_t RecordingJobWindow::CountLocked(uint32_t id) const {
    return static_cast<size_t>(
        std::count_if(m_messages.begin(), m_messages.end(),
                      [id](const JobMessage& message) { return message.id == id; }));
}

size_t RecordingJobWindow::Count(uint32_t id) const {
    std::lock_guard lock(m_mutex);
    return CountLocked(id);
}

size_t RecordingJobWindow::MalformedCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(
        std::count_if(m_messages.begin(), m_messages.end(),
                      [](const JobMessage& message) { return !HasExpectedPayload(message); }));
}

std::vector<RecordingJobWindow::LogLine> RecordingJobWindow::LogLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<LogLine> lines;
    for (const JobMessage& message : m_messages) {
        if (const LogLinePayload* line = message.Get<LogLinePayload>()) {
            lines.emplace_back(line->activity, line->description, line->status, line->image);
        }
    }
    return lines;
}

std::vector<MessageBoxRequest> RecordingJobWindow::MessageBoxes() const {
    std::lock_guard lock(m_mutex);
    std::vector<MessageBoxRequest> boxes;
    for (const JobMessage& message : m_messages) {
        if (const MessageBoxRequest* request = message.Get<MessageBoxRequest>()) {
            boxes.push_back(*request);
        }
    }
    return boxes;
}

std::optional<std::u16string> RecordingJobWindow::LastTitle() const {
    std::lock_guard lock(m_mutex);
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it) {
        if (const WindowTitleRequest* request = it->Get<WindowTitleRequest>()) {
            return request->title;
        }
    }
    return std::nullopt;
}

bool RecordingJobWindow::WaitForCount(uint32_t id, size_t count,
                                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_recorded.wait_for(lock, timeout, [&] { return CountLocked(id) >= count; });
}

void RecordingJobWindow::Clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_answers.clear();
    m_defaultAnswer.reset();
}
