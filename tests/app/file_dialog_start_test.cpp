// File dialogs open in the home folder, whatever folder the program was started from.
#include "app/commands/command_ids.h"
#include "app/dialogs/common/file_dialog_start.h"
#include "app/frame/main_frame.h"
#include "tests/app/frame_test_harness.h"
#include "tests/app/modal_driver.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <QDir>
#include <QFileDialog>

#include <gtest/gtest.h>

namespace {

TEST(FileDialogStartTest, NamesGoToTheHomeFolderAndFoldersStay) {
    TempDir home;
    const ScopedEnv env("HOME", home.Path().string());
    const QString homePath = QDir(QString::fromStdString(home.Path().string())).absolutePath();
    EXPECT_EQ(FileDialogStart(), homePath);
    EXPECT_EQ(FileDialogStart(QStringLiteral("scan.DAT")), homePath + QStringLiteral("/scan.DAT"));
    EXPECT_EQ(FileDialogStart(QStringLiteral("a/b.img")), homePath + QStringLiteral("/a/b.img"));
    EXPECT_EQ(FileDialogStart(QStringLiteral("/media/backup")), QStringLiteral("/media/backup"));
}

class FileDialogWindowTest : public WindowTest {};

// The window's own dialogs, not the test's answers: each opens in the home folder and is
// cancelled.
TEST_F(FileDialogWindowTest, OpenDialogsOfTheWindowStartAtHome) {
    TempDir home;
    const ScopedEnv env("HOME", home.Path().string());
    const QString homePath = QDir(QString::fromStdString(home.Path().string())).absolutePath();
    ASSERT_NE(QDir::currentPath(), homePath);
    CMainFrame window(state, runner);
    window.show();
    for (const uint32_t command :
         {CommandId::kOpenImageFile, CommandId::kOpenDriveUsingScanInformation}) {
        SCOPED_TRACE(command);
        QString opened;
        bool asked = false;
        WhenModal(QString(), [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            asked = true;
            opened = dialog->directory().absolutePath();
            dialog->reject();
        });
        window.OnCommand(command);
        EXPECT_TRUE(asked);
        EXPECT_EQ(opened, homePath);
    }
}

} // namespace
