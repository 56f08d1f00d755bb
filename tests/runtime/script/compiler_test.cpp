// The expression compiler: error positions and messages, the program bytes it writes, limits.
#include "runtime/script/compiler.h"
#include "runtime/script/program.h"
#include "tests/support/hostfixture.h"

#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "scripttest.h"

#include <gtest/gtest.h>

namespace {

using kestro::script::compile;
using kestro::script::CompileResult;

const kestro::script::Resolver kTags =
    scripttest::tags({{"x", 5}, {"Tank1.Level", 6}, {"_spare", 7}, {"温度.上限", 8}});

struct ErrorCase {
    const char* source;
    size_t offset;
    int line;
    int column;
    const char* message;
};

// clang-format off
const ErrorCase kErrors[] = {
    {"", 0, 1, 1, "expected a value, found the end of the expression"},
    {"1 +", 3, 1, 4, "expected a value, found the end of the expression"},
    {"1 +* 2", 3, 1, 4, "expected a value, found '*'"},
    {")", 0, 1, 1, "expected a value, found ')'"},
    {"!", 1, 1, 2, "expected a value, found the end of the expression"},
    {"(1 + 2", 6, 1, 7, "expected ')', found the end of the expression"},
    {"(1))", 3, 1, 4, "unmatched ')'"}, {"1 + 2)", 5, 1, 6, "unmatched ')'"},
    {"1 2", 2, 1, 3, "expected an operator, found '2'"},
    {"x x", 2, 1, 3, "expected an operator, found 'x'"},
    {"1 ? 2", 5, 1, 6, "expected ':', found the end of the expression"},
    {"1 ? 2 : ", 8, 1, 9, "expected a value, found the end of the expression"},
    {"max(1 2)", 6, 1, 7, "expected ',' or ')', found '2'"},
    {"max(1,)", 6, 1, 7, "expected a value, found ')'"},
    {"abs(1", 5, 1, 6, "expected ',' or ')', found the end of the expression"},
    {"abs(1, 2)", 0, 1, 1, "expected 1 argument for 'abs', found 2"},
    {"abs()", 0, 1, 1, "expected 1 argument for 'abs', found 0"},
    {"min(1)", 0, 1, 1, "expected 2 or more arguments for 'min', found 1"},
    {"str(1, 2, 3)", 0, 1, 1, "expected 1 or 2 arguments for 'str', found 3"},
    {"1 + foo(1)", 4, 1, 5, "unknown function 'foo'"},
    {"true(1)", 0, 1, 1, "unknown function 'true'"},
    {"Tank9.Level", 0, 1, 1, "unknown tag 'Tank9.Level'"}, {"x + X", 4, 1, 5, "unknown tag 'X'"},
    {"abs", 0, 1, 1, "unknown tag 'abs' (a function is called with parentheses: abs(...))"},
    {"x = 1", 2, 1, 3, "expected '==' (a single '=' is no operator)"},
    {"1 =< 2", 2, 1, 3, "expected '==' (a single '=' is no operator)"},
    {"x & 1", 2, 1, 3, "expected '&&'"}, {"x | 1", 2, 1, 3, "expected '||'"},
    {"\"abc", 4, 1, 5, "expected '\"' to end the string"},
    {"\"ab\ncd\"", 3, 1, 4, "expected '\"' to end the string"},
    {"\"ab\\", 4, 1, 5, "expected '\"' to end the string"},
    {"\"a\\qb\"", 2, 1, 3, "unknown escape sequence '\\q'"},
    {"\"\\x4\"", 1, 1, 2, "expected two hexadecimal digits after '\\x'"},
    {"1.", 2, 1, 3, "expected a digit after '.'"}, {"1.x", 2, 1, 3, "expected a digit after '.'"},
    {"2e+", 3, 1, 4, "expected a digit in the exponent"},
    {"2e", 2, 1, 3, "expected a digit in the exponent"},
    {"1FIC101", 0, 1, 1, "tag names must not start with a digit"},
    {"x + 2_a", 4, 1, 5, "tag names must not start with a digit"},
    {"9223372036854775808", 0, 1, 1, "integer constant out of range"},
    {"99999999999999999999", 0, 1, 1, "integer constant out of range"},
    {"-99999999999999999999", 1, 1, 2, "integer constant out of range"},
    {"1e999", 0, 1, 1, "decimal constant out of range"}, {"#", 0, 1, 1, "unexpected '#'"},
    {"1 + \x01", 4, 1, 5, "unexpected byte 0x01"},
    {"x +\n\nx *", 8, 3, 4, "expected a value, found the end of the expression"},
    {"1 +\n  (2 *\n   )", 14, 3, 4, "expected a value, found ')'"},
    // Columns count characters: each Chinese character is three bytes.
    {"\"温度\" + )", 11, 1, 8, "expected a value, found ')'"},
    {"温度.上限 + 温度", 16, 1, 9, "unknown tag '温度'"},
};
// clang-format on

TEST(ScriptCompiler, ReportsErrorsWithPositions) {
    for (const ErrorCase& c : kErrors) {
        const CompileResult result = compile(c.source, kTags);
        EXPECT_FALSE(result.ok()) << c.source;
        EXPECT_TRUE(result.bytes.empty()) << c.source;
        EXPECT_EQ(result.error.message, c.message) << c.source;
        EXPECT_EQ(result.error.offset, c.offset) << c.source;
        EXPECT_EQ(result.error.line, c.line) << c.source;
        EXPECT_EQ(result.error.column, c.column) << c.source;
    }
    EXPECT_EQ(compile("1 +\n  (2 *\n   )", kTags).error.text(), "3:4: expected a value, found ')'");
}

TEST(ScriptCompiler, AcceptsTheWholeSyntax) {
    const char* const sources[] = {
        "\t1\r\n+\n2 ",
        "Tank1.Level * 0.5 + _spare",
        "温度.上限 > 3",
        ".5 + 1e3 + 1.5E-3 + 2e+2",
        "- 9223372036854775808",
        "!x && !!x || -x < --x",
        "x ? x ? 1 : 2 : 3",
        "min(1, 2, 3, 4) + max(x, 1) + clamp(x, 0, 10) + str(x, 2) + len(\"ab\")",
        "abs(x) + floor(x) + ceil(x) + round(x) + int(x) + float(x) + div(x, 2)",
        "sqrt(x) + pow(x, 2) + exp(x) + log(x) + log10(x) + sin(x) + cos(x) + tan(x)",
        "asin(x) + acos(x) + atan(x) + atan2(x, 1) + (((x)))",
    };
    for (const char* source : sources) {
        const CompileResult result = compile(source, kTags);
        EXPECT_TRUE(result.ok()) << source << ": " << result.error.text();
        EXPECT_FALSE(result.bytes.empty()) << source;
    }
}

TEST(ScriptCompiler, WritesTheDocumentedBytes) {
    // "1 + x" with x as variable 5: header, no constants, code int8 1; load 5; add.
    const std::vector<unsigned char> expected = {
        'K', 'X', 'P', 'R', 1, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0x02, 1, 0x03, 5, 0, 0, 0, 0x10,
    };
    EXPECT_EQ(compile("1 + x", kTags).bytes, expected);
    // 16 header bytes; int8 is 2 code bytes; const is 3 code bytes plus a 9-byte constant;
    // equal constants are shared.
    const struct {
        const char* source;
        size_t size;
    } sizes[] = {
        {"127", 18},
        {"-128", 18},
        {"128", 28},
        {"-129", 28},
        {"1.0", 28},
        {"\"ab\"", 30},
        {"1000 + 1000 + 2.5 + 2.5 + \"ab\" + \"ab\"", 16 + 3 * 9 + 2 + 6 * 3 + 5},
    };
    for (const auto& s : sizes) {
        EXPECT_EQ(compile(s.source, kTags).bytes.size(), s.size) << s.source;
    }
}

TEST(ScriptCompiler, TagsComeFromTheResolverOrTheRealTimeDatabase) {
    kestro::resetHost();
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    rtdb.define("first", kestro::VarType::Int);
    const int second = rtdb.define("Boiler.Temp", kestro::VarType::Float);
    const CompileResult result = compile("Boiler.Temp");
    ASSERT_EQ(result.bytes.size(), 16u + 5) << result.error.text();
    EXPECT_EQ(result.bytes[17], second);
    EXPECT_EQ(compile("Boiler.Pressure").error.message, "unknown tag 'Boiler.Pressure'");
    kestro::resetHost();
    EXPECT_EQ(compile("a + 1", kestro::script::Resolver()).error.message, "unknown tag 'a'");
    EXPECT_TRUE(compile("true + 1", kestro::script::Resolver()).ok());
}

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += text;
    }
    return out;
}

