#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <vector>

// The images of one command in every form the flat menu style draws it.
struct MenuImageSet {
    uint32_t commandId = 0;
    QPixmap plain;
    QPixmap washedOut;
    QPixmap flatGrey;
    QPixmap shaded;
    QPixmap embossed;
};

// The colours the variants are made from (the button shadow and highlight of the palette).
struct MenuImageColours {
    QColor shadow;
    QColor highlight;
};

// Menu images by command id, shared by every owner-drawn menu of the program (GUI thread
// only). An id has at most one set; adding an image for a known id replaces its set in place.
class MenuImageList {
public:
    static constexpr int kImageSize = 16;

    static MenuImageList& Shared();

    // Scales the image to 16 x 16 when it has another size and makes its variants.
    void SetImage(uint32_t commandId, const QImage& image, const MenuImageColours& colours);
    const MenuImageSet* Find(uint32_t commandId) const;
    size_t Count() const { return m_sets.size(); }
    void Clear() { m_sets.clear(); }

private:
    std::vector<MenuImageSet> m_sets;
};
