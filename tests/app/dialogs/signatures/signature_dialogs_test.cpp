// The signature dialogs offscreen over a header file of our own: one delivered record and two
// of the user's with the same name and extension (told apart by their headers).

#include "app/dialogs/signatures/add_edit_header_dlg.h"
#include "app/dialogs/signatures/add_new_header_dlg.h"
#include "app/dialogs/signatures/file_type_list_ctrl.h"
#include "app/dialogs/signatures/file_types_dlg.h"
#include "app/dialogs/signatures/signature_rows.h"
#include "controls/list_header_ctrl.h"
#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_file.h"
#include "jobs/scan/scan_state.h"
#include "tests/app/modal_driver.h"
#include "tests/support/folder_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include "platform/resources/string_table.h"
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

FileSignature Record(std::u16string name, uint8_t first, bool delivered, uint8_t group) {
    FileSignature record;
    record.softwareName = std::move(name);
    record.extension = u"dat";
    record.matchLength = 2;
    record.header = {first, 0x01};
    record.matchOffset = 4;
    record.companyDefined = delivered;
    record.maxFileSize = 3 * 1048576;
    record.sizeUnit = FileSignature::kUnitMegabytes;
    record.fileGroup = group;
    return record;
}

class SignatureDialogsTest : public ::testing::Test {
protected:
    SignatureDialogsTest()
        : m_config("MORWICK_CONFIG", m_user.File("settings.conf").string()),
          m_data("MORWICK_DATA", m_delivered.Path().string()) {
        std::vector<uint8_t> bytes;
        for (const FileSignature& record : m_records) {
            const std::vector<uint8_t> packed = FileSignatureSerializer::Write(record);
            bytes.insert(bytes.end(), packed.begin(), packed.end());
        }
        std::ofstream out(HeaderFileIn(m_delivered.Path()), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    // What the header file holds now.
    std::vector<FileSignature> Stored() const {
        std::vector<FileSignature> list;
        EXPECT_TRUE(LoadHeaderFile(list, m_delivered.Path(), m_user.Path()));
        return list;
    }

    template <typename T> static T* Child(QWidget& parent, int id) {
        T* child = parent.findChild<T*>(QString::number(id));
        EXPECT_NE(child, nullptr) << id;
        return child;
    }

    // The row of record `index`.
    static QTreeWidgetItem* RowOf(QTreeWidget& list, size_t index) {
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            if (RowRecordIndex(list.topLevelItem(i)) == index)
                return list.topLevelItem(i);
        ADD_FAILURE() << "no row for record " << index;
        return nullptr;
    }

    const std::vector<FileSignature> m_records = {
        Record(u"Delivered", 0xd0, true, 10),
        Record(u"Twin", 0xa1, false, 4),
        Record(u"Twin", 0xa2, false, 4),
    };
    TempDir m_user;
    TempDir m_delivered;
    ScopedEnv m_config;
    ScopedEnv m_data;
    ScanState m_state;
};

// --- file types ------------------------------------------------------------------------------

TEST_F(SignatureDialogsTest, FileTypesOpensWithEveryTypeCheckedInReverseOrder) {
    CFileTypesDlg dialog(m_state);
    auto* list = Child<CFileTypeListCtrl>(dialog, CFileTypeListCtrl::kControlId);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(RowRecordIndex(list->topLevelItem(i)), static_cast<size_t>(2 - i));
        EXPECT_EQ(list->topLevelItem(i)->checkState(0), Qt::Checked);
        EXPECT_EQ(list->topLevelItem(i)->text(2), QStringLiteral("3072"));
    }
    EXPECT_FALSE(Child<QPushButton>(dialog, CFileTypesDlg::kSelectAllId)->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(dialog, CFileTypesDlg::kUnselectAllId)->isEnabled());
    EXPECT_EQ(Child<QComboBox>(dialog, CFileTypesDlg::kGroupComboId)->count(), 13);
}

TEST_F(SignatureDialogsTest, UnselectAllThenOkLeavesAnEmptyChoiceThatStands) {
    CFileTypesDlg dialog(m_state);
    Child<QPushButton>(dialog, CFileTypesDlg::kUnselectAllId)->click();
    EXPECT_TRUE(Child<QPushButton>(dialog, CFileTypesDlg::kSelectAllId)->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, CFileTypesDlg::kUnselectAllId)->isEnabled());
    EXPECT_TRUE(m_state.signatureLists.selectionChanged);
    Child<QPushButton>(dialog, 1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(m_state.signatureLists.active.empty());
    EXPECT_TRUE(m_state.signatureLists.user.empty());
    EXPECT_TRUE(m_state.signaturesLoaded);
}

TEST_F(SignatureDialogsTest, AnUncheckedTwinLeavesOnlyThatRecord) {
    CFileTypesDlg dialog(m_state);
    auto* list = Child<CFileTypeListCtrl>(dialog, CFileTypeListCtrl::kControlId);
    RowOf(*list, 1)->setCheckState(0, Qt::Unchecked);
    EXPECT_TRUE(Child<QPushButton>(dialog, CFileTypesDlg::kSelectAllId)->isEnabled());
    Child<QPushButton>(dialog, 1)->click();
    std::vector<FileSignature> expected = {m_records[0], m_records[2]};
    for (FileSignature& record : expected)
        record.selected = true;
    EXPECT_EQ(m_state.signatureLists.active, expected);
}

TEST_F(SignatureDialogsTest, GroupFilterShowsOnlyItsTypesAndKeepsTheChecks) {
    CFileTypesDlg dialog(m_state);
    auto* list = Child<CFileTypeListCtrl>(dialog, CFileTypeListCtrl::kControlId);
    RowOf(*list, 2)->setCheckState(0, Qt::Unchecked);
    Child<QComboBox>(dialog, CFileTypesDlg::kGroupComboId)->setCurrentIndex(4);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(RowRecordIndex(list->topLevelItem(0)), 1u);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    Child<QComboBox>(dialog, CFileTypesDlg::kGroupComboId)->setCurrentIndex(0);
    EXPECT_EQ(list->topLevelItemCount(), 3);
}

TEST_F(SignatureDialogsTest, SizeTypedInTheListIsStoredInKilobytes) {
    CFileTypesDlg dialog(m_state);
    auto* list = Child<CFileTypeListCtrl>(dialog, CFileTypeListCtrl::kControlId);
    ASSERT_TRUE(list->CommitSize(*RowOf(*list, 2), QStringLiteral("1500")));
    std::vector<FileSignature> stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[2].maxFileSize, 1500u * 1024);
    EXPECT_EQ(stored[2].sizeUnit, FileSignature::kUnitKilobytes);
    EXPECT_EQ(stored[1].maxFileSize, 3u * 1048576) << "its twin keeps its size";

