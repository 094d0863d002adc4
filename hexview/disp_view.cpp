#include "hexview/disp_view.h"

#include "diskio/sources/block_buffer.h"
#include "hexview/hex_viewer_dlg.h"
#include "hexview/hex_viewer_strings.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <cstring>

namespace {

constexpr int kScrollBarWidth = 18;
constexpr QRgb kSelectionColour = qRgb(235, 200, 255);

QString ViewText(uint32_t id) {
    return QString::fromStdU16String(HexViewerStrings::Get(id));
}

} // namespace

CDispView::CDispView(CHexViewerDlg& dialog, const HexViewerSettings& settings, QWidget* parent)
    : QWidget(parent), m_dialog(dialog), m_settings(settings), m_reader(settings),
      m_model(settings.size, settings.lastScrollPosition) {
    setObjectName(QString::number(kControlId));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_scrollBar = new QScrollBar(Qt::Vertical, this);
    m_scrollBar->setObjectName(QStringLiteral("scroll"));
    m_scrollBar->setPageStep(1);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setFocusPolicy(Qt::NoFocus);
    connect(m_scrollBar, &QScrollBar::actionTriggered, this, &CDispView::OnScrollAction);
    SyncScrollBar();
}

int CDispView::NeededWidth() {
    return DispViewModel::kTextRight + 8 + kScrollBarWidth;
}

bool CDispView::ReadSectors(uint8_t* buffer, uint32_t sectorCount, uint64_t position) const {
    const uint64_t last = m_settings.lastScrollPosition;
    if (m_settings.mode == HexViewerSettings::Mode::Disk && sectorCount > 1 &&
        position + sectorCount <= last) {
        if (m_reader.ReadSectors(position, sectorCount, buffer))
            return true;
        // One unreadable sector must not blank its neighbour.
        std::memset(buffer, 0, size_t{sectorCount} * DispViewModel::kSectorBytes);
    }
    bool all = true;
    for (uint32_t i = 0; i < sectorCount; ++i)
        all =
            m_reader.ReadSectors(position + i, 1, buffer + i * DispViewModel::kSectorBytes) && all;
    return all;
}

void CDispView::GoToOffset(uint64_t offset) {
    m_model.GoToOffset(offset);
    setFocus();
    Changed();
}

void CDispView::ScrollBy(DispViewModel::Scroll code) {
    m_model.ScrollBy(code);
    Changed();
}

int CDispView::ClientHeight() const {
    return height();
}

void CDispView::SyncScrollBar() {
    m_syncing = true;
    m_scrollBar->setRange(0, m_model.ScrollMaximum());
    m_scrollBar->setValue(m_model.ScrollValue());
    m_syncing = false;
}

void CDispView::OnScrollAction(int action) {
    if (m_syncing)
        return;
    using S = DispViewModel::Scroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        m_model.ScrollBy(S::LineDown);
        break;
    case QAbstractSlider::SliderSingleStepSub:
        m_model.ScrollBy(S::LineUp);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        m_model.ScrollBy(S::PageDown);
        break;
    case QAbstractSlider::SliderPageStepSub:
        m_model.ScrollBy(S::PageUp);
        break;
    case QAbstractSlider::SliderToMinimum:
        m_model.ScrollBy(S::Top);
        break;
    case QAbstractSlider::SliderToMaximum:
        m_model.ScrollBy(S::Bottom);
        break;
    case QAbstractSlider::SliderMove:
        m_model.SetScrollValue(m_scrollBar->sliderPosition());
        break;
    default:
        return;
    }
    // The model, not the bar's own step, decides where the view is.
    QMetaObject::invokeMethod(
        this, [this] { Changed(); }, Qt::QueuedConnection);
}

void CDispView::Changed() {
    SyncScrollBar();
    m_dialog.UpdateOffsetStatics(m_model.CaretByte(), m_model.CaretSector());
    update();
}

void CDispView::resizeEvent(QResizeEvent*) {
    const int barHeight =
        std::max(0, height() / DispViewModel::kRowHeight * DispViewModel::kRowHeight);
    m_scrollBar->setGeometry(width() - kScrollBarWidth, 0, kScrollBarWidth, barHeight);
}

