#pragma once

// What the imaging job has done with the block of one cell of the sector map.
enum class SectorMapCellState {
    NotProcessed,
    Reading,
    Done,
    Failed,
};
