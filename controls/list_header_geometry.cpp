#include "controls/list_header_geometry.h"

QRect ListHeaderGeometry::TextRect(const QRect& item, int blank, bool sortColumn, bool pressed) {
    // Edges as the window system counts them: right and bottom one past the last pixel.
    int left = item.left();
    int top = item.top();
    int right = item.right() + 1;
    const int bottom = item.bottom() + 1;
    if (pressed) {
        top += 2;
        left += 1;
        right += 1;
    }
    left += 2 * blank;
    // The sort column keeps room for the triangle at its right end.
    right -= sortColumn ? 8 * blank : 2 * blank;
    if (left >= right || top >= bottom) {
        return QRect();
    }
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

ListHeaderGeometry::Triangle ListHeaderGeometry::SortTriangle(const QRect& item, int blank,
                                                              bool ascending) {
    const int s = blank;
    const int r = item.right() + 1;
    const int b = item.bottom() + 1;
    const int top = item.top();
    Triangle triangle;
    if (ascending) {
        triangle.lines = {
            QLine(r - 3 * s, top + 2 * s - 1, r - 4 * s - 1, b - 2 * s + 1),
            QLine(r - 4 * s - 1, b - 2 * s, r - 5 * s - 1, top + 2 * s - 1),
            QLine(r - 5 * s - 1, top + 2 * s - 1, r - 3 * s, top + 2 * s - 1),
        };
        triangle.highlightCount = 1;
    } else {
        triangle.lines = {
            QLine(r - 4 * s, top + 2 * s - 1, r - 3 * s, b - 2 * s),
            QLine(r - 3 * s, b - 2 * s, r - 5 * s - 2, b - 2 * s),
            QLine(r - 5 * s - 1, b - 2 * s - 1, r - 4 * s, top + 2 * s - 2),
        };
        triangle.highlightCount = 2;
    }
    return triangle;
}
