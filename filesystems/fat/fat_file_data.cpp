#include "filesystems/fat/fat_file_data.h"

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/found_item.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr uint32_t kSectorBytes = 512;
constexpr uint8_t kLinkContiguous = 2;

} // namespace

FatFileData::FatFileData(CFatFileSystem& volume, const FoundItem& item, bool folderDeleted)
    : m_volume(volume), m_remaining(item.size) {
    if (item.contiguousData != 0 && volume.ReadsAbsoluteSectors()) {
        m_raw = true;
        m_firstSector = item.firstCluster;
        m_unitSectors = kRawUnitSectors;
        // What lies past the searched range is not there to read: the file ends with it.
        const uint64_t last = volume.LastSector();
        const uint64_t available =
            m_firstSector < volume.FirstSector() || m_firstSector > last
                ? 0
                : std::min<uint64_t>(last - m_firstSector + 1, UINT64_MAX / kSectorBytes) *
                      kSectorBytes;
        if (m_remaining > available) {
            m_remaining = available;
            m_complete = false;
        }
        m_rawSectors = m_remaining / kSectorBytes + (m_remaining % kSectorBytes != 0 ? 1 : 0);
    } else {
        m_unitSectors = volume.SectorsPerCluster();
        const uint32_t clusterBytes = m_unitSectors * kSectorBytes;
        if (m_remaining == 0)
            return;
        if (clusterBytes == 0 || item.firstCluster > std::numeric_limits<uint32_t>::max()) {
            m_complete = false;
            m_remaining = 0;
            return;
        }
        const bool contiguous = item.contiguousData != 0 || item.deleted != 0 || folderDeleted ||
                                volume.LinkingModeValue() == kLinkContiguous;
        ClusterList list =
            volume.GetFileClusters(static_cast<uint32_t>(item.firstCluster), item.size, contiguous);
        const uint64_t needed = (item.size + clusterBytes - 1) / clusterBytes;
        m_clusters = std::move(list.clusters);
        if (m_clusters.size() > needed)
            m_clusters.resize(static_cast<size_t>(needed));
        if (m_clusters.size() < needed) {
            // The chain ends early, or the volume ends: the rest of the file is not on the disk.
            m_complete = false;
            m_remaining =
                std::min<uint64_t>(m_remaining, uint64_t{clusterBytes} * m_clusters.size());
        }
    }

    // The block layout depends only on where the units lie, so the steps are known now.
    uint64_t blocks = 0;
    uint32_t largest = 0;
    for (uint64_t unit = 0, count = UnitCount(); unit < count; ++blocks) {
        const Block block = BlockAt(unit);
        largest = std::max(largest, block.sectors);
        unit = block.end;
    }
    m_blocks = static_cast<uint32_t>(std::min<uint64_t>(blocks, UINT32_MAX));
    if (largest != 0)
        m_buffer = BlockBuffer::ForOverwrite(size_t{largest} * kSectorBytes);
}

uint32_t FatFileData::PieceCount() const {
    return m_blocks;
}

uint64_t FatFileData::UnitCount() const {
    if (m_raw)
        return m_rawSectors / kRawUnitSectors + (m_rawSectors % kRawUnitSectors != 0 ? 1 : 0);
    return m_clusters.size();
}

uint64_t FatFileData::UnitSector(uint64_t unit) const {
    if (m_raw)
        return m_firstSector + unit * kRawUnitSectors;
    return m_volume.ClusterToSector(m_clusters[static_cast<size_t>(unit)]);
}

uint32_t FatFileData::UnitSectors(uint64_t unit) const {
    if (m_raw)
        return static_cast<uint32_t>(
            std::min<uint64_t>(kRawUnitSectors, m_rawSectors - unit * kRawUnitSectors));
    return m_unitSectors;
}

FatFileData::Block FatFileData::BlockAt(uint64_t first) const {
    Block block{first + 1, UnitSectors(first)};
    const uint64_t sector = UnitSector(first);
    if (sector == UINT64_MAX)
        return block;
    const uint64_t count = UnitCount();
    const uint32_t maxSectors = kBlockBytes / kSectorBytes;
    while (block.end < count) {
        const uint32_t sectors = UnitSectors(block.end);
        if (block.sectors + sectors > maxSectors || UnitSector(block.end) != sector + block.sectors)
            break;
        block.sectors += sectors;
        ++block.end;
    }
    return block;
}

bool FatFileData::Next(Piece& piece) {
    piece = Piece{};
    if (m_remaining == 0 || m_next >= UnitCount())
        return false;
    if (m_next >= m_blockEnd) {
        const Block block = BlockAt(m_next);
        m_blockEnd = block.end;
        // A single unit goes straight to the unit read, which retries by sector.
        if (block.end - m_next > 1) {
            if (m_volume.ReadSectors(UnitSector(m_next), block.sectors, m_buffer.data()) != 0) {
                m_next = block.end;
                piece.data = m_buffer.data();
                piece.steps = 1;
                Cut(piece, uint64_t{block.sectors} * kSectorBytes);
                return true;
            }
        }
    }
    NextUnit(piece);
    return true;
}

void FatFileData::NextUnit(Piece& piece) {
    const uint64_t unit = m_next++;
    const uint64_t sector = UnitSector(unit);
    const uint32_t sectors = UnitSectors(unit);
    const bool read = sector != UINT64_MAX &&
                      m_volume.Source().ReadSalvaging(sector, sectors, m_buffer.data()) == 0;
    if (!read) {
        if (sector == UINT64_MAX)
            std::memset(m_buffer.data(), 0, size_t{sectors} * kSectorBytes);
        m_complete = false;
        piece.failed = true;
        piece.error = m_raw ? ReadError{true, sector}
                            : ReadError{false, m_clusters[static_cast<size_t>(unit)]};
    }
    piece.data = m_buffer.data();
    // The block's step is taken with its last unit.
    piece.steps = m_next == m_blockEnd ? 1 : 0;
    Cut(piece, uint64_t{sectors} * kSectorBytes);
}

void FatFileData::Cut(Piece& piece, uint64_t bytes) {
    piece.length = static_cast<size_t>(std::min(m_remaining, bytes));
    m_remaining -= piece.length;
}
