#pragma once

#include "jobs/recovery/recovered_file_sink.h"
#include "jobs/recovery/recovered_zip.h"

#include <memory>
#include <string>

// A recovered file written as one entry of a zip archive: an entry of the recovery's single
// archive, or the only entry of an archive of its own, which the sink then owns and closes.
// Zip entries keep the time they were written; the file's own times are not kept.
class ZipEntrySink : public RecoveredFileSink {
public:
    // Starts the entry; null when the archive refuses it.
    static std::unique_ptr<ZipEntrySink> InArchive(CRecoveredZip& archive,
                                                   const std::u16string& entryName,
                                                   const CRecoveredZip::EntryInfo& info);
    static std::unique_ptr<ZipEntrySink> OwnArchive(std::unique_ptr<CRecoveredZip> archive,
                                                    const std::u16string& entryName,
                                                    const CRecoveredZip::EntryInfo& info);
    ~ZipEntrySink() override;

    bool Write(const void* data, size_t length) override;
    bool SetTimes(const timespec& modified, const std::optional<timespec>& accessed) override;
    bool Close() override;
    bool KeepsWrittenData() const override { return false; }

private:
    ZipEntrySink(CRecoveredZip& archive, std::unique_ptr<CRecoveredZip> owned);

    CRecoveredZip& m_archive;
    std::unique_ptr<CRecoveredZip> m_owned;
    bool m_failed = false;
    bool m_closed = false;
};
