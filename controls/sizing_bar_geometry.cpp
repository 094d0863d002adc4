#include "controls/sizing_bar_geometry.h"

#include <algorithm>

namespace {

// From the corners of a rectangle whose right and bottom lie outside it.
QRect Span(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) {
        return QRect();
    }
    return QRect(left, top, right - left, bottom - top);
}

constexpr int kSecondBoxStep = 13;
constexpr int kBarStep = 4;

} // namespace

int SizingBarGeometry::DockedExtent(BarDockSide side, QSize hosted) {
    switch (side) {
    case BarDockSide::Top:
    case BarDockSide::Bottom:
        return hosted.height() + kEdgeWidth + kBorder;
    case BarDockSide::Left:
    case BarDockSide::Right:
        return hosted.width() + kEdgeWidth + kBorder;
    case BarDockSide::Floating:
        break;
    }
    return 0;
}

QRect SizingBarGeometry::CloseBox(BarDockSide side, QSize gripper) {
    if (IsHorizontal(side)) {
        return Span(7, 10, 19, 22);
    }
    const int right = gripper.width();
    return Span(right - 21, 7, right - 10, 18);
}

QRect SizingBarGeometry::SecondBox(BarDockSide side, QSize gripper) {
    const QRect close = CloseBox(side, gripper);
    if (side == BarDockSide::Floating || close.isEmpty()) {
        return QRect();
    }
    return IsHorizontal(side) ? close.translated(0, kSecondBoxStep)
                              : close.translated(-kSecondBoxStep, 0);
}

QRect SizingBarGeometry::CaptionArea(BarDockSide side, QSize gripper) {
    if (IsHorizontal(side)) {
        return Span(0, 50, std::min(30, gripper.width()), gripper.height());
    }
    return Span(0, 0, gripper.width() - 40, std::min(20, gripper.height()));
}

QRect SizingBarGeometry::GripperBar(BarDockSide side, QSize gripper, int which) {
    if (side == BarDockSide::Floating) {
        return QRect();
    }
    const int step = which == 0 ? 0 : kBarStep;
    if (IsHorizontal(side)) {
        return Span(10 + step, 38, 13 + step, gripper.height() - 10);
    }
    return Span(10, 10 + step, gripper.width() - 38, 13 + step);
}

GripperHit SizingBarGeometry::HitTest(BarDockSide side, QSize gripper, QPoint point) {
    if (!QRect(QPoint(0, 0), gripper).contains(point)) {
        return GripperHit::None;
    }
    if (CloseBox(side, gripper).contains(point)) {
        return GripperHit::CloseBox;
    }
    if (SecondBox(side, gripper).contains(point)) {
        return GripperHit::SecondBox;
    }
    if (CaptionArea(side, gripper).contains(point)) {
        return GripperHit::Caption;
    }
    return side == BarDockSide::Floating ? GripperHit::None : GripperHit::Gripper;
}

QRect SizingBarGeometry::SizingEdge(BarDockSide side, QSize client) {
    const int w = client.width();
    const int h = client.height();
    switch (side) {
    case BarDockSide::Top:
        return Span(0, h - kEdgeWidth, w, h);
    case BarDockSide::Bottom:
        return Span(0, 0, w, kEdgeWidth);
    case BarDockSide::Left:
        return Span(w - kEdgeWidth, 0, w, h);
    case BarDockSide::Right:
        return Span(0, 0, kEdgeWidth, h);
    case BarDockSide::Floating:
        break;
    }
    return QRect();
}

QMargins SizingBarGeometry::HostedMargins(BarDockSide side) {
    // left, top, right, bottom; the gripper side has no border, it has the gripper.
    switch (side) {
    case BarDockSide::Top:
        return QMargins(0, kBorder, kBorder, kEdgeWidth);
    case BarDockSide::Bottom:
        return QMargins(0, kEdgeWidth, kBorder, kBorder);
    case BarDockSide::Left:
        return QMargins(kBorder, 0, kEdgeWidth, kBorder);
    case BarDockSide::Right:
        return QMargins(kEdgeWidth, 0, kBorder, kBorder);
    case BarDockSide::Floating:
        break;
    }
    return QMargins();
}

std::optional<int> SizingBarGeometry::DraggedExtent(BarDockSide side, int oldExtent, int delta,
                                                    int maximumExtent) {
    int extent = oldExtent;
    switch (side) {
    case BarDockSide::Top:
    case BarDockSide::Left:
        extent = oldExtent + delta;
        break;
    case BarDockSide::Bottom:
    case BarDockSide::Right:
        extent = oldExtent - delta;
        break;
    case BarDockSide::Floating:
        return std::nullopt;
    }
    if (extent < kMinimumExtent || extent > maximumExtent) {
        return std::nullopt;
    }
    return extent;
}
