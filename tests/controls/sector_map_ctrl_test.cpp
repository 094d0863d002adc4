#include "controls/sector_map_ctrl.h"

#include "controls/sector_map_geometry.h"
#include "controls/sector_map_model.h"
#include "platform/jobs/job_messages.h"

#include "tests/controls/colour_checks.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr char16_t kTooltipFormat[] = u"Starting Sector:%llu, Ending Sector:%llu";
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kDarkBlue(20, 60, 100);
const QColor kLightBlue(169, 185, 247);
const QColor kRed(255, 0, 0);

// ---- Geometry ---------------------------------------------------------------------------------

TEST(SectorMapGeometryTest, CellsAreTenByEightPixelsRowByRow) {
    struct Case {
        int row;
        int column;
        int index;
        QRect rect;
    };
    const Case cases[] = {
        {0, 0, 0, QRect(0, 0, 10, 8)},
        {0, 74, 74, QRect(740, 0, 10, 8)},
        {1, 0, 75, QRect(0, 8, 10, 8)},
        {39, 74, 2999, QRect(740, 312, 10, 8)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SectorMapGeometry::CellIndex(c.row, c.column), c.index) << c.index;
        EXPECT_EQ(SectorMapGeometry::CellRect(c.index), c.rect) << c.index;
    }
    // The last cell ends where the closing lines are drawn.
    const QRect last = SectorMapGeometry::CellRect(2999);
    EXPECT_EQ(last.x() + last.width(), 750);
    EXPECT_EQ(last.y() + last.height(), 320);
    EXPECT_EQ(SectorMapGeometry::PictureSize(), QSize(751, 321));
}

TEST(SectorMapGeometryTest, CellsOutsideTheMapHaveNoIndexAndNoRectangle) {
    const std::pair<int, int> outside[] = {{40, 0}, {0, 75}, {-1, 0}, {0, -1}, {40, 75}};
    for (const auto& [row, column] : outside) {
        EXPECT_EQ(SectorMapGeometry::CellIndex(row, column), -1) << row << "," << column;
    }
    for (int index : {-1, 3000, std::numeric_limits<int>::max()}) {
        EXPECT_TRUE(SectorMapGeometry::CellRect(index).isNull()) << index;
        EXPECT_TRUE(SectorMapGeometry::CellInterior(index).isNull()) << index;
    }
}

TEST(SectorMapGeometryTest, CellAtAPointCountsGridLinesToTheCellRightAndBelowThem) {
    struct Case {
        QPoint point;
        int index;
    };
    const Case cases[] = {
        {{0, 0}, 0},        {{9, 7}, 0},        {{10, 0}, 1},     {{0, 8}, 75},
        {{740, 312}, 2999}, {{749, 319}, 2999}, {{750, 319}, -1}, {{749, 320}, -1},
        {{750, 320}, -1},   {{-1, 0}, -1},      {{0, -1}, -1},    {{-5, -5}, -1},
        {{-9, 3}, -1},      {{5000, 4}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SectorMapGeometry::CellAt(c.point), c.index) << c.point.x() << "," << c.point.y();
    }
}

TEST(SectorMapGeometryTest, EachStateHasItsColour) {
    EXPECT_EQ(SectorMapGeometry::StateColour(SectorMapCellState::NotProcessed), kWhite);
    EXPECT_EQ(SectorMapGeometry::StateColour(SectorMapCellState::Reading), kDarkBlue);
    EXPECT_EQ(SectorMapGeometry::StateColour(SectorMapCellState::Done), kLightBlue);
    EXPECT_EQ(SectorMapGeometry::StateColour(SectorMapCellState::Failed), kRed);
}

// ---- Model ------------------------------------------------------------------------------------

TEST(SectorMapModelTest, MessagesSetTheirCellsStateAndTheLastOneHolds) {
    SectorMapModel model;
    EXPECT_EQ(model.Apply(WM_SECTORMAP_READING, 0, 0), 0);
    EXPECT_EQ(model.State(0), SectorMapCellState::Reading);
    EXPECT_EQ(model.Apply(WM_SECTORMAP_FAILED, 0, 0), 0);
    EXPECT_EQ(model.State(0), SectorMapCellState::Failed);
    EXPECT_EQ(model.Apply(WM_SECTORMAP_DONE, 39, 74), 2999);
    EXPECT_EQ(model.State(2999), SectorMapCellState::Done);
    EXPECT_EQ(model.State(1), SectorMapCellState::NotProcessed);
}

