#include "filesystems/ntfs/ntfs_run_entry.h"

int64_t NtfsRunEntry::SignedOffset() const {
    if (offsetSize == 0)
        return 0;
    if (offsetSize >= 8)
        return static_cast<int64_t>(rawOffset);
    const unsigned bits = offsetSize * 8u;
    const uint64_t value = rawOffset & ((uint64_t{1} << bits) - 1);
    const uint64_t sign = uint64_t{1} << (bits - 1);
    // Two's complement of the field's width, without shifting a negative value.
    return (value & sign) != 0 ? static_cast<int64_t>(value) - static_cast<int64_t>(sign << 1)
                               : static_cast<int64_t>(value);
}
