#pragma once

#include "platform/ftp/ftp_endpoint.h"
#include "platform/ftp/ftp_listing.h"
#include "platform/ftp/ftp_result.h"
#include "resources/string_ids.h"

#include <curl/curl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The libcurl side of FtpClient: one easy handle run on a multi handle, whose connection cache
// keeps the control connection from one request to the next, and the state of the one streamed
// upload. Every request starts with Prepare, which resets the handle and what the last request
// left. Failures are kept in words (UTF-8) in lastError.
//
// Thread: used by the thread that uses its client.
class FtpSession {
public:
    static constexpr long kReplyActionDone = 250;
    static constexpr long kReplyMakeFolderDone = 257;
    static constexpr long kReplyNoSuchName = 550;
    // How long one turn of a wait on the multi handle sleeps at most.
    static constexpr int kPollMilliseconds = 250;

    FtpSession() = default;
    ~FtpSession() { Close(); }
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // --- connection

    void Close();
    bool Open(const FtpEndpoint& target);
    // Ok when connected with no upload running; else the failure of `actionId` in lastError.
    FtpResult Ready(uint32_t actionId);

    // --- failures

    // "<what>: <the reason of reasonId>" in lastError.
    FtpResult Fail(std::string_view what, uint32_t reasonId);
    FtpResult OutOfMemory(std::string_view what) { return Fail(what, kOutOfMemoryId); }
    // The error of an action that ran out of memory. Called from catch blocks, so it never
    // throws: without the memory to say so the error stays empty.
    void SetOutOfMemory(uint32_t actionId) noexcept;
    // The failure of the last request by curl's code, with the server's reply when it refused.
    FtpResult Failure(CURLcode code, std::string_view what);
    // The server refused with a success code of curl's: the reply says why.
    FtpResult Refusal(std::string_view what);
    // Servers answer a command they do not know with one of these.
    static bool IsUnknownCommand(long reply) {
        return reply == 500 || reply == 502 || reply == 504;
    }

    // --- one request on the command handle

    std::string Url(const std::vector<std::string>& parts, bool folder);
    bool Prepare(const std::string& url, bool forUpload = false);
    // A request without a transfer into `folder`, then `command` unless it is empty.
    bool PrepareCommand(const std::vector<std::string>& folder, const std::string& command);
    bool SetQuote(CURLoption option, const std::string& command);
    CURLcode Run();
    long Reply() const;
    FtpResult ListRaw(const std::vector<std::string>& folder, std::vector<FtpListedName>& entries);

    // --- the upload on the multi handle

    // Up to the multi handle: the transfer waits, paused, for the first piece.
    FtpResult StartUpload(const std::vector<std::string>& parts, std::string_view what);
    // Ok while an upload runs; when the connection is gone the upload is dropped as well.
    FtpResult UploadGoing(std::string_view what, uint32_t idleActionId, uint32_t idleReasonId);
    // The upload stopped moving: it is dropped, and the connection counts as gone.
    FtpResult Stalled(std::string_view what, uint32_t reasonId);
    void Resume();
    uint64_t UploadedBytes() const;
    void Pump(int pollMilliseconds);
    FtpResult FinishUpload(std::string_view what);
    void DropUpload();

    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnReply(char* data, size_t size, size_t count, void* self);
    static size_t OnUploadRead(char* buffer, size_t size, size_t count, void* self);

    struct SlistDeleter {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };

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