TEST(SectorMapModelTest, OtherMessagesAndCellsOutsideChangeNothing) {
    SectorMapModel model;
    EXPECT_EQ(model.Apply(WM_IMAGE_START, 0, 0), -1);
    EXPECT_EQ(model.Apply(WM_SECTORMAP_DONE, 40, 0), -1);
    EXPECT_EQ(model.Apply(WM_SECTORMAP_DONE, 0, 75), -1);
    EXPECT_EQ(model.Apply(WM_SECTORMAP_FAILED, -1, -1), -1);
    for (int index = 0; index < SectorMapGeometry::kCellCount; ++index) {
        ASSERT_EQ(model.State(index), SectorMapCellState::NotProcessed) << index;
    }
    EXPECT_EQ(model.State(-1), SectorMapCellState::NotProcessed);
    EXPECT_EQ(model.State(3000), SectorMapCellState::NotProcessed);
}

TEST(SectorMapModelTest, SectorsPerBlockCoverTheRegionWithTheCells) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    const std::pair<uint64_t, uint64_t> cases[] = {
        {0, 0},    {1, 1},    {2999, 1}, {3000, 1},
        {3001, 2}, {6000, 2}, {6001, 3}, {kMax, 6148914691236518},
    };
    for (const auto& [region, perBlock] : cases) {
        EXPECT_EQ(SectorMapModel::SectorsPerBlockFor(region), perBlock) << region;
    }
}

TEST(SectorMapModelTest, CellSectorsCountFromOneByTheRunsBlockSize) {
    using Sectors = SectorMapModel::CellSectors;
    SectorMapModel model;
    EXPECT_FALSE(model.Sectors(0).has_value());
    EXPECT_TRUE(model.TooltipText(kTooltipFormat, 0).empty());

    model.SetSectorsPerBlock(100);
    EXPECT_EQ(model.Sectors(0), (Sectors{1, 100}));
    EXPECT_EQ(model.Sectors(1), (Sectors{101, 200}));
    EXPECT_EQ(model.Sectors(2999), (Sectors{299901, 300000}));
    EXPECT_FALSE(model.Sectors(-1).has_value());
    EXPECT_FALSE(model.Sectors(3000).has_value());
    EXPECT_EQ(model.TooltipText(kTooltipFormat, 0), u"Starting Sector:1, Ending Sector:100");
    EXPECT_EQ(model.TooltipText(kTooltipFormat, 1), u"Starting Sector:101, Ending Sector:200");
    EXPECT_EQ(model.TooltipText(kTooltipFormat, 2999),
              u"Starting Sector:299901, Ending Sector:300000");
}

TEST(SectorMapModelTest, SectorNumbersPastThirtyTwoBitsKeepAllTheirDigits) {
    using Sectors = SectorMapModel::CellSectors;
    SectorMapModel model;
    model.SetSectorsPerBlock(uint64_t{1} << 32);
    EXPECT_EQ(model.Sectors(2999), (Sectors{12880606920705, 12884901888000}));
    EXPECT_EQ(model.TooltipText(kTooltipFormat, 2999),
              u"Starting Sector:12880606920705, Ending Sector:12884901888000");
    // The largest region: the last cell's end would pass 2^64 - 1 and stays at it.
    model.SetSectorsPerBlock(
        SectorMapModel::SectorsPerBlockFor(std::numeric_limits<uint64_t>::max()));
    EXPECT_EQ(model.Sectors(2999),
              (Sectors{18440595159018317483u, std::numeric_limits<uint64_t>::max()}));
    EXPECT_EQ(model.TooltipText(kTooltipFormat, 2999),
              u"Starting Sector:18440595159018317483, Ending Sector:18446744073709551615");
}

// ---- Control ----------------------------------------------------------------------------------

class SectorMapCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        map.resize(map.sizeHint());
        map.SetTooltipFormat(kTooltipFormat);
    }

    QImage Render() { return map.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // The colour inside the cell, away from its grid lines.
    static QColor Inside(const QImage& image, int index) {
        return image.pixelColor(SectorMapGeometry::CellInterior(index).center());
    }

    CSectorMapCtrl map;
};

