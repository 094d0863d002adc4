#include "app/models/list_sort_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ListSortOrderTest, HeaderClicksFollowTheListsRule) {
    struct Case {
        ListSortOrder previous;
        uint8_t clicked;
        ListSortOrder next;
    };
    const Case cases[] = {
        // Another column: descending, whatever the old direction.
        {{0, false}, 2, {2, false}},
        {{0, true}, 2, {2, false}},
        {{6, true}, 3, {3, false}},
        // The same column again reverses.
        {{2, false}, 2, {2, true}},
        {{2, true}, 2, {2, false}},
        // Name is the first sort column, descending: a first click on it sorts ascending.
        {{0, false}, 0, {0, true}},
    };
    for (const Case& each : cases) {
        EXPECT_EQ(NextSortOrder(each.previous, each.clicked), each.next)
            << int(each.previous.column) << each.previous.ascending << " " << int(each.clicked);
    }
}

TEST(ListSortOrderTest, ClickingSizeTwiceAfterAnotherColumnSortsDescendingThenAscending) {
    ListSortOrder order{4, true};
    std::vector<bool> directions;
    for (int click = 0; click < 3; ++click) {
        order = NextSortOrder(order, 2);
        EXPECT_EQ(order.column, 2);
        directions.push_back(order.ascending);
    }
    EXPECT_EQ(directions, (std::vector<bool>{false, true, false}));
}

} // namespace
