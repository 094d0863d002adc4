#include "controls/sector_map_model.h"

#include "platform/text/format_text.h"
#include "platform/jobs/job_messages.h"

#include <limits>

namespace {

constexpr uint64_t kLastSector = std::numeric_limits<uint64_t>::max();

uint64_t SaturatingProduct(uint64_t a, uint64_t b) {
    if (a != 0 && b > kLastSector / a) {
        return kLastSector;
    }
    return a * b;
}

} // namespace

SectorMapModel::SectorMapModel() {
    m_states.fill(SectorMapCellState::NotProcessed);
}

SectorMapCellState SectorMapModel::State(int index) const {
    if (index < 0 || index >= SectorMapGeometry::kCellCount) {
        return SectorMapCellState::NotProcessed;
    }
    return m_states[static_cast<size_t>(index)];
}

std::optional<SectorMapCellState> SectorMapModel::MessageState(uint32_t messageId) {
    switch (messageId) {
    case WM_SECTORMAP_READING:
        return SectorMapCellState::Reading;
    case WM_SECTORMAP_DONE:
        return SectorMapCellState::Done;
    case WM_SECTORMAP_FAILED:
        return SectorMapCellState::Failed;
    default:
        return std::nullopt;
    }
}

int SectorMapModel::Apply(uint32_t messageId, int row, int column) {
    const std::optional<SectorMapCellState> state = MessageState(messageId);
    const int index = SectorMapGeometry::CellIndex(row, column);
    if (!state || index < 0) {
        return -1;
    }
    m_states[static_cast<size_t>(index)] = *state;
    return index;
}

uint64_t SectorMapModel::SectorsPerBlockFor(uint64_t regionSectors) {
    constexpr uint64_t kCells = SectorMapGeometry::kCellCount;
    return regionSectors / kCells + (regionSectors % kCells != 0 ? 1 : 0);
}

std::optional<SectorMapModel::CellSectors> SectorMapModel::Sectors(int index) const {
    if (index < 0 || index >= SectorMapGeometry::kCellCount || m_sectorsPerBlock == 0) {
        return std::nullopt;
    }
    const auto cell = static_cast<uint64_t>(index);
    const uint64_t start = SaturatingProduct(cell, m_sectorsPerBlock);
    return CellSectors{start == kLastSector ? kLastSector : start + 1,
                       SaturatingProduct(cell + 1, m_sectorsPerBlock)};
}

std::u16string SectorMapModel::TooltipText(std::u16string_view format, int index) const {
    const std::optional<CellSectors> sectors = Sectors(index);
    if (!sectors) {
        return {};
    }
    return FormatText(format, sectors->first, sectors->last);
}
