#include "filesystems/signatures/signature_file.h"

#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_lists.h"
#include "platform/settings/atomic_file.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/string_table.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr size_t kRecordSize = FileSignatureSerializer::kSize;
constexpr uint64_t kMaxHeaderFileBytes = uint64_t{kMaxHeaderFileRecords} * kRecordSize;

enum class ReadOutcome {
    Missing,
    Failed,
    Read,
};

// Reads the whole records of the file at `path`, at most kMaxHeaderFileRecords of them;
// `truncated` tells whether the file held more than that. A trailing partial record is left out.
ReadOutcome ReadWholeRecords(const std::filesystem::path& path, std::vector<uint8_t>& out,
                             bool& truncated) {
    out.clear();
    truncated = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return ReadOutcome::Failed;
    }
    // One byte past the limit tells a file that holds more from one that ends there.
    const uint64_t wanted = std::min<uint64_t>(
        static_cast<uint64_t>(std::max<off_t>(0, status.st_size)), kMaxHeaderFileBytes + 1);
    std::vector<uint8_t> bytes;
    bool ok = true;
    try {
        bytes.resize(static_cast<size_t>(wanted));
    } catch (...) {
        ok = false;
    }
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ok = false;
        } else if (got == 0) {
            break; // shrank while being read: keep what was there
        } else {
            done += static_cast<size_t>(got);
        }
    }
    ::close(fd);
    if (!ok) {
        return ReadOutcome::Failed;
    }
    bytes.resize(done);
    if (bytes.size() > kMaxHeaderFileBytes) {
        truncated = true;
        bytes.resize(kMaxHeaderFileBytes);
    }
    bytes.resize(bytes.size() - bytes.size() % kRecordSize);
    out = std::move(bytes);
    return ReadOutcome::Read;
}

// The records a header file holds: the user's copy when there is one, else the delivered file.
ReadOutcome ReadCurrentRecords(const std::filesystem::path& dataFolder,
                               const std::filesystem::path& userFolder, std::vector<uint8_t>& out,
                               bool& truncated) {
    if (!userFolder.empty()) {
        const ReadOutcome user = ReadWholeRecords(HeaderFileIn(userFolder), out, truncated);
        if (user != ReadOutcome::Missing) {
            return user;
        }
    }
    if (dataFolder.empty()) {
        return ReadOutcome::Missing;
    }
    return ReadWholeRecords(HeaderFileIn(dataFolder), out, truncated);
}

// Replaces `target` with `bytes` atomically; on failure the old file is untouched.
bool ReplaceFile(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
    return ReplaceFileAtomically(target, bytes).Ok();
}

} // namespace

std::u16string_view FileGroupName(size_t index) {
    return index < kFileGroupNameIds.size() ? StringTable::Program().Get(kFileGroupNameIds[index])
                                            : std::u16string_view();
}

std::optional<uint8_t> FileGroupIndex(std::u16string_view name) {
    for (size_t i = 0; i < kFileGroupNameIds.size(); ++i) {
        if (FileGroupName(i) == name) {
            return static_cast<uint8_t>(i);
        }
    }
    return std::nullopt;
}

std::filesystem::path HeaderFileIn(const std::filesystem::path& folder) {
    return folder / kHeaderFileName;
}

bool LoadHeaderFile(std::vector<FileSignature>& list, const std::filesystem::path& dataFolder,
                    const std::filesystem::path& userFolder) {
    list.clear();
    try {
        std::vector<uint8_t> bytes;
        bool truncated = false;
        if (ReadCurrentRecords(dataFolder, userFolder, bytes, truncated) != ReadOutcome::Read) {
            return false;
        }
        list = ReadHeaderRecords(bytes);
        return true;
    } catch (...) {
        list.clear();
        return false;
    }
}

bool LoadHeaderFile(std::vector<FileSignature>& list) {
    return LoadHeaderFile(list, DataFolder(), UserFolder());
}

std::vector<FileSignature> ReadHeaderRecords(std::span<const uint8_t> bytes) {
    const size_t count = std::min(bytes.size() / kRecordSize, kMaxHeaderFileRecords);
    std::vector<FileSignature> records;
    records.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        FileSignature signature;
        if (!FileSignatureSerializer::Read(bytes.subspan(i * kRecordSize, kRecordSize),
                                           signature)) {
            break;
        }
        // Every known type starts selected; the stored byte is not honoured.
        signature.selected = true;
        records.push_back(std::move(signature));
    }
    return records;
}

