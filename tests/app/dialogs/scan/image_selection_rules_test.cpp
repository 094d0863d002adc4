#include "app/dialogs/scan/image_selection_rules.h"

#include "app/program_text.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

using image_selection::kSliderUnits;
using image_selection::LeverForSector;
using image_selection::ReadSectorText;
using image_selection::RegionProblem;
using image_selection::SectorForLever;
using image_selection::TypedSector;
using scan_action::Region;

constexpr uint64_t kMax64 = std::numeric_limits<uint64_t>::max();
// A 3 TiB disk of 512-byte sectors: more sectors than 32 bits hold.
constexpr uint64_t kLargeDisk = 6442450944;

// ---------------------------------------------------------------------------------------------
// Lever positions and sectors

// Totals around the edges: none, fewer sectors than units, not a multiple of the units, more
// than 2^31 and 2^32, and the largest 64-bit count.
const uint64_t kTotals[] = {0,       1,          7,          499,     500,        501,
                            1234567, 2147483653, kLargeDisk, 1000000, 5000000000, kMax64};

TEST(ImageSelectionRulesTest, TheEndsOfTheSliderAreTheFirstAndTheTotalSector) {
    for (const uint64_t total : kTotals) {
        EXPECT_EQ(SectorForLever(0, kSliderUnits, total), 0u) << total;
        EXPECT_EQ(SectorForLever(kSliderUnits, kSliderUnits, total), total) << total;
        EXPECT_EQ(SectorForLever(-3, kSliderUnits, total), 0u) << total;
        EXPECT_EQ(SectorForLever(kSliderUnits + 9, kSliderUnits, total), total) << total;
        EXPECT_EQ(LeverForSector(0, kSliderUnits, total), 0) << total;
        if (total > 0) {
            EXPECT_EQ(LeverForSector(total, kSliderUnits, total), kSliderUnits) << total;
            EXPECT_EQ(LeverForSector(kMax64, kSliderUnits, total), kSliderUnits) << total;
        }
    }
}

TEST(ImageSelectionRulesTest, EveryPositionStandsForItsShareOfTheDrive) {
    for (const uint64_t total : kTotals) {
        uint64_t previous = 0;
        for (int64_t position = 0; position <= kSliderUnits; ++position) {
            const uint64_t sector = SectorForLever(position, kSliderUnits, total);
            ASSERT_GE(sector, previous) << total << " at " << position;
            ASSERT_LE(sector, total) << total << " at " << position;
            // Back to a position: never past the lever, on a drive of at least one sector a
            // unit at most one short of it, and exactly it when the units divide the drive.
            const int64_t back = LeverForSector(sector, kSliderUnits, total);
            ASSERT_LE(back, position) << total << " at " << position;
            if (total >= static_cast<uint64_t>(kSliderUnits)) {
                ASSERT_GE(back, position - 1) << total << " at " << position;
            }
            if (total > 0 && total % kSliderUnits == 0) {
                ASSERT_EQ(back, position) << total << " at " << position;
            }
            previous = sector;
        }
    }
}

TEST(ImageSelectionRulesTest, SharesAreExactInSixtyFourBits) {
    struct Case {
        int64_t position;
        uint64_t total;
        uint64_t sector;
    };
    const Case cases[] = {
        {250, 1000, 500},
        {1, 1000000, 2000},
        {250, kLargeDisk, 3221225472},
        {499, kLargeDisk, 6429566042},
        {250, kMax64, kMax64 / 2},
        {1, 499, 0},
        {2, 499, 1},
        {250, 100, 50},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SectorForLever(c.position, kSliderUnits, c.total), c.sector)
            << c.position << " of " << c.total;
    }
    EXPECT_EQ(LeverForSector(4294967296, kSliderUnits, kLargeDisk), 333);
    EXPECT_EQ(LeverForSector(kMax64 / 2 + 1, kSliderUnits, kMax64), 250);
    EXPECT_EQ(LeverForSector(3, kSliderUnits, 7), 214);
}

// ---------------------------------------------------------------------------------------------
// Typed sector numbers

TEST(ImageSelectionRulesTest, TypedNumbersAreUnsigned64BitAndKeptWithinTheDrive) {
    struct Case {
        const char16_t* text;
        uint64_t total;
        std::optional<TypedSector> expected;
    };
    const Case cases[] = {
        {u"0", 100, TypedSector{0, false}},
        {u"12345", 204800, TypedSector{12345, false}},
        {u"  42\t", 100, TypedSector{42, false}},
        {u"007", 100, TypedSector{7, false}},
        {u"100", 100, TypedSector{100, false}},
        {u"101", 100, TypedSector{100, true}},
        // Past 31 and 32 bits.
        {u"2147483648", kLargeDisk, TypedSector{2147483648, false}},
        {u"4294967296", kLargeDisk, TypedSector{4294967296, false}},
        {u"6442450944", kLargeDisk, TypedSector{kLargeDisk, false}},
        {u"18446744073709551615", kMax64, TypedSector{kMax64, false}},
        {u"18446744073709551616", kMax64, TypedSector{kMax64, true}},
        {u"99999999999999999999999", kLargeDisk, TypedSector{kLargeDisk, true}},
        {u"5", 0, TypedSector{0, true}},
        // No number.
        {u"", 100, std::nullopt},
        {u"   ", 100, std::nullopt},
        {u"-5", 100, std::nullopt},
        {u"+5", 100, std::nullopt},
        {u"1.5", 100, std::nullopt},
        {u"1 5", 100, std::nullopt},
        {u"12a", 100, std::nullopt},
        {u"0x10", 100, std::nullopt},
        {u"99999999999999999999999x", 100, std::nullopt},
        {u"\uff11\uff12", 100, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadSectorText(c.text, c.total), c.expected)
            << QString::fromUtf16(c.text).toStdString() << " of " << c.total;
    }
}

TEST(ImageSelectionRulesTest, OkTakesTwoNumbersInOrderAndSaysWhyNot) {
    using image_selection::CheckRegion;
    EXPECT_EQ(CheckRegion(0, 0), RegionProblem::None);
    EXPECT_EQ(CheckRegion(5, 9), RegionProblem::None);
    EXPECT_EQ(CheckRegion(kMax64, kMax64), RegionProblem::None);
    EXPECT_EQ(CheckRegion(10, 9), RegionProblem::FirstAfterLast);
    EXPECT_EQ(CheckRegion(std::nullopt, 9), RegionProblem::MissingSector);
    EXPECT_EQ(CheckRegion(10, std::nullopt), RegionProblem::MissingSector);

    EXPECT_EQ(image_selection::RegionProblemMessageId(RegionProblem::None), 0u);
    for (const RegionProblem problem :
         {RegionProblem::MissingSector, RegionProblem::FirstAfterLast}) {
        const uint32_t id = image_selection::RegionProblemMessageId(problem);
        EXPECT_FALSE(ProgramText(id).isEmpty()) << id;
    }
}

TEST(ImageSelectionRulesTest, AStartingRegionIsKeptWithinTheDrive) {
    using image_selection::ClampRegion;
    EXPECT_EQ(ClampRegion({10, 90}, 100), (Region{10, 90}));
    EXPECT_EQ(ClampRegion({10, 900}, 100), (Region{10, 100}));
    EXPECT_EQ(ClampRegion({500, 900}, 100), (Region{100, 100}));
    EXPECT_EQ(ClampRegion({50, 20}, 100), (Region{20, 20}));
    EXPECT_EQ(ClampRegion({0, kMax64}, 0), (Region{0, 0}));
}

} // namespace
