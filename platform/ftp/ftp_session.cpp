#include "platform/ftp/ftp_session.h"

#include "platform/resources/program_string.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr long kConnectTimeoutSeconds = 15;
// How long a command may wait for the server's reply before the server counts as gone.
constexpr long kReplyTimeoutSeconds = 60;
// A listing or reply slower than this for this long counts as a dead server.
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 60;
constexpr size_t kListingLimit = 64 * 1024 * 1024;
constexpr size_t kReplyLineLimit = 512;

constexpr long kReplyTransferDone = 226;

// "<what>: <the reason of reasonId>".
std::string Because(std::string_view what, uint32_t reasonId) {
    return ProgramString8(kBecauseId, what, StringTable::Program().Get(reasonId));
}

std::once_flag g_curlInitOnce;
CURLcode g_curlInitResult = CURLE_FAILED_INIT;

bool InitCurl() {
    try {
        std::call_once(g_curlInitOnce,
                       [] { g_curlInitResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
    } catch (...) {
        return false;
    }
    return g_curlInitResult == CURLE_OK;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A host name goes into the URL as it is; anything that would end or bend the host part is
// refused.
bool IsUsableHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || std::strchr("/?#@\\[]%", c) != nullptr) {
            return false;
        }
    }
    return true;
}

// A numbered reply line of the server's; curl also passes made-up header lines.
bool IsReplyLine(std::string_view line) {
    return line.size() >= 3 &&
           std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; });
}

// Errors after which the server or the connection is gone rather than a request refused.
bool IsConnectionLoss(CURLcode code, long reply) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_WEIRD_PASS_REPLY:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_LOGIN_DENIED:
        return true;
    case CURLE_PARTIAL_FILE:
        // A server that answered the transfer with a refusal is still there.
        return reply < 400;
    default:
        return false;
    }
}

} // namespace

void FtpSession::Close() {
    if (easy != nullptr) {
        if (inMulti) {
            curl_multi_remove_handle(multi, easy);
        }
        curl_easy_cleanup(easy);
    }
    if (multi != nullptr) {
        curl_multi_cleanup(multi);
    }
    easy = nullptr;
    multi = nullptr;
    inMulti = false;
    uploading = false;
    pending = nullptr;
    pendingLength = 0;
    connected = false;
    quote.reset();
}

bool FtpSession::Open(const FtpEndpoint& target) {
    Close();
    listWithoutMlsd = false;
    existsWithoutMlst = false;
    if (HasLineBreakOrNul(target.host) || HasLineBreakOrNul(target.user) ||
        HasLineBreakOrNul(target.password) || !IsUsableHost(target.host) || target.port == 0) {
        lastError = Because(ProgramString8(kConnectId), kBadEndpointId);
        return false;
    }
    if (!InitCurl()) {
        lastError = Because(ProgramString8(kConnectId), kNetworkLibraryId);
        return false;
    }
    endpoint = target;
    multi = curl_multi_init();
    easy = curl_easy_init();
    if (multi == nullptr || easy == nullptr) {
        Close();
        lastError = Because(ProgramString8(kConnectId), kOutOfMemoryId);
        return false;
    }
    // A request without a transfer logs on; the control connection then stays in the multi
    // handle's cache for the requests that follow.
    if (!PrepareCommand({}, {})) {
        Close();
        lastError = Because(ProgramString8(kConnectId), kOutOfMemoryId);
        return false;
    }
    const CURLcode code = Run();
    if (code != CURLE_OK) {
        Failure(code, ProgramString8(kConnectToId, endpoint.host, endpoint.port));
        Close();
        return false;
    }
    connected = true;
    return true;
}

FtpResult FtpSession::Ready(uint32_t actionId) {
    if (!connected) {
        lastError = Because(ProgramString8(actionId), kNotConnectedId);
        return FtpResult::ConnectionLost;
    }
    if (uploading) {
        lastError = Because(ProgramString8(actionId), kUploadRunningId);
        return FtpResult::Failed;
    }
    return FtpResult::Ok;
}

// Paths count from the folder the server puts the user in at log-on, which is "/" on servers
// that keep users inside their own folder.
std::string FtpSession::Url(const std::vector<std::string>& parts, bool folder) {
    std::string url = "ftp://";
    if (endpoint.host.find(':') != std::string::npos) {
        url += "[" + endpoint.host + "]";
    } else {
        url += endpoint.host;
    }
    url += ":" + std::to_string(endpoint.port) + "/";
    for (size_t i = 0; i < parts.size(); ++i) {
        char* escaped = curl_easy_escape(easy, parts[i].data(), static_cast<int>(parts[i].size()));
        if (escaped == nullptr) {
            return {};
        }
        url += escaped;
        curl_free(escaped);
        if (folder || i + 1 < parts.size()) {
            url += '/';
        }
    }
    return url;
}

