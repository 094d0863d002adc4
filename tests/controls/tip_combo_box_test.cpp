#include "controls/tip_combo_box.h"
#include "controls/tip_geometry.h"
#include "controls/tip_list_box.h"
#include "controls/tip_window.h"

#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace tip_geometry;

TEST(TipGeometryTest, ComboTipsOnlyTextsWiderThanTheArea) {
    const QRect area = ComboTextArea(QRect(0, 0, 100, 20), 16);
    EXPECT_EQ(area, QRect(0, 0, 82, 20));
    struct Case {
        const char* what;
        QPoint cursor;
        int width;
        bool show;
    };
    const Case cases[] = {
        {"short text", {10, 10}, 76, false},
        {"one pixel too wide", {10, 10}, 77, true},
        {"cursor on the drop button", {90, 10}, 300, false},
        {"cursor outside", {10, 30}, 300, false},
    };
    for (const Case& c : cases) {
        const Placement place = ComboTip(area, c.cursor, c.width);
        EXPECT_EQ(place.show, c.show) << c.what;
        if (place.show) {
            EXPECT_EQ(place.at, QPoint(1, 3)) << c.what;
        }
    }
}

TEST(TipGeometryTest, ListTipsSitOnTheirLine) {
    const QRect client(0, 0, 120, 100);
    const QRect line(0, 20, 120, 16);
    EXPECT_FALSE(ListTip(client, line, {5, 25}, 117).show);
    const Placement wide = ListTip(client, line, {5, 25}, 118);
    EXPECT_TRUE(wide.show);
    EXPECT_EQ(wide.at, QPoint(0, 20));
    EXPECT_FALSE(ListTip(client, line, {5, 50}, 500).show) << "cursor below the line";
    EXPECT_FALSE(ListTip(client, QRect(), {5, 25}, 500).show) << "no line under the cursor";
}

void MoveMouse(QWidget* widget, const QPoint& at) {
    QCursor::setPos(widget->mapToGlobal(at));
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

const QString kLong = QStringLiteral("Graphics files (*.bmp, *.gif, *.jpg, *.jpeg, *.png, *.tif)");

TEST(TipComboBoxTest, AWideSelectionShowsWholeOverTheTextUntilTheCursorLeaves) {
    CTipComboBox combo;
    combo.addItem(QStringLiteral("Short"));
    combo.addItem(kLong);
    combo.resize(120, 24);
    combo.move(50, 50);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));

    combo.setCurrentIndex(0);
    MoveMouse(&combo, {10, 10});
    EXPECT_FALSE(combo.Tip()->isVisible()) << "a short selection has no tip";

    combo.setCurrentIndex(1);
    MoveMouse(&combo, {10, 10});
    ASSERT_TRUE(combo.Tip()->isVisible());
    EXPECT_EQ(combo.Tip()->text(), kLong);
    EXPECT_EQ(combo.Tip()->pos(), combo.mapToGlobal(combo.TextArea().topLeft() + QPoint(1, 3)));

    QCursor::setPos(combo.mapToGlobal(QPoint(10, 200)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !combo.Tip()->isVisible(); }, 1000));
}

TEST(TipListBoxTest, AWideLineShowsItsTipAndTheTipGoesWithTheList) {
    QListWidget list;
    list.addItem(QStringLiteral("*.doc"));
    list.addItem(kLong);
    list.resize(100, 80);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    auto* tips = new CTipListBox(&list);
    QWidget* viewport = list.viewport();
    // The view lays its lines out when events run.
    QApplication::processEvents();

    const QRect shortLine = list.visualItemRect(list.item(0));
    MoveMouse(viewport, QPoint(10, shortLine.center().y()));
    EXPECT_FALSE(tips->Tip()->isVisible());

    const QRect wideLine = list.visualItemRect(list.item(1));
    MoveMouse(viewport, QPoint(10, wideLine.center().y()));
    ASSERT_TRUE(tips->Tip()->isVisible());
    EXPECT_EQ(tips->Tip()->text(), kLong);
    EXPECT_EQ(tips->Tip()->pos(), viewport->mapToGlobal(QPoint(0, wideLine.top())));

    // Closing the list while the tip shows: the next tick removes the tip.
    list.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !tips->Tip()->isVisible(); }, 1000));
}

} // namespace
