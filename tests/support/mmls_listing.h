#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// One partition of a sleuthkit `mmls` listing, as the fixture scripts keep it: the rows whose
// slot is a table entry ("000:002", "001:000" for DOS, "000" for GPT), not the "Meta" and
// "-------" rows. `number` is the number Linux gives the partition: a DOS slot t:s is
// primary s + 1 in table 0 and logical 4 + t in extended table t (one logical per table, as
// sfdisk writes them); a GPT slot n is n + 1.
struct MmlsPartition {
    uint32_t number = 0;
    uint64_t start = 0;
    uint64_t length = 0;
};

// The partitions of the listing at `path` in the order Linux numbers them. A file that cannot
// be read fails the running test.
std::vector<MmlsPartition> ReadMmlsPartitions(const std::filesystem::path& path);