bool FtpSession::Prepare(const std::string& url, bool forUpload) {
    curl_easy_reset(easy);
    quote.reset();
    body.clear();
    bodyTooLong = false;
    lastReply.clear();
    curlError[0] = '\0';
    if (url.empty()) {
        return false;
    }
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK;
#if LIBCURL_VERSION_NUM >= 0x075500
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp") == CURLE_OK;
#endif
    ok = ok && curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError.data()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, kReplyTimeoutSeconds) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L) == CURLE_OK;
    if (!forUpload) {
        ok = ok &&
             curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond) == CURLE_OK;
        ok = ok && curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds) == CURLE_OK;
    }
    // Passive mode, and the data connection goes to the address of the control connection:
    // servers behind NAT often announce an address that cannot be reached.
    ok = ok && curl_easy_setopt(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &FtpSession::OnReply) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &FtpSession::OnBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
    if (!endpoint.user.empty()) {
        ok = ok && curl_easy_setopt(easy, CURLOPT_USERNAME, endpoint.user.c_str()) == CURLE_OK;
        ok = ok && curl_easy_setopt(easy, CURLOPT_PASSWORD, endpoint.password.c_str()) == CURLE_OK;
    }
    return ok;
}

bool FtpSession::PrepareCommand(const std::vector<std::string>& folder,
                                const std::string& command) {
    return Prepare(Url(folder, true)) && curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) == CURLE_OK &&
           (command.empty() || SetQuote(CURLOPT_POSTQUOTE, command));
}

// A command sent after the request's CWD. The leading '*' keeps a refusal from failing the
// request (curl would then also drop the control connection); the reply code tells the outcome.
bool FtpSession::SetQuote(CURLoption option, const std::string& command) {
    quote.reset(curl_slist_append(nullptr, ("*" + command).c_str()));
    return quote != nullptr && curl_easy_setopt(easy, option, quote.get()) == CURLE_OK;
}

void FtpSession::Pump(int pollMilliseconds) {
    int running = 0;
    const CURLMcode performed = curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
            transferDone = true;
            transferResult = message->data.result;
            long reply = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
            transferReply = reply;
        }
    }
    if (transferDone) {
        return;
    }
    if (performed != CURLM_OK || running == 0) {
        // The multi handle cannot go on, or lost the transfer without a word.
        transferDone = true;
        transferResult = CURLE_FAILED_INIT;
        const std::string reason = performed != CURLM_OK
                                       ? std::string(curl_multi_strerror(performed))
                                       : ProgramString8(kEndedWithoutResultId);
        std::snprintf(curlError.data(), curlError.size(), "%s", reason.c_str());
        return;
    }
    if (pollMilliseconds > 0) {
        curl_multi_poll(multi, nullptr, 0, pollMilliseconds, nullptr);
    }
}

CURLcode FtpSession::Run() {
    transferDone = false;
    transferResult = CURLE_OK;
    transferReply = 0;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    inMulti = true;
    // curl's connect, reply and low-speed timeouts bound this loop.
    while (!transferDone) {
        Pump(kPollMilliseconds);
    }
    curl_multi_remove_handle(multi, easy);
    inMulti = false;
    return transferResult;
}

long FtpSession::Reply() const {
    return transferReply;
}

FtpResult FtpSession::Fail(std::string_view what, uint32_t reasonId) {
    lastError = Because(what, reasonId);
    return FtpResult::Failed;
}

void FtpSession::SetOutOfMemory(uint32_t actionId) noexcept {
    try {
        lastError = Because(ProgramString8(actionId), kOutOfMemoryId);
    } catch (...) {
        lastError.clear();
    }
}

FtpResult FtpSession::Failure(CURLcode code, std::string_view what) {
    std::string detail = curlError[0] != '\0' ? std::string(curlError.data())
                                              : std::string(curl_easy_strerror(code));
    if (code == CURLE_WRITE_ERROR && bodyTooLong) {
        detail = ProgramString8(kListingTooLongId);
    }
    lastError = transferReply >= 400 && !lastReply.empty()
                    ? ProgramString8(kBecauseWithReplyId, what, detail, lastReply)
                    : ProgramString8(kBecauseId, what, detail);
    if (IsConnectionLoss(code, transferReply)) {
        connected = false;
        return FtpResult::ConnectionLost;
    }
    return FtpResult::Failed;
}

