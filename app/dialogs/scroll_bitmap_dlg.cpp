#include "app/dialogs/scroll_bitmap_dlg.h"

#include "controls/program_pictures.h"
#include "controls/scrolled_area.h"

#include <QLabel>
#include <QVBoxLayout>

CScrollBitmapDlg::CScrollBitmapDlg(QWidget* parent) : QDialog(parent, Qt::Widget) {
    setObjectName(QString::number(kTemplateId));
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_area = new ScrolledArea(QSize(kDisplayWidth, kDisplayHeight), this);
    layout->addWidget(m_area);

    const QPixmap picture = StartPanelPicture();
    auto* label = new QLabel(m_area->Content());
    label->setObjectName(QString::number(kPictureId));
    label->setPixmap(picture);
    // Centred in the content, so the margin around it is even.
    label->setGeometry(QRect(
        QPoint((kDisplayWidth - picture.width()) / 2, (kDisplayHeight - picture.height()) / 2),
        picture.size()));
}
