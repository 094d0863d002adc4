#include "controls/flat_menu_style.h"

#include "controls/menu_image_list.h"
#include "controls/owner_draw_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QFontMetrics>
#include <QMenu>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Kind = MenuTemplateItem::Kind;

constexpr uint32_t kOpen = 1;
constexpr uint32_t kSave = 2;
constexpr uint32_t kChecked = 3;
constexpr uint32_t kRadio = 4;
constexpr uint32_t kPictured = 5;
constexpr uint32_t kDisabled = 6;

// A popup rendered offscreen in the flat style, with the rectangles of its items.
class FlatMenuRender : public ::testing::Test {
protected:
    void SetUp() override {
        MenuImageList::Shared().Clear();
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(QColor(200, 0, 0));
        m_menu.SetItemImage(kPictured, QPixmap::fromImage(picture));
        const std::vector<MenuTemplateItem> items = {
            {Kind::Command, kOpen, "&Open", -1, {}},
            {Kind::Separator, 0, QString(), -1, {}},
            {Kind::Command, kSave, "&Save\tCtrl+S", -1, {}},
            {Kind::Command, kChecked, "&Checked", -1, {}},
            {Kind::Command, kRadio, "&Radio", -1, {}},
            {Kind::Command, kPictured, "&Pictured", -1, {}},
            {Kind::Command, kDisabled, "&Disabled", -1, {}},
        };
        m_menu.LoadMenu(m_popup, items);
        for (uint32_t id : {kChecked, kRadio}) {
            m_menu.FindAction(id)->setCheckable(true);
            m_menu.FindAction(id)->setChecked(true);
        }
        auto* group = new QActionGroup(&m_popup);
        group->addAction(m_menu.FindAction(kRadio));
        m_menu.FindAction(kDisabled)->setEnabled(false);
        m_popup.ensurePolished();
        m_popup.resize(m_popup.sizeHint());
    }

    void TearDown() override { MenuImageList::Shared().Clear(); }

