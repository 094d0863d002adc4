#include "filesystems/progress_bracket.h"

#include "filesystems/job_reporter.h"
#include "platform/jobs/job_messages.h"

ProgressBracket::ProgressBracket(const JobReporter& reporter, std::u16string label,
                                 uint32_t maximum, int bar)
    : m_reporter(reporter), m_selector(bar != 0 ? 1u : 0u) {
    m_reporter.Send(m_selector != 0 ? MakeCreateProgress2(std::move(label), maximum)
                                    : MakeCreateProgress(std::move(label), maximum));
}

ProgressBracket::~ProgressBracket() {
    m_reporter.Send(MakeDestroyProgress(m_selector));
}

void ProgressBracket::Step() const {
    m_reporter.Send(MakeStepProgress(m_selector));
}
