#pragma once

#include <QHeaderView>

// Widens each section of `header` that is narrower than its title needs in the header's font
// (text, margins, and `extra` pixels such as the room of a sort triangle the header draws
// itself); sections already wide enough keep their width. Header-only: the viewer libraries
// use it without linking the controls.
inline void WidenSectionsToTitles(QHeaderView& header, int extra = 0) {
    for (int section = 0; section < header.count(); ++section) {
        const int needed = header.sectionSizeHint(section) + extra;
        if (header.sectionSize(section) < needed) {
            header.resizeSection(section, needed);
        }
    }
}
