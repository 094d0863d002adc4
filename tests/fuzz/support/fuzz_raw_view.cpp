#include "tests/fuzz/support/fuzz_raw_view.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint64_t kSector = RawDataView::kSectorBytes;
constexpr uint8_t kOtherData = 0xA5;

} // namespace

FuzzRawView::FuzzRawView(uint8_t shape, std::span<const uint8_t> file) {
    m_before = shape & 0x01;
    const uint64_t cut = (shape >> 1) & 0x03;
    const bool handIn = (shape & 0x08) != 0;

    m_drive.assign(static_cast<size_t>(m_before * kSector), kOtherData);
    m_drive.insert(m_drive.end(), file.begin(), file.end());
    m_drive.resize((m_drive.size() + kSector - 1) / kSector * kSector, 0);
    const uint64_t fileSectors = m_drive.size() / kSector - m_before;
    const uint64_t viewSectors = fileSectors - std::min(fileSectors, cut);
    m_limit = m_before + viewSectors;

    m_source = SectorSource::ForMemory(m_drive);
    m_source.SetAbsoluteRange(0, m_limit == 0 ? 0 : m_limit - 1);
    RawDataView::SectorReader reader = [this](uint64_t sector, uint32_t count, uint8_t* out) {
        if (sector < m_before || sector > m_limit || count > m_limit - sector)
            std::abort();
        return m_source.ReadSectors(sector, count, out) != 0;
    };
    const size_t loadedBytes =
        static_cast<size_t>(std::min<uint64_t>(m_drive.size(), RawDataView::kBlockBytes));
    const std::span<const uint8_t> loaded =
        handIn ? std::span<const uint8_t>(m_drive).first(loadedBytes) : std::span<const uint8_t>();
    m_view = std::make_unique<RawDataView>(reader, m_before, viewSectors, loaded, 0);
}
