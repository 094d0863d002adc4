#pragma once

#include "platform/jobs/scan_file_exists_request.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Where a scan-information file is written when the chosen name may exist already. The user
// is asked while the name in hand exists: Cancel ends the save; Rename takes the new name (a
// bare name lies in the existing file's folder) and asks again if that exists too; Overwrite
// keeps the name and is the only answer that lets the file be replaced.
struct ScanFileTarget {
    std::filesystem::path path;
    bool replace = false;

    // The question, asked with the existing path; it returns the answer and, for Rename, the
    // name the user gave.
    using Ask = std::function<ScanFileExistsRequest::Answer(const std::filesystem::path& existing,
                                                            std::u16string& newName)>;

    // nullopt when the user cancelled, gave an empty name, or kept renaming to existing names
    // more than kMaxQuestions times.
    static std::optional<ScanFileTarget> Resolve(const std::filesystem::path& chosen,
                                                 const Ask& ask);
    static constexpr int kMaxQuestions = 100;
};
