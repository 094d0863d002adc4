#include "controls/program_pictures.h"

#include "controls/sector_map_geometry.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

struct StripCase {
    PictureStrip strip;
    const char* name;
    int size;
    int count;
    // Pictures that stand for "nothing" and must stay fully transparent.
    std::set<int> empty;
};

const StripCase kCases[] = {
    {PictureStrip::ToolbarNormal, "ToolbarNormal", 48, 19, {}},
    {PictureStrip::ToolbarHot, "ToolbarHot", 48, 19, {}},
    {PictureStrip::ToolbarDisabled, "ToolbarDisabled", 48, 19, {}},
    {PictureStrip::Menu, "Menu", 16, 25, {}},
    {PictureStrip::DriveTree, "DriveTree", 16, 6, {}},
    {PictureStrip::FolderTree, "FolderTree", 16, 5, {}},
    {PictureStrip::CheckStates, "CheckStates", 16, 4, {0}},
    {PictureStrip::ListSmall, "ListSmall", 16, 4, {}},
    {PictureStrip::ListLarge, "ListLarge", 32, 4, {}},
    {PictureStrip::LogRows, "LogRows", 16, 7, {0}},
    {PictureStrip::ActionStandardScan, "ActionStandardScan", 40, 4, {}},
    {PictureStrip::ActionAdvanceScan, "ActionAdvanceScan", 40, 4, {}},
    {PictureStrip::ActionImageCdDvd, "ActionImageCdDvd", 40, 4, {}},
    {PictureStrip::ActionImageDisk, "ActionImageDisk", 40, 4, {}},
    {PictureStrip::ActionImageVolume, "ActionImageVolume", 40, 4, {}},
    {PictureStrip::ActionRawRecovery, "ActionRawRecovery", 40, 4, {}},
    {PictureStrip::ActionSearchLogicalDrive, "ActionSearchLogicalDrive", 40, 4, {}},
    {PictureStrip::BalloonIcon, "BalloonIcon", 16, 1, {}},
    {PictureStrip::SectorMapLegend, "SectorMapLegend", 16, 4, {}},
    {PictureStrip::ImagingCounters, "ImagingCounters", 32, 1, {}},
    {PictureStrip::LeverCursor, "LeverCursor", 32, 1, {}},
};

// The action strips in the order of the hover button's states.
const PictureStrip kActionStrips[] = {
    PictureStrip::ActionStandardScan,       PictureStrip::ActionAdvanceScan,
    PictureStrip::ActionImageCdDvd,         PictureStrip::ActionImageDisk,
    PictureStrip::ActionImageVolume,        PictureStrip::ActionRawRecovery,
    PictureStrip::ActionSearchLogicalDrive,
};
enum ActionState { kNormal, kHover, kPressed, kDisabled };

QImage Pixels(PictureStrip strip, int index) {
    return StripPicture(strip, index).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels whose alpha is at least the given value.
int PixelsAtLeast(const QImage& image, int alpha) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) >= alpha ? 1 : 0;
        }
    }
    return count;
}

bool HasClearPixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                return true;
            }
        }
    }
    return false;
}

// Mean HSV saturation of the visible pixels, weighted by their alpha.
double MeanSaturation(const QImage& image) {
    double weighted = 0;
    double weights = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = QColor::fromRgba(image.pixel(x, y));
            weighted += colour.hsvSaturationF() * colour.alphaF();
            weights += colour.alphaF();
        }
    }
    return weights > 0 ? weighted / weights : 0;
}

// Mean HSV value of the visible pixels, weighted by their alpha.
double MeanValue(const QImage& image) {
    double weighted = 0;
    double weights = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = QColor::fromRgba(image.pixel(x, y));
            weighted += colour.valueF() * colour.alphaF();
            weights += colour.alphaF();
        }
    }
    return weights > 0 ? weighted / weights : 0;
}

// Pixels whose alpha in moved equals the alpha in original at the place moved from (or zero
// where that lies outside); every pixel when moved is original shifted by (dx, dy).
int SameCoverage(const QImage& original, const QImage& moved, int dx, int dy) {
    int same = 0;
    for (int y = 0; y < moved.height(); ++y) {
        for (int x = 0; x < moved.width(); ++x) {
            const bool inside = original.valid(x - dx, y - dy);
            const int expected = inside ? qAlpha(original.pixel(x - dx, y - dy)) : 0;
            same += qAlpha(moved.pixel(x, y)) == expected ? 1 : 0;
        }
    }
    return same;
}

TEST(ProgramPicturesTest, StripsHaveTheirSizeAndCountOnATransparentGround) {
    for (const StripCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StripPictureSize(c.strip), c.size);
        EXPECT_EQ(StripPictureCount(c.strip), c.count);
        const QPixmap strip = StripImage(c.strip);
        ASSERT_FALSE(strip.isNull());
        EXPECT_EQ(strip.width(), c.size * c.count);
        EXPECT_EQ(strip.height(), c.size);
        EXPECT_TRUE(strip.hasAlphaChannel());
        for (int i = 0; i < c.count; ++i) {
            const QPixmap picture = StripPicture(c.strip, i);
            ASSERT_FALSE(picture.isNull()) << i;
            EXPECT_EQ(picture.size(), QSize(c.size, c.size)) << i;
        }
    }
}

TEST(ProgramPicturesTest, EveryPictureIsDrawnAndDiffersFromTheOthersOfItsStrip) {
    for (const StripCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<QImage> pictures;
        for (int i = 0; i < c.count; ++i) {
            pictures.push_back(Pixels(c.strip, i));
            if (c.empty.count(i) != 0) {
                EXPECT_EQ(PixelsAtLeast(pictures.back(), 1), 0) << i;
            } else {
                EXPECT_GT(PixelsAtLeast(pictures.back(), 255), 0) << i;
                // The ground shows between shapes: transparency, not a keyed colour.
                EXPECT_TRUE(HasClearPixel(pictures.back())) << i;
            }
            for (int j = 0; j < i; ++j) {
                EXPECT_NE(pictures[j], pictures[i]) << j << " and " << i;
            }
        }
    }
}

