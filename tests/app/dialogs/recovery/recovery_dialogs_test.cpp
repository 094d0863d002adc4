#include "app/dialogs/recovery/choose_destination_dlg.h"
#include "app/dialogs/recovery/file_exists_dlg.h"
#include "app/dialogs/recovery/ftp_settings_dlg.h"
#include "app/dialogs/common/job_question_dialogs.h"
#include "app/dialogs/recovery/recovery_options_dlg.h"
#include "app/dialogs/recovery/save_error_action_dlg.h"
#include "app/dialogs/scan/scan_file_exists_dlg.h"
#include "controls/flat_button.h"
#include "jobs/recovery/ftp_settings.h"
#include "tests/app/modal_driver.h"
#include "tests/support/temp_dir.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {

template <typename T> T* Child(QWidget& dialog, int id) {
    auto* child = dialog.findChild<T*>(QString::number(id));
    EXPECT_NE(child, nullptr) << "no control " << id;
    return child;
}

QAbstractButton* Button(QWidget& dialog, int id) {
    return Child<QAbstractButton>(dialog, id);
}

// ---------------------------------------------------------------------------------------------
// Destination dialogs

class RecoveryOptionsDlgTest : public ::testing::Test {
protected:
    RecoveryDestinationAnswers answers;
    FtpSettings ftp;
    CRecoveryOptionsDlg dialog{answers, ftp};
};

TEST_F(RecoveryOptionsDlgTest, OpensLocalWithOkAndFtpControlsDisabledAndDeletedIncluded) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose destination & Recovery option"));
    EXPECT_TRUE(Button(dialog, 1056)->isChecked());
    EXPECT_FALSE(Button(dialog, 1057)->isChecked());
    EXPECT_FALSE(Button(dialog, 1)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1062)->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(dialog, 1060)->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>(dialog, 1059)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1064)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1065)->isEnabled());
    EXPECT_TRUE(Button(dialog, 1067)->isChecked());
    EXPECT_FALSE(Button(dialog, 1068)->isChecked());
    EXPECT_EQ(Button(dialog, 1068)->text(),
              QStringLiteral("All file && folders (Exclude deleted files && folders)"));
    EXPECT_NE(Button(dialog, 1045), nullptr);
}

TEST_F(RecoveryOptionsDlgTest, ClicksFollowTheRulesAndOkWritesTheAnswers) {
    Child<QLineEdit>(dialog, 1059)->setText(QStringLiteral("/mnt/save"));
    EXPECT_TRUE(Button(dialog, 1)->isEnabled());

    Button(dialog, 1063)->click();
    EXPECT_TRUE(Button(dialog, 1064)->isEnabled());
    EXPECT_TRUE(Button(dialog, 1064)->isChecked());
    Button(dialog, 1065)->click();
    EXPECT_TRUE(Button(dialog, 1065)->isChecked());
    EXPECT_FALSE(Button(dialog, 1064)->isChecked());
    // A second click on the chosen mode keeps it chosen.
    Button(dialog, 1065)->click();
    EXPECT_TRUE(Button(dialog, 1065)->isChecked());

    Button(dialog, 1057)->click();
    EXPECT_TRUE(Button(dialog, 1057)->isChecked());
    EXPECT_FALSE(Button(dialog, 1056)->isChecked());
    EXPECT_FALSE(Button(dialog, 1063)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1063)->isChecked());
    EXPECT_FALSE(Button(dialog, 1065)->isChecked());
    EXPECT_FALSE(Button(dialog, 1065)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1)->isEnabled());
    EXPECT_TRUE(Button(dialog, 1062)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1061)->isEnabled());
    Child<QLineEdit>(dialog, 1060)->setText(QStringLiteral("/up"));
    EXPECT_TRUE(Button(dialog, 1)->isEnabled());

    Button(dialog, 1069)->click();
    EXPECT_TRUE(Button(dialog, 1069)->isChecked());
    EXPECT_FALSE(Button(dialog, 1067)->isChecked());

    Button(dialog, 1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(answers.accepted);
    EXPECT_EQ(answers.path, QStringLiteral("/up"));
    EXPECT_FALSE(answers.zip);
    EXPECT_EQ(answers.destination, 1);
    EXPECT_EQ(answers.entryChoice, 2);
}

