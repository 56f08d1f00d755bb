// The expression language at run time: precedence, kinds of values, the function library,
// short-circuit evaluation, strings and the reasons of run-time failures.
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Kind = Script::ValueType::Kind;
using scripttest::MapHost;

// Variables of every case: a = 7, b = 2.5, s = "abc", n (index 3) has no value.
class ScriptEval : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        host.setInteger(0, 7);
        host.setFloat(1, 2.5);
        host.setString(2, "abc");
    }

public:
    scripttest::Outcome eval(const std::string& source) {
        return scripttest::run(source, &host, resolver);
    }

protected:
    MapHost host;
    kestro::script::Resolver resolver = scripttest::tags({{"a", 0}, {"b", 1}, {"s", 2}, {"n", 3}});
};

struct Case {
    const char* source;
    Kind kind;
    const char* text; //!< getString() of the result
};

void expectCases(ScriptEval& fixture, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        const scripttest::Outcome outcome = fixture.eval(c.source);
        EXPECT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
        EXPECT_EQ(outcome.value.kind(), c.kind)
            << c.source << " gave a " << scripttest::kindName(outcome.value.kind());
        EXPECT_EQ(outcome.value.getString(), c.text) << c.source;
        EXPECT_EQ(outcome.error, "") << c.source;
    }
}

// Each case tells the documented grouping apart from the other possible one.
TEST_F(ScriptEval, PrecedenceAndAssociativity) {
    expectCases(*this, {
                           {"1 + 2 * 3", Kind::Integer, "7"},         // not 9
                           {"(1 + 2) * 3", Kind::Integer, "9"},       //
                           {"8 - 3 - 2", Kind::Integer, "3"},         // not 7
                           {"2 * 3 % 4", Kind::Integer, "2"},         // not 6
                           {"7 % 3 * 2", Kind::Integer, "2"},         // not 1
                           {"100 / 10 / 5", Kind::Float, "2"},        // not 50
                           {"-2 * 3", Kind::Integer, "-6"},           //
                           {"-(2 - 3)", Kind::Integer, "1"},          //
                           {"--3", Kind::Integer, "3"},               //
                           {"- -a", Kind::Integer, "7"},              //
                           {"!0 + 1", Kind::Integer, "2"},            // not 0
                           {"!0 == 2", Kind::Integer, "0"},           // not 1
                           {"1 + 2 < 4", Kind::Integer, "1"},         // not 2
                           {"1 < 2 == 1", Kind::Integer, "1"},        // not 0
                           {"0 == 1 < 2", Kind::Integer, "0"},        // not 1
                           {"3 > 2 > 1", Kind::Integer, "0"},         // (3 > 2) > 1
                           {"1 || 0 && 0", Kind::Integer, "1"},       // not 0
                           {"0 && 0 || 1", Kind::Integer, "1"},       // not 0
                           {"1 ? 2 : 0 ? 4 : 5", Kind::Integer, "2"}, // not 4
                           {"0 ? 2 : 0 ? 4 : 5", Kind::Integer, "5"}, //
                           {"1 ? 0 ? 6 : 7 : 8", Kind::Integer, "7"}, //
                           {"0 || 1 ? 10 : 20", Kind::Integer, "10"}, // not 1
                           {"1 + 1 ? 3 : 4", Kind::Integer, "3"},     //
                           {"2 * (3 + 4) - -1", Kind::Integer, "15"}, //
                           {"10 - 2 * 3 + 4 / 2", Kind::Float, "6"},  //
                           {"-a * -2", Kind::Integer, "14"},          //
                       });
}

