#include "controls/hover_button.h"

#include "controls/hover_button_pictures.h"

#include "tests/controls/colour_checks.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct PictureCase {
    bool enabled;
    bool pressed;
    bool hovered;
    HoverPicture expected;
};

TEST(HoverButtonPicturesTest, StateChoosesThePicture) {
    const PictureCase cases[] = {
        {true, false, false, HoverPicture::Normal},   {true, false, true, HoverPicture::Hover},
        {true, true, true, HoverPicture::Pressed},    {true, true, false, HoverPicture::Pressed},
        {false, false, true, HoverPicture::Disabled}, {false, true, false, HoverPicture::Disabled},
    };
    for (const PictureCase& c : cases) {
        EXPECT_EQ(HoverButtonPictures::PictureFor(c.enabled, c.pressed, c.hovered), c.expected)
            << c.enabled << c.pressed << c.hovered;
    }
}

TEST(HoverButtonPicturesTest, AStripOfFourPicturesIsCutIntoQuarters) {
    const QSize strip(400, 30);
    EXPECT_EQ(HoverButtonPictures::PictureSize(strip), QSize(100, 30));
    EXPECT_EQ(HoverButtonPictures::SourceRect(strip, HoverPicture::Disabled),
              QRect(300, 0, 100, 30));
    EXPECT_EQ(HoverButtonPictures::SourceRect(strip, HoverPicture::Hover), QRect(100, 0, 100, 30));
    // A width that is not a multiple of four drops the remainder.
    EXPECT_EQ(HoverButtonPictures::PictureSize(QSize(403, 30)), QSize(100, 30));
    EXPECT_TRUE(HoverButtonPictures::PictureSize(QSize(3, 30)).isEmpty());
    EXPECT_TRUE(HoverButtonPictures::SourceRect(QSize(3, 30), HoverPicture::Normal).isEmpty());
}

const QColor kPictureColours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};

QPixmap FourColourStrip() {
    QPixmap strip(400, 30);
    QPainter painter(&strip);
    for (int i = 0; i < 4; ++i) {
        painter.fillRect(i * 100, 0, 100, 30, kPictureColours[i]);
    }
    return strip;
}

class HoverButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.resize(300, 100);
        m_button = new CHoverButton(&m_window);
        m_button->move(10, 10);
        ASSERT_TRUE(m_button->LoadBitmaps(FourColourStrip()));
        // Away from where an earlier test left it, so the button starts without hover.
        QCursor::setPos(QPoint(2000, 2000));
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    QColor Shown() const { return m_button->grab().toImage().pixelColor(50, 15); }

    QWidget m_window;
    CHoverButton* m_button = nullptr;
};

TEST_F(HoverButtonTest, LoadingAStripSizesTheButtonToOnePicture) {
    EXPECT_EQ(m_button->size(), QSize(100, 30));
    EXPECT_EQ(m_button->sizeHint(), QSize(100, 30));
    EXPECT_FALSE(m_button->LoadBitmaps(QPixmap()));
    EXPECT_EQ(m_button->size(), QSize(100, 30));
}

TEST_F(HoverButtonTest, ThePictureFollowsHoverPressLeaveAndDisable) {
    QTest::mouseMove(&m_window, QPoint(250, 80));
    EXPECT_EQ(Shown(), QColor(Qt::red));
    // The first move may only bring the cursor into the window.
    QTest::mouseMove(m_button, QPoint(49, 15));
    QTest::mouseMove(m_button, QPoint(50, 15));
    EXPECT_EQ(Shown(), QColor(Qt::green));
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(50, 15));
    EXPECT_EQ(Shown(), QColor(Qt::blue));
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(50, 15));
    QTest::mouseMove(&m_window, QPoint(250, 80));
    EXPECT_EQ(Shown(), QColor(Qt::red));
    m_button->setEnabled(false);
    EXPECT_EQ(Shown(), QColor(Qt::yellow));
    QTest::mouseMove(m_button, QPoint(50, 15));
    EXPECT_FALSE(m_button->IsHovered());
}

} // namespace
