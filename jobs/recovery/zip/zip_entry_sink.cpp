#include "jobs/recovery/zip/zip_entry_sink.h"

#include <utility>

ZipEntrySink::ZipEntrySink(CRecoveredZip& archive, std::unique_ptr<CRecoveredZip> owned)
    : m_archive(archive), m_owned(std::move(owned)) {}

std::unique_ptr<ZipEntrySink> ZipEntrySink::InArchive(CRecoveredZip& archive,
                                                      const std::u16string& entryName,
                                                      const CRecoveredZip::EntryInfo& info) {
    if (!archive.AddEntry(entryName, &info))
        return nullptr;
    return std::unique_ptr<ZipEntrySink>(new ZipEntrySink(archive, nullptr));
}

std::unique_ptr<ZipEntrySink> ZipEntrySink::OwnArchive(std::unique_ptr<CRecoveredZip> archive,
                                                       const std::u16string& entryName,
                                                       const CRecoveredZip::EntryInfo& info) {
    if (!archive || !archive->AddEntry(entryName, &info)) {
        if (archive)
            archive->Close();
        return nullptr;
    }
    CRecoveredZip& reference = *archive;
    return std::unique_ptr<ZipEntrySink>(new ZipEntrySink(reference, std::move(archive)));
}

ZipEntrySink::~ZipEntrySink() {
    if (!m_closed)
        Close();
}

bool ZipEntrySink::Write(const void* data, size_t length) {
    if (m_failed)
        return false;
    if (!m_archive.Write(data, length))
        m_failed = true;
    return !m_failed;
}

bool ZipEntrySink::SetTimes(const timespec&, const std::optional<timespec>&) {
    return true;
}

bool ZipEntrySink::Close() {
    if (m_closed)
        return !m_failed;
    m_closed = true;
    // A failed write cut the entry off already; CloseEntry then has nothing to finish.
    if (m_archive.IsEntryOpen() && !m_archive.CloseEntry())
        m_failed = true;
    if (m_owned && !m_owned->Close())
        m_failed = true;
    return !m_failed;
}
