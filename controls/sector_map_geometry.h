#pragma once

#include "controls/sector_map_cell_state.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>

// The fixed layout and colours of the sector map, without widgets: 40 rows of 75 cells, each
// 10 x 8 pixels, numbered row by row from the top left (index = 75 x row + column). The grid
// lines lie on every cell's left and top edge; the last column and row get closing lines, so the
// picture is one pixel wider and higher than the cells.
class SectorMapGeometry {
public:
    static constexpr int kColumns = 75;
    static constexpr int kRows = 40;
    static constexpr int kCellCount = kColumns * kRows;
    static constexpr int kCellWidth = 10;
    static constexpr int kCellHeight = 8;
    // The picture: the cells and their closing grid lines.
    static constexpr int kWidth = kColumns * kCellWidth + 1;
    static constexpr int kHeight = kRows * kCellHeight + 1;

    static QSize PictureSize() { return {kWidth, kHeight}; }

    // The index of the cell, or -1 when row or column lies outside the map.
    static int CellIndex(int row, int column);
    // The cell's rectangle, its grid lines included: (10 x column, 8 x row), 10 x 8 pixels.
    // Empty for an index outside the map.
    static QRect CellRect(int index);
    // The part of the cell inside its grid lines, which takes the state's colour.
    static QRect CellInterior(int index);
    // The cell whose rectangle holds the point, or -1 when none does (left of or above the map,
    // or on or past its closing lines).
    static int CellAt(QPoint point);

    static QColor StateColour(SectorMapCellState state);
    static QColor GridColour() { return QColor(0, 0, 0); }
};
