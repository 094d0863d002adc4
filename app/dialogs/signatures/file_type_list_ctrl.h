#pragma once

#include "app/dialogs/signatures/signature_input.h"

#include <QTreeWidget>

class CFileTypesDlg;

// The list of the file-types dialog: a check box a row, the size column edited in place (a
// click on a size starts the edit and keeps the owner's Edit button off meanwhile), sorting by
// a column click (the header shows the sort column's triangle, and the order holds when the
// rows are filled again), and a tip over the sizes. The owner dialog outlives it; it applies
// the sizes typed and the check boxes to the records.
class CFileTypeListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 1019;

    explicit CFileTypeListCtrl(CFileTypesDlg& owner, QWidget* parent = nullptr);

    const ListSort& Sort() const { return m_sort; }
    // Sorts the rows by the kept column and direction; nothing before the first column click.
    void ApplySort();
    // The edit of a row's size ended with `text`: true when the owner took it.
    bool CommitSize(const QTreeWidgetItem& row, const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnItemClicked(QTreeWidgetItem* item, int column);
    void OnHeaderClicked(int column);

    CFileTypesDlg& m_owner;
    ListSort m_sort;
};
