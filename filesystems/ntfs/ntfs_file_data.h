#pragma once

#include "diskio/sources/block_buffer.h"
#include "filesystems/cluster_list.h"
#include "filesystems/found_item.h"
#include "filesystems/recovered_file_data.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class CNtfsFileSystem;

// The data of one found NTFS item as recovery writes it: the resident content of its record in
// one piece; the clusters of its runs (or, for an item found by signature, the clusters from its
// first one) one piece each, read a mebibyte of contiguous clusters at a time, holes and bytes past
// the initialized size as zeros; or, for a compressed file, one piece per compression unit of 16
// clusters, stored as is, LZNT1-packed into its first clusters, or wholly sparse. The item's size
// bounds what is given. The volume must outlive the object.
class NtfsFileData : public RecoveredFileData {
public:
    static constexpr uint64_t kUnitClusters = 16;

    NtfsFileData(CNtfsFileSystem& volume, const FoundItem& item);

    bool Available() const override { return m_available; }
    uint32_t PieceCount() const override { return m_pieceCount; }
    bool Next(Piece& piece) override;
    bool Complete() const override;

    // Where the data lies, for readers of their own (the viewers): the volume's cluster
    // numbers in file order with ClusterList::kSparseCluster for a hole, the bytes the located
    // data covers and the initialized size. Nullopt when the data is resident (it lies in the
    // record, in no cluster), a cluster number needs more than 32 bits, or more than
    // `maxClusters` clusters would be listed. A compressed file's clusters are listed as they
    // lie, packed.
    std::optional<ClusterList> Clusters(uint64_t maxClusters) const;
    bool IsCompressed() const { return m_layout == Layout::Units; }
    bool IsResident() const { return m_layout == Layout::Resident; }

private:
    enum class Layout {
        Resident,
        Clusters,
        Units,
    };

    // Consecutive clusters of the file: on the volume from `first`, or a hole.
    struct Extent {
        uint64_t clusters = 0;
        std::optional<uint64_t> first;
    };

    void Locate(const FoundItem& item);
    void LocateContiguous(const FoundItem& item);
    // Sets the bytes to give and the piece count from the clusters the extents cover.
    void Measure(uint64_t pieceBytes);
    // The next cluster of the file in order (nullopt for a hole); false past the last extent.
    bool NextCluster(std::optional<uint64_t>& cluster);
    // Reads one cluster into `into`, retrying sector by sector when the whole read fails; the
    // sectors that still fail, and a cluster beyond the volume, read as zeros. False then, with
    // the first sector that failed.
    bool ReadCluster(uint64_t cluster, uint8_t* into, uint64_t& firstBadSector);
    bool NextClusterPiece(Piece& piece);
    // The cluster's bytes from the block read ahead, reading the next block of the extent in
    // one request when the cluster is not in it; nullptr when that read fails (the clusters
    // are then read one by one, as without it).
    uint8_t* ReadAhead(uint64_t cluster);
    bool NextUnitPiece(Piece& piece);
    // Zeros the bytes of the piece at the current position that lie past the initialized size.
    void ZeroUninitialized(uint8_t* data, uint64_t length) const;

    CNtfsFileSystem& m_volume;
    Layout m_layout = Layout::Clusters;
    bool m_available = false;
    bool m_failed = false;
    uint64_t m_fileSize = 0;
    uint64_t m_initialized = 0;
    uint64_t m_giveBytes = 0; // what the located data covers, at most the file size
    uint64_t m_position = 0;
    uint32_t m_pieceCount = 0;
    uint32_t m_piecesGiven = 0;
    uint64_t m_clusterBytes = 0;
    uint64_t m_volumeClusters = 0;
    std::vector<Extent> m_extents;
    size_t m_extent = 0;
    uint64_t m_inExtent = 0;
    std::vector<uint8_t> m_resident;
    BlockBuffer m_buffer;          // one cluster, or one unit
    BlockBuffer m_ahead;           // contiguous clusters read in one request
    uint64_t m_aheadFirst = 0;     // the first cluster in m_ahead
    uint64_t m_aheadCount = 0;     // clusters in m_ahead
    uint64_t m_aheadFailedEnd = 0; // clusters below this, in a block that failed, go one by one
    std::vector<uint8_t> m_packed; // a unit's compressed clusters
};
