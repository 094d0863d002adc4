#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

#include <optional>

// Where a docking bar sits.
enum class BarDockSide {
    Top,
    Left,
    Right,
    Bottom,
    Floating,
};

// What a point of the gripper stands for.
enum class GripperHit {
    None,
    CloseBox,
    SecondBox,
    Caption,
    Gripper,
};

// Geometry of the resizable docking bar, without widgets: the gripper's boxes and bars, the
// sizing edge toward the frame's centre, the hosted widget's margins and the extent rule of a
// sizing drag. Gripper rectangles are in the gripper's coordinates, whose size is the whole
// bar's extent across the gripper (its height when docked at the top or bottom).
class SizingBarGeometry {
public:
    static constexpr int kEdgeWidth = 6;
    static constexpr int kGripperWidth = 20;
    static constexpr int kBorder = 3;
    static constexpr int kMinimumExtent = 32;

    static bool IsHorizontal(BarDockSide side) {
        return side == BarDockSide::Top || side == BarDockSide::Bottom;
    }

    // The docked extent (height at the top or bottom, width at the sides) for a hosted widget.
    static int DockedExtent(BarDockSide side, QSize hosted);

    // Gripper parts. While floating the gripper is the floating window's caption: a caption
    // area and a close box laid out as at the sides, no second box and no bars.
    static QRect CloseBox(BarDockSide side, QSize gripper);
    static QRect SecondBox(BarDockSide side, QSize gripper);
    static QRect CaptionArea(BarDockSide side, QSize gripper);
    // The two raised bars of the gripper.
    static QRect GripperBar(BarDockSide side, QSize gripper, int which);
    static GripperHit HitTest(BarDockSide side, QSize gripper, QPoint point);

    // The sizing edge inside the bar's client (the part beside the gripper); empty while
    // floating.
    static QRect SizingEdge(BarDockSide side, QSize client);
    // Room the client keeps round the hosted widget: the sizing edge and the 3-pixel borders.
    static QMargins HostedMargins(BarDockSide side);

    // The extent after a drag by delta pixels along the frame's axis (positive: down or right),
    // or nothing when the result would be below the minimum or above maximumExtent.
    static std::optional<int> DraggedExtent(BarDockSide side, int oldExtent, int delta,
                                            int maximumExtent);
};
