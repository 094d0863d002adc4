#include "filesystems/ntfs/ntfs_file_data.h"

#include "filesystems/ntfs/lznt1.h"
#include "filesystems/ntfs/ntfs_file_system.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

namespace {

constexpr uint64_t kSectorBytes = 512;
// The largest cluster NTFS formats (2 MiB); geometry claiming more is no volume to read.
constexpr uint64_t kMaxClusterBytes = uint64_t{2} << 20;
// Contiguous clusters are read this much at a time.
constexpr uint64_t kReadAheadBytes = uint64_t{1} << 20;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

uint64_t CeilDiv(uint64_t value, uint64_t divisor) {
    return value / divisor + (value % divisor != 0 ? 1 : 0);
}

} // namespace

NtfsFileData::NtfsFileData(CNtfsFileSystem& volume, const FoundItem& item) : m_volume(volume) {
    Locate(item);
    if (m_available) {
        // At most one unit of the largest cluster (kMaxClusterBytes) each.
        const uint64_t pieceBytes =
            m_layout == Layout::Units ? m_clusterBytes * kUnitClusters : m_clusterBytes;
        if (m_layout != Layout::Resident && m_pieceCount != 0)
            m_buffer.resize(static_cast<size_t>(pieceBytes));
        if (m_layout == Layout::Units && m_pieceCount != 0)
            m_packed.resize(static_cast<size_t>(pieceBytes));
    }
}

void NtfsFileData::Locate(const FoundItem& item) {
    m_fileSize = item.size;
    m_initialized = item.size;
    const uint16_t sectorsPerCluster = m_volume.SectorsPerCluster();
    m_clusterBytes = uint64_t{sectorsPerCluster} * kSectorBytes;
    if (m_clusterBytes == 0 || m_clusterBytes > kMaxClusterBytes)
        return; // no geometry: nothing can be placed
    m_volumeClusters = m_volume.TotalSectors() / sectorsPerCluster;

    if (item.contiguousData != 0) {
        LocateContiguous(item);
        return;
    }

    NtfsDataRuns data;
    if (!m_volume.ReadDataRuns(item, data))
        return;
    m_available = true;
    m_initialized = std::min(data.initializedSize, m_fileSize);
    if (data.resident) {
        m_layout = Layout::Resident;
        const size_t keep =
            static_cast<size_t>(std::min<uint64_t>(data.residentData.size(), m_fileSize));
        m_resident.assign(data.residentData.begin(),
                          data.residentData.begin() + static_cast<std::ptrdiff_t>(keep));
        m_giveBytes = keep;
        m_pieceCount = 1;
        return;
    }

    std::vector<NtfsRunEntry> runs;
    if (data.isCompressed) {
        m_layout = Layout::Units;
        // The marks of the compressed list are not needed: units follow from the clusters'
        // positions in the file, whatever way the runs split them.
        runs.reserve(data.compressed.size());
        for (const NtfsCompressedRunEntry& entry : data.compressed)
            runs.push_back(entry.run);
    } else {
        m_layout = Layout::Clusters;
        runs = std::move(data.runs);
    }
    const std::vector<std::optional<uint64_t>> starts = m_volume.RunStartClusters(runs);
    m_extents.reserve(runs.size());
    for (size_t i = 0; i < runs.size() && i < starts.size(); ++i) {
        Extent extent;
        extent.clusters = runs[i].lengthSectors / sectorsPerCluster;
        if (!runs[i].IsSparse())
            // A data run whose position no volume has reads as beyond the volume, not a hole.
            extent.first = starts[i].value_or(UINT64_MAX);
        if (extent.clusters != 0)
            m_extents.push_back(extent);
    }
    Measure(m_layout == Layout::Units ? m_clusterBytes * kUnitClusters : m_clusterBytes);
}

std::optional<ClusterList> NtfsFileData::Clusters(uint64_t maxClusters) const {
    if (!m_available || m_layout == Layout::Resident)
        return std::nullopt;
    ClusterList list;
    list.byteLength = m_giveBytes;
    list.validLength = m_initialized;
    uint64_t total = 0;
    for (const Extent& extent : m_extents) {
        if (extent.clusters > maxClusters - total)
            return std::nullopt;
        total += extent.clusters;
        if (extent.first && (*extent.first >= ClusterList::kSparseCluster ||
                             extent.clusters > ClusterList::kSparseCluster - *extent.first))
            return std::nullopt;
    }
    list.clusters.reserve(static_cast<size_t>(total));
    for (const Extent& extent : m_extents) {
        for (uint64_t i = 0; i < extent.clusters; ++i)
            list.clusters.push_back(extent.first ? static_cast<uint32_t>(*extent.first + i)
                                                 : ClusterList::kSparseCluster);
    }
    return list;
}

