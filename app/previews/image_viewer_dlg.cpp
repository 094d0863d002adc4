#include "app/previews/image_viewer_dlg.h"

#include "app/previews/image_preview_ctrl.h"

CImageViewerDlg::CImageViewerDlg(QWidget* parent, std::span<const uint8_t> picture,
                                 QString fileName)
    : QDialog(parent), m_picture(picture), m_fileName(std::move(fileName)) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(m_fileName);
    OnInitDialog();
}

int CImageViewerDlg::OnInitDialog() {
    setGeometry(150, 50, 650, 600);
    setFixedSize(650, 600);
    m_preview = new CImagePreviewCtrl(this, m_picture, m_fileName);
    m_preview->setObjectName(QString::number(kPreviewControlId));
    m_preview->setGeometry(QRect(QPoint(10, 10), QPoint(635, 565)));
    if (m_preview->OnCreate() != 0)
        return 0;
    return 1;
}
