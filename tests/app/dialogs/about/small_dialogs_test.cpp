// Advance Settings, the tip of the day, the about box and the licence, offscreen: each opens
// from its command, OK stores and Cancel changes nothing, the tip at start-up follows
// "ShowTipOfTheDay", and a picture of each dialog goes to the build's screenshots folder.

#include "app/commands/command_ids.h"
#include "app/dialogs/about/about_dlg.h"
#include "app/dialogs/settings/advance_settings_dlg.h"
#include "app/dialogs/about/eula_dlg.h"
#include "app/dialogs/about/tip_dlg.h"
#include "app/morwick_wrenfal_app.h"
#include "platform/settings/data_folder.h"
#include "platform/settings/settings_store.h"
#include "platform/resources/tips_file.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/folder_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void SaveShot(QWidget& widget, const std::string& name) {
    const fs::path pictures = BuildDataFolder().parent_path().parent_path() / "screenshots";
    fs::create_directories(pictures);
    widget.adjustSize();
    EXPECT_TRUE(widget.grab().save(QString::fromStdString((pictures / (name + ".png")).string())))
        << name;
}

template <typename T> T* Child(QWidget* dialog, int id) {
    T* child = dialog->findChild<T*>(QString::number(id));
    EXPECT_NE(child, nullptr) << id;
    return child;
}

class SmallDialogsTest : public WindowTest {
protected:
    SmallDialogsTest() : settings(dir.File("settings.conf")) { frame.SetSettingsStore(&settings); }

    void WriteSettings(const std::string& text) {
        WriteFileText(settings.File(), text);
        ASSERT_TRUE(settings.Load());
    }

    TempDir dir;
    SettingsStore settings;
};

TEST_F(SmallDialogsTest, AdvanceSettingsOkStoresWhatTheDialogShows) {
    // The file may hold a count the sector layer never uses: it shows as one attempt.
    WriteSettings("LS=dword:0\nRR=dword:0\nLPath=string:/old\nLANG=dword:0\n");
    state.signatureSearch = 1;
    bool shown = false;
    WhenModal(QString::number(CAdvanceSettingsDlg::kDialogId), [&](QWidget* modal) {
        shown = true;
        auto* dialog = qobject_cast<CAdvanceSettingsDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* attempts = Child<QListWidget>(modal, CAdvanceSettingsDlg::kReadAttemptsId);
        auto* dates = Child<QListWidget>(modal, CAdvanceSettingsDlg::kDateFormatId);
        auto* saveLog = Child<QCheckBox>(modal, CAdvanceSettingsDlg::kSaveLogId);
        auto* signatures = Child<QCheckBox>(modal, CAdvanceSettingsDlg::kSignatureSearchId);
        auto* folder = Child<QLineEdit>(modal, CAdvanceSettingsDlg::kLogPathId);
        auto* browse = Child<QAbstractButton>(modal, CAdvanceSettingsDlg::kBrowseId);
        ASSERT_EQ(attempts->count(), 6);
        EXPECT_EQ(attempts->currentRow(), 0);
        ASSERT_EQ(dates->count(), 3);
        EXPECT_EQ(dates->item(0)->text(), QStringLiteral("dd/mm/yyyy"));
        EXPECT_EQ(dates->item(2)->text(), QStringLiteral("yyyy/mm/dd"));
        EXPECT_FALSE(saveLog->isChecked());
        EXPECT_TRUE(signatures->isChecked());
        EXPECT_EQ(folder->text(), QStringLiteral("/old"));
        EXPECT_FALSE(folder->isEnabled());
        EXPECT_FALSE(browse->isEnabled());

        saveLog->click();
        EXPECT_TRUE(folder->isEnabled());
        EXPECT_TRUE(browse->isEnabled());
        QString askedTitle;
        dialog->SetFolderChooser([&](QWidget*, const QString& title, const QString& current) {
            askedTitle = title;
            EXPECT_EQ(current, QStringLiteral("/old"));
            return QStringLiteral("/chosen/logs");
        });
        browse->click();
        EXPECT_EQ(askedTitle, QStringLiteral("Select ( or create ) folder to save your data"));
        EXPECT_EQ(folder->text(), QStringLiteral("/chosen/logs"));
        signatures->click();
        attempts->setCurrentRow(5);
        dates->setCurrentRow(2);
        SaveShot(*modal, "advance_settings");
        Child<QAbstractButton>(modal, CAdvanceSettingsDlg::kOkId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kAdvanceSettings));
    ASSERT_TRUE(shown);

    EXPECT_EQ(state.saveLogOnClose.load(), 1u);
    EXPECT_EQ(state.signatureSearch.load(), 0u);
    EXPECT_EQ(state.readAttempts.load(), 6u);
    EXPECT_EQ(state.logPath, u"/chosen/logs");
    SettingsStore reread(settings.File());
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetDword("LS"), std::optional<uint32_t>(1));
    EXPECT_EQ(reread.GetDword("RR"), std::optional<uint32_t>(6));
    EXPECT_EQ(reread.GetString("LPath"), std::optional<std::u16string>(u"/chosen/logs"));
    EXPECT_FALSE(reread.Contains("SC"));
}

