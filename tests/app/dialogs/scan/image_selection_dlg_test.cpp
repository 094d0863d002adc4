#include "app/dialogs/scan/image_selection_dlg.h"

#include "app/dialogs/scan/image_selection_rules.h"
#include "app/program_text.h"
#include "controls/range_slider.h"
#include "controls/range_slider_look.h"
#include "platform/settings/data_folder.h"
#include "resources/string_ids.h"
#include "tests/app/modal_driver.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using image_selection::kSliderUnits;
using scan_action::Region;

// A 3 TiB disk of 512-byte sectors: more sectors than 32 bits hold.
constexpr uint64_t kLargeDisk = 6442450944;

class ImageSelectionDlgTest : public ::testing::Test {
protected:
    static QLineEdit* Edit(QWidget& dialog, int id) {
        return dialog.findChild<QLineEdit*>(QString::number(id));
    }
    static QAbstractButton* Button(QWidget& dialog, int id) {
        return dialog.findChild<QAbstractButton*>(QString::number(id));
    }
    static CRangeSlider* Slider(QWidget& dialog) {
        return dialog.findChild<CRangeSlider*>(
            QString::fromLatin1(CImageSelectionDlg::kSliderName));
    }
    // Replaces the edit's text as typing does.
    static void Type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Delete);
        } else {
            QTest::keyClicks(edit, text);
        }
    }
    static void DragLever(CRangeSlider* slider, SliderLever lever, int toX) {
        const QPoint from(static_cast<int>(slider->Position(lever)), 5);
        QTest::mousePress(slider, Qt::LeftButton, {}, from);
        QTest::mouseMove(slider, QPoint(toX, 5));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(toX, 5));
    }
    // Clicks OK while the dialog runs, answering the refusal it may show; returns its text.
    static QString ClickOkAndReadRefusal(CImageSelectionDlg& dialog) {
        QString shown;
        WhenModal(QString::fromLatin1(CImageSelectionDlg::kRefusalName), [&shown](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            shown = box->text();
            box->accept();
        });
        Button(dialog, CImageSelectionDlg::kOkId)->click();
        return shown;
    }
};

TEST_F(ImageSelectionDlgTest, UntouchedOkReturnsTheWholeDrive) {
    CImageSelectionDlg dialog(1234567, Region{0, 1234567});
    EXPECT_EQ(dialog.objectName(), QStringLiteral("133"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Image Selection"));
    for (int id :
         {CImageSelectionDlg::kOkId, CImageSelectionDlg::kCancelId, CImageSelectionDlg::kHelpId}) {
        EXPECT_NE(Button(dialog, id), nullptr) << id;
    }
    EXPECT_NE(dialog.findChild<QWidget*>(QString::number(CImageSelectionDlg::kDescriptionId)),
              nullptr);
    EXPECT_EQ(Edit(dialog, 1000)->text(), QStringLiteral("0"));
    EXPECT_EQ(Edit(dialog, 1001)->text(), QStringLiteral("1234567"));
    CRangeSlider* slider = Slider(dialog);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->Position(SliderLever::Left), 0);
    EXPECT_EQ(slider->Position(SliderLever::Right), kSliderUnits);
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedRegion(), (Region{0, 1234567}));
}

TEST_F(ImageSelectionDlgTest, TypedSectorsMoveTheLeversAndOkReturnsThem) {
    CImageSelectionDlg dialog(1000000, Region{0, 1000000});
    Type(Edit(dialog, 1000), QStringLiteral("250000"));
    Type(Edit(dialog, 1001), QStringLiteral("600001"));
    EXPECT_EQ(Slider(dialog)->Position(SliderLever::Left), 125);
    EXPECT_EQ(Slider(dialog)->Position(SliderLever::Right), 300);
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedRegion(), (Region{250000, 600001}));
}

TEST_F(ImageSelectionDlgTest, CancelKeepsThePreviousRegion) {
    CImageSelectionDlg dialog(204800, Region{100, 2000});
    EXPECT_EQ(Edit(dialog, 1000)->text(), QStringLiteral("100"));
    EXPECT_EQ(Edit(dialog, 1001)->text(), QStringLiteral("2000"));
    Type(Edit(dialog, 1000), QStringLiteral("5"));
    DragLever(Slider(dialog), SliderLever::Right, 250);
    Button(dialog, CImageSelectionDlg::kCancelId)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.SelectedRegion(), (Region{100, 2000}));
}

