#pragma once

#include "archiveview/core/preview_byte_source.h"

#include <cstdint>
#include <set>
#include <span>

// A file's bytes held in memory, for tests and fuzzing: the last sector is padded with zeros,
// sectors after it are past the end, and chosen sectors can be made to fail.
class MemoryByteSource : public PreviewByteSource {
public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes, std::set<uint64_t> failing = {})
        : m_bytes(bytes), m_failing(std::move(failing)) {}

    SectorRead ReadSector(uint64_t fileSector, std::span<uint8_t, kSectorBytes> out) override;

    // How many sector reads were asked for.
    uint64_t ReadCount() const { return m_readCount; }

private:
    std::span<const uint8_t> m_bytes;
    std::set<uint64_t> m_failing;
    uint64_t m_readCount = 0;
};
