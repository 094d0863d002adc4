#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

// Writes a file the user named without ever leaving half of it under that name: the bytes go
// to a private temporary file in the target's folder (created exclusively, never through a
// link), and Commit flushes it and renames it into place. Without `replace`, Commit never
// replaces a file that exists by then and fails instead. A writer that was not committed
// removes its temporary file when it goes.
class ScanFileWriter {
public:
    ScanFileWriter() = default;
    ~ScanFileWriter();
    ScanFileWriter(const ScanFileWriter&) = delete;
    ScanFileWriter& operator=(const ScanFileWriter&) = delete;

    // Creates the temporary file beside `target` (mode 0644 less the umask); false (errno kept)
    // when it cannot be made, the folder included: it is not created. A writer opened again
    // first abandons what it had.
    bool Open(const std::filesystem::path& target);
    // The temporary file's descriptor, for writers that append by themselves; -1 before Open.
    int Descriptor() const { return m_fd; }
    // Appends all of `bytes`; false on any error or short write.
    bool Append(std::span<const uint8_t> bytes);
    // Writes `bytes` at `offset` (a field patched after the body is known).
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Flushes, closes and renames the temporary file to the target; false, with the temporary
    // removed and the target untouched, on any failure.
    bool Commit(bool replace);
    // Removes the temporary file.
    void Abandon();

private:
    // Closes the folder and the temporary file, if open, and forgets them.
    void Close();

    int m_fd = -1;
    // The target's folder: the temporary is made, renamed and removed relative to it, so a
    // folder renamed meanwhile cannot send any of it elsewhere.
    int m_folderFd = -1;
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
};
