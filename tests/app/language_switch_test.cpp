// The Language menu in the running window: a pack that loads retitles the menus, the toolbar
// tips, the log and list columns, the drive tree and the title, and is remembered in the
// settings; a pack that does not load changes nothing but leaves a log row.

#include "app/commands/command_ids.h"
#include "app/commands/menu_resource.h"
#include "app/frame/main_frame.h"
#include "app/frame/toolbar_and_menus.h"
#include "app/models/file_list_model.h"
#include "app/views/disk_tree_ctrl.h"
#include "app/views/left_view.h"
#include "app/views/log_pane.h"
#include "jobs/scan/scan_state.h"
#include "platform/settings/data_folder.h"
#include "platform/settings/settings_store.h"
#include "platform/resources/string_table.h"
#include "resources/string_ids.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/folder_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

uint32_t DrivesMenuTextId() {
    const MenuResource* menu = FindMenuResource(kMainMenuId);
    return menu != nullptr && !menu->items.empty() ? menu->items.front().textId : 0;
}

class LanguageSwitchTest : public WindowTest {
protected:
    LanguageSwitchTest() : settings(settingsDir.Path() / "settings.conf") {
        frame.SetSettingsStore(&settings);
    }
    ~LanguageSwitchTest() override { StringTable::Program().UseEnglish(); }

    QString MenuTitle(uint32_t textId) const {
        for (QAction* action : frame.menuBar()->actions()) {
            if (action->menu() != nullptr &&
                action->menu()->objectName() == QStringLiteral("menu %1").arg(textId)) {
                return action->text();
            }
        }
        return {};
    }

    TempDir settingsDir;
    SettingsStore settings;
};

TEST_F(LanguageSwitchTest, ALoadedPackRetitlesTheWindowAndIsRemembered) {
    TempDir data;
    const uint32_t drives = DrivesMenuTextId();
    ASSERT_NE(drives, 0u);
    WriteFileText(data.Path() / "French.dll",
                  std::to_string(drives) + "\t&Lecteurs\n" +
                      std::to_string(CommandId::kShowDriveList) +
                      "\tAfficher la liste des lecteurs\n61501\tActivit\xC3\xA9\n"
                      "61530\tNom\n61628\tPoste de travail\n");
    const ScopedEnv folder("MORWICK_DATA", data.Path().string());
    const QString englishDrives = MenuTitle(drives);
    ShowOneHardDisk();

    ASSERT_TRUE(frame.OnCommand(CommandId::kFrench));
    EXPECT_EQ(state.language.load(), 1u);
    EXPECT_EQ(MenuTitle(drives), QStringLiteral("&Lecteurs"));
    EXPECT_EQ(frame.Menus().ButtonAction(CommandId::kShowDriveList)->toolTip(),
              QStringLiteral("Afficher la liste des lecteurs"));
    EXPECT_EQ(frame.LogPane()->List()->headerItem()->text(0), QStringLiteral("Activité"));
    EXPECT_EQ(frame.FileList().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Nom"));
    ASSERT_GT(frame.DriveView()->topLevelItemCount(), 0);
    EXPECT_EQ(frame.DriveView()->topLevelItem(0)->text(0), QStringLiteral("Poste de travail"));
    SettingsStore reread(settings.File());
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetDword(ScanState::kLanguageName), std::optional<uint32_t>(1));
    // French is in force: its item is gray, the others are not.
    for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>()) {
        frame.Menus().ApplyMenuRules(menu);
    }
    EXPECT_FALSE(frame.Menus().MenuAction(CommandId::kFrench)->isEnabled());
    EXPECT_TRUE(frame.Menus().MenuAction(CommandId::kEnglish)->isEnabled());

    // No German pack: nothing changes but a log row, in memory and in the settings.
    const int rows = frame.LogPane()->RowCount();
    EXPECT_FALSE(frame.SwitchLanguage(2));
    EXPECT_EQ(state.language.load(), 1u);
    EXPECT_EQ(MenuTitle(drives), QStringLiteral("&Lecteurs"));
    EXPECT_EQ(frame.LogPane()->RowCount(), rows + 1);
    SettingsStore again(settings.File());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetDword(ScanState::kLanguageName), std::optional<uint32_t>(1));

    ASSERT_TRUE(frame.OnCommand(CommandId::kEnglish));
    EXPECT_EQ(state.language.load(), 0u);
    EXPECT_EQ(MenuTitle(drives), englishDrives);
    EXPECT_EQ(frame.LogPane()->List()->headerItem()->text(0), QStringLiteral("Activity"));
}

TEST_F(LanguageSwitchTest, TheFrameInFrenchAfterAScanIsSavedAsAPicture) {
    const fs::path data = BuildDataFolder();
    if (!fs::exists(data / "French.dll")) {
        GTEST_SKIP() << "the build has no French pack in " << data;
    }
    const ScopedEnv folder("MORWICK_DATA", data.string());
    MappedFixture fixture("fat16_volume", kFatPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(frame.SwitchLanguage(1));
    ASSERT_TRUE(ScanInWindow(fixture));
    // The column titles and the menus come from the pack.
    const auto french = StringTable::ReadPackTexts(data / "French.dll");
    ASSERT_TRUE(french.has_value());
    for (int i = 0; i < FileListModel::kColumnCount; ++i) {
        const uint32_t id = kFirstColumnTitleId + static_cast<uint32_t>(i);
        EXPECT_EQ(frame.FileList().headerData(i, Qt::Horizontal).toString().toStdU16String(),
                  french->at(id))
            << i;
    }
    EXPECT_EQ(MenuTitle(DrivesMenuTextId()).toStdU16String(), french->at(DrivesMenuTextId()));
    EXPECT_NE(french->at(DrivesMenuTextId()), StringTable::Program().English(DrivesMenuTextId()));
    // The buttons as the idle timer leaves them once the job has ended.
    frame.ApplyButtonRules();
    const fs::path pictures = data.parent_path().parent_path() / "screenshots";
    fs::create_directories(pictures);
    const fs::path file = pictures / "main_frame_french.png";
    ASSERT_TRUE(frame.grab().save(QString::fromStdString(file.string())));
    EXPECT_GT(fs::file_size(file), 1000u);
}

} // namespace
