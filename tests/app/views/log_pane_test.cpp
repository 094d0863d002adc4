#include "app/dialogs/scan/scan_file_exists_dlg.h"
#include "app/views/log_pane.h"
#include "tests/support/temp_dir.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

const QString kProgram = QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0");

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AddFixedRows(CLogPaneDlg& log) {
    log.AddLogMessage("Scanning drive", "C: (NTFS)", "Process Started", 1);
    log.AddLogMessage("", "Résumé.doc", "", 4);
    log.AddLogMessage("Recovering files", "", "Process completed", 5);
}

const char kGoldenReport[] =
    "Message Log Report Morwick Wrenfal Windows Data Recovery v3.0\r\n"
    "Scanning drive\r\n"
    "                    C: (NTFS)\r\n"
    "                    Process Started\r\n"
    "                    R\xC3\xA9sum\xC3\xA9.doc\r\n"
    "-------------------------------------------------------------------------------\r\n"
    "Recovering files\r\n"
    "                    Process completed\r\n";

TEST(LogPaneTest, RowsAreAddedKeptInOrderAndCleared) {
    CLogPaneDlg log;
    EXPECT_EQ(log.List()->objectName(), QStringLiteral("1002"));
    EXPECT_EQ(log.List()->headerItem()->text(0), QStringLiteral("Activity"));
    EXPECT_EQ(log.List()->headerItem()->text(1), QStringLiteral("Description"));
    EXPECT_EQ(log.List()->headerItem()->text(2), QStringLiteral("Status"));
    EXPECT_FALSE(log.LogChanged());

    AddFixedRows(log);
    EXPECT_TRUE(log.LogChanged());
    ASSERT_EQ(log.RowCount(), 3);
    const std::vector<CLogPaneDlg::Row> rows = log.Rows();
    EXPECT_EQ(rows[0], (CLogPaneDlg::Row{"Scanning drive", "C: (NTFS)", "Process Started", 1}));
    EXPECT_EQ(rows[1], (CLogPaneDlg::Row{"", "Résumé.doc", "", 4}));
    EXPECT_EQ(rows[2], (CLogPaneDlg::Row{"Recovering files", "", "Process completed", 5}));

    log.ClearLog();
    EXPECT_EQ(log.RowCount(), 0);
    EXPECT_FALSE(log.LogChanged());
    EXPECT_TRUE(log.Rows().empty());
}

TEST(LogPaneTest, SavedReportMatchesTheGoldenBytes) {
    CLogPaneDlg log;
    AddFixedRows(log);
    TempDir dir;
    const std::filesystem::path file = dir.File("log.TXT");
    // An older, longer file is replaced, not overwritten in place.
    {
        std::ofstream old(file, std::ios::binary);
        old << std::string(4096, 'x');
    }
    // Without leave to replace, the old file stays as it was.
    EXPECT_FALSE(log.SaveReport(file, kProgram, false));
    EXPECT_EQ(ReadAll(file), std::string(4096, 'x'));
    ASSERT_TRUE(log.SaveReport(file, kProgram, true));
    EXPECT_EQ(ReadAll(file), std::string(kGoldenReport));
}

TEST(LogPaneTest, AnEmptyLogSavesOnlyTheTitleLine) {
    CLogPaneDlg log;
    TempDir dir;
    ASSERT_TRUE(log.SaveReport(dir.File("empty.TXT"), kProgram, false));
    EXPECT_EQ(ReadAll(dir.File("empty.TXT")),
              "Message Log Report Morwick Wrenfal Windows Data Recovery v3.0\r\n");
}

TEST(LogPaneTest, SavingIntoAMissingFolderFails) {
    CLogPaneDlg log;
    AddFixedRows(log);
    TempDir dir;
    EXPECT_FALSE(log.SaveReport(dir.Path() / "missing" / "log.TXT", kProgram, true));
}

TEST(LogPaneTest, LongTextsAreCutOnACharacterBoundary) {
    // 259 ASCII bytes then a two-byte character: cutting at 260 would split it.
    const QString twoByte = QString(259, 'a') + QStringLiteral("é");
    // 258 bytes then a three-byte and a four-byte character.
    const QString threeByte = QString(258, 'b') + QStringLiteral("€") + QString::fromUtf8("😀");
    std::vector<CLogPaneDlg::Row> rows = {{twoByte, threeByte, "", 1}};
    const std::string report = CLogPaneDlg::FormatReport(rows, kProgram);
    const std::string expected = "Message Log Report " + kProgram.toStdString() + "\r\n" +
                                 std::string(259, 'a') + "\r\n" + std::string(20, ' ') +
                                 std::string(258, 'b') + "\r\n";
    EXPECT_EQ(report, expected);

    EXPECT_EQ(CLogPaneDlg::CutUtf8("\xF0\x9F\x98\x80z", 3), "");
    EXPECT_EQ(CLogPaneDlg::CutUtf8("\xF0\x9F\x98\x80z", 4), "\xF0\x9F\x98\x80");
    EXPECT_EQ(CLogPaneDlg::CutUtf8("abc", 260), "abc");
    // A text of exactly the limit, ending in a whole character, is kept whole.
    const std::string exact = std::string(258, 'c') + "\xC3\xA9";
    EXPECT_EQ(CLogPaneDlg::CutUtf8(exact, 260), exact);
}

TEST(ScanFileExistsDlgTest, ProposesTheFirstFreeNameInTheSameFolder) {
    TempDir dir;
    const QString folder = QString::fromStdString(dir.Path().string()) + '/';
    const QString existing = folder + "my log.TXT";
    EXPECT_EQ(CScanFileExistsDlg::ProposeName(existing, 1, 2, true), folder + "HardDrv1_Log.TXT");
    std::ofstream(dir.File("HardDrv1_Log.TXT")) << "x";
    std::ofstream(dir.File("HardDrv1_Log1.TXT")) << "x";
    EXPECT_EQ(CScanFileExistsDlg::ProposeName(existing, 1, 2, true), folder + "HardDrv1_Log2.TXT");

    std::ofstream(dir.File("HardDrv1_LogDrv2_Scan.DAT")) << "x";
    EXPECT_EQ(CScanFileExistsDlg::ProposeName(existing, 1, 2, false),
              folder + "HardDrv1_LogDrv2_Scan1.DAT");
    EXPECT_EQ(CScanFileExistsDlg::ProposeName("bare.TXT", 0, 0, true), "HardDrv0_Log.TXT");
}

TEST(ScanFileExistsDlgTest, AnEmptyNameDisablesRenameAndOverwrite) {
    TempDir dir;
    CScanFileExistsDlg dialog(QString::fromStdString(dir.File("a.TXT").string()), 0, 0, true);
    auto* edit = dialog.findChild<QLineEdit*>("1020");
    auto* rename = dialog.findChild<QPushButton*>("1");
    auto* overwrite = dialog.findChild<QPushButton*>("1011");
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(rename, nullptr);
    ASSERT_NE(overwrite, nullptr);
    EXPECT_EQ(edit->text(), dialog.Proposal());
    EXPECT_TRUE(rename->isEnabled());

    edit->clear();
    EXPECT_FALSE(rename->isEnabled());
    EXPECT_FALSE(overwrite->isEnabled());

    edit->setText("other.TXT");
    ASSERT_TRUE(rename->isEnabled());
    rename->click();
    EXPECT_EQ(dialog.GetAnswer(), CScanFileExistsDlg::Answer::Rename);
    EXPECT_EQ(dialog.ChosenName(), QStringLiteral("other.TXT"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace
