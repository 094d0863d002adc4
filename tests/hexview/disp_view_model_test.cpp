// The display model: what each position shows near the end of a range, the scroll table, the
// caret keys with the selection, the hit test of a click and the scaled scroll bar.
#include "hexview/disp_view_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using M = DispViewModel;
constexpr int kClientHeight = 673; // the dialog's view: 33 data rows

// --- what each position shows ---------------------------------------------------------------

struct ShownCase {
    std::string name;
    uint64_t size;
    uint64_t last;
    uint64_t sector;
    uint32_t shown;
    uint32_t sectors;
};

class ShownBytesTest : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownBytesTest, ShowsTwoSectorsUntilTheEnd) {
    const ShownCase& c = GetParam();
    M model(c.size, c.last);
    model.SetPosition(c.sector, 0);
    EXPECT_EQ(model.ShownBytes(), c.shown);
    EXPECT_EQ(model.SectorsToRead(), c.sectors);
}

// A disk range of 10 sectors has positions 0 to N = 10; a file's positions end at its last
// sector.
INSTANTIATE_TEST_SUITE_P(
    Ends, ShownBytesTest,
    ::testing::Values(ShownCase{"disk_at_n_minus_2", 5120, 10, 8, 1024, 2},
                      ShownCase{"disk_at_n_minus_1_last_sector", 5120, 10, 9, 512, 1},
                      ShownCase{"disk_at_n_header_only", 5120, 10, 10, 0, 0},
                      ShownCase{"file_512_bytes_one_sector", 512, 0, 0, 512, 1},
                      ShownCase{"file_1024_bytes_last_sector_whole", 1024, 1, 1, 512, 1},
                      ShownCase{"file_1000_bytes_last_sector_part", 1000, 1, 1, 488, 1},
                      ShownCase{"file_1000_bytes_from_0", 1000, 1, 0, 1000, 2},
                      ShownCase{"file_100_bytes", 100, 0, 0, 100, 1},
                      ShownCase{"empty_file", 0, 0, 0, 0, 0},
                      ShownCase{"slack_past_size_not_shown", 100, 7, 3, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(DispViewModelTest, HundredByteFileEndsAtRow0x60WithFourBytes) {
    M model(100, 0);
    const std::vector<M::Row> rows = model.VisibleRows(kClientHeight);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows.back().address, 0x60u);
    EXPECT_EQ(rows.back().count, 4u);
    EXPECT_EQ(M::AddressText(rows.back().address), "0000000060");
}

TEST(DispViewModelTest, RowsStopAtTheClientAreaAndFollowTheRowPosition) {
    M model(1u << 20, 2047);
    EXPECT_EQ(model.VisibleRows(kClientHeight).size(), 33u);
    EXPECT_EQ(model.VisibleRows(20 + 20 * 5).size(), 5u);
    model.SetPosition(3, 32);
    const std::vector<M::Row> rows = model.VisibleRows(kClientHeight);
    ASSERT_FALSE(rows.empty());
    // Row 32 of sector 3 is row 0 of sector 4, the second sector of the buffer.
    EXPECT_EQ(rows.front().address, 4u * 512);
    EXPECT_EQ(rows.front().bufferOffset, 512u);
    // The buffer holds two sectors: 32 rows from row 0, then the rest of the client area empty.
    model.SetPosition(3, 0);
    EXPECT_EQ(model.VisibleRows(kClientHeight).size(), 33u);
    model.SetPosition(3, 10);
    EXPECT_EQ(model.VisibleRows(kClientHeight).size(), 33u);
    model.SetPosition(3, 32);
    EXPECT_EQ(model.VisibleRows(kClientHeight).size(), 32u);
}

// --- scrolling -------------------------------------------------------------------------------

struct ScrollCase {
    std::string name;
    uint64_t sector;
    int row;
    M::Scroll code;
    uint64_t wantSector;
    int wantRow;
};

class ScrollTest : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollTest, MovesAsTheScrollTableSays) {
    const ScrollCase& c = GetParam();
    M model(10 * 512, 10);
    model.SetPosition(c.sector, c.row);
    model.ScrollBy(c.code);
    EXPECT_EQ(model.Sector(), c.wantSector);
    EXPECT_EQ(model.RowIndex(), c.wantRow);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScrollTest,
    ::testing::Values(ScrollCase{"page_down_row_30", 4, 30, M::Scroll::PageDown, 5, 3},
                      ScrollCase{"page_down_row_26", 4, 26, M::Scroll::PageDown, 4, 31},
                      ScrollCase{"page_down_at_max", 10, 30, M::Scroll::PageDown, 10, 30},
                      ScrollCase{"page_up_row_5", 4, 5, M::Scroll::PageUp, 4, 0},
                      ScrollCase{"page_up_row_2", 4, 2, M::Scroll::PageUp, 3, 29},
                      ScrollCase{"page_up_at_top", 0, 2, M::Scroll::PageUp, 0, 2},
                      ScrollCase{"line_down_row_32", 4, 32, M::Scroll::LineDown, 5, 0},
                      ScrollCase{"line_down_at_max", 10, 32, M::Scroll::LineDown, 10, 32},
                      ScrollCase{"line_up_row_0", 4, 0, M::Scroll::LineUp, 3, 32},
                      ScrollCase{"line_up_at_top", 0, 0, M::Scroll::LineUp, 0, 0},
                      ScrollCase{"top", 7, 3, M::Scroll::Top, 0, 3},
                      ScrollCase{"bottom", 2, 3, M::Scroll::Bottom, 10, 3}),
    [](const auto& info) { return info.param.name; });

TEST(DispViewModelTest, ScrollBarScalesBeyondWhatAnIntHolds) {
    // A 4 TiB disk: 2^33 sectors.
    const uint64_t last = uint64_t{1} << 33;
    M model(last * 512, last);
    EXPECT_EQ(model.ScrollMaximum(), INT_MAX);
    model.SetScrollValue(INT_MAX);
    EXPECT_EQ(model.Sector(), last);
    model.SetScrollValue(INT_MAX / 2);
    EXPECT_NEAR(static_cast<double>(model.Sector()), static_cast<double>(last) / 2, 8.0);
    // Steps stay exact where the bar cannot tell sectors apart.
    model.SetPosition(last - 1, 32);
    model.ScrollBy(M::Scroll::LineDown);
    EXPECT_EQ(model.Sector(), last);
    EXPECT_EQ(model.ScrollValue(), INT_MAX);
    // A small range maps one to one.
    M small(100 * 512, 100);
    small.SetScrollValue(37);
    EXPECT_EQ(small.Sector(), 37u);
    EXPECT_EQ(small.ScrollValue(), 37);
}

// --- keys and the selection ------------------------------------------------------------------

TEST(DispViewModelTest, ShiftRightThreeTimesSelectsBytesZeroToOne) {
    M model(4096, 7);
    for (int i = 0; i < 3; ++i)
        model.KeyDown(M::Key::Right, true);
    EXPECT_EQ(model.Caret(), 3);
    EXPECT_EQ(model.SelectionStart(), 0);
    EXPECT_EQ(model.SelectionEnd(), 1);
    EXPECT_TRUE(model.Selected(0));
    EXPECT_TRUE(model.Selected(1));
    EXPECT_FALSE(model.Selected(2));
    // Back with Shift: the end follows the caret.
    model.KeyDown(M::Key::Left, true);
    model.KeyDown(M::Key::Left, true);
    EXPECT_EQ(model.SelectionEnd(), 0);
}

struct KeyCase {
    std::string name;
    int64_t caret;
    M::Key key;
    int64_t want;
};

class CaretKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(CaretKeyTest, MovesTheCaretWithinTheSize) {
    const KeyCase& c = GetParam();
    M model(2048, 3); // Z = 4096
    model.GoToOffset(static_cast<uint64_t>(c.caret) / 2);
    if (c.caret % 2 != 0)
        model.KeyDown(M::Key::Right, false);
    ASSERT_EQ(model.Caret(), c.caret);
    model.KeyDown(c.key, false);
    EXPECT_EQ(model.Caret(), c.want);
    // Keys move only the caret.
    EXPECT_EQ(model.SelectionStart(), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CaretKeyTest,
    ::testing::Values(KeyCase{"left_at_0", 0, M::Key::Left, 0},
                      KeyCase{"left", 10, M::Key::Left, 9}, KeyCase{"right", 10, M::Key::Right, 11},
                      KeyCase{"right_near_end_goes_to_z", 4094, M::Key::Right, 4096},
                      KeyCase{"up_too_far", 30, M::Key::Up, 30}, KeyCase{"up", 40, M::Key::Up, 8},
                      KeyCase{"down", 40, M::Key::Down, 72},
                      KeyCase{"down_too_far", 4080, M::Key::Down, 4080},
                      KeyCase{"page_up_too_far", 1000, M::Key::PageUp, 1000},
                      KeyCase{"page_down", 1000, M::Key::PageDown, 2024},
                      KeyCase{"page_down_too_far", 3074, M::Key::PageDown, 3074}),
    [](const auto& info) { return info.param.name; });

// --- the hit test ----------------------------------------------------------------------------

struct HitCase {
    std::string name;
    int x;
    int y;
    int64_t byte; // -1: none
};

class HitTestTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTestTest, HitsOnlyCellsOfBytesBelowTheSize) {
    const HitCase& c = GetParam();
    M model(100, 0); // rows 0 to 0x60, the last with 4 bytes
    const std::optional<uint64_t> byte = model.HitTest(c.x, c.y, kClientHeight);
    if (c.byte < 0)
        EXPECT_FALSE(byte.has_value()) << *byte;
    else
        EXPECT_EQ(byte, std::optional<uint64_t>(static_cast<uint64_t>(c.byte)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HitTestTest,
    ::testing::Values(
        HitCase{"header", 150, 10, -1}, HitCase{"first_hex_cell", 100, 20, 0},
        HitCase{"last_hex_cell", 419, 20, 15}, HitCase{"address_column_81", 81, 40, -1},
        HitCase{"address_column_99", 99, 40, -1}, HitCase{"gap_420", 420, 20, -1},
        HitCase{"gap_429", 429, 40, -1}, HitCase{"first_text_cell", 430, 20, 0},
        HitCase{"text_437", 437, 20, 1}, HitCase{"last_text_cell", 541, 20, 15},
        HitCase{"past_text_542", 542, 20, -1}, HitCase{"far_right", 700, 20, -1},
        HitCase{"second_row", 105, 45, 16}, HitCase{"last_byte", 160, 20 + 6 * 20, 99},
        HitCase{"past_last_byte", 180, 20 + 6 * 20, -1},
        HitCase{"row_past_size", 105, 20 + 7 * 20, -1},
        HitCase{"below_client", 105, kClientHeight, -1}, HitCase{"left_of_view", -5, 30, -1}),
    [](const auto& info) { return info.param.name; });

TEST(DispViewModelTest, TextColumnClickAt437PutsTheCaretOnByteOnesLowNibble) {
    M model(4096, 7);
    ASSERT_TRUE(model.Press(437, 25, kClientHeight));
    EXPECT_EQ(model.Caret(), 3);
    EXPECT_EQ(model.SelectionStart(), -1);
    EXPECT_EQ(model.SelectionEnd(), -1);
    // In the hex cells the nibble follows the point: 7 pixels into the cell is the low one.
    ASSERT_TRUE(model.Press(146, 45, kClientHeight)); // byte 18's cell starts at 140
    EXPECT_EQ(model.Caret(), 36);
    ASSERT_TRUE(model.Press(147, 45, kClientHeight));
    EXPECT_EQ(model.Caret(), 37);
    // A miss leaves the caret.
    EXPECT_FALSE(model.Press(425, 45, kClientHeight));
    EXPECT_EQ(model.Caret(), 37);
}

TEST(DispViewModelTest, HitTestCountsFromTheViewPosition) {
    M model(1u << 20, 2047);
    model.SetPosition(5, 3);
    EXPECT_EQ(model.HitTest(100, 20, kClientHeight), std::optional<uint64_t>(5 * 512 + 3 * 16));
}

// --- going to an offset and the texts -------------------------------------------------------

TEST(DispViewModelTest, GoingToAnOffsetShowsItsRowFirst) {
    M model(1u << 20, 2047);
    model.GoToOffset(0x1234);
    EXPECT_EQ(model.Sector(), 0x1234u / 512);
    EXPECT_EQ(model.RowIndex(), static_cast<int>((0x1234 % 512) / 16));
    EXPECT_EQ(model.Caret(), 0x1234 * 2);
    EXPECT_EQ(model.CaretByte(), 0x1234u);
    EXPECT_EQ(model.CaretSector(), 0x1234u / 512);
}

TEST(DispViewModelTest, BytesShowAsWindows1252WithDotsUpToSixteen) {
    struct Case {
        uint8_t byte;
        char16_t text;
    };
    // 0x80-0x9F are the code page's letters and signs; the five it leaves undefined are dots.
    for (const Case c :
         {Case{0, u'.'}, Case{10, u'.'}, Case{16, u'.'}, Case{17, u'\x11'}, Case{'A', u'A'},
          Case{0xE9, u'\xE9'}, Case{0x80, u'\u20AC'}, Case{0x8A, u'\u0160'}, Case{0x93, u'\u201C'},
          Case{0x9F, u'\u0178'}, Case{0x81, u'.'}, Case{0x8D, u'.'}, Case{0x8F, u'.'},
          Case{0x90, u'.'}, Case{0x9D, u'.'}})
        EXPECT_EQ(M::TextChar(c.byte), c.text) << int(c.byte);
    EXPECT_EQ(M::HexText(0x0A), "0A");
    EXPECT_EQ(M::AddressText(0x123456789AULL), "123456789a");
}

} // namespace
