#include "controls/scroll_helper.h"

#include <algorithm>
#include <cstdlib>

namespace {

int ClampToAxis(int64_t position, int maxPosition) {
    return static_cast<int>(std::clamp<int64_t>(position, 0, maxPosition));
}

} // namespace

int CScrollHelper::Axis::MaxPosition() const {
    return page > 0 ? std::max(display - page, 0) : 0;
}

CScrollHelper::Movement CScrollHelper::SetDisplaySize(int width, int height) {
    m_horizontal.display = std::max(width, 0);
    m_vertical.display = std::max(height, 0);
    if (!m_clientKnown) {
        return {};
    }
    return OnSize(m_clientWidth, m_clientHeight);
}

CScrollHelper::Movement CScrollHelper::OnSize(int clientWidth, int clientHeight) {
    m_clientKnown = true;
    m_clientWidth = clientWidth;
    m_clientHeight = clientHeight;
    return {FitAxis(m_horizontal, clientWidth), FitAxis(m_vertical, clientHeight)};
}

int CScrollHelper::FitAxis(Axis& axis, int client) {
    // A minimised or not yet laid out window has no client area; scaling the position by a
    // zero page would lose it for the next real size.
    if (client <= 0) {
        return 0;
    }
    const int before = axis.position;
    if (client < axis.display) {
        const int oldPage = axis.page;
        axis.page = client;
        int64_t position = axis.position;
        if (oldPage > 0 && position > 0) {
            position = position * client / oldPage;
        }
        // The same limit as scrolling, so a resize never allows a position a scroll would not.
        axis.position = ClampToAxis(position, axis.MaxPosition());
    } else {
        axis.page = 0;
        axis.position = 0;
    }
    return before - axis.position;
}

int CScrollHelper::ScrollAxis(Axis& axis, Action action, int trackPosition) {
    if (!axis.Scrolls()) {
        return 0;
    }
    int64_t step = 0;
    switch (action) {
    case Action::LineBack:
        step = -kLineStep;
        break;
    case Action::LineForward:
        step = kLineStep;
        break;
    case Action::PageBack:
        step = -axis.page;
        break;
    case Action::PageForward:
        step = axis.page;
        break;
    case Action::Track:
        step = int64_t{trackPosition} - axis.position;
        break;
    case Action::Other:
        return 0;
    }
    const int before = axis.position;
    axis.position = ClampToAxis(axis.position + step, axis.MaxPosition());
    return before - axis.position;
}

CScrollHelper::Movement CScrollHelper::OnHScroll(Action action, int trackPosition) {
    return {ScrollAxis(m_horizontal, action, trackPosition), 0};
}

CScrollHelper::Movement CScrollHelper::OnVScroll(Action action, int trackPosition) {
    return {0, ScrollAxis(m_vertical, action, trackPosition)};
}

bool CScrollHelper::OnMouseWheel(int delta, int wheelLines, Movement* movement) {
    if (movement != nullptr) {
        *movement = {};
    }
    if (!m_vertical.Scrolls()) {
        m_wheelRemainder = 0;
        return false;
    }
    const int64_t total = int64_t{m_wheelRemainder} + delta;
    const int64_t notches = total / kWheelNotch;
    m_wheelRemainder = static_cast<int>(total % kWheelNotch);
    if (notches == 0) {
        return false;
    }
    const bool up = notches > 0;
    int moved = 0;
    if (wheelLines == kWheelPageScroll) {
        moved = ScrollAxis(m_vertical, up ? Action::PageBack : Action::PageForward, 0);
    } else {
        const int64_t steps = std::max<int64_t>(1, int64_t{wheelLines} * std::llabs(notches) / 3);
        // More steps than the display holds all end at its edge.
        const int64_t pixels = std::min<int64_t>(steps, m_vertical.display) * kLineStep;
        const int before = m_vertical.position;
        m_vertical.position =
            ClampToAxis(m_vertical.position + (up ? -pixels : pixels), m_vertical.MaxPosition());
        moved = before - m_vertical.position;
    }
    if (movement != nullptr) {
        movement->dy = moved;
    }
    return moved != 0;
}
