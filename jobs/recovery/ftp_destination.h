#pragma once

#include "jobs/recovery/recovery_destination.h"
#include "platform/ftp/ftp_client.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A recovery's destination in a folder on an FTP server, through a connected client that
// outlives it. The current folder is kept here as a path; the server's working directory is
// never changed.
class FtpDestination : public RecoveryDestination {
public:
    // Makes the root folder when it is missing (its parent must exist) and starts there. A root
    // without a leading "/" is taken from the server's top. Null with a message in `error` when
    // the root holds CR, LF or NUL or cannot be made.
    static std::unique_ptr<FtpDestination> Open(FtpClient& client, std::u16string_view root,
                                                std::u16string& error);

    bool EnterFolder(const std::u16string& name) override;
    void LeaveFolder() override;
    // False also when the server cannot say (see LastError).
    bool Exists(const std::u16string& name) override;
    // Without `overwrite`, fails when the server says the name exists or cannot say.
    std::unique_ptr<RecoveredFileSink> CreateFile(const std::u16string& name,
                                                  bool overwrite) override;
    // True once the connection is gone.
    bool Lost() const override;
    std::u16string LastError() const override { return m_lastError; }

    // The path of the folder entered last ("/backup/a/b").
    const std::u16string& CurrentPath() const { return m_paths.back(); }

private:
    FtpDestination(FtpClient& client, std::u16string root);

    // The path of `name` in the current folder, or empty with LastError set when the name is not
    // one plain path component.
    std::u16string ChildPath(const std::u16string& name);
    // Records a failed client call.
    void NoteFailure(FtpResult result);

    FtpClient& m_client;
    // The root first; each folder entered after it.
    std::vector<std::u16string> m_paths;
    bool m_lost = false;
    std::u16string m_lastError;
};
