#include "platform/ftp/ftp_client.h"

#include "platform/ftp/ftp_session.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace {

// An upload whose bytes stop moving for this long counts as a dead server. Longer than the reply
// timeout so that curl's own, more precise message wins when it applies. curl's low-speed check
// is not used for uploads: it also fires while the transfer waits, paused, for the caller's data.
constexpr auto kUploadStallTimeout = std::chrono::seconds(90);

bool HasLineBreakOrNul(std::u16string_view text) {
    return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

// The components of an absolute path, UTF-8; "." and ".." are refused rather than left to the
// server.
FtpResult SplitPath(std::u16string_view path, std::vector<std::string>& parts,
                    std::string& lastError) {
    parts.clear();
    const std::u16string_view whole = path;
    if (HasLineBreakOrNul(path)) {
        lastError = ProgramString8(kPathLineBreakId);
        return FtpResult::Failed;
    }
    while (!path.empty()) {
        const size_t slash = path.find(u'/');
        const std::u16string_view part = path.substr(0, slash);
        path =
            (slash == std::u16string_view::npos) ? std::u16string_view() : path.substr(slash + 1);
        if (part.empty()) {
            continue;
        }
        if (part == u"." || part == u"..") {
            lastError = ProgramString8(kPathDotsId, whole);
            return FtpResult::Failed;
        }
        parts.push_back(Utf16ToUtf8(part));
    }
    return FtpResult::Ok;
}

// What a request that threw leaves of the running upload.
enum class OnThrow {
    KeepUpload,
    DropUpload,
};

// Every request of the client runs through here: without a session (it could not be made) the
// request fails, and an exception, which only running out of memory throws, becomes a failure
// of `actionId` rather than leaving the client.
template <typename Request>
FtpResult Guarded(FtpSession* session, uint32_t actionId, OnThrow onThrow,
                  Request&& request) noexcept {
    if (session == nullptr) {
        return FtpResult::Failed;
    }
    try {
        return request(*session);
    } catch (...) {
        if (onThrow == OnThrow::DropUpload) {
            session->DropUpload();
        }
        session->SetOutOfMemory(actionId);
        return FtpResult::Failed;
    }
}

// A guarded request on a path, which starts only when the session is connected with no upload
// running and the path splits into its components.
template <typename Request>
FtpResult GuardedOnPath(FtpSession* session, uint32_t actionId, std::u16string_view path,
                        OnThrow onThrow, Request&& request) noexcept {
    return Guarded(session, actionId, onThrow, [&](FtpSession& ready) {
        std::vector<std::string> parts;
        FtpResult result = ready.Ready(actionId);
        if (result == FtpResult::Ok) {
            result = SplitPath(path, parts, ready.lastError);
        }
        return result == FtpResult::Ok ? request(ready, parts) : result;
    });
}

} // namespace

FtpClient::FtpClient() : m_session(new (std::nothrow) FtpSession) {}

FtpClient::~FtpClient() = default;

bool FtpClient::Connect(const FtpEndpoint& endpoint) {
    if (!m_session) {
        return false;
    }
    try {
        return m_session->Open(endpoint);
    } catch (...) {
        m_session->Close();
        return false;
    }
}

bool FtpClient::Connected() const {
    return m_session && m_session->connected;
}

void FtpClient::Disconnect() {
    if (m_session) {
        m_session->Close();
    }
}

FtpResult FtpClient::List(std::u16string_view folder, std::vector<FtpListEntry>& entries) {
    entries.clear();
    return GuardedOnPath(m_session.get(), kCannotListId, folder, OnThrow::KeepUpload,
                         [&](FtpSession& session, const std::vector<std::string>& parts) {
                             std::vector<FtpListedName> names;
                             const FtpResult listed = session.ListRaw(parts, names);
                             if (listed != FtpResult::Ok) {
                                 return listed;
                             }
                             entries = ToFtpListEntries(names);
                             return FtpResult::Ok;
                         });
}

FtpResult FtpClient::MakeFolder(std::u16string_view path) {
    return GuardedOnPath(m_session.get(), kMakeFolderId, path, OnThrow::KeepUpload,
                         [&](FtpSession& session, std::vector<std::string>& parts) {
                             if (parts.empty()) {
                                 return FtpResult::Ok;
                             }
                             const std::string what = ProgramString8(kMakeNamedFolderId, path);
                             const std::string name = parts.back();
                             parts.pop_back();
                             if (!session.PrepareCommand(parts, "MKD " + name)) {
                                 return session.OutOfMemory(what);
                             }
                             CURLcode code = session.Run();
                             if (code != CURLE_OK) {
                                 return session.Failure(code, what);
                             }
                             if (session.Reply() == FtpSession::kReplyMakeFolderDone) {
                                 return FtpResult::Ok;
                             }
                             // Refused: fine when it is because a folder of that name is already
                             // there, which a CWD into it shows.
                             const std::string refusal = session.lastReply;
                             parts.push_back(name);
                             if (!session.PrepareCommand(parts, {})) {
                                 return session.OutOfMemory(what);
                             }
                             code = session.Run();
                             if (code == CURLE_OK) {
                                 return FtpResult::Ok;
                             }
                             const FtpResult result = session.Failure(code, what);
                             if (result == FtpResult::Failed) {
                                 session.lastReply = refusal;
                                 return session.Refusal(what);
                             }
                             return result;
                         });
}

