#include "jobs/fat_file_data.h"

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
        m_nextSector = item.firstCluster;
        m_pieceBytes = kRawPieceSectors * kSectorBytes;
        m_buffer.resize(m_pieceBytes);
        // What lies past the searched range is not there to read: the file ends with it.
        const uint64_t last = volume.LastSector();
        const uint64_t available =
            m_nextSector < volume.FirstSector() || m_nextSector > last
                ? 0
                : std::min<uint64_t>(last - m_nextSector + 1, UINT64_MAX / kSectorBytes) *
                      kSectorBytes;
        if (m_remaining > available) {
            m_remaining = available;
            m_complete = false;
        }
        return;
    }
    m_pieceBytes = volume.BytesPerCluster();
    if (m_remaining == 0)
        return;
    if (m_pieceBytes == 0 || item.firstCluster > std::numeric_limits<uint32_t>::max()) {
        m_complete = false;
        m_remaining = 0;
        return;
    }
    const bool contiguous = item.contiguousData != 0 || item.deleted != 0 || folderDeleted ||
                            volume.LinkingModeValue() == kLinkContiguous;
    ClusterList list =
        volume.GetFileClusters(static_cast<uint32_t>(item.firstCluster), item.size, contiguous);
    const uint64_t needed = (item.size + m_pieceBytes - 1) / m_pieceBytes;
    m_clusters = std::move(list.clusters);
    if (m_clusters.size() > needed)
        m_clusters.resize(static_cast<size_t>(needed));
    if (m_clusters.size() < needed) {
        // The chain ends early, or the volume ends: the rest of the file is not on the disk.
        m_complete = false;
        m_remaining = std::min<uint64_t>(m_remaining, uint64_t{m_pieceBytes} * m_clusters.size());
    }
    m_buffer.resize(m_pieceBytes);
}

uint32_t FatFileData::PieceCount() const {
    if (m_raw) {
        const uint64_t pieces = (m_remaining + m_pieceBytes - 1) / m_pieceBytes;
        return static_cast<uint32_t>(std::min<uint64_t>(pieces, UINT32_MAX));
    }
    return static_cast<uint32_t>(std::min<size_t>(m_clusters.size() - m_next, UINT32_MAX));
}

bool FatFileData::Next(Piece& piece) {
    piece = Piece{};
    if (m_remaining == 0)
        return false;
    return m_raw ? NextRawSectors(piece) : NextCluster(piece);
}

void FatFileData::FillBatch() {
    const uint32_t maxClusters = std::max<uint32_t>(1, kBatchBytes / m_pieceBytes);
    size_t count = 1;
    while (count < maxClusters && m_next + count < m_clusters.size() &&
           m_clusters[m_next + count] == m_clusters[m_next] + count)
        ++count;
    m_batchFirst = m_next;
    m_batchCount = 0;
    const uint64_t sector = m_volume.ClusterToSector(m_clusters[m_next]);
    if (count < 2 || sector == UINT64_MAX)
        return;
    m_batch.resize(count * m_pieceBytes);
    const uint32_t sectors = static_cast<uint32_t>(count * (m_pieceBytes / kSectorBytes));
    // A failed run is read again cluster by cluster, where failures are retried per sector.
    if (m_volume.ReadSectors(sector, sectors, m_batch.data()) != 0)
        m_batchCount = count;
    else
        m_singlesUntil = m_next + count;
}

bool FatFileData::NextCluster(Piece& piece) {
    if (m_next >= m_clusters.size())
        return false;
    // After a failed run, its clusters are read one by one before runs are tried again, so a
    // bad sector is not met again by every later run that still covers it.
    if (m_next >= m_batchFirst + m_batchCount && m_next >= m_singlesUntil)
        FillBatch();
    const size_t index = m_next++;
    const uint32_t cluster = m_clusters[index];
    piece.length = static_cast<size_t>(std::min<uint64_t>(m_remaining, m_pieceBytes));
    m_remaining -= piece.length;
    if (index < m_batchFirst + m_batchCount) {
        piece.data = m_batch.data() + (index - m_batchFirst) * m_pieceBytes;
        return true;
    }
    const uint64_t sector = m_volume.ClusterToSector(cluster);
    const uint32_t sectors = m_pieceBytes / kSectorBytes;
    const bool read = sector != UINT64_MAX && ReadWithRetry(sector, sectors, false, cluster);
    if (!read) {
        if (sector == UINT64_MAX)
            std::fill(m_buffer.begin(), m_buffer.end(), uint8_t{0});
        m_complete = false;
        piece.failed = true;
        piece.error = ReadError{false, cluster};
    }
    piece.data = m_buffer.data();
    return true;
}

bool FatFileData::NextRawSectors(Piece& piece) {
    const uint64_t length = std::min<uint64_t>(m_remaining, m_pieceBytes);
    const uint32_t sectors = static_cast<uint32_t>((length + kSectorBytes - 1) / kSectorBytes);
    const uint64_t first = m_nextSector;
    if (!ReadWithRetry(first, sectors, true, 0)) {
        m_complete = false;
        piece.failed = true;
        piece.error = ReadError{true, first};
    }
    m_nextSector += sectors;
    piece.data = m_buffer.data();
    piece.length = static_cast<size_t>(length);
    m_remaining -= length;
    return true;
}

bool FatFileData::ReadWithRetry(uint64_t firstSector, uint32_t sectors, bool raw,
                                uint32_t cluster) {
    auto readSectors = [&](uint64_t offset, uint32_t count, uint8_t* into) {
        if (raw)
            return m_volume.ReadSectors(firstSector + offset, count, into) != 0;
        return m_volume.ReadCluster(cluster, static_cast<uint16_t>(offset), into,
                                    static_cast<uint16_t>(count)) != 0;
    };
    if (readSectors(0, sectors, m_buffer.data()))
        return true;
    bool all = true;
    for (uint32_t s = 0; s < sectors; ++s) {
        uint8_t* into = m_buffer.data() + static_cast<size_t>(s) * kSectorBytes;
        // The reader zero-fills a sector it could not read.
        if (!readSectors(s, 1, into)) {
            std::memset(into, 0, kSectorBytes);
            all = false;
        }
    }
    return all;
}
