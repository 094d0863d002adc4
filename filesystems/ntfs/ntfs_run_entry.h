#pragma once

#include <cstdint>

// One run of an NTFS run list as decoded: its length in sectors and its offset field as
// stored (not sign-extended). The first run of a list ('S') holds an absolute cluster number;
// every later run ('M') a signed delta to the previous run's cluster. A sparse run has no
// offset (offset size 0) and no clusters on disk.
struct NtfsRunEntry {
    static constexpr char kFirst = 'S';
    static constexpr char kLater = 'M';

    uint64_t lengthSectors = 0;
    uint64_t rawOffset = 0;
    uint8_t offsetSize = 0;
    char mark = kFirst;

    bool IsSparse() const { return offsetSize == 0; }
    // The offset with its sign applied: 1 to 3 bytes from their top bit, 4 bytes as a signed
    // 32-bit value, and wider fields as the signed value of their width.
    int64_t SignedOffset() const;
};

// A run of a compressed file, with the marks that tell which runs belong to a compression
// unit of 16 clusters (its compressed data or the zero clusters completing it) and which are
// plain sparse runs.
struct NtfsCompressedRunEntry {
    NtfsRunEntry run;
    bool inCompressionUnit = false;
    bool plainSparse = false;
};
