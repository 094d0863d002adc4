#include "hexview/hex_viewer_dlg.h"

#include "hexview/disp_view.h"
#include "hexview/hex_edit.h"
#include "hexview/hex_info_panel.h"
#include "hexview/hex_viewer_strings.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QWheelEvent>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <memory>

namespace {

std::function<void(const QString&)>& MessageHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

QString Text(uint32_t id) {
    return QString::fromStdU16String(HexViewerStrings::Get(id));
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, const QRect& where,
                  bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::number(id));
    label->setGeometry(where);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        font.setPixelSize(14);
        label->setFont(font);
    }
    return label;
}

constexpr QRgb kOddRowColour = qRgb(230, 214, 230);

} // namespace

void CHexViewerDlg::SetMessageHook(std::function<void(const QString&)> hook) {
    MessageHook() = std::move(hook);
}

CHexViewerDlg::CHexViewerDlg(const HexViewerSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(Text(HexViewerStrings::kCaption));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    MakeLabel(this, kGoToLabelId, Text(HexViewerStrings::kGoToOffset), QRect(7, 7, 150, 18), true);
    m_edit = new CHexEdit(this);
    m_edit->setGeometry(7, 27, 100, 20);
    auto* go = new QPushButton(Text(HexViewerStrings::kGoButton), this);
    go->setObjectName(QString::number(kGoButtonId));
    go->setGeometry(112, 27, 40, 20);
    go->setAutoDefault(false);
    connect(go, &QPushButton::clicked, this, &CHexViewerDlg::OnGoButton);

    const int labels[] = {HexViewerStrings::kSizeLabel, HexViewerStrings::kOffsetLabel,
                          HexViewerStrings::kSectorLabel};
    const int values[] = {kSizeValueId, kOffsetValueId, kSectorValueId};
    for (int i = 0; i < 3; ++i) {
        MakeLabel(this, labels[i], Text(static_cast<uint32_t>(labels[i])),
                  QRect(7, 60 + i * 24, 60, 20), true);
        MakeLabel(this, values[i], QStringLiteral("0"), QRect(70, 60 + i * 24, 95, 20));
    }
    MakeLabel(this, HexViewerStrings::kTotalClustersLabel,
              Text(HexViewerStrings::kTotalClustersLabel), QRect(7, 132, 110, 20), true);
    MakeLabel(this, kTotalClustersValueId, QStringLiteral("0"), QRect(118, 132, 47, 20));
    for (int i = 0; i < 4; ++i) {
        MakeLabel(this, kFirstLabelId + i, QString(), QRect(7, 132 + i * 44, 160, 20), true);
        auto* value =
            MakeLabel(this, kFirstValueId + i, QString(), QRect(7, 152 + i * 44, 160, 20));
        value->setWordWrap(true);
    }

    m_clusterList = new QTableWidget(0, 1, this);
    m_clusterList->setObjectName(QString::number(kClusterListId));
    m_clusterList->setGeometry(7, 158, 158, 522);
    m_clusterList->setHorizontalHeaderLabels({Text(HexViewerStrings::kClusterColumn)});
    m_clusterList->horizontalHeader()->resizeSection(0, 142);
    m_clusterList->verticalHeader()->hide();
    m_clusterList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_clusterList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_clusterList->setShowGrid(true);
    connect(m_clusterList, &QTableWidget::cellClicked, this,
            [this](int row, int) { OnClusterClicked(row); });

    FillPanel();

    m_view = new CDispView(*this, m_settings, this);
    m_view->setGeometry(170, 7, 735 - 170, 680 - 7);
    setFixedSize(745, 690);
    // The dialog's own controls: an event that one of them leaves goes up to the dialog, which
    // is not watched, so each reaches the view once.
    // The cluster list takes keys itself and wheel turns in its viewport.
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control != m_view)
            control->installEventFilter(this);
    }
    m_clusterList->viewport()->installEventFilter(this);
}

