#include "platform/ftp_client.h"

#include "platform/program_string.h"
#include "platform/utf_conversion.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr long kConnectTimeoutSeconds = 15;
// How long a command may wait for the server's reply before the server counts as gone.
constexpr long kReplyTimeoutSeconds = 60;
// A listing or reply slower than this for this long counts as a dead server.
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 60;
// An upload whose bytes stop moving for this long counts as a dead server. Longer than the reply
// timeout so that curl's own, more precise message wins when it applies. curl's low-speed check
// is not used for uploads: it also fires while the transfer waits, paused, for the caller's data.
constexpr auto kUploadStallTimeout = std::chrono::seconds(90);
constexpr int kPollMilliseconds = 250;
constexpr size_t kListingLimit = 64 * 1024 * 1024;
constexpr size_t kReplyLineLimit = 512;

constexpr long kReplyMakeFolderDone = 257;
constexpr long kReplyActionDone = 250;
constexpr long kReplyTransferDone = 226;
constexpr long kReplyNoSuchName = 550;

// What failed, by string id.
constexpr uint32_t kConnectToId = 62350;
constexpr uint32_t kConnectId = 62351;
constexpr uint32_t kListId = 62352;
constexpr uint32_t kListFolderId = 62353;
constexpr uint32_t kMakeFolderId = 62354;
constexpr uint32_t kMakeNamedFolderId = 62355;
constexpr uint32_t kLookForNameId = 62356;
constexpr uint32_t kLookForId = 62357;
constexpr uint32_t kUploadId = 62358;
constexpr uint32_t kUploadFileId = 62359;
constexpr uint32_t kWriteId = 62360;
constexpr uint32_t kFinishUploadId = 62361;
// Why it failed.
constexpr uint32_t kNotConnectedId = 62365;
constexpr uint32_t kUploadRunningId = 62366;
constexpr uint32_t kOutOfMemoryId = 62367;
constexpr uint32_t kListingTooLongId = 62368;
constexpr uint32_t kRefusedId = 62369;
constexpr uint32_t kServerRepliedId = 62370;
constexpr uint32_t kNoFileNameId = 62371;
constexpr uint32_t kTransferNotStartedId = 62372;
constexpr uint32_t kStoppedTakingDataId = 62373;
constexpr uint32_t kStoppedAnsweringId = 62374;
constexpr uint32_t kBadEndpointId = 62375;
constexpr uint32_t kNetworkLibraryId = 62376;
constexpr uint32_t kNoUploadRunningId = 62377;
constexpr uint32_t kNoDataId = 62378;
constexpr uint32_t kNoneRunningId = 62379;
constexpr uint32_t kEndedWithoutResultId = 62380;
// The action and the reason joined, and with the server's reply.
constexpr uint32_t kBecauseId = 62385;
constexpr uint32_t kBecauseWithReplyId = 62386;
constexpr uint32_t kPathLineBreakId = 62387;
constexpr uint32_t kPathDotsId = 62388;

// "<what>: <the reason of reasonId>".
std::string Because(std::string_view what, uint32_t reasonId) {
    return ProgramString8(kBecauseId, what, StringTable::Program().Get(reasonId));
}

// The error of an action that ran out of memory. Called from catch blocks, so it never throws:
// without the memory to say so the error stays empty.
void SetOutOfMemory(std::string& lastError, uint32_t actionId) noexcept {
    try {
        lastError = Because(ProgramString8(actionId), kOutOfMemoryId);
    } catch (...) {
        lastError.clear();
    }
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

bool HasLineBreakOrNul(std::u16string_view text) {
    return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
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

std::optional<uint16_t> ParsePort(std::u16string_view text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - u'0');
    }
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
               return lower(x) == lower(y);
           });
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct RawEntry {
    std::string name;
    bool isFolder = false;
};

bool IsDotName(std::string_view name) {
    return name == "." || name == "..";
}

