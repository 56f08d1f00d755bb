// Real-time database: each type of variable against each getter and setter, the failures, and
// the change counter.
#include "kestrovalumen/host/rtdb.h"
#include "runtime/host/rtdb.h"
#include "tests/support/hostfixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using kestro::Rtdb;
using kestro::VarType;

class RtdbTest : public HostTest {
protected:
    Rtdb& db = Rtdb::instance();
};

// ---- definition and lookup ----

TEST_F(RtdbTest, DefinesVariablesByName) {
    EXPECT_EQ(db.define("level", VarType::Float), 0);
    EXPECT_EQ(db.define("count", VarType::Int), 1);
    EXPECT_EQ(db.define("label", VarType::String), 2);
    EXPECT_EQ(db.define("level", VarType::Int), -1); // name taken
    EXPECT_EQ(db.define("", VarType::Int), -1);
    EXPECT_EQ(db.count(), 3);
    EXPECT_EQ(db.indexOf("count"), 1);
    EXPECT_EQ(db.indexOf("nothing"), -1);
    ASSERT_NE(db.variable(2), nullptr);
    EXPECT_EQ(db.variable(2)->name, "label");
    EXPECT_EQ(db.variable(2)->type, VarType::String);
    EXPECT_FALSE(db.variable(2)->hasValue);
    EXPECT_EQ(db.variable(3), nullptr);
    EXPECT_EQ(db.variable(-1), nullptr);
}

// ---- reads: each type of variable with each getter ----

struct ReadCase {
    const char* name;
    VarType type;
    const char* stored; // written with the setter of the type (a number for Int and Float)
    int intResult;
    int intValue;
    int floatResult;
    double floatValue;
    int stringResult;
    const char* stringValue;
};

class RtdbRead : public RtdbTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RtdbRead, EveryGetter) {
    const ReadCase& c = GetParam();
    const int index = db.define("v", c.type);
    switch (c.type) {
    case VarType::Int:
        ASSERT_EQ(Rtdb_SvrSetInt(index, std::atoi(c.stored), 0, 0), 0);
        break;
    case VarType::Float:
        ASSERT_EQ(Rtdb_SvrSetFloat(index, std::atof(c.stored), 0, 0), 0);
        break;
    case VarType::String:
        ASSERT_EQ(Rtdb_SvrSetStr(index, c.stored, 0, 0), 0);
        break;
    }
    int i = -777;
    EXPECT_EQ(Rtdb_SvrGetInt(index, &i), c.intResult);
    EXPECT_EQ(i, c.intValue);
    double d = -777.0;
    EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), c.floatResult);
    EXPECT_DOUBLE_EQ(d, c.floatValue);
    std::string s = "untouched";
    EXPECT_EQ(Rtdb_SvrGetStr(index, &s), c.stringResult);
    EXPECT_EQ(s, c.stringValue);
}

constexpr int Ok = kestro::RtdbOk;
constexpr int WrongType = kestro::RtdbWrongType;
constexpr int BadText = kestro::RtdbBadText;

INSTANTIATE_TEST_SUITE_P(
    Types, RtdbRead,
    ::testing::Values(
        // name, type, stored, getInt, value, getFloat, value, getStr, value
        ReadCase{"IntPositive", VarType::Int, "42", Ok, 42, Ok, 42.0, Ok, "42"},
        ReadCase{"IntNegative", VarType::Int, "-7", Ok, -7, Ok, -7.0, Ok, "-7"},
        ReadCase{"IntMinimum", VarType::Int, "-2147483648", Ok, INT32_MIN, Ok, -2147483648.0, Ok,
                 "-2147483648"},
        ReadCase{"FloatHalf", VarType::Float, "2.5", WrongType, -777, Ok, 2.5, Ok, "2.5"},
        ReadCase{"FloatTenth", VarType::Float, "0.1", WrongType, -777, Ok, 0.1, Ok, "0.1"},
        ReadCase{"FloatWhole", VarType::Float, "3", WrongType, -777, Ok, 3.0, Ok, "3"},
        ReadCase{"FloatHundred", VarType::Float, "100", WrongType, -777, Ok, 100.0, Ok, "100"},
        ReadCase{"FloatNegativeSmall", VarType::Float, "-0.0001", WrongType, -777, Ok, -0.0001, Ok,
                 "-0.0001"},
        ReadCase{"FloatLarge", VarType::Float, "1e21", WrongType, -777, Ok, 1e21, Ok, "1e+21"},
        ReadCase{"FloatThird", VarType::Float, "0.3333333333333333", WrongType, -777, Ok,
                 0.3333333333333333, Ok, "0.3333333333333333"},
        ReadCase{"StringNumber", VarType::String, " 12.5 ", WrongType, -777, Ok, 12.5, Ok,
                 " 12.5 "},
        ReadCase{"StringWord", VarType::String, "open", WrongType, -777, BadText, -777.0, Ok,
                 "open"},
        ReadCase{"StringEmpty", VarType::String, "", WrongType, -777, BadText, -777.0, Ok, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RtdbTest, UnknownIndexAndUnwrittenVariableFailEveryGetter) {
    const int unwritten = db.define("fresh", VarType::Int);
    for (int index : {unwritten + 1, -1, 1000}) {
        int i = 5;
        double d = 5.0;
        std::string s = "keep";
        EXPECT_EQ(Rtdb_SvrGetInt(index, &i), kestro::RtdbUnknownVariable) << index;
        EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), kestro::RtdbUnknownVariable) << index;
        EXPECT_EQ(Rtdb_SvrGetStr(index, &s), kestro::RtdbUnknownVariable) << index;
        EXPECT_EQ(i, 5);
        EXPECT_EQ(d, 5.0);
        EXPECT_EQ(s, "keep");
    }
    for (VarType type : {VarType::Int, VarType::Float, VarType::String}) {
        const int index = db.define("unwritten" + std::to_string(static_cast<int>(type)), type);
        int i = 0;
        double d = 0.0;
        std::string s;
        EXPECT_EQ(Rtdb_SvrGetInt(index, &i), kestro::RtdbNoValue);
        EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), kestro::RtdbNoValue);
        EXPECT_EQ(Rtdb_SvrGetStr(index, &s), kestro::RtdbNoValue);
    }
}

