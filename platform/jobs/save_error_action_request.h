#pragma once

#include <string>

// The question a recovery job asks when the user asked to stop in the middle of a file: go on,
// finish this file and then stop, or stop now. Closing the question without a choice stops now.
struct SaveErrorActionRequest {
    enum class Answer {
        ContinueSaving = 0,
        SaveFileAndAbort = 1,
        AbortImmediately = 2,
    };
    std::u16string fileName;
    Answer answer = Answer::AbortImmediately;
};
