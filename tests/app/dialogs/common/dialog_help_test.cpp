// Every dialog's Help button opens the user guide of the language at the dialog's topic, or
// says that the guide is not installed.

#include "app/dialogs/signatures/add_edit_header_dlg.h"
#include "app/dialogs/signatures/add_new_header_dlg.h"
#include "app/dialogs/settings/advance_settings_dlg.h"
#include "app/dialogs/recovery/choose_destination_dlg.h"
#include "app/dialogs/common/dialog_help.h"
#include "app/dialogs/narrowing/file_filter_dlg.h"
#include "app/dialogs/narrowing/file_mask_dlg.h"
#include "app/dialogs/signatures/file_types_dlg.h"
#include "app/dialogs/narrowing/find_dlg.h"
#include "app/dialogs/recovery/ftp_folder_dlg.h"
#include "app/dialogs/recovery/ftp_settings_dlg.h"
#include "app/dialogs/scan/image_selection_dlg.h"
#include "app/dialogs/recovery/recovery_options_dlg.h"
#include "app/dialogs/scan/scan_file_exists_dlg.h"
#include "jobs/recovery/ftp_settings.h"
#include "jobs/scan/scan_state.h"
#include "platform/settings/settings_store.h"
#include "tests/support/folder_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QDialog>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct HelpCase {
    const char* name;
    int helpButton;
    uint32_t topic;
    std::function<std::unique_ptr<QDialog>()> make;
};

class DialogHelpTest : public ::testing::Test {
protected:
    DialogHelpTest() {
        SetDialogHelpHooks({[this](uint32_t id) { messages.push_back(id); },
                            [this](const std::filesystem::path& guide, uint32_t topic) {
                                opened.push_back({guide, topic});
                            }});
    }
    ~DialogHelpTest() override { SetDialogHelpHooks({}); }

    std::vector<HelpCase> Cases() {
        return {
            {"recover all", CRecoveryOptionsDlg::kHelpId, 1330,
             [this] { return std::make_unique<CRecoveryOptionsDlg>(answers, ftp); }},
            {"recover selected", CChooseDestinationDlg::kHelpId, 1330,
             [this] { return std::make_unique<CChooseDestinationDlg>(answers, ftp); }},
            {"ftp settings", CFtpSettingsDlg::kHelpId, 1330,
             [this] { return std::make_unique<CFtpSettingsDlg>(ftp, folder); }},
            {"ftp folder", CFtpFolderDlg::kHelpId, 1330,
             [this] {
                 return std::make_unique<CFtpFolderDlg>(folder, QString(), QString(), QString());
             }},
            {"header list", CAddNewHeaderDlg::kHelpId, 1370,
             [this] { return std::make_unique<CAddNewHeaderDlg>(state.signatureLists); }},
            {"header edit", CAddEditHeaderDlg::kHelpId, 1370,
             [this] {
                 return std::make_unique<CAddEditHeaderDlg>(nullptr, state.signatureLists.user);
             }},
            {"file types", CFileTypesDlg::kHelpId, 1430,
             [this] { return std::make_unique<CFileTypesDlg>(state); }},
            {"advance settings", CAdvanceSettingsDlg::kHelpId, 1360,
             [this] { return std::make_unique<CAdvanceSettingsDlg>(settings, state); }},
            {"file exists", CScanFileExistsDlg::kHelpId, 1450,
             [] {
                 return std::make_unique<CScanFileExistsDlg>(QStringLiteral("/tmp/x.TXT"), 0, 0,
                                                             true);
             }},
            {"image selection", CImageSelectionDlg::kHelpId, 1440,
             [] {
                 return std::make_unique<CImageSelectionDlg>(2048, scan_action::Region{0, 2048});
             }},
            {"file mask", CFileMaskDlg::kHelpId, 1380,
             [this] { return std::make_unique<CFileMaskDlg>(state.fileMask, nullptr); }},
            {"file filter", CFileFilterDlg::kHelpId, 1350,
             [this] {
                 return std::make_unique<CFileFilterDlg>(state.filterExtensions,
                                                         state.filterExclude);
             }},
            {"find", CFindDlg::kHelpId, 1390,
             [this] { return std::make_unique<CFindDlg>(advancedShown, nullptr, nullptr); }},
        };
    }

    void ClickHelp(const HelpCase& each) {
        std::unique_ptr<QDialog> dialog = each.make();
        auto* help = dialog->findChild<QAbstractButton*>(QString::number(each.helpButton));
        ASSERT_NE(help, nullptr) << each.name;
        help->click();
    }

    RecoveryDestinationAnswers answers;
    FtpSettings ftp;
    QString folder;
    ScanState state;
    SettingsStore settings{std::filesystem::path()};
    bool advancedShown = false;
    std::vector<uint32_t> messages;
    std::vector<std::pair<std::filesystem::path, uint32_t>> opened;
};

TEST_F(DialogHelpTest, HelpSaysTheGuideIsMissingThenOpensItAtTheTopic) {
    TempDir data;
    const ScopedEnv folderVariable("MORWICK_DATA", data.Path().string());
    for (const HelpCase& each : Cases()) {
        messages.clear();
        ClickHelp(each);
        EXPECT_EQ(messages, std::vector<uint32_t>{62050}) << each.name;
    }
    EXPECT_TRUE(opened.empty());

    const std::filesystem::path guide =
        data.Path() / "Morwick Wrenfal Windows Data Recovery User Guide.html";
    WriteFileText(guide, "<html></html>");
    for (const HelpCase& each : Cases()) {
        opened.clear();
        ClickHelp(each);
        ASSERT_EQ(opened.size(), 1u) << each.name;
        EXPECT_EQ(opened[0].first, guide) << each.name;
        EXPECT_EQ(opened[0].second, each.topic) << each.name;
    }
}

} // namespace