void NtfsFileData::LocateContiguous(const FoundItem& item) {
    m_available = true;
    m_layout = Layout::Clusters;
    const uint64_t wanted = CeilDiv(m_fileSize, m_clusterBytes);
    if (wanted == 0)
        return;
    // The list is asked only for what the volume holds, so a wild size allocates nothing
    // large; the clusters past it follow on and read as beyond the volume.
    const uint64_t inVolume =
        item.firstCluster < m_volumeClusters ? m_volumeClusters - item.firstCluster : 0;
    uint64_t listed = 0;
    if (item.firstCluster < ClusterList::kSparseCluster && inVolume != 0) {
        const uint64_t askBytes = std::min(m_fileSize, inVolume > UINT64_MAX / m_clusterBytes
                                                           ? UINT64_MAX
                                                           : inVolume * m_clusterBytes);
        listed = m_volume.GetContiguousClusters(static_cast<uint32_t>(item.firstCluster), askBytes)
                     .clusters.size();
    }
    if (listed != 0)
        m_extents.push_back({listed, item.firstCluster});
    if (listed < wanted)
        m_extents.push_back({wanted - listed, SaturatingAdd(item.firstCluster, listed)});
    Measure(m_clusterBytes);
}

void NtfsFileData::Measure(uint64_t pieceBytes) {
    // Data placed past the volume's end is not there to read: the file ends where the volume
    // does, rather than going on as zeros for as long as a damaged size says.
    for (size_t i = 0; i < m_extents.size(); ++i) {
        const Extent& extent = m_extents[i];
        if (!extent.first)
            continue;
        if (*extent.first >= m_volumeClusters) {
            m_extents.resize(i);
            break;
        }
        if (extent.clusters > m_volumeClusters - *extent.first) {
            m_extents[i].clusters = m_volumeClusters - *extent.first;
            m_extents.resize(i + 1);
            break;
        }
    }
    // Nor do holes: a record may claim a hole of any size, and more zeros than the volume
    // holds would only fill the destination. The file then ends there, incomplete.
    uint64_t holes = 0;
    for (size_t i = 0; i < m_extents.size(); ++i) {
        if (m_extents[i].first)
            continue;
        if (m_extents[i].clusters > m_volumeClusters - holes) {
            m_extents[i].clusters = m_volumeClusters - holes;
            m_extents.resize(i + 1);
            break;
        }
        holes += m_extents[i].clusters;
    }
    uint64_t clusters = 0;
    for (const Extent& extent : m_extents)
        clusters = SaturatingAdd(clusters, extent.clusters);
    const uint64_t covered =
        clusters > UINT64_MAX / m_clusterBytes ? UINT64_MAX : clusters * m_clusterBytes;
    m_giveBytes = std::min(covered, m_fileSize);
    uint64_t pieces = CeilDiv(m_giveBytes, pieceBytes);
    if (pieces > UINT32_MAX) {
        pieces = UINT32_MAX;
        m_giveBytes = pieces * pieceBytes;
    }
    m_pieceCount = static_cast<uint32_t>(pieces);
}

bool NtfsFileData::Complete() const {
    return m_available && !m_failed && m_giveBytes == m_fileSize && m_piecesGiven == m_pieceCount;
}

bool NtfsFileData::Next(Piece& piece) {
    piece = Piece{};
    if (!m_available || m_piecesGiven >= m_pieceCount)
        return false;
    bool given = false;
    switch (m_layout) {
    case Layout::Resident:
        piece.data = m_resident.data();
        piece.length = m_resident.size();
        m_position = m_resident.size();
        given = true;
        break;
    case Layout::Clusters:
        given = NextClusterPiece(piece);
        break;
    case Layout::Units:
        given = NextUnitPiece(piece);
        break;
    }
    if (!given) {
        // The extents ended early: what was counted cannot be given.
        m_failed = true;
        m_pieceCount = m_piecesGiven;
        return false;
    }
    ++m_piecesGiven;
    if (piece.failed)
        m_failed = true;
    return true;
}

bool NtfsFileData::NextCluster(std::optional<uint64_t>& cluster) {
    while (m_extent < m_extents.size() && m_inExtent >= m_extents[m_extent].clusters) {
        ++m_extent;
        m_inExtent = 0;
    }
    if (m_extent >= m_extents.size())
        return false;
    const Extent& extent = m_extents[m_extent];
    if (extent.first)
        cluster = SaturatingAdd(*extent.first, m_inExtent);
    else
        cluster.reset();
    ++m_inExtent;
    return true;
}

bool NtfsFileData::ReadCluster(uint64_t cluster, uint8_t* into, uint64_t& firstBadSector) {
    const uint64_t spc = m_volume.SectorsPerCluster();
    const size_t bytes = static_cast<size_t>(m_clusterBytes);
    if (cluster >= m_volumeClusters) {
        std::memset(into, 0, bytes);
        firstBadSector = cluster > UINT64_MAX / spc ? UINT64_MAX : cluster * spc;
        return false;
    }
    std::vector<uint64_t> failed;
    if (m_volume.Source().ReadSalvaging(cluster * spc, static_cast<uint32_t>(spc), into, &failed) ==
        0)
        return true;
    firstBadSector = failed.front();
    return false;
}

