#pragma once

#include "controls/menu_template_item.h"

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

class FlatMenuStyle;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Builds a menu bar's menus or a popup menu from menu templates and draws them in the flat
// style, with 16 x 16 images beside the commands. Every command becomes one QAction whose data
// is the command id and whose object name is the id in decimal, so the owner finds actions by
// id. Images live in the program-wide MenuImageList by command id: an image given once shows
// in every menu that holds the command.
//
// The target widget belongs to the caller; the popups this object makes are children of it and
// are deleted when the target is loaded again or when this object goes. Loading again is cheap
// (images are kept), so a language switch may simply reload.
class COwnerDrawMenu {
public:
    // The answer a menu gives to a typed mnemonic character: execute the item.
    static constexpr uint32_t kMenuCharExecute = 2;

    COwnerDrawMenu();
    ~COwnerDrawMenu();
    COwnerDrawMenu(const COwnerDrawMenu&) = delete;
    COwnerDrawMenu& operator=(const COwnerDrawMenu&) = delete;

    // Top-level popups become the bar's menus; top-level commands become actions of the bar.
    void LoadMenu(QMenuBar& bar, std::span<const MenuTemplateItem> items);
    // A context menu: the popup itself is drawn in the flat style too.
    void LoadMenu(QMenu& popup, std::span<const MenuTemplateItem> items);

    // The first action of the command in the loaded menu, or null.
    QAction* FindAction(uint32_t commandId) const;
    // Every popup made by the last load, in template order.
    const std::vector<QPointer<QMenu>>& Popups() const { return m_popups; }

    // Gives the command its image (any size, scaled to 16 x 16); replaces an earlier one.
    void SetItemImage(uint32_t commandId, const QPixmap& image);
    // A strip of 16 x 16 images side by side: every loaded item with an image index gets
    // picture index of the strip, and so do items loaded later. Pixels of the transparent
    // colour, when given, are background.
    void SetImageStrip(const QPixmap& strip, const QColor& transparent = QColor());
    // Pixels of this colour in images added from now on are treated as background.
    void SetMenuColor(const QColor& colour);

    // New texts by id for commands and popups; ids not in the table keep their text.
    void Retranslate(const QHash<uint32_t, QString>& texts);

    // Position (separators count) of the first item of the menu whose text holds "&" and the
    // character, case-folded; -1 when none.
    static int FindMenuMnemonic(const QMenu& menu, QChar character);
    static int FindMnemonicPosition(const QStringList& texts, QChar character);
    // The menu-character answer: execute in the high word and the position in the low word,
    // or 0 (default handling) for no position.
    static uint32_t MenuCharAnswer(int position);

    // The flat style every owner-drawn menu uses (owned by the application object).
    static FlatMenuStyle* SharedStyle();

private:
    void Reset();
    // Target is a QMenuBar or a QMenu.
    template <typename Target>
    void AddItems(Target& target, std::span<const MenuTemplateItem> items, int depth);
    QAction* MakeCommand(QWidget& owner, const MenuTemplateItem& item);
    QMenu* MakePopup(QWidget& parent, const MenuTemplateItem& item, int depth);
    void ApplyImage(QAction& action) const;
    void ApplyStripImage(uint32_t commandId, int index);

    std::vector<QPointer<QAction>> m_actions;
    std::vector<QPointer<QMenu>> m_popups;
    QHash<uint32_t, int> m_stripIndex;
    QImage m_strip;
    QColor m_menuColour;
};