TEST_F(ScriptEval, KindsOfValues) {
    expectCases(*this, {
                           {"42", Kind::Integer, "42"},
                           {"-9223372036854775807 - 1", Kind::Integer, "-9223372036854775808"},
                           {"1.0", Kind::Float, "1"},
                           {"1e2", Kind::Float, "100"},
                           {".5", Kind::Float, "0.5"},
                           {"7 / 2", Kind::Float, "3.5"},
                           {"6 / 3", Kind::Float, "2"}, // / is always the exact quotient
                           {"7 % 3", Kind::Integer, "1"},
                           {"-7 % 3", Kind::Integer, "-1"},
                           {"7 % -3", Kind::Integer, "1"},
                           {"(-9223372036854775807 - 1) % -1", Kind::Integer, "0"},
                           {"7.5 % 2", Kind::Float, "1.5"},
                           {"2 + 0.5", Kind::Float, "2.5"},
                           {"2 * 2", Kind::Integer, "4"},
                           {"a * 2", Kind::Integer, "14"},
                           {"a * b", Kind::Float, "17.5"},
                           {"b - b", Kind::Float, "0"},
                           {"0.1 + 0.2", Kind::Float, "0.30000000000000004"},
                           {"true", Kind::Integer, "1"},
                           {"false", Kind::Integer, "0"},
                           {"a > 3", Kind::Integer, "1"},
                           {"2 == 2.0", Kind::Integer, "1"},
                           {"2 < 2.5", Kind::Integer, "1"},
                           {"-a", Kind::Integer, "-7"},
                           {"-b", Kind::Float, "-2.5"},
                           {"s", Kind::String, "abc"},
                       });
}

TEST_F(ScriptEval, Strings) {
    expectCases(*this, {
                           {"\"a\" + \"b\"", Kind::String, "ab"},
                           {"\"n=\" + 5", Kind::String, "n=5"},
                           {"5 + \"n\"", Kind::String, "5n"},
                           {"\"x\" + 2.5", Kind::String, "x2.5"},
                           {"\"x\" + 0.1 * 3", Kind::String, "x0.30000000000000004"},
                           {"\"x\" + 3.0", Kind::String, "x3"},
                           {"\"v\" + 1 + 2", Kind::String, "v12"}, // ("v" + 1) + 2
                           {"1 + 2 + \"v\"", Kind::String, "3v"},
                           {"s + a", Kind::String, "abc7"},
                           {"\"\" + \"\"", Kind::String, ""},
                           {"\"a\\\"b\\\\c\\n\\t\\r\\x41\\x7e\"", Kind::String, "a\"b\\c\n\t\rA~"},
                           {"\"温度\" + 1", Kind::String, "温度1"},
                           {"s == \"abc\"", Kind::Integer, "1"},
                           {"s != \"ab\"", Kind::Integer, "1"},
                           {"\"abc\" < \"abd\"", Kind::Integer, "1"},
                           {"\"ab\" < \"abc\"", Kind::Integer, "1"},
                           {"\"\" < \"a\"", Kind::Integer, "1"},
                           {"\"B\" < \"a\"", Kind::Integer, "1"},
                           {"\"b\" >= \"a\"", Kind::Integer, "1"},
                           {"\"abc\" > \"abc\"", Kind::Integer, "0"},
                           // Bytes compare unsigned: 0xff sorts after every ASCII letter.
                           {"\"\\xff\" > \"z\"", Kind::Integer, "1"},
                           {"1 ? \"yes\" : \"no\"", Kind::String, "yes"},
                       });
}

