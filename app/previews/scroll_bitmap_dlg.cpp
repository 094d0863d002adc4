#include "app/previews/scroll_bitmap_dlg.h"

#include "controls/program_pictures.h"

#include <QLabel>

CScrollBitmapDlg::CScrollBitmapDlg(QWidget* parent) : CScrolledPanelDlg(kTemplateId, parent) {
    const QPixmap picture = StartPanelPicture();
    auto* label = new QLabel(Content());
    label->setObjectName(QString::number(kPictureId));
    label->setPixmap(picture);
    // Centred in the content, so the margin around it is even.
    label->setGeometry(QRect(
        QPoint((kDisplayWidth - picture.width()) / 2, (kDisplayHeight - picture.height()) / 2),
        picture.size()));
}
