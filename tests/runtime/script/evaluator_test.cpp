// The expression language at run time: values, functions, failures with their reasons.
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Kind = Script::ValueType::Kind;
constexpr Kind I = Kind::Integer, F = Kind::Float, S = Kind::String;

// Variables of every case: a = 7, b = 2.5, s = "abc", n (index 3) has no value, i = INT64_MIN.
class ScriptEval : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        host.setInteger(0, 7);
        host.setFloat(1, 2.5);
        host.setString(2, "abc");
        host.setInteger(4, INT64_MIN);
    }
    scripttest::Outcome eval(const std::string& source) {
        return scripttest::run(source, &host, resolver);
    }

    scripttest::MapHost host;
    kestro::script::Resolver resolver =
        scripttest::tags({{"a", 0}, {"b", 1}, {"s", 2}, {"n", 3}, {"i", 4}});
};

struct Case {
    const char* source;
    Kind kind;
    const char* text; //!< getString() of the result
};

// The first rows each tell the documented grouping apart from the other possible one.
// clang-format off
const Case kValues[] = {
    {"1 + 2 * 3", I, "7"}, {"8 - 3 - 2", I, "3"}, {"2 * 3 % 4", I, "2"}, {"100 / 10 / 5", F, "2"},
    {"- -a", I, "7"}, {"!0 == 2", I, "0"}, {"1 < 2 == 1", I, "1"}, {"0 == 1 < 2", I, "0"},
    {"1 || 0 && 0", I, "1"}, {"0 ? 2 : 0 ? 4 : 5", I, "5"}, {"1 ? 0 ? 6 : 7 : 8", I, "7"},
    {"0 || 1 ? 10 : 20", I, "10"}, {"-9223372036854775807 - 1", I, "-9223372036854775808"},
    {"1e2", F, "100"}, {"-7 % 3", I, "-1"}, {"i % -1", I, "0"}, {"-7.5 % 2", F, "-1.5"},
    {"a * b", F, "17.5"}, {"0.1 + 0.2", F, "0.30000000000000004"}, {"true + false", I, "1"},
    {"2 < 2.5", I, "1"}, {"9007199254740993 > 9007199254740992", I, "1"},
    {"9007199254740993 == 9007199254740992.0", I, "1"}, {"3 <= 2.5", I, "0"}, {"-b", F, "-2.5"},
    {"\"n=\" + 5", S, "n=5"}, {"\"x\" + 0.1 * 3", S, "x0.30000000000000004"},
    {"\"x\" + 3.0", S, "x3"}, {"\"v\" + 1 + 2", S, "v12"}, {"1 + 2 + \"v\"", S, "3v"},
    {"\"a\\\"b\\\\c\\n\\t\\r\\x41\\x7e\\x4A\"", S, "a\"b\\c\n\t\rA~J"},
    {"\"温度\" + 1", S, "温度1"}, {"s != \"ab\"", I, "1"}, {"\"ab\" < \"abc\"", I, "1"},
    {"\"B\" < \"a\"", I, "1"}, {"\"abc\" <= \"abc\"", I, "1"}, {"\"\\xff\" > \"z\"", I, "1"},
    {"abs(-3)", I, "3"}, {"abs(-2.5)", F, "2.5"}, {"min(3, 1.5)", F, "1.5"}, {"min(2, 2.0)", F, "2"},
    {"min(9, 8, 7, 6, 5, 4, 3, 2, 1, 0.5)", F, "0.5"}, // more values than a shallow stack holds
    {"max(-1, -2)", I, "-1"}, {"max(9007199254740993, 9007199254740992)", I, "9007199254740993"},
    {"clamp(15, 0, 10)", I, "10"}, {"clamp(5, 0.5, 10)", F, "5"}, {"clamp(5, 10, 0)", I, "0"},
    {"floor(-2.2)", F, "-3"}, {"ceil(-7)", I, "-7"}, {"round(-2.5)", F, "-3"}, {"int(-2.9)", I, "-2"},
    {"int(\"  -17 apples\")", I, "-17"}, {"int(\"abc\")", I, "0"},
    {"int(\"9223372036854775807\")", I, "9223372036854775807"}, {"int(\"1e3\")", I, "1000"},
    {"float(\"1.5e3 kg\")", F, "1500"}, {"str(1 / 4)", S, "0.25"}, {"str(s)", S, "abc"},
    {"str(7, 2)", S, "7.00"}, {"str(-0.001, 2)", S, "0.00"}, {"str(-1.5, 0)", S, "-2"},
    {"str(0.125, 2)", S, "0.12"}, {"len(\"温度\")", I, "2"}, {"div(-7, 2)", I, "-3"},
    {"pow(2, -1)", F, "0.5"}, {"log10(1000)", F, "3"}, {"asin(1)", F, "1.5707963267948966"},
    {"atan2(0, -1)", F, "3.141592653589793"}, {"tan(1)", F, "1.5574077246549023"},
    // Skipped operands would fail; && and || give 0 or 1, never their operand.
    {"0 && 1 / 0", I, "0"}, {"1 || 1 / 0", I, "1"}, {"0 ? 1 / 0 : 6", I, "6"},
    {"a > 100 && n > 0", I, "0"}, {"2 && 3", I, "1"}, {"0 || 0.0", I, "0"}, {"!2.5", I, "0"},
    {"0.0 ? 1 : 2", I, "2"},
};
// clang-format on