TEST_F(ScriptEval, EveryFunction) {
    expectCases(*this, {
                           {"abs(-3)", Kind::Integer, "3"},
                           {"abs(4)", Kind::Integer, "4"},
                           {"abs(-2.5)", Kind::Float, "2.5"},
                           {"min(3, 1, 2)", Kind::Integer, "1"},
                           {"min(3, 1.5)", Kind::Float, "1.5"},
                           {"min(2, 2.0)", Kind::Float, "2"},
                           {"max(1, 2.5, 2)", Kind::Float, "2.5"},
                           {"max(-1, -2)", Kind::Integer, "-1"},
                           {"max(a, 3)", Kind::Integer, "7"},
                           {"clamp(15, 0, 10)", Kind::Integer, "10"},
                           {"clamp(-5, 0, 10)", Kind::Integer, "0"},
                           {"clamp(5, 0, 10)", Kind::Integer, "5"},
                           {"clamp(5.5, 0, 10)", Kind::Float, "5.5"},
                           {"clamp(5, 0.5, 10)", Kind::Float, "5"},
                           {"clamp(5, 10, 0)", Kind::Integer, "0"}, // lo > hi gives hi
                           {"floor(2.7)", Kind::Float, "2"},
                           {"floor(-2.2)", Kind::Float, "-3"},
                           {"floor(7)", Kind::Integer, "7"},
                           {"ceil(2.1)", Kind::Float, "3"},
                           {"ceil(-2.7)", Kind::Float, "-2"},
                           {"ceil(-7)", Kind::Integer, "-7"},
                           {"round(2.5)", Kind::Float, "3"},
                           {"round(-2.5)", Kind::Float, "-3"},
                           {"round(2.4)", Kind::Float, "2"},
                           {"round(5)", Kind::Integer, "5"},
                           {"int(2.9)", Kind::Integer, "2"},
                           {"int(-2.9)", Kind::Integer, "-2"},
                           {"int(7)", Kind::Integer, "7"},
                           {"int(\"42.9 m3\")", Kind::Integer, "42"},
                           {"int(\"  -17 apples\")", Kind::Integer, "-17"},
                           {"int(\"abc\")", Kind::Integer, "0"},
                           {"int(\"9223372036854775807\")", Kind::Integer, "9223372036854775807"},
                           {"int(\"1e3\")", Kind::Integer, "1000"},
                           {"float(3)", Kind::Float, "3"},
                           {"float(2.5)", Kind::Float, "2.5"},
                           {"float(\"1.5e3 kg\")", Kind::Float, "1500"},
                           {"float(\"abc\")", Kind::Float, "0"},
                           {"str(42)", Kind::String, "42"},
                           {"str(2.5)", Kind::String, "2.5"},
                           {"str(1 / 4)", Kind::String, "0.25"},
                           {"str(s)", Kind::String, "abc"},
                           {"str(3.14159, 2)", Kind::String, "3.14"},
                           {"str(7, 2)", Kind::String, "7.00"},
                           {"str(2.345, 1)", Kind::String, "2.3"},
                           {"str(-0.001, 2)", Kind::String, "0.00"},
                           {"str(-1.5, 0)", Kind::String, "-2"},
                           {"str(0.125, 2)", Kind::String, "0.12"}, // exact tie: even digit
                           {"str(123, 0)", Kind::String, "123"},
                           {"len(\"abc\")", Kind::Integer, "3"},
                           {"len(\"\")", Kind::Integer, "0"},
                           {"len(\"温度\")", Kind::Integer, "2"},
                           {"div(7, 2)", Kind::Integer, "3"},
                           {"div(-7, 2)", Kind::Integer, "-3"},
                           {"div(7, -2)", Kind::Integer, "-3"},
                           {"sqrt(16)", Kind::Float, "4"},
                           {"sqrt(2.25)", Kind::Float, "1.5"},
                           {"pow(2, 10)", Kind::Float, "1024"},
                           {"pow(2, -1)", Kind::Float, "0.5"},
                           {"pow(9, 0.5)", Kind::Float, "3"},
                           {"exp(0)", Kind::Float, "1"},
                           {"log(1)", Kind::Float, "0"},
                           {"log10(1000)", Kind::Float, "3"},
                           {"sin(0)", Kind::Float, "0"},
                           {"cos(0)", Kind::Float, "1"},
                           {"tan(0)", Kind::Float, "0"},
                           {"acos(1)", Kind::Float, "0"},
                           {"asin(0)", Kind::Float, "0"},
                           {"atan(0)", Kind::Float, "0"},
                       });
}

TEST_F(ScriptEval, TranscendentalValues) {
    const double pi = 3.141592653589793;
    const struct {
        const char* source;
        double expected;
    } cases[] = {
        {"asin(1)", pi / 2},
        {"acos(-1)", pi},
        {"atan(1)", pi / 4},
        {"atan2(1, 1)", pi / 4},
        {"atan2(0, -1)", pi},
        {"sin(1)", 0.8414709848078965},
        {"cos(1)", 0.5403023058681398},
        {"tan(1)", 1.5574077246549023},
        {"exp(1)", 2.718281828459045},
        {"log(10)", 2.302585092994046},
        {"sqrt(2)", 1.4142135623730951},
        {"pow(2, 0.5)", 1.4142135623730951},
    };
    for (const auto& c : cases) {
        const scripttest::Outcome outcome = eval(c.source);
        ASSERT_TRUE(outcome.ok) << c.source << ": " << outcome.error;
        EXPECT_EQ(outcome.value.kind(), Kind::Float) << c.source;
        EXPECT_DOUBLE_EQ(outcome.value.getFloat(), c.expected) << c.source;
    }
}

