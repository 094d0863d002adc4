#pragma once

#include "diskio/sources/block_buffer.h"
#include "filesystems/recovered_file_data.h"

#include <cstdint>
#include <memory>
#include <vector>

class CFatFileSystem;
struct FoundItem;

// A found FAT file's bytes in file order. The clusters follow the FAT chain, except for files
// whose chain cannot be trusted (deleted files, files in deleted folders, files found by
// signature, and volumes whose FAT is unusable), which are read as consecutive clusters from
// the first. Items of a raw search over absolute sectors are read from their first sector, in
// units of kRawUnitSectors sectors that stand in for clusters.
//
// Units that follow each other on the volume are read with one read and handed on as one
// piece, a block of at most kBlockBytes: one progress step. A block whose read fails is read
// again unit by unit, each unit one piece, and a unit that fails sector by sector, so only the
// sectors that cannot be read become zeros and every failed unit is reported.
class FatFileData : public RecoveredFileData {
public:
    static constexpr uint32_t kRawUnitSectors = 64;
    static constexpr uint32_t kBlockBytes = 1u << 20;

    FatFileData(CFatFileSystem& volume, const FoundItem& item, bool folderDeleted);

    bool Available() const override { return true; }
    // One step per block.
    uint32_t PieceCount() const override;
    bool Next(Piece& piece) override;
    bool Complete() const override { return m_complete && m_remaining == 0; }

    // Where the data lies, for readers of their own (the viewers): the clusters in file order,
    // or for an item of a raw search its first absolute sector and the sectors that hold it
    // (no clusters then). Bytes() is what is left to give: all of it before the first Next.
    const std::vector<uint32_t>& Clusters() const { return m_clusters; }
    bool IsRaw() const { return m_raw; }
    uint64_t RawFirstSector() const { return m_firstSector; }
    uint64_t RawSectors() const { return m_rawSectors; }
    uint64_t Bytes() const { return m_remaining; }

private:
    uint64_t UnitCount() const;
    // The unit's first sector for ReadSectors; UINT64_MAX for a cluster outside the volume.
    uint64_t UnitSector(uint64_t unit) const;
    uint32_t UnitSectors(uint64_t unit) const;
    struct Block {
        // One past its last unit.
        uint64_t end = 0;
        uint32_t sectors = 0;
    };
    // The block that begins with unit `first`: the units after it that follow it on the
    // volume, up to kBlockBytes.
    Block BlockAt(uint64_t first) const;
    // The next unit of a block read unit by unit.
    void NextUnit(Piece& piece);
    void Cut(Piece& piece, uint64_t bytes);

    CFatFileSystem& m_volume;
    uint64_t m_remaining = 0;
    bool m_complete = true;
    bool m_raw = false;
    // Raw items: the first sector and how many sectors hold the file.
    uint64_t m_firstSector = 0;
    uint64_t m_rawSectors = 0;
    std::vector<uint32_t> m_clusters;
    uint32_t m_unitSectors = 0;
    uint32_t m_blocks = 0;
    uint64_t m_next = 0;
    // Units before this one belong to a block already begun: they are read one at a time.
    uint64_t m_blockEnd = 0;
    // Holds the largest block of this file. Not zeroed when made: every read fills it, and a
    // failed read zero-fills what it covered.
    BlockBuffer m_buffer;
};
