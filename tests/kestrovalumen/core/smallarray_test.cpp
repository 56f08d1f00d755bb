// The colour tables' array: the first elements inside, more from the heap, values always intact.
#include "kestrovalumen/core/smallarray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Array = kv::SmallArray<uint32_t, 4>;

std::vector<uint32_t> values(const Array& a) {
    return std::vector<uint32_t>(a.begin(), a.end());
}

TEST(SmallArray, KeepsUpToItsSizeInsideAndMoreOnTheHeap) {
    const struct {
        size_t count;
        bool inside;
    } cases[] = {{0, true}, {1, true}, {4, true}, {5, false}, {1000, false}};
    for (const auto& c : cases) {
        Array a;
        a.assign(c.count, 7u);
        EXPECT_EQ(a.size(), c.count);
        EXPECT_EQ(a.empty(), c.count == 0);
        EXPECT_EQ(a.isInline(), c.inside) << c.count;
        EXPECT_EQ(values(a), std::vector<uint32_t>(c.count, 7u));
    }
}

TEST(SmallArray, ReassigningKeepsOnlyTheNewValues) {
    // Every change of size in both directions, across the inline limit.
    const std::vector<std::vector<uint32_t>> steps = {{1, 2}, {1, 2, 3, 4, 5, 6}, {9},
                                                      {},     {4, 3, 2, 1, 0},    {8, 8, 8, 8}};
    Array a;
    for (const std::vector<uint32_t>& step : steps) {
        a.assign(step.size(), 0u);
        for (size_t i = 0; i < step.size(); ++i) {
            a[i] = step[i];
        }
        EXPECT_EQ(values(a), step);
        if (!step.empty()) {
            EXPECT_EQ(a.back(), step.back());
        }
    }
    a = {5, 6, 7};
    EXPECT_EQ(values(a), (std::vector<uint32_t>{5, 6, 7}));
    a.clear();
    EXPECT_TRUE(a.empty());
}

TEST(SmallArray, CopiesAreIndependentInsideAndOnTheHeap) {
    for (const Array& original : {Array{1, 2}, Array{1, 2, 3, 4, 5, 6, 7}}) {
        Array copy(original);
        Array assigned;
        assigned = original;
        const Array& same = assigned;
        assigned = same; // itself
        ASSERT_EQ(values(copy), values(original));
        ASSERT_EQ(values(assigned), values(original));
        copy[0] = 99;
        assigned[1] = 98;
        EXPECT_EQ(original[0], 1u);
        EXPECT_EQ(original[1], 2u);
        EXPECT_NE(copy.data(), original.data());
    }
}

} // namespace
