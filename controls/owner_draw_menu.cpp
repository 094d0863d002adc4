#include "controls/owner_draw_menu.h"

#include "controls/flat_menu_style.h"
#include "controls/menu_bitmap_effects.h"
#include "controls/menu_image_list.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

// Menus nest a few levels; a template deeper than this is cut rather than recursed into.
constexpr int kMaxDepth = 16;
// Only this much of an item's text is searched for a mnemonic.
constexpr qsizetype kMaxMnemonicText = 1024;

MenuImageColours PaletteColours() {
    const QPalette palette = QApplication::palette();
    return MenuImageColours{palette.color(QPalette::Active, QPalette::Dark),
                            palette.color(QPalette::Active, QPalette::Light)};
}

void SetId(QAction& action, uint32_t id) {
    action.setData(QVariant::fromValue(id));
}

} // namespace

COwnerDrawMenu::COwnerDrawMenu() = default;

COwnerDrawMenu::~COwnerDrawMenu() {
    Reset();
}

FlatMenuStyle* COwnerDrawMenu::SharedStyle() {
    static QPointer<FlatMenuStyle> style;
    if (style.isNull()) {
        style = new FlatMenuStyle(&MenuImageList::Shared());
        style->setParent(qApp);
    }
    return style.data();
}

void COwnerDrawMenu::Reset() {
    // Popups are children of the target; the actions the target owned went with its clear().
    for (QPointer<QMenu>& popup : m_popups) {
        delete popup.data();
    }
    m_popups.clear();
    m_actions.clear();
}

template <typename Target>
void COwnerDrawMenu::AddItems(Target& target, std::span<const MenuTemplateItem> items, int depth) {
    for (const MenuTemplateItem& item : items) {
        switch (item.kind) {
        case MenuTemplateItem::Kind::Popup:
            if (depth < kMaxDepth) {
                target.addMenu(MakePopup(target, item, depth + 1));
            }
            break;
        case MenuTemplateItem::Kind::Command:
            target.addAction(MakeCommand(target, item));
            break;
        case MenuTemplateItem::Kind::Separator:
            target.addSeparator();
            break;
        }
    }
}

void COwnerDrawMenu::LoadMenu(QMenuBar& bar, std::span<const MenuTemplateItem> items) {
    bar.clear();
    Reset();
    AddItems(bar, items, 1);
}

void COwnerDrawMenu::LoadMenu(QMenu& popup, std::span<const MenuTemplateItem> items) {
    popup.clear();
    Reset();
    popup.setStyle(SharedStyle());
    AddItems(popup, items, 1);
}

QAction* COwnerDrawMenu::MakeCommand(QWidget& owner, const MenuTemplateItem& item) {
    auto* action = new QAction(item.text, &owner);
    SetId(*action, item.commandId);
    action->setObjectName(QString::number(item.commandId));
    m_actions.emplace_back(action);
    if (item.image >= 0) {
        m_stripIndex.insert(item.commandId, item.image);
        if (MenuImageList::Shared().Find(item.commandId) == nullptr) {
            ApplyStripImage(item.commandId, item.image);
        }
    }
    ApplyImage(*action);
    return action;
}

QMenu* COwnerDrawMenu::MakePopup(QWidget& parent, const MenuTemplateItem& item, int depth) {
    auto* popup = new QMenu(item.text, &parent);
    popup->setStyle(SharedStyle());
    if (item.commandId != 0) {
        SetId(*popup->menuAction(), item.commandId);
    }
    m_popups.emplace_back(popup);
    AddItems(*popup, item.children, depth);
    return popup;
}

QAction* COwnerDrawMenu::FindAction(uint32_t commandId) const {
    for (const QPointer<QAction>& action : m_actions) {
        if (!action.isNull() && action->data().toUInt() == commandId) {
            return action.data();
        }
    }
    return nullptr;
}

void COwnerDrawMenu::ApplyImage(QAction& action) const {
    const MenuImageSet* set = MenuImageList::Shared().Find(action.data().toUInt());
    if (set == nullptr) {
        return;
    }
    // The icon makes the menu reserve room and lets any other style show the image too.
    QIcon icon(set->plain);
    icon.addPixmap(set->embossed, QIcon::Disabled);
    action.setIcon(icon);
}

void COwnerDrawMenu::SetItemImage(uint32_t commandId, const QPixmap& image) {
    if (image.isNull()) {
        return;
    }
    const QImage keyed = m_menuColour.isValid()
                             ? MakeColourTransparent(image.toImage(), m_menuColour)
                             : image.toImage();
    MenuImageList::Shared().SetImage(commandId, keyed, PaletteColours());
    for (const QPointer<QAction>& action : m_actions) {
        if (!action.isNull() && action->data().toUInt() == commandId) {
            ApplyImage(*action);
        }
    }
}

void COwnerDrawMenu::ApplyStripImage(uint32_t commandId, int index) {
    const int size = MenuImageList::kImageSize;
    if (m_strip.isNull() || index < 0 || index >= m_strip.width() / size) {
        return;
    }
    SetItemImage(commandId, QPixmap::fromImage(m_strip.copy(index * size, 0, size, size)));
}

void COwnerDrawMenu::SetImageStrip(const QPixmap& strip, const QColor& transparent) {
    m_strip = MakeColourTransparent(strip.toImage(), transparent);
    for (auto it = m_stripIndex.cbegin(); it != m_stripIndex.cend(); ++it) {
        ApplyStripImage(it.key(), it.value());
    }
}

void COwnerDrawMenu::SetMenuColor(const QColor& colour) {
    m_menuColour = colour;
}

void COwnerDrawMenu::Retranslate(const QHash<uint32_t, QString>& texts) {
    auto retext = [&texts](QAction& action) {
        bool ok = false;
        const uint32_t id = action.data().toUInt(&ok);
        const auto found = texts.constFind(id);
        if (ok && found != texts.cend()) {
            action.setText(found.value());
        }
    };
    for (const QPointer<QAction>& action : m_actions) {
        if (!action.isNull()) {
            retext(*action);
        }
    }
    for (const QPointer<QMenu>& popup : m_popups) {
        if (!popup.isNull() && popup->menuAction()->data().isValid()) {
            retext(*popup->menuAction());
            popup->setTitle(popup->menuAction()->text());
        }
    }
}

int COwnerDrawMenu::FindMnemonicPosition(const QStringList& texts, QChar character) {
    const QChar wanted = character.toCaseFolded();
    for (qsizetype position = 0; position < texts.size(); ++position) {
        const QString text = texts[position].left(kMaxMnemonicText);
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != QLatin1Char('&')) {
                continue;
            }
            // "&&" is a literal ampersand, not a mnemonic marker.
            if (text[i + 1] == QLatin1Char('&')) {
                ++i;
                continue;
            }
            if (text[i + 1].toCaseFolded() == wanted) {
                return static_cast<int>(position);
            }
        }
    }
    return -1;
}

int COwnerDrawMenu::FindMenuMnemonic(const QMenu& menu, QChar character) {
    QStringList texts;
    const QList<QAction*> actions = menu.actions();
    texts.reserve(actions.size());
    for (const QAction* action : actions) {
        texts.append(action->isSeparator() ? QString() : action->text());
    }
    return FindMnemonicPosition(texts, character);
}

uint32_t COwnerDrawMenu::MenuCharAnswer(int position) {
    if (position < 0 || position > 0xFFFF) {
        return 0;
    }
    return (kMenuCharExecute << 16) | static_cast<uint32_t>(position);
}
