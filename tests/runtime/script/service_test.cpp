// The result holder's conversions and the expression host over the real-time database.
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Kind = Script::ValueType::Kind;

TEST(ScriptValue, NumbersAsShortestText) {
    const struct {
        double value;
        const char* text;
        // clang-format off
    } floats[] = {
        {3.0, "3"}, {-0.0, "0"}, {0.1 + 0.2, "0.30000000000000004"},
        {2.0 / 3.0, "0.6666666666666666"}, {-123.456, "-123.456"}, {123456789.125, "123456789.125"},
        {1e20, "100000000000000000000"}, {1e21, "1e+21"}, {1.5e21, "1.5e+21"}, {1e-6, "0.000001"},
        {1.25e-6, "0.00000125"}, {1e-7, "1e-7"}, {-1.5e-7, "-1.5e-7"}, {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"}, {HUGE_VAL, "inf"},
        {-HUGE_VAL, "-inf"}, {std::nan(""), "nan"},
    };
    // clang-format on
    for (const auto& c : floats) {
        Script::ValueType value;
        value.setFloat(c.value);
        EXPECT_EQ(value.kind(), Kind::Float);
        EXPECT_EQ(value.getString(), c.text) << c.text;
    }
    Script::ValueType value;
    value.setInteger(INT64_MIN);
    EXPECT_EQ(value.getString(), "-9223372036854775808");
    EXPECT_EQ(value.getFloat(), -9223372036854775808.0);
}

TEST(ScriptValue, StringsByTheirLeadingNumber) {
    const struct {
        const char* text;
        double number;
    } cases[] = {
        {"12.5 bar", 12.5}, {"  -3e2x", -300.0},
        {".5", 0.5},        {"5.", 5.0},
        {"+7", 7.0},        {"\t\n 42", 42.0},
        {"1e", 1.0},        {"2e+", 2.0},
        {"0x1A", 0.0},      {"abc", 0.0},
        {"", 0.0},          {"- 5", 0.0},
        {"e5", 0.0},        {".", 0.0},
        {"1e999", 0.0},     {"-.25", -0.25},
        {"007", 7.0},       {"1,5", 1.0},
        {"1.5.2", 1.5},     {"9007199254740993", 9007199254740992.0},
    };
    for (const auto& c : cases) {
        Script::ValueType value;
        value.setString(c.text);
        EXPECT_EQ(value.getFloat(), c.number) << '"' << c.text << '"';
    }
    Script::ValueType value;
    value.setString("a\0b", 3);
    EXPECT_EQ(value.getString(), std::string("a\0b", 3));
    value.clear();
    EXPECT_EQ(value.kind(), Kind::Empty);
    EXPECT_EQ(value.getString(), "");
}

class ScriptRtdbHost : public HostTest {};

TEST_F(ScriptRtdbHost, ReadsTheCurrentValueOfEveryType) {
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    const int level = rtdb.define("Tank1.Level", kestro::VarType::Int);
    rtdb.setFloat(rtdb.define("Tank1.Temp", kestro::VarType::Float), 21.5);
    rtdb.setString(rtdb.define("Tank1.Name", kestro::VarType::String), "north");
    rtdb.define("Tank1.Unset", kestro::VarType::Int);
    rtdb.setFloat(rtdb.define("Bad", kestro::VarType::Float), std::nan(""));
    ASSERT_EQ(rtdb.setInt(level, 75), 0);

    kestro::RtdbScriptHost host;
    const auto eval = [&host](const std::string& source) {
        const kestro::script::CompileResult compiled = kestro::script::compile(source);
        EXPECT_TRUE(compiled.ok()) << compiled.error.text();
        return scripttest::runBytes(compiled.bytes, &host);
    };
    EXPECT_EQ(eval("Tank1.Level").value.kind(), Kind::Integer);
    EXPECT_EQ(eval("Tank1.Temp").value.kind(), Kind::Float);
    EXPECT_EQ(eval("Tank1.Name + \": \" + Tank1.Level / 2 + \" \" + Tank1.Temp").value.getString(),
              "north: 37.5 21.5");
    rtdb.setInt(level, 80);
    EXPECT_EQ(eval("Tank1.Level").value.getString(), "80");
    EXPECT_EQ(eval("Tank1.Unset + 1").error, "variable 3 is unknown or has no value");
    EXPECT_EQ(eval("Bad * 2").error, "variable 4 holds no finite number");
    Script::ValueType out;
    EXPECT_FALSE(host.getVariable(7, out));
    EXPECT_FALSE(host.getVariable(-1, out));
}

} // namespace
