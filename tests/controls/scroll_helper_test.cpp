#include "controls/scroll_helper.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using Action = CScrollHelper::Action;
using Axis = CScrollHelper::Axis;
using Movement = CScrollHelper::Movement;

// Content 1000 pixels high in a 400-pixel client, 300 wide in a 500-pixel one.
class ScrollHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        helper.SetDisplaySize(300, 1000);
        helper.OnSize(500, 400);
    }

    CScrollHelper helper;
};

TEST_F(ScrollHelperTest, LargerContentGetsAPageAndTheFullRange) {
    EXPECT_EQ(helper.Vertical(), (Axis{400, 1000, 0}));
    EXPECT_EQ(helper.Vertical().RangeMaximum(), 999);
    EXPECT_EQ(helper.Vertical().MaxPosition(), 600);
    EXPECT_TRUE(helper.Vertical().Scrolls());
    // The narrower content fits: no page, no bar, nothing to scroll.
    EXPECT_EQ(helper.Horizontal(), (Axis{0, 300, 0}));
    EXPECT_FALSE(helper.Horizontal().Scrolls());
    EXPECT_EQ(helper.OnHScroll(Action::PageForward), Movement{});
    EXPECT_EQ(helper.OnHScroll(Action::Track, 200), Movement{});
    EXPECT_EQ(helper.Horizontal().position, 0);
}

TEST_F(ScrollHelperTest, ScrollActionsStepAndStopAtTheEdges) {
    struct Step {
        Action action;
        int track;
        int position;
        int dy;
    };
    const Step steps[] = {
        {Action::LineBack, 0, 0, 0},        {Action::LineForward, 0, 60, -60},
        {Action::LineForward, 0, 120, -60}, {Action::PageForward, 0, 520, -400},
        {Action::PageForward, 0, 600, -80}, {Action::LineForward, 0, 600, 0},
        {Action::Other, 0, 600, 0},         {Action::PageBack, 0, 200, 400},
        {Action::LineBack, 0, 140, 60},     {Action::Track, 450, 450, -310},
        {Action::Track, 5000, 600, -150},   {Action::Track, -20, 0, 600},
        {Action::PageBack, 0, 0, 0},
    };
    int i = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(helper.OnVScroll(step.action, step.track), (Movement{0, step.dy})) << i;
        EXPECT_EQ(helper.Vertical().position, step.position) << i;
        ++i;
    }
}

TEST_F(ScrollHelperTest, ResizingKeepsTheProportionAndTheSameLimitAsScrolling) {
    helper.OnVScroll(Action::Track, 600);
    // Half the page: the position halves too.
    EXPECT_EQ(helper.OnSize(500, 200), (Movement{0, 300}));
    EXPECT_EQ(helper.Vertical(), (Axis{200, 1000, 300}));
    // A page of 800 would put the position at 1200; it stops where scrolling would, at
    // 1000 - 800, not one pixel short of it.
    EXPECT_EQ(helper.OnSize(500, 800), (Movement{0, 100}));
    EXPECT_EQ(helper.Vertical(), (Axis{800, 1000, 200}));
    EXPECT_EQ(helper.OnVScroll(Action::LineForward), Movement{});
    EXPECT_EQ(helper.Vertical().position, helper.Vertical().MaxPosition());
}

TEST_F(ScrollHelperTest, EnlargingBeyondTheContentScrollsBackToTheStart) {
    helper.OnVScroll(Action::Track, 350);
    EXPECT_EQ(helper.OnSize(500, 1000), (Movement{0, 350}));
    EXPECT_EQ(helper.Vertical(), (Axis{0, 1000, 0}));
    EXPECT_FALSE(helper.Vertical().Scrolls());
    Movement movement;
    EXPECT_FALSE(helper.OnMouseWheel(-120, 3, &movement));
    EXPECT_EQ(movement, Movement{});
}

TEST_F(ScrollHelperTest, AMinimisedWindowKeepsItsPlace) {
    helper.OnVScroll(Action::Track, 300);
    EXPECT_EQ(helper.OnSize(0, 0), Movement{});
    EXPECT_EQ(helper.Vertical(), (Axis{400, 1000, 300}));
    EXPECT_EQ(helper.OnSize(500, 400), Movement{});
    EXPECT_EQ(helper.Vertical().position, 300);
}

TEST_F(ScrollHelperTest, DisplaySizeFollowsTheKnownClient) {
    helper.OnVScroll(Action::Track, 600);
    // Shrinking the content under a scrolled window pulls the position back to its new limit.
    EXPECT_EQ(helper.SetDisplaySize(900, 500), (Movement{0, 500}));
    EXPECT_EQ(helper.Vertical(), (Axis{400, 500, 100}));
    EXPECT_EQ(helper.Horizontal(), (Axis{500, 900, 0}));
    CScrollHelper fresh;
    EXPECT_EQ(fresh.SetDisplaySize(810, 450), Movement{});
    EXPECT_EQ(fresh.Vertical(), (Axis{0, 450, 0}));
}

TEST_F(ScrollHelperTest, WheelNotchesScrollByTheWheelLines) {
    struct Turn {
        int delta;
        int lines;
        bool scrolled;
        int position;
    };
    const Turn turns[] = {
        {-120, 3, true, 60},  // one notch, three lines: one step
        {-240, 3, true, 180}, // two notches: two steps
        {-120, 9, true, 360}, // nine lines: three steps
        {-120, 1, true, 420}, // under three lines still one step
        {-120, 0, true, 480}, //
        {120, CScrollHelper::kWheelPageScroll, true, 80},
        {-120, CScrollHelper::kWheelPageScroll, true, 480},
        {-1200, 3, true, 600},       // stops at the end
        {-120, 3, false, 600},       // nothing left to scroll
        {INT_MAX - 119, 3, true, 0}, // a huge turn ends at the start
    };
    int i = 0;
    for (const Turn& turn : turns) {
        EXPECT_EQ(helper.OnMouseWheel(turn.delta, turn.lines), turn.scrolled) << i;
        EXPECT_EQ(helper.Vertical().position, turn.position) << i;
        ++i;
    }
}

TEST_F(ScrollHelperTest, SmallWheelDeltasAddUpToWholeNotches) {
    Movement movement;
    // A touchpad's small deltas: nothing until a notch's worth.
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(helper.OnMouseWheel(-24, 3, &movement)) << i;
        EXPECT_EQ(helper.Vertical().position, 0) << i;
    }
    EXPECT_TRUE(helper.OnMouseWheel(-30, 3, &movement));
    EXPECT_EQ(movement, (Movement{0, -60}));
    // 6 left over; turning back first uses it up.
    EXPECT_FALSE(helper.OnMouseWheel(100, 3));
    EXPECT_EQ(helper.Vertical().position, 60);
    EXPECT_TRUE(helper.OnMouseWheel(30, 3, &movement));
    EXPECT_EQ(movement, (Movement{0, 60}));
    EXPECT_EQ(helper.Vertical().position, 0);
}

} // namespace
