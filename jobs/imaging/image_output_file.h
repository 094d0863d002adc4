#pragma once

#include "jobs/recovery/descriptor_write_buffer.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// The disk-image file the imaging job writes. The window has asked before an existing file is
// replaced; this only makes sure that what it replaces is a plain file and not the source: it
// opens without following a link and without emptying the file, refuses anything but a regular
// file and the source's own file, and only then empties it. New files get mode 0644 (less the
// umask). Writes are gathered into blocks of at least a mebibyte; Close writes what waits. Every
// write is whole or a failure, and so is the close. The descriptor is closed with the object at
// the latest.
class ImageOutputFile {
public:
    enum class Outcome {
        Created,
        // Cannot be opened, is no regular file or cannot be emptied; Error() says why.
        CannotOpen,
        // The same file as the source: it is left as it was.
        IsTheSource,
    };

    ImageOutputFile() = default;
    ~ImageOutputFile();
    ImageOutputFile(const ImageOutputFile&) = delete;
    ImageOutputFile& operator=(const ImageOutputFile&) = delete;

    // `sourcePath` is the file or device the sectors come from (empty: none to compare with).
    Outcome Create(const std::filesystem::path& path, const std::string& sourcePath);

    bool Write(std::span<const uint8_t> bytes);
    // Writes what waits, then closes the file; false when either fails or the system reports
    // that written data was lost.
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }
    // The system's error number of the last failure.
    int Error() const { return m_error; }

private:
    bool Failed();

    int m_fd = -1;
    int m_error = 0;
    DescriptorWriteBuffer m_pending;
};
