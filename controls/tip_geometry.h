#pragma once

#include <QPoint>
#include <QRect>

// Where the full-text tips of the tip combo box and its list go, as plain geometry: a tip shows
// only while the cursor is over a text wider than the space it has, exactly over that text.
namespace tip_geometry {

struct Placement {
    bool show = false;
    QPoint at; // in the control's coordinates
};

// The combo box's text area: the client rectangle less the drop button and 2 pixels.
QRect ComboTextArea(const QRect& client, int dropButtonWidth);
// A combo box text wider than the area less 6 pixels, with the cursor in the area: the tip at
// the area's left + 1, top + 3.
Placement ComboTip(const QRect& area, const QPoint& cursor, int textWidth);
// A list item's text wider than the item less 3 pixels, with the cursor on the item inside the
// list's client rectangle: the tip at the item's top-left.
Placement ListTip(const QRect& client, const QRect& item, const QPoint& cursor, int textWidth);

} // namespace tip_geometry