TEST_F(RecoveryOptionsDlgTest, CdDvdNeedsNoPathAndCancelAndEscapeAnswerNotAccepted) {
    Button(dialog, 1058)->click();
    EXPECT_TRUE(Button(dialog, 1)->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(dialog, 1059)->isEnabled());
    Button(dialog, 1)->click();
    EXPECT_TRUE(answers.accepted);
    EXPECT_EQ(answers.destination, 2);
    EXPECT_TRUE(answers.path.isEmpty());

    RecoveryDestinationAnswers cancelled;
    cancelled.accepted = true;
    CRecoveryOptionsDlg second(cancelled, ftp);
    Button(second, 1058)->click();
    Button(second, 2)->click();
    EXPECT_FALSE(cancelled.accepted);

    cancelled.accepted = true;
    CRecoveryOptionsDlg third(cancelled, ftp);
    third.show();
    QTest::keyClick(&third, Qt::Key_Escape);
    EXPECT_FALSE(third.isVisible());
    EXPECT_FALSE(cancelled.accepted);
}

TEST_F(RecoveryOptionsDlgTest, BrowseFillsTheLocalEditAndCancelledBrowseLeavesIt) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("kept"));
    std::filesystem::create_directory(dir.File("chosen"));
    const QString kept = QString::fromStdString(dir.File("kept").string());
    QLineEdit* edit = Child<QLineEdit>(dialog, 1059);
    edit->setText(kept);
    WhenModal(QString(), [](QWidget* modal) {
        auto* browser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->windowTitle(),
                  QStringLiteral("Select ( or create ) folder to save your data"));
        browser->reject();
    });
    Button(dialog, 1061)->click();
    EXPECT_EQ(edit->text(), kept);

    const QString folder = QString::fromStdString(dir.File("chosen").string());
    WhenModal(QString(), [folder](QWidget* modal) {
        auto* browser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(browser, nullptr);
        browser->setDirectory(folder);
        // QFileDialog's own accept, which is protected there, takes the shown folder.
        static_cast<QDialog*>(browser)->accept();
    });
    Button(dialog, 1061)->click();
    EXPECT_EQ(edit->text(), folder);
}

TEST_F(RecoveryOptionsDlgTest, FtpOptionsStoresTheServerAndFillsTheFtpEdit) {
    Button(dialog, 1057)->click();
    QLineEdit* edit = Child<QLineEdit>(dialog, 1060);
    edit->setText(QStringLiteral("/old"));
    WhenModal(QStringLiteral("231"), [](QWidget* settings) {
        settings->findChild<QLineEdit*>(QStringLiteral("1154"))
            ->setText(QStringLiteral("host:2121"));
        settings->findChild<QLineEdit*>(QStringLiteral("1155"))->setText(QStringLiteral("me"));
        settings->findChild<QLineEdit*>(QStringLiteral("1156"))->setText(QStringLiteral("pw"));
        settings->findChild<QLineEdit*>(QStringLiteral("1162"))->setText(QStringLiteral("/data"));
        settings->findChild<QAbstractButton*>(QStringLiteral("1"))->click();
    });
    Button(dialog, 1062)->click();
    EXPECT_EQ(edit->text(), QStringLiteral("/data"));
    EXPECT_EQ(ftp.server, u"host:2121");
    EXPECT_EQ(ftp.user, u"me");
    EXPECT_EQ(ftp.password, u"pw");

    // Cancelled, the settings stay and the old folder is dropped with OK disabled again.
    ClickInModal(QStringLiteral("231"), 2);
    Button(dialog, 1062)->click();
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_FALSE(Button(dialog, 1)->isEnabled());
    EXPECT_EQ(ftp.server, u"host:2121");
}