    bool told = false;
    WhenModal(QStringLiteral("signature message"), [&told](QWidget* box) {
        told = true;
        static_cast<QMessageBox*>(box)->accept();
    });
    EXPECT_FALSE(list->CommitSize(*RowOf(*list, 2), QStringLiteral("0")));
    QTRY_VERIFY_WITH_TIMEOUT(told, 5000);
    EXPECT_EQ(Stored()[2].maxFileSize, 1500u * 1024);
}

TEST_F(SignatureDialogsTest, ColumnClicksSortTheRows) {
    CFileTypesDlg dialog(m_state);
    auto* list = Child<CFileTypeListCtrl>(dialog, CFileTypeListCtrl::kControlId);
    ASSERT_TRUE(list->CommitSize(*RowOf(*list, 1), QStringLiteral("9000")));
    RowOf(*list, 1)->setText(2, QStringLiteral("9000"));
    emit list->header()->sectionClicked(2);
    EXPECT_EQ(RowRecordIndex(list->topLevelItem(0)), 1u) << "largest first";
    emit list->header()->sectionClicked(2);
    EXPECT_EQ(RowRecordIndex(list->topLevelItem(2)), 1u);
    // A click on the header itself; the header keeps the column and draws its triangle.
    dialog.show();
    auto* header = dynamic_cast<CListHeaderCtrl*>(list->header());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->SortColumn(), 2);
    EXPECT_TRUE(header->SortAscending());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionPosition(0) + 5, header->height() / 2));
    EXPECT_EQ(header->SortColumn(), 0);
    EXPECT_FALSE(header->SortAscending());
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Twin"));
    EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("Delivered"));
    // The rows filled again for a group keep the order.
    Child<QComboBox>(dialog, CFileTypesDlg::kGroupComboId)->setCurrentIndex(4);
    Child<QComboBox>(dialog, CFileTypesDlg::kGroupComboId)->setCurrentIndex(0);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Twin"));
    EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("Delivered"));
    EXPECT_EQ(header->SortColumn(), 0);
}

