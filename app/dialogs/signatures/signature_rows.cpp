#include "app/dialogs/signatures/signature_rows.h"

#include "app/message_box_qt.h"
#include "filesystems/signatures/signature_file.h"

#include "app/dialogs/signatures/signature_input.h"
#include "app/program_text.h"
#include "platform/resources/product_title.h"
#include "resources/string_ids.h"

#include <QColor>
#include <QHeaderView>
#include <QMessageBox>
#include <QPalette>
#include <QTreeWidget>

namespace {

// Odd rows are drawn on this pale blue.
const QColor kAlternateRowColour(240, 240, 255);

} // namespace

SignatureRow::SignatureRow(const FileSignature& record, size_t index, bool checkable)
    : m_index(index) {
    setText(kNameColumn, ToQString(record.softwareName));
    setText(kExtensionColumn, ToQString(record.extension));
    setText(kSizeColumn, ToQString(SizeColumnText(record)));
    setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    if (checkable) {
        setFlags(flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        setCheckState(kNameColumn, record.selected ? Qt::Checked : Qt::Unchecked);
        setToolTip(kSizeColumn, ProgramText(kSizeTipId));
    }
}

qulonglong SignatureRow::SizeValue() const {
    return text(kSizeColumn).toULongLong();
}

bool SignatureRow::operator<(const QTreeWidgetItem& other) const {
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : kNameColumn;
    const auto* row = dynamic_cast<const SignatureRow*>(&other);
    if (column == kSizeColumn && row != nullptr)
        return SizeValue() < row->SizeValue();
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
}

void SetUpSignatureColumns(QTreeWidget& list, int nameWidth, int sizeWidth) {
    list.setColumnCount(3);
    list.setHeaderLabels(
        {ProgramText(kNameColumnId), ProgramText(kExtensionColumnId), ProgramText(kSizeColumnId)});
    list.headerItem()->setTextAlignment(SignatureRow::kSizeColumn,
                                        Qt::AlignRight | Qt::AlignVCenter);
    list.setColumnWidth(SignatureRow::kNameColumn, nameWidth);
    list.setColumnWidth(SignatureRow::kExtensionColumn, 85);
    list.setColumnWidth(SignatureRow::kSizeColumn, sizeWidth);
    list.setRootIsDecorated(false);
    list.setItemsExpandable(false);
    list.setUniformRowHeights(true);
    list.setAllColumnsShowFocus(true);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setAlternatingRowColors(true);
    QPalette palette = list.palette();
    palette.setColor(QPalette::AlternateBase, kAlternateRowColour);
    list.setPalette(palette);
}

std::optional<size_t> RowRecordIndex(const QTreeWidgetItem* item) {
    const auto* row = dynamic_cast<const SignatureRow*>(item);
    if (row == nullptr)
        return std::nullopt;
    return row->RecordIndex();
}

void ShowSignatureMessage(QWidget* parent, uint32_t id) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf16(kProductTitle), ProgramText(id),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("signature message"));
    WidenToTitle(box);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

bool SaveUserSignatures(QWidget* parent, std::span<const FileSignature> userList) {
    if (RewriteHeaderFile(userList)) {
        return true;
    }
    ShowSignatureMessage(parent, kNotSavedId);
    return false;
}

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}
