// The expression compiler: placed errors, program bytes, limits, hostile programs refused.
#include "runtime/script/compiler.h"
#include "runtime/script/format.h"
#include "runtime/script/program.h"
#include "tests/support/hostfixture.h"

#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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
    {"1 +* 2", 3, 1, 4, "expected a value, found '*'"},
    {"(1 + 2", 6, 1, 7, "expected ')', found the end of the expression"},
    {"1 + 2)", 5, 1, 6, "unmatched ')'"},
    {"1 2", 2, 1, 3, "expected an operator, found '2'"},
    {"1 ? 2", 5, 1, 6, "expected ':', found the end of the expression"},
    {"max(1 2)", 6, 1, 7, "expected ',' or ')', found '2'"},
    {"abs(1", 5, 1, 6, "expected ',' or ')', found the end of the expression"},
    {"abs(1, 2)", 0, 1, 1, "expected 1 argument for 'abs', found 2"},
    {"min(1)", 0, 1, 1, "expected 2 or more arguments for 'min', found 1"},
    {"str(1, 2, 3)", 0, 1, 1, "expected 1 or 2 arguments for 'str', found 3"},
    {"1 + foo(1)", 4, 1, 5, "unknown function 'foo'"},
    {"x + X", 4, 1, 5, "unknown tag 'X'"},
    {"abs", 0, 1, 1, "unknown tag 'abs' (a function is called with parentheses: abs(...))"},
    {"x = 1", 2, 1, 3, "expected '==' (a single '=' is no operator)"},
    {"x & 1", 2, 1, 3, "expected '&&'"},
    {"\"abc", 4, 1, 5, "expected '\"' to end the string"},
    {"\"a\\qb\"", 2, 1, 3, "unknown escape sequence '\\q'"},
    {"\"\\x4\"", 1, 1, 2, "expected two hexadecimal digits after '\\x'"},
    {"1.x", 2, 1, 3, "expected a digit after '.'"},
    {"2e+", 3, 1, 4, "expected a digit in the exponent"},
    {"1FIC101", 0, 1, 1, "tag names must not start with a digit"},
    {"9223372036854775808", 0, 1, 1, "integer constant out of range"},
    {"-99999999999999999999", 1, 1, 2, "integer constant out of range"},
    {"1e999", 0, 1, 1, "decimal constant out of range"}, {"#", 0, 1, 1, "unexpected '#'"},
    {"1 + \x01", 4, 1, 5, "unexpected byte 0x01"},
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
        "Tank1.Level * 0.5 + _spare + 温度.上限",
        ".5 + 1e3 + 1.5E-3 + 2e+2",
        "- 9223372036854775808",
        "!x && !!x || -x < --x",
        "x ? x ? 1 : 2 : 3",
        "sqrt(x) + exp(x) + log(x) + sin(x) + cos(x) + acos(x) + atan(x) + (((x)))",
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

using Bytes = std::vector<unsigned char>;
namespace fmt = kestro::script;