TEST_F(ScriptEval, Values) {
    for (const Case& c : kValues) {
        const scripttest::Outcome outcome = eval(c.source);
        EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
        EXPECT_EQ(outcome.value.kind(), c.kind) << c.source;
        EXPECT_EQ(outcome.value.getString(), c.text) << c.source;
        EXPECT_EQ(outcome.error, "") << c.source;
    }
}

TEST_F(ScriptEval, ReadsOnlyTheVariablesOnTheTakenPathWhenTheProgramRuns) {
    ASSERT_TRUE(eval("a < 0 && b > 0 || s == \"abc\"").ok);
    ASSERT_TRUE(eval("a > 0 ? b : s").ok);
    ASSERT_TRUE(eval("a + a").ok);
    EXPECT_EQ(host.reads, (std::vector<int>{0, 2, 0, 1, 0, 0}));

    const std::vector<unsigned char> bytes = scripttest::program("a * 2", resolver);
    host.setFloat(0, 0.25);
    const scripttest::Outcome outcome = scripttest::runBytes(bytes, &host);
    EXPECT_EQ(outcome.value.kind(), Kind::Float);
    EXPECT_EQ(outcome.value.getString(), "0.5");
}

struct Failure {
    const char* source;
    const char* reason;
};

TEST_F(ScriptEval, RunTimeFailuresGiveTheirReason) {
    // clang-format off
    const Failure failures[] = {
        {"\"abc\" * 2", "type error: '*' needs numbers, got string and integer"},
        {"2 - \"a\"", "type error: '-' needs numbers, got integer and string"},
        {"-s", "type error: 'unary -' needs a number, got string"},
        {"\"a\" < 1", "type error: '<' cannot compare string with integer"},
        {"1 == \"1\"", "type error: '==' cannot compare integer with string"},
        {"!s", "type error: a condition needs a number, got string"},
        {"1 && s", "type error: a condition needs a number, got string"},
        {"s ? 1 : 2", "type error: a condition needs a number, got string"},
        {"abs(s)", "type error: abs needs a number, got string"},
        {"sqrt(\"4\")", "type error: sqrt needs a number, got string"},
        {"len(5)", "type error: len needs a string, got integer"},
        {"div(7.0, 2)", "type error: div needs integers, got float and integer"},
        {"str(s, 2)", "type error: str needs a number, got string"},
        {"str(1, 1.5)", "type error: str needs an integer count of decimals, got float"},
        {"str(1, 18)", "str: decimals must be 0 to 17, got 18"},
        {"1 / 0", "division by zero in '/'"}, {"a / (b - b)", "division by zero in '/'"},
        {"5 % 0", "division by zero in '%'"}, {"5.5 % 0", "division by zero in '%'"},
        {"div(7, 0)", "division by zero in 'div'"}, {"1 && 1 / 0", "division by zero in '/'"},
        {"0 || 1 / 0", "division by zero in '/'"},
        {"9223372036854775807 + 1", "integer overflow in '+'"},
        {"4611686018427387904 * 2", "integer overflow in '*'"},
        {"-i", "integer overflow in 'unary -'"}, {"abs(i)", "integer overflow in 'abs'"},
        {"div(i, -1)", "integer overflow in 'div'"}, {"int(1e19)", "integer overflow in 'int'"},
        {"int(9223372036854775808.0)", "integer overflow in 'int'"},
        {"int(\"1e30\")", "integer overflow in 'int'"}, {"1e308 * 10", "float overflow in '*'"},
        {"1e308 / 1e-10", "float overflow in '/'"}, {"sqrt(-1)", "sqrt(-1) has no finite result"},
        {"log(0)", "log(0) has no finite result"},
        {"exp(1000)", "exp(1000) has no finite result"},
        {"pow(0, -1)", "pow(0, -1) has no finite result"},
        {"pow(-8, 1 / 3)", "pow(-8, 0.3333333333333333) has no finite result"},
        {"a > 0 && n > 0", "variable 3 is unknown or has no value"},
    };
    // clang-format on
    for (const Failure& f : failures) {
        const scripttest::Outcome outcome = eval(f.source);
        EXPECT_FALSE(outcome.ok) << f.source;
        EXPECT_EQ(outcome.error, f.reason) << f.source;
        EXPECT_EQ(outcome.value.kind(), Kind::Empty) << f.source;
    }
    // A failure clears the holder it is given; a success clears the error.
    const std::vector<unsigned char> bytes = scripttest::program("1 / 0");
    Script::ValueType result;
    result.setString("old");
    EXPECT_FALSE(
        script_SvrRunProg(bytes.data(), static_cast<unsigned int>(bytes.size()), result, nullptr));
    EXPECT_EQ(result.getString(), "");
    EXPECT_TRUE(eval("1").ok);
    EXPECT_EQ(kestro::ScriptService::instance().lastError(), "");
}

