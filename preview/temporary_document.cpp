#include "preview/temporary_document.h"

#include "filesystems/recovered_file_data.h"
#include "platform/devices/descriptor_writes.h"
#include "preview/office_kind.h"
#include "preview/private_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kGateBytes = 7;

} // namespace

std::unique_ptr<TemporaryDocument> TemporaryDocument::Create(std::string_view extension) {
    // The extension comes from a found name: it must stay one component.
    if (extension.find('/') != std::string_view::npos ||
        extension.find('\0') != std::string_view::npos || extension.size() > 200) {
        return nullptr;
    }
    const std::optional<std::filesystem::path> folder = MakePrivateFolder("morwick-preview");
    if (!folder) {
        return nullptr;
    }
    std::filesystem::path path = *folder / (std::string(kStem) + "." + std::string(extension));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        RemovePrivateFolder(*folder);
        return nullptr;
    }
    return std::unique_ptr<TemporaryDocument>(new TemporaryDocument(*folder, std::move(path), fd));
}

TemporaryDocument::TemporaryDocument(std::filesystem::path folder, std::filesystem::path path,
                                     int fd)
    : m_folder(std::move(folder)), m_path(std::move(path)), m_fd(fd) {}

TemporaryDocument::~TemporaryDocument() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    // A viewer may have made it read-only; it is ours to empty and delete.
    ::chmod(m_path.c_str(), 0600);
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
    }
    ::unlink(m_path.c_str());
    RemovePrivateFolder(m_folder);
}

bool TemporaryDocument::Write(RecoveredFileData& data, bool compoundGate) {
    if (m_fd < 0) {
        return false;
    }
    bool first = true;
    bool written = true;
    RecoveredFileData::Piece piece;
    while (data.Next(piece)) {
        if (first && compoundGate &&
            !StartsWithCompoundSignature(std::span(piece.data, piece.length), kGateBytes)) {
            break;
        }
        first = false;
        if (piece.length > 0 && !WriteAllBytes(m_fd, std::span(piece.data, piece.length))) {
            written = false;
            break;
        }
    }
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    return written && closed;
}
