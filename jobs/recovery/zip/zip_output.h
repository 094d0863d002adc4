#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The file side of an archive: a POSIX descriptor that this object owns, and a write buffer of
// 65535 bytes in front of it. Positions are 64-bit and tracked here rather than in the
// descriptor (every write is positioned), so Position() is where the next buffered byte goes:
// the flushed position plus the bytes still waiting. Every failure, a short write included,
// throws CZipException with kFileError and the system's error number; reads that come up short
// throw kDamagedArchive.
class CZipOutput {
public:
    static constexpr size_t kBufferSize = 65535;

    CZipOutput();
    // Closes a still-open file, writing what waits in the buffer if it can.
    ~CZipOutput();
    CZipOutput(const CZipOutput&) = delete;
    CZipOutput& operator=(const CZipOutput&) = delete;

    // Takes ownership of fd (it is closed even when this throws) and starts at offset 0. The
    // descriptor must be open for writing and seekable; O_APPEND is cleared.
    void Open(int fd, std::u16string path);
    bool IsOpen() const { return m_fd >= 0; }
    // The path of the archive last opened, for messages.
    const std::u16string& Path() const { return m_path; }
    // -1 while closed, 0 once open: archives here have one volume.
    int DiskNumber() const { return m_fd >= 0 ? 0 : -1; }

    void Write(const void* data, size_t length);
    void Flush();
    uint64_t Position() const { return m_filePosition + m_pending; }
    // Flushes, then makes offset the position of the next write.
    void Seek(uint64_t offset);
    // Flushes, then writes the bytes at offset; the position stays.
    void WriteAt(uint64_t offset, const void* data, size_t length);
    // Reads exactly length bytes from offset (whatever is buffered is flushed first).
    void ReadAt(uint64_t offset, void* data, size_t length);
    uint64_t FileSize();
    // Flushes, then cuts the file to size.
    void Truncate(uint64_t size);
    // Drops buffered bytes, cuts the file to offset and writes on from there. Bytes waiting in
    // the buffer must all lie at or after offset (they belong to what is being dropped). False
    // when the file could not be cut; the position is offset in any case, so later writes go
    // over what stays.
    bool DiscardFrom(uint64_t offset) noexcept;

    // Flushes and closes. The descriptor is released even when this throws.
    void Close();
    // Closes without reporting: buffered bytes are written if they can be, errors are ignored.
    void Abandon() noexcept;

private:
    [[noreturn]] void ThrowFileError(uint32_t formatId, int error) const;
    void ReleaseDescriptor() noexcept;

    int m_fd = -1;
    std::u16string m_path;
    std::vector<uint8_t> m_buffer;
    size_t m_pending = 0;
    // Offset in the file of the first buffered byte; everything before it has been written.
    uint64_t m_filePosition = 0;
};
