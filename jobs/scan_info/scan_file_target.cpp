#include "jobs/scan_info/scan_file_target.h"

#include <system_error>

namespace {

// Any entry counts, a dangling link or a folder included: the question is whether the name is
// taken. An entry that cannot be looked at is left to the writer, which never replaces without
// Overwrite.
bool NameTaken(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    return !error && std::filesystem::exists(status);
}

} // namespace

std::optional<ScanFileTarget> ScanFileTarget::Resolve(const std::filesystem::path& chosen,
                                                      const Ask& ask) {
    if (chosen.empty()) {
        return std::nullopt;
    }
    std::filesystem::path path = chosen;
    for (int asked = 0; NameTaken(path); ++asked) {
        if (asked == kMaxQuestions || !ask) {
            return std::nullopt;
        }
        std::u16string newName;
        switch (ask(path, newName)) {
        case ScanFileExistsRequest::Answer::Cancel:
            return std::nullopt;
        case ScanFileExistsRequest::Answer::Overwrite:
            return ScanFileTarget{path, true};
        case ScanFileExistsRequest::Answer::Rename:
            break;
        }
        if (newName.empty()) {
            return std::nullopt;
        }
        const std::filesystem::path renamed(newName);
        path = renamed.has_parent_path() ? renamed : path.parent_path() / renamed;
    }
    return ScanFileTarget{path, false};
}