TEST_F(ScriptEval, ShortCircuit) {
    // The right side would fail; when it is skipped the run succeeds.
    expectCases(*this, {
                           {"0 && 1 / 0", Kind::Integer, "0"},
                           {"1 || 1 / 0", Kind::Integer, "1"},
                           {"1 ? 5 : 1 / 0", Kind::Integer, "5"},
                           {"0 ? 1 / 0 : 6", Kind::Integer, "6"},
                           {"0 && \"text\"", Kind::Integer, "0"},
                           {"a > 100 && n > 0", Kind::Integer, "0"},
                           {"a > 0 || n > 0", Kind::Integer, "1"},
                           // && and || give 0 or 1, never their operand.
                           {"2 && 3", Kind::Integer, "1"},
                           {"0 || 2.5", Kind::Integer, "1"},
                           {"0 || 0.0", Kind::Integer, "0"},
                           {"0.5 && b", Kind::Integer, "1"},
                           {"!0.0", Kind::Integer, "1"},
                           {"!2.5", Kind::Integer, "0"},
                           {"0.0 ? 1 : 2", Kind::Integer, "2"},
                       });
    EXPECT_FALSE(eval("1 && 1 / 0").ok);
    EXPECT_FALSE(eval("0 || 1 / 0").ok);
    EXPECT_FALSE(eval("a > 0 && n > 0").ok);
}

TEST_F(ScriptEval, ReadsOnlyTheVariablesOnTheTakenPath) {
    host.reads.clear();
    ASSERT_TRUE(eval("a < 0 && b > 0 || s == \"abc\"").ok);
    EXPECT_EQ(host.reads, (std::vector<int>{0, 2}));
    host.reads.clear();
    ASSERT_TRUE(eval("a > 0 ? b : s").ok);
    EXPECT_EQ(host.reads, (std::vector<int>{0, 1}));
    host.reads.clear();
    ASSERT_TRUE(eval("a + a").ok);
    EXPECT_EQ(host.reads, (std::vector<int>{0, 0})); // read each time, never cached
}

