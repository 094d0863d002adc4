#include "controls/menu_colors.h"

#include <gtest/gtest.h>

namespace {

struct ColourCase {
    QColor colour;
    double factor;
    QColor lightened;
    QColor darkened;
};

TEST(MenuColorsTest, LightenAndDarkenTruncateAndIgnoreUnusableFactors) {
    const ColourCase cases[] = {
        // 100 + 0.5 * 155 = 177.5 and 100 - 50 = 50: truncated, per channel.
        {QColor(100, 0, 255), 0.5, QColor(177, 127, 255), QColor(50, 0, 127)},
        {QColor(10, 20, 30), 1.0, QColor(255, 255, 255), QColor(0, 0, 0)},
        {QColor(10, 20, 30), 0.0, QColor(10, 20, 30), QColor(10, 20, 30)},
        {QColor(10, 20, 30), 1.5, QColor(10, 20, 30), QColor(10, 20, 30)},
        {QColor(10, 20, 30), -0.2, QColor(10, 20, 30), QColor(10, 20, 30)},
    };
    for (const ColourCase& c : cases) {
        EXPECT_EQ(Lighten(c.colour, c.factor), c.lightened) << c.factor;
        EXPECT_EQ(Darken(c.colour, c.factor), c.darkened) << c.factor;
    }
}

} // namespace
