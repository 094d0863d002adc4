#pragma once

#include "platform/devices/device_source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An open source, in one of three states, as the sector layer's callers pass it:
// none (the callee opens the device for the one call), invalid (an open failed) and open.
// The handle owns its descriptor; a ranged source keeps its first byte and limit so reads
// are relative to the partition and never pass its end. Never opened for writing.
class DeviceHandle {
public:
    enum class State {
        None,
        Invalid,
        Open,
    };

    DeviceHandle() = default;
    static DeviceHandle MakeInvalid();
    static DeviceHandle Open(const DeviceSource& source);
    // Opens an image or device file read-only as a whole.
    static DeviceHandle OpenPath(const std::string& path);
    // Why `path` cannot serve as a source, said of it ("does not exist", "is a folder", ...), or
    // empty when it opens read-only. Only files and devices qualify: a folder opens but reads
    // nothing, and a pipe would block the open.
    static std::string ProblemOpening(const std::string& path);

    DeviceHandle(DeviceHandle&& other) noexcept;
    DeviceHandle& operator=(DeviceHandle&& other) noexcept;
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;
    ~DeviceHandle();

    State GetState() const { return m_state; }
    bool IsOpen() const { return m_state == State::Open; }
    void Close();

    // Reads exactly `count` bytes at `offset` (relative to the source's first byte). A short
    // read, a read past the source's end, a read touching an unreadable sector of the source or
    // an overflow is a failure.
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const;

    // Size of the source in bytes (BLKGETSIZE64 for block devices, the file size for files,
    // the range for a ranged source); 0 when unknown.
    uint64_t SizeInBytes() const;

    int Descriptor() const { return m_fd; }

private:
    State m_state = State::None;
    int m_fd = -1;
    uint64_t m_firstByte = 0;
    uint64_t m_byteLimit = UINT64_MAX; // bytes available from m_firstByte
    // The source's unreadable sectors as byte ranges [begin, end) from m_firstByte.
    std::vector<std::pair<uint64_t, uint64_t>> m_unreadable;
};
