#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;
struct SignatureLists;

// Dialog 201: every record of the header file, with Add, Edit and Remove. Each change is
// written to the file at once and the rows are read back from it. Company-defined records
// cannot be removed. The lists must outlive the dialog; no job runs meanwhile.
class CAddNewHeaderDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 201;
    static constexpr int kAddId = 6;
    static constexpr int kRemoveId = 7;
    static constexpr int kHelpId = 1037;
    static constexpr int kNoteId = 1038;
    static constexpr int kListId = 1046;
    static constexpr int kEditId = 1047;
    static constexpr int kHelpTopic = 1370;

    CAddNewHeaderDlg(SignatureLists& lists, QWidget* parent = nullptr);

private:
    void Reload();
    void OnAdd();
    void OnEdit();
    void OnRemove();
    void UpdateButtons();

    SignatureLists& m_lists;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
};
