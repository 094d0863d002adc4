#pragma once

#include "platform/resources/tips_file.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <string_view>

class QCheckBox;
class QLabel;
class QPushButton;
class SettingsStore;

// Help > Show Tip of the Day, also shown at start-up while "ShowTipOfTheDay" is set: one tip of
// "Tips.txt" in the data folder at a time, from where the last run stopped ("TipOfTheDayPos").
// Closing writes both values. A missing file shows "Oops!" and no Next Tip; a file without a
// single tip shows none. Controls carry their ids as object names.
class CTipDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 113;
    static constexpr int kShowAtStartupId = 2001;
    static constexpr int kNextTipId = 2002;
    static constexpr int kCloseId = 2;
    // Object names of the three texts.
    static constexpr int kHeadingId = 1000;
    static constexpr int kTipTextId = 1001;
    static constexpr int kThirdTextId = 1002;
    static constexpr char kTipsFileName[] = "Tips.txt";
    static constexpr std::string_view kShowName = "ShowTipOfTheDay";
    static constexpr std::string_view kPositionName = "TipOfTheDayPos";

    // Reads both values and opens `tipsFile` (DataFolder()/"Tips.txt" when empty).
    explicit CTipDlg(SettingsStore& settings, const std::filesystem::path& tipsFile = {},
                     QWidget* parent = nullptr);

    // "ShowTipOfTheDay" of the store; 0 when it has none.
    static bool ShowAtStartup(const SettingsStore& settings);

    QString Heading() const;
    QString TipText() const;
    QString ThirdText() const;

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowNextTip();

    SettingsStore& m_settings;
    TipsFile m_tips;
    QLabel* m_picture = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_third = nullptr;
    QCheckBox* m_showAtStartup = nullptr;
    QPushButton* m_next = nullptr;
    QWidget* m_tipArea = nullptr;
};
