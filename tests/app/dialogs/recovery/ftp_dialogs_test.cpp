#include "app/dialogs/recovery/ftp_folder_dlg.h"
#include "app/dialogs/recovery/ftp_settings_dlg.h"
#include "jobs/recovery/ftp_settings.h"
#include "tests/app/modal_driver.h"
#include "tests/support/ftp_test_server.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// ---------------------------------------------------------------------------------------------
// Settings

TEST(FtpSettingsDlgTest, LogOnNeedsServerUserAndPassword) {
    const QString some = QStringLiteral("x");
    EXPECT_TRUE(CFtpSettingsDlg::CanLogOn(some, some, some));
    EXPECT_FALSE(CFtpSettingsDlg::CanLogOn(QString(), some, some));
    EXPECT_FALSE(CFtpSettingsDlg::CanLogOn(some, QString(), some));
    EXPECT_FALSE(CFtpSettingsDlg::CanLogOn(some, some, QString()));
}

class FtpSettingsDlgFixture : public ::testing::Test {
protected:
    QLineEdit* Edit(int id) { return dialog.findChild<QLineEdit*>(QString::number(id)); }
    QPushButton* Button(int id) { return dialog.findChild<QPushButton*>(QString::number(id)); }
    void Fill() {
        Edit(1154)->setText(QStringLiteral("ftp.example:2121"));
        Edit(1155)->setText(QStringLiteral("user"));
        Edit(1156)->setText(QStringLiteral("secret"));
    }

    FtpSettings settings{u"old-host", u"old-user", u"old-pass"};
    QString folder = QStringLiteral("/old");
    CFtpSettingsDlg dialog{settings, folder};
};

TEST_F(FtpSettingsDlgFixture, OpensEmptyAndEnablesOkBrowseAndFolderOnlyWithAllThree) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("FTP settings.."));
    for (int id : {1154, 1155, 1156, 1162}) {
        ASSERT_NE(Edit(id), nullptr) << id;
        EXPECT_TRUE(Edit(id)->text().isEmpty()) << id;
    }
    ASSERT_NE(Button(1158), nullptr);
    const auto enabled = [this] {
        const bool ok = Button(1)->isEnabled();
        EXPECT_EQ(Button(1157)->isEnabled(), ok);
        EXPECT_EQ(Edit(1162)->isEnabled(), ok);
        return ok;
    };
    EXPECT_FALSE(enabled());
    Edit(1154)->setText(QStringLiteral("h"));
    Edit(1155)->setText(QStringLiteral("u"));
    EXPECT_FALSE(enabled());
    Edit(1156)->setText(QStringLiteral("p"));
    EXPECT_TRUE(enabled());
    Edit(1155)->clear();
    EXPECT_FALSE(enabled());
    EXPECT_FALSE(Edit(1154)->placeholderText().isEmpty()) << "the server edit explains host:port";
}

TEST_F(FtpSettingsDlgFixture, OkStoresEverythingAndCancelNothing) {
    Fill();
    Edit(1162)->setText(QStringLiteral("/backup"));
    Button(2)->click();
    EXPECT_EQ(settings.server, u"old-host");
    EXPECT_EQ(folder, QStringLiteral("/old"));

    Button(1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.server, u"ftp.example:2121");
    EXPECT_EQ(settings.user, u"user");
    EXPECT_EQ(settings.password, u"secret");
    EXPECT_EQ(folder, QStringLiteral("/backup"));
}

// ---------------------------------------------------------------------------------------------
// Folder tree

TEST(FtpFolderDlgTest, FolderPathOfTheRootAndOfNestedFolders) {
    EXPECT_EQ(CFtpFolderDlg::FolderPath({}), QStringLiteral("/"));
    EXPECT_EQ(CFtpFolderDlg::FolderPath({QStringLiteral("a")}), QStringLiteral("/a"));
    EXPECT_EQ(CFtpFolderDlg::FolderPath({QStringLiteral("data"), QStringLiteral("backup")}),
              QStringLiteral("/data/backup"));
}

QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) {
        texts.append(item->child(i)->text(0));
    }
    return texts;
}

// Expands `item` and returns the text of the failure box it showed, if any.
QString ExpandCatchingFailure(QTreeWidget* tree, QTreeWidgetItem* item, QString* caption) {
    QString shown;
    WhenModal(QString(), [&shown, caption](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        *caption = box->windowTitle();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->accept();
    });
    tree->expandItem(item);
    return shown;
}