TEST_F(SmallDialogsTest, AdvanceSettingsCancelChangesNothing) {
    WriteSettings("LS=dword:1\nRR=dword:3\nLPath=string:/keep\n");
    const std::string before = ReadFileText(settings.File());
    state.saveLogOnClose = 1;
    state.readAttempts = 3;
    state.signatureSearch = 1;
    state.logPath = u"/keep";
    WhenModal(QString::number(CAdvanceSettingsDlg::kDialogId), [](QWidget* modal) {
        EXPECT_EQ(Child<QListWidget>(modal, CAdvanceSettingsDlg::kReadAttemptsId)->currentRow(), 2);
        Child<QCheckBox>(modal, CAdvanceSettingsDlg::kSaveLogId)->click();
        Child<QCheckBox>(modal, CAdvanceSettingsDlg::kSignatureSearchId)->click();
        Child<QListWidget>(modal, CAdvanceSettingsDlg::kReadAttemptsId)->setCurrentRow(5);
        Child<QLineEdit>(modal, CAdvanceSettingsDlg::kLogPathId)->setText("/other");
        Child<QAbstractButton>(modal, CAdvanceSettingsDlg::kCancelId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kAdvanceSettings));
    EXPECT_EQ(ReadFileText(settings.File()), before);
    EXPECT_EQ(state.saveLogOnClose.load(), 1u);
    EXPECT_EQ(state.signatureSearch.load(), 1u);
    EXPECT_EQ(state.readAttempts.load(), 3u);
    EXPECT_EQ(state.logPath, u"/keep");
}

// The three texts of the open tip dialog.
struct ShownTip {
    QString heading;
    QString text;
    QString third;
};

ShownTip Shown(QWidget* modal) {
    auto* tip = qobject_cast<CTipDlg*>(modal);
    EXPECT_NE(tip, nullptr);
    return tip != nullptr ? ShownTip{tip->Heading(), tip->TipText(), tip->ThirdText()} : ShownTip{};
}

TEST_F(SmallDialogsTest, TipOfTheDayGoesOnWhereItStoppedAndStoresItsValues) {
    TempDir data;
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    WriteFileText(data.File("Tips.txt"),
                  "; tips\nFirst tip\nSecond tip\tOwn heading\tMore\n; c\nThird tip\n");
    WriteSettings("ShowTipOfTheDay=dword:0\n");
    std::vector<ShownTip> seen;
    WhenModal(QString::number(CTipDlg::kDialogId), [&](QWidget* modal) {
        seen.push_back(Shown(modal));
        Child<QAbstractButton>(modal, CTipDlg::kNextTipId)->click();
        seen.push_back(Shown(modal));
        EXPECT_FALSE(Child<QCheckBox>(modal, CTipDlg::kShowAtStartupId)->isChecked());
        Child<QCheckBox>(modal, CTipDlg::kShowAtStartupId)->click();
        SaveShot(*modal, "tip_of_the_day");
        Child<QAbstractButton>(modal, CTipDlg::kCloseId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kTipOfTheDay));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].heading, QStringLiteral("Did you know...."));
    EXPECT_EQ(seen[0].text, QStringLiteral("First tip"));
    EXPECT_EQ(seen[0].third, QString());
    EXPECT_EQ(seen[1].heading, QStringLiteral("Own heading"));
    EXPECT_EQ(seen[1].text, QStringLiteral("Second tip"));
    EXPECT_EQ(seen[1].third, QStringLiteral("More"));

    SettingsStore reread(settings.File());
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetDword("ShowTipOfTheDay"), std::optional<uint32_t>(1));
    const std::string tips = ReadFileText(data.File("Tips.txt"));
    EXPECT_EQ(reread.GetDword("TipOfTheDayPos"),
              std::optional<uint32_t>(static_cast<uint32_t>(tips.find("; c"))));

    // The next run starts with the third tip, then wraps to the first.
    seen.clear();
    WhenModal(QString::number(CTipDlg::kDialogId), [&](QWidget* modal) {
        seen.push_back(Shown(modal));
        EXPECT_TRUE(Child<QCheckBox>(modal, CTipDlg::kShowAtStartupId)->isChecked());
        Child<QAbstractButton>(modal, CTipDlg::kNextTipId)->click();
        seen.push_back(Shown(modal));
        Child<QAbstractButton>(modal, CTipDlg::kCloseId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kTipOfTheDay));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, QStringLiteral("Third tip"));
    EXPECT_EQ(seen[1].text, QStringLiteral("First tip"));
}