TEST(ChooseDestinationDlgTest, HasNoEntryChoiceAndItsOwnIds) {
    RecoveryDestinationAnswers answers;
    FtpSettings ftp;
    CChooseDestinationDlg dialog(answers, ftp);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose destination"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("171"));
    EXPECT_EQ(dialog.findChild<QAbstractButton*>(QStringLiteral("1067")), nullptr);
    EXPECT_NE(Button(dialog, 1066), nullptr);

    Child<QLineEdit>(dialog, 1049)->setText(QStringLiteral("/out"));
    Button(dialog, 1053)->click();
    EXPECT_TRUE(Button(dialog, 1055)->isChecked()) << "1055 is \"each file individually\"";
    EXPECT_EQ(Button(dialog, 1055)->text(), QStringLiteral("Zip each file individually"));
    Button(dialog, 1054)->click();
    Button(dialog, 1048)->click();
    EXPECT_FALSE(Child<QLineEdit>(dialog, 1049)->isEnabled());
    EXPECT_FALSE(Button(dialog, 1050)->isEnabled());
    Button(dialog, 1046)->click();
    Button(dialog, 1)->click();
    EXPECT_TRUE(answers.accepted);
    EXPECT_EQ(answers.path, QStringLiteral("/out"));
    EXPECT_TRUE(answers.zip);
    EXPECT_EQ(answers.singleArchive, 1);
    EXPECT_EQ(answers.destination, 0);
    EXPECT_EQ(answers.entryChoice, 1);
}

// ---------------------------------------------------------------------------------------------
// Save error action

const QString kSaveError = QStringLiteral("234");

SaveErrorActionRequest::Answer AskSaveError(const std::function<void()>& drive) {
    JobMessage message = MakeSaveErrorAction(u"report.doc");
    // Not the closing answer, so a question closed without writing would show.
    message.Get<SaveErrorActionRequest>()->answer = SaveErrorActionRequest::Answer::ContinueSaving;
    if (drive) {
        drive();
    }
    EXPECT_TRUE(HandleJobQuestion(nullptr, message));
    return message.Get<SaveErrorActionRequest>()->answer;
}

TEST(SaveErrorActionDlgTest, ShowsTheFileNameInsideTheMessage) {
    const QString expected = QStringLiteral("File: report.doc is not saved completely. Take "
                                            "appropriate action by selecting the write choice.");
    EXPECT_EQ(CSaveErrorActionDlg::MessageText(QStringLiteral("report.doc")), expected);
    CSaveErrorActionDlg dialog(QStringLiteral("report.doc"));
    EXPECT_EQ(Child<QLabel>(dialog, 1165)->text(), expected);
    EXPECT_EQ(Button(dialog, 1164)->text(), QStringLiteral("Save File && Abort"));
    for (const int id : {1, 1164, 2})
        EXPECT_NE(dynamic_cast<CFlatButton*>(Button(dialog, id)), nullptr) << id;
}