TEST_F(SectorMapCtrlTest, AnEmptyMapIsAWhiteGridWithClosingLines) {
    EXPECT_EQ(map.sizeHint(), QSize(751, 321));
    const QImage image = Render();
    for (QPoint line : {QPoint(0, 0), QPoint(10, 4), QPoint(5, 8), QPoint(750, 0), QPoint(0, 320),
                        QPoint(750, 320), QPoint(745, 320), QPoint(750, 316)}) {
        EXPECT_EQ(image.pixelColor(line), kBlack) << line.x() << "," << line.y();
    }
    for (int index : {0, 1, 75, 1500, 2999}) {
        EXPECT_EQ(Inside(image, index), kWhite) << index;
    }
}

TEST_F(SectorMapCtrlTest, MarkedCellsFillInsideTheirGridLines) {
    ASSERT_TRUE(map.MarkCell(WM_SECTORMAP_READING, 39, 74));
    ASSERT_TRUE(map.MarkCell(WM_SECTORMAP_DONE, 0, 1));
    ASSERT_TRUE(map.MarkCell(WM_SECTORMAP_READING, 0, 0));
    ASSERT_TRUE(map.MarkCell(WM_SECTORMAP_FAILED, 0, 0));
    const QImage image = Render();
    EXPECT_EQ(Inside(image, 2999), kDarkBlue);
    EXPECT_EQ(Inside(image, 1), kLightBlue);
    EXPECT_EQ(Inside(image, 0), kRed);
    EXPECT_EQ(Inside(image, 2998), kWhite);
    // The whole interior of the last cell, (741, 313) to (749, 319), and nothing more.
    EXPECT_EQ(image.pixelColor(741, 313), kDarkBlue);
    EXPECT_EQ(image.pixelColor(749, 319), kDarkBlue);
    for (QPoint line : {QPoint(740, 316), QPoint(750, 316), QPoint(745, 312), QPoint(745, 320)}) {
        EXPECT_EQ(image.pixelColor(line), kBlack) << line.x() << "," << line.y();
    }
}

TEST_F(SectorMapCtrlTest, HandlesOnlyTheSectorMapMessagesForCellsOnTheMap) {
    EXPECT_TRUE(map.HandleMessage(MakeSectorMapReading(2, 3)));
    EXPECT_EQ(map.Model().State(153), SectorMapCellState::Reading);
    EXPECT_TRUE(map.HandleMessage(MakeSectorMapDone(2, 3)));
    EXPECT_EQ(map.Model().State(153), SectorMapCellState::Done);
    EXPECT_TRUE(map.HandleMessage(MakeSectorMapFailed(2, 4)));
    EXPECT_EQ(map.Model().State(154), SectorMapCellState::Failed);
    EXPECT_FALSE(map.HandleMessage(MakeImageStart()));
    EXPECT_FALSE(map.HandleMessage(MakeSectorMapDone(40, 0)));
    // A sector-map id with a payload of another kind.
    EXPECT_FALSE(map.HandleMessage(JobMessage{WM_SECTORMAP_DONE, std::monostate{}}));
    EXPECT_EQ(map.Model().State(0), SectorMapCellState::NotProcessed);
}

TEST_F(SectorMapCtrlTest, TooltipsNameTheCellsSectorsAndNothingOffTheCells) {
    EXPECT_TRUE(map.ToolTipAt(QPoint(5, 4)).isEmpty()) << "no sectors per block yet";
    map.SetSectorsPerBlock(100);
    EXPECT_EQ(map.ToolTipAt(QPoint(5, 4)), QStringLiteral("Starting Sector:1, Ending Sector:100"));
    EXPECT_EQ(map.ToolTipAt(QPoint(10, 0)),
              QStringLiteral("Starting Sector:101, Ending Sector:200"));
    EXPECT_EQ(map.ToolTipAt(QPoint(749, 319)),
              QStringLiteral("Starting Sector:299901, Ending Sector:300000"));
    EXPECT_TRUE(map.ToolTipAt(QPoint(750, 100)).isEmpty());
    EXPECT_TRUE(map.ToolTipAt(QPoint(100, 320)).isEmpty());
}

TEST_F(SectorMapCtrlTest, TheTooltipEventShowsTheCellsText) {
    map.SetSectorsPerBlock(8);
    map.show();
    const QPoint inside(25, 12);
    QHelpEvent help(QEvent::ToolTip, inside, map.mapToGlobal(inside));
    QApplication::sendEvent(&map, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Starting Sector:617, Ending Sector:624"));
    const QPoint outside(760, 12);
    map.resize(800, 330);
    QHelpEvent away(QEvent::ToolTip, outside, map.mapToGlobal(outside));
    QApplication::sendEvent(&map, &away);
    EXPECT_FALSE(away.isAccepted());
    QToolTip::hideText();
}

} // namespace
