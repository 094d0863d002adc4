// The dialog and its view, offscreen: the cluster list moves the view, the go-to box takes only
// hexadecimal digits and refuses offsets past the size, the panel by source kind, the view's
// reads near the end of a disk range, and what the view paints.
#include "hexview/hex_viewer_dlg.h"

#include "hexview/disp_view.h"
#include "hexview/hex_edit.h"
#include "tests/hexview/scratch_image.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

QString ValueText(const QWidget& dialog, int id) {
    const auto* label = dialog.findChild<QLabel*>(QString::number(id));
    return label != nullptr ? label->text() : QStringLiteral("<none>");
}

class HexViewerDlgTest : public ::testing::Test {
protected:
    ~HexViewerDlgTest() override { CHexViewerDlg::SetMessageHook({}); }

    ScratchImage image{64};
    std::vector<uint32_t> clusters = {4, 9, 2};
    // NTFS numbering, 2 sectors a cluster, from sector 0 of the image: 3 clusters, 3072 bytes.
    HexViewerSettings file = HexViewerSettings::ForFile(u"three.bin", 0, clusters, 3072, 3072, 7, 0,
                                                        2, true, image.Path16());
};

TEST_F(HexViewerDlgTest, ClickOnTheThirdClusterGoesToItsFirstByte) {
    CHexViewerDlg dialog(file);
    dialog.show();
    auto* list = dialog.findChild<QTableWidget*>(QString::number(CHexViewerDlg::kClusterListId));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(2, 0)->text(), QStringLiteral("2"));
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kTotalClustersValueId), QStringLiteral("3"));
    // Odd rows are banded.
    EXPECT_EQ(list->item(1, 0)->background().color(), QColor(230, 214, 230));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2, 0)).center());
    const DispViewModel& model = dialog.View()->Model();
    EXPECT_EQ(model.CaretByte(), 2u * 2 * 512);
    EXPECT_EQ(model.Sector(), 4u);
    EXPECT_EQ(model.RowIndex(), 0);
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kOffsetValueId), QStringLiteral("2048"));
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kSectorValueId), QStringLiteral("4"));
    // The file panel hides the labels.
    EXPECT_FALSE(
        dialog.findChild<QLabel*>(QString::number(CHexViewerDlg::kFirstLabelId))->isVisible());
}

TEST_F(HexViewerDlgTest, OffsetBoxDropsEveryEditThatIsNotHexadecimal) {
    CHexViewerDlg dialog(file);
    dialog.show();
    auto* edit = dialog.findChild<CHexEdit*>(QString::number(CHexEdit::kControlId));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("1G2z"));
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    // A paste goes through the same check: "3g" is refused whole, "3f" taken.
    edit->insert(QStringLiteral("3g"));
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    edit->insert(QStringLiteral("3f"));
    EXPECT_EQ(edit->text(), QStringLiteral("123f"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
}

TEST_F(HexViewerDlgTest, OffsetEqualToTheSizeGoesOneMoreExceedsTheRange) {
    std::vector<QString> messages;
    CHexViewerDlg::SetMessageHook([&](const QString& text) { messages.push_back(text); });
    CHexViewerDlg dialog(file);
    dialog.show();
    auto* edit = dialog.findChild<CHexEdit*>(QString::number(CHexEdit::kControlId));
    auto* go = dialog.findChild<QPushButton*>(QString::number(CHexViewerDlg::kGoButtonId));
    ASSERT_NE(go, nullptr);
    QTest::keyClicks(edit, QStringLiteral("C01")); // 3073
    go->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QStringLiteral("Exceed the range"));
    EXPECT_EQ(dialog.View()->Model().Caret(), 0);

    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("c00")); // 3072, the size
    go->click();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(dialog.View()->Model().CaretByte(), 3072u);
    // The offset past the last byte reads nothing: the list has no fourth cluster.
    std::array<uint8_t, 512> buffer{};
    buffer.fill(0x55);
    EXPECT_FALSE(dialog.View()->ReadSectors(buffer.data(), 1, 3072 / 512));
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(HexViewerDlgTest, PartitionWithoutBootSectorShowsLabelsWithEmptyValues) {
    const HexViewerSettings partition =
        HexViewerSettings::ForDisk(u"C:", 2, 0, 99, HexViewerSettings::SourceKind::Partition);
    CHexViewerDlg dialog(partition);
    dialog.show();
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kFirstLabelId + 2),
              QStringLiteral("Total Cluster :"));
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kFirstLabelId + 3), QStringLiteral("SPC :"));
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kFirstValueId + 2), QString());
    EXPECT_EQ(ValueText(dialog, CHexViewerDlg::kFirstValueId + 3), QString());
    EXPECT_TRUE(
        dialog.findChild<QLabel*>(QString::number(CHexViewerDlg::kFirstLabelId + 3))->isVisible());
    EXPECT_FALSE(dialog.findChild<QTableWidget*>(QString::number(CHexViewerDlg::kClusterListId))
                     ->isVisible());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("C:"));
}

