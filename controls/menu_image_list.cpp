#include "controls/menu_image_list.h"

#include "controls/menu_bitmap_effects.h"

MenuImageList& MenuImageList::Shared() {
    static MenuImageList list;
    return list;
}

void MenuImageList::SetImage(uint32_t commandId, const QImage& image,
                             const MenuImageColours& colours) {
    QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    if (plain.size() != QSize(kImageSize, kImageSize)) {
        plain =
            plain.scaled(kImageSize, kImageSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    MenuImageSet set;
    set.commandId = commandId;
    set.plain = QPixmap::fromImage(plain);
    set.washedOut = QPixmap::fromImage(WashedOutImage(plain));
    set.flatGrey = QPixmap::fromImage(FlatGreyImage(plain, colours.shadow));
    set.shaded = QPixmap::fromImage(ShadedImage(plain, colours.shadow));
    set.embossed = QPixmap::fromImage(EmbossedImage(plain, colours.highlight, colours.shadow));
    for (MenuImageSet& existing : m_sets) {
        if (existing.commandId == commandId) {
            existing = std::move(set);
            return;
        }
    }
    m_sets.push_back(std::move(set));
}

const MenuImageSet* MenuImageList::Find(uint32_t commandId) const {
    for (const MenuImageSet& set : m_sets) {
        if (set.commandId == commandId) {
            return &set;
        }
    }
    return nullptr;
}
