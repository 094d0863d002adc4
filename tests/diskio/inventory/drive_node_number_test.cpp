// The number a new drive-list node gets: last + 1 while free, never a number in use or a disk
// code, and nothing once every number is taken.
#include "diskio/inventory/drive_node_number.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

TEST(DriveNodeNumberTest, TakesTheNextFreeNumberAfterTheLast) {
    struct Case {
        std::vector<uint8_t> inUse;
        std::optional<uint8_t> expected;
    };
    std::vector<uint8_t> allButOne;
    for (unsigned n = 0; n < 256; ++n)
        if (n != 42 && !(n >= 0x80 && n <= 0x97))
            allButOne.push_back(static_cast<uint8_t>(n));
    std::vector<uint8_t> all = allButOne;
    all.push_back(42);
    const Case cases[] = {
        {{}, 0},
        {{0x80, 10, 11}, 12},
        // The last node is a disk: its next numbers are disk codes too.
        {{10, 0x80}, 0x98},
        {{0x7F}, 0x98},
        // last + 1 is taken by an earlier node.
        {{12, 10, 11}, 13},
        // 255 + 1 wraps to 0, which is free.
        {{255}, 0},
        // The wrapped number is taken: on to the next free one.
        {{0, 1, 2, 255}, 3},
        {allButOne, 42},
        {all, std::nullopt},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(testing::Message() << each.inUse.size() << " numbers in use");
        EXPECT_EQ(NextDriveNodeNumber(each.inUse), each.expected);
    }
}

} // namespace
