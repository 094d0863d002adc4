#pragma once

#include "app/dialogs/signatures/signature_input.h"
#include "filesystems/signatures/file_signature.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class UnitSpin;

// Dialog 137: edits one record of the user signature list, or enters a new one. A
// company-defined record shows its header masked and lets only its size change. OK checks
// every field; an edited record is changed in place (the caller writes the file), a new one is
// appended to the header file and, when `userList` is not empty, to the list.
class CAddEditHeaderDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 137;
    static constexpr int kNameEditId = 1016;
    static constexpr int kExtensionEditId = 1017;
    static constexpr int kHeaderEditId = 1020;
    static constexpr int kOffsetEditId = 1021;
    static constexpr int kSizeEditId = 1033;
    static constexpr int kUnitSpinId = 1037;
    static constexpr int kUnitEditId = 1038;
    static constexpr int kGroupComboId = 1048;
    static constexpr int kHelpId = 57670;
    static constexpr int kHelpTopic = 1370;

    // `record` is the element of `userList` to edit, or null for a new record; both stay the
    // caller's and must outlive the dialog.
    CAddEditHeaderDlg(FileSignature* record, std::vector<FileSignature>& userList,
                      QWidget* parent = nullptr);

    void accept() override;

private:
    void OnUnitStep();
    void UpdateOk();
    QLineEdit* FieldEdit(SignatureField field) const;

    FileSignature* m_record = nullptr;
    std::vector<FileSignature>& m_userList;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_extension = nullptr;
    QLineEdit* m_header = nullptr;
    QLineEdit* m_offset = nullptr;
    QLineEdit* m_size = nullptr;
    UnitSpin* m_unit = nullptr;
    QComboBox* m_group = nullptr;
    QPushButton* m_ok = nullptr;
};
