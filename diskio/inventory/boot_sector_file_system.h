#pragma once

#include <cstdint>
#include <span>
#include <string>

// The file-system name a volume's own boot sector gives: "NTFS", "FAT32" or "FAT", or empty
// when it names neither. Only the boot sector is looked at; nothing is trusted beyond the
// fields that make the decision.
std::u16string FileSystemFromBootSector(std::span<const uint8_t> sector);

// FAT12 (1) when the 16-bit sectors-per-FAT field is 12 or less, else FAT16 (4).
uint8_t FatTypeFromBootSector(std::span<const uint8_t> sector);