    QImage Render() { return m_popup.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRect Item(uint32_t id) { return m_popup.actionGeometry(m_menu.FindAction(id)); }
    FlatMenuMetrics Metrics() const { return FlatMenuMetrics(m_popup.palette()); }

    // Columns of the row range that hold text-dark pixels.
    static std::vector<int> InkColumns(const QImage& image, const QRect& area) {
        std::vector<int> columns;
        for (int x = area.left(); x <= area.right(); ++x) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                if (qGray(image.pixel(x, y)) < 128) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    }

    QMenu m_popup;
    COwnerDrawMenu m_menu;
};

struct PixelCase {
    const char* what;
    QPoint at;
    QColor expected;
};

TEST_F(FlatMenuRender, ColumnsFillsAndBoxes) {
    const FlatMenuMetrics metrics = Metrics();
    const QRect open = Item(kOpen);
    const QRect checked = Item(kChecked);
    const QRect pictured = Item(kPictured);
    const QRect image = metrics.ImageRect(pictured);
    const QRect box = metrics.CheckBoxRect(checked);
    const PixelCase cases[] = {
        {"image column", open.topLeft() + QPoint(2, 2), metrics.ImageColumn()},
        {"background", QPoint(open.right() - 2, open.top() + 2), metrics.Background()},
        {"check box frame", box.topLeft(), metrics.CheckBoxFrame()},
        {"check box fill", box.topLeft() + QPoint(1, 1), metrics.CheckBoxFill(false)},
        // The resting image is the shaded variant: the picture itself inside.
        {"image", image.center(), QColor(200, 0, 0)},
        {"beside the image", QPoint(image.right() + 2, image.top() + 1), metrics.ImageColumn()},
    };
    const QImage rendered = Render();
    for (const PixelCase& c : cases) {
        EXPECT_EQ(rendered.pixel(c.at), c.expected.rgb())
            << c.what << " got " << QColor(rendered.pixel(c.at)).name().toStdString();
    }
}

TEST_F(FlatMenuRender, SelectedItemIsFilledAndFramed) {
    m_popup.setActiveAction(m_menu.FindAction(kOpen));
    const FlatMenuMetrics metrics = Metrics();
    const QRect open = Item(kOpen);
    const QImage rendered = Render();
    const PixelCase cases[] = {
        {"frame top left", open.topLeft(), metrics.SelectedFrame()},
        {"frame bottom right", open.bottomRight(), metrics.SelectedFrame()},
        {"fill over the column", open.topLeft() + QPoint(2, 2), metrics.SelectedFill()},
        {"fill at the right", QPoint(open.right() - 2, open.center().y()), metrics.SelectedFill()},
    };
    for (const PixelCase& c : cases) {
        EXPECT_EQ(rendered.pixel(c.at), c.expected.rgb())
            << c.what << " got " << QColor(rendered.pixel(c.at)).name().toStdString();
    }
    // Others stay unselected.
    EXPECT_EQ(rendered.pixel(Item(kSave).topLeft() + QPoint(2, 2)), metrics.ImageColumn().rgb());
}

TEST_F(FlatMenuRender, SeparatorIsThreePixelsWithAnEtchedLine) {
    QAction* separator = m_popup.actions().at(1);
    ASSERT_TRUE(separator->isSeparator());
    const QRect rect = m_popup.actionGeometry(separator);
    EXPECT_EQ(rect.height(), 3);
    const FlatMenuMetrics metrics = Metrics();
    const QImage rendered = Render();
    const int x = rect.left() + metrics.ImageColumnWidth() + 10;
    EXPECT_EQ(rendered.pixel(x, rect.top() + 1), metrics.SeparatorShadow().rgb());
    EXPECT_EQ(rendered.pixel(x, rect.top() + 2), metrics.SeparatorHighlight().rgb());
    EXPECT_EQ(rendered.pixel(rect.left() + 2, rect.top() + 1), metrics.ImageColumn().rgb());
}

TEST_F(FlatMenuRender, ShortcutIsDrawnRightAlignedApartFromTheLabel) {
    const FlatMenuMetrics metrics = Metrics();
    const QRect save = Item(kSave);
    const QRect text = metrics.TextRect(save, false);
    const QFontMetrics font(m_popup.font());
    const int labelWidth = font.horizontalAdvance("Save");
    const int shortcutWidth = font.horizontalAdvance("Ctrl+S");
    const std::vector<int> ink = InkColumns(Render(), text);
    ASSERT_FALSE(ink.empty());
    EXPECT_LE(ink.front(), text.left() + 2);
    EXPECT_GE(ink.back(), text.right() - 2);
    int inLabel = 0;
    int inShortcut = 0;
    for (int x : ink) {
        const bool label = x <= text.left() + labelWidth + 1;
        const bool shortcut = x >= text.right() - shortcutWidth - 1;
        EXPECT_TRUE(label || shortcut) << "ink between label and shortcut at " << x;
        inLabel += label ? 1 : 0;
        inShortcut += shortcut ? 1 : 0;
    }
    EXPECT_GT(inLabel, 0);
    EXPECT_GT(inShortcut, 0);
}

TEST_F(FlatMenuRender, CheckedItemsWithoutImageGetAMark) {
    const FlatMenuMetrics metrics = Metrics();
    const QImage rendered = Render();
    for (uint32_t id : {kChecked, kRadio}) {
        const QRect mark = metrics.ImageRect(Item(id));
        EXPECT_FALSE(InkColumns(rendered, mark).empty()) << id;
    }
    // The radio dot is round: its centre is inked, the corners of the image are not.
    const QRect radio = metrics.ImageRect(Item(kRadio));
    EXPECT_LT(qGray(rendered.pixel(radio.center())), 128);
    EXPECT_EQ(rendered.pixel(radio.topLeft() + QPoint(1, 1)), metrics.CheckBoxFill(false).rgb());
}

TEST_F(FlatMenuRender, DisabledTextIsGrey) {
    const FlatMenuMetrics metrics = Metrics();
    const QRect disabled = metrics.TextRect(Item(kDisabled), false);
    const QImage rendered = Render();
    EXPECT_TRUE(InkColumns(rendered, disabled).empty());
    bool grey = false;
    for (int x = disabled.left(); x < disabled.left() + 40 && !grey; ++x) {
        for (int y = disabled.top(); y <= disabled.bottom(); ++y) {
            grey = grey || rendered.pixel(x, y) == metrics.DisabledText(false).rgb();
        }
    }
    EXPECT_TRUE(grey);
}

TEST_F(FlatMenuRender, ItemSizeFollowsTheFlatRules) {
    const FlatMenuMetrics metrics = Metrics();
    EXPECT_GE(Item(kOpen).height(), metrics.ImageSize() + metrics.Gap());
    const QFontMetrics font(m_popup.font());
    // The widest item with its shortcut fits, and no narrower than the flat width rule.
    EXPECT_GE(Item(kSave).width(),
              metrics.ItemSize(font.horizontalAdvance("Pictured"), false, false, 0).width());
}

} // namespace
