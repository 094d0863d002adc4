#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// A read-only view of the bytes of a file that starts at a sector of a source (a drive, a region
// or an image), for the code that sizes files found by their first bytes. Offsets are bytes from
// the file's first sector. The view never asks for a sector past its limit (the end of the drive
// or region): a read that reaches past Size() fails without reading anything. Blocks are read on
// demand and a few are kept, so walking a structure back and forth costs one read per block; the
// block a search already holds can be handed in, so the first reads cost nothing.
class RawDataView {
public:
    // Reads `count` sectors from `sector` into `out` (count x 512 bytes); false on failure.
    using SectorReader = std::function<bool(uint64_t sector, uint32_t count, uint8_t* out)>;

    static constexpr uint32_t kSectorBytes = 512;
    static constexpr uint32_t kBlockSectors = 128;
    static constexpr uint32_t kBlockBytes = kSectorBytes * kBlockSectors;

    // `sectorCount` sectors from `firstSector` may be read. `loaded` holds sectors from
    // `loadedFirstSector` on that the caller already read; it is used, not copied, and must outlive
    // the view. Any part of it outside the view's range is ignored.
    RawDataView(SectorReader reader, uint64_t firstSector, uint64_t sectorCount,
                std::span<const uint8_t> loaded = {}, uint64_t loadedFirstSector = 0);

    uint64_t FirstSector() const { return m_firstSector; }
    // Bytes that may be read: the sectors to the limit.
    uint64_t Size() const { return m_size; }

    // Copies out.size() bytes from `offset`; false (out undefined) when any of them lies past
    // Size() or a sector holding them cannot be read.
    [[nodiscard]] bool Read(uint64_t offset, std::span<uint8_t> out);

    [[nodiscard]] bool U8(uint64_t offset, uint8_t& value);
    [[nodiscard]] bool U16LE(uint64_t offset, uint16_t& value);
    [[nodiscard]] bool U32LE(uint64_t offset, uint32_t& value);
    [[nodiscard]] bool U16BE(uint64_t offset, uint16_t& value);
    [[nodiscard]] bool U32BE(uint64_t offset, uint32_t& value);

    // The first offset from `from` at which `pattern` lies wholly below `to` (and below Size()).
    // False when there is none, or when a block on the way cannot be read.
    [[nodiscard]] bool Find(uint64_t from, uint64_t to, std::span<const uint8_t> pattern,
                            uint64_t& at);

    // Reader calls made so far, for callers that measure what a search cost.
    uint64_t ReaderCalls() const { return m_readerCalls; }

private:
    struct Block {
        uint64_t index = 0;
        bool valid = false;
        std::vector<uint8_t> bytes;
    };
    static constexpr size_t kCachedBlocks = 4;

    // The bytes from `offset` to the end of the loaded region or of the cached block holding it;
    // empty when `offset` is at or past Size() or the block cannot be read. Valid until the next
    // call.
    std::span<const uint8_t> BytesAt(uint64_t offset);
    template <typename T> bool ReadInteger(uint64_t offset, T& value, bool bigEndian);

    SectorReader m_reader;
    uint64_t m_firstSector = 0;
    uint64_t m_sectorCount = 0;
    uint64_t m_size = 0;
    // The caller's block, as view offsets [m_loadedStart, m_loadedStart + m_loaded.size()).
    std::span<const uint8_t> m_loaded;
    uint64_t m_loadedStart = 0;
    std::array<Block, kCachedBlocks> m_blocks;
    size_t m_lastBlock = 0;
    size_t m_nextVictim = 0;
    uint64_t m_readerCalls = 0;
};
