#include "controls/scrolled_area.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

// The panels' content: 810 x 450 pixels.
class ScrolledAreaTest : public ::testing::Test {
protected:
    void SetUp() override { area.show(); }

    void Wheel(int delta) {
        const QPointF at(10, 10);
        QWheelEvent event(at, area.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&area, &event);
    }

    QPoint ContentPlace() const { return area.Content()->pos(); }

    ScrolledArea area{QSize(810, 450)};
};

TEST_F(ScrolledAreaTest, ABigEnoughAreaShowsTheContentWithoutBars) {
    area.resize(900, 500);
    EXPECT_FALSE(area.HorizontalBar()->isVisible());
    EXPECT_FALSE(area.VerticalBar()->isVisible());
    EXPECT_EQ(ContentPlace(), QPoint(0, 0));
    EXPECT_EQ(area.Content()->size(), QSize(810, 450));
}

TEST_F(ScrolledAreaTest, TheBarsRoomIsTakenFromTheViewSoTheFarEdgeCanBeReached) {
    area.resize(400, 300);
    const int barWidth = area.VerticalBar()->width();
    const int barHeight = area.HorizontalBar()->height();
    ASSERT_TRUE(area.HorizontalBar()->isVisible());
    ASSERT_TRUE(area.VerticalBar()->isVisible());
    EXPECT_EQ(area.Helper().Vertical().page, 300 - barHeight);
    EXPECT_EQ(area.Helper().Horizontal().page, 400 - barWidth);
    // Dragged past the end, the thumb stops where the content's last pixels show.
    area.VerticalBar()->setSliderPosition(10000);
    EXPECT_EQ(ContentPlace().y(), -(450 - (300 - barHeight)));
    // Only one axis too small: the other bar's room goes back to the view.
    area.resize(400, 470);
    EXPECT_FALSE(area.VerticalBar()->isVisible());
    EXPECT_EQ(area.Helper().Horizontal().page, 400);
}

TEST_F(ScrolledAreaTest, BarActionsAndTheWheelMoveTheContent) {
    area.resize(400, 300);
    area.VerticalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(ContentPlace(), QPoint(0, -60));
    EXPECT_EQ(area.VerticalBar()->value(), 60);
    area.HorizontalBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(ContentPlace().x(), -area.Helper().Horizontal().page);
    // Top and bottom are not scroll actions of the helper: the bar stays where it was.
    area.VerticalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(area.VerticalBar()->value(), 60);
    Wheel(120);
    EXPECT_EQ(ContentPlace().y(), 0);
    // Enlarging past the content takes it back to the start.
    Wheel(-120);
    ASSERT_NE(ContentPlace(), QPoint(0, 0));
    area.resize(1000, 600);
    EXPECT_EQ(ContentPlace(), QPoint(0, 0));
}

} // namespace