FtpResult FtpClient::Exists(std::u16string_view path, bool& exists) {
    exists = false;
    return GuardedOnPath(m_session.get(), kLookForNameId, path, OnThrow::KeepUpload,
                         [&](FtpSession& session, std::vector<std::string>& parts) {
                             if (parts.empty()) {
                                 exists = true;
                                 return FtpResult::Ok;
                             }
                             const std::string what = ProgramString8(kLookForId, path);
                             const std::string name = parts.back();
                             parts.pop_back();
                             if (!session.existsWithoutMlst) {
                                 // MLST asks about one name on the control connection: much cheaper
                                 // than listing a folder that fills up with recovered files.
                                 if (!session.PrepareCommand(parts, "MLST " + name)) {
                                     return session.OutOfMemory(what);
                                 }
                                 const CURLcode code = session.Run();
                                 if (code != CURLE_OK) {
                                     return session.Failure(code, what);
                                 }
                                 const long reply = session.Reply();
                                 if (reply == FtpSession::kReplyActionDone ||
                                     reply == FtpSession::kReplyNoSuchName) {
                                     exists = reply == FtpSession::kReplyActionDone;
                                     return FtpResult::Ok;
                                 }
                                 if (FtpSession::IsUnknownCommand(reply)) {
                                     session.existsWithoutMlst = true;
                                 }
                             }
                             std::vector<FtpListedName> names;
                             const FtpResult listed = session.ListRaw(parts, names);
                             if (listed != FtpResult::Ok) {
                                 return listed;
                             }
                             exists = std::any_of(
                                 names.begin(), names.end(),
                                 [&](const FtpListedName& entry) { return entry.name == name; });
                             return FtpResult::Ok;
                         });
}

FtpResult FtpClient::BeginUpload(std::u16string_view path) {
    return GuardedOnPath(m_session.get(), kUploadId, path, OnThrow::DropUpload,
                         [&](FtpSession& session, const std::vector<std::string>& parts) {
                             session.uploadPath = Utf16ToUtf8(path);
                             const std::string what =
                                 ProgramString8(kUploadFileId, session.uploadPath);
                             if (parts.empty()) {
                                 return session.Fail(what, kNoFileNameId);
                             }
                             if (const FtpResult started = session.StartUpload(parts, what);
                                 started != FtpResult::Ok) {
                                 return started;
                             }
                             // Up to the server's go-ahead for the data, so that a refused name
                             // fails here. curl's connect and reply timeouts bound the wait.
                             while (!session.readCalled && !session.transferDone) {
                                 session.Pump(FtpSession::kPollMilliseconds);
                             }
                             if (session.transferDone) {
                                 return session.FinishUpload(what);
                             }
                             return FtpResult::Ok;
                         });
}

FtpResult FtpClient::Write(const void* data, size_t length) {
    return Guarded(m_session.get(), kUploadId, OnThrow::DropUpload, [&](FtpSession& session) {
        const std::string what = ProgramString8(kUploadFileId, session.uploadPath);
        if (const FtpResult going = session.UploadGoing(what, kWriteId, kNoUploadRunningId);
            going != FtpResult::Ok) {
            return going;
        }
        if (session.transferDone) {
            // Ended early, between two pieces.
            const FtpResult result = session.FinishUpload(what);
            return result == FtpResult::Ok ? session.Refusal(what) : result;
        }
        if (length == 0) {
            return FtpResult::Ok;
        }
        if (data == nullptr) {
            return session.Fail(ProgramString8(kWriteId), kFtpNoDataId);
        }
        session.pending = static_cast<const unsigned char*>(data);
        session.pendingLength = length;
        session.Resume();
        auto lastProgress = std::chrono::steady_clock::now();
        size_t left = session.pendingLength;
        while (session.pendingLength > 0 && !session.transferDone) {
            session.Pump(FtpSession::kPollMilliseconds);
            const auto now = std::chrono::steady_clock::now();
            if (session.pendingLength < left) {
                left = session.pendingLength;
                lastProgress = now;
            } else if (now - lastProgress > kUploadStallTimeout) {
                return session.Stalled(what, kStoppedTakingDataId);
            }
        }
        // The caller's buffer is only lent for this call.
        session.pending = nullptr;
        if (session.pendingLength > 0 ||
            (session.transferDone && session.transferResult != CURLE_OK)) {
            session.pendingLength = 0;
            const FtpResult result = session.FinishUpload(what);
            return result == FtpResult::Ok ? session.Refusal(what) : result;
        }
        return FtpResult::Ok;
    });
}

FtpResult FtpClient::EndUpload() {
    return Guarded(m_session.get(), kUploadId, OnThrow::DropUpload, [&](FtpSession& session) {
        const std::string what = ProgramString8(kUploadFileId, session.uploadPath);
        if (const FtpResult going = session.UploadGoing(what, kFinishUploadId, kNoneRunningId);
            going != FtpResult::Ok) {
            return going;
        }
        session.endOfData = true;
        session.Resume();
        auto lastProgress = std::chrono::steady_clock::now();
        uint64_t sent = 0;
        while (!session.transferDone) {
            session.Pump(FtpSession::kPollMilliseconds);
            const uint64_t nowSent = session.UploadedBytes();
            const auto now = std::chrono::steady_clock::now();
            if (nowSent != sent) {
                sent = nowSent;
                lastProgress = now;
            } else if (now - lastProgress > kUploadStallTimeout) {
                return session.Stalled(what, kStoppedAnsweringId);
            }
        }
        return session.FinishUpload(what);
    });
}

void FtpClient::AbortUpload() {
    if (m_session && m_session->uploading) {
        m_session->DropUpload();
    }
}

std::u16string FtpClient::LastError() const {
    if (!m_session) {
        return ProgramString(kOutOfMemoryId);
    }
    try {
        return Utf8ToUtf16(m_session->lastError);
    } catch (...) {
        return {};
    }
}
