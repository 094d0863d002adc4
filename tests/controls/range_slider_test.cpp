#include "controls/range_slider.h"

#include "controls/range_slider_look.h"
#include "controls/range_slider_model.h"

#include "tests/controls/colour_checks.h"
#include "tests/support/temp_dir.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

// ---------------------------------------------------------------------------------------------
// Model

TEST(RangeSliderModelTest, StartsEmptyAndInitPutsTheLeversAtBothEnds) {
    RangeSliderModel model;
    EXPECT_EQ(model.Maximum(), 0);
    EXPECT_EQ(model.Position(SliderLever::Right), 0);
    EXPECT_FALSE(model.Dragged());

    model.Init(500, 60);
    EXPECT_EQ(model.Minimum(), 0);
    EXPECT_EQ(model.Maximum(), 500);
    EXPECT_EQ(model.Position(SliderLever::Left), 0);
    EXPECT_EQ(model.Position(SliderLever::Right), 500);
    EXPECT_EQ(model.LeverBox(SliderLever::Left), QRect(-6, 0, 12, 12));
    EXPECT_EQ(model.LeverBox(SliderLever::Right), QRect(494, 0, 12, 12));
    EXPECT_TRUE(model.Shade(SliderLever::Left).isEmpty());
    EXPECT_TRUE(model.Shade(SliderLever::Right).isEmpty());
}

struct MoveCase {
    const char* name;
    int width;
    // Placed first, in this order, then `lever` is moved to `value`.
    int64_t left;
    int64_t right;
    SliderLever lever;
    int64_t value;
    int64_t expected;
};

TEST(RangeSliderModelTest, LeversKeepWithinTheBarAndTwelveUnitsApart) {
    const MoveCase cases[] = {
        {"left short of the right lever", 300, 0, 300, SliderLever::Left, 295, 288},
        {"right below the left lever", 300, 100, 300, SliderLever::Right, 50, 112},
        {"left inside its bounds", 500, 0, 500, SliderLever::Left, 123, 123},
        {"left at the gap exactly", 500, 0, 400, SliderLever::Left, 388, 388},
        {"left below the bar", 500, 50, 500, SliderLever::Left, -1, 0},
        {"right past the bar", 500, 0, 200, SliderLever::Right, 501, 500},
        {"left to the largest 64-bit value", 500, 0, 500, SliderLever::Left, kMax64, 488},
        {"right to the smallest 64-bit value", 500, 0, 500, SliderLever::Right, kMin64, 12},
        {"right to the largest 64-bit value", 500, 0, 250, SliderLever::Right, kMax64, 500},
        {"left to the smallest 64-bit value", 500, 40, 500, SliderLever::Left, kMin64, 0},
        // A bar narrower than the gap only keeps the levers on it.
        {"left on a narrow bar", 8, 0, 8, SliderLever::Left, 5, 0},
        {"right on a narrow bar", 8, 0, 8, SliderLever::Right, 2, 8},
        {"right on a bar of no width", 0, 0, 0, SliderLever::Right, 7, 0},
    };
    for (const MoveCase& c : cases) {
        RangeSliderModel model;
        model.Init(c.width, 60);
        model.SetPosition(SliderLever::Right, c.right);
        model.SetPosition(SliderLever::Left, c.left);
        model.SetPosition(c.lever, c.value);
        EXPECT_EQ(model.Position(c.lever), c.expected) << c.name;
        EXPECT_GE(model.Position(SliderLever::Left), 0) << c.name;
        EXPECT_LE(model.Position(SliderLever::Right), c.width) << c.name;
    }
}

