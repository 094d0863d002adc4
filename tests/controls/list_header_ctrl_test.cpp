#include "controls/list_header_ctrl.h"

#include "controls/list_header_geometry.h"

#include "tests/controls/colour_checks.h"

#include <QImage>
#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace {

struct TextRectCase {
    const char* what;
    QRect item;
    bool sortColumn;
    bool pressed;
    QRect expected;
};

TEST(ListHeaderGeometryTest, TextRectKeepsTwoBlanksAndRoomForTheTriangle) {
    constexpr int kBlank = 3;
    const TextRectCase cases[] = {
        {"plain item", QRect(0, 0, 100, 20), false, false, QRect(6, 0, 88, 20)},
        {"sort column", QRect(0, 0, 100, 20), true, false, QRect(6, 0, 70, 20)},
        {"pressed moves down and right", QRect(10, 0, 100, 20), false, true, QRect(17, 2, 88, 18)},
        {"just wider than four blanks", QRect(0, 0, 13, 20), false, false, QRect(6, 0, 1, 20)},
        {"four blanks leave nothing", QRect(0, 0, 12, 20), false, false, QRect()},
        {"sort column under eight blanks", QRect(0, 0, 30, 20), true, false, QRect()},
    };
    for (const TextRectCase& c : cases) {
        EXPECT_EQ(ListHeaderGeometry::TextRect(c.item, kBlank, c.sortColumn, c.pressed), c.expected)
            << c.what;
    }
}

TEST(ListHeaderGeometryTest, TrianglePointsDownWhenAscendingAndUpWhenDescending) {
    const QRect item(0, 0, 100, 20);
    const ListHeaderGeometry::Triangle up = ListHeaderGeometry::SortTriangle(item, 3, true);
    // A flat top edge at y = 2s - 1 and the point at the bottom, four blanks from the right.
    EXPECT_EQ(up.lines[2], QLine(84, 5, 91, 5));
    EXPECT_EQ(up.lines[0].p2(), QPoint(87, 15));
    EXPECT_EQ(up.highlightCount, 1);
    const ListHeaderGeometry::Triangle down = ListHeaderGeometry::SortTriangle(item, 3, false);
    EXPECT_EQ(down.lines[1], QLine(91, 14, 83, 14));
    EXPECT_EQ(down.lines[0].p1(), QPoint(88, 5));
    EXPECT_EQ(down.highlightCount, 2);
}

// A header over three named columns with colours that tell the parts apart.
class ListHeaderCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_model.setColumnCount(3);
        m_model.setHorizontalHeaderLabels({"Name", "Size", "Modified"});
        m_header.setModel(&m_model);
        QPalette colours = m_header.palette();
        colours.setColor(QPalette::Button, QColor(200, 200, 200));
        colours.setColor(QPalette::ButtonText, QColor(0, 0, 255));
        colours.setColor(QPalette::Light, QColor(255, 255, 255));
        colours.setColor(QPalette::Dark, QColor(128, 0, 0));
        m_header.setPalette(colours);
        m_header.resize(400, 24);
        for (int i = 0; i < 3; ++i) {
            m_header.resizeSection(i, 120);
        }
    }

    QImage Render() { return m_header.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    static bool SectionHas(const QImage& image, int left, int width, QColor colour) {
        return AreaHasColour(image, QRect(left, 0, width, image.height()), colour);
    }

    QStandardItemModel m_model;
    CListHeaderCtrl m_header;
};

TEST_F(ListHeaderCtrlTest, SetSortColumnReturnsThePreviousColumn) {
    EXPECT_EQ(m_header.SortColumn(), -1);
    EXPECT_EQ(m_header.SetSortColumn(1, true), -1);
    EXPECT_EQ(m_header.SetSortColumn(2, false), 1);
    EXPECT_EQ(m_header.SortColumn(), 2);
    EXPECT_FALSE(m_header.SortAscending());
}

TEST_F(ListHeaderCtrlTest, TheSortColumnShowsItsTriangleInBothDirections) {
    const int s = m_header.BlankWidth();
    ASSERT_GT(s, 1);
    const QRect item(120, 0, 120, 24);
    for (const bool ascending : {true, false}) {
        m_header.SetSortColumn(1, ascending);
        const QImage image = Render();
        const auto triangle = ListHeaderGeometry::SortTriangle(item, s, ascending);
        for (int i = 0; i < 3; ++i) {
            const QLine line = triangle.lines[i];
            const QColor expected =
                i < triangle.highlightCount ? QColor(255, 255, 255) : QColor(128, 0, 0);
            const QPoint middle((line.x1() + line.x2()) / 2, (line.y1() + line.y2()) / 2);
            // A sloped line passes within a pixel of its middle.
            bool found = false;
            for (int dx = -1; dx <= 1 && !found; ++dx) {
                found = image.pixelColor(middle + QPoint(dx, 0)) == expected;
            }
            EXPECT_TRUE(found) << ascending << " line " << i;
        }
        // The face inside the triangle stays the button colour.
        EXPECT_EQ(image.pixelColor(item.right() + 1 - 4 * s - 1, 2 * s + 2), QColor(200, 200, 200));
        // The other columns have no triangle.
        EXPECT_FALSE(SectionHas(image, 0, 120, QColor(128, 0, 0))) << ascending;
    }
}

TEST_F(ListHeaderCtrlTest, AnItemTooNarrowForTextShowsNone) {
    const int s = m_header.BlankWidth();
    m_header.SetSortColumn(0, true);
    m_header.SetSortColumn(1, true);
    ASSERT_TRUE(SectionHas(Render(), 0, 120, QColor(0, 0, 255)));
    // Column 0 is still drawn by the header, without room for text under four blanks.
    m_header.resizeSection(0, 4 * s);
    EXPECT_FALSE(SectionHas(Render(), 0, 4 * s, QColor(0, 0, 255)));
    // The sort column needs eight.
    m_header.resizeSection(1, 8 * s);
    EXPECT_FALSE(SectionHas(Render(), 4 * s, 8 * s, QColor(0, 0, 255)));
    m_header.resizeSection(1, 120);
    EXPECT_TRUE(SectionHas(Render(), 4 * s, 120, QColor(0, 0, 255)));
}

} // namespace
