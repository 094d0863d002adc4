#include "controls/sizing_bar_geometry.h"

#include <gtest/gtest.h>

namespace {

struct ExtentCase {
    BarDockSide side;
    int oldExtent;
    int delta;
    int maximum;
    std::optional<int> expected;
};

TEST(SizingBarGeometryTest, DragChangesTheExtentByTheDistanceOrIsIgnored) {
    const ExtentCase cases[] = {
        // At the bottom the edge is on top: dragging up (negative) makes the bar taller.
        {BarDockSide::Bottom, 129, -50, 400, 179},
        {BarDockSide::Bottom, 129, 50, 400, 79},
        {BarDockSide::Top, 100, 30, 400, 130},
        {BarDockSide::Left, 100, -20, 400, 80},
        {BarDockSide::Right, 100, -20, 400, 120},
        // Exactly the minimum and exactly the maximum are allowed.
        {BarDockSide::Bottom, 100, 68, 400, 32},
        {BarDockSide::Bottom, 100, -300, 400, 400},
        // Below the minimum or beyond the frame: ignored, not clamped.
        {BarDockSide::Bottom, 100, 69, 400, std::nullopt},
        {BarDockSide::Top, 100, 301, 400, std::nullopt},
        {BarDockSide::Floating, 100, 10, 400, std::nullopt},
    };
    for (const ExtentCase& c : cases) {
        EXPECT_EQ(SizingBarGeometry::DraggedExtent(c.side, c.oldExtent, c.delta, c.maximum),
                  c.expected)
            << static_cast<int>(c.side) << " " << c.delta;
    }
}

TEST(SizingBarGeometryTest, DockedExtentAddsTheEdgeAndTheBorder) {
    const QSize hosted(300, 120);
    EXPECT_EQ(SizingBarGeometry::DockedExtent(BarDockSide::Bottom, hosted), 129);
    EXPECT_EQ(SizingBarGeometry::DockedExtent(BarDockSide::Top, hosted), 129);
    EXPECT_EQ(SizingBarGeometry::DockedExtent(BarDockSide::Left, hosted), 309);
    EXPECT_EQ(SizingBarGeometry::DockedExtent(BarDockSide::Right, hosted), 309);
}

struct EdgeCase {
    BarDockSide side;
    QRect edge;
    QMargins margins;
};

TEST(SizingBarGeometryTest, SizingEdgeFacesTheFrameCentre) {
    const QSize client(200, 100);
    const EdgeCase cases[] = {
        {BarDockSide::Bottom, QRect(0, 0, 200, 6), QMargins(0, 6, 3, 3)},
        {BarDockSide::Top, QRect(0, 94, 200, 6), QMargins(0, 3, 3, 6)},
        {BarDockSide::Left, QRect(194, 0, 6, 100), QMargins(3, 0, 6, 3)},
        {BarDockSide::Right, QRect(0, 0, 6, 100), QMargins(6, 0, 3, 3)},
        {BarDockSide::Floating, QRect(), QMargins()},
    };
    for (const EdgeCase& c : cases) {
        EXPECT_EQ(SizingBarGeometry::SizingEdge(c.side, client), c.edge)
            << static_cast<int>(c.side);
        EXPECT_EQ(SizingBarGeometry::HostedMargins(c.side), c.margins) << static_cast<int>(c.side);
    }
}

struct HitCase {
    BarDockSide side;
    QSize gripper;
    QPoint point;
    GripperHit expected;
};

TEST(SizingBarGeometryTest, GripperHitTest) {
    const QSize across(20, 129);
    const QSize along(150, 20);
    const HitCase cases[] = {
        // Across the frame: the close box (7,10)-(19,22), the second box 13 below it.
        {BarDockSide::Bottom, across, {7, 10}, GripperHit::CloseBox},
        {BarDockSide::Bottom, across, {18, 21}, GripperHit::CloseBox},
        {BarDockSide::Bottom, across, {19, 22}, GripperHit::Gripper},
        {BarDockSide::Bottom, across, {10, 30}, GripperHit::SecondBox},
        {BarDockSide::Bottom, across, {10, 60}, GripperHit::Caption},
        {BarDockSide::Top, across, {3, 40}, GripperHit::Gripper},
        {BarDockSide::Bottom, across, {3, 5}, GripperHit::Gripper},
        // At the sides: the close box (right - 21, 7)-(right - 10, 18), the second to its left.
        {BarDockSide::Left, along, {129, 7}, GripperHit::CloseBox},
        {BarDockSide::Right, along, {139, 17}, GripperHit::CloseBox},
        {BarDockSide::Left, along, {116, 10}, GripperHit::SecondBox},
        {BarDockSide::Left, along, {50, 10}, GripperHit::Caption},
        {BarDockSide::Left, along, {145, 10}, GripperHit::Gripper},
        // Floating: a caption with a close box and nothing else of the gripper.
        {BarDockSide::Floating, along, {130, 10}, GripperHit::CloseBox},
        {BarDockSide::Floating, along, {116, 10}, GripperHit::None},
        {BarDockSide::Floating, along, {20, 10}, GripperHit::Caption},
        {BarDockSide::Bottom, across, {25, 60}, GripperHit::None},
    };
    for (const HitCase& c : cases) {
        EXPECT_EQ(SizingBarGeometry::HitTest(c.side, c.gripper, c.point), c.expected)
            << static_cast<int>(c.side) << " (" << c.point.x() << "," << c.point.y() << ")";
    }
}

TEST(SizingBarGeometryTest, GripperBarsRunAlongTheGripper) {
    EXPECT_EQ(SizingBarGeometry::GripperBar(BarDockSide::Bottom, QSize(20, 129), 0),
              QRect(QPoint(10, 38), QPoint(12, 118)));
    EXPECT_EQ(SizingBarGeometry::GripperBar(BarDockSide::Bottom, QSize(20, 129), 1),
              QRect(QPoint(14, 38), QPoint(16, 118)));
    EXPECT_EQ(SizingBarGeometry::GripperBar(BarDockSide::Left, QSize(150, 20), 1),
              QRect(QPoint(10, 14), QPoint(111, 16)));
    EXPECT_TRUE(SizingBarGeometry::GripperBar(BarDockSide::Floating, QSize(150, 20), 0).isEmpty());
}

} // namespace
