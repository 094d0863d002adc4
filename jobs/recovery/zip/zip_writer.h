#pragma once

#include "jobs/recovery/zip/zip_directory.h"
#include "jobs/recovery/zip/zip_output.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Builds a single-volume zip archive on a file, entry by entry: each entry's local header, then
// its data deflated (raw deflate, no data descriptor; folders stored), then CRC and sizes patched
// into the local header. Close writes the central directory and the end records.
//
// Failures throw CZipException; refusals (no archive, wrong state, a name that leaves nothing)
// return false and change nothing. After a throw inside an entry the entry is still open and
// half written: AbandonEntry cuts it off so that the archive stays usable.
class CZipWriter {
public:
    static constexpr size_t kCompressionBufferSize = 16384;

    CZipWriter();
    // Closes an open archive without writing its directory.
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    // Starts an empty archive on fd, which this writer owns from now on (it is closed on
    // failure too). Whatever the file held is cut off.
    void Create(int fd, std::u16string path);
    // Opens the archive on fd (owned likewise, open for reading and writing) to add entries:
    // its directory is read, and new entries go where the old directory began.
    void OpenForAppend(int fd, std::u16string path);
    bool IsOpen() const { return m_output.IsOpen(); }
    bool IsEntryOpen() const { return m_entryState != 0; }
    size_t EntryCount() const { return m_directory.Count(); }

    // Starts an entry named after path (see CZipEntryHeader::EntryName). declaredSize is what
    // the caller expects to write; an entry of 0xFFFFFFFF bytes or more gets Zip64 fields. An
    // entry with attribute bit 0x10 is a folder, stored. False when no archive is open, an entry
    // is open already, or the name leaves nothing.
    bool AddEntry(std::u16string_view path, uint64_t declaredSize, uint32_t externalAttributes);
    // Adds bytes to the open entry; false when no entry is open or data is null.
    bool Write(const void* data, size_t length);
    // Finishes the open entry; false when none is open.
    bool CloseEntry();
    // Cuts the open entry off the archive: its header leaves the directory and the file is cut
    // back to where the entry began. False when the file could not be cut (later writes go over
    // the rest). True when no entry is open.
    bool AbandonEntry() noexcept;
    // Finishes an open entry, writes the directory and the end records, and closes the file. On
    // a throw the file is closed as it is. Does nothing when no archive is open.
    void Close();
    // Closes the file as it is, without a directory.
    void Abandon() noexcept;

private:
    void FlushCompressionBuffer();
    void CheckSizes() const;
    void EndStream() noexcept;
    [[noreturn]] void ThrowZlib(int result) const;

    CZipOutput m_output;
    CZipDirectory m_directory;
    z_stream m_stream{};
    bool m_streamActive = false;
    std::unique_ptr<uint8_t[]> m_compressionBuffer;
    uint32_t m_compressionPending = 0;
    // 0: no entry open, 1: an entry is open for writing.
    int m_entryState = 0;
    uint16_t m_method = 0;
    bool m_zip64 = false;
    uint32_t m_crc = 0;
    uint64_t m_compressedSize = 0;
    uint64_t m_uncompressedSize = 0;
    // Where the next entry, or the directory, starts: the end of the last complete entry.
    uint64_t m_dataEnd = 0;
};
