// The bounded record of a host service: positions that outlive dropped entries, the limit that
// drops the oldest half, and forgetting what a reader is done with.
#include "runtime/host/records.h"

#include <gtest/gtest.h>

#include <vector>

using kestro::RecordList;

namespace {

struct Case {
    const char* name;
    size_t limit;
    int pushes;          // entries 1..pushes
    size_t forgetBefore; // 0: nothing forgotten
    std::vector<int> kept;
    size_t dropped;
};

TEST(RecordList, KeepsTheLatestEntriesUnderItsLimit) {
    const Case cases[] = {
        {"under the limit", 8, 5, 0, {1, 2, 3, 4, 5}, 0},
        {"at the limit", 4, 4, 0, {1, 2, 3, 4}, 0},
        // The fifth entry makes room by dropping the oldest half of four.
        {"one over", 4, 5, 0, {3, 4, 5}, 2},
        {"many over", 4, 10, 0, {7, 8, 9, 10}, 6},
        {"forgotten", 8, 6, 4, {5, 6}, 4},
        {"forget past the end", 8, 3, 9, {}, 3},
        {"forget what is gone", 4, 10, 2, {7, 8, 9, 10}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordList<int> list;
        list.setLimit(c.limit);
        for (int i = 1; i <= c.pushes; ++i) {
            list.push_back(i);
        }
        list.forgetBefore(c.forgetBefore);
        EXPECT_EQ(list, c.kept);
        EXPECT_EQ(list.dropped(), c.dropped);
        EXPECT_EQ(list.total(), static_cast<size_t>(c.pushes));
    }
}

TEST(RecordList, PositionsNameTheSameEntryAfterDrops) {
    RecordList<int> list;
    list.setLimit(4);
    for (int i = 0; i < 10; ++i) {
        list.push_back(i * 10);
    }
    // Kept: positions 6..9.
    EXPECT_EQ(list.since(8), (std::vector<int>{80, 90}));
    EXPECT_EQ(list.since(2), (std::vector<int>{60, 70, 80, 90}));
    EXPECT_EQ(list.droppedSince(2), 4u);
    EXPECT_EQ(list.droppedSince(7), 0u);
    EXPECT_TRUE(list.since(10).empty());
    ASSERT_NE(list.atPosition(7), nullptr);
    EXPECT_EQ(*list.atPosition(7), 70);
    EXPECT_EQ(list.atPosition(5), nullptr);
    EXPECT_EQ(list.atPosition(10), nullptr);

    list.setLimit(2);
    EXPECT_EQ(list, (std::vector<int>{80, 90}));
    list.clear();
    EXPECT_EQ(list.total(), 0u);
    EXPECT_EQ(list.limit(), 2u);
}

} // namespace
