// The expression compiler: error positions and messages, the program bytes it writes, limits.
#include "runtime/script/compiler.h"
#include "runtime/script/disassembler.h"
#include "runtime/script/program.h"
#include "tests/support/hostfixture.h"

#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "scripttest.h"

#include <gtest/gtest.h>

namespace {

using kestro::script::compile;
using kestro::script::CompileResult;

// Tags known to every case below.
const kestro::script::Resolver kTags =
    scripttest::tags({{"x", 5}, {"Tank1.Level", 6}, {"_spare", 7}, {"温度.上限", 8}});

struct ErrorCase {
    const char* source;
    size_t offset;
    int line;
    int column;
    const char* message;
};

const ErrorCase kErrors[] = {
    {"", 0, 1, 1, "expected a value, found the end of the expression"},
    {"1 +", 3, 1, 4, "expected a value, found the end of the expression"},
    {"1 +* 2", 3, 1, 4, "expected a value, found '*'"},
    {")", 0, 1, 1, "expected a value, found ')'"},
    {"!", 1, 1, 2, "expected a value, found the end of the expression"},
    {"(1 + 2", 6, 1, 7, "expected ')', found the end of the expression"},
    {"(1))", 3, 1, 4, "unmatched ')'"},
    {"1 + 2)", 5, 1, 6, "unmatched ')'"},
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
    {"Tank9.Level", 0, 1, 1, "unknown tag 'Tank9.Level'"},
    {"x + X", 4, 1, 5, "unknown tag 'X'"},
    {"abs", 0, 1, 1, "unknown tag 'abs' (a function is called with parentheses: abs(...))"},
    {"x = 1", 2, 1, 3, "expected '==' (a single '=' is no operator)"},
    {"1 =< 2", 2, 1, 3, "expected '==' (a single '=' is no operator)"},
    {"x & 1", 2, 1, 3, "expected '&&'"},
    {"x | 1", 2, 1, 3, "expected '||'"},
    {"\"abc", 4, 1, 5, "expected '\"' to end the string"},
    {"\"ab\ncd\"", 3, 1, 4, "expected '\"' to end the string"},
    {"\"ab\\", 4, 1, 5, "expected '\"' to end the string"},
    {"\"a\\qb\"", 2, 1, 3, "unknown escape sequence '\\q'"},
    {"\"\\x4\"", 1, 1, 2, "expected two hexadecimal digits after '\\x'"},
    {"1.", 2, 1, 3, "expected a digit after '.'"},
    {"1.x", 2, 1, 3, "expected a digit after '.'"},
    {"2e+", 3, 1, 4, "expected a digit in the exponent"},
    {"2e", 2, 1, 3, "expected a digit in the exponent"},
    {"1FIC101", 0, 1, 1, "tag names must not start with a digit"},
    {"x + 2_a", 4, 1, 5, "tag names must not start with a digit"},
    {"9223372036854775808", 0, 1, 1, "integer constant out of range"},
    {"99999999999999999999", 0, 1, 1, "integer constant out of range"},
    {"-99999999999999999999", 1, 1, 2, "integer constant out of range"},
    {"1e999", 0, 1, 1, "decimal constant out of range"},
    {"#", 0, 1, 1, "unexpected '#'"},
    {"1 + \x01", 4, 1, 5, "unexpected byte 0x01"},
    {"x +\n\nx *", 8, 3, 4, "expected a value, found the end of the expression"},
    {"1 +\n  (2 *\n   )", 14, 3, 4, "expected a value, found ')'"},
    // Columns count characters: each Chinese character is three bytes.
    {"\"温度\" + )", 11, 1, 8, "expected a value, found ')'"},
    {"温度.上限 + 温度", 16, 1, 9, "unknown tag '温度'"},
};

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
}

TEST(ScriptCompiler, ErrorTextIsLineColumnMessage) {
    EXPECT_EQ(compile("1 +\n  (2 *\n   )", kTags).error.text(), "3:4: expected a value, found ')'");
}

