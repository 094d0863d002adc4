#pragma once

#include "jobs/recovered_file_data.h"

#include <cstdint>
#include <vector>

class CFatFileSystem;
struct FoundItem;

// A found FAT file's bytes, cluster by cluster. The clusters follow the FAT chain, except for
// files whose chain cannot be trusted (deleted files, files in deleted folders, files found by
// signature, and volumes whose FAT is unusable), which are read as consecutive clusters from
// the first. Items of a raw search over absolute sectors are read from their first sector.
class FatFileData : public RecoveredFileData {
public:
    // Bytes read at once from a raw search's sectors.
    static constexpr uint32_t kRawPieceSectors = 64;
    // Consecutive clusters are read together, up to this many bytes, through the volume's one open
    // handle.
    static constexpr uint32_t kBatchBytes = 1u << 20;

    FatFileData(CFatFileSystem& volume, const FoundItem& item, bool folderDeleted);

    bool Available() const override { return true; }
    uint32_t PieceCount() const override;
    bool Next(Piece& piece) override;
    bool Complete() const override { return m_complete && m_remaining == 0; }

private:
    bool NextCluster(Piece& piece);
    // Reads the run of consecutive clusters that starts at m_next into the batch buffer.
    void FillBatch();
    bool NextRawSectors(Piece& piece);
    // Reads `sectors` sectors; on failure again one at a time, failed ones zero. False when any
    // sector failed.
    bool ReadWithRetry(uint64_t firstSector, uint32_t sectors, bool raw, uint32_t cluster);

    CFatFileSystem& m_volume;
    uint64_t m_remaining = 0;
    bool m_complete = true;
    bool m_raw = false;
    uint64_t m_nextSector = 0;
    std::vector<uint32_t> m_clusters;
    size_t m_next = 0;
    uint32_t m_pieceBytes = 0;
    std::vector<uint8_t> m_buffer;
    // Clusters m_batchFirst .. m_batchFirst + m_batchCount - 1 of the list are in m_batch.
    std::vector<uint8_t> m_batch;
    size_t m_batchFirst = 0;
    size_t m_batchCount = 0;
    // Clusters before this index are read one at a time (a run covering them failed).
    size_t m_singlesUntil = 0;
};