FtpResult FtpSession::Refusal(std::string_view what) {
    lastError = lastReply.empty()
                    ? Because(what, kRefusedId)
                    : ProgramString8(kBecauseId, what, ProgramString8(kServerRepliedId, lastReply));
    return FtpResult::Failed;
}

FtpResult FtpSession::ListRaw(const std::vector<std::string>& folder,
                              std::vector<FtpListedName>& entries) {
    entries.clear();
    std::string shown = "/";
    for (const std::string& part : folder) {
        shown += part + "/";
    }
    const std::string what = ProgramString8(kListFolderId, shown);
    const std::string url = Url(folder, true);
    if (!listWithoutMlsd) {
        if (!Prepare(url) || curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "MLSD") != CURLE_OK) {
            return OutOfMemory(what);
        }
        const CURLcode code = Run();
        if (code == CURLE_OK) {
            entries = ParseFtpListingNames(body, FtpListingFormat::Machine);
            return FtpResult::Ok;
        }
        if (code != CURLE_FTP_COULDNT_RETR_FILE || !IsUnknownCommand(Reply())) {
            return Failure(code, what);
        }
        listWithoutMlsd = true;
    }
    if (!Prepare(url)) {
        return OutOfMemory(what);
    }
    const CURLcode code = Run();
    if (code != CURLE_OK) {
        return Failure(code, what);
    }
    entries = ParseFtpListingNames(body, FtpListingFormat::Plain);
    return FtpResult::Ok;
}

FtpResult FtpSession::StartUpload(const std::vector<std::string>& parts, std::string_view what) {
    if (!Prepare(Url(parts, false), true) ||
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &FtpSession::OnUploadRead) != CURLE_OK ||
        curl_easy_setopt(easy, CURLOPT_READDATA, this) != CURLE_OK) {
        return OutOfMemory(what);
    }
    pending = nullptr;
    pendingLength = 0;
    endOfData = false;
    readCalled = false;
    transferDone = false;
    transferResult = CURLE_OK;
    transferReply = 0;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return Fail(what, kTransferNotStartedId);
    }
    inMulti = true;
    uploading = true;
    return FtpResult::Ok;
}

FtpResult FtpSession::UploadGoing(std::string_view what, uint32_t idleActionId,
                                  uint32_t idleReasonId) {
    if (!connected) {
        DropUpload();
        lastError = Because(what, kNotConnectedId);
        return FtpResult::ConnectionLost;
    }
    if (!uploading) {
        return Fail(ProgramString8(idleActionId), idleReasonId);
    }
    return FtpResult::Ok;
}

FtpResult FtpSession::Stalled(std::string_view what, uint32_t reasonId) {
    DropUpload();
    connected = false;
    lastError = Because(what, reasonId);
    return FtpResult::ConnectionLost;
}

void FtpSession::Resume() {
    curl_easy_pause(easy, CURLPAUSE_CONT);
}

uint64_t FtpSession::UploadedBytes() const {
    curl_off_t sent = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
    return sent < 0 ? 0 : static_cast<uint64_t>(sent);
}

FtpResult FtpSession::FinishUpload(std::string_view what) {
    const CURLcode code = transferResult;
    DropUpload();
    if (code != CURLE_OK) {
        return Failure(code, what);
    }
    if (transferReply != kReplyTransferDone && transferReply != kReplyActionDone) {
        return Refusal(what);
    }
    return FtpResult::Ok;
}

void FtpSession::DropUpload() {
    if (inMulti) {
        curl_multi_remove_handle(multi, easy);
        inMulti = false;
    }
    uploading = false;
    pending = nullptr;
    pendingLength = 0;
}

size_t FtpSession::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<FtpSession*>(self);
    const size_t length = size * count;
    if (length > kListingLimit - session->body.size()) {
        session->bodyTooLong = true;
        return 0;
    }
    try {
        session->body.append(data, length);
    } catch (...) {
        return 0;
    }
    return length;
}

size_t FtpSession::OnReply(char* data, size_t size, size_t count, void* self) {
    auto* session = static_cast<FtpSession*>(self);
    const size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (IsReplyLine(line)) {
        try {
            session->lastReply.assign(line.substr(0, kReplyLineLimit));
        } catch (...) {
            session->lastReply.clear();
        }
    }
    return length;
}

size_t FtpSession::OnUploadRead(char* buffer, size_t size, size_t count, void* self) {
    auto* session = static_cast<FtpSession*>(self);
    session->readCalled = true;
    if (session->pendingLength == 0) {
        return session->endOfData ? 0 : CURL_READFUNC_PAUSE;
    }
    const size_t length = std::min(size * count, session->pendingLength);
    std::memcpy(buffer, session->pending, length);
    session->pending += length;
    session->pendingLength -= length;
    return length;
}