TEST(RangeSliderModelTest, BoxesAndShadesFollowTheLevers) {
    RangeSliderModel model;
    model.Init(500, 60);
    EXPECT_TRUE(model.SetPosition(SliderLever::Left, 100));
    EXPECT_TRUE(model.SetPosition(SliderLever::Right, 400));
    EXPECT_FALSE(model.SetPosition(SliderLever::Right, 400)) << "standing still is no move";
    EXPECT_EQ(model.LeverBox(SliderLever::Left), QRect(94, 0, 12, 12));
    EXPECT_EQ(model.LeverBox(SliderLever::Right), QRect(394, 0, 12, 12));
    EXPECT_EQ(model.Shade(SliderLever::Left), QRect(0, 0, 100, 60));
    EXPECT_EQ(model.Shade(SliderLever::Right), QRect(400, 0, 100, 60));
}

TEST(RangeSliderModelTest, APointHitsALeverOnlyInsideItsBox) {
    RangeSliderModel model;
    model.Init(500, 60);
    model.SetPosition(SliderLever::Left, 100);
    model.SetPosition(SliderLever::Right, 112);
    struct HitCase {
        QPoint point;
        std::optional<SliderLever> expected;
    };
    const HitCase cases[] = {
        {{94, 0}, SliderLever::Left},   {{105, 11}, SliderLever::Left},
        {{93, 5}, std::nullopt},        {{100, 12}, std::nullopt},
        {{106, 5}, SliderLever::Right}, {{117, 5}, SliderLever::Right},
        {{118, 5}, std::nullopt},       {{100, -1}, std::nullopt},
    };
    for (const HitCase& c : cases) {
        EXPECT_EQ(model.LeverAt(c.point), c.expected) << c.point.x() << "," << c.point.y();
    }
}

TEST(RangeSliderModelTest, ADraggedLeverFollowsThePointerWithinItsBounds) {
    RangeSliderModel model;
    model.Init(500, 60);
    model.SetPosition(SliderLever::Left, 100);
    model.SetPosition(SliderLever::Right, 300);

    EXPECT_FALSE(model.BeginDrag(QPoint(200, 5))) << "between the levers";
    EXPECT_FALSE(model.Drag(QPoint(250, 5)));
    EXPECT_EQ(model.Position(SliderLever::Left), 100);

    // Pressed 3 pixels right of the lever's centre: the lever keeps that offset.
    ASSERT_TRUE(model.BeginDrag(QPoint(103, 5)));
    EXPECT_EQ(model.Dragged(), SliderLever::Left);
    EXPECT_TRUE(model.Drag(QPoint(153, 40)));
    EXPECT_EQ(model.Position(SliderLever::Left), 150);
    EXPECT_TRUE(model.Drag(QPoint(900, 5)));
    EXPECT_EQ(model.Position(SliderLever::Left), 288);
    // Back where the pointer was: the lever did not drift while held at its bound.
    EXPECT_TRUE(model.Drag(QPoint(153, 5)));
    EXPECT_EQ(model.Position(SliderLever::Left), 150);
    model.EndDrag();
    EXPECT_FALSE(model.Drag(QPoint(10, 5)));
    EXPECT_EQ(model.Position(SliderLever::Left), 150);

    ASSERT_TRUE(model.BeginDrag(QPoint(300, 5)));
    EXPECT_EQ(model.Dragged(), SliderLever::Right);
    EXPECT_TRUE(model.Drag(QPoint(-1000, 5)));
    EXPECT_EQ(model.Position(SliderLever::Right), 162);
    EXPECT_TRUE(model.Drag(QPoint(5000, 5)));
    EXPECT_EQ(model.Position(SliderLever::Right), 500);
}

// ---------------------------------------------------------------------------------------------
// Look

