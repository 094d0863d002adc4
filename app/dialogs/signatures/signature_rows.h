#pragma once

#include "filesystems/signatures/file_signature.h"

#include <QString>
#include <QTreeWidgetItem>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class QTreeWidget;
class QWidget;

// The rows both signature lists show: software name, extension and size in kilobytes, one row
// a record. A row carries the index of its record in the user list, because names may repeat:
// two records with the same name and extension are still two records.
class SignatureRow : public QTreeWidgetItem {
public:
    static constexpr int kNameColumn = 0;
    static constexpr int kExtensionColumn = 1;
    static constexpr int kSizeColumn = 2;

    // `checkable`: the first column has the record's check box.
    SignatureRow(const FileSignature& record, size_t index, bool checkable);

    size_t RecordIndex() const { return m_index; }
    // The size column as a number, for sorting.
    qulonglong SizeValue() const;

    // Names and extensions compare ignoring case, sizes as numbers.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    size_t m_index = 0;
};

// Columns, full-row selection and alternating row colours; the name and size widths differ
// between the two dialogs.
void SetUpSignatureColumns(QTreeWidget& list, int nameWidth, int sizeWidth);

// The record index of `item`; nothing when it is not a signature row.
std::optional<size_t> RowRecordIndex(const QTreeWidgetItem* item);

// A refusal or failure of the signature dialogs: the string-table message `id` with the error
// icon and the product title, kept on top.
void ShowSignatureMessage(QWidget* parent, uint32_t id);

// Writes the user's records to their header file; when that fails the user is told (the list
// in memory keeps the change for this run). False on failure.
bool SaveUserSignatures(QWidget* parent, std::span<const FileSignature> userList);

// Texts between the records and the widgets.
QString ToQString(std::u16string_view text);
std::u16string ToU16(const QString& text);