// One line of an MLSD reply: "fact=value;fact=value; name". Facts hold no space, so the first
// space starts the name, which may hold spaces and semicolons of its own.
bool ParseMachineListLine(std::string_view line, RawEntry& entry) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) {
        return false;
    }
    std::string_view facts = line.substr(0, space);
    const std::string_view name = line.substr(space + 1);
    if (name.empty() || IsDotName(name)) {
        return false;
    }
    bool isFolder = false;
    while (!facts.empty()) {
        const size_t end = facts.find(';');
        const std::string_view fact = facts.substr(0, end);
        facts = (end == std::string_view::npos) ? std::string_view() : facts.substr(end + 1);
        const size_t equals = fact.find('=');
        if (equals == std::string_view::npos ||
            !EqualsIgnoringCase(fact.substr(0, equals), "type")) {
            continue;
        }
        const std::string_view type = fact.substr(equals + 1);
        if (EqualsIgnoringCase(type, "cdir") || EqualsIgnoringCase(type, "pdir")) {
            return false;
        }
        isFolder = EqualsIgnoringCase(type, "dir");
    }
    entry.name = std::string(name);
    entry.isFolder = isFolder;
    return true;
}

// Splits off the next run of non-blanks; the view is left just past it.
std::string_view NextToken(std::string_view& text) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    const size_t end = text.find(' ', start);
    const std::string_view token = text.substr(start, end - start);
    text = (end == std::string_view::npos) ? std::string_view() : text.substr(end);
    return token;
}

bool IsMonth(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    return std::any_of(kMonths.begin(), kMonths.end(),
                       [&](std::string_view month) { return EqualsIgnoringCase(token, month); });
}

// "drwxr-xr-x 2 owner group 4096 Jan 01 12:00 name" and its variants without the group or the
// link count: the name follows the month, day and time-or-year columns after one blank.
bool ParseUnixListLine(std::string_view line, RawEntry& entry) {
    if (line.size() < 10 || std::strchr("-dlbcps", line[0]) == nullptr) {
        return false;
    }
    std::string_view rest = line;
    constexpr int kMaxColumnsBeforeMonth = 6;
    for (int column = 0; column <= kMaxColumnsBeforeMonth && !rest.empty(); ++column) {
        const std::string_view token = NextToken(rest);
        if (column < 3 || !IsMonth(token)) {
            continue;
        }
        std::string_view after = rest;
        const std::string_view day = NextToken(after);
        const std::string_view timeOrYear = NextToken(after);
        if (!IsDigits(day) || day.size() > 2 || timeOrYear.empty() ||
            (timeOrYear.find(':') == std::string_view::npos && !IsDigits(timeOrYear))) {
            continue;
        }
        if (after.size() < 2 || after[0] != ' ') {
            return false;
        }
        std::string_view name = after.substr(1);
        const bool isLink = line[0] == 'l';
        if (isLink) {
            name = name.substr(0, name.find(" -> "));
        }
        if (name.empty() || IsDotName(name)) {
            return false;
        }
        entry.name = std::string(name);
        entry.isFolder = line[0] == 'd';
        return true;
    }
    return false;
}

// "01-31-24  10:08PM       <DIR>          name" or the same with a size instead of <DIR>.
bool ParseDosListLine(std::string_view line, RawEntry& entry) {
    std::string_view rest = line;
    const std::string_view date = NextToken(rest);
    const std::string_view time = NextToken(rest);
    const std::string_view kind = NextToken(rest);
    if (date.size() < 8 || date.find('-') == std::string_view::npos ||
        time.find(':') == std::string_view::npos || kind.empty()) {
        return false;
    }
    const bool isFolder = EqualsIgnoringCase(kind, "<DIR>");
    if (!isFolder && !IsDigits(kind)) {
        return false;
    }
    const size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return false;
    }
    const std::string_view name = rest.substr(start);
    if (IsDotName(name)) {
        return false;
    }
    entry.name = std::string(name);
    entry.isFolder = isFolder;
    return true;
}

