// The host string and arrays: operations at their edges, the stream form at every prefix size.
#include "kestrovalumen/host/MfcToQt.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/stream/forms.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using FF::utils::MemoryBuffer;

namespace {

std::string bytesOf(const CString& s) {
    return s.str();
}

// ---- operations ----

TEST(CString, ConstructionKeepsBytesAsGiven) {
    EXPECT_EQ(bytesOf(CString()), "");
    EXPECT_EQ(bytesOf(CString(static_cast<const char*>(nullptr))), "");
    EXPECT_EQ(bytesOf(CString("abc")), "abc");
    const CString withZero("a\0b", 3);
    EXPECT_EQ(withZero.GetLength(), 3);
    EXPECT_STREQ(withZero.GetString(), "a"); // read zero-terminated
    EXPECT_EQ(bytesOf(CString("abc", -1)), "");
    EXPECT_EQ(bytesOf(CString(nullptr, 4)), "");
}

TEST(CString, AssignmentAndConcatenation) {
    CString s("ab");
    s += "cd";
    EXPECT_EQ(bytesOf(s), "abcd");
    s += CString("ef");
    EXPECT_EQ(bytesOf(s), "abcdef");
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ(bytesOf(s), "abcdef");
    EXPECT_EQ(bytesOf("x" + CString("y")), "xy");
    EXPECT_EQ(bytesOf(CString("x") + CString("y")), "xy");

    CString self("ab");
    self += self;
    EXPECT_EQ(bytesOf(self), "abab");
    self = self.GetString() + 1; // a tail of its own bytes
    EXPECT_EQ(bytesOf(self), "bab");
    const CString& alias = self;
    self = alias;
    EXPECT_EQ(bytesOf(self), "bab");
    self = static_cast<const char*>(nullptr);
    EXPECT_EQ(bytesOf(self), "");
}

TEST(CString, FormatReplacesTheContent) {
    CString s("old");
    s.Format("%d/%s/%.1f", 7, "x", 2.25);
    EXPECT_EQ(bytesOf(s), "7/x/2.2");
    s.Format("%s!", s.GetString()); // its own text as an argument
    EXPECT_EQ(bytesOf(s), "7/x/2.2!");
    s.Format("%s", "");
    EXPECT_EQ(bytesOf(s), "");
}

struct FindCase {
    const char* text;
    const char* what;
    int expected;
};

TEST(CString, Find) {
    const FindCase cases[] = {
        {"hello world", "o", 4},
        {"hello world", "world", 6},
        {"hello world", "xyz", -1},
        {"hello world", "", 0},
        {"", "a", -1},
        {"aaa", "aa", 0},
        {"hello", "hello!", -1},
        {"abc", nullptr, -1},
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(CString(c.text).Find(c.what), c.expected)
            << "\"" << c.text << "\".Find(" << (c.what ? c.what : "null") << ")";
    }
}

struct CutCase {
    int count;
    const char* left;
    const char* right;
};

TEST(CString, LeftAndRight) {
    const CString s("abcdef");
    const CutCase cases[] = {
        {-5, "", ""},
        {-1, "", ""},
        {0, "", ""},
        {1, "a", "f"},
        {3, "abc", "def"},
        {5, "abcde", "bcdef"},
        {6, "abcdef", "abcdef"},
        {7, "abcdef", "abcdef"},
        {INT_MAX, "abcdef", "abcdef"},
    };
    for (const CutCase& c : cases) {
        EXPECT_EQ(bytesOf(s.Left(c.count)), c.left) << "Left(" << c.count << ")";
        EXPECT_EQ(bytesOf(s.Right(c.count)), c.right) << "Right(" << c.count << ")";
    }
    EXPECT_EQ(bytesOf(CString().Left(3)), "");
    EXPECT_EQ(bytesOf(CString().Right(3)), "");
}

struct DeleteCase {
    int index;
    int count;
    const char* result;
};

TEST(CString, Delete) {
    const DeleteCase cases[] = {
        {0, 1, "bcdef"},   {2, 2, "abef"},     {4, 10, "abcd"}, {5, 1, "abcde"},
        {6, 1, "abcdef"},  {10, 2, "abcdef"},  {-2, 3, "def"},  {1, 0, "abcdef"},
        {1, -1, "abcdef"}, {2, INT_MAX, "ab"}, {0, 6, ""},      {INT_MAX, INT_MAX, "abcdef"},
    };
    for (const DeleteCase& c : cases) {
        CString s("abcdef");
        const int length = s.Delete(c.index, c.count);
        EXPECT_EQ(bytesOf(s), c.result) << "Delete(" << c.index << ", " << c.count << ")";
        EXPECT_EQ(length, static_cast<int>(std::string(c.result).size()));
    }
    CString one("xyz");
    EXPECT_EQ(one.Delete(1), 2); // one byte by default
    EXPECT_EQ(bytesOf(one), "xz");
}

TEST(CString, MakeUpperChangesOnlyAsciiLetters) {
    CString s("abc-XYZ z0{\xC3\xA4}");
    s.MakeUpper();
    EXPECT_EQ(bytesOf(s), "ABC-XYZ Z0{\xC3\xA4}");
}

// ---- stream form ----

struct StreamCase {
    const char* name;
    std::string prefix;
    size_t length;
};

class CStringStream : public ::testing::TestWithParam<StreamCase> {};

std::string textOfLength(size_t length) {
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

TEST_P(CStringStream, ReadsThePrefixThenTheBytes) {
    const StreamCase& c = GetParam();
    const std::string text = textOfLength(c.length);
    const std::string stream = c.prefix + text + "Z";
    MemoryBuffer buffer(stream.data(), stream.size());
    CString s("previous");
    ASSERT_TRUE(s.deserialize(&buffer));
    EXPECT_EQ(s.GetLength(), static_cast<int>(c.length));
    EXPECT_EQ(bytesOf(s), text);
    EXPECT_EQ(buffer.position(), c.prefix.size() + c.length);
    char next = 0;
    ASSERT_TRUE(buffer.read(&next, 1));
    EXPECT_EQ(next, 'Z');
}

TEST_P(CStringStream, TheWriterMakesTheSamePrefix) {
    const StreamCase& c = GetParam();
    const std::string text = textOfLength(c.length);
    std::string stream = "#";
    kestro::appendHostString(stream, text);
    EXPECT_EQ(stream, "#" + c.prefix + text);
}

TEST_P(CStringStream, ALengthPastTheBytesThrowsAndKeepsTheString) {
    const StreamCase& c = GetParam();
    if (c.length == 0) {
        GTEST_SKIP() << "an empty string cannot run short";
    }
    const std::string stream = c.prefix + textOfLength(c.length - 1);
    MemoryBuffer buffer(stream.data(), stream.size());
    CString s("previous");
    EXPECT_THROW(s.deserialize(&buffer), FF::utils::deserialize_block_error);
    EXPECT_EQ(bytesOf(s), "previous");
}

INSTANTIATE_TEST_SUITE_P(
    PrefixSizes, CStringStream,
    ::testing::Values(
        StreamCase{"Empty", std::string("\x00", 1), 0}, StreamCase{"One", "\x01", 1},
        StreamCase{"LongestOneByte", "\xFE", 254},
        StreamCase{"ShortestTwoByte", std::string("\xFF\xFF\x00", 3), 255},
        StreamCase{"LongestTwoByte", "\xFF\xFE\xFF", 0xFFFE},
        StreamCase{"ShortestFourByte", std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7), 0xFFFF},
        StreamCase{"Seventy000", std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7), 70000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CStringStreamCut, ACutPrefixIsFalse) {
    const std::string cuts[] = {
        std::string(),
        std::string("\xFF"),
        std::string("\xFF\x00", 2),
        std::string("\xFF\xFF\xFF"),
        std::string("\xFF\xFF\xFF\x01\x00\x00", 6),
    };
    for (const std::string& cut : cuts) {
        MemoryBuffer buffer(cut.data(), cut.size());
        CString s("previous");
        EXPECT_FALSE(s.deserialize(&buffer)) << cut.size() << " prefix bytes";
        EXPECT_EQ(bytesOf(s), "previous");
    }
}

TEST(CStringStreamCut, AHugeLengthThrowsBeforeAllocating) {
    // 0xFFFFFFFF bytes announced, none there: refused by the count, not by the allocator.
    const std::string stream("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7);
    MemoryBuffer buffer(stream.data(), stream.size());
    CString s;
    EXPECT_THROW(s.deserialize(&buffer), FF::utils::deserialize_block_error);
}

TEST(CStringStreamCut, ANullBufferIsFalse) {
    CString s("x");
    EXPECT_FALSE(s.deserialize(nullptr));
}

TEST(CStringStream, StringsFollowOneAnother) {
    std::string stream;
    kestro::appendHostString(stream, "first");
    kestro::appendHostString(stream, "");
    kestro::appendHostString(stream, "\xE4\xB8\xAD"); // bytes kept as they are
    MemoryBuffer buffer(stream.data(), stream.size());
    CString a, b, c;
    ASSERT_TRUE(a.deserialize(&buffer));
    ASSERT_TRUE(b.deserialize(&buffer));
    ASSERT_TRUE(c.deserialize(&buffer));
    EXPECT_EQ(bytesOf(a), "first");
    EXPECT_EQ(bytesOf(b), "");
    EXPECT_EQ(bytesOf(c), "\xE4\xB8\xAD");
    EXPECT_EQ(buffer.position(), buffer.length());
}

// ---- arrays ----

TEST(CObArray, NewEntriesAreNullAfterEveryGrow) {
    int a = 0, b = 0, c = 0;
    CObArray array;
    EXPECT_EQ(array.GetSize(), 0);
    array.SetSize(3, -1);
    ASSERT_EQ(array.GetSize(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(array.GetAt(i), nullptr);
    }
    array.SetAt(0, &a);
    array.SetAt(1, &b);
    array.SetAt(2, &c);
    array.SetSize(2);
    array.SetSize(5); // entry 2 held &c before the shrink
    ASSERT_EQ(array.GetSize(), 5);
    EXPECT_EQ(array.GetAt(0), &a);
    EXPECT_EQ(array.GetAt(1), &b);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(array.GetAt(i), nullptr) << i;
    }
}

TEST(CObArray, ZeroOrNegativeSizeEmpties) {
    for (int count : {0, -1, INT_MIN}) {
        CObArray array;
        array.SetSize(4);
        array.SetSize(count);
        EXPECT_EQ(array.GetSize(), 0) << count;
    }
}

TEST(CObArray, GrowingOneAtATimeKeepsEarlierEntries) {
    static int items[1000];
    CObArray array;
    for (int i = 0; i < 1000; ++i) {
        array.SetSize(i + 1, -1);
        array.SetAt(i, &items[i]);
    }
    ASSERT_EQ(array.GetSize(), 1000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(array.GetAt(i), &items[i]) << i;
    }
}

TEST(CStringArray, NewEntriesAreEmptyAfterEveryGrow) {
    CStringArray array;
    array.SetSize(2, -1);
    ASSERT_EQ(array.GetSize(), 2);
    EXPECT_EQ(bytesOf(array[0]), "");
    EXPECT_EQ(bytesOf(array[1]), "");
    array[0] = "a";
    array[1] = "b";
    array.SetSize(1);
    array.SetSize(3);
    ASSERT_EQ(array.GetSize(), 3);
    EXPECT_EQ(bytesOf(array[0]), "a");
    EXPECT_EQ(bytesOf(array[1]), "");
    EXPECT_EQ(bytesOf(array[2]), "");
    array.SetSize(-7);
    EXPECT_EQ(array.GetSize(), 0);
}

} // namespace
