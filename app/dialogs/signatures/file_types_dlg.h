#pragma once

#include <QDialog>

#include <cstddef>
#include <cstdint>

class CFileTypeListCtrl;
class QComboBox;
class QPushButton;
class QTreeWidgetItem;
class ScanState;
struct SignatureLists;

// Dialog 164: the user chooses the file types a signature search looks for. It loads the
// header file into the user signature list (every type selected), shows one checked row a
// type, filters them by group, edits a type or its size (rewriting the file at once), and on
// OK makes the selected types the active list, marked as the user's choice even when empty.
// The state must outlive the dialog; no job runs meanwhile.
class CFileTypesDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 164;
    static constexpr int kEditId = 1000;
    static constexpr int kUnselectAllId = 1003;
    static constexpr int kSelectAllId = 1004;
    static constexpr int kHelpId = 1005;
    static constexpr int kNoteId = 1020;
    static constexpr int kGroupComboId = 1022;
    static constexpr int kHelpTopic = 1430;

    CFileTypesDlg(ScanState& state, QWidget* parent = nullptr);

    void accept() override;

    // For the list control: the Edit button follows its clicks.
    void SetEditEnabled(bool enabled);
    // For the list control: a size typed over record `index`, in kilobytes. True when the
    // record took it (and the file was rewritten).
    bool OnSizeEntered(size_t index, const QString& text);

private:
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnSelectAll(bool selected);
    void OnGroupChanged(int group);
    void OnEdit();
    // Rows of the records of `group`, in file order or, `reversed`, the other way round.
    void FillRows(uint8_t group, bool reversed);
    void UpdateButtons();

    ScanState& m_state;
    SignatureLists& m_lists;
    CFileTypeListCtrl* m_list = nullptr;
    QComboBox* m_group = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_unselectAll = nullptr;
    bool m_filling = false;
    bool m_reversed = true;
};
