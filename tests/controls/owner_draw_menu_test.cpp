#include "controls/owner_draw_menu.h"

#include "controls/menu_image_list.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

using Kind = MenuTemplateItem::Kind;

MenuTemplateItem Command(uint32_t id, const QString& text, int image = -1) {
    return MenuTemplateItem{Kind::Command, id, text, image, {}};
}

MenuTemplateItem Separator() {
    return MenuTemplateItem{Kind::Separator, 0, QString(), -1, {}};
}

MenuTemplateItem Popup(uint32_t id, const QString& text, std::vector<MenuTemplateItem> children) {
    return MenuTemplateItem{Kind::Popup, id, text, -1, std::move(children)};
}

struct MnemonicCase {
    QStringList texts;
    QChar character;
    int expected;
};

TEST(OwnerDrawMenuTest, MnemonicPositionIsCaseFoldedAndSkipsLiteralAmpersands) {
    const MnemonicCase cases[] = {
        {{"&File", "&Recover", "E&xit"}, 'r', 1},
        {{"&File", "&Recover", "E&xit"}, 'R', 1},
        {{"&File", "&Recover", "E&xit"}, 'x', 2},
        {{"&File", "&Recover", "E&xit"}, 'q', -1},
        // A separator has no text but keeps its position.
        {{"&Open", "", "&Recover"}, 'r', 2},
        {{"Save && &Recover"}, 'r', 0},
        {{"&&Recover"}, 'r', -1},
        {{"Trailing&"}, 'g', -1},
        {{"R&esume", "&Recover"}, 'r', 1},
    };
    for (const MnemonicCase& c : cases) {
        EXPECT_EQ(COwnerDrawMenu::FindMnemonicPosition(c.texts, c.character), c.expected)
            << c.texts.join('|').toStdString() << " " << c.character.toLatin1();
    }
}

TEST(OwnerDrawMenuTest, MenuCharAnswerPacksExecuteAndPosition) {
    QMenu popup;
    COwnerDrawMenu menu;
    const std::vector<MenuTemplateItem> items = {Command(1, "&Open"), Separator(),
                                                 Command(2, "&Recover\tCtrl+R")};
    menu.LoadMenu(popup, items);
    const int position = COwnerDrawMenu::FindMenuMnemonic(popup, 'r');
    EXPECT_EQ(position, 2);
    EXPECT_EQ(COwnerDrawMenu::MenuCharAnswer(position), (2u << 16) | 2u);
    EXPECT_EQ(COwnerDrawMenu::MenuCharAnswer(COwnerDrawMenu::FindMenuMnemonic(popup, 'z')), 0u);
}

TEST(OwnerDrawMenuTest, BarMenusCarryCommandIdsAndReloadReplacesThem) {
    QMenuBar bar;
    COwnerDrawMenu menu;
    const std::vector<MenuTemplateItem> items = {
        Popup(500, "&File", {Command(32771, "&Open"), Separator(), Command(57665, "E&xit")}),
        Popup(501, "&Help", {Popup(502, "&More", {Command(32800, "&About")})}),
    };
    menu.LoadMenu(bar, items);
    ASSERT_EQ(bar.actions().size(), 2);
    ASSERT_EQ(menu.Popups().size(), 3u);
    QAction* exit = menu.FindAction(57665);
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->objectName(), "57665");
    EXPECT_EQ(exit->data().toUInt(), 57665u);
    EXPECT_EQ(bar.findChild<QAction*>("32800"), menu.FindAction(32800));
    EXPECT_EQ(menu.FindAction(1), nullptr);
    EXPECT_EQ(menu.Popups()[0]->actions().size(), 3);

    QPointer<QMenu> oldFile = menu.Popups()[0].data();
    menu.LoadMenu(bar, items);
    EXPECT_TRUE(oldFile.isNull());
    EXPECT_EQ(bar.actions().size(), 2);
    EXPECT_EQ(bar.findChildren<QMenu*>().size(), 3);

    menu.Retranslate({{57665, "&Quitter"}, {500, "&Fichier"}});
    EXPECT_EQ(menu.FindAction(57665)->text(), "&Quitter");
    EXPECT_EQ(menu.FindAction(32771)->text(), "&Open");
    EXPECT_EQ(menu.Popups()[0]->title(), "&Fichier");
}

TEST(OwnerDrawMenuTest, StripImagesGoToTheItemsByIndexWithTheKeyColourClear) {
    MenuImageList::Shared().Clear();
    QImage strip(48, 16, QImage::Format_RGB32);
    strip.fill(Qt::white);
    strip.setPixel(16 + 5, 5, qRgb(10, 20, 30));
    strip.setPixel(32 + 5, 5, qRgb(222, 219, 213));
    QMenu popup;
    COwnerDrawMenu menu;
    const std::vector<MenuTemplateItem> items = {Command(7, "&Find", 1), Command(8, "Go &Up", 2),
                                                 Command(9, "&None", 5)};
    menu.LoadMenu(popup, items);
    EXPECT_TRUE(menu.FindAction(7)->icon().isNull());
    menu.SetMenuColor(QColor(222, 219, 213));
    menu.SetImageStrip(QPixmap::fromImage(strip), Qt::white);

    const MenuImageSet* find = MenuImageList::Shared().Find(7);
    ASSERT_NE(find, nullptr);
    const QImage plain = find->plain.toImage();
    EXPECT_EQ(plain.pixel(5, 5), qRgba(10, 20, 30, 255));
    EXPECT_EQ(qAlpha(plain.pixel(0, 0)), 0);
    EXPECT_FALSE(menu.FindAction(7)->icon().isNull());
    const MenuImageSet* up = MenuImageList::Shared().Find(8);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(qAlpha(up->plain.toImage().pixel(5, 5)), 0);
    // Index 5 lies beyond the three pictures of the strip.
    EXPECT_EQ(MenuImageList::Shared().Find(9), nullptr);

    // A later load uses the images already kept for the ids.
    QMenu other;
    COwnerDrawMenu second;
    second.LoadMenu(other, items);
    EXPECT_FALSE(second.FindAction(7)->icon().isNull());
    MenuImageList::Shared().Clear();
}

} // namespace
