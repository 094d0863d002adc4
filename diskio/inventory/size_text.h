#pragma once

#include <cstdint>
#include <string>

// "%.2f GB", "%.2f MB" or "%.2f KB" (in the current language): the largest unit of which the
// size holds at least one.
std::u16string FormatSize(uint64_t bytes);

// The same text for a count of 512-byte sectors, given as two 32-bit halves.
std::u16string FormatSizeFromSectors(uint32_t sectorsLow, uint32_t sectorsHigh);