TEST_F(SmallDialogsTest, TipOfTheDayWithoutTipsSaysSoAndNeverHangs) {
    TempDir data;
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    std::vector<ShownTip> seen;
    bool nextEnabled = true;
    WhenModal(QString::number(CTipDlg::kDialogId), [&](QWidget* modal) {
        seen.push_back(Shown(modal));
        nextEnabled = Child<QAbstractButton>(modal, CTipDlg::kNextTipId)->isEnabled();
        Child<QAbstractButton>(modal, CTipDlg::kCloseId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kTipOfTheDay));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].heading, QStringLiteral("Oops!"));
    EXPECT_EQ(seen[0].text,
              QStringLiteral("Tips file does not exist in the prescribed directory."));
    EXPECT_FALSE(nextEnabled);
    // Without an open file no position is stored.
    SettingsStore reread(settings.File());
    ASSERT_TRUE(reread.Load());
    EXPECT_FALSE(reread.Contains("TipOfTheDayPos"));

    WriteFileText(data.File("Tips.txt"), "; only\n; comments\n\n");
    seen.clear();
    WhenModal(QString::number(CTipDlg::kDialogId), [&](QWidget* modal) {
        seen.push_back(Shown(modal));
        Child<QAbstractButton>(modal, CTipDlg::kNextTipId)->click();
        seen.push_back(Shown(modal));
        Child<QAbstractButton>(modal, CTipDlg::kCloseId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kTipOfTheDay));
    ASSERT_EQ(seen.size(), 2u);
    for (const ShownTip& each : seen) {
        EXPECT_EQ(each.heading, QStringLiteral("Did you know...."));
        EXPECT_TRUE(each.text.isEmpty()) << each.text.toStdString();
    }
}

TEST(TipAtStartupTest, StartUpShowsTheTipOnlyWhenTheSettingAsks) {
    struct Case {
        const char* settings;
        bool shown;
    };
    for (const Case each : {Case{"ShowTipOfTheDay=dword:1\n", true},
                            Case{"ShowTipOfTheDay=dword:0\n", false}, Case{"", false}}) {
        TempDir dir;
        const ScopedEnv folder("MORWICK_DATA", BuildDataFolder().string());
        WriteFileText(dir.File("settings.conf"), each.settings);
        CMorwickWrenfalApp app(dir.File("settings.conf"));
        bool opened = false;
        QObject scope;
        if (each.shown) {
            WhenModal(QString::number(CTipDlg::kDialogId), [&](QWidget* modal) {
                opened = true;
                EXPECT_FALSE(Shown(modal).text.isEmpty());
                Child<QAbstractButton>(modal, CTipDlg::kCloseId)->click();
            });
        } else {
            // A tip that should not show is closed, and the case fails, rather than hang.
            QTimer::singleShot(3000, &scope, [] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    ADD_FAILURE() << "a modal window opened at start-up";
                    modal->close();
                }
            });
        }
        ASSERT_TRUE(app.InitInstance(false)) << each.settings;
        EXPECT_EQ(opened, each.shown) << each.settings;
        EXPECT_TRUE(app.MainFrame()->close());
    }
}

TEST(AppSettingsTest, TheFramesDialogsWriteTheApplicationsSettingsFile) {
    TempDir dir;
    const fs::path file = dir.File("settings.conf");
    WriteFileText(file, "RR=dword:2\n");
    CMorwickWrenfalApp app(file);
    ASSERT_TRUE(app.InitInstance(false));
    WhenModal(QString::number(CAdvanceSettingsDlg::kDialogId), [](QWidget* modal) {
        EXPECT_EQ(Child<QListWidget>(modal, CAdvanceSettingsDlg::kReadAttemptsId)->currentRow(), 1);
        Child<QListWidget>(modal, CAdvanceSettingsDlg::kReadAttemptsId)->setCurrentRow(3);
        Child<QAbstractButton>(modal, CAdvanceSettingsDlg::kOkId)->click();
    });
    ASSERT_TRUE(app.MainFrame()->OnCommand(CommandId::kAdvanceSettings));
    SettingsStore reread(file);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetDword("RR"), std::optional<uint32_t>(4));
    EXPECT_EQ(app.State().readAttempts.load(), 4u);
    EXPECT_TRUE(app.MainFrame()->close());
}