TEST_F(HexViewerDlgTest, ImageSourceShowsNoLabels) {
    const HexViewerSettings range = HexViewerSettings::ForDisk(
        image.Path16(), 0, 0, 63, HexViewerSettings::SourceKind::ImageFile);
    CHexViewerDlg dialog(range);
    dialog.show();
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(dialog.findChild<QLabel*>(QString::number(CHexViewerDlg::kFirstLabelId + i))
                         ->isVisible());
}

TEST_F(HexViewerDlgTest, LastSectorOfADiskRangeIsReadOnItsOwn) {
    const HexViewerSettings range = HexViewerSettings::ForDisk(
        image.Path16(), 0, 0, 63, HexViewerSettings::SourceKind::ImageFile);
    CHexViewerDlg dialog(range);
    std::array<uint8_t, 1024> buffer{};
    // Two sectors inside the range come in one read.
    ASSERT_TRUE(dialog.View()->ReadSectors(buffer.data(), 2, 62));
    EXPECT_EQ(0, std::memcmp(buffer.data() + 512, ScratchImage::SectorBytes(63).data(), 512));
    // At the last sector the second one is past the range: the last is still shown.
    buffer.fill(0x55);
    EXPECT_FALSE(dialog.View()->ReadSectors(buffer.data(), 2, 63));
    EXPECT_EQ(0, std::memcmp(buffer.data(), ScratchImage::SectorBytes(63).data(), 512));
    EXPECT_TRUE(std::all_of(buffer.begin() + 512, buffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(HexViewerDlgTest, ViewPaintsRowsUpToTheLastByteOfTheFile) {
    const std::vector<uint32_t> one = {5};
    const HexViewerSettings small =
        HexViewerSettings::ForFile(u"small", 0, one, 100, 100, 7, 0, 1, true, image.Path16());
    CHexViewerDlg dialog(small);
    dialog.show();
    CDispView& view = *dialog.View();
    QImage picture(view.size(), QImage::Format_RGB32);
    view.render(&picture);
    picture.save(QStringLiteral(HEXVIEW_PICTURE_DIR "/hexview_small_file.png"));
    const auto inkIn = [&](const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(picture.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    // Row 6 (address 0x60) holds bytes 96 to 99: cells 0 to 3 drawn, cell 4 empty.
    const int row6 = 20 + 6 * 20;
    EXPECT_TRUE(inkIn(QRect(100, row6 + 2, 80, 16)));
    EXPECT_FALSE(inkIn(QRect(181, row6 + 2, 230, 16)));
    // No row 7.
    EXPECT_FALSE(inkIn(QRect(0, row6 + 20 + 2, 90, 16)));
    EXPECT_TRUE(inkIn(QRect(0, row6 + 2, 90, 16)));
}

// One notch of the wheel down at `position` of `widget`, as the window system delivers it.
void WheelDown(QWidget* widget, QPoint position) {
    QWheelEvent wheel(position, widget->mapToGlobal(position), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

TEST_F(HexViewerDlgTest, KeysAndTheWheelOverTheOtherControlsMoveTheViewOnce) {
    std::vector<QString> messages;
    CHexViewerDlg::SetMessageHook([&](const QString& text) { messages.push_back(text); });
    CHexViewerDlg dialog(file);
    dialog.show();
    const DispViewModel& model = dialog.View()->Model();
    auto* edit = dialog.findChild<CHexEdit*>(QString::number(CHexEdit::kControlId));
    auto* go = dialog.findChild<QPushButton*>(QString::number(CHexViewerDlg::kGoButtonId));
    auto* list = dialog.findChild<QTableWidget*>(QString::number(CHexViewerDlg::kClusterListId));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(go, nullptr);
    ASSERT_NE(list, nullptr);

    // Keys in the offset box and on the button move the view's caret; the box keeps its text.
    QTest::keyClicks(edit, QStringLiteral("fff"));
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(model.Caret(), 32);
    EXPECT_EQ(edit->text(), QStringLiteral("fff"));
    QTest::keyClick(go, Qt::Key_PageDown);
    EXPECT_EQ(model.Caret(), 32 + 1024);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(model.Caret(), 1024);

    // Enter, Escape and Space press nothing and close nothing: 0xFFF would exceed the range.
    for (QWidget* target : {static_cast<QWidget*>(edit), static_cast<QWidget*>(go),
                            static_cast<QWidget*>(list), static_cast<QWidget*>(&dialog)}) {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(model.Caret(), 1024);

    // The wheel over a label, over the dialog's background and over the cluster list: one row
    // each time.
    auto* size = dialog.findChild<QLabel*>(QString::number(CHexViewerDlg::kSizeValueId));
    ASSERT_NE(size, nullptr);
    WheelDown(size, QPoint(2, 2));
    EXPECT_EQ(model.RowIndex(), 1);
    ASSERT_EQ(dialog.childAt(2, 2), nullptr);
    WheelDown(&dialog, QPoint(2, 2));
    EXPECT_EQ(model.RowIndex(), 2);
    WheelDown(list->viewport(), QPoint(5, 5));
    EXPECT_EQ(model.RowIndex(), 3);
    WheelDown(go, QPoint(3, 3));
    EXPECT_EQ(model.RowIndex(), 4);
}

} // namespace