TEST_F(ScriptEval, VariablesAreReadWhenTheProgramRuns) {
    const std::vector<unsigned char> bytes = scripttest::program("a * 2", resolver);
    EXPECT_EQ(scripttest::runBytes(bytes, &host).value.getString(), "14");
    host.setInteger(0, -4);
    EXPECT_EQ(scripttest::runBytes(bytes, &host).value.getString(), "-8");
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
    const Failure failures[] = {
        {"\"abc\" * 2", "type error: '*' needs numbers, got string and integer"},
        {"2 - \"a\"", "type error: '-' needs numbers, got integer and string"},
        {"s / 2.5", "type error: '/' needs numbers, got string and float"},
        {"s % s", "type error: '%' needs numbers, got string and string"},
        {"-s", "type error: 'unary -' needs a number, got string"},
        {"\"a\" < 1", "type error: '<' cannot compare string with integer"},
        {"1 == \"1\"", "type error: '==' cannot compare integer with string"},
        {"b != s", "type error: '!=' cannot compare float with string"},
        {"!s", "type error: a condition needs a number, got string"},
        {"s && 1", "type error: a condition needs a number, got string"},
        {"1 && s", "type error: a condition needs a number, got string"},
        {"0 || s", "type error: a condition needs a number, got string"},
        {"s ? 1 : 2", "type error: a condition needs a number, got string"},
        {"abs(s)", "type error: abs needs a number, got string"},
        {"max(1, s)", "type error: max needs a number, got string"},
        {"sqrt(\"4\")", "type error: sqrt needs a number, got string"},
        {"len(5)", "type error: len needs a string, got integer"},
        {"div(7.0, 2)", "type error: div needs integers, got float and integer"},
        {"str(s, 2)", "type error: str needs a number, got string"},
        {"str(1, 1.5)", "type error: str needs an integer count of decimals, got float"},
        {"str(1, 18)", "str: decimals must be 0 to 17, got 18"},
        {"str(1, -1)", "str: decimals must be 0 to 17, got -1"},
        {"1 / 0", "division by zero in '/'"},
        {"1.5 / 0.0", "division by zero in '/'"},
        {"a / (b - b)", "division by zero in '/'"},
        {"5 % 0", "division by zero in '%'"},
        {"5.5 % 0", "division by zero in '%'"},
        {"div(7, 0)", "division by zero in 'div'"},
        {"9223372036854775807 + 1", "integer overflow in '+'"},
        {"-9223372036854775807 - 2", "integer overflow in '-'"},
        {"4611686018427387904 * 2", "integer overflow in '*'"},
        {"-(-9223372036854775807 - 1)", "integer overflow in 'unary -'"},
        {"abs(-9223372036854775807 - 1)", "integer overflow in 'abs'"},
        {"div(-9223372036854775807 - 1, -1)", "integer overflow in 'div'"},
        {"int(1e19)", "integer overflow in 'int'"},
        {"int(-1e19)", "integer overflow in 'int'"},
        {"int(9223372036854775808.0)", "integer overflow in 'int'"},
        {"int(\"1e30\")", "integer overflow in 'int'"},
        {"1e308 * 10", "float overflow in '*'"},
        {"1e308 + 1e308", "float overflow in '+'"},
        {"-1e308 - 1e308", "float overflow in '-'"},
        {"1e308 / 1e-10", "float overflow in '/'"},
        {"sqrt(-1)", "sqrt(-1) has no finite result"},
        {"log(0)", "log(0) has no finite result"},
        {"log10(-2.5)", "log10(-2.5) has no finite result"},
        {"exp(1000)", "exp(1000) has no finite result"},
        {"acos(2)", "acos(2) has no finite result"},
        {"pow(0, -1)", "pow(0, -1) has no finite result"},
        {"pow(-8, 1 / 3)", "pow(-8, 0.3333333333333333) has no finite result"},
        {"n", "variable 3 is unknown or has no value"},
        {"a + n", "variable 3 is unknown or has no value"},
    };
    for (const Failure& f : failures) {
        const scripttest::Outcome outcome = eval(f.source);
        EXPECT_FALSE(outcome.ok) << f.source;
        EXPECT_EQ(outcome.error, f.reason) << f.source;
        // A failed run leaves no value behind.
        EXPECT_EQ(outcome.value.kind(), Kind::Empty) << f.source;
        EXPECT_EQ(outcome.value.getFloat(), 0.0) << f.source;
    }
}

TEST_F(ScriptEval, ResultOfAFailureIsCleared) {
    const std::vector<unsigned char> bytes = scripttest::program("1 / 0");
    Script::ValueType result;
    result.setString("old");
    EXPECT_FALSE(
        script_SvrRunProg(bytes.data(), static_cast<unsigned int>(bytes.size()), result, nullptr));
    EXPECT_EQ(result.kind(), Kind::Empty);
    EXPECT_EQ(result.getString(), "");
}

TEST_F(ScriptEval, LastErrorIsClearedBySuccess) {
    EXPECT_FALSE(eval("1 / 0").ok);
    EXPECT_EQ(kestro::ScriptService::instance().lastError(), "division by zero in '/'");
    EXPECT_TRUE(eval("1").ok);
    EXPECT_EQ(kestro::ScriptService::instance().lastError(), "");
}

TEST_F(ScriptEval, NullHostFailsOnlyWhenAVariableIsRead) {
    const std::vector<unsigned char> constant = scripttest::program("1 + 2");
    const scripttest::Outcome fine = scripttest::runBytes(constant, nullptr);
    EXPECT_TRUE(fine.ok);
    EXPECT_EQ(fine.value.getString(), "3");
    const std::vector<unsigned char> reading = scripttest::program("1 + a", resolver);
    const scripttest::Outcome failed = scripttest::runBytes(reading, nullptr);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, "no variable host to read variable 0");
    // Not read on the path taken: no host needed.
    EXPECT_TRUE(scripttest::runBytes(scripttest::program("0 && a", resolver), nullptr).ok);
}

// A host that answers true without giving a value, or gives non-finite floats.
class OddHost : public Script::IHost {
public:
    bool getVariable(int index, Script::ValueType& out) override {
        switch (index) {
        case 0:
            return true; // leaves out empty
        case 1:
            out.setFloat(std::nan(""));
            return true;
        case 2:
            out.setFloat(-HUGE_VAL);
            return true;
        default:
            return false;
        }
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
}

} // namespace
