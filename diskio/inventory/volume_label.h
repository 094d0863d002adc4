#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// The label of a FAT or NTFS volume, read below the file system from the volume's own sectors:
// for FAT the volume-label entry of the root folder, else the label field of the boot sector
// (unless it is "NO NAME"); for NTFS the name attribute of the $Volume record. Every field is
// checked before it is used and every read and walk is bounded, so a damaged volume gives an
// empty label, never a wrong read.

// Reads `count` 512-byte sectors from `first` (counted from the volume's first sector) into
// `buffer`; false when they cannot be read.
using VolumeSectorReader = std::function<bool(uint64_t first, uint32_t count, uint8_t* buffer)>;

// The label, or empty when the volume has none, is neither FAT nor NTFS, or cannot be read.
// `boot` is the volume's first sector.
std::u16string ReadVolumeLabel(std::span<const uint8_t> boot, const VolumeSectorReader& read);
