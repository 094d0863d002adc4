#pragma once

#include "jobs/recovery/zip/zip_entry_header.h"
#include "jobs/recovery/zip/zip_records.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CZipOutput;

// The central directory of an archive: a copy of every entry's header in the order of the
// entries, and the totals of the end record. Writing it adds the Zip64 end record and its locator
// when the entry count, the directory's size or its offset do not fit the classic end record,
// whose overflowing fields then hold 0xFFFF or 0xFFFFFFFF.
class CZipDirectory {
public:
    static constexpr uint32_t kEndSignature = zip_records::kEndSignature;
    static constexpr uint32_t kZip64EndSignature = zip_records::kZip64EndSignature;
    static constexpr uint32_t kZip64LocatorSignature = zip_records::kZip64LocatorSignature;
    static constexpr size_t kEndRecordSize = zip_records::kEndRecordSize;
    static constexpr size_t kZip64EndRecordSize = zip_records::kZip64EndRecordSize;
    static constexpr size_t kZip64LocatorSize = zip_records::kZip64LocatorSize;
    static constexpr size_t kMaxCommentLength = zip_records::kMaxCommentLength;
    static constexpr uint64_t kMaxClassicEntries = 0xFFFF;

    // Names added later get forward slashes for backslashes.
    CZipDirectory();

    void Clear();
    // Adds a copy of the header of a new entry, which becomes the current one.
    void Add(const CZipEntryHeader& header);
    // The last added entry; null when there is none.
    CZipEntryHeader* Current();
    void RemoveCurrent();
    size_t Count() const { return m_headers.size(); }
    const CZipEntryHeader& At(size_t index) const { return m_headers.at(index); }
    // Offset and size of the directory last read or written.
    uint64_t Offset() const { return m_offset; }
    uint64_t Size() const { return m_size; }

    // Replaces the entries by the directory of the archive in file (its end record, Zip64 end
    // records when present, every central header). Throws CZipException kDamagedArchive for an
    // archive that has no end record, ends early, spans volumes, or whose counts, sizes and
    // offsets disagree.
    void Read(CZipOutput& file);
    // Writes every central header at the output's position, then the end records.
    void Write(CZipOutput& output);

private:
    [[noreturn]] void ThrowDamaged(const CZipOutput& file, uint32_t whyId) const;

    bool m_convertBackslashes = false;
    std::vector<CZipEntryHeader> m_headers;
    uint32_t m_thisDisk = 0;
    uint32_t m_directoryDisk = 0;
    uint64_t m_entriesOnDisk = 0;
    uint64_t m_totalEntries = 0;
    uint64_t m_size = 0;
    uint64_t m_offset = 0;
    std::vector<uint8_t> m_comment;
};
