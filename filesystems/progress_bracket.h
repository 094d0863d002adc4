#pragma once

#include <cstdint>
#include <string>

class JobReporter;

// A status-bar progress bar for the length of one pass: made when the bracket is made and
// removed when it goes, by whatever path the pass leaves. Bar 0 or bar 1 (the second bar,
// beside the first).
class ProgressBracket {
public:
    ProgressBracket(const JobReporter& reporter, std::u16string label, uint32_t maximum,
                    int bar = 0);
    ~ProgressBracket();
    ProgressBracket(const ProgressBracket&) = delete;
    ProgressBracket& operator=(const ProgressBracket&) = delete;

    void Step() const;

private:
    const JobReporter& m_reporter;
    uint32_t m_selector;
};
