#include "archiveview/dialogs/archive_contents_dlg.h"

#include "archiveview/core/archive_contents.h"
#include "archiveview/core/archive_row_text.h"
#include "archiveview/core/cluster_list_byte_source.h"
#include "archiveview/core/library_strings.h"
#include "archiveview/dialogs/white_dialog.h"
#include "controls/header_fit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>

namespace {

// "The archive's directory is missing or damaged ..." under the list.
constexpr uint32_t kDamagedStringId = 9;

struct Column {
    uint32_t headingId;
    Qt::Alignment alignment;
    int width;
};

constexpr std::array<Column, 6> kColumns = {{
    {1, Qt::AlignLeft, 230},
    {2, Qt::AlignLeft, 49},
    {3, Qt::AlignRight, 85},
    {4, Qt::AlignRight, 85},
    {6, Qt::AlignRight, 70},
    {5, Qt::AlignLeft, 140},
}};

// The picture beside the totals: 254 x 154, drawn rather than shipped.
QPixmap DecorativePicture() {
    QPixmap picture(254, 154);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 254, 154);
    gradient.setColorAt(0, QColor(0x1F, 0x4E, 0x8C));
    gradient.setColorAt(1, QColor(0xD8, 0xE6, 0xF5));
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPointSize(20);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("RAR & ZIP"));
    return picture;
}

QLabel* ValueLabel(QWidget* parent, int id, const QString& initial) {
    auto* label = new QLabel(initial, parent);
    label->setObjectName(QString::number(id));
    return label;
}

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CArchiveContentsDlg::CArchiveContentsDlg(const PreviewFileInfo& info, std::u16string fileName,
                                         std::string imagePath, QWidget* parent)
    : QDialog(parent), m_info(info), m_imagePath(std::move(imagePath)),
      m_fileName(std::move(fileName)) {
    setObjectName(QStringLiteral("102"));
    MakeWhite(*this);
    setWindowTitle(QStringLiteral("RAR & Zip FileViewer"));
    resize(DialogUnitsToPixels(456, 329));

    auto* group = new QGroupBox(QStringLiteral("Information "), this);
    auto* fields = new QGridLayout;
    const std::array<const char*, 4> captions = {
        "&File Path                   :", "Compressed Size      :", "UnCompressed Size :",
        "No of Entries            :"};
    m_name = ValueLabel(group, 1004, QStringLiteral("s"));
    m_compressed = ValueLabel(group, 1005, QStringLiteral("0.00"));
    m_uncompressed = ValueLabel(group, 1006, QStringLiteral("0.00"));
    m_entries = ValueLabel(group, 1007, QStringLiteral("0"));
    const std::array<QLabel*, 4> values = {m_name, m_compressed, m_uncompressed, m_entries};
    for (int row = 0; row < 4; ++row) {
        auto* caption = new QLabel(QString::fromUtf8(captions[row]), group);
        caption->setBuddy(values[row]);
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        fields->addWidget(caption, row, 0);
        fields->addWidget(values[row], row, 1);
    }
    fields->setColumnStretch(1, 1);
    auto* picture = new QLabel(group);
    picture->setObjectName(QStringLiteral("2001"));
    picture->setPixmap(DecorativePicture());
    auto* top = new QHBoxLayout(group);
    top->addLayout(fields, 1);
    top->addWidget(picture);

    m_list = new QTableWidget(0, static_cast<int>(kColumns.size()), this);
    m_list->setObjectName(QStringLiteral("1002"));
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setWordWrap(false);
    for (size_t column = 0; column < kColumns.size(); ++column) {
        auto* heading = new QTableWidgetItem(ToQString(LibraryString(kColumns[column].headingId)));
        heading->setTextAlignment(kColumns[column].alignment | Qt::AlignVCenter);
        m_list->setHorizontalHeaderItem(static_cast<int>(column), heading);
        m_list->setColumnWidth(static_cast<int>(column), kColumns[column].width);
    }
    // The headings are as long as their language makes them.
    WidenSectionsToTitles(*m_list->horizontalHeader());

    m_damageNote = new QLabel(ToQString(LibraryString(kDamagedStringId)), this);
    m_damageNote->setObjectName(QStringLiteral("damage note"));
    m_damageNote->setWordWrap(true);
    m_damageNote->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_damageNote);

    m_name->setText(QString::fromStdU16String(m_fileName));
    if (m_info.skipRead == 0) {
        ClusterListByteSource source(m_info,
                                     ClusterListByteSource::DeviceReader(m_info, m_imagePath));
        const ArchiveListing listing = ListArchiveContents(m_fileName, source, m_info.fileSize);
        for (const ArchiveEntry& entry : listing.entries) {
            AddRow(entry);
        }
        m_damaged = listing.damaged;
        m_damageNote->setVisible(m_damaged);
    }
    ShowTotals();
}

void CArchiveContentsDlg::AddRow(const ArchiveEntry& entry) {
    const std::array<std::u16string, 6> texts = {
        entry.name,
        std::u16string(LibraryString(EntryTypeStringId(entry))),
        EntrySizeText(entry.unpackedSize),
        EntrySizeText(entry.packedSize),
        EntryRatioText(entry.unpackedSize, entry.packedSize),
        DosStampText(entry.dosDateTime),
    };
    // The last entry read stands first, as the list was always filled.
    m_list->insertRow(0);
    for (size_t column = 0; column < texts.size(); ++column) {
        auto* item = new QTableWidgetItem(QString::fromStdU16String(texts[column]));
        item->setTextAlignment(kColumns[column].alignment | Qt::AlignVCenter);
        m_list->setItem(0, static_cast<int>(column), item);
    }
    ++m_entryCount;
    m_totalUnpackedSize = entry.unpackedSize > UINT64_MAX - m_totalUnpackedSize
                              ? UINT64_MAX
                              : m_totalUnpackedSize + entry.unpackedSize;
}

void CArchiveContentsDlg::ShowTotals() {
    m_entries->setText(QString::number(m_entryCount));
    m_compressed->setText(QString::fromStdU16String(ByteCountText(m_info.fileSize)));
    m_uncompressed->setText(QString::fromStdU16String(ByteCountText(m_totalUnpackedSize)));
}
