#include "app/dialogs/scan/image_progress_dlg.h"

#include "app/program_text.h"
#include "controls/program_pictures.h"
#include "controls/sector_map_ctrl.h"
#include "controls/sector_map_geometry.h"
#include "resources/string_ids.h"

#include <QKeyEvent>
#include <QLabel>

#include <array>

namespace {

// The layout of the 810 x 450 content: the description over the map, the legend in a row
// below it, the counters at the bottom.
constexpr int kLeft = 29;
const QRect kDriveTextPlace(kLeft, 8, SectorMapGeometry::kWidth, 22);
const QRect kMapPlace(QPoint(kLeft, 38), SectorMapGeometry::PictureSize());
constexpr int kLegendTop = 370;
constexpr int kLegendItemWidth = 190;
constexpr int kLegendPicture = 16;
constexpr int kCountersTop = 408;

struct LegendItem {
    int id;
    uint32_t textId;
};

// In the order of the legend's pictures.
constexpr std::array<LegendItem, 4> kLegend = {{
    {CImageProgressDlg::kNotProcessedLegendId, kNotProcessedTextId},
    {CImageProgressDlg::kProcessedLegendId, kProcessedLegendTextId},
    {CImageProgressDlg::kCurrentLegendId, kCurrentLegendTextId},
    {CImageProgressDlg::kBadLegendId, kBadLegendTextId},
}};

bool IsPanelText(int id) {
    return id == CImageProgressDlg::kDriveTextId ||
           (id >= CImageProgressDlg::kProcessedTextId &&
            id <= CImageProgressDlg::kNotProcessedLegendId);
}

} // namespace

QColor CImageProgressDlg::DriveTextBackground() {
    return SectorMapGeometry::StateColour(SectorMapCellState::Done);
}

CImageProgressDlg::CImageProgressDlg(QWidget* parent) : CScrolledPanelDlg(kTemplateId, parent) {
    QLabel* drive = AddText(kDriveTextId, ProgramText(kDriveTextTemplateId), kDriveTextPlace);
    QFont bold = drive->font();
    bold.setBold(true);
    bold.setPixelSize(14);
    drive->setFont(bold);
    QPalette blue = drive->palette();
    blue.setColor(QPalette::Window, DriveTextBackground());
    drive->setPalette(blue);
    drive->setAutoFillBackground(true);

    m_map = new CSectorMapCtrl(Content());
    m_map->setGeometry(kMapPlace);
    m_map->SetTooltipFormat(ProgramText(kMapTooltipFormatId).toStdU16String());

    for (size_t i = 0; i < kLegend.size(); ++i) {
        const int left = kLeft + static_cast<int>(i) * kLegendItemWidth;
        AddPicture(kFirstLegendPictureId + static_cast<int>(i),
                   StripPicture(PictureStrip::SectorMapLegend, static_cast<int>(i)),
                   QPoint(left, kLegendTop + 1));
        // Two lines: the not-processed text also tells the block size.
        AddText(kLegend[i].id, ProgramText(kLegend[i].textId),
                QRect(left + kLegendPicture + 6, kLegendTop, kLegendItemWidth - kLegendPicture - 8,
                      34));
    }

    AddPicture(kCountersPictureId, StripPicture(PictureStrip::ImagingCounters, 0),
               QPoint(kLeft, kCountersTop));
    const int countersLeft = kLeft + StripPictureSize(PictureStrip::ImagingCounters) + 8;
    AddText(kProcessedTextId, QString(), QRect(countersLeft, kCountersTop, 400, 16));
    AddText(kReadingTextId, QString(), QRect(countersLeft, kCountersTop + 18, 400, 16));
}

QLabel* CImageProgressDlg::AddText(int id, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, Content());
    label->setObjectName(QString::number(id));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

void CImageProgressDlg::AddPicture(int pictureId, const QPixmap& picture, QPoint place) {
    auto* label = new QLabel(Content());
    label->setObjectName(QString::number(pictureId));
    label->setPixmap(picture);
    label->setGeometry(QRect(place, picture.size()));
}

bool CImageProgressDlg::SetControlText(int controlId, const QString& text) {
    if (!IsPanelText(controlId)) {
        return false;
    }
    auto* label =
        Content()->findChild<QLabel*>(QString::number(controlId), Qt::FindDirectChildrenOnly);
    if (label == nullptr) {
        return false;
    }
    label->setText(text);
    return true;
}

void CImageProgressDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // The panel stays until imaging ends; the keyboard cannot close it.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
