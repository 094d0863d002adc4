#include "app/dialogs/scan/action_dialog_base.h"
#include "app/dialogs/common/file_dialog_start.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/scan/image_selection_dlg.h"
#include "app/dialogs/scan/search_logical_drive_dlg.h"
#include "app/program_text.h"
#include "controls/balloon_tip.h"
#include "controls/flat_button.h"
#include "controls/hover_button.h"
#include "controls/program_pictures.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

const QColor kLinkColor(0, 0, 255);
// A note beside a link is read as a sentence, not a column of words.
constexpr int kNoteWidth = 260;
const QColor kVisitedLinkColor(128, 0, 128);

// The picture of an action's button; imaging shows what it images.
PictureStrip ActionPicture(CActionDialogBase::Action action, scan_action::ActionDialog dialog) {
    using Action = CActionDialogBase::Action;
    switch (action) {
    case Action::StandardScan:
    case Action::StandardSearch:
        return PictureStrip::ActionStandardScan;
    case Action::AdvanceScan:
    case Action::AdvanceSearch:
        return PictureStrip::ActionAdvanceScan;
    case Action::RawDataRecovery:
        return PictureStrip::ActionRawRecovery;
    case Action::SearchLogicalDrive:
        return PictureStrip::ActionSearchLogicalDrive;
    case Action::CreateImageFile:
        return dialog == scan_action::ActionDialog::CdRecoveryAction
                   ? PictureStrip::ActionImageCdDvd
               : dialog == scan_action::ActionDialog::DiskAction ? PictureStrip::ActionImageDisk
                                                                 : PictureStrip::ActionImageVolume;
    }
    return PictureStrip::ActionStandardScan;
}

uint32_t ActionTextId(CActionDialogBase::Action action) {
    switch (action) {
    case CActionDialogBase::Action::StandardScan:
        return kStandardScanId;
    case CActionDialogBase::Action::AdvanceScan:
        return kAdvanceScanId;
    case CActionDialogBase::Action::RawDataRecovery:
        return kRawDataRecoveryId;
    case CActionDialogBase::Action::SearchLogicalDrive:
        return kSearchLogicalDriveId;
    case CActionDialogBase::Action::StandardSearch:
        return kStandardSearchId;
    case CActionDialogBase::Action::AdvanceSearch:
        return kAdvanceSearchId;
    case CActionDialogBase::Action::CreateImageFile:
        break;
    }
    return kCreateImageFileId;
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QString Caption() {
    return QString::fromUtf16(kProductTitle);
}

} // namespace