TEST(FtpFolderDlgTest, UnreachableOrUnparsableServerShowsTheFailureAndKeepsOnlyTheRoot) {
    for (const QString& server : {QStringLiteral("127.0.0.1:1"), QStringLiteral("host:99999")}) {
        QString folder = QStringLiteral("/stale");
        CFtpFolderDlg dialog(folder, server, QStringLiteral("u"), QStringLiteral("p"));
        EXPECT_TRUE(folder.isEmpty()) << "the caller's folder is cleared when the dialog opens";
        dialog.show();
        auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("1004"));
        ASSERT_NE(tree, nullptr);
        ASSERT_EQ(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree->topLevelItem(0);
        EXPECT_EQ(root->text(0), QStringLiteral("/"));
        EXPECT_EQ(root->childCount(), 1) << "a placeholder makes the root expandable";

        QString caption;
        EXPECT_EQ(ExpandCatchingFailure(tree, root, &caption),
                  QStringLiteral("Failed to connect to FTP server."))
            << server.toStdString();
        EXPECT_EQ(caption, QStringLiteral("Morwick Wrenfal Windows Data Recovery v3.0"));
        EXPECT_EQ(tree->topLevelItemCount(), 1);
        EXPECT_EQ(root->childCount(), 0);
    }
}

class FtpFolderServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        for (const char* folder : {"b", "a/x", "a/Y", "a/x/deep"}) {
            std::filesystem::create_directories(server.Root() / folder);
        }
        // Files are not folders to save into.
        std::ofstream(server.Root() / "file.txt") << "f";
        std::ofstream(server.Root() / "a" / "note.txt") << "n";
    }

    QString Server() const { return QStringLiteral("127.0.0.1:") + QString::number(server.Port()); }

    FtpTestServer server;
    QString folder;
};

TEST_F(FtpFolderServerTest, ExpandingListsFoldersSortedAndLeavesLoseTheirIndicator) {
    CFtpFolderDlg dialog(folder, Server(), QString::fromStdString(server.User()),
                         QString::fromStdString(server.Password()));
    dialog.show();
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("1004"));
    ASSERT_NE(tree, nullptr);
    QTreeWidgetItem* root = tree->topLevelItem(0);

    tree->expandItem(root);
    ASSERT_EQ(ChildTexts(root), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    for (int i = 0; i < root->childCount(); ++i) {
        EXPECT_EQ(root->child(i)->childCount(), 1) << "each folder starts expandable";
    }

    QTreeWidgetItem* a = root->child(0);
    tree->expandItem(a);
    EXPECT_EQ(ChildTexts(a), (QStringList{QStringLiteral("x"), QStringLiteral("Y")}))
        << "sorted without regard to case";

    QTreeWidgetItem* b = root->child(1);
    tree->expandItem(b);
    EXPECT_EQ(b->childCount(), 0);
    EXPECT_EQ(b->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    // Collapsing forgets the listing: a folder made meanwhile shows on the next expansion.
    tree->setCurrentItem(a->child(0));
    tree->collapseItem(a);
    EXPECT_EQ(a->childCount(), 1);
    EXPECT_EQ(tree->currentItem(), a) << "the chosen subfolder went with the listing";
    std::filesystem::create_directories(server.Root() / "a" / "new");
    tree->expandItem(a);
    EXPECT_EQ(ChildTexts(a),
              (QStringList{QStringLiteral("new"), QStringLiteral("x"), QStringLiteral("Y")}));

    tree->setCurrentItem(a->child(1));
    dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
    EXPECT_EQ(folder, QStringLiteral("/a/x"));
}

TEST_F(FtpFolderServerTest, ChoosingTheRootGivesSlashAndCancelGivesNothing) {
    CFtpFolderDlg chosen(folder, Server(), QString::fromStdString(server.User()),
                         QString::fromStdString(server.Password()));
    auto* tree = chosen.findChild<QTreeWidget*>(QStringLiteral("1004"));
    tree->expandItem(tree->topLevelItem(0));
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    tree->setCurrentItem(tree->topLevelItem(0));
    chosen.findChild<QPushButton*>(QStringLiteral("1"))->click();
    EXPECT_EQ(folder, QStringLiteral("/"));

    CFtpFolderDlg cancelled(folder, Server(), QString::fromStdString(server.User()),
                            QString::fromStdString(server.Password()));
    cancelled.findChild<QPushButton*>(QStringLiteral("2"))->click();
    EXPECT_TRUE(folder.isEmpty());
}

TEST_F(FtpFolderServerTest, BrowseFtpShowsTheChosenFolderInTheSettings) {
    FtpSettings settings;
    QString chosen;
    CFtpSettingsDlg dialog(settings, chosen);
    dialog.findChild<QLineEdit*>(QStringLiteral("1154"))->setText(Server());
    dialog.findChild<QLineEdit*>(QStringLiteral("1155"))
        ->setText(QString::fromStdString(server.User()));
    dialog.findChild<QLineEdit*>(QStringLiteral("1156"))
        ->setText(QString::fromStdString(server.Password()));
    WhenModal(QStringLiteral("129"), [](QWidget* browser) {
        auto* tree = browser->findChild<QTreeWidget*>(QStringLiteral("1004"));
        tree->expandItem(tree->topLevelItem(0));
        ASSERT_EQ(tree->topLevelItem(0)->childCount(), 2);
        tree->setCurrentItem(tree->topLevelItem(0)->child(1));
        browser->findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    dialog.findChild<QPushButton*>(QStringLiteral("1157"))->click();
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("1162"))->text(), QStringLiteral("/b"));
    EXPECT_TRUE(settings.server.empty()) << "nothing is stored before OK";
}

} // namespace