// ---- writes: each type of variable with each setter ----

enum class Setter { Int, Float, Str };

struct WriteCase {
    const char* name;
    VarType type;
    Setter setter;
    int intArgument;
    double floatArgument;
    const char* textArgument;
    int expectedResult;
    const char* readBack; // through Rtdb_SvrGetStr; "" when refused (nothing stored)
};

class RtdbWriteTable : public RtdbTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RtdbWriteTable, StoresOrRefuses) {
    const WriteCase& c = GetParam();
    const int index = db.define("v", c.type);
    int result = -1;
    switch (c.setter) {
    case Setter::Int:
        result = Rtdb_SvrSetInt(index, c.intArgument, 0, 0);
        break;
    case Setter::Float:
        result = Rtdb_SvrSetFloat(index, c.floatArgument, 0, 0);
        break;
    case Setter::Str:
        result = Rtdb_SvrSetStr(index, c.textArgument, 0, 0);
        break;
    }
    EXPECT_EQ(result, c.expectedResult);
    std::string back;
    if (c.expectedResult == Ok) {
        ASSERT_EQ(Rtdb_SvrGetStr(index, &back), Ok);
        EXPECT_EQ(back, c.readBack);
        EXPECT_EQ(db.variable(index)->changes, 1u);
    } else {
        EXPECT_EQ(Rtdb_SvrGetStr(index, &back), kestro::RtdbNoValue);
        EXPECT_FALSE(db.variable(index)->hasValue);
        EXPECT_EQ(db.variable(index)->changes, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, RtdbWriteTable,
    ::testing::Values(
        // Integer variables.
        WriteCase{"IntSetInt", VarType::Int, Setter::Int, -5, 0, nullptr, Ok, "-5"},
        WriteCase{"IntSetFloatWhole", VarType::Int, Setter::Float, 0, 12.0, nullptr, Ok, "12"},
        WriteCase{"IntSetFloatNegativeWhole", VarType::Int, Setter::Float, 0, -3.0, nullptr, Ok,
                  "-3"},
        WriteCase{"IntSetFloatFraction", VarType::Int, Setter::Float, 0, 1.5, nullptr, WrongType,
                  ""},
        WriteCase{"IntSetFloatTooLarge", VarType::Int, Setter::Float, 0, 2147483648.0, nullptr,
                  WrongType, ""},
        WriteCase{"IntSetFloatNaN", VarType::Int, Setter::Float, 0,
                  std::numeric_limits<double>::quiet_NaN(), nullptr, WrongType, ""},
        WriteCase{"IntSetStrDigits", VarType::Int, Setter::Str, 0, 0, " -17 ", Ok, "-17"},
        WriteCase{"IntSetStrFraction", VarType::Int, Setter::Str, 0, 0, "1.5", BadText, ""},
        WriteCase{"IntSetStrWord", VarType::Int, Setter::Str, 0, 0, "on", BadText, ""},
        WriteCase{"IntSetStrEmpty", VarType::Int, Setter::Str, 0, 0, "", BadText, ""},
        WriteCase{"IntSetStrOutOfRange", VarType::Int, Setter::Str, 0, 0, "2147483648", BadText,
                  ""},
        WriteCase{"IntSetStrTrailing", VarType::Int, Setter::Str, 0, 0, "12abc", BadText, ""},
        // Decimal variables.
        WriteCase{"FloatSetInt", VarType::Float, Setter::Int, 3, 0, nullptr, WrongType, ""},
        WriteCase{"FloatSetFloat", VarType::Float, Setter::Float, 0, -0.25, nullptr, Ok, "-0.25"},
        WriteCase{"FloatSetStrNumber", VarType::Float, Setter::Str, 0, 0, "6.5e2", Ok, "650"},
        WriteCase{"FloatSetStrWord", VarType::Float, Setter::Str, 0, 0, "high", BadText, ""},
        WriteCase{"FloatSetStrInfinite", VarType::Float, Setter::Str, 0, 0, "inf", BadText, ""},
        // String variables.
        WriteCase{"StrSetInt", VarType::String, Setter::Int, 3, 0, nullptr, WrongType, ""},
        WriteCase{"StrSetFloat", VarType::String, Setter::Float, 0, 3.5, nullptr, WrongType, ""},
        WriteCase{"StrSetStr", VarType::String, Setter::Str, 0, 0, "\xE5\xBC\x80", Ok,
                  "\xE5\xBC\x80"},
        WriteCase{"StrSetStrNull", VarType::String, Setter::Str, 0, 0, nullptr, Ok, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RtdbTest, SettersFailForAnUnknownIndex) {
    db.define("only", VarType::Int);
    EXPECT_EQ(Rtdb_SvrSetInt(1, 1, 0, 0), kestro::RtdbUnknownVariable);
    EXPECT_EQ(Rtdb_SvrSetFloat(-1, 1.0, 0, 0), kestro::RtdbUnknownVariable);
    EXPECT_EQ(Rtdb_SvrSetStr(7, "1", 0, 0), kestro::RtdbUnknownVariable);
}

TEST_F(RtdbTest, ARefusedWriteKeepsTheEarlierValue) {
    const int index = db.define("v", VarType::Float);
    ASSERT_EQ(Rtdb_SvrSetFloat(index, 4.5, 0, 0), 0);
    EXPECT_NE(Rtdb_SvrSetInt(index, 9, 0, 0), 0);
    EXPECT_NE(Rtdb_SvrSetStr(index, "nine", 0, 0), 0);
    double d = 0.0;
    ASSERT_EQ(Rtdb_SvrGetFloat(index, &d), 0);
    EXPECT_EQ(d, 4.5);
    EXPECT_EQ(db.variable(index)->changes, 1u);
}

TEST_F(RtdbTest, TheChangeCounterCountsOnlyWritesThatChangeTheValue) {
    const int i = db.define("i", VarType::Int);
    const int f = db.define("f", VarType::Float);
    const int s = db.define("s", VarType::String);
    // First write, same value, new value, same value through another setter, refused write.
    Rtdb_SvrSetInt(i, 0, 0, 0);
    Rtdb_SvrSetInt(i, 0, 0, 0);
    Rtdb_SvrSetInt(i, 1, 0, 0);
    Rtdb_SvrSetStr(i, "1", 0, 0);
    Rtdb_SvrSetFloat(i, 1.5, 0, 0);
    EXPECT_EQ(db.variable(i)->changes, 2u);

    Rtdb_SvrSetFloat(f, 0.5, 0, 0);
    Rtdb_SvrSetFloat(f, 0.5, 0, 0);
    Rtdb_SvrSetStr(f, "0.50", 0, 0);
    Rtdb_SvrSetFloat(f, 0.75, 0, 0);
    Rtdb_SvrSetFloat(f, std::nan(""), 0, 0);
    Rtdb_SvrSetFloat(f, std::nan(""), 0, 0);
    EXPECT_EQ(db.variable(f)->changes, 3u);

    Rtdb_SvrSetStr(s, "", 0, 0); // the first write counts even when the text is empty
    Rtdb_SvrSetStr(s, "", 0, 0);
    Rtdb_SvrSetStr(s, "a", 0, 0);
    Rtdb_SvrSetStr(s, "a", 0, 0);
    EXPECT_EQ(db.variable(s)->changes, 2u);
}

TEST_F(RtdbTest, EverySetterCallIsRecorded) {
    const int i = db.define("i", VarType::Int);
    const int f = db.define("f", VarType::Float);
    Rtdb_SvrSetInt(f, 3, 0, 0);
    Rtdb_SvrSetFloat(f, 3.0, 0, 0);
    Rtdb_SvrSetStr(i, "8", 0, 0);
    const auto& writes = db.writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].index, f);
    EXPECT_EQ(writes[0].setter, VarType::Int);
    EXPECT_EQ(writes[0].intValue, 3);
    EXPECT_EQ(writes[0].result, kestro::RtdbWrongType);
    EXPECT_EQ(writes[1].setter, VarType::Float);
    EXPECT_EQ(writes[1].floatValue, 3.0);
    EXPECT_EQ(writes[1].result, 0);
    EXPECT_EQ(writes[2].index, i);
    EXPECT_EQ(writes[2].setter, VarType::String);
    EXPECT_EQ(writes[2].text, "8");
    EXPECT_EQ(writes[2].result, 0);
}

TEST_F(RtdbTest, ClearForgetsVariablesAndWrites) {
    const int i = db.define("i", VarType::Int);
    Rtdb_SvrSetInt(i, 1, 0, 0);
    db.clear();
    EXPECT_EQ(db.count(), 0);
    EXPECT_TRUE(db.writes().empty());
    EXPECT_EQ(db.indexOf("i"), -1);
    int value = 0;
    EXPECT_EQ(Rtdb_SvrGetInt(i, &value), kestro::RtdbUnknownVariable);
}

} // namespace