CActionDialogBase::CActionDialogBase(const Description& description, const DriveNode& node,
                                     QString itemText, ActionDialogHooks hooks, QWidget* parent)
    : QDialog(parent), m_description(description), m_node(node), m_itemText(std::move(itemText)),
      m_hooks(std::move(hooks)), m_rawRegion(scan_action::DefaultRegion(node)),
      m_imageRegion(m_rawRegion),
      m_searchMode(scan_action::SearchModeFor(description.dialog).value_or(0)) {
    setObjectName(QString::number(static_cast<int>(description.dialog)));
    setWindowTitle(ProgramText(description.captionId));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
    setAutoFillBackground(true);

    QFont bold = font();
    bold.setBold(true);

    m_balloon = new CBalloonTip(this);
    auto* layout = new QVBoxLayout(this);
    auto* actions = new QGridLayout();
    int row = 0;
    for (const ActionEntry& entry : description.actions) {
        const QString text = ProgramText(ActionTextId(entry.action));
        QPushButton* button = MakeActionButton(entry.action, text, entry.buttonId);
        QLabel* label = MakeLabel(text, entry.labelId);
        label->setFont(bold);
        label->setCursor(Qt::PointingHandCursor);
        QLabel* body = MakeLabel(ProgramText(entry.descriptionId), 0);
        body->setWordWrap(true);
        actions->addWidget(button, row, 0, 2, 1, Qt::AlignTop);
        actions->addWidget(label, row, 1);
        actions->addWidget(body, row + 1, 1);
        row += 2;
        m_actionLabels.emplace(label, entry.action);
        connect(button, &QPushButton::clicked, this,
                [this, action = entry.action] { RunAction(action); });
    }
    // The pictures keep their width; the texts take the rest.
    actions->setColumnStretch(1, 1);
    layout->addLayout(actions);

    if (description.comboId != 0) {
        m_fileSystem.emplace(m_node.Logical() != nullptr ? m_node.Logical()->partitionType : 0);
        m_combo = new QComboBox(this);
        m_combo->setObjectName(QString::number(description.comboId));
        m_combo->addItem(ProgramText(kFatId));
        m_combo->addItem(ProgramText(kNtfsId));
        m_combo->setCurrentIndex(m_fileSystem->InitialComboIndex());
        m_combo->setVisible(false);
        // Only the user's choice counts, not the preselection.
        connect(m_combo, &QComboBox::activated, this,
                [this](int index) { m_fileSystem->OnSelectionChange(index); });
    }

    for (const LinkEntry& entry : description.links) {
        auto* line = new QHBoxLayout();
        if (entry.noteId != 0) {
            QLabel* note = MakeLabel(ProgramText(entry.noteId), 0);
            note->setWordWrap(true);
            note->setMinimumWidth(kNoteWidth);
            line->addWidget(note, 1);
        }
        QLabel* link = MakeLabel(ProgramText(entry.textId), entry.id);
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        SetTextColor(link, kLinkColor);
        link->setCursor(Qt::PointingHandCursor);
        if (entry.tipId != 0)
            m_balloon->AddTool(link, ProgramText(entry.tipId),
                               StripPicture(PictureStrip::BalloonIcon, 0));
        line->addWidget(link);
        if (entry.link == Link::PreviousFileSystem && m_combo != nullptr)
            line->addWidget(m_combo);
        line->addStretch(1);
        layout->addLayout(line);
        m_links.emplace(link, entry);
    }

    QPushButton* help = MakeFlatButton(ProgramText(kHelpTextId), description.helpId);
    QPushButton* cancel = MakeFlatButton(ProgramText(kCancelTextId), kCancelId);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(help, &QPushButton::clicked, this, &CActionDialogBase::OnHelp);
    connect(cancel, &QPushButton::clicked, this, &CActionDialogBase::reject);
}

CActionDialogBase::CActionDialogBase(const Description& description, int32_t searchMode,
                                     ActionDialogHooks hooks, QWidget* parent)
    : CActionDialogBase(description, DriveNode{}, QString(), std::move(hooks), parent) {
    m_searchMode = searchMode;
}

