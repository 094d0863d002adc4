#include "controls/balloon_tip.h"

#include "controls/balloon_tip_shape.h"

#include "tests/controls/colour_checks.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct ShapeCase {
    const char* what;
    QSize text;
    QSize icon;
    QSize box;
    QPoint textOrigin;
};

TEST(BalloonTipShapeTest, TheBoxHoldsTheTextAndTheIconWithMargins) {
    const ShapeCase cases[] = {
        {"one line", {80, 13}, {}, {104, 33}, {12, 10}},
        {"three lines are taller", {80, 39}, {}, {104, 59}, {12, 10}},
        {"an icon shorter than the text", {80, 20}, {16, 16}, {125, 40}, {33, 10}},
        {"an icon taller than the text", {80, 13}, {32, 32}, {141, 52}, {49, 10}},
    };
    for (const ShapeCase& c : cases) {
        const BalloonTipShape shape(c.text, c.icon);
        EXPECT_EQ(shape.Box(), c.box) << c.what;
        EXPECT_EQ(shape.Window(), c.box + QSize(0, 25)) << c.what;
        EXPECT_EQ(shape.TextOrigin(), c.textOrigin) << c.what;
    }
}

TEST(BalloonTipShapeTest, ThePointersTipTouchesTheAnchor) {
    const BalloonTipShape shape(QSize(80, 13), QSize());
    EXPECT_EQ(shape.PointerTip(), QPoint(92, 48));
    EXPECT_EQ(shape.Pointer().at(1), shape.PointerTip());
    EXPECT_EQ(shape.WindowPosition(QPoint(500, 400)), QPoint(408, 352));
    const QPainterPath outline = shape.Outline();
    EXPECT_TRUE(outline.contains(QPointF(91, 45)));
    EXPECT_TRUE(outline.contains(QPointF(52, 16)));
    EXPECT_FALSE(outline.contains(QPointF(20, 45)));
}

// A window with two registered labels side by side.
class BalloonTipTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.resize(300, 100);
        m_first = new QLabel("first", &m_window);
        m_first->setGeometry(10, 10, 100, 40);
        m_second = new QLabel("second", &m_window);
        m_second->setGeometry(150, 10, 100, 40);
        m_tip.AddTool(m_first, "old text");
        m_tip.AddTool(m_first, "First control");
        m_tip.AddTool(m_second, "Second\ncontrol");
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        // Away from where an earlier test left it, so the first move is a move.
        QCursor::setPos(QPoint(2000, 2000));
        QCoreApplication::processEvents();
    }

    bool WaitShown() {
        return QTest::qWaitFor([&] { return m_tip.isVisible(); }, 2000);
    }

    QWidget m_window;
    QLabel* m_first = nullptr;
    QLabel* m_second = nullptr;
    CBalloonTip m_tip;
};

TEST_F(BalloonTipTest, RestingOnAControlShowsItsLastTextAfterTheDelay) {
    QElapsedTimer clock;
    clock.start();
    QTest::mouseMove(m_first, QPoint(50, 20));
    EXPECT_FALSE(m_tip.isVisible());
    ASSERT_TRUE(WaitShown());
    EXPECT_GE(clock.elapsed(), CBalloonTip::kShowDelayMs - 50);
    EXPECT_EQ(m_tip.Text(), "First control");
    const QPoint anchor = m_first->mapToGlobal(QPoint(50, 20));
    EXPECT_EQ(m_tip.Anchor(), anchor);
    const BalloonTipShape shape(m_tip.fontMetrics().size(0, "First control"), QSize());
    EXPECT_EQ(m_tip.geometry().topLeft(), shape.WindowPosition(anchor));
}

TEST_F(BalloonTipTest, AMoveInsideTheSameControlHidesAndWaitsAgain) {
    QTest::mouseMove(m_first, QPoint(50, 20));
    ASSERT_TRUE(WaitShown());
    QTest::mouseMove(m_first, QPoint(51, 20));
    EXPECT_FALSE(m_tip.isVisible());
    EXPECT_TRUE(m_tip.IsWaiting());
    ASSERT_TRUE(WaitShown());
    EXPECT_EQ(m_tip.Anchor(), m_first->mapToGlobal(QPoint(51, 20)));
}

TEST_F(BalloonTipTest, LeavingOrClickingHidesTheTip) {
    QTest::mouseMove(m_first, QPoint(50, 20));
    ASSERT_TRUE(WaitShown());
    QTest::mousePress(m_first, Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_FALSE(m_tip.isVisible());
    QTest::mouseRelease(m_first, Qt::LeftButton, {}, QPoint(50, 20));

    QTest::mouseMove(m_second, QPoint(20, 20));
    EXPECT_TRUE(m_tip.IsWaiting());
    QTest::mouseMove(&m_window, QPoint(130, 80));
    EXPECT_FALSE(m_tip.IsWaiting());
    QTest::qWait(CBalloonTip::kShowDelayMs + 100);
    EXPECT_FALSE(m_tip.isVisible());
}

TEST_F(BalloonTipTest, TheWatchHidesTheTipWhenTheCursorMovedElsewhere) {
    QTest::mouseMove(m_first, QPoint(50, 20));
    ASSERT_TRUE(WaitShown());
    // Moved without the control seeing it.
    QCursor::setPos(QPoint(5, 5));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !m_tip.isVisible(); }, CBalloonTip::kWatchPeriodMs + 500));
}

TEST_F(BalloonTipTest, DrawsAFramedBoxAndTheText) {
    QPalette colours = m_tip.palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Mid, QColor(160, 160, 160));
    colours.setColor(QPalette::Text, Qt::black);
    m_tip.setPalette(colours);
    QTest::mouseMove(m_second, QPoint(20, 20));
    ASSERT_TRUE(WaitShown());
    const QImage image = m_tip.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const BalloonTipShape shape(
        m_tip.fontMetrics().boundingRect(QRect(0, 0, 1000, 1000), 0, "Second\ncontrol").size(),
        QSize());
    ASSERT_EQ(image.size(), shape.Window());
    const int middle = shape.Box().width() / 2;
    EXPECT_EQ(image.pixelColor(middle, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(middle, 1), QColor(160, 160, 160));
    EXPECT_EQ(image.pixelColor(middle, 2), QColor(160, 160, 160));
    EXPECT_EQ(image.pixelColor(middle, 4), QColor(Qt::white));
    // Two lines of text, inked inside the text area.
    const QRect text(shape.TextOrigin(), shape.Box() - QSize(24, 20));
    EXPECT_TRUE(AreaHasColour(image, text.adjusted(0, 0, 0, -text.height() / 2), Qt::black));
    EXPECT_TRUE(AreaHasColour(image, text.adjusted(0, text.height() / 2, 0, 0), Qt::black));
}

TEST_F(BalloonTipTest, ADestroyedControlIsForgotten) {
    delete m_second;
    m_second = nullptr;
    QTest::mouseMove(&m_window, QPoint(200, 20));
    EXPECT_FALSE(m_tip.IsWaiting());
}

} // namespace
