#include "filesystems/carving/raw_data_view.h"

#include <algorithm>
#include <cstring>
#include <limits>

RawDataView::RawDataView(SectorReader reader, uint64_t firstSector, uint64_t sectorCount,
                         std::span<const uint8_t> loaded, uint64_t loadedFirstSector)
    : m_reader(std::move(reader)), m_firstSector(firstSector) {
    m_sectorCount = std::min(sectorCount, std::numeric_limits<uint64_t>::max() / kSectorBytes);
    m_size = m_sectorCount * kSectorBytes;
    if (!m_reader)
        m_size = 0;

    // Keep only the part of the caller's block that lies inside the view.
    if (loaded.empty() || m_size == 0)
        return;
    uint64_t skip = 0;
    if (loadedFirstSector < firstSector) {
        const uint64_t sectorsBefore = firstSector - loadedFirstSector;
        if (sectorsBefore >= loaded.size() / kSectorBytes)
            return;
        skip = sectorsBefore * kSectorBytes;
        m_loadedStart = 0;
    } else {
        const uint64_t sectorsAfter = loadedFirstSector - firstSector;
        if (sectorsAfter >= m_sectorCount)
            return;
        m_loadedStart = sectorsAfter * kSectorBytes;
    }
    const uint64_t available = loaded.size() - skip;
    const uint64_t length = std::min(available, m_size - m_loadedStart);
    m_loaded = loaded.subspan(static_cast<size_t>(skip), static_cast<size_t>(length));
}

std::span<const uint8_t> RawDataView::BytesAt(uint64_t offset) {
    if (offset >= m_size)
        return {};
    if (offset >= m_loadedStart && offset - m_loadedStart < m_loaded.size())
        return m_loaded.subspan(static_cast<size_t>(offset - m_loadedStart));

    const uint64_t index = offset / kBlockBytes;
    const size_t within = static_cast<size_t>(offset % kBlockBytes);
    auto hit = [&](size_t slot) -> std::span<const uint8_t> {
        const Block& block = m_blocks[slot];
        if (within >= block.bytes.size())
            return {};
        m_lastBlock = slot;
        return std::span<const uint8_t>(block.bytes).subspan(within);
    };
    if (m_blocks[m_lastBlock].valid && m_blocks[m_lastBlock].index == index)
        return hit(m_lastBlock);
    for (size_t slot = 0; slot < kCachedBlocks; ++slot) {
        if (m_blocks[slot].valid && m_blocks[slot].index == index)
            return hit(slot);
    }

    const uint64_t blockSector = index * kBlockSectors;
    const uint32_t count =
        static_cast<uint32_t>(std::min<uint64_t>(kBlockSectors, m_sectorCount - blockSector));
    const size_t slot = m_nextVictim;
    m_nextVictim = (m_nextVictim + 1) % kCachedBlocks;
    Block& block = m_blocks[slot];
    block.valid = false;
    block.bytes.resize(static_cast<size_t>(count) * kSectorBytes);
    ++m_readerCalls;
    if (!m_reader(m_firstSector + blockSector, count, block.bytes.data()))
        return {};
    block.index = index;
    block.valid = true;
    return hit(slot);
}

bool RawDataView::Read(uint64_t offset, std::span<uint8_t> out) {
    if (offset > m_size || out.size() > m_size - offset)
        return false;
    size_t done = 0;
    while (done < out.size()) {
        const std::span<const uint8_t> bytes = BytesAt(offset + done);
        if (bytes.empty())
            return false;
        const size_t take = std::min(bytes.size(), out.size() - done);
        std::memcpy(out.data() + done, bytes.data(), take);
        done += take;
    }
    return true;
}

template <typename T> bool RawDataView::ReadInteger(uint64_t offset, T& value, bool bigEndian) {
    uint8_t bytes[sizeof(T)];
    if (!Read(offset, bytes))
        return false;
    T result = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        const size_t shift = bigEndian ? 8 * (sizeof(T) - 1 - i) : 8 * i;
        result = static_cast<T>(result | (static_cast<T>(bytes[i]) << shift));
    }
    value = result;
    return true;
}

bool RawDataView::U8(uint64_t offset, uint8_t& value) {
    return ReadInteger(offset, value, false);
}

bool RawDataView::U16LE(uint64_t offset, uint16_t& value) {
    return ReadInteger(offset, value, false);
}

bool RawDataView::U32LE(uint64_t offset, uint32_t& value) {
    return ReadInteger(offset, value, false);
}

bool RawDataView::U16BE(uint64_t offset, uint16_t& value) {
    return ReadInteger(offset, value, true);
}

bool RawDataView::U32BE(uint64_t offset, uint32_t& value) {
    return ReadInteger(offset, value, true);
}

bool RawDataView::Find(uint64_t from, uint64_t to, std::span<const uint8_t> pattern, uint64_t& at) {
    to = std::min(to, m_size);
    const size_t length = pattern.size();
    if (length == 0 || from >= to || to - from < length)
        return false;
    const uint64_t lastStart = to - length;
    std::vector<uint8_t> probe(length);
    uint64_t position = from;
    while (position <= lastStart) {
        std::span<const uint8_t> bytes = BytesAt(position);
        if (bytes.empty())
            return false;
        bytes = bytes.first(static_cast<size_t>(std::min<uint64_t>(bytes.size(), to - position)));

        // Starts whose pattern lies inside this run of bytes.
        size_t scanned = 0;
        if (bytes.size() >= length) {
            scanned = bytes.size() - length + 1;
            const uint8_t* cursor = bytes.data();
            const uint8_t* const end = bytes.data() + scanned;
            while (cursor < end) {
                const void* found =
                    std::memchr(cursor, pattern[0], static_cast<size_t>(end - cursor));
                if (found == nullptr)
                    break;
                cursor = static_cast<const uint8_t*>(found);
                if (std::memcmp(cursor, pattern.data(), length) == 0) {
                    at = position + static_cast<uint64_t>(cursor - bytes.data());
                    return true;
                }
                ++cursor;
            }
        }
        // Starts whose pattern runs on into the next block. The reads below may drop the
        // block `bytes` points into, so its tail is copied first.
        const uint64_t runEnd = position + bytes.size();
        const uint64_t tailStart = position + scanned;
        const std::vector<uint8_t> tail(bytes.begin() + static_cast<ptrdiff_t>(scanned),
                                        bytes.end());
        for (uint64_t start = tailStart; start < runEnd && start <= lastStart; ++start) {
            if (tail[static_cast<size_t>(start - tailStart)] != pattern[0])
                continue;
            if (!Read(start, probe))
                return false;
            if (std::memcmp(probe.data(), pattern.data(), length) == 0) {
                at = start;
                return true;
            }
        }
        position = runEnd;
    }
    return false;
}
