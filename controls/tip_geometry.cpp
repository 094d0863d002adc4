#include "controls/tip_geometry.h"

namespace tip_geometry {

QRect ComboTextArea(const QRect& client, int dropButtonWidth) {
    QRect area = client;
    area.setRight(client.right() - (dropButtonWidth + 2));
    return area;
}

Placement ComboTip(const QRect& area, const QPoint& cursor, int textWidth) {
    if (!area.contains(cursor) || textWidth <= area.width() - 6) {
        return {};
    }
    return {true, area.topLeft() + QPoint(1, 3)};
}

Placement ListTip(const QRect& client, const QRect& item, const QPoint& cursor, int textWidth) {
    if (!client.contains(cursor) || !item.contains(cursor) || textWidth <= item.width() - 3) {
        return {};
    }
    return {true, item.topLeft()};
}

} // namespace tip_geometry
