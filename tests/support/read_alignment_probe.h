#pragma once

#include <cstddef>
#include <cstdint>

// Watches every pread(2) of the test process while it is alive: how many reads of at least
// `largeBytes` went into memory that starts on a page boundary and how many did not. The
// kernel's copy into a buffer a few bytes past a page boundary is several times slower, so
// large reads must land on aligned memory. Linking this file replaces the process's pread with
// one that counts and then reads as the system does. One probe at a time.
class ReadAlignmentProbe {
public:
    explicit ReadAlignmentProbe(size_t largeBytes = 64 * 1024);
    ~ReadAlignmentProbe();
    ReadAlignmentProbe(const ReadAlignmentProbe&) = delete;
    ReadAlignmentProbe& operator=(const ReadAlignmentProbe&) = delete;

    uint64_t AlignedLargeReads() const;
    uint64_t UnalignedLargeReads() const;
    // The size of the largest unaligned large read, 0 when none.
    size_t LargestUnaligned() const;
};
