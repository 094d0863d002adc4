#include "controls/sizing_dialog_bar.h"

#include "controls/sizing_bar_gripper.h"

#include <QListWidget>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kHostedHeight = 120;

// A frame with a central widget and the bar hosting a list, docked at the bottom and shown.
class SizingDialogBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_frame.setCentralWidget(new QWidget(&m_frame));
        m_frame.resize(640, 480);
        auto* hosted = new QListWidget;
        hosted->resize(400, kHostedHeight);
        m_bar = new CSizingDialogBar;
        ASSERT_TRUE(m_bar->Create(&m_frame, hosted, "Log"));
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
        QCoreApplication::processEvents();
    }

    // Presses on the middle of the sizing edge, moves by dy in steps and releases.
    void DragEdge(int dy) {
        QWidget* client = m_bar->Client();
        const QRect edge = SizingBarGeometry::SizingEdge(m_bar->DockSide(), client->size());
        const QPoint start = edge.center();
        QTest::mousePress(client, Qt::LeftButton, {}, start);
        QTest::mouseMove(client, start + QPoint(0, dy / 2));
        QTest::mouseMove(client, start + QPoint(0, dy));
        QTest::mouseRelease(client, Qt::LeftButton, {}, start + QPoint(0, dy));
        QCoreApplication::processEvents();
    }

    QMainWindow m_frame;
    CSizingDialogBar* m_bar = nullptr;
};

TEST_F(SizingDialogBarTest, StartsDockedAtTheBottomWithTheHostedHeightPlusEdgeAndBorder) {
    EXPECT_EQ(m_bar->DockSide(), BarDockSide::Bottom);
    EXPECT_EQ(m_bar->height(), kHostedHeight + 9);
    EXPECT_EQ(m_bar->FloatingSize(), QSize(400, kHostedHeight));
    EXPECT_EQ(m_bar->DockedExtent(BarDockSide::Left), 409);
    // The hosted widget sits below the sizing edge, inside the border.
    const QRect hosted = m_bar->Hosted()->geometry();
    EXPECT_EQ(hosted.top(), SizingBarGeometry::kEdgeWidth);
    EXPECT_EQ(m_bar->Client()->height() - hosted.bottom() - 1, SizingBarGeometry::kBorder);
    EXPECT_TRUE(m_bar->features().testFlag(QDockWidget::DockWidgetVerticalTitleBar));
    EXPECT_EQ(m_bar->allowedAreas(), Qt::AllDockWidgetAreas);
}

struct DragCase {
    const char* what;
    int dy;
    int growth;
};

TEST_F(SizingDialogBarTest, DraggingTheEdgeResizesOrIsIgnored) {
    const DragCase cases[] = {
        {"up 50 makes it 50 taller", -50, 50},
        {"down 30 makes it 30 shorter", 30, -30},
        {"below the minimum is ignored", 150, 0},
        {"beyond the frame is ignored", -2000, 0},
    };
    for (const DragCase& c : cases) {
        const int before = m_bar->height();
        DragEdge(c.dy);
        EXPECT_EQ(m_bar->height(), before + c.growth) << c.what;
        EXPECT_FALSE(m_bar->IsSizing()) << c.what;
    }
}

TEST_F(SizingDialogBarTest, ClickingTheCloseBoxHidesTheBar) {
    CSizingBarGripper* gripper = m_bar->Gripper();
    QTest::mouseClick(gripper, Qt::LeftButton, {},
                      SizingBarGeometry::SecondBox(gripper->Side(), gripper->size()).center());
    EXPECT_TRUE(m_bar->isVisible());
    QTest::mouseClick(gripper, Qt::LeftButton, {},
                      SizingBarGeometry::CloseBox(gripper->Side(), gripper->size()).center());
    EXPECT_FALSE(m_bar->isVisible());
}

TEST_F(SizingDialogBarTest, DoubleClickOnTheCaptionFloatsAndDocksAgain) {
    CSizingBarGripper* gripper = m_bar->Gripper();
    const QPoint caption =
        SizingBarGeometry::CaptionArea(gripper->Side(), gripper->size()).topLeft() + QPoint(5, 5);
    QTest::mouseDClick(gripper, Qt::LeftButton, {}, caption);
    EXPECT_TRUE(m_bar->isFloating());
    EXPECT_EQ(m_bar->DockSide(), BarDockSide::Floating);
    EXPECT_EQ(gripper->Side(), BarDockSide::Floating);
    EXPECT_EQ(m_bar->Client()->size(), QSize(400, kHostedHeight));
    m_bar->setFloating(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_bar->DockSide(), BarDockSide::Bottom);
    EXPECT_EQ(m_bar->height(), kHostedHeight + 9);
}

TEST_F(SizingDialogBarTest, DockedAtASideTheEdgeIsTowardTheCentre) {
    m_frame.addDockWidget(Qt::LeftDockWidgetArea, m_bar);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_bar->DockSide(), BarDockSide::Left);
    EXPECT_FALSE(m_bar->features().testFlag(QDockWidget::DockWidgetVerticalTitleBar));
    const int before = m_bar->width();
    QWidget* client = m_bar->Client();
    const QPoint start = SizingBarGeometry::SizingEdge(BarDockSide::Left, client->size()).center();
    QTest::mousePress(client, Qt::LeftButton, {}, start);
    QTest::mouseMove(client, start + QPoint(-40, 0));
    QTest::mouseRelease(client, Qt::LeftButton, {}, start + QPoint(-40, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_bar->width(), before - 40);
}

} // namespace
