#pragma once

#include "filesystems/ntfs/ntfs_run_entry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// What a $MFT file record met loose on a disk tells of the volume that holds it, for the
// lost-drive search: the cluster size, the $MFT's first cluster and its length, and where the
// volume must begin for the record to lie where its own runs say. Records are 1024 bytes; the
// record is copied and fixed up, never trusted beyond its bytes.
class NtfsMftProbe {
public:
    static constexpr uint32_t kRecordBytes = 1024;
    // Sectors per cluster taken: the powers of two from 1 to this.
    static constexpr uint32_t kLargestCluster = 512;
    // The volume must leave this many sectors before it (a partition table's first track).
    static constexpr uint64_t kLeastStartSector = 63;

    struct Placement {
        uint16_t sectorsPerCluster = 0;
        uint64_t mftFirstCluster = 0;
        uint64_t mftClusters = 0;
        // The first cluster of $MFTMirr when record 1 (read through the runs) names it; 0 when
        // unknown.
        uint64_t mirrorCluster = 0;
        uint64_t volumeStart = 0; // absolute sector
    };

    // Reads `sectorCount` sectors at absolute sector `sector` into `buffer`; false on a failed
    // or out-of-range read (the buffer is then zero).
    using SectorReader =
        std::function<bool(uint64_t sector, uint32_t sectorCount, uint8_t* buffer)>;

    // Whether the 1024 bytes begin a file record ("FILE", update-sequence offset 0x2A or 0x30)
    // whose name after the fix-up is "$MFT". Cheap: the search calls it for every sector.
    static bool IsMftRecord(std::span<const uint8_t> bytes);

    // The volume a $MFT record at absolute `recordSector` belongs to. Its unnamed non-resident
    // $DATA (found within the first 20 attributes) gives the first cluster and the run lengths;
    // the cluster size is the power of two for which the runs hold the attribute's allocated
    // size. When the record holds an $ATTRIBUTE_LIST, the $DATA extents of the records the list
    // names are read through `read` (the record table the base record's own runs give) and
    // their runs count too. Record 1 (two sectors on) names the $MFTMirr's first cluster.
    // Nothing when the record is no $MFT record, no cluster size fits, the volume would start
    // before kLeastStartSector, or the record is the mirror's copy of record 0: the $MFT it
    // names (at the start its record 1 implies) holds a $MFT record of its own.
    static std::optional<Placement> Probe(std::span<const uint8_t> bytes, uint64_t recordSector,
                                          const SectorReader& read);

private:
    using Record = std::array<uint8_t, kRecordBytes>;
    // One unnamed non-resident $DATA of a record: where its run list lies and the VCNs it maps.
    struct DataExtent {
        size_t runList = 0;
        uint64_t firstVcn = 0;
        uint64_t lastVcn = 0;
    };
    // Where the $MFT's records lie by the base record's own runs, at one cluster size.
    class RecordMap;

    // The record's first $DATA within the first 20 attributes, when it is unnamed and
    // non-resident.
    static std::optional<DataExtent> FirstData(const Record& record);
    // Every unnamed non-resident $DATA of the record, in record order; empty when one of them
    // cannot be read.
    static std::vector<DataExtent> DataExtents(const Record& record);
    // The clusters the extent's runs hold (`runs` gets them, at one sector per cluster); 0 for
    // a list that ends abnormally or holds another number of clusters than its VCNs span.
    static uint64_t ExtentClusters(const Record& record, const DataExtent& extent,
                                   std::vector<NtfsRunEntry>& runs);
    // Offset of the $ATTRIBUTE_LIST within the first 20 attributes.
    static std::optional<size_t> AttributeListAt(const Record& record);
    // The records the list at `listAt` names for $DATA; a non-resident list is read from the
    // volume placed at `volumeStart`. Empty when it cannot be read whole.
    static std::vector<uint32_t> ListedDataRecords(const Record& record, size_t listAt,
                                                   uint64_t volumeStart, uint16_t sectorsPerCluster,
                                                   const SectorReader& read);
    // The clusters of the $MFT's $DATA gathered from the listed records; 0 unless they make one
    // sound attribute (see the .cpp).
    static uint64_t ListedClusters(const Record& base, std::span<const uint32_t> records,
                                   const RecordMap& map, const SectorReader& read);
    static bool ReadMapped(const RecordMap& map, uint64_t number, const SectorReader& read,
                           Record& out);
    // $MFTMirr's first cluster from record 1; 0 when record 1 does not name it.
    static uint64_t MirrorCluster(const RecordMap& map, const SectorReader& read);
};
