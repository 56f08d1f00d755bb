// Real-time database as the module calls it: each type of variable against each getter and
// setter, and the failures.
#include "kestrovalumen/host/rtdb.h"
#include "runtime/host/rtdb.h"
#include "tests/support/hostfixture.h"

#include <cmath>
#include <limits>

namespace {

using kestro::Rtdb;
using kestro::VarType;

constexpr int Ok = kestro::RtdbOk;
constexpr int WrongType = kestro::RtdbWrongType;
constexpr int BadText = kestro::RtdbBadText;
constexpr int NoValue = kestro::RtdbNoValue;
constexpr int Unknown = kestro::RtdbUnknownVariable;

class RtdbTest : public HostTest {
protected:
    Rtdb& db = Rtdb::instance();
};

enum class Setter { Int, Float, Str };

struct Row {
    VarType type;
    Setter setter;
    double number; // the argument of Rtdb_SvrSetInt / Rtdb_SvrSetFloat
    const char* text;
    int setResult;
    // What each getter gives afterwards (-777 / "untouched": left alone).
    int intResult, intValue, floatResult;
    double floatValue;
    int stringResult;
    const char* stringValue;
};

TEST_F(RtdbTest, EverySetterAndGetterOnEveryType) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const char* u = "untouched";
    // clang-format off
    const Row rows[] = {
        {VarType::Int, Setter::Int, -2147483648.0, nullptr, Ok, Ok, INT32_MIN, Ok, -2147483648.0, Ok, "-2147483648"},
        {VarType::Int, Setter::Float, -3.0, nullptr, Ok, Ok, -3, Ok, -3.0, Ok, "-3"},
        {VarType::Int, Setter::Float, 1.5, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Int, Setter::Float, nan, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Int, Setter::Str, 0, " -17 ", Ok, Ok, -17, Ok, -17.0, Ok, "-17"},
        {VarType::Int, Setter::Str, 0, "2147483648", BadText, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Int, Setter::Str, 0, "12abc", BadText, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Float, Setter::Int, 3, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::Float, Setter::Float, 0.1, nullptr, Ok, WrongType, -777, Ok, 0.1, Ok, "0.1"},
        {VarType::Float, Setter::Float, -0.0001, nullptr, Ok, WrongType, -777, Ok, -0.0001, Ok, "-0.0001"},
        {VarType::Float, Setter::Float, 1e21, nullptr, Ok, WrongType, -777, Ok, 1e21, Ok, "1e+21"},
        {VarType::Float, Setter::Str, 0, "6.5e2", Ok, WrongType, -777, Ok, 650, Ok, "650"},
        {VarType::Float, Setter::Str, 0, "inf", BadText, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::String, Setter::Int, 3, nullptr, WrongType, NoValue, -777, NoValue, -777, NoValue, u},
        {VarType::String, Setter::Str, 0, " 12.5 ", Ok, WrongType, -777, Ok, 12.5, Ok, " 12.5 "},
        {VarType::String, Setter::Str, 0, "open", Ok, WrongType, -777, BadText, -777, Ok, "open"},
        {VarType::String, Setter::Str, 0, nullptr, Ok, WrongType, -777, BadText, -777, Ok, ""},
    };
    // clang-format on
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(n);
        const int index = db.define("v" + std::to_string(n++), r.type);
        int result = -1;
        switch (r.setter) {
        case Setter::Int:
            result = Rtdb_SvrSetInt(index, static_cast<int>(r.number), 0, 0);
            break;
        case Setter::Float:
            result = Rtdb_SvrSetFloat(index, r.number, 0, 0);
            break;
        case Setter::Str:
            result = Rtdb_SvrSetStr(index, r.text, 0, 0);
            break;
        }
        EXPECT_EQ(result, r.setResult);
        int i = -777;
        EXPECT_EQ(Rtdb_SvrGetInt(index, &i), r.intResult);
        EXPECT_EQ(i, r.intValue);
        double d = -777.0;
        EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), r.floatResult);
        EXPECT_DOUBLE_EQ(d, r.floatValue);
        std::string s = u;
        EXPECT_EQ(Rtdb_SvrGetStr(index, &s), r.stringResult);
        EXPECT_EQ(s, r.stringValue);
    }
}

TEST_F(RtdbTest, RefusedWritesKeepTheValueAndUnknownIndicesFailEveryCall) {
    const int f = db.define("f", VarType::Float);
    ASSERT_EQ(Rtdb_SvrSetFloat(f, 4.5, 0, 0), Ok);
    EXPECT_EQ(Rtdb_SvrSetStr(f, "nine", 0, 0), BadText); // a refused write keeps the value
    double kept = 0.0;
    EXPECT_EQ(Rtdb_SvrGetFloat(f, &kept), Ok);
    EXPECT_EQ(kept, 4.5);
    for (int index : {1, -1, 1000}) {
        int i = 5;
        double d = 5.0;
        std::string s = "keep";
        EXPECT_EQ(Rtdb_SvrGetInt(index, &i), Unknown);
        EXPECT_EQ(Rtdb_SvrGetFloat(index, &d), Unknown);
        EXPECT_EQ(Rtdb_SvrGetStr(index, &s), Unknown);
        EXPECT_EQ(Rtdb_SvrSetInt(index, 1, 0, 0), Unknown);
        EXPECT_EQ(Rtdb_SvrSetFloat(index, 1.0, 0, 0), Unknown);
        EXPECT_EQ(Rtdb_SvrSetStr(index, "1", 0, 0), Unknown);
        EXPECT_EQ(i, 5);
        EXPECT_EQ(d, 5.0);
        EXPECT_EQ(s, "keep");
    }
}

} // namespace
