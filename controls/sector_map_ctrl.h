#pragma once

#include "controls/sector_map_model.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

struct JobMessage;
class QPainter;

// The block map of the imaging progress panel: 75 x 40 cells on a black grid, white before a
// block is read, dark blue while it is read, light blue once read and red when a read in it
// failed. The imaging job drives it through the three sector-map messages, handled on the GUI
// thread; each repaints only its cell. Over a cell a tooltip names the cell's first and last
// sector, by the format the owner gives (the control holds no texts of its own).
class CSectorMapCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CSectorMapCtrl(QWidget* parent = nullptr);

    const SectorMapModel& Model() const { return m_model; }

    // The run's sectors per block; set before the job starts.
    void SetSectorsPerBlock(uint64_t sectors) { m_model.SetSectorsPerBlock(sectors); }
    // The tooltip text, printf style with two %llu: the first and the last sector.
    void SetTooltipFormat(std::u16string format) { m_tooltipFormat = std::move(format); }

    // A WM_SECTORMAP_READING, WM_SECTORMAP_DONE or WM_SECTORMAP_FAILED message from the job:
    // its cell takes the message's colour. False for any other message, another payload or a
    // cell outside the map, which change nothing.
    bool HandleMessage(const JobMessage& message);
    // The same by message id and cell.
    bool MarkCell(uint32_t messageId, int row, int column);

    // The tooltip at a point of the control; empty where there is none.
    QString ToolTipAt(QPoint point) const;

    // Draws the map at the painter's origin: the white ground of the picture, the cells in
    // their state's colours inside the grid, then the grid lines.
    static void Paint(QPainter& painter, const SectorMapModel& model);

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    SectorMapModel m_model;
    std::u16string m_tooltipFormat;
};
