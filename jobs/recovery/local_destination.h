#pragma once

#include "jobs/recovery/recovery_destination.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A recovery's destination in a local folder. Every step goes through descriptors of the folders
// entered (never the process's current directory), and no step follows a symbolic link below
// the root, so a link planted at the destination cannot send data elsewhere.
class LocalDestination : public RecoveryDestination {
public:
    // Opens the root folder, making it when it is missing (its parent must exist). Null with a
    // message in `error` when it cannot be opened or made.
    static std::unique_ptr<LocalDestination> Open(const std::filesystem::path& root,
                                                  std::u16string& error);
    ~LocalDestination() override;

    // A folder or a link of that name that is not a folder makes this fail.
    bool EnterFolder(const std::u16string& name) override;
    void LeaveFolder() override;
    // Anything of that name, a dangling link included.
    bool Exists(const std::u16string& name) override;
    // With `overwrite` an existing regular file is replaced by a new one (its other hard links
    // keep the old contents); anything else at the name fails.
    std::unique_ptr<RecoveredFileSink> CreateFile(const std::u16string& name,
                                                  bool overwrite) override;
    bool Lost() const override { return false; }
    std::u16string LastError() const override { return m_lastError; }

    // The same open as CreateFile, for writers that take a descriptor; the caller owns the
    // descriptor. -1 on failure (see LastError).
    int OpenFileDescriptor(const std::u16string& name, bool overwrite);
    // The descriptor of the folder entered last (the root at first); owned by this object.
    int CurrentFolder() const { return m_folders.back(); }

private:
    explicit LocalDestination(int rootFd);

    // The name as UTF-8, or empty with LastError set when it is not one plain path component.
    std::string ComponentName(const std::u16string& name);
    // Sets the last error from the format `formatId` with the name and the system's reason.
    void SetError(uint32_t formatId, const std::string& name, int error);

    // The root first; each folder entered after it.
    std::vector<int> m_folders;
    std::u16string m_lastError;
};