TEST_F(ImageSelectionDlgTest, AStartingRegionPastTheDriveIsShownWithinIt) {
    CImageSelectionDlg dialog(1000, Region{400, 5000});
    EXPECT_EQ(Edit(dialog, 1001)->text(), QStringLiteral("1000"));
    EXPECT_EQ(Slider(dialog)->Position(SliderLever::Left), 200);
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dialog.SelectedRegion(), (Region{400, 1000}));
}

TEST_F(ImageSelectionDlgTest, TypedValuesAreDigitsOnlyAndClampToTheDrive) {
    CImageSelectionDlg dialog(204800, Region{0, 204800});
    QLineEdit* first = Edit(dialog, 1000);
    QLineEdit* last = Edit(dialog, 1001);
    Type(first, QStringLiteral("-5"));
    EXPECT_EQ(first->text(), QStringLiteral("5")) << "no sign reaches the number";
    Type(last, QStringLiteral("99999999999"));
    EXPECT_EQ(last->text(), QStringLiteral("204800"));
    EXPECT_EQ(Slider(dialog)->Position(SliderLever::Right), kSliderUnits);
    Type(first, QStringLiteral("4294967301"));
    EXPECT_EQ(first->text(), QStringLiteral("204800"));
    Type(first, QStringLiteral("1024"));
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dialog.SelectedRegion(), (Region{1024, 204800}));
}

TEST_F(ImageSelectionDlgTest, ADriveOverTwoToThe32SectorsTakesItsNumbers) {
    CImageSelectionDlg dialog(kLargeDisk, Region{0, kLargeDisk});
    EXPECT_EQ(Edit(dialog, 1001)->text(), QStringLiteral("6442450944"));
    Type(Edit(dialog, 1000), QStringLiteral("4294967296"));
    Type(Edit(dialog, 1001), QStringLiteral("6000000000"));
    EXPECT_EQ(Slider(dialog)->Position(SliderLever::Left), 333);
    EXPECT_EQ(Slider(dialog)->Position(SliderLever::Right), 465);
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dialog.SelectedRegion(), (Region{4294967296, 6000000000}));

    // Dragging: the right end is the total exactly, a position its share.
    CImageSelectionDlg dragged(kLargeDisk, Region{0, kLargeDisk});
    DragLever(Slider(dragged), SliderLever::Right, 250);
    EXPECT_EQ(Edit(dragged, 1001)->text(), QStringLiteral("3221225472"));
    DragLever(Slider(dragged), SliderLever::Right, 600);
    EXPECT_EQ(Edit(dragged, 1001)->text(), QStringLiteral("6442450944"));
    DragLever(Slider(dragged), SliderLever::Left, 100);
    EXPECT_EQ(Edit(dragged, 1000)->text(), QStringLiteral("1288490188"));
    Button(dragged, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dragged.SelectedRegion(), (Region{1288490188, kLargeDisk}));
}

TEST_F(ImageSelectionDlgTest, ADriveOfFewerSectorsThanLeverUnitsMapsEveryPosition) {
    CImageSelectionDlg dialog(100, Region{0, 100});
    CRangeSlider* slider = Slider(dialog);
    DragLever(slider, SliderLever::Right, 250);
    EXPECT_EQ(Edit(dialog, 1001)->text(), QStringLiteral("50"));
    DragLever(slider, SliderLever::Left, 100);
    EXPECT_EQ(Edit(dialog, 1000)->text(), QStringLiteral("20"));
    Type(Edit(dialog, 1001), QStringLiteral("99"));
    EXPECT_EQ(slider->Position(SliderLever::Right), 495);
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(dialog.SelectedRegion(), (Region{20, 99}));

    // A drive of no sectors offers only the empty region.
    CImageSelectionDlg empty(0, Region{0, 0});
    DragLever(Slider(empty), SliderLever::Right, 250);
    EXPECT_EQ(Edit(empty, 1001)->text(), QStringLiteral("0"));
    Type(Edit(empty, 1000), QStringLiteral("7"));
    EXPECT_EQ(Edit(empty, 1000)->text(), QStringLiteral("0"));
    Button(empty, CImageSelectionDlg::kOkId)->click();
    EXPECT_EQ(empty.SelectedRegion(), (Region{0, 0}));
}

