#include "app/dialogs/about/tip_dlg.h"

#include "app/dialogs/common/dialog_widgets.h"
#include "app/program_text.h"
#include "platform/settings/data_folder.h"
#include "platform/settings/settings_store.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr int kFrameInset = 6;

QLabel* MakeText(int id, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

CTipDlg::CTipDlg(SettingsStore& settings, const std::filesystem::path& tipsFile, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kTipCaptionId));
    PaintWhite(*this);

    m_tipArea = new QWidget(this);
    m_picture = new QLabel(m_tipArea);
    m_picture->setPixmap(
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    m_picture->setAlignment(Qt::AlignTop);
    m_heading = MakeText(kHeadingId, m_tipArea);
    // The heading's size is ours to choose: half as large again as the text.
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.5);
    m_heading->setFont(headingFont);
    m_text = MakeText(kTipTextId, m_tipArea);
    m_third = MakeText(kThirdTextId, m_tipArea);
    auto* texts = new QVBoxLayout();
    texts->addWidget(m_heading);
    texts->addWidget(m_text, 1);
    texts->addWidget(m_third);
    auto* area = new QHBoxLayout(m_tipArea);
    area->setContentsMargins(kFrameInset * 3, kFrameInset * 3, kFrameInset * 3, kFrameInset * 3);
    area->addWidget(m_picture);
    area->addLayout(texts, 1);
    m_tipArea->setMinimumSize(420, 180);

    m_showAtStartup = new QCheckBox(ProgramText(kShowAtStartupTextId), this);
    m_showAtStartup->setObjectName(QString::number(kShowAtStartupId));
    m_showAtStartup->setChecked(ShowAtStartup(m_settings));
    m_next = MakeDialogButton(kNextTipTextId, kNextTipId, this);
    auto* close = MakeDialogButton(kCloseTextId, kCloseId, this);
    close->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tipArea, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_showAtStartup);
    buttons->addStretch(1);
    buttons->addWidget(m_next);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_next, &QPushButton::clicked, this, &CTipDlg::ShowNextTip);
    connect(close, &QPushButton::clicked, this, &CTipDlg::reject);

    const std::filesystem::path file = tipsFile.empty() ? DataFolder() / kTipsFileName : tipsFile;
    if (m_tips.Open(file)) {
        m_tips.Seek(m_settings.GetDword(kPositionName, 0));
        ShowNextTip();
    } else {
        m_heading->setText(ProgramText(kOopsId));
        m_text->setText(ProgramText(kNoTipsFileId));
        m_next->setEnabled(false);
    }
}

bool CTipDlg::ShowAtStartup(const SettingsStore& settings) {
    return settings.GetDword(kShowName, 0) != 0;
}

QString CTipDlg::Heading() const {
    return m_heading->text();
}

QString CTipDlg::TipText() const {
    return m_text->text();
}

QString CTipDlg::ThirdText() const {
    return m_third->text();
}

void CTipDlg::ShowNextTip() {
    m_heading->setText(ProgramText(kDidYouKnowId));
    m_third->clear();
    const std::optional<TipsFile::Tip> tip = m_tips.Next();
    if (!tip) {
        m_text->clear();
        return;
    }
    m_text->setText(QString::fromStdU16String(tip->text));
    if (!tip->heading.empty()) {
        m_heading->setText(QString::fromStdU16String(tip->heading));
    }
    m_third->setText(QString::fromStdU16String(tip->third));
}

void CTipDlg::done(int result) {
    m_settings.SetDword(kShowName, m_showAtStartup->isChecked() ? 1 : 0);
    if (m_tips.IsOpen()) {
        const uint64_t position = m_tips.Position();
        m_settings.SetDword(kPositionName, position > std::numeric_limits<uint32_t>::max()
                                               ? 0
                                               : static_cast<uint32_t>(position));
    }
    if (!m_settings.File().empty()) {
        m_settings.Save();
    }
    QDialog::done(result);
}

void CTipDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The tip sits in a white frame inset from a band of the shadow colour.
    QPainter painter(this);
    const QRect band = m_tipArea->geometry();
    painter.fillRect(band, palette().color(QPalette::Mid));
    painter.fillRect(band.adjusted(kFrameInset, kFrameInset, -kFrameInset, -kFrameInset),
                     Qt::white);
}