void CDispView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_settings.size == 0)
        return;
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(Qt::black);
    using M = DispViewModel;
    painter.drawText(QRect(0, 0, M::kAddressRight, M::kHeaderHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, ViewText(HexViewerStrings::kAddress));
    for (int k = 0; k < 16; ++k)
        painter.drawText(
            QRect(M::kHexLeft + k * M::kHexCellWidth, 0, M::kHexCellWidth, M::kHeaderHeight),
            Qt::AlignCenter, QString::number(k, 16).toUpper());
    painter.drawText(QRect(M::kTextLeft, 0, M::kTextRight - M::kTextLeft, M::kHeaderHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, ViewText(HexViewerStrings::kAnsiText));
    painter.drawLine(0, 15, M::kTextRight, 15);
    painter.drawLine(95, 0, 95, height());
    painter.drawLine(425, 0, 425, height());

    alignas(BlockBuffer::kAlignment) std::array<uint8_t, M::kBufferBytes> buffer{};
    const uint32_t sectors = m_model.SectorsToRead();
    if (sectors != 0)
        ReadSectors(buffer.data(), sectors, m_model.Sector());
    int top = M::kHeaderHeight;
    for (const M::Row& row : m_model.VisibleRows(ClientHeight())) {
        painter.drawText(QRect(0, top, M::kAddressRight - 5, M::kRowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(M::AddressText(row.address)));
        for (uint32_t k = 0; k < row.count; ++k) {
            const uint8_t byte = buffer[row.bufferOffset + k];
            const QRect hex(M::kHexLeft + static_cast<int>(k) * M::kHexCellWidth, top,
                            M::kHexCellWidth, M::kRowHeight);
            const QRect text(M::kTextLeft + static_cast<int>(k) * M::kTextCellWidth, top,
                             M::kTextCellWidth, M::kRowHeight);
            if (m_model.Selected(row.address + k)) {
                painter.fillRect(hex, QColor::fromRgb(kSelectionColour));
                painter.fillRect(text, QColor::fromRgb(kSelectionColour));
            }
            painter.drawText(hex, Qt::AlignCenter, QString::fromStdString(M::HexText(byte)));
            // The text column shows bytes as the ANSI code page (Windows-1252) does.
            painter.drawText(text, Qt::AlignCenter, QString(QChar(M::TextChar(byte))));
        }
        top += M::kRowHeight;
    }
    if (hasFocus()) {
        // The caret: a bar under the nibble it stands on, when that nibble is shown.
        const uint64_t byte = m_model.CaretByte();
        const uint64_t first =
            m_model.Sector() * M::kSectorBytes + static_cast<uint64_t>(m_model.RowIndex()) * 16;
        if (byte >= first) {
            const uint64_t row = (byte - first) / 16;
            const int y =
                M::kHeaderHeight + static_cast<int>(std::min<uint64_t>(row, 1000)) * M::kRowHeight;
            if (y < ClientHeight()) {
                const int x = M::kHexLeft + static_cast<int>(byte % 16) * M::kHexCellWidth + 3 +
                              (m_model.Caret() % 2 != 0 ? 7 : 0);
                painter.fillRect(QRect(x, y + M::kRowHeight - 3, 7, 2), Qt::black);
            }
        }
    }
}

void CDispView::keyPressEvent(QKeyEvent* event) {
    using K = DispViewModel::Key;
    K key;
    switch (event->key()) {
    case Qt::Key_Left:
        key = K::Left;
        break;
    case Qt::Key_Right:
        key = K::Right;
        break;
    case Qt::Key_Up:
        key = K::Up;
        break;
    case Qt::Key_Down:
        key = K::Down;
        break;
    case Qt::Key_PageUp:
        key = K::PageUp;
        break;
    case Qt::Key_PageDown:
        key = K::PageDown;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    m_model.KeyDown(key, (event->modifiers() & Qt::ShiftModifier) != 0);
    event->accept();
    Changed();
}

void CDispView::wheelEvent(QWheelEvent* event) {
    m_model.ScrollBy(event->angleDelta().y() <= 0 ? DispViewModel::Scroll::LineDown
                                                  : DispViewModel::Scroll::LineUp);
    event->accept();
    Changed();
}

void CDispView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    grabMouse();
    const QPoint p = event->position().toPoint();
    const std::optional<uint64_t> byte = m_model.HitTest(p.x(), p.y(), ClientHeight());
    m_clickedByte = byte ? static_cast<int64_t>(*byte) : -1;
    if (m_model.Press(p.x(), p.y(), ClientHeight()))
        Changed();
}

void CDispView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_clickedByte = -1;
    releaseMouse();
    update();
}
