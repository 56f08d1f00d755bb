// Stream buffers: reads at the boundaries, from() refusing counts the source cannot give,
// formatting and the block error.
#include "kestrovalumen/host/utils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using FF::utils::IBuffer;
using FF::utils::MemoryBuffer;

namespace {

MemoryBuffer bufferOf(const std::string& bytes) {
    return MemoryBuffer(bytes.data(), bytes.size());
}

std::string contentOf(const MemoryBuffer& buffer) {
    return buffer.data() ? std::string(reinterpret_cast<const char*>(buffer.data()),
                                       static_cast<size_t>(buffer.length()))
                         : std::string();
}

// A source that claims more bytes than it holds and counts what is asked of it, to see that a
// count is judged by length() - position() before anything is read.
class CountingSource : public IBuffer {
public:
    uint64_t claimedLength = 0;
    uint64_t claimedPosition = 0;
    int reads = 0;
    bool read(void*, uint64_t) override {
        ++reads;
        return false;
    }
    uint64_t length() const override { return claimedLength; }
    uint64_t position() const override { return claimedPosition; }
};

TEST(MemoryBuffer, StartsEmpty) {
    MemoryBuffer buffer;
    EXPECT_EQ(buffer.length(), 0u);
    EXPECT_EQ(buffer.position(), 0u);
    EXPECT_EQ(buffer.data(), nullptr);
    char byte = 'x';
    EXPECT_FALSE(buffer.read(&byte, 1));
    EXPECT_TRUE(buffer.read(&byte, 0));
    EXPECT_EQ(byte, 'x');
}

TEST(MemoryBuffer, ReadsInOrderAndStopsAtTheEnd) {
    MemoryBuffer buffer = bufferOf("abcdef");
    char out[8] = {};
    ASSERT_TRUE(buffer.read(out, 2));
    EXPECT_EQ(std::string(out, 2), "ab");
    EXPECT_EQ(buffer.position(), 2u);

    // Five asked, four left: nothing copied, nothing moved.
    std::memset(out, '-', sizeof out);
    EXPECT_FALSE(buffer.read(out, 5));
    EXPECT_EQ(buffer.position(), 2u);
    EXPECT_EQ(out[0], '-');

    // Exactly what is left.
    ASSERT_TRUE(buffer.read(out, 4));
    EXPECT_EQ(std::string(out, 4), "cdef");
    EXPECT_EQ(buffer.position(), 6u);
    EXPECT_FALSE(buffer.read(out, 1));
    EXPECT_TRUE(buffer.read(out, 0));
    EXPECT_EQ(buffer.position(), 6u);
}

TEST(MemoryBuffer, HugeCountsDoNotWrapAround) {
    MemoryBuffer buffer = bufferOf("abc");
    char out[4];
    ASSERT_TRUE(buffer.read(out, 1));
    EXPECT_FALSE(buffer.read(out, UINT64_MAX));
    EXPECT_FALSE(buffer.read(out, UINT64_MAX - 1));
    EXPECT_EQ(buffer.position(), 1u);
}

TEST(MemoryBuffer, SeekStaysWithinTheBytes) {
    MemoryBuffer buffer = bufferOf("abc");
    EXPECT_TRUE(buffer.seek(3));
    EXPECT_EQ(buffer.position(), 3u);
    EXPECT_FALSE(buffer.seek(4));
    EXPECT_EQ(buffer.position(), 3u);
    EXPECT_TRUE(buffer.seek(1));
    char c = 0;
    ASSERT_TRUE(buffer.read(&c, 1));
    EXPECT_EQ(c, 'b');
}

TEST(MemoryBuffer, AssignReplacesAndRewinds) {
    MemoryBuffer buffer = bufferOf("abc");
    char two[2];
    ASSERT_TRUE(buffer.read(two, 2));
    buffer.assign("xy", 2);
    EXPECT_EQ(contentOf(buffer), "xy");
    EXPECT_EQ(buffer.position(), 0u);
    buffer.assign(nullptr, 5);
    EXPECT_EQ(buffer.length(), 0u);
    EXPECT_EQ(buffer.data(), nullptr);
}

TEST(MemoryBufferFrom, TakesTheNextBytesOfTheSourceAndRewinds) {
    MemoryBuffer source = bufferOf("0123456789");
    char skip[3];
    ASSERT_TRUE(source.read(skip, 3));

    MemoryBuffer target = bufferOf("old");
    char c = 0;
    ASSERT_TRUE(target.read(&c, 1));
    ASSERT_TRUE(target.from(&source, 4));
    EXPECT_EQ(contentOf(target), "3456");
    EXPECT_EQ(target.position(), 0u);
    EXPECT_EQ(source.position(), 7u);

    // All that is left, then nothing.
    ASSERT_TRUE(target.from(&source, 3));
    EXPECT_EQ(contentOf(target), "789");
    ASSERT_TRUE(target.from(&source, 0));
    EXPECT_EQ(target.length(), 0u);
    EXPECT_EQ(source.position(), 10u);
}

struct RefusedFrom {
    const char* name;
    uint64_t sourceLength;
    uint64_t sourcePosition;
    unsigned long long count;
};

class MemoryBufferFromRefuses : public ::testing::TestWithParam<RefusedFrom> {};

TEST_P(MemoryBufferFromRefuses, WithoutReadingOrTouchingTheContent) {
    const RefusedFrom& c = GetParam();
    CountingSource source;
    source.claimedLength = c.sourceLength;
    source.claimedPosition = c.sourcePosition;
    MemoryBuffer target = bufferOf("keep");
    char first = 0;
    ASSERT_TRUE(target.read(&first, 1));

    EXPECT_FALSE(target.from(&source, c.count));
    EXPECT_EQ(source.reads, 0);
    EXPECT_EQ(contentOf(target), "keep");
    EXPECT_EQ(target.position(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Counts, MemoryBufferFromRefuses,
                         ::testing::Values(RefusedFrom{"OneMoreThanLeft", 10, 4, 7},
                                           RefusedFrom{"AnythingFromAnEmptySource", 0, 0, 1},
                                           RefusedFrom{"NegativeLengthWidened", 100, 0,
                                                       static_cast<unsigned long long>(-1LL)},
                                           RefusedFrom{"FourGiBFromAFewBytes", 16, 0, 1ULL << 32},
                                           RefusedFrom{"PositionPastLength", 4, 8, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryBufferFrom, RefusesANullSource) {
    MemoryBuffer target = bufferOf("keep");
    EXPECT_FALSE(target.from(nullptr, 0));
    EXPECT_EQ(contentOf(target), "keep");
}

TEST(MemoryBufferFrom, AFailedSourceReadLeavesTheContent) {
    // The source claims the bytes but cannot deliver them.
    CountingSource source;
    source.claimedLength = 8;
    MemoryBuffer target = bufferOf("keep");
    EXPECT_FALSE(target.from(&source, 8));
    EXPECT_EQ(source.reads, 1);
    EXPECT_EQ(contentOf(target), "keep");
}

TEST(MemoryBufferFrom, RefusedCountLeavesTheSourceWhereItWas) {
    MemoryBuffer source = bufferOf("abcdef");
    char skip[2];
    ASSERT_TRUE(source.read(skip, 2));
    MemoryBuffer target;
    EXPECT_FALSE(target.from(&source, 5));
    EXPECT_EQ(source.position(), 2u);
    EXPECT_TRUE(target.from(&source, 4));
    EXPECT_EQ(contentOf(target), "cdef");
}

TEST(StringFormat, AppliesTheArguments) {
    EXPECT_EQ(FF::utils::String::format("%d-%s-%.2f", 42, "x", 1.5), "42-x-1.50");
    EXPECT_EQ(FF::utils::String::format("%s", ""), "");
    const std::string longText(5000, 'q');
    EXPECT_EQ(FF::utils::String::format("<%s>", longText.c_str()), "<" + longText + ">");
}

} // namespace