bool AppendHeaderRecord(const FileSignature& record, std::vector<FileSignature>& userList,
                        const std::filesystem::path& dataFolder,
                        const std::filesystem::path& userFolder) {
    if (userFolder.empty()) {
        return false;
    }
    try {
        std::vector<uint8_t> bytes;
        bool truncated = false;
        const ReadOutcome outcome = ReadCurrentRecords(dataFolder, userFolder, bytes, truncated);
        // Appending after a cut would drop the records past the limit.
        if (outcome == ReadOutcome::Failed || truncated) {
            return false;
        }
        const size_t oldSize = bytes.size();
        bytes.resize(oldSize + kRecordSize, 0);
        FileSignatureSerializer::Write(record, std::span(bytes).subspan(oldSize));
        // Room first, so the list cannot fail to follow once the file has changed.
        if (!userList.empty()) {
            userList.reserve(userList.size() + 1);
        }
        if (!ReplaceFile(HeaderFileIn(userFolder), bytes)) {
            return false;
        }
        if (!userList.empty()) {
            userList.push_back(record);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool AppendHeaderRecord(const FileSignature& record, std::vector<FileSignature>& userList) {
    return AppendHeaderRecord(record, userList, DataFolder(), UserFolder());
}

bool RewriteHeaderFile(std::span<const FileSignature> userList,
                       const std::filesystem::path& userFolder) {
    if (userFolder.empty() || userList.size() > kMaxHeaderFileRecords) {
        return false;
    }
    try {
        std::vector<uint8_t> bytes(userList.size() * kRecordSize, 0);
        for (size_t i = 0; i < userList.size(); ++i) {
            FileSignatureSerializer::Write(userList[i],
                                           std::span(bytes).subspan(i * kRecordSize, kRecordSize));
        }
        return ReplaceFile(HeaderFileIn(userFolder), bytes);
    } catch (...) {
        return false;
    }
}

bool RewriteHeaderFile(std::span<const FileSignature> userList) {
    return RewriteHeaderFile(userList, UserFolder());
}

void SelectSignatures(SignatureLists& lists) {
    lists.active.clear();
    for (const FileSignature& signature : lists.user) {
        if (signature.selected) {
            lists.active.push_back(signature);
        }
    }
    lists.user.clear();
    lists.user.shrink_to_fit();
}

std::optional<FileSignature> MakeUserSignature(std::u16string_view softwareName,
                                               std::u16string_view extension, uint32_t matchOffset,
                                               std::span<const uint8_t> header, uint32_t sizeValue,
                                               bool sizeInKilobytes, uint8_t fileGroup) {
    const uint64_t unitBytes = sizeInKilobytes ? 1024 : 1024 * 1024;
    const uint64_t sizeBytes = uint64_t{sizeValue} * unitBytes;
    if (softwareName.empty() || softwareName.size() > FileSignature::kMaxTextUnits ||
        extension.size() > FileSignature::kMaxTextUnits || header.empty() ||
        header.size() > FileSignature::kMaxMatchLength ||
        matchOffset > FileSignature::kSectorSize ||
        header.size() > FileSignature::kSectorSize - matchOffset || sizeBytes == 0 ||
        sizeBytes > UINT32_MAX || fileGroup >= kFileGroupCount) {
        return std::nullopt;
    }
    FileSignature signature;
    signature.softwareName = std::u16string(softwareName);
    signature.extension = std::u16string(extension);
    signature.matchOffset = matchOffset;
    signature.matchLength = static_cast<uint8_t>(header.size());
    std::copy(header.begin(), header.end(), signature.header.begin());
    signature.selected = false;
    signature.companyDefined = false;
    signature.maxFileSize = static_cast<uint32_t>(sizeBytes);
    signature.sizeUnit =
        sizeInKilobytes ? FileSignature::kUnitKilobytes : FileSignature::kUnitMegabytes;
    signature.fileGroup = fileGroup;
    signature.finderKind = FileSignature::kFinderNone;
    return signature;
}
