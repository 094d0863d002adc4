#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

// Replacing a file the program rewrites (settings, the user's header file) so that a reader
// sees either the whole old file or the whole new one: the bytes go to a temporary file in the
// same folder, are flushed to disk, and the temporary is renamed over the target; the rename is
// then flushed too. A missing folder is created. On any failure the target is as it was and no
// temporary is left behind.
//
// Nothing is ever written through a link: the temporary is created exclusively and without
// following links, and a target that exists but is no regular file (a link, a folder, a device)
// is refused, not replaced. A new file is private (0600); a replaced one keeps its mode.

// The step that failed, and errno there.
struct AtomicReplaceResult {
    enum class Step {
        None,
        Folder, // making or opening the folder
        Target, // no file name, or the target is not a regular file
        Create, // creating the temporary
        Write,  // writing, giving the mode, or closing the temporary
        Sync,   // flushing the temporary to disk
        Rename, // renaming it over the target
    };

    Step failed = Step::None;
    int error = 0;

    bool Ok() const { return failed == Step::None; }
    explicit operator bool() const { return Ok(); }
};

AtomicReplaceResult ReplaceFileAtomically(const std::filesystem::path& target,
                                          std::span<const uint8_t> bytes);
AtomicReplaceResult ReplaceFileAtomically(const std::filesystem::path& target,
                                          std::string_view text);
