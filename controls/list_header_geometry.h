#pragma once

#include <QLine>
#include <QRect>

#include <array>

// Layout of one owner-drawn item of the sortable list header, without widgets. Every length is
// a multiple of the width of one blank in the header's font, so the triangle and the room kept
// for it grow with the font.
class ListHeaderGeometry {
public:
    // The lines of the sort triangle: the first `highlightCount` in the highlight colour, the
    // rest in the shadow colour.
    struct Triangle {
        std::array<QLine, 3> lines;
        int highlightCount = 0;
    };

    // The rectangle the text is drawn in, or an empty one when the item is too narrow for any.
    static QRect TextRect(const QRect& item, int blank, bool sortColumn, bool pressed);

    // The triangle at the item's right end: point down when ascending, point up when descending.
    static Triangle SortTriangle(const QRect& item, int blank, bool ascending);
};
