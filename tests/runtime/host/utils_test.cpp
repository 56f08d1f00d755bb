// Stream buffers: reads at the boundaries, from() refusing counts the source cannot give, and
// formatting.
#include "kestrovalumen/host/utils.h"

#include <gtest/gtest.h>

#include <string>

using FF::utils::IBuffer;
using FF::utils::MemoryBuffer;

namespace {

std::string contentOf(const MemoryBuffer& buffer) {
    return buffer.data() ? std::string(reinterpret_cast<const char*>(buffer.data()),
                                       static_cast<size_t>(buffer.length()))
                         : std::string();
}

// Claims bytes it does not hold and counts the reads, to see that a count is judged by
// length() - position() before anything is read.
class CountingSource : public IBuffer {
public:
    CountingSource(uint64_t length, uint64_t position) : claimed{length, position} {}
    bool read(void*, uint64_t) override { return ++reads, false; }
    uint64_t length() const override { return claimed[0]; }
    uint64_t position() const override { return claimed[1]; }
    uint64_t claimed[2];
    int reads = 0;
};

TEST(MemoryBuffer, ReadsSeeksAndAssignsWithinTheBytes) {
    MemoryBuffer buffer("abcdef", 6);
    char out[16] = {};
    ASSERT_TRUE(buffer.read(out, 2));
    EXPECT_EQ(std::string(out, 2), "ab");
    out[0] = '-';
    for (uint64_t tooMany : {uint64_t{5}, UINT64_MAX, UINT64_MAX - 1}) {
        EXPECT_FALSE(buffer.read(out, tooMany)); // nothing copied, nothing moved
    }
    EXPECT_EQ(out[0], '-');
    EXPECT_EQ(buffer.position(), 2u);
    ASSERT_TRUE(buffer.read(out, 4)); // exactly what is left
    EXPECT_EQ(std::string(out, 4), "cdef");
    EXPECT_FALSE(buffer.read(out, 1));
    EXPECT_TRUE(buffer.read(out, 0));
    EXPECT_FALSE(buffer.seek(7));
    EXPECT_TRUE(buffer.seek(1));
    ASSERT_TRUE(buffer.read(out, 1));
    EXPECT_EQ(out[0], 'b');
    buffer.assign("xy", 2);
    EXPECT_EQ(contentOf(buffer), "xy");
    EXPECT_EQ(buffer.position(), 0u);
    buffer.assign(nullptr, 5);
    EXPECT_EQ(buffer.length(), 0u);
    EXPECT_FALSE(buffer.read(out, 1));
}

TEST(MemoryBuffer, FromTakesTheNextBytesOfTheSourceAndRewinds) {
    MemoryBuffer source("0123456789", 10);
    char skip[3];
    ASSERT_TRUE(source.read(skip, 3));
    MemoryBuffer target("old", 3);
    ASSERT_TRUE(target.read(skip, 1));
    EXPECT_FALSE(target.from(&source, 8)); // the source stays where it was
    EXPECT_EQ(source.position(), 3u);
    ASSERT_TRUE(target.from(&source, 4));
    EXPECT_EQ(contentOf(target), "3456");
    EXPECT_EQ(target.position(), 0u);
    EXPECT_EQ(source.position(), 7u);
    ASSERT_TRUE(target.from(&source, 3));
    EXPECT_EQ(contentOf(target), "789");
    ASSERT_TRUE(target.from(&source, 0));
    EXPECT_EQ(target.length(), 0u);
}

TEST(MemoryBuffer, FromRefusesWithoutReadingOrTouchingTheContent) {
    const struct {
        uint64_t length, position;
        unsigned long long count;
        int reads;
    } cases[] = {
        {10, 4, 7, 0},          {0, 0, 1, 0}, {100, 0, static_cast<unsigned long long>(-1LL), 0},
        {16, 0, 1ULL << 32, 0}, {4, 8, 1, 0}, {8, 0, 8, 1}}; // claimed but not delivered
    for (const auto& c : cases) {
        CountingSource source(c.length, c.position);
        MemoryBuffer target("keep", 4);
        char first = 0;
        ASSERT_TRUE(target.read(&first, 1));
        EXPECT_FALSE(target.from(&source, c.count)) << c.count;
        EXPECT_EQ(source.reads, c.reads);
        EXPECT_EQ(contentOf(target), "keep");
        EXPECT_EQ(target.position(), 1u);
    }
    MemoryBuffer target("keep", 4);
    EXPECT_FALSE(target.from(nullptr, 0));
}

TEST(StringFormat, AppliesTheArguments) {
    EXPECT_EQ(FF::utils::String::format("%d-%s-%.2f", 42, "x", 1.5), "42-x-1.50");
    const std::string longText(5000, 'q');
    EXPECT_EQ(FF::utils::String::format("<%s>", longText.c_str()), "<" + longText + ">");
}

} // namespace
