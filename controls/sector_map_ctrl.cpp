#include "controls/sector_map_ctrl.h"

#include "platform/jobs/job_messages.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

CSectorMapCtrl::CSectorMapCtrl(QWidget* parent) : QWidget(parent) {
    // The whole picture is painted every time: nothing of the parent needs to show through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CSectorMapCtrl::HandleMessage(const JobMessage& message) {
    const SectorMapCellPayload* cell = message.Get<SectorMapCellPayload>();
    return cell != nullptr && MarkCell(message.id, cell->row, cell->column);
}

bool CSectorMapCtrl::MarkCell(uint32_t messageId, int row, int column) {
    const int index = m_model.Apply(messageId, row, column);
    if (index < 0) {
        return false;
    }
    // Only the cell changed; its rectangle holds its grid lines, which are drawn again.
    update(SectorMapGeometry::CellRect(index));
    return true;
}

QString CSectorMapCtrl::ToolTipAt(QPoint point) const {
    const std::u16string text =
        m_model.TooltipText(m_tooltipFormat, SectorMapGeometry::CellAt(point));
    return QString::fromStdU16String(text);
}

void CSectorMapCtrl::Paint(QPainter& painter, const SectorMapModel& model) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), SectorMapGeometry::PictureSize()),
                     SectorMapGeometry::StateColour(SectorMapCellState::NotProcessed));
    for (int index = 0; index < SectorMapGeometry::kCellCount; ++index) {
        const SectorMapCellState state = model.State(index);
        if (state != SectorMapCellState::NotProcessed) {
            painter.fillRect(SectorMapGeometry::CellInterior(index),
                             SectorMapGeometry::StateColour(state));
        }
    }
    painter.setPen(QPen(SectorMapGeometry::GridColour(), 0));
    const int right = SectorMapGeometry::kWidth - 1;
    const int bottom = SectorMapGeometry::kHeight - 1;
    for (int y = 0; y <= bottom; y += SectorMapGeometry::kCellHeight) {
        painter.drawLine(0, y, right, y);
    }
    for (int x = 0; x <= right; x += SectorMapGeometry::kCellWidth) {
        painter.drawLine(x, 0, x, bottom);
    }
    painter.restore();
}

QSize CSectorMapCtrl::sizeHint() const {
    return SectorMapGeometry::PictureSize();
}

bool CSectorMapCtrl::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    // Tied to the cell's rectangle: moving to the next cell asks for that cell's text.
    QToolTip::showText(help->globalPos(), text, this,
                       SectorMapGeometry::CellRect(SectorMapGeometry::CellAt(help->pos())));
    return true;
}

void CSectorMapCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Past the picture the control shows the panel's white.
    painter.fillRect(rect(), Qt::white);
    Paint(painter, m_model);
}