TEST(ProgramPicturesTest, HotAndDisabledToolbarPicturesComeFromTheNormalOnes) {
    const int count = StripPictureCount(PictureStrip::ToolbarNormal);
    ASSERT_EQ(StripPictureCount(PictureStrip::ToolbarHot), count);
    ASSERT_EQ(StripPictureCount(PictureStrip::ToolbarDisabled), count);
    for (int i = 0; i < count; ++i) {
        const QImage normal = Pixels(PictureStrip::ToolbarNormal, i);
        const QImage hot = Pixels(PictureStrip::ToolbarHot, i);
        const QImage disabled = Pixels(PictureStrip::ToolbarDisabled, i);
        EXPECT_NE(hot, normal) << i;
        EXPECT_GT(MeanSaturation(hot), MeanSaturation(normal)) << i;
        EXPECT_LT(MeanSaturation(disabled), MeanSaturation(normal)) << i;
        // Same shapes: a state changes colours, never the outline of the picture.
        EXPECT_EQ(SameCoverage(normal, disabled, 0, 0), normal.width() * normal.height()) << i;
    }
}

TEST(ProgramPicturesTest, ActionButtonStatesComeFromTheNormalPicture) {
    for (PictureStrip strip : kActionStrips) {
        SCOPED_TRACE(static_cast<int>(strip));
        ASSERT_EQ(StripPictureCount(strip), 4);
        const QImage normal = Pixels(strip, kNormal);
        const QImage hover = Pixels(strip, kHover);
        const QImage pressed = Pixels(strip, kPressed);
        const QImage disabled = Pixels(strip, kDisabled);
        const int all = normal.width() * normal.height();
        EXPECT_GT(MeanSaturation(hover), MeanSaturation(normal));
        EXPECT_GT(MeanValue(hover), MeanValue(normal));
        EXPECT_LT(MeanValue(pressed), MeanValue(normal));
        // Pressed sinks in: the same shape one pixel to the right and down.
        EXPECT_EQ(SameCoverage(normal, pressed, 1, 1), all);
        EXPECT_LT(SameCoverage(normal, pressed, 0, 0), all);
        EXPECT_LT(MeanSaturation(disabled), MeanSaturation(normal));
        EXPECT_GT(MeanValue(disabled), MeanValue(normal));
        EXPECT_EQ(SameCoverage(normal, hover, 0, 0), all);
        EXPECT_EQ(SameCoverage(normal, disabled, 0, 0), all);
    }
}

TEST(ProgramPicturesTest, ActionPicturesDifferFromOneAnother) {
    std::vector<QImage> normals;
    for (PictureStrip strip : kActionStrips) {
        normals.push_back(Pixels(strip, kNormal));
    }
    for (size_t i = 0; i < normals.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            EXPECT_NE(normals[j], normals[i]) << j << " and " << i;
        }
    }
}

TEST(ProgramPicturesTest, LegendCellsShowTheSectorMapsColoursInsideItsGridColour) {
    const SectorMapCellState states[] = {
        SectorMapCellState::NotProcessed,
        SectorMapCellState::Done,
        SectorMapCellState::Reading,
        SectorMapCellState::Failed,
    };
    for (int i = 0; i < 4; ++i) {
        const QImage cell = Pixels(PictureStrip::SectorMapLegend, i);
        EXPECT_EQ(cell.pixelColor(8, 8), SectorMapGeometry::StateColour(states[i])) << i;
        EXPECT_EQ(cell.pixelColor(1, 8), SectorMapGeometry::GridColour()) << i;
        EXPECT_EQ(cell.pixelColor(8, 13), SectorMapGeometry::GridColour()) << i;
    }
}

TEST(ProgramPicturesTest, StartPanelPictureIsDrawnOnATransparentGround) {
    const QImage panel = StartPanelPicture().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(panel.isNull());
    EXPECT_EQ(panel.size(), QSize(kStartPanelPictureWidth, kStartPanelPictureHeight));
    EXPECT_TRUE(HasClearPixel(panel));
    // Something drawn in each third: the drive list, the scan and the recovery.
    const int third = panel.width() / 3;
    for (int i = 0; i < 3; ++i) {
        EXPECT_GT(PixelsAtLeast(panel.copy(i * third, 0, third, panel.height()), 255), 1000) << i;
    }
}

TEST(ProgramPicturesTest, TheLeverCursorPointsBothWaysFromItsMiddle) {
    // The slider takes the middle as the cursor's hot spot: it must lie on the arrow, with a
    // head on either side of it and clear ground above and below.
    const QImage cursor = Pixels(PictureStrip::LeverCursor, 0);
    for (const QPoint opaque : {QPoint(16, 16), QPoint(5, 16), QPoint(26, 16)}) {
        EXPECT_EQ(qAlpha(cursor.pixel(opaque)), 255) << opaque.x();
    }
    for (const QPoint clear : {QPoint(16, 3), QPoint(16, 28)}) {
        EXPECT_EQ(qAlpha(cursor.pixel(clear)), 0) << clear.y();
    }
}

TEST(ProgramPicturesTest, IndexesOutsideAStripGiveNoPicture) {
    for (const StripCase& c : kCases) {
        SCOPED_TRACE(c.name);
        for (int index : {-1, c.count, c.count + 1, 1 << 30}) {
            EXPECT_TRUE(StripPicture(c.strip, index).isNull()) << index;
        }
    }
}

} // namespace