QPushButton* CActionDialogBase::MakeActionButton(Action action, const QString& text, int id) {
    auto* button = new CHoverButton(this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    button->setAccessibleName(text);
    button->LoadBitmaps(StripImage(ActionPicture(action, m_description.dialog)));
    return button;
}

QPushButton* CActionDialogBase::MakeFlatButton(const QString& text, int id) {
    auto* button = new CFlatButton(text, this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    return button;
}

QLabel* CActionDialogBase::MakeLabel(const QString& text, int id) {
    auto* label = new QLabel(text, this);
    if (id != 0) {
        label->setObjectName(QString::number(id));
        label->installEventFilter(this);
    }
    return label;
}

void CActionDialogBase::CreateImageFile() {
    const QString proposed = QString::fromStdU16String(scan_action::ProposedImageName(m_node));
    QString path;
    if (m_hooks.askImagePath) {
        path = m_hooks.askImagePath(this, proposed);
    } else {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("img"));
        dialog.setNameFilter(QStringLiteral("*.img"));
        dialog.setDirectory(FileDialogStart());
        dialog.selectFile(FileDialogStart(proposed));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().front();
    }
    // Cancelling the file dialog leaves this one open.
    if (path.isEmpty() || !m_hooks.startImage || !m_hooks.startImage(m_node, m_imageRegion, path))
        return;
    done(kStartedResult);
}

bool CActionDialogBase::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isEnabled()) {
            if (const auto action = m_actionLabels.find(watched); action != m_actionLabels.end()) {
                RunAction(action->second);
                return true;
            }
            if (const auto link = m_links.find(watched); link != m_links.end()) {
                OnLink(link->second, static_cast<QLabel*>(widget));
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CActionDialogBase::RunAction(Action action) {
    switch (action) {
    case Action::StandardScan:
        StartScan(scan_action::ScanJobAction::StandardScan);
        break;
    case Action::AdvanceScan:
        StartScan(scan_action::ScanJobAction::AdvanceScan);
        break;
    case Action::RawDataRecovery:
        StartScan(scan_action::ScanJobAction::RawDataRecovery);
        break;
    case Action::SearchLogicalDrive:
        OpenSearchDialog();
        break;
    case Action::StandardSearch:
    case Action::AdvanceSearch:
        StartSearch(action == Action::AdvanceSearch);
        break;
    case Action::CreateImageFile:
        CreateImageFile();
        break;
    }
}

void CActionDialogBase::OpenSearchDialog() {
    done(kStartedResult);
    // The search dialog answers to the same hooks.
    const ActionDialogHooks hooks = m_hooks;
    const int32_t searchMode = m_searchMode;
    if (hooks.runSearchDialog) {
        hooks.runSearchDialog(searchMode);
        return;
    }
    CSearchLogicalDriveDlg search(searchMode, hooks, parentWidget());
    search.exec();
}

void CActionDialogBase::StartSearch(bool advance) {
    if (!m_hooks.startSearch || !m_hooks.startSearch(advance, m_searchMode))
        return;
    done(kStartedResult);
}

void CActionDialogBase::StartScan(scan_action::ScanJobAction action) {
    bool other = false;
    if (m_fileSystem && action == scan_action::ScanJobAction::AdvanceScan)
        other = m_fileSystem->ConfirmForAdvanceScan(
            [this](uint32_t questionId) { return Ask(questionId); });
    const std::optional<CThreadForFileSystem::Parameters> parameters =
        scan_action::ParametersFor(m_description.dialog, action, other, m_rawRegion);
    if (!parameters || !m_hooks.startScan || !m_hooks.startScan(*parameters))
        return;
    done(kStartedResult);
}

void CActionDialogBase::OnLink(const LinkEntry& link, QLabel* label) {
    ShowVisited(label);
    switch (link.link) {
    case Link::PreviousFileSystem:
        if (m_combo != nullptr)
            m_combo->setVisible(true);
        break;
    case Link::FileTypes:
        if (m_hooks.chooseFileTypes)
            m_hooks.chooseFileTypes(this);
        break;
    case Link::RawRegion:
    case Link::ImageRegion: {
        scan_action::Region& region = link.link == Link::RawRegion ? m_rawRegion : m_imageRegion;
        const uint64_t total = scan_action::DefaultRegion(m_node).lastSector;
        std::optional<scan_action::Region> chosen;
        if (m_hooks.chooseRegion) {
            chosen = m_hooks.chooseRegion(this, total, region);
        } else {
            CImageSelectionDlg dialog(total, region, this);
            if (dialog.exec() == QDialog::Accepted)
                chosen = dialog.SelectedRegion();
        }
        // Cancel keeps the region chosen before.
        if (chosen)
            region = *chosen;
        break;
    }
    }
}

void CActionDialogBase::ShowVisited(QLabel* label) {
    SetTextColor(label, kVisitedLinkColor);
    label->update();
}

bool CActionDialogBase::Ask(uint32_t questionId) {
    if (m_hooks.askYesNo)
        return m_hooks.askYesNo(questionId);
    return QMessageBox::question(this, Caption(), ProgramText(questionId),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CActionDialogBase::OnHelp() {
    scan_action::HelpHooks hooks = m_hooks.help;
    if (!hooks.showMessage)
        hooks.showMessage = [this](uint32_t messageId) {
            QMessageBox::information(this, Caption(), ProgramText(messageId));
        };
    if (!hooks.open)
        hooks.open = [this](const std::filesystem::path& page, uint32_t) {
            OpenGuidePage(this, page);
        };
    const std::filesystem::path folder =
        m_hooks.helpFolder.empty() ? DataFolder() : m_hooks.helpFolder;
    scan_action::OpenHelp(folder, m_hooks.language, m_description.helpTopic, hooks);
}
