#include "controls/sector_map_geometry.h"

int SectorMapGeometry::CellIndex(int row, int column) {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) {
        return -1;
    }
    return row * kColumns + column;
}

QRect SectorMapGeometry::CellRect(int index) {
    if (index < 0 || index >= kCellCount) {
        return QRect();
    }
    const int row = index / kColumns;
    const int column = index % kColumns;
    return QRect(column * kCellWidth, row * kCellHeight, kCellWidth, kCellHeight);
}

QRect SectorMapGeometry::CellInterior(int index) {
    const QRect cell = CellRect(index);
    return cell.isNull() ? QRect() : cell.adjusted(1, 1, 0, 0);
}

int SectorMapGeometry::CellAt(QPoint point) {
    // Divide only what is known to be inside, so negative points never round into cell 0.
    if (point.x() < 0 || point.y() < 0) {
        return -1;
    }
    return CellIndex(point.y() / kCellHeight, point.x() / kCellWidth);
}

QColor SectorMapGeometry::StateColour(SectorMapCellState state) {
    switch (state) {
    case SectorMapCellState::Reading:
        return QColor(20, 60, 100);
    case SectorMapCellState::Done:
        return QColor(169, 185, 247);
    case SectorMapCellState::Failed:
        return QColor(255, 0, 0);
    case SectorMapCellState::NotProcessed:
        break;
    }
    return QColor(255, 255, 255);
}
