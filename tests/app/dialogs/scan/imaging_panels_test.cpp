#include "app/dialogs/scan/image_progress_dlg.h"
#include "app/previews/scroll_bitmap_dlg.h"
#include "controls/scrolled_area.h"
#include "controls/sector_map_ctrl.h"
#include "platform/jobs/job_messages.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QImage Render(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Runs the deferred deletes a close() leaves.
void DeleteClosed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class ImageProgressDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = new CImageProgressDlg();
        dialog->resize(CImageProgressDlg::kDisplayWidth, CImageProgressDlg::kDisplayHeight);
        dialog->show();
    }
    void TearDown() override { delete dialog.data(); }

    QLabel* Text(int id) const { return dialog->findChild<QLabel*>(QString::number(id)); }

    QPointer<CImageProgressDlg> dialog;
};

TEST_F(ImageProgressDlgTest, StartsWithTheDescriptionTemplateAndTheLegend) {
    EXPECT_EQ(dialog->objectName(), QStringLiteral("135"));
    const std::pair<int, const char*> texts[] = {
        {1003, "   Disk No:          Size: "},
        {1010, "Block(s) Not Processed"},
        {1007, "Processed Block(s)"},
        {1008, "Current Processing "},
        {1009, "Bad Block(s)"},
        {1005, ""},
        {1006, ""},
    };
    for (const auto& [id, text] : texts) {
        QLabel* label = Text(id);
        ASSERT_NE(label, nullptr) << id;
        EXPECT_EQ(label->text(), QString::fromUtf8(text)) << id;
    }
    for (int picture = 148; picture <= 152; ++picture) {
        QLabel* label = Text(picture);
        ASSERT_NE(label, nullptr) << picture;
        EXPECT_FALSE(label->pixmap().isNull()) << picture;
    }
    EXPECT_EQ(Text(1004), nullptr) << "the placeholder gives way to the map";
}

TEST_F(ImageProgressDlgTest, TheDescriptionIsBoldOnLightBlueAndTheRestOnWhite) {
    QLabel* drive = Text(1003);
    EXPECT_TRUE(drive->font().bold());
    EXPECT_EQ(drive->font().pixelSize(), 14);
    const QImage image = Render(*dialog);
    // The description's far right holds no text, only its ground.
    const QRect place = drive->geometry();
    EXPECT_EQ(image.pixelColor(place.right() - 2, place.center().y()), QColor(169, 185, 247));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(2, CImageProgressDlg::kDisplayHeight - 3), QColor(Qt::white));
}

TEST_F(ImageProgressDlgTest, SetsTheTextsTheJobFillsByIdAndNoOthers) {
    const std::pair<int, const char*> updates[] = {
        {1003, "Serial No: 123 ModelNo: Disk Size : 1.00 GB"},
        {1005, "Processed 1.5 MB of 100.0 MB"},
        {1006, "Reading Sector : 3072"},
        {1010, "Block(s) Not Processed \nBlock Size : 34.13 KB"},
    };
    for (const auto& [id, text] : updates) {
        EXPECT_TRUE(dialog->SetControlText(id, QString::fromUtf8(text))) << id;
        EXPECT_EQ(Text(id)->text(), QString::fromUtf8(text)) << id;
    }
    for (int id : {1004, 1011, 148, 1, 0, -1}) {
        EXPECT_FALSE(dialog->SetControlText(id, QStringLiteral("x"))) << id;
    }
    // The two-line legend text keeps its own line for the block size.
    EXPECT_GT(Text(1010)->sizeHint().height(), Text(1007)->sizeHint().height());
}

TEST_F(ImageProgressDlgTest, EnterAndEscapeLeaveThePanelOpen) {
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(dialog.data(), key);
        DeleteClosed();
        ASSERT_FALSE(dialog.isNull()) << key;
        EXPECT_TRUE(dialog->isVisible()) << key;
        EXPECT_EQ(dialog->result(), 0) << key;
    }
}

TEST_F(ImageProgressDlgTest, TheMapSitsInThePlaceholdersPlaceAndTakesTheJobsMessages) {
    CSectorMapCtrl* map = dialog->SectorMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->size(), QSize(751, 321));
    EXPECT_TRUE(map->HandleMessage(MakeSectorMapReading(0, 0)));
    EXPECT_TRUE(map->HandleMessage(MakeSectorMapFailed(0, 0)));
    EXPECT_TRUE(map->HandleMessage(MakeSectorMapDone(39, 74)));
    const QImage image = Render(*dialog);
    const QPoint origin = map->mapTo(dialog.data(), QPoint(0, 0));
    EXPECT_EQ(image.pixelColor(origin + QPoint(5, 4)), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(origin + QPoint(745, 316)), QColor(169, 185, 247));
    EXPECT_EQ(image.pixelColor(origin + QPoint(750, 320)), QColor(0, 0, 0));
    // The tooltip format comes from the string table.
    map->SetSectorsPerBlock(100);
    EXPECT_EQ(map->ToolTipAt(QPoint(15, 4)),
              QStringLiteral("Starting Sector:101, Ending Sector:200"));
}

TEST_F(ImageProgressDlgTest, ASmallViewScrollsThePanel) {
    dialog->resize(500, 300);
    ScrolledArea* area = dialog->Area();
    ASSERT_TRUE(area->VerticalBar()->isVisible());
    ASSERT_TRUE(area->HorizontalBar()->isVisible());
    area->VerticalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(area->Content()->pos(), QPoint(0, -60));
    dialog->resize(900, 500);
    EXPECT_FALSE(area->VerticalBar()->isVisible());
    EXPECT_EQ(area->Content()->pos(), QPoint(0, 0));
}

TEST_F(ImageProgressDlgTest, ClosingDeletesThePanel) {
    dialog->close();
    DeleteClosed();
    EXPECT_TRUE(dialog.isNull());
}

TEST(ScrollBitmapDlgTest, ShowsThePictureCentredOnWhiteAndScrolls) {
    QPointer<CScrollBitmapDlg> dialog = new CScrollBitmapDlg();
    EXPECT_EQ(dialog->objectName(), QStringLiteral("165"));
    dialog->resize(CScrollBitmapDlg::kDisplayWidth, CScrollBitmapDlg::kDisplayHeight);
    dialog->show();
    auto* picture = dialog->findChild<QLabel*>(QStringLiteral("176"));
    ASSERT_NE(picture, nullptr);
    ASSERT_FALSE(picture->pixmap().isNull());
    EXPECT_EQ(picture->geometry(), QRect(5, 5, 800, 440));
    EXPECT_FALSE(dialog->Area()->VerticalBar()->isVisible());
    const QImage image = Render(*dialog);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(805, 445), QColor(Qt::white));

    dialog->resize(400, 300);
    EXPECT_TRUE(dialog->Area()->VerticalBar()->isVisible());
    dialog->close();
    DeleteClosed();
    EXPECT_TRUE(dialog.isNull());
}

} // namespace
