#pragma once

#include "app/dialogs/narrowing/date_condition_controls.h"
#include "app/models/find_rules.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

// "Find": name patterns delimited by ";" and, below "Advance >>", a size and a date condition.
// Search Now hands the conditions to `search` (the frame's first search) and closes the
// dialog. The advanced part starts shown when `advancedShown` says it was open last time;
// the dialog writes the flag back. `tell` shows a message by its string id. Controls carry
// their ids as object names.
class CFindDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 174;
    static constexpr uint32_t kHelpTopic = 1390;
    static constexpr int kPatternId = 1009;
    static constexpr int kMatchCaseId = 1003;
    static constexpr int kDeletedId = 1011;
    static constexpr int kExistingId = 1012;
    static constexpr int kAdvanceId = 1018;
    static constexpr int kSizeId = 1020;
    static constexpr int kSizeKindId = 1021;
    static constexpr int kSizeEditId = 1022;
    static constexpr int kDateId = 1024;
    static constexpr int kDateFieldId = 1025;
    static constexpr int kMonthsRadioId = 1026;
    static constexpr int kMonthsSpinId = 1063;
    static constexpr int kDaysSpinId = 1062;
    static constexpr int kMonthsEditId = 1027;
    static constexpr int kDaysRadioId = 1028;
    static constexpr int kDaysEditId = 1030;
    static constexpr int kBetweenRadioId = 1032;
    static constexpr int kFirstDateId = 1033;
    static constexpr int kSecondDateId = 1035;
    static constexpr int kHintId = 1150;
    static constexpr int kSearchNowId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 57670;
    static constexpr int kMaxPatternLength = 250;
    static constexpr int kMaxSizeValue = 2999999;

    CFindDlg(bool& advancedShown, std::function<bool(const FindConditions&)> search,
             std::function<void(uint32_t textId)> tell, QWidget* parent = nullptr);

    // Shows or hides the advanced part, as "Advance >>" and "Advance <<" do.
    void OnBeforeChange(bool expand);
    bool AdvancedShown() const { return m_expanded; }
    FindConditions Conditions() const;
    void OnSearchNow();
    void reject() override;

    // The size edit's value after leaving it: blank gives 1 (the caller tells why), a value
    // above 2999999 is divided by 10.
    static int NormalisedSize(const QString& text, bool& blank);

private:
    void UpdateSearchNow();
    void UpdateAdvancedControls();
    void OnSizeEdited();

    bool& m_advancedShown;
    bool m_advancedBefore;
    bool m_expanded = false;
    std::function<bool(const FindConditions&)> m_search;
    std::function<void(uint32_t)> m_tell;
    QLineEdit* m_pattern = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QCheckBox* m_deleted = nullptr;
    QCheckBox* m_existing = nullptr;
    QPushButton* m_advance = nullptr;
    QWidget* m_advanced = nullptr;
    QCheckBox* m_size = nullptr;
    QComboBox* m_sizeKind = nullptr;
    QLineEdit* m_sizeEdit = nullptr;
    DateConditionControls m_dates;
    QPushButton* m_searchNow = nullptr;
};