TEST(ScriptCompiler, AcceptsTheWholeSyntax) {
    const char* const sources[] = {
        "\t1\r\n+\n2 ",
        "Tank1.Level * 0.5 + _spare",
        "温度.上限 > 3",
        ".5 + 1e3 + 1.5E-3 + 2e+2",
        "\"a\\\"b\\\\c\\n\\t\\r\\x41\"",
        "-9223372036854775808",
        "- 9223372036854775808",
        "!x && !!x || -x < --x",
        "x ? 1 : x ? 2 : 3",
        "x ? x ? 1 : 2 : 3",
        "true + false",
        "min(1, 2, 3, 4) + max(x, 1) + clamp(x, 0, 10) + str(x, 2) + len(\"ab\")",
        "abs(x) + floor(x) + ceil(x) + round(x) + int(x) + float(x) + div(x, 2)",
        "sqrt(x) + pow(x, 2) + exp(x) + log(x) + log10(x) + sin(x) + cos(x) + tan(x)",
        "asin(x) + acos(x) + atan(x) + atan2(x, 1)",
        "(((x)))",
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
        'K',  'X', 'P', 'R', 1, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, // header, code length 8
        0x02, 1,                                                 // int8 1
        0x03, 5,   0,   0,   0,                                  // load 5
        0x10,                                                    // add
    };
    EXPECT_EQ(compile("1 + x", kTags).bytes, expected);
}

TEST(ScriptCompiler, SmallIntegersInlineLargerOnesInThePool) {
    // 16 header bytes; int8 is 2 code bytes; const is 3 code bytes plus a 9-byte constant.
    EXPECT_EQ(compile("127", kTags).bytes.size(), 18u);
    EXPECT_EQ(compile("-128", kTags).bytes.size(), 18u);
    EXPECT_EQ(compile("128", kTags).bytes.size(), 28u);
    EXPECT_EQ(compile("-129", kTags).bytes.size(), 28u);
    EXPECT_EQ(compile("1.0", kTags).bytes.size(), 28u);
    // "ab": a constant plus 2 bytes in the string area.
    EXPECT_EQ(compile("\"ab\"", kTags).bytes.size(), 30u);
}

TEST(ScriptCompiler, SharesEqualConstants) {
    // 1000, 2.5 and "ab" once each: 3 constants, 2 string bytes, 6 const + 5 add instructions.
    const CompileResult result = compile("1000 + 1000 + 2.5 + 2.5 + \"ab\" + \"ab\"", kTags);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.bytes.size(), 16u + 3 * 9 + 2 + 6 * 3 + 5);
}

TEST(ScriptCompiler, DefaultResolverUsesTheRealTimeDatabase) {
    kestro::resetHost();
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    rtdb.define("first", kestro::VarType::Int);
    const int second = rtdb.define("Boiler.Temp", kestro::VarType::Float);
    const CompileResult result = compile("Boiler.Temp");
    ASSERT_TRUE(result.ok()) << result.error.text();
    ASSERT_EQ(result.bytes.size(), 16u + 5);
    EXPECT_EQ(result.bytes[16], 0x03);
    EXPECT_EQ(result.bytes[17], second);
    EXPECT_EQ(compile("Boiler.Pressure").error.message, "unknown tag 'Boiler.Pressure'");
    kestro::resetHost();
}