TEST_F(SmallDialogsTest, AboutShowsTheSystemOpensItsLinksAndTheLicence) {
    std::vector<QUrl> opened;
    int eulaRuns = 0;
    WhenModal(QString::number(CAboutDlg::kDialogId), [&](QWidget* modal) {
        auto* about = qobject_cast<CAboutDlg*>(modal);
        ASSERT_NE(about, nullptr);
        const QString system = Child<QLabel>(modal, CAboutDlg::kSystemInformationId)->text();
        EXPECT_TRUE(system.contains(QStringLiteral(" MB RAM"))) << system.toStdString();
        EXPECT_TRUE(system.contains(QStringLiteral("Linux"))) << system.toStdString();
        bool sawVersion = false;
        for (QLabel* label : modal->findChildren<QLabel*>()) {
            sawVersion = sawVersion || label->text() == QStringLiteral("v3.0.0.1");
        }
        EXPECT_TRUE(sawVersion);
        about->SetLinkOpener([&](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        about->SetEulaRunner([&](QWidget*) { ++eulaRuns; });
        SaveShot(*modal, "about");
        for (size_t i = 0; i < CAboutDlg::kLinkIds.size(); ++i) {
            auto* link = Child<QLabel>(modal, CAboutDlg::kLinkIds[i]);
            EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
            QTest::mouseClick(link, Qt::LeftButton);
            EXPECT_TRUE(about->Visited(i));
            EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
        }
        Child<QAbstractButton>(modal, CAboutDlg::kEulaId)->click();
        Child<QAbstractButton>(modal, CAboutDlg::kOkId)->click();
    });
    ASSERT_TRUE(frame.OnCommand(CommandId::kAbout));
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("https"));
    EXPECT_EQ(opened[1].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[2].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(eulaRuns, 1);
}

TEST(AboutTextTest, SystemTextNamesMemorySystemAndKernel) {
    SystemInformation info;
    info.memoryMiB = 16384;
    info.systemName = "Debian GNU/Linux 12 (bookworm)";
    info.kernel = "Linux 6.1.0";
    EXPECT_EQ(CAboutDlg::SystemText(info),
              QStringLiteral("16384 MB RAM\nDebian GNU/Linux 12 (bookworm)\nLinux 6.1.0"));
    info.memoryMiB.reset();
    info.kernel.clear();
    EXPECT_EQ(CAboutDlg::SystemText(info), QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
}

fs::path SourceRoot() {
    const char* fixtures = std::getenv("MORWICK_FIXTURES");
    return fixtures != nullptr ? fs::path(fixtures).parent_path().parent_path() : fs::path();
}

TEST(EulaTest, TheLicenceIsTheRepositorysGplShownLineByLine) {
    const fs::path eula = BuildDataFolder() / "eula.dat";
    const std::string text = ReadFileText(eula);
    ASSERT_FALSE(text.empty());
    ASSERT_FALSE(SourceRoot().empty());
    EXPECT_EQ(text, ReadFileText(SourceRoot() / "LICENSE"));
    EXPECT_NE(text.find("GNU GENERAL PUBLIC LICENSE"), std::string::npos);
    EXPECT_NE(text.find("Version 3, 29 June 2007"), std::string::npos);

    CEulaDlg dialog(eula);
    QListWidget* list = dialog.List();
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    ASSERT_EQ(list->count(), lines);
    EXPECT_EQ(list->item(0)->text().trimmed(), QStringLiteral("GNU GENERAL PUBLIC LICENSE"));
    EXPECT_EQ(list->item(1)->text().trimmed(), QStringLiteral("Version 3, 29 June 2007"));
    EXPECT_TRUE(list->item(2)->text().isEmpty());
    SaveShot(dialog, "eula");

    TempDir dir;
    WriteFileText(dir.File("short.dat"), "one\r\ntwo\n\nlast without end");
    CEulaDlg shortOne(dir.File("short.dat"));
    ASSERT_EQ(shortOne.List()->count(), 4);
    EXPECT_EQ(shortOne.List()->item(0)->text(), QStringLiteral("one"));
    EXPECT_EQ(shortOne.List()->item(3)->text(), QStringLiteral("last without end"));
    CEulaDlg missing(dir.File("none.dat"));
    EXPECT_EQ(missing.List()->count(), 0);
}

TEST(DeliveredTipsTest, TheTipsFileHoldsAtLeastTwentyTipsAndCyclesThroughThem) {
    TipsFile tips;
    ASSERT_TRUE(tips.Open(BuildDataFolder() / "Tips.txt"));
    std::vector<std::u16string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::optional<TipsFile::Tip> tip = tips.Next();
        ASSERT_TRUE(tip);
        if (!seen.empty() && tip->text == seen.front())
            break;
        EXPECT_FALSE(tip->text.empty());
        EXPECT_LT(tip->text.size(), TipsFile::kMaxLineCharacters);
        seen.push_back(tip->text);
    }
    EXPECT_GE(seen.size(), 20u);
}

} // namespace
