#include "app/dialogs/common/scrolled_panel_dlg.h"

#include "controls/scrolled_area.h"

#include <QVBoxLayout>

CScrolledPanelDlg::CScrolledPanelDlg(int templateId, QWidget* parent) : QDialog(parent) {
    // A dialog makes itself a window whatever flags it is given; the panel lies inside the view
    // that holds it (a panel without a parent stays a window of its own).
    setWindowFlags(Qt::Widget);
    setObjectName(QString::number(templateId));
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_area = new ScrolledArea(QSize(kDisplayWidth, kDisplayHeight), this);
    layout->addWidget(m_area);
}

QWidget* CScrolledPanelDlg::Content() const {
    return m_area->Content();
}
