#pragma once

#include "jobs/recovery/zip/zip_writer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The zip archive a recovery writes recovered files into: one archive for the whole recovery or
// one per file. Calling order: Open (or OpenFd) once; per file AddEntry, Write..., CloseEntry;
// then Close once. OpenWithRoot before AddEntry makes sure an archive is open, appending to an
// existing one when none is.
//
// No exception leaves this class: every failure is a false result with its text in LastError().
// A failure inside an entry cuts that entry off the archive (its bytes and its directory header)
// and leaves the archive open, so later entries can follow and Close still writes a directory
// that lists every entry completed before. Destroying an open archive closes the file without a
// directory.
//
// Threads: one archive is used by one thread at a time.
class CRecoveredZip {
public:
    // What the recovery knows of a found file. size decides whether the entry gets Zip64 fields
    // (an entry may not grow to 4 GiB past a smaller size given here). Attribute bit 0x10 makes
    // the entry a folder; 0x20 is an ordinary file.
    struct EntryInfo {
        uint64_t size = 0;
        uint8_t attributes = 0x20;
    };

    CRecoveredZip();
    virtual ~CRecoveredZip();
    CRecoveredZip(const CRecoveredZip&) = delete;
    CRecoveredZip& operator=(const CRecoveredZip&) = delete;

    // Creates (or truncates) the archive at path; the last component must not be a symlink.
    // False when an archive is open already (it stays open) or the file cannot be created.
    bool Open(const std::filesystem::path& path);
    // Makes an archive on fd, a regular file open for writing, which this object owns from now
    // on (it is closed when this fails). Whatever the file held is cut off. displayPath names
    // the archive in error texts. False when an archive is open already (it stays open).
    bool OpenFd(int fd, std::u16string displayPath);
    // True at once when an archive is open. Otherwise opens the existing archive at path to add
    // entries after the ones it holds; false, with the archive left closed, when the file cannot
    // be opened or is not an archive this writer can append to.
    bool OpenWithRoot(const std::filesystem::path& path);
    bool IsOpen() const;
    bool IsEntryOpen() const;
    // Entries in the archive's directory, the open one included.
    size_t EntryCount() const;

    // Starts an entry. name is the path relative to the recovery's root, folders separated by
    // backslashes (or slashes); a drive, leading separators and "." components are dropped and
    // ".." components renamed, so the entry extracts inside its folder. info null means size 0
    // and attribute 0x20. The entry is stamped with the current local time. False when no
    // archive is open, an entry is open already (it stays open), the name leaves nothing or is
    // longer than 65535 bytes, or the entry could not be started.
    bool AddEntry(std::u16string_view name, const EntryInfo* info = nullptr);
    // Adds bytes to the open entry. False when no entry is open, data is null with a length, or
    // the bytes could not be written (the entry is then cut off). Zero bytes are accepted.
    bool Write(const void* data, size_t length);
    // Finishes the open entry. False when none is open or it could not be finished (it is then
    // cut off).
    bool CloseEntry();
    // Finishes an open entry, writes the directory and the end records and closes the file.
    // False when the open entry could not be finished (it is left out, the rest is still
    // written) or the directory could not be written (the file is closed as it is). True when no
    // archive is open.
    bool Close();

    // The text of the last failure or refusal; empty when there was none.
    std::u16string LastError() const { return m_lastError; }

private:
    void Fail(std::u16string text);
    void FailWith(const std::exception& error);
    // After a failure inside an entry: cut it off and note the text.
    void CutEntry(const std::exception& error);

    CZipWriter m_writer;
    std::u16string m_path;
    std::u16string m_lastError;
};
