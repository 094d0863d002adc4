#include "app/previews/office_preview_dlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTitleHeight = 20;
constexpr int kTitlePointSize = 12;
const QColor kTitleBlue(40, 100, 220);

} // namespace

COfficePreviewDlg::COfficePreviewDlg(OfficeKind kind, QWidget* parent)
    : QDialog(parent), m_kind(kind) {
    setObjectName(QString::number(kDialogId));
    setModal(true);
    resize(kWidth, kHeight);

    auto* bar = new QWidget(this);
    bar->setAutoFillBackground(true);
    QPalette barColours = bar->palette();
    barColours.setColor(QPalette::Window, kTitleBlue);
    barColours.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(barColours);
    bar->setFixedHeight(kTitleHeight);
    m_title = new QLabel(bar);
    m_title->setObjectName(QString::number(kTitleId));
    m_title->setTextFormat(Qt::PlainText);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSize(kTitlePointSize);
    m_title->setFont(courier);
    auto* close = new QPushButton(QStringLiteral("X"), bar);
    close->setObjectName(QString::number(kCloseId));
    close->setFixedSize(kTitleHeight, kTitleHeight);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 0, 0, 0);
    barLayout->addWidget(m_title, 1);
    barLayout->addWidget(close);

    m_document = new QPdfDocument(this);
    m_view = new QPdfView(this);
    m_view->setObjectName(QString::number(kViewId));
    m_view->setPageMode(QPdfView::PageMode::MultiPage);
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_view->setDocument(m_document);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);
}

COfficePreviewDlg::~COfficePreviewDlg() {
    // The file goes after the dialog: the document lets go of it first.
    m_view->setDocument(nullptr);
    m_document->close();
}

void COfficePreviewDlg::SetTitle(const QString& title) {
    m_title->setText(title);
    setWindowTitle(title);
}

bool COfficePreviewDlg::Load() {
    m_document->close();
    const QPdfDocument::Error error = m_document->load(QString::fromStdString(m_path.string()));
    return error == QPdfDocument::Error::None && m_document->pageCount() > 0;
}

int COfficePreviewDlg::PageCount() const {
    return m_document->pageCount();
}

void COfficePreviewDlg::reject() {
    accept();
}

void COfficePreviewDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