TEST(SaveErrorActionDlgTest, EachButtonGivesItsAnswerAndClosingStopsNow) {
    using Answer = SaveErrorActionRequest::Answer;
    EXPECT_EQ(AskSaveError([] { ClickInModal(kSaveError, 1); }), Answer::ContinueSaving);
    EXPECT_EQ(AskSaveError([] { ClickInModal(kSaveError, 1164); }), Answer::SaveFileAndAbort);
    EXPECT_EQ(AskSaveError([] { ClickInModal(kSaveError, 2); }), Answer::AbortImmediately);
    EXPECT_EQ(AskSaveError([] {
                  WhenModal(kSaveError,
                            [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
              }),
              Answer::AbortImmediately);
    EXPECT_EQ(AskSaveError([] { WhenModal(kSaveError, [](QWidget* modal) { modal->close(); }); }),
              Answer::AbortImmediately);
}

// ---------------------------------------------------------------------------------------------
// File exists

const QString kFileExists = QStringLiteral("232");

// `start` is not the answer expected, so a question closed without writing would show.
FileExistsRequest AskFileExists(const std::function<void(QWidget*)>& act,
                                NameClashDecision start = NameClashDecision::OverwriteAll) {
    JobMessage message = MakeFileExists(u"report.doc", u"Copy1_report.doc");
    message.Get<FileExistsRequest>()->decision = start;
    WhenModal(kFileExists, act);
    EXPECT_TRUE(HandleJobQuestion(nullptr, message));
    return *message.Get<FileExistsRequest>();
}

TEST(FileExistsDlgTest, ShowsTheNameAndTheProposal) {
    CFileExistsDlg dialog(QStringLiteral("report.doc"), QStringLiteral("Copy1_report.doc"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("File with the same name already exists"));
    EXPECT_EQ(Child<QLabel>(dialog, 1010)->text(), QStringLiteral("report.doc"));
    EXPECT_EQ(Child<QLineEdit>(dialog, 1004)->text(), QStringLiteral("Copy1_report.doc"));
    for (const int id : {1, 1005, 1006, 1007, 1008, 1009})
        EXPECT_NE(dialog.findChild<CFlatButton*>(QString::number(id)), nullptr) << id;
}

TEST(FileExistsDlgTest, EachButtonGivesItsDecision) {
    const std::pair<int, NameClashDecision> buttons[] = {
        {1005, NameClashDecision::RenameAll},    {1006, NameClashDecision::Overwrite},
        {1007, NameClashDecision::OverwriteAll}, {1008, NameClashDecision::Skip},
        {1009, NameClashDecision::SkipAll},
    };
    for (const auto& [id, decision] : buttons) {
        const FileExistsRequest answered = AskFileExists(
            [id](QWidget* modal) {
                modal->findChild<QAbstractButton*>(QString::number(id))->click();
            },
            NameClashDecision::Rename);
        EXPECT_EQ(answered.decision, decision) << "button " << id;
        EXPECT_TRUE(answered.newName.empty()) << "button " << id;
    }
}

TEST(FileExistsDlgTest, RenameTakesTheTypedNameAndTheProposalUntouched) {
    FileExistsRequest typed = AskFileExists([](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("1004"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("mine.doc"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(typed.decision, NameClashDecision::Rename);
    EXPECT_EQ(typed.newName, u"mine.doc");

    FileExistsRequest proposed = AskFileExists(
        [](QWidget* modal) { modal->findChild<QAbstractButton*>(QStringLiteral("1"))->click(); });
    EXPECT_EQ(proposed.decision, NameClashDecision::Rename);
    EXPECT_EQ(proposed.newName, u"Copy1_report.doc");
}

TEST(FileExistsDlgTest, EscapeAndCloseSkipAndAnEmptyNameCannotRename) {
    EXPECT_EQ(
        AskFileExists([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }).decision,
        NameClashDecision::Skip);
    EXPECT_EQ(AskFileExists([](QWidget* modal) { modal->close(); }).decision,
              NameClashDecision::Skip);

    bool renameWasEnabled = true;
    const FileExistsRequest emptied = AskFileExists([&renameWasEnabled](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("1004"));
        auto* rename = modal->findChild<QAbstractButton*>(QStringLiteral("1"));
        edit->clear();
        renameWasEnabled = rename->isEnabled();
        rename->click();
        QTest::keyClick(edit, Qt::Key_Return);
        if (modal->isVisible()) {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    EXPECT_FALSE(renameWasEnabled);
    EXPECT_EQ(emptied.decision, NameClashDecision::Skip);
    EXPECT_TRUE(emptied.newName.empty());
}

// ---------------------------------------------------------------------------------------------
// Job questions

TEST(JobQuestionTest, OtherMessagesAndOtherThreadsAreNotHandled) {
    JobMessage other = MakeImageStart();
    EXPECT_FALSE(HandleJobQuestion(nullptr, other));

    JobMessage question = MakeFileExists(u"a", u"Copy1_a");
    bool handled = true;
    std::thread job([&] { handled = HandleJobQuestion(nullptr, question); });
    job.join();
    EXPECT_FALSE(handled);
    EXPECT_EQ(question.Get<FileExistsRequest>()->decision, NameClashDecision::Skip);
}

TEST(ScanFileExistsDlgTest, ItsButtonsAreFlat) {
    TempDir dir;
    CScanFileExistsDlg dialog(QString::fromStdString(dir.File("HardDrv1_Log.TXT").string()), 1, 0,
                              true);
    for (const int id : {CScanFileExistsDlg::kRenameId, CScanFileExistsDlg::kOverwriteId,
                         CScanFileExistsDlg::kCancelId, CScanFileExistsDlg::kHelpId})
        EXPECT_NE(dialog.findChild<CFlatButton*>(QString::number(id)), nullptr) << id;
}

} // namespace
