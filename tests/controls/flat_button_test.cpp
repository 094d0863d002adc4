#include "controls/flat_button.h"

#include "tests/controls/colour_checks.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlue(100, 150, 255);
const QColor kOrange(201, 145, 34);
const QColor kFace(212, 208, 200);

struct GradientCase {
    const char* what;
    FlatButtonState state;
    QColor top;
    QColor bottom;
};

TEST(FlatButtonLookTest, GradientFollowsTheState) {
    const FlatButtonLook look;
    const GradientCase cases[] = {
        {"normal", {true, false, false}, kWhite, kBlue},
        {"hovered", {true, false, true}, kWhite, kOrange},
        {"pressed", {true, true, false}, kBlue, kWhite},
        {"pressed while hovered", {true, true, true}, kOrange, kWhite},
        {"disabled", {false, false, false}, kWhite, kFace},
        {"disabled ignores hover", {false, false, true}, kWhite, kFace},
        {"disabled is never pressed", {false, true, true}, kWhite, kFace},
    };
    for (const GradientCase& c : cases) {
        const FlatButtonLook::Gradient gradient = look.GradientFor(c.state, kFace);
        EXPECT_EQ(gradient.top, c.top) << c.what;
        EXPECT_EQ(gradient.bottom, c.bottom) << c.what;
    }
}

TEST(FlatButtonLookTest, DisabledFaceIsOpaqueAndColoursCanBeReplaced) {
    FlatButtonLook look;
    EXPECT_EQ(look.GradientFor({false, false, false}, QColor(10, 20, 30, 40)).bottom.alpha(), 255);
    look.SetColors(QColor(1, 2, 3), QColor(4, 5, 6, 128), QColor(7, 8, 9));
    EXPECT_EQ(look.GradientFor({true, false, false}, kFace).bottom, QColor(4, 5, 6, 128));
    EXPECT_EQ(look.GradientFor({true, true, true}, kFace).top, QColor(7, 8, 9));
    EXPECT_EQ(look.Light(), QColor(1, 2, 3));
}

struct ThemeCase {
    int major;
    const char* scheme;
    bool found;
    bool usable;
};

TEST(FlatButtonLookTest, VisualStylesOnlyOnNewerSystemsWithAModernScheme) {
    const ThemeCase cases[] = {
        {5, "Luna", true, true}, {4, "Luna", true, false},  {6, "Windows Standard", true, false},
        {6, "", true, true},     {6, "Luna", false, false},
    };
    for (const ThemeCase& c : cases) {
        EXPECT_EQ(VisualStylesUsable(c.major, c.scheme, c.found), c.usable)
            << c.major << " " << c.scheme << " " << c.found;
    }
}

// A shown window holding one button at (10, 10), 100 x 30, in known colours.
class FlatButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_window.resize(200, 100);
        m_button = new CFlatButton(&m_window);
        m_button->setGeometry(10, 10, 100, 30);
        QPalette colours = m_button->palette();
        colours.setColor(QPalette::Button, kFace);
        colours.setColor(QPalette::Shadow, QColor(0, 0, 0));
        colours.setColor(QPalette::ButtonText, QColor(0, 0, 0));
        m_button->setPalette(colours);
        // Away from where an earlier test left it, so the button starts without hover.
        QCursor::setPos(QPoint(2000, 2000));
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    QImage Render() const {
        return m_button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // The colours just inside the edge at the top and the bottom of the gradient.
    void ExpectGradient(const QColor& top, const QColor& bottom, const char* what) const {
        const QImage image = Render();
        EXPECT_PRED2(NearColour, image.pixelColor(50, 2), top) << what;
        EXPECT_PRED2(NearColour, image.pixelColor(50, 27), bottom) << what;
    }

    QWidget m_window;
    CFlatButton* m_button = nullptr;
};

TEST_F(FlatButtonTest, DrawsAFlatFrameRoundTheGradient) {
    const QImage image = Render();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(99, 29), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(1, 15), kFace);
    ExpectGradient(kWhite, kBlue, "normal");
    EXPECT_FALSE(m_button->IsThemed());
}

TEST_F(FlatButtonTest, HoverTurnsOrangeAndEndsWhenTheCursorLeaves) {
    QTest::mouseMove(&m_window, QPoint(150, 80));
    QTest::mouseMove(m_button, QPoint(50, 15));
    ASSERT_TRUE(m_button->IsHovered());
    ExpectGradient(kWhite, kOrange, "hovered");
    // Off the button and resting: no further move over it is needed.
    QTest::mouseMove(&m_window, QPoint(150, 80));
    EXPECT_FALSE(m_button->IsHovered());
    ExpectGradient(kWhite, kBlue, "left");
}

TEST_F(FlatButtonTest, PressedRunsFromTheStateColourToWhite) {
    QTest::mouseMove(m_button, QPoint(50, 15));
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(50, 15));
    ExpectGradient(kOrange, kWhite, "pressed while hovered");
    // Dragged off while held: still down, no longer hovered.
    QTest::mouseMove(m_button, QPoint(150, 15));
    EXPECT_FALSE(m_button->IsHovered());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(150, 15));
}

TEST_F(FlatButtonTest, ADisabledButtonIgnoresHover) {
    QTest::mouseMove(m_button, QPoint(50, 15));
    m_button->setEnabled(false);
    ExpectGradient(kWhite, kFace, "disabled after hover");
    QTest::mouseMove(m_button, QPoint(60, 15));
    EXPECT_FALSE(m_button->IsHovered());
    ExpectGradient(kWhite, kFace, "disabled, moved over");
}

TEST_F(FlatButtonTest, DoubleClickPressesTwice) {
    QSignalSpy clicks(m_button, &QPushButton::clicked);
    // What the window system sends for a double click: the second press comes as a double click.
    const QPoint at(50, 15);
    QTest::mousePress(m_button, Qt::LeftButton, {}, at);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, at);
    QTest::mouseDClick(m_button, Qt::LeftButton, {}, at);
    EXPECT_TRUE(m_button->isDown());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, at);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(FlatButtonTest, DefaultButtonHasAThickFrameAndFocusADottedRectangle) {
    EXPECT_EQ(Render().pixelColor(1, 1), kFace);
    m_button->setDefault(true);
    EXPECT_EQ(Render().pixelColor(1, 1), QColor(0, 0, 0));
    m_window.activateWindow();
    m_button->setFocus();
    ASSERT_TRUE(m_button->hasFocus());
    const QImage focused = Render();
    // The dotted rectangle starts with a dot at its corner, three pixels in.
    EXPECT_EQ(focused.pixelColor(3, 3), QColor(0, 0, 0));
}

} // namespace
