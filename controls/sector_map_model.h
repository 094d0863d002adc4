#pragma once

#include "controls/sector_map_cell_state.h"
#include "controls/sector_map_geometry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the sector map shows, without a window: the state of every cell and the number of
// sectors each cell's block holds. The imaging job moves a cell to Reading, then to Done or
// Failed through the three sector-map messages; a cell keeps its last state for the run, and
// nothing clears the map.
//
// The sectors per block is the run's own value, set once before the job starts: the last block
// of a region that does not divide evenly holds fewer sectors, but the cells keep their places
// by the run's value, so the tooltips of every cell stay right after it.
class SectorMapModel {
public:
    // The first and last sector of a cell's block, counted from 1 at the region's start.
    struct CellSectors {
        uint64_t first = 0;
        uint64_t last = 0;
        bool operator==(const CellSectors&) const = default;
    };

    SectorMapModel();

    SectorMapCellState State(int index) const;

    // WM_SECTORMAP_READING, WM_SECTORMAP_DONE or WM_SECTORMAP_FAILED for the cell at row,
    // column: the cell takes the message's state. Returns the cell's index, or -1 when the id is
    // none of the three or the cell lies outside the map (nothing changes then).
    int Apply(uint32_t messageId, int row, int column);
    // The state a sector-map message gives, or none for any other id.
    static std::optional<SectorMapCellState> MessageState(uint32_t messageId);

    void SetSectorsPerBlock(uint64_t sectors) { m_sectorsPerBlock = sectors; }
    uint64_t SectorsPerBlock() const { return m_sectorsPerBlock; }
    // The run's sectors per block for a region of that many sectors: enough that the cells
    // cover it, at least one for a region of fewer sectors than cells.
    static uint64_t SectorsPerBlockFor(uint64_t regionSectors);

    // Cell index x n + 1 to n x (index + 1), n the sectors per block; numbers past 2^64 - 1
    // stay at it. None for an index outside the map or before the sectors per block is known.
    std::optional<CellSectors> Sectors(int index) const;
    // The tooltip of a cell: `format` (two unsigned 64-bit conversions, %llu) with its first
    // and last sector; empty when the cell has no sectors.
    std::u16string TooltipText(std::u16string_view format, int index) const;

private:
    std::array<SectorMapCellState, SectorMapGeometry::kCellCount> m_states;
    uint64_t m_sectorsPerBlock = 0;
};
