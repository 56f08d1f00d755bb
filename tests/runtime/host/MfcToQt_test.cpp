// The host string and arrays: operations at their edges, the stream form at every prefix size.
#include "kestrovalumen/host/MfcToQt.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/stream/forms.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using FF::utils::MemoryBuffer;

namespace {

TEST(CString, ConstructionAssignmentConcatenationAndFormat) {
    EXPECT_EQ(CString(static_cast<const char*>(nullptr)).str(), "");
    const CString withZero("a\0b", 3);
    EXPECT_EQ(withZero.GetLength(), 3);
    EXPECT_STREQ(withZero.GetString(), "a");
    EXPECT_EQ(CString("abc", -1).str(), "");
    EXPECT_EQ(CString(nullptr, 4).str(), "");
    CString s("ab");
    s += s;
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ(s.str(), "abab");
    EXPECT_EQ(("x" + CString("y") + CString("z")).str(), "xyz");
    s = s.GetString() + 1; // a tail of its own bytes
    EXPECT_EQ(s.str(), "bab");
    s.Format("%d/%s/%.1f", 7, "x", 2.25);
    EXPECT_EQ(s.str(), "7/x/2.2");
    s.Format("%s!", s.GetString()); // its own text as an argument
    EXPECT_EQ(s.str(), "7/x/2.2!");
    CString upper("abc-XYZ z0{\xC3\xA4}");
    upper.MakeUpper();
    EXPECT_EQ(upper.str(), "ABC-XYZ Z0{\xC3\xA4}");
}

TEST(CString, FindLeftRightDelete) {
    const struct {
        const char *text, *what;
        int expected;
    } finds[] = {
        {"hello world", "world", 6}, {"hello world", "xyz", -1}, {"hello", "", 0}, {"", "a", -1},
        {"hello", "hello!", -1},     {"abc", nullptr, -1}};
    for (const auto& c : finds) {
        EXPECT_EQ(CString(c.text).Find(c.what), c.expected) << c.text;
    }
    const CString s("abcdef");
    const struct {
        int count;
        const char *left, *right;
    } cuts[] = {{-1, "", ""},
                {0, "", ""},
                {1, "a", "f"},
                {5, "abcde", "bcdef"},
                {7, "abcdef", "abcdef"},
                {INT_MAX, "abcdef", "abcdef"}};
    for (const auto& c : cuts) {
        EXPECT_EQ(s.Left(c.count).str(), c.left) << c.count;
        EXPECT_EQ(s.Right(c.count).str(), c.right) << c.count;
    }
    const struct {
        int index, count;
        const char* result;
    } deletes[] = {{0, 1, "bcdef"},   {2, 2, "abef"},     {4, 10, "abcd"},
                   {6, 1, "abcdef"},  {-2, 3, "def"},     {1, 0, "abcdef"},
                   {1, -1, "abcdef"}, {2, INT_MAX, "ab"}, {INT_MAX, INT_MAX, "abcdef"}};
    for (const auto& c : deletes) {
        CString d("abcdef");
        EXPECT_EQ(d.Delete(c.index, c.count), static_cast<int>(std::string(c.result).size()));
        EXPECT_EQ(d.str(), c.result) << c.index << ", " << c.count;
    }
    CString one("xyz");
    EXPECT_EQ(one.Delete(1), 2); // one byte by default
}

std::string textOfLength(size_t length) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

TEST(CStringStream, EveryPrefixSizeWrittenReadAndCut) {
    const struct {
        std::string prefix;
        size_t length;
    } cases[] = {{std::string("\x00", 1), 0},
                 {"\x01", 1},
                 {"\xFE", 254},
                 {std::string("\xFF\xFF\x00", 3), 255},
                 {"\xFF\xFE\xFF", 0xFFFE},
                 {std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7), 0xFFFF},
                 {std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7), 70000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text = textOfLength(c.length);
        std::string written;
        kestro::appendHostString(written, text);
        EXPECT_EQ(written, c.prefix + text);
        const std::string stream = c.prefix + text + "Z";
        MemoryBuffer buffer(stream.data(), stream.size());
        CString s("previous");
        ASSERT_TRUE(s.deserialize(&buffer));
        EXPECT_EQ(s.str(), text);
        EXPECT_EQ(buffer.position(), c.prefix.size() + c.length);
        if (c.length > 0) { // one byte short: thrown, the string kept
            MemoryBuffer shorter(stream.data(), c.prefix.size() + c.length - 1);
            CString t("previous");
            EXPECT_THROW(t.deserialize(&shorter), FF::utils::deserialize_block_error);
            EXPECT_EQ(t.str(), "previous");
        }
    }
    for (const std::string& cut : {std::string(), std::string("\xFF"), std::string("\xFF\x00", 2),
                                   std::string("\xFF\xFF\xFF\x01\x00\x00", 6)}) {
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
    EXPECT_FALSE(s.deserialize(nullptr));
}

TEST(HostArrays, NewEntriesAreEmptyAfterEveryGrow) {
    int a = 0, b = 0;
    CObArray objects;
    objects.SetSize(3, -1);
    objects.SetAt(0, &a);
    objects.SetAt(1, &b);
    objects.SetAt(2, &b);
    objects.SetSize(2);
    objects.SetSize(5); // entry 2 held &b before the shrink
    ASSERT_EQ(objects.GetSize(), 5);
    EXPECT_EQ(objects.GetAt(1), &b);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(objects.GetAt(i), nullptr) << i;
    }
    objects.SetSize(INT_MIN);
    EXPECT_EQ(objects.GetSize(), 0);
    CStringArray texts;
    texts.SetSize(2, -1);
    texts[0] = "a";
    texts[1] = "b";
    texts.SetSize(1);
    texts.SetSize(3);
    ASSERT_EQ(texts.GetSize(), 3);
    EXPECT_EQ(texts[0].str(), "a");
    EXPECT_EQ(texts[1].str(), "");
    texts.SetSize(-7);
    EXPECT_EQ(texts.GetSize(), 0);
}

} // namespace