void putU32(Bytes& out, uint32_t value, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

// A program with a correct header around the given parts.
Bytes assemble(const Bytes& constants, const std::string& strings, const Bytes& code) {
    Bytes out = {'K', 'X', 'P', 'R', 1, 0};
    putU32(out, static_cast<uint32_t>(constants.size() / 9), 2);
    putU32(out, static_cast<uint32_t>(strings.size()));
    putU32(out, static_cast<uint32_t>(code.size()));
    out.insert(out.end(), constants.begin(), constants.end());
    out.insert(out.end(), strings.begin(), strings.end());
    out.insert(out.end(), code.begin(), code.end());
    return out;
}

Bytes constant(unsigned char kind, uint64_t bits) {
    Bytes out = {kind};
    putU32(out, static_cast<uint32_t>(bits));
    putU32(out, static_cast<uint32_t>(bits >> 32));
    return out;
}
Bytes integerConstant(int64_t value) {
    return constant(1, static_cast<uint64_t>(value));
}
Bytes floatConstant(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return constant(2, bits);
}
Bytes stringConstant(uint32_t offset, uint32_t length) {
    return constant(3, offset | uint64_t{length} << 32);
}

Bytes repeatCode(const Bytes& piece, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// `pairs` pairs "int8 0; jumpfalse" each jumping to its own landing place in a tail of `tail`
// pairs, then "int8 1".
Bytes pendingJumps(int pairs, int tail) {
    Bytes head;
    for (int i = 0; i < pairs; ++i) {
        head.insert(head.end(), {0x02, 0, 0x29});
        putU32(head, static_cast<uint32_t>(5 * tail - 5), 2); // to the start of tail pair i
    }
    return assemble({}, "", join({head, repeatCode({0x02, 0, 0x29, 0, 0}, tail), {0x02, 1}}));
}

class ScriptDamaged : public HostTest {
protected:
    scripttest::Outcome run(const Bytes& bytes) { return scripttest::runBytes(bytes, &host); }
    scripttest::MapHost host;
};

TEST_F(ScriptDamaged, HandBuiltProgramsRun) {
    // 1000 + 2.5 + "ab" via the pool; 64 pending jumps are fine.
    const Bytes constants = join({integerConstant(1000), floatConstant(2.5), stringConstant(0, 2)});
    const Bytes code = {0x01, 0, 0, 0x01, 1, 0, 0x10, 0x01, 2, 0, 0x10};
    scripttest::Outcome outcome = run(assemble(constants, "ab", code));
    EXPECT_EQ(outcome.value.getString(), "1002.5ab") << outcome.error;
    outcome = run(pendingJumps(64, 64));
    EXPECT_EQ(outcome.value.getString(), "1") << outcome.error;
}

struct Damage {
    Bytes program;
    const char* reason; //!< after "damaged program: "
};

TEST_F(ScriptDamaged, RefusedWithReason) {
    const Bytes one = {0x02, 1};
    const auto code = [](const Bytes& bytes) { return assemble({}, "", bytes); };
    const auto patched = [&](size_t at, std::initializer_list<unsigned char> bytes) {
        Bytes program = assemble({}, "", one);
        std::copy(bytes.begin(), bytes.end(), program.begin() + static_cast<std::ptrdiff_t>(at));
        return program;
    };
    Bytes shortHeader = assemble({}, "", one);
    shortHeader.resize(15);
    Bytes longer = assemble({}, "", one);
    longer.push_back(0);
    Bytes unknownKind = assemble(integerConstant(5), "", {0x01, 0, 0});
    unknownKind[16] = 9;
    const Bytes badMagic = patched(3, {'Q'});
    const Bytes version0 = patched(4, {0});
    const Bytes manyConstants = patched(6, {0xFF, 0xFF});
    const Bytes tooManyPending = pendingJumps(65, 65);

    const Damage cases[] = {
        {{}, "empty program"},
        {shortHeader, "truncated header"},
        {badMagic, "not an expression program (bad magic)"},
        {version0, "unsupported version (0)"},
        {longer, "bytes after the end of the program"},
        {manyConstants, "truncated program"},
        {code({}), "program has no code"},
        {unknownKind, "unknown constant kind (0)"},
        {assemble(join({integerConstant(1), floatConstant(std::nan(""))}), "", one),
         "constant is not a finite number (1)"},
        {assemble(stringConstant(0xFFFFFFFF, 0xFFFFFFFF), "ab", one),
         "string constant outside the string area (0)"},
        {code({0x7F}), "unknown opcode (127) at code offset 0"},
        {assemble(integerConstant(5), "", {0x01, 0}), "truncated instruction at code offset 0"},
        {code({0x02, 1, 0x28, 0}), "truncated instruction at code offset 2"},
        {assemble(integerConstant(5), "", {0x01, 5, 0}),
         "constant index out of range (5) at code offset 0"},
        {code({0x03, 0xFF, 0xFF, 0xFF, 0xFF}),
         "variable index out of range (4294967295) at code offset 0"},
        {code({0x10}), "stack underflow at code offset 0"},
        {code({0x02, 1, 0x30, fmt::FnMin, 2}), "stack underflow at code offset 2"},
        {code(join({repeatCode({0x02, 1}, 65), repeatCode({0x10}, 64)})),
         "stack overflow at code offset 128"},
        {code({0x02, 1, 0x02, 2}),
         "program does not end with exactly one value (2) at code offset 4"},
        {code({0x02, 1, 0x30, 99, 1}), "unknown function (99) at code offset 2"},
        {code({0x02, 1, 0x02, 1, 0x30, fmt::FnAbs, 2}),
         "wrong argument count (2) at code offset 4"},
        {code({0x02, 1, 0x28, 0x10, 0}), "jump out of range at code offset 2"},
        {code({0x02, 1, 0x02, 1, 0x29, 1, 0, 0x02, 2, 0x10}),
         "jump into the middle of an instruction at code offset 9"},
        {code({0x02, 1, 0x02, 0, 0x29, 2, 0, 0x02, 5, 0x10}),
         "paths meet with different stack depths at code offset 9"},
        {code({0x02, 1, 0x28, 2, 0, 0x02, 5}), "unreachable instruction at code offset 5"},
        {tooManyPending, "too many pending jumps at code offset 322"},
    };
    for (const Damage& d : cases) {
        const scripttest::Outcome outcome = run(d.program);
        EXPECT_FALSE(outcome.ok) << d.reason;
        EXPECT_EQ(outcome.error, std::string("damaged program: ") + d.reason);
        EXPECT_EQ(outcome.value.kind(), Script::ValueType::Empty) << d.reason;
    }
    Script::ValueType result;
    EXPECT_FALSE(script_SvrRunProg(nullptr, 20, result, &host));
    EXPECT_EQ(kestro::ScriptService::instance().lastError(), "damaged program: empty program");
}

} // namespace
