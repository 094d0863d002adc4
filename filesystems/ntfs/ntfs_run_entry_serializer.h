#pragma once

#include "filesystems/ntfs/ntfs_run_entry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The stored form of one run of the $MFT run table: 14 bytes, packed, little-endian: a link
// (always 0), the length in sectors, the offset field as stored, its size in bytes, and the
// run's mark ('S' for the first run of a list, 'M' for the later ones).
class NtfsRunEntrySerializer {
public:
    static constexpr size_t kOffsetLink = 0;
    static constexpr size_t kOffsetLength = 4;
    static constexpr size_t kOffsetOffset = 8;
    static constexpr size_t kOffsetOffsetSize = 12;
    static constexpr size_t kOffsetMark = 13;
    static constexpr size_t kSize = 14;
    // The widest offset field the stored form holds.
    static constexpr uint8_t kMaxOffsetSize = 4;

    // nullopt when the run does not fit its stored fields (a length of 2^32 sectors or more,
    // an offset field wider than four bytes, a raw offset above 32 bits) or would not read
    // back (a raw offset with bits beyond its size, a mark other than 'S' or 'M').
    static std::optional<std::array<uint8_t, kSize>> Write(const NtfsRunEntry& run);

    // Fails, leaving `out` as it was, when fewer than kSize bytes are given, the offset size is
    // above kMaxOffsetSize, the raw offset has bits beyond its size, or the mark is neither
    // 'S' nor 'M'. The link is not looked at.
    static bool Read(std::span<const uint8_t> bytes, NtfsRunEntry& out);
};
