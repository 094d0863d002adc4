#pragma once

#include "diskio/sources/sector_source.h"

#include <cstdint>
#include <string>
#include <vector>

// The partitions a disk's own table lists, numbered as Linux numbers them, so a mapped disk
// gets the letters its device would: an MBR's primary slots are 1 to 4 and its logical
// partitions 5 upwards in chain order (extended containers are not partitions); a GPT, found
// behind a protective MBR entry of type 0xEE, numbers its used entries by place from 1.
// Sector 0 that is itself a volume's boot sector, or that fails the MBR's boot-indicator
// check, holds no table.
//
// Every count, chain and range is bounded before it is used: the extended chain by a visited
// set and kMaxExtendedTables tables, a GPT by its header checksum, by caps on its entry size and
// count and by its entry array's checksum, and every partition by the end of the disk (one that
// starts past it is dropped, one that runs past it is cut there). What fails a check is named
// in `problems`; the partitions read before it stay.
class PartitionTable {
public:
    enum class Scheme {
        None,
        Mbr,
        Gpt,
    };

    struct Partition {
        uint32_t number = 0;
        uint64_t firstSector = 0;
        uint64_t sectorCount = 0;
        // The MBR type byte; 0 for a GPT entry.
        uint8_t type = 0;

        bool operator==(const Partition&) const = default;
    };

    struct Result {
        Scheme scheme = Scheme::None;
        // By number.
        std::vector<Partition> partitions;
        std::vector<std::string> problems;
    };

    static constexpr uint32_t kMaxExtendedTables = 128;
    static constexpr uint32_t kMinGptEntrySize = 128;
    static constexpr uint32_t kMaxGptEntrySize = 4096;
    static constexpr uint32_t kMaxGptEntries = 4096;

    // Reads the table of a disk of `diskSectors` sectors through `disk`; nothing at or past
    // `diskSectors` is read or listed.
    static Result Read(const SectorSource& disk, uint64_t diskSectors);
};
