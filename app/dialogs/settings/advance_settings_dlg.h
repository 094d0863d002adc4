#pragma once

#include "app/dialogs/settings/advance_settings_rules.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class ScanState;
class SettingsStore;

// Tools > Advance Settings: saving the log on closing and its folder, the signature search of
// the advance scans, the number of read attempts, and the date formats (listed only). The
// values come from advance_settings::Load when it opens and go through advance_settings::Store
// on OK; Cancel changes nothing. Controls carry their ids as object names.
class CAdvanceSettingsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 224;
    static constexpr int kSaveLogId = 1007;
    static constexpr int kSignatureSearchId = 1149;
    static constexpr int kLogPathId = 1153;
    static constexpr int kBrowseId = 1003;
    static constexpr int kReadAttemptsId = 1009;
    static constexpr int kDateFormatId = 1010;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kHelpId = 57670;
    static constexpr uint32_t kHelpTopic = 1360;
    static constexpr int kMaxLogPathLength = 260;

    // Asks for a folder, starting at `current`; empty when cancelled. Tests replace it.
    using FolderChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& current)>;

    CAdvanceSettingsDlg(SettingsStore& settings, ScanState& state, QWidget* parent = nullptr);

    void SetFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    // Whether OK could write the settings file.
    bool Saved() const { return m_saved; }

    void accept() override;

private:
    void OnSaveLogToggled(bool checked);
    void OnBrowse();

    SettingsStore& m_settings;
    ScanState& m_state;
    FolderChooser m_chooseFolder;
    bool m_saved = false;
    QCheckBox* m_saveLog = nullptr;
    QCheckBox* m_signatureSearch = nullptr;
    QLineEdit* m_logPath = nullptr;
    QPushButton* m_browse = nullptr;
    QListWidget* m_readAttempts = nullptr;
    QListWidget* m_dateFormat = nullptr;
};
