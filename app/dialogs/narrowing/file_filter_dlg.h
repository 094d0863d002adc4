#pragma once

#include "app/models/filter_list_edit.h"

#include <QDialog>

#include <atomic>
#include <string>
#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;

// "Add file Filter": collects the file filter's patterns, from the five groups of the combo
// box or typed, and ends with Include (recovery takes only matching files) or Exclude
// (recovery leaves them out), both with result 5. Cancel restores the list as it was opened.
// Controls carry their ids as object names.
class CFileFilterDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 192;
    static constexpr uint32_t kHelpTopic = 1350;
    static constexpr int kListId = 1125;
    static constexpr int kPatternId = 1121;
    static constexpr int kAddId = 1122;
    static constexpr int kIncludeId = 1123;
    static constexpr int kExcludeId = 1124;
    static constexpr int kRemoveId = 1148;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 1149;
    static constexpr int kLabelId = 1147;
    static constexpr int kIncludeOrExcludeResult = 5;

    CFileFilterDlg(std::vector<std::u16string>& patterns, std::atomic<bool>& exclude,
                   QWidget* parent = nullptr);

    void reject() override;

private:
    void OnAdd();
    void OnRemove();
    void Finish(bool exclude);
    void UpdateButtons();

    FilterListEdit m_edit;
    std::atomic<bool>& m_exclude;
    QListWidget* m_list = nullptr;
    QComboBox* m_pattern = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_include = nullptr;
    QPushButton* m_excludeButton = nullptr;
    QPushButton* m_remove = nullptr;
};