TEST(ScriptCompiler, WithoutResolverEveryTagIsUnknown) {
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

TEST(ScriptCompiler, LimitsNesting) {
    EXPECT_TRUE(compile(repeat("(", 63) + "1" + repeat(")", 63), kTags).ok());
    const CompileResult parens = compile(repeat("(", 64) + "1" + repeat(")", 64), kTags);
    EXPECT_EQ(parens.error.message, "expression nested too deeply: more than 64 levels");
    EXPECT_EQ(parens.error.offset, 64u);
    EXPECT_TRUE(compile(repeat("-", 63) + "x", kTags).ok());
    EXPECT_EQ(compile(repeat("!", 64) + "x", kTags).error.message,
              "expression nested too deeply: more than 64 levels");
    EXPECT_EQ(compile(repeat("abs(", 64) + "1" + repeat(")", 64), kTags).error.message,
              "expression nested too deeply: more than 64 levels");
    // Deep input must be refused, not crash the compiler's own stack.
    EXPECT_FALSE(compile(repeat("(", 100000), kTags).ok());
    EXPECT_FALSE(compile(repeat("-", 100000) + "1", kTags).ok());
}

TEST(ScriptCompiler, LimitsPendingValues) {
    std::string arguments = "1";
    for (int i = 2; i <= 64; ++i) {
        arguments += ", " + std::to_string(i);
    }
    EXPECT_TRUE(compile("min(" + arguments + ")", kTags).ok());
    const CompileResult tooMany = compile("min(" + arguments + ", 65)", kTags);
    EXPECT_EQ(tooMany.error.message, "expression too complex: more than 64 values pending at once");
    EXPECT_EQ(tooMany.error.offset, 4 + arguments.size() + 2);
}

TEST(ScriptCompiler, LongChainsNeedNoNesting) {
    // Left-associative chains are parsed in a loop: 10000 terms are fine.
    const CompileResult result = compile("x" + repeat(" + x", 9999), kTags);
    ASSERT_TRUE(result.ok()) << result.error.text();
    EXPECT_EQ(result.bytes.size(), 16u + 10000 * 5 + 9999);
}

TEST(ScriptCompiler, LimitsBranchLength) {
    // Each "+ x" is 6 bytes of code; 11000 of them do not fit a 16-bit jump.
    const CompileResult result = compile("x ? x" + repeat(" + x", 11000) + " : 0", kTags);
    EXPECT_EQ(result.error.message, "expression too long: a branch exceeds 65535 bytes of code");
    EXPECT_EQ(result.error.offset, 2u);
    EXPECT_TRUE(compile("x ? x" + repeat(" + x", 10000) + " : 0", kTags).ok());
}

TEST(ScriptCompiler, DeepestAcceptedShapesStillVerify) {
    // Everything the compiler accepts must pass the verifier, also at the limits: nested
    // choices and short-circuits keep many forward jumps pending at once.
    const std::string shapes[] = {
        repeat("(x && ", 63) + "x" + repeat(")", 63),
        repeat("(x || ", 63) + "x" + repeat(")", 63),
        repeat("x ? 1 : (", 31) + "x" + repeat(") + 1", 31),
        repeat("x ? (", 31) + "x" + repeat(") + 1 : 2", 31),
        repeat("1 + (", 63) + "1" + repeat(")", 63),
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

TEST(ScriptDisassembler, ListsConstantsAndInstructions) {
    const CompileResult result =
        compile("x > 200 && Tank1.Level < 2.5 ? \"high\" : str(x, 1)", kTags);
    ASSERT_TRUE(result.ok());
    const std::string expected = "program version 1: 3 constants, 4 string bytes, 41 code bytes, "
                                 "stack 2\n"
                                 "  #0    int    200\n"
                                 "  #1    float  2.5\n"
                                 "  #2    string \"high\"\n"
                                 "  0000  load      var 5  ; x\n"
                                 "  0005  const     #0  ; 200\n"
                                 "  0008  gt\n"
                                 "  0009  andjump   -> 0016\n"
                                 "  000c  load      var 6\n"
                                 "  0011  const     #1  ; 2.5\n"
                                 "  0014  lt\n"
                                 "  0015  test\n"
                                 "  0016  jumpfalse -> 001f\n"
                                 "  0019  const     #2  ; \"high\"\n"
                                 "  001c  jump      -> 0029\n"
                                 "  001f  load      var 5  ; x\n"
                                 "  0024  int8      1\n"
                                 "  0026  call      str/2\n";
    EXPECT_EQ(kestro::script::disassemble(result.bytes.data(), result.bytes.size(),
                                          [](int index) { return index == 5 ? "x" : ""; }),
              expected);
}

TEST(ScriptDisassembler, ShowsFloatsAsFloatsAndEscapesStrings) {
    const CompileResult result = compile("3.0 + \"a\\n\\x01\\\"\" + -1000", kTags);
    ASSERT_TRUE(result.ok());
    const std::string listing =
        kestro::script::disassemble(result.bytes.data(), result.bytes.size());
    EXPECT_NE(listing.find("  #0    float  3.0\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  #1    string \"a\\n\\x01\\\"\"\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  #2    int    -1000\n"), std::string::npos) << listing;
}

TEST(ScriptDisassembler, RefusesDamagedPrograms) {
    const unsigned char bad[] = {'K', 'X', 'P', 'Q', 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 2, 1};
    EXPECT_EQ(kestro::script::disassemble(bad, sizeof bad),
              "invalid program: damaged program: not an expression program (bad magic)\n");
}

} // namespace
