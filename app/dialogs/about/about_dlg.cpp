#include "app/dialogs/about/about_dlg.h"

#include "app/dialogs/common/dialog_widgets.h"
#include "app/dialogs/about/eula_dlg.h"
#include "app/program_text.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* Text(const QString& text, int pointSize, bool bold, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

QString FromUtf16(const char16_t* text) {
    return QString::fromUtf16(text);
}

} // namespace

CAboutDlg::CAboutDlg(const SystemInformation& system, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kAboutCaptionId));
    PaintWhite(*this);
    m_openLink = [](const QUrl& address) { return QDesktopServices::openUrl(address); };
    m_runEula = [](QWidget* owner) {
        CEulaDlg eula({}, owner);
        eula.exec();
    };

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text(FromUtf16(kProductName), 20, true, this));
    layout->addWidget(Text(FromUtf16(kVersion), 10, true, this));
    layout->addWidget(Text(FromUtf16(kFileSystems), 10, true, this));
    layout->addWidget(Text(QString::fromUtf16(kProductTitle), 10, false, this));
    layout->addSpacing(8);
    layout->addWidget(Text(ProgramText(kSystemHeadingId), 10, true, this));
    QLabel* systemText = Text(SystemText(system), 10, false, this);
    systemText->setObjectName(QString::number(kSystemInformationId));
    layout->addWidget(systemText);
    layout->addSpacing(8);
    for (size_t i = 0; i < kLinks.size(); ++i) {
        QLabel* link = Text(FromUtf16(kLinks[i].text), 10, false, this);
        link->setObjectName(QString::number(kLinkIds[i]));
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        m_linkLabels[i] = link;
        ColourLink(i);
        layout->addWidget(link);
    }

    auto* eula = MakeDialogButton(kEulaTextId, kEulaId, this);
    auto* ok = MakeDialogButton(kOkTextId, kOkId, this);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(eula);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(eula, &QPushButton::clicked, this, [this] { m_runEula(this); });
    connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);
}

QString CAboutDlg::SystemText(const SystemInformation& system) {
    QStringList lines;
    if (system.memoryMiB) {
        lines << QString::asprintf("%ld MB RAM", static_cast<long>(*system.memoryMiB));
    }
    lines << QString::fromStdString(system.systemName);
    if (!system.kernel.empty()) {
        lines << QString::fromStdString(system.kernel);
    }
    return lines.join(QLatin1Char('\n'));
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (size_t i = 0; i < m_linkLabels.size(); ++i) {
            if (watched == m_linkLabels[i]) {
                OpenLink(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CAboutDlg::OpenLink(size_t link) {
    m_visited[link] = true;
    ColourLink(link);
    if (!m_openLink(QUrl(QString::fromLatin1(kLinks[link].address)))) {
        QMessageBox::information(this, QString::fromUtf16(kProductTitle),
                                 ProgramText(kLinkNotOpenedId));
    }
}

void CAboutDlg::ColourLink(size_t link) {
    QPalette colours = m_linkLabels[link]->palette();
    colours.setColor(QPalette::WindowText,
                     m_visited[link] ? QColor(128, 0, 128) : QColor(0, 0, 255));
    m_linkLabels[link]->setPalette(colours);
}
