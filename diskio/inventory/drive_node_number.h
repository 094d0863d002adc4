#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The number a new drive-list node gets: one more than the last node's (0 for an empty list)
// when that is free, else the next free number after it, wrapping once; numbers in use and the
// disk codes 0x80 to 0x97 are never given. `inUse` lists the numbers of the nodes in list order
// (its last entry is the last node). Nothing when every number is taken.
std::optional<uint8_t> NextDriveNodeNumber(std::span<const uint8_t> inUse);
