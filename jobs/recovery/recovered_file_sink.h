#pragma once

#include <cstddef>
#include <ctime>
#include <optional>

// One file being written at a recovery's destination. Every Write is checked: false when not
// every byte was written. Close reports whether the file was completed as written; after a
// failure the file stays as far as it got.
class RecoveredFileSink {
public:
    RecoveredFileSink() = default;
    virtual ~RecoveredFileSink();
    RecoveredFileSink(const RecoveredFileSink&) = delete;
    RecoveredFileSink& operator=(const RecoveredFileSink&) = delete;

    virtual bool Write(const void* data, size_t length) = 0;
    // Writes what the sink holds back, so that the file is as far as the writes went: before
    // the person is asked anything about it. False, as a failed write is, when that fails.
    virtual bool Flush() { return true; }
    // Sets the last-write time, and the last-access time when given (else leaves it). Only
    // local files keep times; other sinks ignore them. False when the times were not set.
    virtual bool SetTimes(const timespec& modified, const std::optional<timespec>& accessed) = 0;
    virtual bool Close() = 0;
    // Whether what was written before a failure stays at the destination (a file does; a zip
    // entry is cut off whole).
    virtual bool KeepsWrittenData() const { return true; }
};