void CHexViewerDlg::FillPanel() {
    const HexInfoPanel panel = HexInfoPanel::Build(m_settings);
    setWindowTitle(QString::fromStdU16String(panel.caption));
    findChild<QLabel*>(QString::number(kSizeValueId))
        ->setText(QString::fromStdU16String(panel.sizeText));
    m_clusterList->setVisible(panel.showClusters);
    findChild<QLabel*>(QString::number(HexViewerStrings::kTotalClustersLabel))
        ->setVisible(panel.showClusters);
    auto* total = findChild<QLabel*>(QString::number(kTotalClustersValueId));
    total->setVisible(panel.showClusters);
    total->setText(QString::fromStdU16String(panel.totalClusters));
    for (int i = 0; i < 4; ++i) {
        auto* label = findChild<QLabel*>(QString::number(kFirstLabelId + i));
        auto* value = findChild<QLabel*>(QString::number(kFirstValueId + i));
        label->setVisible(panel.showLabels);
        value->setVisible(panel.showLabels);
        label->setText(QString::fromStdU16String(panel.labels[static_cast<size_t>(i)]));
        value->setText(QString::fromStdU16String(panel.values[static_cast<size_t>(i)]));
    }
    m_clusterList->setRowCount(static_cast<int>(panel.clusterRows.size()));
    for (size_t i = 0; i < panel.clusterRows.size(); ++i) {
        auto* item = new QTableWidgetItem(QString::fromStdU16String(panel.clusterRows[i]));
        if (i % 2 == 1)
            item->setBackground(QColor::fromRgb(kOddRowColour));
        m_clusterList->setItem(static_cast<int>(i), 0, item);
    }
}

void CHexViewerDlg::OnGoButton() {
    const std::optional<uint64_t> offset = HexOffsetText::Parse(m_edit->text().toStdU16String());
    if (!offset)
        return;
    if (HexOffsetText::Decide(*offset, m_settings.size) == HexOffsetText::GoTo::ExceedsRange) {
        const QString text = Text(HexViewerStrings::kExceedTheRange);
        if (MessageHook())
            MessageHook()(text);
        else
            QMessageBox::information(this, QString(), text);
        return;
    }
    m_goToOffset = *offset;
    if (m_settings.size != 0)
        m_view->GoToOffset(m_goToOffset);
}

void CHexViewerDlg::OnClusterClicked(int row) {
    if (row < 0 || m_settings.size == 0)
        return;
    m_goToOffset =
        static_cast<uint64_t>(row) * m_settings.sectorsPerCluster * HexViewerSettings::kSectorBytes;
    m_view->GoToOffset(m_goToOffset);
}

void CHexViewerDlg::UpdateOffsetStatics(uint64_t byteIndex, uint64_t sectorIndex) {
    findChild<QLabel*>(QString::number(kOffsetValueId))->setText(QString::number(byteIndex));
    findChild<QLabel*>(QString::number(kSectorValueId))->setText(QString::number(sectorIndex));
}

namespace {

// Keys that neither press a button nor close the viewer; the close box does.
bool PassesUntouched(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Space:
        return true;
    default:
        return false;
    }
}

} // namespace

void CHexViewerDlg::SendToView(const QEvent& event) {
    if (m_view == nullptr || m_sendingToView)
        return;
    // A copy the view leaves comes back up to the dialog: it must not be sent again.
    m_sendingToView = true;
    const std::unique_ptr<QEvent> copy(event.clone());
    QCoreApplication::sendEvent(m_view, copy.get());
    m_sendingToView = false;
}

bool CHexViewerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        if (watched != m_clusterList)
            SendToView(*event);
    } else if (event->type() == QEvent::KeyPress && watched != m_clusterList->viewport()) {
        SendToView(*event);
        // A key the control leaves goes on up to the dialog, which must not send it again. The
        // mark lasts only while the key is delivered.
        m_forwardedKey = event;
        QTimer::singleShot(0, this, [this] { m_forwardedKey = nullptr; });
        if (PassesUntouched(*static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CHexViewerDlg::keyPressEvent(QKeyEvent* event) {
    if (m_sendingToView) {
        event->accept();
        return;
    }
    // A key a control left has reached the view already.
    const bool forwarded = event == m_forwardedKey;
    m_forwardedKey = nullptr;
    if (!forwarded)
        SendToView(*event);
    if (PassesUntouched(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CHexViewerDlg::wheelEvent(QWheelEvent* event) {
    if (m_sendingToView) {
        event->accept();
        return;
    }
    // Over the dialog's background; a wheel turn a control left has reached the view.
    if (childAt(event->position().toPoint()) == nullptr)
        SendToView(*event);
    event->accept();
}
