#include "app/dialogs/scan/image_selection_dlg.h"

#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/common/dialog_widgets.h"
#include "app/dialogs/scan/image_selection_rules.h"
#include "app/message_box_qt.h"
#include "app/program_text.h"
#include "controls/program_pictures.h"
#include "controls/range_slider.h"
#include "platform/settings/data_folder.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <filesystem>

namespace {

using image_selection::kSliderUnits;

// The room the slider keeps from the dialog's left edge.
constexpr int kSliderIndent = 20;
// The longest unsigned 64-bit number has 20 digits.
constexpr int kMaxSectorDigits = 20;

QString Number(uint64_t sector) {
    return QString::number(static_cast<qulonglong>(sector));
}

QString PicturePath(const std::filesystem::path& folder, const char* name) {
    return QString::fromStdString((folder / name).string());
}

QLineEdit* MakeSectorEdit(int id, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    // Digits only: no sign or separator reaches the number.
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(kMaxSectorDigits)), edit));
    edit->setMinimumWidth(180);
    return edit;
}

} // namespace

CImageSelectionDlg::CImageSelectionDlg(const DriveNode& node, scan_action::Region initial,
                                       QWidget* parent)
    : CImageSelectionDlg(scan_action::DefaultRegion(node).lastSector, initial, parent) {}

CImageSelectionDlg::CImageSelectionDlg(uint64_t totalSectors, scan_action::Region initial,
                                       QWidget* parent)
    : QDialog(parent), m_total(totalSectors), m_selected(initial) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle(ProgramText(kImageSelectionCaptionId));
    PaintWhite(*this);

    auto* description = new QLabel(ProgramText(kImageSelectionDescriptionId), this);
    description->setObjectName(QString::number(kDescriptionId));
    description->setWordWrap(true);
    QFont bold = description->font();
    bold.setBold(true);
    description->setFont(bold);

    m_slider = new CRangeSlider(this);
    m_slider->setObjectName(QString::fromLatin1(kSliderName));
    m_slider->Init(static_cast<int>(kSliderUnits), kSliderHeight);
    const std::filesystem::path folder = DataFolder();
    m_slider->LoadBitmaps(PicturePath(folder, "MainBar.bmp"), PicturePath(folder, "SideBar.bmp"),
                          PicturePath(folder, "lever.bmp"));
    const QPixmap cursor = StripPicture(PictureStrip::LeverCursor, 0);
    if (!cursor.isNull()) {
        m_slider->SetDragCursor(QCursor(cursor, cursor.width() / 2, cursor.height() / 2));
    }

    m_firstEdit = MakeSectorEdit(kFirstSectorId, this);
    m_lastEdit = MakeSectorEdit(kLastSectorId, this);
    const OkCancelHelpRow buttons = MakeOkCancelHelpRow(kOkId, kCancelId, kHelpId, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(description);
    auto* sliderRow = new QHBoxLayout();
    sliderRow->addSpacing(kSliderIndent);
    sliderRow->addWidget(m_slider);
    sliderRow->addSpacing(kSliderIndent);
    layout->addLayout(sliderRow);
    auto* edits = new QGridLayout();
    edits->addWidget(new QLabel(ProgramText(kStartingSectorLabelId), this), 0, 0);
    edits->addWidget(m_firstEdit, 0, 1);
    edits->addWidget(new QLabel(ProgramText(kEndingSectorLabelId), this), 1, 0);
    edits->addWidget(m_lastEdit, 1, 1);
    edits->setColumnStretch(2, 1);
    layout->addLayout(edits);
    layout->addLayout(buttons.row);
    description->setMaximumWidth(static_cast<int>(kSliderUnits) + 2 * kSliderIndent);

    const scan_action::Region start = image_selection::ClampRegion(initial, m_total);
    m_first = start.firstSector;
    m_last = start.lastSector;
    m_firstEdit->setText(Number(start.firstSector));
    m_lastEdit->setText(Number(start.lastSector));
    // The right lever first: it makes room for the left one.
    m_slider->SetPosition(image_selection::LeverForSector(start.lastSector, kSliderUnits, m_total),
                          SliderLever::Right);
    m_slider->SetPosition(image_selection::LeverForSector(start.firstSector, kSliderUnits, m_total),
                          SliderLever::Left);

    // Only the user's typing moves a lever; the texts the levers write do not come back.
    connect(m_firstEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { OnSectorEdited(SliderLever::Left, text); });
    connect(m_lastEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { OnSectorEdited(SliderLever::Right, text); });
    connect(m_slider, &CRangeSlider::LeverMoved, this, &CImageSelectionDlg::OnLeverMoved);
    connect(buttons.ok, &QPushButton::clicked, this, &CImageSelectionDlg::accept);
    connect(buttons.cancel, &QPushButton::clicked, this, &CImageSelectionDlg::reject);
    connect(buttons.help, &QPushButton::clicked, this, &CImageSelectionDlg::OnHelp);
}

void CImageSelectionDlg::OnLeverMoved(SliderLever lever, qint64 position) {
    const uint64_t sector = image_selection::SectorForLever(position, kSliderUnits, m_total);
    if (lever == SliderLever::Left) {
        m_first = sector;
        m_firstEdit->setText(Number(sector));
    } else {
        m_last = sector;
        m_lastEdit->setText(Number(sector));
    }
}

void CImageSelectionDlg::OnSectorEdited(SliderLever lever, const QString& text) {
    const std::optional<image_selection::TypedSector> typed =
        image_selection::ReadSectorText(text.toStdU16String(), m_total);
    QLineEdit* edit = lever == SliderLever::Left ? m_firstEdit : m_lastEdit;
    std::optional<uint64_t>& kept = lever == SliderLever::Left ? m_first : m_last;
    if (!typed) {
        kept.reset();
        return;
    }
    kept = typed->sector;
    if (typed->clamped) {
        edit->setText(Number(typed->sector));
    }
    m_slider->SetPosition(image_selection::LeverForSector(typed->sector, kSliderUnits, m_total),
                          lever);
}

void CImageSelectionDlg::accept() {
    const image_selection::RegionProblem problem = image_selection::CheckRegion(m_first, m_last);
    if (problem != image_selection::RegionProblem::None) {
        ShowRefusal(image_selection::RegionProblemMessageId(problem));
        return;
    }
    m_selected = {*m_first, *m_last};
    QDialog::accept();
}

void CImageSelectionDlg::ShowRefusal(uint32_t messageId) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf16(kProductTitle), ProgramText(messageId),
                    QMessageBox::Ok, this);
    box.setObjectName(QString::fromLatin1(kRefusalName));
    WidenToTitle(box);
    box.exec();
}

void CImageSelectionDlg::OnHelp() {
    ShowDialogHelp(this, kHelpTopic);
}