// --- add / edit ------------------------------------------------------------------------------

TEST_F(SignatureDialogsTest, NewRecordIsAppendedOnceEveryFieldIsFilled) {
    std::vector<FileSignature> userList = Stored();
    CAddEditHeaderDlg dialog(nullptr, userList);
    auto* ok = Child<QPushButton>(dialog, 1);
    EXPECT_FALSE(ok->isEnabled());
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kNameEditId)->setText(QStringLiteral("Notes"));
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kExtensionEditId)->setText(QStringLiteral("nte"));
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kHeaderEditId)->setText(QStringLiteral("4e 54 "));
    EXPECT_FALSE(ok->isEnabled());
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kOffsetEditId)->setText(QStringLiteral("510"));
    EXPECT_TRUE(ok->isEnabled());
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kSizeEditId)->setText(QStringLiteral("2"));
    Child<QAbstractSpinBox>(dialog, CAddEditHeaderDlg::kUnitSpinId)->stepBy(1);
    EXPECT_EQ(Child<QLineEdit>(dialog, CAddEditHeaderDlg::kSizeEditId)->text(),
              QStringLiteral("2048"));
    EXPECT_EQ(Child<QLineEdit>(dialog, CAddEditHeaderDlg::kUnitEditId)->text(),
              QStringLiteral("KB"));
    Child<QComboBox>(dialog, CAddEditHeaderDlg::kGroupComboId)->setCurrentIndex(8);
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const std::vector<FileSignature> stored = Stored();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(userList.size(), 4u);
    const FileSignature& added = stored[3];
    EXPECT_EQ(added.softwareName, u"Notes");
    EXPECT_EQ(added.matchOffset, 510u);
    EXPECT_EQ(added.matchLength, 2);
    EXPECT_EQ(added.header[1], 0x54);
    EXPECT_EQ(added.maxFileSize, 2048u * 1024);
    EXPECT_EQ(added.fileGroup, 8);
    EXPECT_FALSE(added.companyDefined);
}

TEST_F(SignatureDialogsTest, RefusedInputKeepsTheDialogOpen) {
    struct Case {
        const char* header;
        const char* offset;
        const char* size;
    };
    const Case cases[] = {
        {"4e54", "0", "1"},
        {"4e 54", "511", "1"},
        {"4e", "0", "4096"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.header);
        std::vector<FileSignature> userList;
        CAddEditHeaderDlg dialog(nullptr, userList);
        Child<QLineEdit>(dialog, CAddEditHeaderDlg::kNameEditId)->setText(QStringLiteral("N"));
        Child<QLineEdit>(dialog, CAddEditHeaderDlg::kExtensionEditId)->setText(QStringLiteral("e"));
        Child<QLineEdit>(dialog, CAddEditHeaderDlg::kHeaderEditId)->setText(each.header);
        Child<QLineEdit>(dialog, CAddEditHeaderDlg::kOffsetEditId)->setText(each.offset);
        Child<QLineEdit>(dialog, CAddEditHeaderDlg::kSizeEditId)->setText(each.size);
        bool told = false;
        WhenModal(QStringLiteral("signature message"), [&told](QWidget* box) {
            told = true;
            static_cast<QMessageBox*>(box)->accept();
        });
        Child<QPushButton>(dialog, 1)->click();
        EXPECT_TRUE(told);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Stored().size(), 3u);
    }
}

TEST_F(SignatureDialogsTest, DeliveredRecordShowsAMaskAndTakesOnlyItsSize) {
    std::vector<FileSignature> userList = Stored();
    CAddEditHeaderDlg dialog(&userList[0], userList);
    auto* header = Child<QLineEdit>(dialog, CAddEditHeaderDlg::kHeaderEditId);
    EXPECT_EQ(header->text(), QStringLiteral("XXXXXXXXXXXX"));
    for (int id : {CAddEditHeaderDlg::kNameEditId, CAddEditHeaderDlg::kExtensionEditId,
                   CAddEditHeaderDlg::kHeaderEditId, CAddEditHeaderDlg::kOffsetEditId})
        EXPECT_FALSE(Child<QLineEdit>(dialog, id)->isEnabled()) << id;
    EXPECT_EQ(Child<QLineEdit>(dialog, CAddEditHeaderDlg::kSizeEditId)->text(),
              QStringLiteral("3"));
    EXPECT_EQ(Child<QLineEdit>(dialog, CAddEditHeaderDlg::kUnitEditId)->text(),
              QStringLiteral("MB"));
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kSizeEditId)->setText(QStringLiteral("7"));
    Child<QPushButton>(dialog, 1)->click();
    FileSignature expected = m_records[0];
    expected.selected = true;
    expected.maxFileSize = 7 * 1048576;
    EXPECT_EQ(userList[0], expected);
}

