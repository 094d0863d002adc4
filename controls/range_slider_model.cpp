#include "controls/range_slider_model.h"

#include <algorithm>

void RangeSliderModel::Init(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_left = 0;
    m_right = m_width;
    m_dragged.reset();
}

int64_t RangeSliderModel::Position(SliderLever lever) const {
    return lever == SliderLever::Left ? m_left : m_right;
}

int64_t RangeSliderModel::LowestPosition(SliderLever lever) const {
    if (lever == SliderLever::Left) {
        return Minimum();
    }
    return std::min(m_left + kLeverGap, Maximum());
}

int64_t RangeSliderModel::HighestPosition(SliderLever lever) const {
    if (lever == SliderLever::Right) {
        return Maximum();
    }
    return std::max(m_right - kLeverGap, Minimum());
}

bool RangeSliderModel::SetPosition(SliderLever lever, int64_t value) {
    const int64_t kept = std::clamp(value, LowestPosition(lever), HighestPosition(lever));
    int64_t& position = lever == SliderLever::Left ? m_left : m_right;
    if (position == kept) {
        return false;
    }
    position = kept;
    return true;
}

QRect RangeSliderModel::LeverBox(SliderLever lever) const {
    // Positions never leave [0, width], and the width is an int.
    const int position = static_cast<int>(Position(lever));
    return QRect(position - kLeverBox / 2, 0, kLeverBox, kLeverBox);
}

QRect RangeSliderModel::Shade(SliderLever lever) const {
    if (lever == SliderLever::Left) {
        return QRect(0, 0, static_cast<int>(m_left), m_height);
    }
    return QRect(static_cast<int>(m_right), 0, static_cast<int>(m_width - m_right), m_height);
}

std::optional<SliderLever> RangeSliderModel::LeverAt(QPoint point) const {
    // The boxes only meet on a bar narrower than the gap; the left lever is then found first.
    for (const SliderLever lever : {SliderLever::Left, SliderLever::Right}) {
        if (LeverBox(lever).contains(point)) {
            return lever;
        }
    }
    return std::nullopt;
}

bool RangeSliderModel::BeginDrag(QPoint point) {
    m_dragged = LeverAt(point);
    if (!m_dragged) {
        return false;
    }
    m_pressX = point.x();
    m_pressPosition = Position(*m_dragged);
    return true;
}

bool RangeSliderModel::Drag(QPoint point) {
    if (!m_dragged) {
        return false;
    }
    const int64_t way = static_cast<int64_t>(point.x()) - m_pressX;
    return SetPosition(*m_dragged, m_pressPosition + way);
}

void RangeSliderModel::EndDrag() {
    m_dragged.reset();
}