TEST(RangeSliderLookTest, TheColourKeyTakesBlackTo0x323232) {
    const struct {
        QRgb pixel;
        bool keyed;
    } cases[] = {
        {qRgb(0, 0, 0), true},           {qRgb(0x32, 0x32, 0x32), true},
        {qRgb(0x32, 0x00, 0x10), true},  {qRgb(0x33, 0x32, 0x32), false},
        {qRgb(0x32, 0x32, 0x33), false}, {qRgb(0xff, 0xff, 0xff), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RangeSliderLook::IsKeyed(c.pixel), c.keyed) << std::hex << c.pixel;
    }
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(0x20, 0x20, 0x20));
    picture.setPixel(1, 0, qRgb(0x80, 0x10, 0x10));
    const QImage keyed = RangeSliderLook::ColourKeyed(picture);
    EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
    EXPECT_EQ(keyed.pixel(1, 0), qRgba(0x80, 0x10, 0x10, 0xff));
    EXPECT_TRUE(RangeSliderLook::ColourKeyed(QImage()).isNull());
}

// ---------------------------------------------------------------------------------------------
// Drawing and the mouse

const QColor kBar(200, 40, 40);
const QColor kSide(40, 200, 40);
const QColor kLever(40, 40, 220);

// Pictures that tell their parts apart: a plain bar, a side picture whose odd lines are keyed
// away, a lever whose top left pixel is keyed away.
struct PictureFiles {
    PictureFiles() {
        QImage bar(10, 6, QImage::Format_RGB32);
        bar.fill(kBar);
        QImage side(1, 60, QImage::Format_RGB32);
        for (int y = 0; y < 60; ++y) {
            side.setPixelColor(0, y, y % 2 == 0 ? kSide : QColor(0x30, 0x10, 0x00));
        }
        QImage lever(12, 12, QImage::Format_RGB32);
        lever.fill(kLever);
        lever.setPixelColor(0, 0, Qt::black);
        EXPECT_TRUE(bar.save(Path("bar.bmp"), "BMP"));
        EXPECT_TRUE(side.save(Path("side.bmp"), "BMP"));
        EXPECT_TRUE(lever.save(Path("lever.bmp"), "BMP"));
    }
    QString Path(const char* name) const {
        return QString::fromStdString(folder.File(name).string());
    }
    TempDir folder;
};