template <typename LineParser>
std::vector<RawEntry> ParseListingLines(std::string_view text, LineParser parseLine) {
    std::vector<RawEntry> entries;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = (end == std::string_view::npos) ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        RawEntry entry;
        if (parseLine(line, entry)) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::vector<RawEntry> ParseListing(std::string_view text, FtpListingFormat format) {
    if (format == FtpListingFormat::Machine) {
        return ParseListingLines(text, ParseMachineListLine);
    }
    return ParseListingLines(text, [](std::string_view line, RawEntry& entry) {
        return ParseUnixListLine(line, entry) || ParseDosListLine(line, entry);
    });
}

std::vector<FtpListEntry> ToListEntries(const std::vector<RawEntry>& raw) {
    std::vector<FtpListEntry> entries;
    entries.reserve(raw.size());
    for (const RawEntry& entry : raw) {
        entries.push_back({Utf8ToUtf16(entry.name), entry.isFolder});
    }
    return entries;
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

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

std::optional<FtpEndpoint> FtpEndpoint::Parse(std::u16string_view server, std::u16string_view user,
                                              std::u16string_view password) {
    try {
        if (HasLineBreakOrNul(server) || HasLineBreakOrNul(user) || HasLineBreakOrNul(password)) {
            return std::nullopt;
        }
        std::u16string_view host = server;
        std::optional<uint16_t> port = kDefaultPort;
        if (!server.empty() && server.front() == u'[') {
            // An IPv6 address in brackets, which keeps its colons apart from the port's.
            const size_t close = server.find(u']');
            if (close == std::u16string_view::npos) {
                return std::nullopt;
            }
            host = server.substr(1, close - 1);
            const std::u16string_view rest = server.substr(close + 1);
            if (!rest.empty()) {
                if (rest.front() != u':') {
                    return std::nullopt;
                }
                port = ParsePort(rest.substr(1));
            }
        } else {
            const size_t colon = server.find(u':');
            // More than one colon is a bare IPv6 address, which has no room for a port.
            if (colon != std::u16string_view::npos &&
                server.find(u':', colon + 1) == std::u16string_view::npos) {
                host = server.substr(0, colon);
                port = ParsePort(server.substr(colon + 1));
            }
        }
        if (host.empty() || !port) {
            return std::nullopt;
        }
        FtpEndpoint endpoint;
        endpoint.host = Utf16ToUtf8(host);
        endpoint.port = *port;
        endpoint.user = Utf16ToUtf8(user);
        endpoint.password = Utf16ToUtf8(password);
        return endpoint;
    } catch (...) {
        return std::nullopt;
    }
}

struct FtpClient::Impl {
    ~Impl() { Close(); }

    // --- connection

    void Close();
    bool Open(const FtpEndpoint& target);
    FtpResult Ready(uint32_t actionId);

    // --- one request on the command handle

    std::string Url(const std::vector<std::string>& parts, bool folder);
    bool Prepare(const std::string& url, bool forUpload = false);
    bool SetQuote(CURLoption option, const std::string& command);
    CURLcode Run();
    long Reply() const;
    FtpResult Failure(CURLcode code, std::string_view what);
    FtpResult Refusal(std::string_view what);

    FtpResult SplitPath(std::u16string_view path, std::vector<std::string>& parts);
    // Ready, then the path split into its components: the start of every request.
    FtpResult ReadyFor(uint32_t actionId, std::u16string_view path,
                       std::vector<std::string>& parts) {
        const FtpResult ready = Ready(actionId);
        return ready != FtpResult::Ok ? ready : SplitPath(path, parts);
    }
    FtpResult ListRaw(const std::vector<std::string>& folder, std::vector<RawEntry>& entries);

    // --- the multi handle

    void Pump(int pollMilliseconds);
    FtpResult FinishUpload(std::string_view what);
    void DropUpload();

    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnReply(char* data, size_t size, size_t count, void* self);
    static size_t OnUploadRead(char* buffer, size_t size, size_t count, void* self);

    FtpEndpoint endpoint;
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    bool connected = false;
    // Learnt from the server's answers, so that each fallback costs one refusal per connection.
    bool listWithoutMlsd = false;
    bool existsWithoutMlst = false;

    std::unique_ptr<curl_slist, SlistDeleter> quote;
    std::string body;
    bool bodyTooLong = false;
    std::string lastReply;
    std::array<char, CURL_ERROR_SIZE> curlError{};
    std::string lastError;

    // The running transfer on the multi handle.
    bool inMulti = false;
    bool transferDone = false;
    CURLcode transferResult = CURLE_OK;
    long transferReply = 0;

    bool uploading = false;
    std::string uploadPath;
    const unsigned char* pending = nullptr;
    size_t pendingLength = 0;
    bool endOfData = false;
    bool readCalled = false;
};

void FtpClient::Impl::Close() {
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

bool FtpClient::Impl::Open(const FtpEndpoint& target) {
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
    if (!Prepare(Url({}, true)) || curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) != CURLE_OK) {
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

FtpResult FtpClient::Impl::Ready(uint32_t actionId) {
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
std::string FtpClient::Impl::Url(const std::vector<std::string>& parts, bool folder) {
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

bool FtpClient::Impl::Prepare(const std::string& url, bool forUpload) {
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
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnReply) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
    if (!endpoint.user.empty()) {
        ok = ok && curl_easy_setopt(easy, CURLOPT_USERNAME, endpoint.user.c_str()) == CURLE_OK;
        ok = ok && curl_easy_setopt(easy, CURLOPT_PASSWORD, endpoint.password.c_str()) == CURLE_OK;
    }
    return ok;
}

// A command sent after the request's CWD. The leading '*' keeps a refusal from failing the
// request (curl would then also drop the control connection); the reply code tells the outcome.
bool FtpClient::Impl::SetQuote(CURLoption option, const std::string& command) {
    quote.reset(curl_slist_append(nullptr, ("*" + command).c_str()));
    return quote != nullptr && curl_easy_setopt(easy, option, quote.get()) == CURLE_OK;
}

void FtpClient::Impl::Pump(int pollMilliseconds) {
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

CURLcode FtpClient::Impl::Run() {
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

long FtpClient::Impl::Reply() const {
    return transferReply;
}

FtpResult FtpClient::Impl::Failure(CURLcode code, std::string_view what) {
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

FtpResult FtpClient::Impl::Refusal(std::string_view what) {
    lastError = lastReply.empty()
                    ? Because(what, kRefusedId)
                    : ProgramString8(kBecauseId, what, ProgramString8(kServerRepliedId, lastReply));
    return FtpResult::Failed;
}

FtpResult FtpClient::Impl::SplitPath(std::u16string_view path, std::vector<std::string>& parts) {
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

FtpResult FtpClient::Impl::ListRaw(const std::vector<std::string>& folder,
                                   std::vector<RawEntry>& entries) {
    entries.clear();
    std::string shown = "/";
    for (const std::string& part : folder) {
        shown += part + "/";
    }
    const std::string what = ProgramString8(kListFolderId, shown);
    const std::string url = Url(folder, true);
    if (!listWithoutMlsd) {
        if (!Prepare(url) || curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "MLSD") != CURLE_OK) {
            lastError = Because(what, kOutOfMemoryId);
            return FtpResult::Failed;
        }
        const CURLcode code = Run();
        if (code == CURLE_OK) {
            entries = ParseListing(body, FtpListingFormat::Machine);
            return FtpResult::Ok;
        }
        const long reply = Reply();
        const bool unknownCommand = reply == 500 || reply == 502 || reply == 504;
        if (code != CURLE_FTP_COULDNT_RETR_FILE || !unknownCommand) {
            return Failure(code, what);
        }
        listWithoutMlsd = true;
    }
    if (!Prepare(url)) {
        lastError = Because(what, kOutOfMemoryId);
        return FtpResult::Failed;
    }
    const CURLcode code = Run();
    if (code != CURLE_OK) {
        return Failure(code, what);
    }
    entries = ParseListing(body, FtpListingFormat::Plain);
    return FtpResult::Ok;
}

FtpResult FtpClient::Impl::FinishUpload(std::string_view what) {
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

void FtpClient::Impl::DropUpload() {
    if (inMulti) {
        curl_multi_remove_handle(multi, easy);
        inMulti = false;
    }
    uploading = false;
    pending = nullptr;
    pendingLength = 0;
}

size_t FtpClient::Impl::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* impl = static_cast<Impl*>(self);
    const size_t length = size * count;
    if (length > kListingLimit - impl->body.size()) {
        impl->bodyTooLong = true;
        return 0;
    }
    try {
        impl->body.append(data, length);
    } catch (...) {
        return 0;
    }
    return length;
}

size_t FtpClient::Impl::OnReply(char* data, size_t size, size_t count, void* self) {
    auto* impl = static_cast<Impl*>(self);
    const size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    // Only the server's numbered reply lines; curl also passes made-up header lines.
    if (line.size() >= 3 && IsDigits(line.substr(0, 3))) {
        try {
            impl->lastReply.assign(line.substr(0, kReplyLineLimit));
        } catch (...) {
            impl->lastReply.clear();
        }
    }
    return length;
}

size_t FtpClient::Impl::OnUploadRead(char* buffer, size_t size, size_t count, void* self) {
    auto* impl = static_cast<Impl*>(self);
    impl->readCalled = true;
    if (impl->pendingLength == 0) {
        return impl->endOfData ? 0 : CURL_READFUNC_PAUSE;
    }
    const size_t length = std::min(size * count, impl->pendingLength);
    std::memcpy(buffer, impl->pending, length);
    impl->pending += length;
    impl->pendingLength -= length;
    return length;
}

std::vector<FtpListEntry> ParseFtpListing(std::string_view text, FtpListingFormat format) {
    return ToListEntries(ParseListing(text, format));
}

FtpClient::FtpClient() : m_impl(new (std::nothrow) Impl) {}

FtpClient::~FtpClient() = default;

bool FtpClient::Connect(const FtpEndpoint& endpoint) {
    if (!m_impl) {
        return false;
    }
    try {
        return m_impl->Open(endpoint);
    } catch (...) {
        m_impl->Close();
        return false;
    }
}

bool FtpClient::Connected() const {
    return m_impl && m_impl->connected;
}

void FtpClient::Disconnect() {
    if (m_impl) {
        m_impl->Close();
    }
}

FtpResult FtpClient::List(std::u16string_view folder, std::vector<FtpListEntry>& entries) {
    entries.clear();
    if (!m_impl) {
        return FtpResult::Failed;
    }
    try {
        Impl& impl = *m_impl;
        std::vector<std::string> parts;
        if (const FtpResult ready = impl.ReadyFor(kListId, folder, parts); ready != FtpResult::Ok) {
            return ready;
        }
        std::vector<RawEntry> raw;
        const FtpResult listed = impl.ListRaw(parts, raw);
        if (listed != FtpResult::Ok) {
            return listed;
        }
        entries = ToListEntries(raw);
        return FtpResult::Ok;
    } catch (...) {
        entries.clear();
        SetOutOfMemory(m_impl->lastError, kListId);
        return FtpResult::Failed;
    }
}

FtpResult FtpClient::MakeFolder(std::u16string_view path) {
    if (!m_impl) {
        return FtpResult::Failed;
    }
    try {
        Impl& impl = *m_impl;
        std::vector<std::string> parts;
        if (const FtpResult ready = impl.ReadyFor(kMakeFolderId, path, parts);
            ready != FtpResult::Ok) {
            return ready;
        }
        if (parts.empty()) {
            return FtpResult::Ok;
        }
        const std::string what = ProgramString8(kMakeNamedFolderId, path);
        const std::string name = parts.back();
        parts.pop_back();
        if (!impl.Prepare(impl.Url(parts, true)) ||
            curl_easy_setopt(impl.easy, CURLOPT_NOBODY, 1L) != CURLE_OK ||
            !impl.SetQuote(CURLOPT_POSTQUOTE, "MKD " + name)) {
            impl.lastError = Because(what, kOutOfMemoryId);
            return FtpResult::Failed;
        }
        CURLcode code = impl.Run();
        if (code != CURLE_OK) {
            return impl.Failure(code, what);
        }
        if (impl.Reply() == kReplyMakeFolderDone) {
            return FtpResult::Ok;
        }
        // Refused: fine when it is because a folder of that name is already there, which a
        // CWD into it shows.
        const std::string refusal = impl.lastReply;
        parts.push_back(name);
        if (!impl.Prepare(impl.Url(parts, true)) ||
            curl_easy_setopt(impl.easy, CURLOPT_NOBODY, 1L) != CURLE_OK) {
            impl.lastError = Because(what, kOutOfMemoryId);
            return FtpResult::Failed;
        }
        code = impl.Run();
        if (code == CURLE_OK) {
            return FtpResult::Ok;
        }
        const FtpResult result = impl.Failure(code, what);
        if (result == FtpResult::Failed) {
            impl.lastReply = refusal;
            return impl.Refusal(what);
        }
        return result;
    } catch (...) {
        SetOutOfMemory(m_impl->lastError, kMakeFolderId);
        return FtpResult::Failed;
    }
}

FtpResult FtpClient::Exists(std::u16string_view path, bool& exists) {
    exists = false;
    if (!m_impl) {
        return FtpResult::Failed;
    }
    try {
        Impl& impl = *m_impl;
        std::vector<std::string> parts;
        if (const FtpResult ready = impl.ReadyFor(kLookForNameId, path, parts);
            ready != FtpResult::Ok) {
            return ready;
        }
        if (parts.empty()) {
            exists = true;
            return FtpResult::Ok;
        }
        const std::string what = ProgramString8(kLookForId, path);
        const std::string name = parts.back();
        parts.pop_back();
        if (!impl.existsWithoutMlst) {
            // MLST asks about one name on the control connection: much cheaper than listing
            // a folder that fills up with recovered files.
            if (!impl.Prepare(impl.Url(parts, true)) ||
                curl_easy_setopt(impl.easy, CURLOPT_NOBODY, 1L) != CURLE_OK ||
                !impl.SetQuote(CURLOPT_POSTQUOTE, "MLST " + name)) {
                impl.lastError = Because(what, kOutOfMemoryId);
                return FtpResult::Failed;
            }
            const CURLcode code = impl.Run();
            if (code != CURLE_OK) {
                return impl.Failure(code, what);
            }
            const long reply = impl.Reply();
            if (reply == kReplyActionDone || reply == kReplyNoSuchName) {
                exists = reply == kReplyActionDone;
                return FtpResult::Ok;
            }
            if (reply == 500 || reply == 502 || reply == 504) {
                impl.existsWithoutMlst = true;
            }
        }
        std::vector<RawEntry> entries;
        const FtpResult listed = impl.ListRaw(parts, entries);
        if (listed != FtpResult::Ok) {
            return listed;
        }
        exists = std::any_of(entries.begin(), entries.end(),
                             [&](const RawEntry& entry) { return entry.name == name; });
        return FtpResult::Ok;
    } catch (...) {
        SetOutOfMemory(m_impl->lastError, kLookForNameId);
        return FtpResult::Failed;
    }
}

FtpResult FtpClient::BeginUpload(std::u16string_view path) {
    if (!m_impl) {
        return FtpResult::Failed;
    }
    try {
        Impl& impl = *m_impl;
        std::vector<std::string> parts;
        if (const FtpResult ready = impl.ReadyFor(kUploadId, path, parts); ready != FtpResult::Ok) {
            return ready;
        }
        impl.uploadPath = Utf16ToUtf8(path);
        const std::string what = ProgramString8(kUploadFileId, impl.uploadPath);
        if (parts.empty()) {
            impl.lastError = Because(what, kNoFileNameId);
            return FtpResult::Failed;
        }
        CURL* easy = impl.easy;
        if (!impl.Prepare(impl.Url(parts, false), true) ||
            curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Impl::OnUploadRead) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_READDATA, &impl) != CURLE_OK) {
            impl.lastError = Because(what, kOutOfMemoryId);
            return FtpResult::Failed;
        }
        impl.pending = nullptr;
        impl.pendingLength = 0;
        impl.endOfData = false;
        impl.readCalled = false;
        impl.transferDone = false;
        impl.transferResult = CURLE_OK;
        impl.transferReply = 0;
        if (curl_multi_add_handle(impl.multi, easy) != CURLM_OK) {
            impl.lastError = Because(what, kTransferNotStartedId);
            return FtpResult::Failed;
        }
        impl.inMulti = true;
        impl.uploading = true;
        // Up to the server's go-ahead for the data, so that a refused name fails here. curl's
        // connect and reply timeouts bound the wait.
        while (!impl.readCalled && !impl.transferDone) {
            impl.Pump(kPollMilliseconds);
        }
        if (impl.transferDone) {
            return impl.FinishUpload(what);
        }
        return FtpResult::Ok;
    } catch (...) {
        m_impl->DropUpload();
        SetOutOfMemory(m_impl->lastError, kUploadId);
        return FtpResult::Failed;
    }
}

FtpResult FtpClient::Write(const void* data, size_t length) {
    if (!m_impl) {
        return FtpResult::Failed;
    }
    try {
        Impl& impl = *m_impl;
        const std::string what = ProgramString8(kUploadFileId, impl.uploadPath);
        if (!impl.connected) {
            impl.DropUpload();
            impl.lastError = Because(what, kNotConnectedId);
            return FtpResult::ConnectionLost;
        }
        if (!impl.uploading) {
            impl.lastError = Because(ProgramString8(kWriteId), kNoUploadRunningId);
            return FtpResult::Failed;
        }
        if (impl.transferDone) {
            // Ended early, between two pieces.
            const FtpResult result = impl.FinishUpload(what);
            return result == FtpResult::Ok ? impl.Refusal(what) : result;
        }
        if (length == 0) {
            return FtpResult::Ok;
        }
        if (data == nullptr) {
            impl.lastError = Because(ProgramString8(kWriteId), kNoDataId);
            return FtpResult::Failed;
        }
        impl.pending = static_cast<const unsigned char*>(data);
        impl.pendingLength = length;
        curl_easy_pause(impl.easy, CURLPAUSE_CONT);
        auto lastProgress = std::chrono::steady_clock::now();
        size_t left = impl.pendingLength;
        while (impl.pendingLength > 0 && !impl.transferDone) {
            impl.Pump(kPollMilliseconds);
            const auto now = std::chrono::steady_clock::now();
            if (impl.pendingLength < left) {
                left = impl.pendingLength;
                lastProgress = now;
            } else if (now - lastProgress > kUploadStallTimeout) {
                impl.DropUpload();
                impl.connected = false;
                impl.lastError = Because(what, kStoppedTakingDataId);
                return FtpResult::ConnectionLost;
            }
        }
        // The caller's buffer is only lent for this call.
        impl.pending = nullptr;
        if (impl.pendingLength > 0 || (impl.transferDone && impl.transferResult != CURLE_OK)) {
            impl.pendingLength = 0;
            const FtpResult result = impl.FinishUpload(what);
            return result == FtpResult::Ok ? impl.Refusal(what) : result;
        }
        return FtpResult::Ok;
    } catch (...) {
        m_impl->DropUpload();
        SetOutOfMemory(m_impl->lastError, kUploadId);
        return FtpResult::Failed;
    }
}

FtpResult FtpClient::EndUpload() {
    if (!m_impl) {
        return FtpResult::Failed;
    }
    try {
        Impl& impl = *m_impl;
        const std::string what = ProgramString8(kUploadFileId, impl.uploadPath);
        if (!impl.connected) {
            impl.DropUpload();
            impl.lastError = Because(what, kNotConnectedId);
            return FtpResult::ConnectionLost;
        }
        if (!impl.uploading) {
            impl.lastError = Because(ProgramString8(kFinishUploadId), kNoneRunningId);
            return FtpResult::Failed;
        }
        impl.endOfData = true;
        curl_easy_pause(impl.easy, CURLPAUSE_CONT);
        auto lastProgress = std::chrono::steady_clock::now();
        curl_off_t sent = 0;
        while (!impl.transferDone) {
            impl.Pump(kPollMilliseconds);
            curl_off_t nowSent = 0;
            curl_easy_getinfo(impl.easy, CURLINFO_SIZE_UPLOAD_T, &nowSent);
            const auto now = std::chrono::steady_clock::now();
            if (nowSent != sent) {
                sent = nowSent;
                lastProgress = now;
            } else if (now - lastProgress > kUploadStallTimeout) {
                impl.DropUpload();
                impl.connected = false;
                impl.lastError = Because(what, kStoppedAnsweringId);
                return FtpResult::ConnectionLost;
            }
        }
        return impl.FinishUpload(what);
    } catch (...) {
        m_impl->DropUpload();
        SetOutOfMemory(m_impl->lastError, kUploadId);
        return FtpResult::Failed;
    }
}

void FtpClient::AbortUpload() {
    if (m_impl && m_impl->uploading) {
        m_impl->DropUpload();
    }
}

std::u16string FtpClient::LastError() const {
    if (!m_impl) {
        return ProgramString(kOutOfMemoryId);
    }
    try {
        return Utf8ToUtf16(m_impl->lastError);
    } catch (...) {
        return {};
    }
}