TEST_F(ImageSelectionDlgTest, OkRefusesAFirstSectorAfterTheLastOrAnEmptyEditAndStaysOpen) {
    CImageSelectionDlg dialog(204800, Region{0, 204800});
    dialog.show();
    Type(Edit(dialog, 1000), QStringLiteral("5000"));
    Type(Edit(dialog, 1001), QStringLiteral("100"));
    EXPECT_EQ(ClickOkAndReadRefusal(dialog), ProgramText(kFirstAfterLastId));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.SelectedRegion(), (Region{0, 204800}));

    Type(Edit(dialog, 1001), QString());
    EXPECT_EQ(ClickOkAndReadRefusal(dialog), ProgramText(kMissingSectorId));
    EXPECT_TRUE(dialog.isVisible());

    Type(Edit(dialog, 1001), QStringLiteral("5000"));
    Button(dialog, CImageSelectionDlg::kOkId)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SelectedRegion(), (Region{5000, 5000}));
}

TEST_F(ImageSelectionDlgTest, TheDriveNodeGivesTheTotal) {
    DriveNode disk;
    PhysicalDiskInfo diskInfo;
    diskInfo.totalSectors = kLargeDisk;
    disk.detail = diskInfo;
    EXPECT_EQ(CImageSelectionDlg(disk, Region{0, kLargeDisk}).TotalSectors(), kLargeDisk);

    DriveNode volume;
    volume.kind = DriveKind::LogicalDrive;
    LogicalDriveInfo volumeInfo;
    volumeInfo.totalSectors = 2048;
    volume.detail = volumeInfo;
    CImageSelectionDlg dialog(volume, Region{0, 4096});
    EXPECT_EQ(dialog.TotalSectors(), 2048u);
    EXPECT_EQ(Edit(dialog, 1001)->text(), QStringLiteral("2048"));
}

TEST_F(ImageSelectionDlgTest, TheSliderDrawsTheDeliveredPicturesOrPlainlyWithout) {
    {
        CImageSelectionDlg dialog(1000, Region{0, 1000});
        const CRangeSlider* slider = Slider(dialog);
        EXPECT_TRUE(slider->HasBarPicture()) << DataFolder();
        EXPECT_TRUE(slider->HasSidePicture());
        EXPECT_TRUE(slider->HasLeverPicture());
    }
    // The keyed pictures let the bar show through and leave no dark seam round what they keep.
    for (const char* name : {"SideBar.bmp", "lever.bmp"}) {
        const QImage keyed = RangeSliderLook::ColourKeyed(
            QImage(QString::fromStdString((DataFolder() / name).string())));
        int clear = 0;
        int kept = 0;
        for (int y = 0; y < keyed.height(); ++y) {
            for (int x = 0; x < keyed.width(); ++x) {
                const QColor colour = keyed.pixelColor(x, y);
                if (colour.alpha() == 0) {
                    ++clear;
                    continue;
                }
                ++kept;
                EXPECT_GT(std::max({colour.red(), colour.green(), colour.blue()}), 0x50)
                    << name << " at " << x << "," << y;
            }
        }
        EXPECT_GT(clear, 0) << name;
        EXPECT_GT(kept, 0) << name;
    }
    TempDir empty;
    const ScopedEnv folder("MORWICK_DATA", empty.Path().string());
    CImageSelectionDlg dialog(1000, Region{0, 1000});
    const CRangeSlider* slider = Slider(dialog);
    EXPECT_FALSE(slider->HasBarPicture() || slider->HasSidePicture() || slider->HasLeverPicture());
    QImage image(slider->size(), QImage::Format_ARGB32);
    QPainter painter(&image);
    slider->Draw(painter);
    painter.end();
    EXPECT_EQ(image.pixelColor(250, 30), RangeSliderLook::PlainBarFace());
}

} // namespace
