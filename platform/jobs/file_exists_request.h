#pragma once

#include "platform/jobs/name_clash_decision.h"

#include <string>

// The question a recovery job asks when the name it is about to write exists at the
// destination. The job proposes a free name; the window shows the question on the GUI thread
// and writes the decision (and for Rename the name the user typed) before Send returns.
// Closing the question without a choice skips the file.
struct FileExistsRequest {
    std::u16string name;
    std::u16string proposal;
    NameClashDecision decision = NameClashDecision::Skip;
    std::u16string newName;
};