QImage Rendered(const CRangeSlider& slider) {
    QImage image(slider.Model().Width(), slider.Model().Height(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    slider.Draw(painter);
    painter.end();
    return image;
}

class RangeSliderTest : public ::testing::Test {
protected:
    RangeSliderTest() {
        slider.Init(500, 60);
        slider.SetPosition(100, SliderLever::Left);
        slider.SetPosition(400, SliderLever::Right);
    }
    CRangeSlider slider;
};

TEST_F(RangeSliderTest, InitSizesTheSliderOneUnitAPixel) {
    EXPECT_EQ(slider.size(), QSize(500, 60));
    EXPECT_EQ(slider.sizeHint(), QSize(500, 60));
    EXPECT_EQ(slider.Position(SliderLever::Left), 100);
    EXPECT_EQ(slider.Position(SliderLever::Right), 400);
}

TEST_F(RangeSliderTest, DrawsTheBarTheKeyedSidesOverTheShadesAndTheLevers) {
    const PictureFiles files;
    ASSERT_TRUE(
        slider.LoadBitmaps(files.Path("bar.bmp"), files.Path("side.bmp"), files.Path("lever.bmp")));
    const QImage image = Rendered(slider);
    // Between the levers, below their boxes: the bar, stretched.
    EXPECT_TRUE(NearColour(image.pixelColor(250, 30), kBar));
    EXPECT_TRUE(NearColour(image.pixelColor(499, 58), kSide)) << "the side reaches the end";
    // Over the shades the side's even lines, and the bar through its keyed odd lines.
    for (const int x : {20, 470}) {
        EXPECT_TRUE(NearColour(image.pixelColor(x, 30), kSide)) << x;
        EXPECT_TRUE(NearColour(image.pixelColor(x, 31), kBar)) << x;
    }
    // The lever pictures in their boxes, the keyed corner showing what lies below.
    EXPECT_TRUE(NearColour(image.pixelColor(100, 6), kLever));
    EXPECT_TRUE(NearColour(image.pixelColor(400, 6), kLever));
    EXPECT_TRUE(NearColour(image.pixelColor(94, 0), kSide));
    EXPECT_TRUE(NearColour(image.pixelColor(394, 0), kBar));

    slider.FreeBitmaps();
    EXPECT_FALSE(slider.HasBarPicture() || slider.HasSidePicture() || slider.HasLeverPicture());
}

TEST_F(RangeSliderTest, MissingPicturesAreDrawnPlainly) {
    const PictureFiles files;
    // Only the bar is missing: the other two are still used.
    EXPECT_FALSE(slider.LoadBitmaps(files.Path("none.bmp"), files.Path("side.bmp"),
                                    files.Path("lever.bmp")));
    EXPECT_FALSE(slider.HasBarPicture());
    EXPECT_TRUE(slider.HasSidePicture() && slider.HasLeverPicture());
    QImage image = Rendered(slider);
    EXPECT_EQ(image.pixelColor(250, 30), RangeSliderLook::PlainBarFace());
    EXPECT_EQ(image.pixelColor(250, 0), RangeSliderLook::PlainBarFrame());
    EXPECT_TRUE(NearColour(image.pixelColor(100, 6), kLever));

    EXPECT_FALSE(slider.LoadBitmaps(QString(), files.Path("none.bmp"), QString()));
    image = Rendered(slider);
    const QColor face = image.pixelColor(250, 30);
    EXPECT_EQ(face, RangeSliderLook::PlainBarFace());
    // The veil darkens the shades, on every line.
    for (const int y : {30, 31}) {
        const QColor shaded = image.pixelColor(20, y);
        EXPECT_LT(shaded.lightness(), face.lightness() - 20) << y;
        EXPECT_EQ(image.pixelColor(470, y), shaded) << y;
    }
    // The plain lever: its colour at the top of the box, not beside its point.
    EXPECT_EQ(image.pixelColor(100, 2), RangeSliderLook::PlainLever());
    EXPECT_NE(image.pixelColor(95, 10), RangeSliderLook::PlainLever());
}

TEST_F(RangeSliderTest, DraggingALeverMovesItReportsItAndShowsTheDragCursor) {
    slider.SetDragCursor(QCursor(Qt::SizeHorCursor));
    QSignalSpy moved(&slider, &CRangeSlider::LeverMoved);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(400, 5));
    EXPECT_EQ(slider.Model().Dragged(), SliderLever::Right);
    EXPECT_EQ(slider.cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(&slider, QPoint(450, 20));
    QTest::mouseMove(&slider, QPoint(700, 20));
    // Held at the end: no new report.
    QTest::mouseMove(&slider, QPoint(800, 20));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(800, 20));
    EXPECT_FALSE(slider.Model().Dragged());
    EXPECT_EQ(slider.cursor().shape(), Qt::ArrowCursor);
    ASSERT_EQ(moved.size(), 2);
    EXPECT_EQ(moved[0][0].value<SliderLever>(), SliderLever::Right);
    EXPECT_EQ(moved[0][1].toLongLong(), 450);
    EXPECT_EQ(moved[1][1].toLongLong(), 500);
    EXPECT_EQ(slider.Position(SliderLever::Right), 500);
    // SetPosition is the caller's own move, never reported.
    slider.SetPosition(20, SliderLever::Left);
    EXPECT_EQ(moved.size(), 2);
}

TEST_F(RangeSliderTest, AMoveWithoutTheButtonEndsTheDrag) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(100, 5));
    ASSERT_TRUE(slider.Model().Dragged());
    // The release went to another window.
    QMouseEvent lost(QEvent::MouseMove, QPointF(150, 5), slider.mapToGlobal(QPointF(150, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&slider, &lost);
    EXPECT_FALSE(slider.Model().Dragged());
    EXPECT_EQ(slider.Position(SliderLever::Left), 100);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(150, 5));
}

} // namespace
