#include "jobs/recovery/recovered_zip.h"

#include "jobs/recovery/zip/zip_entry_header.h"
#include "jobs/recovery/zip/zip_exception.h"
#include "platform/text/format_text.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr mode_t kArchiveMode = 0644;

// The text of `formatId` with the archive's path and the system's reason for `error`.
std::u16string PathError(uint32_t formatId, const std::filesystem::path& path, int error) {
    return FormatText(StringTable::Program().Get(formatId), path.native(), std::strerror(error));
}

std::u16string PathText(const std::filesystem::path& path) {
    return Utf8ToUtf16(path.native());
}

} // namespace

CRecoveredZip::CRecoveredZip() = default;

CRecoveredZip::~CRecoveredZip() = default;

bool CRecoveredZip::Open(const std::filesystem::path& path) {
    if (m_writer.IsOpen()) {
        Fail(ProgramString(kArchiveOpenId));
        return false;
    }
    const int fd =
        ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, kArchiveMode);
    if (fd < 0) {
        Fail(PathError(kCannotCreateArchiveId, path, errno));
        return false;
    }
    return OpenFd(fd, PathText(path));
}

bool CRecoveredZip::OpenFd(int fd, std::u16string displayPath) {
    if (m_writer.IsOpen()) {
        if (fd >= 0)
            ::close(fd);
        Fail(ProgramString(kArchiveOpenId));
        return false;
    }
    if (fd < 0) {
        Fail(ProgramString(kNoFileId));
        return false;
    }
    try {
        m_writer.Create(fd, displayPath);
    } catch (const std::exception& error) {
        FailWith(error);
        return false;
    }
    m_path = std::move(displayPath);
    m_lastError.clear();
    return true;
}

bool CRecoveredZip::OpenWithRoot(const std::filesystem::path& path) {
    if (m_writer.IsOpen())
        return true;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Fail(PathError(kCannotOpenArchiveId, path, errno));
        return false;
    }
    try {
        m_writer.OpenForAppend(fd, PathText(path));
    } catch (const std::exception& error) {
        FailWith(error);
        return false;
    }
    m_path = PathText(path);
    m_lastError.clear();
    return true;
}

bool CRecoveredZip::IsOpen() const {
    return m_writer.IsOpen();
}

bool CRecoveredZip::IsEntryOpen() const {
    return m_writer.IsEntryOpen();
}

size_t CRecoveredZip::EntryCount() const {
    return m_writer.EntryCount();
}

bool CRecoveredZip::AddEntry(std::u16string_view name, const EntryInfo* info) {
    if (!m_writer.IsOpen()) {
        Fail(ProgramString(kNoArchiveId));
        return false;
    }
    if (m_writer.IsEntryOpen()) {
        Fail(ProgramString(kEntryOpenId));
        return false;
    }
    const uint64_t size = info != nullptr ? info->size : 0;
    const uint32_t attributes =
        info != nullptr ? info->attributes : CZipEntryHeader::kDefaultAttributes;
    try {
        if (m_writer.AddEntry(name, size, attributes))
            return true;
        Fail(FormatText(StringTable::Program().Get(kNoNameLeftId), name));
        return false;
    } catch (const std::exception& error) {
        CutEntry(error);
        return false;
    }
}

bool CRecoveredZip::Write(const void* data, size_t length) {
    if (!m_writer.IsEntryOpen()) {
        Fail(ProgramString(kNoEntryId));
        return false;
    }
    if (data == nullptr && length > 0) {
        Fail(ProgramString(kNoDataToWriteId));
        return false;
    }
    try {
        return m_writer.Write(data, length);
    } catch (const std::exception& error) {
        CutEntry(error);
        return false;
    }
}

bool CRecoveredZip::CloseEntry() {
    if (!m_writer.IsEntryOpen()) {
        Fail(ProgramString(kNoEntryId));
        return false;
    }
    try {
        return m_writer.CloseEntry();
    } catch (const std::exception& error) {
        CutEntry(error);
        return false;
    }
}

bool CRecoveredZip::Close() {
    if (!m_writer.IsOpen())
        return true;
    bool entryFinished = true;
    if (m_writer.IsEntryOpen())
        entryFinished = CloseEntry();
    try {
        m_writer.Close();
    } catch (const std::exception& error) {
        FailWith(error);
        return false;
    }
    return entryFinished;
}

void CRecoveredZip::Fail(std::u16string text) {
    m_lastError = std::move(text);
}

void CRecoveredZip::FailWith(const std::exception& error) {
    const auto* zipError = dynamic_cast<const CZipException*>(&error);
    const std::u16string& path =
        zipError != nullptr && !zipError->Path().empty() ? zipError->Path() : m_path;
    m_lastError = path.empty()
                      ? Utf8ToUtf16(error.what())
                      : FormatText(StringTable::Program().Get(kWithPathId), error.what(), path);
}

void CRecoveredZip::CutEntry(const std::exception& error) {
    FailWith(error);
    if (!m_writer.AbandonEntry())
        m_lastError = FormatText(StringTable::Program().Get(kNotCutOffId), m_lastError);
}
