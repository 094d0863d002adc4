#pragma once

#include "jobs/recovery/recovered_file_sink.h"

#include <memory>
#include <string>

// Where a recovery writes: a local folder or a folder on an FTP server. The recovery walks the
// found tree by entering and leaving one folder at a time; names are single path components
// already made safe by SanitiseRecoveredName. Nothing is ever written outside the root.
class RecoveryDestination {
public:
    RecoveryDestination() = default;
    virtual ~RecoveryDestination();
    RecoveryDestination(const RecoveryDestination&) = delete;
    RecoveryDestination& operator=(const RecoveryDestination&) = delete;

    // Makes the folder in the current one (an existing folder is fine) and enters it.
    virtual bool EnterFolder(const std::u16string& name) = 0;
    // Back to the parent of the current folder; nothing at the root.
    virtual void LeaveFolder() = 0;
    // Whether anything of that name exists in the current folder.
    virtual bool Exists(const std::u16string& name) = 0;
    // Creates the file in the current folder; without `overwrite` an existing name fails.
    // Null on failure (see LastError).
    virtual std::unique_ptr<RecoveredFileSink> CreateFile(const std::u16string& name,
                                                          bool overwrite) = 0;
    // Whether the destination is gone for good (an FTP connection lost).
    virtual bool Lost() const = 0;
    virtual std::u16string LastError() const = 0;
};
