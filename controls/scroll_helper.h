#pragma once

#include <cstdint>

// The scrolling arithmetic of a window whose content (the display) is larger than its client
// area, without a window: it keeps, per axis, the client size shown at once (the page, 0 when
// the whole content fits), the display size and the scroll position, and answers every size
// change, scroll-bar action and wheel turn with how far the content moves. The window that owns
// it applies the movement and shows the bars it describes (ScrolledArea does both).
//
// Invariants: 0 <= position <= MaxPosition() on each axis, MaxPosition() = display - page while
// the content is larger than the client and 0 otherwise, so the content never leaves a gap at
// its far edge and a fitting axis never scrolls.
class CScrollHelper {
public:
    // Pixels one line step moves.
    static constexpr int kLineStep = 60;
    // The wheel delta of one notch.
    static constexpr int kWheelNotch = 120;
    // The wheel-lines setting that asks for a page per notch.
    static constexpr int kWheelPageScroll = -1;

    enum class Action {
        LineBack,
        LineForward,
        PageBack,
        PageForward,
        // The thumb dragged to a position.
        Track,
        // Anything else a scroll bar reports (end of scroll, top, bottom): nothing happens.
        Other,
    };

    // How far the content moves: positive to the right and down, as the position falls.
    struct Movement {
        int dx = 0;
        int dy = 0;
        bool operator==(const Movement&) const = default;
        bool IsZero() const { return dx == 0 && dy == 0; }
    };

    struct Axis {
        int page = 0;
        int display = 0;
        int position = 0;
        bool operator==(const Axis&) const = default;
        // The largest position; 0 while the content fits.
        int MaxPosition() const;
        // The scroll bar's range runs from 0 to display - 1.
        int RangeMaximum() const { return display > 0 ? display - 1 : 0; }
        // The content is larger than the client on this axis, so it has a bar.
        bool Scrolls() const { return page > 0; }
    };

    CScrollHelper() = default;
    CScrollHelper(const CScrollHelper&) = delete;
    CScrollHelper& operator=(const CScrollHelper&) = delete;

    // Stores the content size; once a client size is known the bars follow at once.
    Movement SetDisplaySize(int width, int height);
    // The client area changed: pages and positions follow it, keeping each position's
    // proportion of the page.
    Movement OnSize(int clientWidth, int clientHeight);
    Movement OnHScroll(Action action, int trackPosition = 0);
    Movement OnVScroll(Action action, int trackPosition = 0);
    // A wheel turn of `delta` (120 a notch, positive away from the user), with the desktop's
    // wheel-lines setting (kWheelPageScroll for a page a notch). Deltas smaller than a notch, as
    // touchpads send them, add up until they make one. True when the content moved.
    bool OnMouseWheel(int delta, int wheelLines, Movement* movement = nullptr);

    const Axis& Horizontal() const { return m_horizontal; }
    const Axis& Vertical() const { return m_vertical; }

private:
    static int FitAxis(Axis& axis, int client);
    static int ScrollAxis(Axis& axis, Action action, int trackPosition);

    Axis m_horizontal;
    Axis m_vertical;
    bool m_clientKnown = false;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    // Wheel delta not yet worth a notch, signed.
    int m_wheelRemainder = 0;
};
