#pragma once

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <optional>

// The two levers of the range slider.
enum class SliderLever {
    Left,
    Right,
};

// The layout and dragging rules of the two-lever range slider, without widgets. Positions are
// units of the bar, one unit a pixel, from 0 to the bar's width; rectangles are in the bar's
// coordinates. The left lever stays at least kLeverGap units left of the right one, both stay
// within [0, width]; on a bar narrower than the gap the levers only keep within the bar. A
// lever's box is kLeverBox pixels square, centred on its position at the top of the bar.
class RangeSliderModel {
public:
    static constexpr int64_t kLeverGap = 12;
    static constexpr int kLeverBox = 12;

    // An empty bar: both levers at 0, nothing dragged.
    RangeSliderModel() = default;

    // Lays the slider over a bar of the given size (negative sizes count as 0): the left lever
    // at 0, the right one at the width, the drag ended.
    void Init(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int64_t Minimum() const { return 0; }
    int64_t Maximum() const { return m_width; }

    int64_t Position(SliderLever lever) const;
    // Where the lever may stand with the other lever where it is.
    int64_t LowestPosition(SliderLever lever) const;
    int64_t HighestPosition(SliderLever lever) const;
    // Moves the lever to `value`, or to the nearest position it may take. True when it moved.
    bool SetPosition(SliderLever lever, int64_t value);

    // (position - 6, 0, 12, 12).
    QRect LeverBox(SliderLever lever) const;
    // What lies outside the chosen range: the bar left of the left lever, right of the right one.
    QRect Shade(SliderLever lever) const;
    // The lever whose box holds the point, if any.
    std::optional<SliderLever> LeverAt(QPoint point) const;

    // A press on a lever's box starts dragging it; true when one was hit.
    bool BeginDrag(QPoint point);
    // The dragged lever follows the pointer: it stands where it stood at the press plus the
    // pointer's horizontal way since, within its bounds, so a lever held at a bound does not
    // drift from the pointer. True when it moved; false when nothing is dragged.
    bool Drag(QPoint point);
    void EndDrag();
    std::optional<SliderLever> Dragged() const { return m_dragged; }

private:
    int m_width = 0;
    int m_height = 0;
    int64_t m_left = 0;
    int64_t m_right = 0;
    std::optional<SliderLever> m_dragged;
    int m_pressX = 0;
    int64_t m_pressPosition = 0;
};
