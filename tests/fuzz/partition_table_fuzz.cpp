// The partition table walk over a disk held in memory: whatever the MBR, extended chain or GPT
// say, every partition it lists lies inside the disk, numbers are unique and in order, and a
// walk of the same bytes gives the same answer.
#include "diskio/inventory/partition_table.h"

#include <cstdlib>
#include <set>

namespace {

// Enough for an MBR, a chain of extended tables and a GPT with its whole entry array.
constexpr size_t kMaxInput = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput)
        size = kMaxInput;
    const std::span<const uint8_t> disk(data, size);
    const uint64_t sectors = size / SectorSource::kSectorBytes;
    const PartitionTable::Result result =
        PartitionTable::Read(SectorSource::ForMemory(disk), sectors);
    std::set<uint32_t> numbers;
    uint32_t previous = 0;
    for (const PartitionTable::Partition& partition : result.partitions) {
        if (partition.sectorCount == 0 || partition.firstSector >= sectors ||
            partition.sectorCount > sectors - partition.firstSector)
            std::abort();
        if (!numbers.insert(partition.number).second || partition.number < previous)
            std::abort();
        previous = partition.number;
    }
    if (result.scheme == PartitionTable::Scheme::None && !result.partitions.empty())
        std::abort();
    const PartitionTable::Result again =
        PartitionTable::Read(SectorSource::ForMemory(disk), sectors);
    if (again.partitions != result.partitions || again.problems != result.problems)
        std::abort();
    return 0;
}
