#pragma once

#include <string>

// The question a job asks when the scan-information file it is about to write exists: rename
// (to `newName`, a bare name or a path), overwrite, or cancel. The window shows it on the GUI
// thread and writes the answer before Send returns; closing it without a choice cancels.
struct ScanFileExistsRequest {
    enum class Answer {
        Cancel,
        Rename,
        Overwrite,
    };

    std::u16string path;
    Answer answer = Answer::Cancel;
    std::u16string newName;
};
