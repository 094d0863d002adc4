#include "jobs/recovery/ftp_destination.h"

#include "jobs/recovery/ftp_file_sink.h"
#include "jobs/recovery/recovered_name.h"
#include "platform/text/format_text.h"
#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

namespace {

std::u16string NormalisedRoot(std::u16string_view root) {
    std::u16string path(root);
    if (path.empty() || path.front() != u'/')
        path.insert(path.begin(), u'/');
    while (path.size() > 1 && path.back() == u'/')
        path.pop_back();
    return path;
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
    return folder == u"/" ? folder + name : folder + u'/' + name;
}

} // namespace

std::unique_ptr<FtpDestination> FtpDestination::Open(FtpClient& client, std::u16string_view root,
                                                     std::u16string& error) {
    error.clear();
    if (NameHasLineBreakOrNul(root)) {
        error = ProgramString(kLineBreakFolderId);
        return nullptr;
    }
    std::u16string path = NormalisedRoot(root);
    if (path != u"/") {
        const FtpResult made = client.MakeFolder(path);
        if (made != FtpResult::Ok) {
            error = FormatText(StringTable::Program().Get(kCannotMakeServerFolderId), path,
                               client.LastError());
            return nullptr;
        }
    }
    return std::unique_ptr<FtpDestination>(new FtpDestination(client, std::move(path)));
}

FtpDestination::FtpDestination(FtpClient& client, std::u16string root)
    : m_client(client), m_paths{std::move(root)} {}

std::u16string FtpDestination::ChildPath(const std::u16string& name) {
    // A backslash separates folders on some servers, so it is refused as well as "/".
    if (name.empty() || name == u"." || name == u".." || NameHasLineBreakOrNul(name) ||
        name.find_first_of(u"/\\") != std::u16string::npos) {
        m_lastError = FormatText(StringTable::Program().Get(kUnusableServerNameId), name);
        return {};
    }
    return JoinPath(CurrentPath(), name);
}

void FtpDestination::NoteFailure(FtpResult result) {
    if (result == FtpResult::ConnectionLost)
        m_lost = true;
    m_lastError = m_client.LastError();
}

bool FtpDestination::EnterFolder(const std::u16string& name) {
    std::u16string path = ChildPath(name);
    if (path.empty())
        return false;
    const FtpResult made = m_client.MakeFolder(path);
    if (made != FtpResult::Ok) {
        NoteFailure(made);
        return false;
    }
    m_paths.push_back(std::move(path));
    return true;
}

void FtpDestination::LeaveFolder() {
    if (m_paths.size() > 1)
        m_paths.pop_back();
}

bool FtpDestination::Exists(const std::u16string& name) {
    const std::u16string path = ChildPath(name);
    if (path.empty())
        return false;
    bool exists = false;
    const FtpResult asked = m_client.Exists(path, exists);
    if (asked != FtpResult::Ok) {
        NoteFailure(asked);
        return false;
    }
    return exists;
}

std::unique_ptr<RecoveredFileSink> FtpDestination::CreateFile(const std::u16string& name,
                                                              bool overwrite) {
    const std::u16string path = ChildPath(name);
    if (path.empty())
        return nullptr;
    // An upload replaces what is there, so without overwrite the name is checked first.
    if (!overwrite) {
        bool exists = true;
        const FtpResult asked = m_client.Exists(path, exists);
        if (asked != FtpResult::Ok) {
            NoteFailure(asked);
            return nullptr;
        }
        if (exists) {
            m_lastError = FormatText(StringTable::Program().Get(kAlreadyExistsId), path);
            return nullptr;
        }
    }
    const FtpResult begun = m_client.BeginUpload(path);
    if (begun != FtpResult::Ok) {
        NoteFailure(begun);
        return nullptr;
    }
    return std::make_unique<FtpFileSink>(m_client);
}

bool FtpDestination::Lost() const {
    return m_lost || !m_client.Connected();
}