TEST_F(SignatureDialogsTest, UserRecordShowsItsHeaderAndCancelChangesNothing) {
    std::vector<FileSignature> userList = Stored();
    const FileSignature before = userList[2];
    CAddEditHeaderDlg dialog(&userList[2], userList);
    EXPECT_EQ(Child<QLineEdit>(dialog, CAddEditHeaderDlg::kHeaderEditId)->text(),
              QStringLiteral("a2 01"));
    EXPECT_EQ(Child<QComboBox>(dialog, CAddEditHeaderDlg::kGroupComboId)->currentIndex(), 4);
    Child<QLineEdit>(dialog, CAddEditHeaderDlg::kHeaderEditId)->setText(QStringLiteral("00"));
    Child<QPushButton>(dialog, 2)->click();
    EXPECT_EQ(userList[2], before);
}

// --- add new header --------------------------------------------------------------------------

TEST_F(SignatureDialogsTest, RemoveTakesTheChosenTwinAndNeverADeliveredRecord) {
    CAddNewHeaderDlg dialog(m_state.signatureLists);
    auto* list = Child<QTreeWidget>(dialog, CAddNewHeaderDlg::kListId);
    auto* remove = Child<QPushButton>(dialog, CAddNewHeaderDlg::kRemoveId);
    auto* edit = Child<QPushButton>(dialog, CAddNewHeaderDlg::kEditId);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(edit->isEnabled());

    RowOf(*list, 0)->setSelected(true);
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_FALSE(remove->isEnabled());

    list->clearSelection();
    RowOf(*list, 1)->setSelected(true);
    ASSERT_TRUE(remove->isEnabled());
    remove->click();
    const std::vector<FileSignature> stored = Stored();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].softwareName, u"Delivered");
    EXPECT_EQ(stored[1].header[0], 0xa2) << "the other twin stays";
    EXPECT_EQ(list->topLevelItemCount(), 2);
}

TEST_F(SignatureDialogsTest, AHeaderFileThatCannotBeWrittenIsReported) {
    CAddNewHeaderDlg dialog(m_state.signatureLists);
    auto* list = Child<QTreeWidget>(dialog, CAddNewHeaderDlg::kListId);
    // The user's folder is now below a plain file: nothing can be written there.
    WriteFileText(m_user.File("plain"), "x");
    const ScopedEnv unwritable("MORWICK_CONFIG", m_user.File("plain/settings.conf").string());
    bool told = false;
    WhenModal(QStringLiteral("signature message"), [&told](QWidget* box) {
        told = static_cast<QMessageBox*>(box)->text() ==
               QString::fromStdU16String(std::u16string(StringTable::Program().English(62698)));
        static_cast<QMessageBox*>(box)->accept();
    });
    RowOf(*list, 1)->setSelected(true);
    Child<QPushButton>(dialog, CAddNewHeaderDlg::kRemoveId)->click();
    QTRY_VERIFY_WITH_TIMEOUT(told, 5000);
}

TEST_F(SignatureDialogsTest, AddFromTheListAppendsAndShowsTheNewRow) {
    CAddNewHeaderDlg dialog(m_state.signatureLists);
    WhenModal(QString::number(CAddEditHeaderDlg::kDialogId), [](QWidget* modal) {
        const auto set = [modal](int id, const char* text) {
            modal->findChild<QLineEdit*>(QString::number(id))->setText(text);
        };
        set(CAddEditHeaderDlg::kNameEditId, "Added");
        set(CAddEditHeaderDlg::kExtensionEditId, "add");
        set(CAddEditHeaderDlg::kHeaderEditId, "ad");
        set(CAddEditHeaderDlg::kOffsetEditId, "0");
        set(CAddEditHeaderDlg::kSizeEditId, "1");
        modal->findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    Child<QPushButton>(dialog, CAddNewHeaderDlg::kAddId)->click();
    auto* list = Child<QTreeWidget>(dialog, CAddNewHeaderDlg::kListId);
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Added"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("1024"));
    EXPECT_EQ(Stored().size(), 4u);
}

} // namespace
