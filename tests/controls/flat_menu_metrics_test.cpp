#include "controls/flat_menu_metrics.h"

#include "controls/menu_colors.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

QPalette SamplePalette() {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Base, QColor(255, 255, 255));
    palette.setColor(QPalette::Active, QPalette::Button, QColor(200, 100, 0));
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 100, 200));
    palette.setColor(QPalette::Active, QPalette::Text, QColor(1, 2, 3));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(100, 100, 100));
    // The inactive group differs on purpose: menus take the active colours.
    palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(9, 9, 9));
    return palette;
}

struct ColourCase {
    const char* what;
    QColor actual;
    QColor expected;
};

TEST(FlatMenuMetricsTest, ColoursComeFromThePalette) {
    const FlatMenuMetrics metrics(SamplePalette());
    const ColourCase cases[] = {
        // 255 - 0.02 * 255 = 249.9.
        {"background", metrics.Background(), QColor(249, 249, 249)},
        // 200 + 0.25 * 55 = 213.75, 100 + 0.25 * 155 = 138.75, 0 + 63.75.
        {"image column", metrics.ImageColumn(), QColor(213, 138, 63)},
        {"selected frame", metrics.SelectedFrame(), QColor(0, 100, 200)},
        // 0.7: 178.5, 100 + 108.5, 200 + 38.5.
        {"selected fill", metrics.SelectedFill(), QColor(178, 208, 238)},
        // 0.55: 140.25, 100 + 85.25, 200 + 30.25; 0.85: 216.75, 100 + 131.75, 200 + 46.75.
        {"check box selected", metrics.CheckBoxFill(true), QColor(140, 185, 230)},
        {"check box", metrics.CheckBoxFill(false), QColor(216, 231, 246)},
        {"text", metrics.Text(), QColor(1, 2, 3)},
        {"grey text selected", metrics.DisabledText(true), QColor(100, 100, 100)},
        // 100 + 0.4 * 155 = 162.
        {"grey text", metrics.DisabledText(false), QColor(162, 162, 162)},
    };
    for (const ColourCase& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.what << " " << c.actual.name().toStdString();
    }
}

TEST(FlatMenuMetricsTest, SizesFollowTextImageAndGap) {
    const FlatMenuMetrics extra(SamplePalette(), 16, true);
    const FlatMenuMetrics plain(SamplePalette(), 16, false);
    EXPECT_EQ(extra.ImageColumnWidth(), 23);
    EXPECT_EQ(plain.ImageColumnWidth(), 20);
    EXPECT_EQ(extra.SeparatorSize().height(), 3);
    // Width: text + image + gap + 8; height: the larger of the style's and image + gap.
    EXPECT_EQ(extra.ItemSize(50, false, false, 19), QSize(50 + 16 + 7 + 8, 23));
    EXPECT_EQ(extra.ItemSize(50, false, false, 27), QSize(81, 27));
    EXPECT_EQ(plain.ItemSize(50, false, false, 19), QSize(50 + 16 + 4 + 8, 20));
    EXPECT_EQ(extra.ItemSize(50, true, false, 19).width(), 81 + FlatMenuMetrics::kShortcutGap);
    EXPECT_EQ(extra.ItemSize(50, false, true, 19).width(), 81 + FlatMenuMetrics::kArrowWidth);
}

TEST(FlatMenuMetricsTest, RectanglesInsideAnItem) {
    const FlatMenuMetrics metrics(SamplePalette());
    const QRect item(1, 10, 120, 23);
    EXPECT_EQ(metrics.ImageColumnRect(item), QRect(1, 10, 23, 23));
    const QRect image = metrics.ImageRect(item);
    EXPECT_EQ(image.size(), QSize(16, 16));
    EXPECT_TRUE(metrics.ImageColumnRect(item).contains(image));
    EXPECT_TRUE(metrics.CheckBoxRect(item).contains(image));
    EXPECT_EQ(metrics.TextRect(item, false).left(), 1 + 23 + FlatMenuMetrics::kTextPadding);
    EXPECT_EQ(metrics.TextRect(item, false).right(), item.right() - FlatMenuMetrics::kTextPadding);
    EXPECT_FALSE(metrics.TextRect(item, true).intersects(metrics.ArrowRect(item)));
    EXPECT_EQ(metrics.SeparatorLineY(QRect(0, 40, 100, 3)), 41);
}

} // namespace
