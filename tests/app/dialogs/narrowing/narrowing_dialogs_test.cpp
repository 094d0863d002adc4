// The file mask and find dialogs on their own: what OK refuses, what it stores, and how the
// find dialog's advanced part and size edit behave.
#include "app/dialogs/narrowing/file_mask_dlg.h"
#include "app/dialogs/narrowing/find_dlg.h"
#include "resources/string_ids.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <vector>

namespace {

template <typename T> T* Control(QWidget& dialog, int id) {
    T* control = dialog.findChild<T*>(QString::number(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

struct MaskCase {
    const char* what;
    void (*fill)(QWidget&);
    uint32_t refusal; // 0: accepted
};

void Sizes(QWidget& d, const char* from, const char* upto) {
    Control<QCheckBox>(d, CFileMaskDlg::kSizeFromId)->setChecked(true);
    Control<QLineEdit>(d, CFileMaskDlg::kSizeFromEditId)->setText(QString::fromUtf8(from));
    Control<QCheckBox>(d, CFileMaskDlg::kUptoId)->setChecked(true);
    Control<QLineEdit>(d, CFileMaskDlg::kUptoEditId)->setText(QString::fromUtf8(upto));
}

void Dated(QWidget& d, int radio, int edit, const char* value) {
    Control<QCheckBox>(d, CFileMaskDlg::kDateId)->setChecked(true);
    Control<QRadioButton>(d, radio)->setChecked(true);
    Control<QLineEdit>(d, edit)->setText(QString::fromUtf8(value));
}

TEST(FileMaskDlgTest, OkRefusesOutOfRangeValuesAndKeepsTheDialogOpen) {
    const MaskCase cases[] = {
        {"10 KB to 5 KB", [](QWidget& d) { Sizes(d, "10", "5"); }, kMaskSizeRangeId},
        {"5 KB to 10 KB", [](QWidget& d) { Sizes(d, "5", "10"); }, 0},
        {"1000 months",
         [](QWidget& d) {
             Dated(d, CFileMaskDlg::kMonthsRadioId, CFileMaskDlg::kMonthsEditId, "1000");
         },
         kMaskTooManyMonthsId},
        {"999 months",
         [](QWidget& d) {
             Dated(d, CFileMaskDlg::kMonthsRadioId, CFileMaskDlg::kMonthsEditId, "999");
         },
         0},
        {"366 days",
         [](QWidget& d) { Dated(d, CFileMaskDlg::kDaysRadioId, CFileMaskDlg::kDaysEditId, "366"); },
         kMaskTooManyDaysId},
        {"365 days",
         [](QWidget& d) { Dated(d, CFileMaskDlg::kDaysRadioId, CFileMaskDlg::kDaysEditId, "365"); },
         0},
    };
    for (const MaskCase& c : cases) {
        FileMaskSettings settings;
        std::vector<uint32_t> told;
        CFileMaskDlg dialog(settings, [&told](uint32_t id) { told.push_back(id); });
        dialog.show();
        c.fill(dialog);
        dialog.accept();
        if (c.refusal != 0) {
            EXPECT_EQ(told, std::vector<uint32_t>{c.refusal}) << c.what;
            EXPECT_TRUE(dialog.isVisible()) << c.what;
        } else {
            EXPECT_TRUE(told.empty()) << c.what;
            EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.what;
        }
    }
}

TEST(FileMaskDlgTest, OkStoresTheConditions) {
    FileMaskSettings settings;
    CFileMaskDlg dialog(settings, nullptr);
    Control<QLineEdit>(dialog, CFileMaskDlg::kMaskEditId)->setText(QStringLiteral("*.doc;*.c"));
    Control<QCheckBox>(dialog, CFileMaskDlg::kMatchCaseId)->setChecked(true);
    Control<QCheckBox>(dialog, CFileMaskDlg::kExistingId)->setChecked(false);
    Sizes(dialog, "4194304", "4194305");
    Dated(dialog, CFileMaskDlg::kDaysRadioId, CFileMaskDlg::kDaysEditId, "10");
    Control<QComboBox>(dialog, CFileMaskDlg::kDateFieldId)->setCurrentIndex(2);
    dialog.accept();
    EXPECT_EQ(settings.patterns, (std::vector<std::u16string>{u"*.doc", u"*.c"}));
    EXPECT_TRUE(settings.matchCase);
    EXPECT_TRUE(settings.showDeleted);
    EXPECT_FALSE(settings.showExisting);
    EXPECT_EQ(settings.minimum, 4294967296u);
    EXPECT_EQ(settings.maximum, 4294968320u);
    EXPECT_EQ(settings.dateField, EntryDateField::Modified);
    EXPECT_TRUE(settings.daysOn);
    EXPECT_EQ(settings.days, 10);
}

TEST(FileMaskDlgTest, OkNeedsAMaskAndDeletedOrExisting) {
    FileMaskSettings settings;
    CFileMaskDlg dialog(settings, nullptr);
    auto* ok = Control<QAbstractButton>(dialog, CFileMaskDlg::kOkId);
    EXPECT_TRUE(ok->isEnabled());
    Control<QCheckBox>(dialog, CFileMaskDlg::kDeletedId)->setChecked(false);
    Control<QCheckBox>(dialog, CFileMaskDlg::kExistingId)->setChecked(false);
    EXPECT_FALSE(ok->isEnabled());
    Control<QCheckBox>(dialog, CFileMaskDlg::kExistingId)->setChecked(true);
    Control<QLineEdit>(dialog, CFileMaskDlg::kMaskEditId)->clear();
    EXPECT_FALSE(ok->isEnabled());
}

TEST(FileMaskDlgTest, SpinsStepTheirEditsAndWrapAtBothEnds) {
    FileMaskSettings settings;
    CFileMaskDlg dialog(settings, nullptr);
    Control<QCheckBox>(dialog, CFileMaskDlg::kDateId)->setChecked(true);
    auto* months = Control<QLineEdit>(dialog, CFileMaskDlg::kMonthsEditId);
    auto* monthSpin = Control<QSpinBox>(dialog, CFileMaskDlg::kMonthsSpinId);
    EXPECT_EQ(months->text(), QStringLiteral("1"));
    EXPECT_TRUE(monthSpin->isEnabled());
    monthSpin->stepBy(-1);
    EXPECT_EQ(months->text(), QStringLiteral("999")) << "down from 1 wraps to 999";
    monthSpin->stepBy(1);
    EXPECT_EQ(months->text(), QStringLiteral("1")) << "up from 999 wraps to 1";
    months->setText(QStringLiteral("41"));
    monthSpin->stepBy(1);
    EXPECT_EQ(months->text(), QStringLiteral("42")) << "a typed number is where it steps from";

    Control<QRadioButton>(dialog, CFileMaskDlg::kDaysRadioId)->setChecked(true);
    auto* days = Control<QLineEdit>(dialog, CFileMaskDlg::kDaysEditId);
    auto* daySpin = Control<QSpinBox>(dialog, CFileMaskDlg::kDaysSpinId);
    EXPECT_FALSE(monthSpin->isEnabled());
    daySpin->stepBy(-1);
    EXPECT_EQ(days->text(), QStringLiteral("365"));
    daySpin->stepBy(1);
    EXPECT_EQ(days->text(), QStringLiteral("1"));
}

TEST(FileMaskDlgTest, PickingADayOtherThanTodayTurnsBetweenOn) {
    FileMaskSettings settings;
    CFileMaskDlg dialog(settings, nullptr);
    Control<QCheckBox>(dialog, CFileMaskDlg::kDateId)->setChecked(true);
    auto* between = Control<QRadioButton>(dialog, CFileMaskDlg::kBetweenRadioId);
    ASSERT_FALSE(between->isChecked());
    Control<QDateEdit>(dialog, CFileMaskDlg::kFirstDateId)->setDate(QDate(2010, 6, 1));
    EXPECT_TRUE(between->isChecked());
    Control<QDateEdit>(dialog, CFileMaskDlg::kSecondDateId)->setDate(QDate(2010, 6, 30));
    dialog.accept();
    EXPECT_TRUE(settings.betweenOn);
    EXPECT_EQ(settings.first, (CalendarDate{2010, 6, 1}));
    EXPECT_EQ(settings.second, (CalendarDate{2010, 6, 30}));
}

TEST(FindDlgTest, AdvanceTogglesAndCancelRestoresTheFlag) {
    bool advanced = false;
    CFindDlg dialog(advanced, nullptr, nullptr);
    dialog.show();
    auto* advance = Control<QAbstractButton>(dialog, CFindDlg::kAdvanceId);
    auto* size = Control<QCheckBox>(dialog, CFindDlg::kSizeId);
    EXPECT_FALSE(size->isVisible());
    advance->click();
    EXPECT_TRUE(dialog.AdvancedShown());
    EXPECT_TRUE(advanced);
    EXPECT_TRUE(size->isVisible());
    advance->click();
    EXPECT_FALSE(dialog.AdvancedShown());
    advance->click();
    dialog.reject();
    EXPECT_FALSE(advanced) << "Cancel keeps the flag the dialog opened with";
}

TEST(FindDlgTest, SearchNowHandsOverTheConditions) {
    bool advanced = true;
    std::vector<FindConditions> searched;
    std::vector<uint32_t> told;
    CFindDlg dialog(
        advanced,
        [&searched](const FindConditions& c) {
            searched.push_back(c);
            return true;
        },
        [&told](uint32_t id) { told.push_back(id); });
    dialog.show();
    Control<QLineEdit>(dialog, CFindDlg::kPatternId)->setText(QStringLiteral("*.txt; report.doc;"));
    Control<QCheckBox>(dialog, CFindDlg::kSizeId)->setChecked(true);
    Control<QComboBox>(dialog, CFindDlg::kSizeKindId)->setCurrentIndex(1);
    auto* sizeEdit = Control<QLineEdit>(dialog, CFindDlg::kSizeEditId);
    sizeEdit->setText(QString());
    emit sizeEdit->editingFinished();
    EXPECT_EQ(told, std::vector<uint32_t>{kSizeBlankId});
    EXPECT_EQ(sizeEdit->text(), QStringLiteral("1"));
    sizeEdit->setText(QStringLiteral("4194304"));
    emit sizeEdit->editingFinished();
    EXPECT_EQ(sizeEdit->text(), QStringLiteral("419430")) << "above 2999999: divided by 10";
    dialog.OnSearchNow();
    ASSERT_EQ(searched.size(), 1u);
    EXPECT_EQ(searched[0].patterns, (std::vector<std::u16string>{u"*.txt", u"report.doc"}));
    EXPECT_TRUE(searched[0].sizeOn);
    EXPECT_FALSE(searched[0].atLeast);
    EXPECT_EQ(searched[0].sizeLimit, 419430u * 1024u);
    EXPECT_FALSE(searched[0].dateField.has_value());
}

} // namespace
