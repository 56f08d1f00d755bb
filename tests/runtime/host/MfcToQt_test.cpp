// The host string, arrays and stream buffers at their edges; counts judged before reading.
#include "kestrovalumen/host/MfcToQt.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/stream/forms.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using FF::utils::MemoryBuffer;

namespace {

TEST(CString, ConstructionConcatenationFindCutAndFormat) {
    const CString withZero("a\0b", 3);
    EXPECT_EQ(withZero.GetLength(), 3);
    EXPECT_EQ(CString(nullptr, 4).str(), "");
    CString s("ab");
    s += s;
    EXPECT_EQ(s.str(), "abab");
    s = s.GetString() + 1; // a tail of its own bytes
    EXPECT_EQ(s.str(), "bab");
    s.Format("%d/%s/%.1f", 7, "x", 2.25);
    s.Format("%s!", s.GetString()); // its own text as an argument
    EXPECT_EQ(s.str(), "7/x/2.2!");
    s.Format("<%s>", std::string(5000, 'q').c_str());
    EXPECT_EQ(s.str(), "<" + std::string(5000, 'q') + ">");
    EXPECT_EQ(CString("hello world").Find("world"), 6);
    EXPECT_EQ(CString("hello").Find("hello!"), -1);
    EXPECT_EQ(CString("abc").Find(nullptr), -1);
    const CString text("abcdef");
    for (const auto& [count, left] : {std::pair{-1, ""}, {5, "abcde"}, {INT_MAX, "abcdef"}}) {
        EXPECT_EQ(text.Left(count).str(), left) << count;
    }
    const struct {
        int index, count;
        const char* result;
    } deletes[] = {
        {-2, 3, "def"}, {1, -1, "abcdef"}, {2, INT_MAX, "ab"}, {INT_MAX, INT_MAX, "abcdef"}};
    for (const auto& c : deletes) {
        CString d("abcdef");
        EXPECT_EQ(d.Delete(c.index, c.count), static_cast<int>(std::string(c.result).size()));
        EXPECT_EQ(d.str(), c.result) << c.index << ", " << c.count;
    }
}

TEST(CStringStream, EveryPrefixSizeWrittenReadAndCut) {
    const struct {
        std::string prefix;
        size_t length;
    } cases[] = {{"\xFE", 254},
                 {std::string("\xFF\xFF\x00", 3), 255},
                 {"\xFF\xFE\xFF", 0xFFFE},
                 {std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7), 0xFFFF},
                 {std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7), 70000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'k');
        std::string written;
        kestro::appendHostString(written, text);
        EXPECT_EQ(written, c.prefix + text);
        const std::string stream = c.prefix + text + "Z";
        MemoryBuffer buffer(stream.data(), stream.size());
        CString s("previous");
        ASSERT_TRUE(s.deserialize(&buffer));
        EXPECT_EQ(s.str(), text);
        EXPECT_EQ(buffer.position(), c.prefix.size() + c.length);
        MemoryBuffer shorter(stream.data(), c.prefix.size() + c.length - 1);
        EXPECT_THROW(s.deserialize(&shorter), FF::utils::deserialize_block_error); // one byte short
        EXPECT_EQ(s.str(), text);
    }
    for (const std::string& cut :
         {std::string(), std::string("\xFF\x00", 2), std::string("\xFF\xFF\xFF\x01\x00\x00", 6)}) {
        MemoryBuffer buffer(cut.data(), cut.size());
        CString s("previous");
        EXPECT_FALSE(s.deserialize(&buffer)) << cut.size() << " prefix bytes";
        EXPECT_EQ(s.str(), "previous");
    }
    // 0xFFFFFFFF bytes announced, none there: refused by the count, not by the allocator.
    const std::string huge("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7);
    MemoryBuffer buffer(huge.data(), huge.size());
    CString s;
    EXPECT_THROW(s.deserialize(&buffer), FF::utils::deserialize_block_error);
}

TEST(HostArrays, NewEntriesAreEmptyAfterEveryGrow) {
    int a = 0;
    CObArray objects;
    objects.SetSize(3, -1);
    objects.SetAt(1, &a);
    objects.SetAt(2, &a);
    objects.SetSize(2);
    objects.SetSize(5); // entry 2 held &a before the shrink
    EXPECT_EQ(objects.GetAt(1), &a);
    EXPECT_EQ(objects.GetAt(2), nullptr);
    objects.SetSize(INT_MIN);
    EXPECT_EQ(objects.GetSize(), 0);
    CStringArray texts;
    texts.SetSize(2, -1);
    texts[1] = "b";
    texts.SetSize(1);
    texts.SetSize(3);
    EXPECT_EQ(texts[1].str(), "");
}

std::string contentOf(const MemoryBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.data()),
                       static_cast<size_t>(buffer.length()));
}

// Claims bytes it does not hold and counts the reads, to see that a count is judged by
// length() - position() before anything is read.
class CountingSource : public FF::utils::IBuffer {
public:
    CountingSource(uint64_t length, uint64_t position) : claimed{length, position} {}
    bool read(void*, uint64_t) override { return ++reads, false; }
    uint64_t length() const override { return claimed[0]; }
    uint64_t position() const override { return claimed[1]; }
    uint64_t claimed[2];
    int reads = 0;
};

TEST(MemoryBuffer, ReadsAndTakesTheNextBytesOrRefusesWithoutTouchingAnything) {
    MemoryBuffer source("0123456789", 10);
    char skip[3];
    ASSERT_TRUE(source.read(skip, 3));
    MemoryBuffer target("old", 3);
    EXPECT_FALSE(target.from(&source, 8)); // the source stays where it was
    EXPECT_EQ(source.position(), 3u);
    ASSERT_TRUE(target.from(&source, 4));
    EXPECT_EQ(contentOf(target), "3456");
    EXPECT_EQ(target.position(), 0u);
    EXPECT_EQ(source.position(), 7u);
    const struct {
        uint64_t length, position;
        unsigned long long count;
        int reads;
    } cases[] = {
        {10, 4, 7, 0},          {0, 0, 1, 0}, {100, 0, static_cast<unsigned long long>(-1LL), 0},
        {16, 0, 1ULL << 32, 0}, {4, 8, 1, 0}, {8, 0, 8, 1}}; // claimed but not delivered
    for (const auto& c : cases) {
        CountingSource counting(c.length, c.position);
        MemoryBuffer kept("keep", 4);
        EXPECT_FALSE(kept.from(&counting, c.count)) << c.count;
        EXPECT_EQ(counting.reads, c.reads);
        EXPECT_EQ(contentOf(kept), "keep");
    }
    EXPECT_FALSE(target.from(nullptr, 0));
    char out[16];
    for (uint64_t tooMany : {uint64_t{5}, UINT64_MAX}) {
        EXPECT_FALSE(source.read(out, tooMany)); // nothing moved
    }
    EXPECT_EQ(source.position(), 7u);
}

} // namespace