uint8_t* NtfsFileData::ReadAhead(uint64_t cluster) {
    if (cluster >= m_aheadFirst && cluster - m_aheadFirst < m_aheadCount)
        return m_ahead.data() + static_cast<size_t>((cluster - m_aheadFirst) * m_clusterBytes);
    if (cluster < m_aheadFailedEnd || cluster >= m_volumeClusters)
        return nullptr;
    // The clusters that follow on the volume in this extent, as far as the file's written
    // bytes need them and the volume holds them; NextCluster has taken this one.
    const Extent& extent = m_extents[m_extent];
    const uint64_t inExtent = extent.clusters - (m_inExtent - 1);
    const uint64_t needed =
        CeilDiv(std::min(m_giveBytes, m_initialized) - m_position, m_clusterBytes);
    const uint64_t count = std::min({inExtent, needed, m_volumeClusters - cluster,
                                     std::max<uint64_t>(1, kReadAheadBytes / m_clusterBytes)});
    // One cluster goes to the cluster read, which retries by sector.
    if (count < 2)
        return nullptr;
    const uint64_t spc = m_volume.SectorsPerCluster();
    const size_t bytes = static_cast<size_t>(count * m_clusterBytes);
    if (m_ahead.size() < bytes)
        m_ahead = BlockBuffer::ForOverwrite(bytes);
    m_aheadCount = 0;
    if (m_volume.ReadSectors(cluster * spc, static_cast<uint32_t>(count * spc), m_ahead.data()) ==
        0) {
        m_aheadFailedEnd = cluster + count;
        return nullptr;
    }
    m_aheadFirst = cluster;
    m_aheadCount = count;
    return m_ahead.data();
}

void NtfsFileData::ZeroUninitialized(uint8_t* data, uint64_t length) const {
    if (m_position + length <= m_initialized)
        return;
    const uint64_t keep = m_initialized > m_position ? m_initialized - m_position : 0;
    std::memset(data + keep, 0, static_cast<size_t>(length - keep));
}

bool NtfsFileData::NextClusterPiece(Piece& piece) {
    std::optional<uint64_t> cluster;
    if (m_position >= m_giveBytes || !NextCluster(cluster))
        return false;
    const uint64_t length = std::min(m_clusterBytes, m_giveBytes - m_position);
    uint8_t* data = m_buffer.data();
    if (!cluster || m_position >= m_initialized) {
        // A hole, or data the file system never wrote: nothing to read.
        std::memset(data, 0, m_buffer.size());
    } else if (uint8_t* ahead = ReadAhead(*cluster)) {
        data = ahead;
        ZeroUninitialized(data, length);
    } else {
        uint64_t badSector = 0;
        if (!ReadCluster(*cluster, data, badSector)) {
            piece.failed = true;
            piece.error = ReadError{false, *cluster};
        }
        ZeroUninitialized(data, length);
    }
    piece.data = data;
    piece.length = static_cast<size_t>(length);
    m_position += length;
    return true;
}

bool NtfsFileData::NextUnitPiece(Piece& piece) {
    if (m_position >= m_giveBytes)
        return false;
    const uint64_t unitBytes = m_clusterBytes * kUnitClusters;
    const size_t clusterBytes = static_cast<size_t>(m_clusterBytes);
    const uint64_t length = std::min(unitBytes, m_giveBytes - m_position);

    std::array<std::optional<uint64_t>, kUnitClusters> clusters;
    size_t count = 0;
    size_t allocated = 0;
    while (count < kUnitClusters && NextCluster(clusters[count])) {
        if (clusters[count])
            ++allocated;
        ++count;
    }
    if (count == 0)
        return false;
    const bool holes = allocated < count;

    uint8_t* data = m_buffer.data();
    std::memset(data, 0, m_buffer.size());
    bool readFailed = false;
    uint64_t failedSector = 0;
    auto read = [&](uint64_t cluster, uint8_t* into) {
        uint64_t bad = 0;
        if (!ReadCluster(cluster, into, bad) && !readFailed) {
            readFailed = true;
            failedSector = bad;
        }
    };

    if (allocated != 0 && !holes) {
        // Every cluster of the unit on disk: stored as is (or the runs ended inside it).
        for (size_t i = 0; i < count; ++i)
            read(*clusters[i], data + i * clusterBytes);
    } else if (allocated != 0) {
        // The clusters on disk hold the unit packed; the holes after them complete it.
        size_t packed = 0;
        uint64_t firstCluster = 0;
        for (size_t i = 0; i < count; ++i) {
            if (!clusters[i])
                continue;
            if (packed == 0)
                firstCluster = *clusters[i];
            read(*clusters[i], m_packed.data() + packed * clusterBytes);
            ++packed;
        }
        size_t produced = static_cast<size_t>(unitBytes);
        if (!DecompressLznt1(data, produced, m_packed.data(), packed * clusterBytes)) {
            std::memset(data, 0, m_buffer.size());
            if (!readFailed) {
                readFailed = true;
                const uint64_t spc = m_volume.SectorsPerCluster();
                failedSector = firstCluster > UINT64_MAX / spc ? UINT64_MAX : firstCluster * spc;
            }
        }
    }
    if (readFailed) {
        piece.failed = true;
        piece.error = ReadError{true, failedSector};
    }
    ZeroUninitialized(data, length);
    piece.data = data;
    piece.length = static_cast<size_t>(length);
    m_position += length;
    return true;
}
