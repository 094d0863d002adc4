#include "app/previews/image_preview_ctrl.h"

#include "app/previews/dib_image_draw.h"
#include "preview/dib_image.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>

#include <memory>

CImagePreviewCtrl::CImagePreviewCtrl(QWidget* parent, std::span<const uint8_t> picture,
                                     QString fileName)
    : QListWidget(parent), m_picture(picture), m_fileName(std::move(fileName)) {
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setFrameShape(QFrame::Box);
}

uint32_t CImagePreviewCtrl::GetImageType(const QString& fileName) {
    const QString last4 = fileName.right(4).toLower();
    const QString last3 = fileName.right(3).toLower();
    if (last4 == QLatin1String("wbmp"))
        return CDibImage::kTypeWbmp;
    if (last3 == QLatin1String("bmp"))
        return CDibImage::kTypeBmp;
    if (last3 == QLatin1String("gif"))
        return CDibImage::kTypeGif;
    if (last3 == QLatin1String("jpg") || last4 == QLatin1String("jpeg"))
        return CDibImage::kTypeJpeg;
    if (last3 == QLatin1String("png"))
        return CDibImage::kTypePng;
    if (last3 == QLatin1String("ico"))
        return CDibImage::kTypeIco;
    if (last3 == QLatin1String("tif") || last4 == QLatin1String("tiff"))
        return CDibImage::kTypeTiff;
    return CDibImage::kTypeUnknown;
}

int CImagePreviewCtrl::OnCreate() {
    const auto image =
        std::make_unique<CDibImage>(m_picture.data(), m_picture.size(), GetImageType(m_fileName));
    if (image->Width() == 0 || image->Height() == 0)
        return 0;
    const QSize cell(static_cast<int>(image->Width()), static_cast<int>(image->Height()));
    setIconSize(cell);
    clear();
    setUpdatesEnabled(false);
    auto* item = new QListWidgetItem(m_fileName, this);
    setUpdatesEnabled(true);

    // Fit the picture into the cell keeping its aspect; for its own cell that is full size.
    const double ratio = double(image->Height()) / double(image->Width());
    const double cellRatio = double(cell.height()) / double(cell.width());
    QRect fitted(QPoint(0, 0), cell);
    if (ratio > cellRatio) {
        const int width = static_cast<int>(cell.height() / ratio);
        fitted = QRect((cell.width() - width) / 2, 0, width, cell.height());
    } else {
        const int height = static_cast<int>(cell.width() * ratio);
        fitted = QRect(0, (cell.height() - height) / 2, cell.width(), height);
    }
    QPixmap bitmap(cell);
    if (bitmap.isNull())
        return 0;
    {
        QPainter painter(&bitmap);
        painter.fillRect(QRect(QPoint(0, 0), cell), Qt::white);
        DrawDibImage(painter, *image, fitted);
        painter.setPen(QColor(192, 192, 192));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(0, 0, cell.width() - 1, cell.height() - 1));
    }
    item->setIcon(QIcon(bitmap));
    viewport()->update();
    m_decoded = true;
    return 0;
}

void CImagePreviewCtrl::keyPressEvent(QKeyEvent* event) {
    // The keyboard neither selects nor moves the item; Escape still reaches the dialog.
    event->ignore();
}
