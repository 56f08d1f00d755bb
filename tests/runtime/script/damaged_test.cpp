// Damaged and hostile programs: refused with a reason, never a crash.
#include "runtime/script/format.h"
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

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
    const Bytes version2 = patched(4, {2});
    const Bytes manyConstants = patched(6, {0xFF, 0xFF});
    const Bytes hugeStrings = patched(8, {0xFF, 0xFF, 0xFF, 0xFF});
    const Bytes hugeCode = patched(12, {0xFF, 0xFF, 0xFF, 0xFF});
    const Bytes tooManyPending = pendingJumps(65, 65);

    const Damage cases[] = {
        {{}, "empty program"},
        {shortHeader, "truncated header"},
        {badMagic, "not an expression program (bad magic)"},
        {version0, "unsupported version (0)"},
        {version2, "unsupported version (2)"},
        {longer, "bytes after the end of the program"},
        {manyConstants, "truncated program"},
        {hugeStrings, "truncated program"},
        {hugeCode, "truncated program"},
        {code({}), "program has no code"},
        {unknownKind, "unknown constant kind (0)"},
        {assemble(floatConstant(std::nan("")), "", {0x01, 0, 0}),
         "constant is not a finite number (0)"},
        {assemble(join({integerConstant(1), floatConstant(HUGE_VAL)}), "", one),
         "constant is not a finite number (1)"},
        {assemble(stringConstant(1, 2), "ab", {0x01, 0, 0}),
         "string constant outside the string area (0)"},
        {assemble(stringConstant(0xFFFFFFFF, 0xFFFFFFFF), "ab", one),
         "string constant outside the string area (0)"},
        {code({0x7F}), "unknown opcode (127) at code offset 0"},
        {code({0x02, 1, 0xFF}), "unknown opcode (255) at code offset 2"},
        {assemble(integerConstant(5), "", {0x01, 0}), "truncated instruction at code offset 0"},
        {code({0x03, 1, 0, 0}), "truncated instruction at code offset 0"},
        {code({0x02, 1, 0x28, 0}), "truncated instruction at code offset 2"},
        {code({0x02, 1, 0x30, 0}), "truncated instruction at code offset 2"},
        {code({0x02}), "truncated instruction at code offset 0"},
        {assemble(integerConstant(5), "", {0x01, 5, 0}),
         "constant index out of range (5) at code offset 0"},
        {code({0x01, 0, 0}), "constant index out of range (0) at code offset 0"},
        {code({0x03, 0xFF, 0xFF, 0xFF, 0xFF}),
         "variable index out of range (4294967295) at code offset 0"},
        {code({0x10}), "stack underflow at code offset 0"},
        {code({0x02, 1, 0x10}), "stack underflow at code offset 2"},
        {code({0x02, 1, 0x30, fmt::FnMin, 2}), "stack underflow at code offset 2"},
        {code({0x15}), "stack underflow at code offset 0"},
        {code(join({repeatCode({0x02, 1}, 65), repeatCode({0x10}, 64)})),
         "stack overflow at code offset 128"},
        {code({0x02, 1, 0x02, 2}),
         "program does not end with exactly one value (2) at code offset 4"},
        {code({0x02, 0, 0x29, 0, 0}),
         "program does not end with exactly one value (0) at code offset 5"},
        {code({0x02, 1, 0x30, 99, 1}), "unknown function (99) at code offset 2"},
        {code({0x02, 1, 0x02, 1, 0x30, fmt::FnAbs, 2}),
         "wrong argument count (2) at code offset 4"},
        {code({0x02, 1, 0x30, fmt::FnMin, 0}), "wrong argument count (0) at code offset 2"},
        {code({0x02, 1, 0x28, 0x10, 0}), "jump out of range at code offset 2"},
        {code({0x02, 1, 0x02, 1, 0x29, 1, 0, 0x02, 2, 0x10}),
         "jump into the middle of an instruction at code offset 9"},
        {code({0x02, 1, 0x02, 1, 0x29, 1, 0, 0x02, 2}),
         "jump into the middle of an instruction at code offset 9"},
        {code({0x02, 1, 0x02, 0, 0x29, 2, 0, 0x02, 5, 0x10}),
         "paths meet with different stack depths at code offset 9"},
        {code({0x02, 1, 0x02, 0, 0x29, 2, 0, 0x02, 5}),
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

TEST_F(ScriptDamaged, EveryTruncationIsRefused) {
    host.setInteger(0, 5);
    host.setFloat(1, 1.5);
    host.setString(2, "abc");
    const kestro::script::Resolver names = scripttest::tags({{"a", 0}, {"b", 1}, {"s", 2}});
    int refusedCuts = 0;
    for (const char* source : {
             "a > 3 && b < 2.5 || !a ? \"high\" + str(b, 2) : s + len(s)",
             "clamp(a, -300, 300) / max(b, 1, 2) - min(1, 2.5) + 1000",
             "a ? b ? 1 : 2 : a == 0 ? 3 : int(\"12x\")",
         }) {
        const Bytes whole = scripttest::program(source, names);
        ASSERT_TRUE(run(whole).ok) << run(whole).error;
        for (size_t length = 0; length < whole.size(); ++length) {
            const scripttest::Outcome outcome = run(Bytes(whole.begin(), whole.begin() + length));
            EXPECT_FALSE(outcome.ok) << "cut at " << length;
            EXPECT_EQ(outcome.error.rfind("damaged program: ", 0), 0u) << outcome.error;
        }
        // Cutting the code and fixing the header to match: a cut inside an instruction or
        // before a jump's target is refused; a cut after a complete operand runs.
        const size_t codeStart = whole.size() - (whole[12] | (whole[13] << 8));
        for (size_t length = codeStart; length < whole.size(); ++length) {
            Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            const uint32_t code = static_cast<uint32_t>(length - codeStart);
            std::memcpy(&cut[12], &code, 4);
            const scripttest::Outcome outcome = run(cut);
            EXPECT_EQ(outcome.ok, outcome.error.empty()) << "code cut at " << code;
            EXPECT_EQ(outcome.ok, outcome.value.kind() != Script::ValueType::Empty);
            refusedCuts += outcome.error.rfind("damaged program: ", 0) == 0;
        }
    }
    EXPECT_GT(refusedCuts, 0);
}

} // namespace
