#include "tests/support/mmls_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

std::vector<MmlsPartition> ReadMmlsPartitions(const std::filesystem::path& path) {
    std::vector<MmlsPartition> partitions;
    std::ifstream in(path);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return partitions;
    }
    std::string line;
    while (std::getline(in, line)) {
        // "002:  000:000   0000002048   0000008191   0000006144   DOS FAT16 (0x06)"
        std::istringstream fields(line);
        std::string row, slot;
        uint64_t start = 0, end = 0, length = 0;
        if (!(fields >> row >> slot >> start >> end >> length) || row.back() != ':')
            continue;
        if (slot == "Meta" || slot.front() == '-')
            continue;
        MmlsPartition partition{0, start, length};
        if (size_t colon = slot.find(':'); colon != std::string::npos) {
            uint32_t table = static_cast<uint32_t>(std::stoul(slot.substr(0, colon)));
            uint32_t entry = static_cast<uint32_t>(std::stoul(slot.substr(colon + 1)));
            partition.number = table == 0 ? entry + 1 : 4 + table;
        } else {
            partition.number = static_cast<uint32_t>(std::stoul(slot)) + 1;
        }
        partitions.push_back(partition);
    }
    std::sort(partitions.begin(), partitions.end(),
              [](const MmlsPartition& a, const MmlsPartition& b) { return a.number < b.number; });
    return partitions;
}