TEST(ScriptCompiler, Limits) {
    const std::string deep = "expression nested too deeply: more than 64 levels";
    EXPECT_TRUE(compile(repeat("(", 63) + "1" + repeat(")", 63), kTags).ok());
    const CompileResult parens = compile(repeat("(", 64) + "1" + repeat(")", 64), kTags);
    EXPECT_EQ(parens.error.message, deep);
    EXPECT_EQ(parens.error.offset, 64u);
    EXPECT_TRUE(compile(repeat("-", 63) + "x", kTags).ok());
    EXPECT_EQ(compile(repeat("!", 64) + "x", kTags).error.message, deep);
    EXPECT_EQ(compile(repeat("abs(", 64) + "1" + repeat(")", 64), kTags).error.message, deep);
    EXPECT_FALSE(compile(repeat("(", 100000), kTags).ok());
    EXPECT_FALSE(compile(repeat("-", 100000) + "1", kTags).ok());

    std::string arguments = "1";
    for (int i = 2; i <= 64; ++i) {
        arguments += ", " + std::to_string(i);
    }
    EXPECT_TRUE(compile("min(" + arguments + ")", kTags).ok());
    const CompileResult tooMany = compile("min(" + arguments + ", 65)", kTags);
    EXPECT_EQ(tooMany.error.message, "expression too complex: more than 64 values pending at once");
    EXPECT_EQ(tooMany.error.offset, 4 + arguments.size() + 2);

    // Left-associative chains are parsed in a loop, not nested.
    EXPECT_EQ(compile("x" + repeat(" + x", 9999), kTags).bytes.size(), 16u + 10000 * 5 + 9999);
    // Each "+ x" is 6 bytes of code; 11000 of them do not fit a 16-bit jump.
    const CompileResult branch = compile("x ? x" + repeat(" + x", 11000) + " : 0", kTags);
    EXPECT_EQ(branch.error.message, "expression too long: a branch exceeds 65535 bytes of code");
    EXPECT_EQ(branch.error.offset, 2u);
    EXPECT_TRUE(compile("x ? x" + repeat(" + x", 10000) + " : 0", kTags).ok());
}

TEST(ScriptCompiler, DeepestAcceptedShapesStillVerify) {
    // Nested choices and short-circuits keep many forward jumps pending at once.
    const std::string shapes[] = {
        repeat("(x && ", 63) + "x" + repeat(")", 63),
        repeat("(x || ", 63) + "x" + repeat(")", 63),
        repeat("x ? 1 : (", 31) + "x" + repeat(") + 1", 31),
        repeat("x ? (", 31) + "x" + repeat(") + 1 : 2", 31),
        repeat("min(1, ", 31) + "x" + repeat(")", 31),
    };
    for (const std::string& source : shapes) {
        const CompileResult result = compile(source, kTags);
        ASSERT_TRUE(result.ok()) << source << ": " << result.error.text();
        kestro::script::VerifyError error;
        EXPECT_TRUE(
            kestro::script::verify(result.bytes.data(), result.bytes.size(), nullptr, &error))
            << source << ": " << kestro::script::describe(error);
    }
}

} // namespace