// A host that is missing, or answers true without a value, or gives non-finite floats.
class OddHost : public Script::IHost {
public:
    bool getVariable(int index, Script::ValueType& out) override {
        if (index == 1 || index == 2) {
            out.setFloat(index == 1 ? std::nan("") : -HUGE_VAL);
        }
        return index <= 2;
    }
};

TEST_F(ScriptEval, VariablesWithoutAFiniteValueFail) {
    OddHost odd;
    const kestro::script::Resolver names = scripttest::tags({{"empty", 0}, {"nan", 1}, {"inf", 2}});
    const Failure failures[] = {
        {"empty", "variable 0 is unknown or has no value"},
        {"nan", "variable 1 holds no finite number"},
        {"inf < 0", "variable 2 holds no finite number"},
    };
    for (const Failure& f : failures) {
        const scripttest::Outcome outcome = scripttest::run(f.source, &odd, names);
        EXPECT_FALSE(outcome.ok) << f.source;
        EXPECT_EQ(outcome.error, f.reason) << f.source;
    }
    EXPECT_EQ(scripttest::run("1 + a", nullptr, resolver).error,
              "no variable host to read variable 0");
    EXPECT_TRUE(scripttest::run("0 && a", nullptr, resolver).ok);
}

class ScriptAllocation : public HostTest {};

TEST_F(ScriptAllocation, NumericProgramsAllocateNothing) {
    if (!kvtest::allocationsCounted()) {
        GTEST_SKIP() << "allocation counting needs the plain allocator";
    }
    scripttest::MapHost host;
    host.setInteger(0, 7);
    host.setFloat(1, -0.5);
    host.reads.reserve(1000); // the test host's own record of reads must not count
    const kestro::script::Resolver names = scripttest::tags({{"a", 0}, {"d", 1}});
    const struct {
        const char* source;
        bool allocates;
    } cases[] = {
        {"a * 2 + d / 3 > 10 && abs(d) < 5 ? max(a, d, 3) : clamp(d, 0, 1)", false},
        {"sqrt(abs(d)) + pow(a, 2) + atan2(a, d) + int(d) + div(a, 3) + (d % 1.5) + !a", false},
        // Guards the test itself: a counter that never counts would pass everything above.
        {"\"a text far too long for any small-string buffer\" + a", true},
    };
    for (const auto& c : cases) {
        const std::vector<unsigned char> bytes = scripttest::program(c.source, names);
        Script::ValueType result; // on the stack, as the animations hold it
        long count = 0;
        for (int run = 0; run < 2; ++run) { // the first run may set up lazy statics
            count = kvtest::allocationsOf([&] {
                EXPECT_TRUE(script_SvrRunProg(bytes.data(), static_cast<unsigned int>(bytes.size()),
                                              result, &host));
            });
        }
        EXPECT_EQ(count > 0, c.allocates) << c.source;
    }
}

TEST(ScriptValue, NumbersAsShortestText) {
    const struct {
        double value;
        const char* text;
        // clang-format off
    } floats[] = {
        {-0.0, "0"}, {2.0 / 3.0, "0.6666666666666666"}, {1e20, "100000000000000000000"},
        {1.5e21, "1.5e+21"}, {1.25e-6, "0.00000125"}, {-1.5e-7, "-1.5e-7"}, {5e-324, "5e-324"},
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
        {"  -3e2x", -300.0}, {"5.", 5.0}, {"+7", 7.0},    {"2e+", 2.0},    {"0x1A", 0.0},
        {"- 5", 0.0},        {".", 0.0},  {"1e999", 0.0}, {"-.25", -0.25}, {"1.5.2", 1.5},
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
