#pragma once

#include "app/dialogs/narrowing/date_condition_controls.h"
#include "jobs/mask/file_mask.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

// "File Mask": extensions, deleted or existing files, a size range and a date condition. The
// dialog starts from the conditions of the previous mask's defaults; OK checks the numbers
// (`tell` shows a refusal by its string id, and the dialog stays open) and writes the
// conditions into `settings`; the caller then starts the mask job. Controls carry their ids as
// object names.
class CFileMaskDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 238;
    static constexpr uint32_t kHelpTopic = 1380;
    static constexpr int kMaskEditId = 1171;
    static constexpr int kMatchCaseId = 1003;
    static constexpr int kDeletedId = 1004;
    static constexpr int kExistingId = 1005;
    static constexpr int kSizeFromId = 1172;
    static constexpr int kSizeFromEditId = 1174;
    static constexpr int kUptoId = 1175;
    static constexpr int kUptoEditId = 1176;
    static constexpr int kDateId = 1177;
    static constexpr int kDateFieldId = 1178;
    static constexpr int kMonthsRadioId = 1179;
    static constexpr int kDaysRadioId = 1180;
    static constexpr int kBetweenRadioId = 1181;
    static constexpr int kMonthsSpinId = 1063;
    static constexpr int kDaysSpinId = 1062;
    static constexpr int kMonthsEditId = 1182;
    static constexpr int kDaysEditId = 1183;
    static constexpr int kSecondDateId = 1184;
    static constexpr int kFirstDateId = 1186;
    static constexpr int kHintId = 1168;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 1166;
    static constexpr int kMaxMaskLength = 125;

    CFileMaskDlg(FileMaskSettings& settings, std::function<void(uint32_t textId)> tell,
                 QWidget* parent = nullptr);

    void accept() override;

private:
    void UpdateOk();
    void UpdateSizeControls();
    void UpdateDateControls();
    // The conditions as the controls show them; nullopt with the refusal's id told.
    bool Collect(FileMaskSettings& out);

    FileMaskSettings& m_settings;
    std::function<void(uint32_t)> m_tell;
    QLineEdit* m_mask = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QCheckBox* m_deleted = nullptr;
    QCheckBox* m_existing = nullptr;
    QCheckBox* m_sizeFrom = nullptr;
    QLineEdit* m_sizeFromEdit = nullptr;
    QCheckBox* m_upto = nullptr;
    QLineEdit* m_uptoEdit = nullptr;
    DateConditionControls m_dates;
    QPushButton* m_ok = nullptr;
};
