// Damaged and hostile programs: refused with a reason, never a crash.
#include "runtime/script/disassembler.h"
#include "runtime/script/format.h"
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

namespace {

using Bytes = std::vector<unsigned char>;
namespace fmt = kestro::script;

void putU16(Bytes& out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}
void putU32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

// A program with a correct header around the given parts.
Bytes assemble(const Bytes& constants, const std::string& strings, const Bytes& code) {
    Bytes out = {'K', 'X', 'P', 'R'};
    putU16(out, 1);
    putU16(out, static_cast<unsigned>(constants.size() / 9));
    putU32(out, static_cast<uint32_t>(strings.size()));
    putU32(out, static_cast<uint32_t>(code.size()));
    out.insert(out.end(), constants.begin(), constants.end());
    out.insert(out.end(), strings.begin(), strings.end());
    out.insert(out.end(), code.begin(), code.end());
    return out;
}

Bytes integerConstant(int64_t value) {
    Bytes out = {1};
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<unsigned char>(static_cast<uint64_t>(value) >> (8 * i)));
    }
    return out;
}

Bytes floatConstant(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes out = {2};
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    }
    return out;
}

Bytes stringConstant(uint32_t offset, uint32_t length) {
    Bytes out = {3};
    putU32(out, offset);
    putU32(out, length);
    return out;
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

class ScriptDamaged : public HostTest {
protected:
    scripttest::Outcome run(const Bytes& bytes) { return scripttest::runBytes(bytes, &host); }
    scripttest::MapHost host;
};

TEST_F(ScriptDamaged, HandBuiltProgramsRun) {
    // The helpers themselves produce valid programs: 1000 + 2.5 + "ab" via the pool.
    const Bytes constants = join({integerConstant(1000), floatConstant(2.5), stringConstant(0, 2)});
    const Bytes code = {0x01, 0, 0, 0x01, 1, 0, 0x10, 0x01, 2, 0, 0x10};
    const scripttest::Outcome outcome = run(assemble(constants, "ab", code));
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.value.getString(), "1002.5ab");
}

struct Damage {
    const char* name;
    Bytes program;
    const char* reason;
};

TEST_F(ScriptDamaged, RefusedWithReason) {
    const Bytes one = {0x02, 1};
    Bytes shortHeader = assemble({}, "", one);
    shortHeader.resize(15);
    Bytes badMagic = assemble({}, "", one);
    badMagic[3] = 'Q';
    Bytes version0 = assemble({}, "", one);
    version0[4] = 0;
    Bytes version2 = assemble({}, "", one);
    version2[4] = 2;
    Bytes longer = assemble({}, "", one);
    longer.push_back(0);
    Bytes manyConstants = assemble({}, "", one);
    manyConstants[6] = 0xFF;
    manyConstants[7] = 0xFF;
    Bytes hugeStrings = assemble({}, "", one);
    std::memset(&hugeStrings[8], 0xFF, 4);
    Bytes hugeCode = assemble({}, "", one);
    std::memset(&hugeCode[12], 0xFF, 4);
    Bytes unknownKind = assemble(integerConstant(5), "", {0x01, 0, 0});
    unknownKind[16] = 9;

    // 64 pairs "int8 0; jumpfalse" each jumping to its own landing place in a tail of as
    // many pairs; the 65th pending jump finds no room.
    Bytes pendingHead;
    Bytes pendingTail = repeatCode({0x02, 0, 0x29, 0, 0}, 65);
    for (int i = 0; i < 65; ++i) {
        pendingHead.insert(pendingHead.end(), {0x02, 0, 0x29});
        putU16(pendingHead, 320); // from the end of pair i to the start of tail pair i
    }

    const Damage cases[] = {
        {"empty", {}, "damaged program: empty program"},
        {"short header", shortHeader, "damaged program: truncated header"},
        {"bad magic", badMagic, "damaged program: not an expression program (bad magic)"},
        {"version 0", version0, "damaged program: unsupported version (0)"},
        {"version 2", version2, "damaged program: unsupported version (2)"},
        {"trailing byte", longer, "damaged program: bytes after the end of the program"},
        {"constant count too large", manyConstants, "damaged program: truncated program"},
        {"string area too large", hugeStrings, "damaged program: truncated program"},
        {"code too large", hugeCode, "damaged program: truncated program"},
        {"no code", assemble({}, "", {}), "damaged program: program has no code"},
        {"unknown constant kind", unknownKind, "damaged program: unknown constant kind (0)"},
        {"nan constant", assemble(floatConstant(std::nan("")), "", {0x01, 0, 0}),
         "damaged program: constant is not a finite number (0)"},
        {"infinite constant",
         assemble(join({integerConstant(1), floatConstant(HUGE_VAL)}), "", one),
         "damaged program: constant is not a finite number (1)"},
        {"string beyond area", assemble(stringConstant(1, 2), "ab", {0x01, 0, 0}),
         "damaged program: string constant outside the string area (0)"},
        {"string offset wraps", assemble(stringConstant(0xFFFFFFFF, 0xFFFFFFFF), "ab", one),
         "damaged program: string constant outside the string area (0)"},
        {"unknown opcode", assemble({}, "", {0x7F}),
         "damaged program: unknown opcode (127) at code offset 0"},
        {"unknown opcode later", assemble({}, "", {0x02, 1, 0xFF}),
         "damaged program: unknown opcode (255) at code offset 2"},
        {"truncated const", assemble(integerConstant(5), "", {0x01, 0}),
         "damaged program: truncated instruction at code offset 0"},
        {"truncated load", assemble({}, "", {0x03, 1, 0, 0}),
         "damaged program: truncated instruction at code offset 0"},
        {"truncated jump", assemble({}, "", {0x02, 1, 0x28, 0}),
         "damaged program: truncated instruction at code offset 2"},
        {"truncated call", assemble({}, "", {0x02, 1, 0x30, 0}),
         "damaged program: truncated instruction at code offset 2"},
        {"truncated int8", assemble({}, "", {0x02}),
         "damaged program: truncated instruction at code offset 0"},
        {"constant index", assemble(integerConstant(5), "", {0x01, 5, 0}),
         "damaged program: constant index out of range (5) at code offset 0"},
        {"constant index without pool", assemble({}, "", {0x01, 0, 0}),
         "damaged program: constant index out of range (0) at code offset 0"},
        {"variable index", assemble({}, "", {0x03, 0xFF, 0xFF, 0xFF, 0xFF}),
         "damaged program: variable index out of range (4294967295) at code offset 0"},
        {"underflow at start", assemble({}, "", {0x10}),
         "damaged program: stack underflow at code offset 0"},
        {"underflow later", assemble({}, "", {0x02, 1, 0x10}),
         "damaged program: stack underflow at code offset 2"},
        {"underflow in call", assemble({}, "", {0x02, 1, 0x30, fmt::FnMin, 2}),
         "damaged program: stack underflow at code offset 2"},
        {"underflow in neg", assemble({}, "", {0x15}),
         "damaged program: stack underflow at code offset 0"},
        {"overflow", assemble({}, "", join({repeatCode({0x02, 1}, 65), repeatCode({0x10}, 64)})),
         "damaged program: stack overflow at code offset 128"},
        {"two values left", assemble({}, "", {0x02, 1, 0x02, 2}),
         "damaged program: program does not end with exactly one value (2) at code offset 4"},
        {"no value left", assemble({}, "", {0x02, 0, 0x29, 0, 0}),
         "damaged program: program does not end with exactly one value (0) at code offset 5"},
        {"unknown function", assemble({}, "", {0x02, 1, 0x30, 99, 1}),
         "damaged program: unknown function (99) at code offset 2"},
        {"too many arguments", assemble({}, "", {0x02, 1, 0x02, 1, 0x30, fmt::FnAbs, 2}),
         "damaged program: wrong argument count (2) at code offset 4"},
        {"no arguments", assemble({}, "", {0x02, 1, 0x30, fmt::FnMin, 0}),
         "damaged program: wrong argument count (0) at code offset 2"},
        {"jump beyond the end", assemble({}, "", {0x02, 1, 0x28, 0x10, 0}),
         "damaged program: jump out of range at code offset 2"},
        {"jump into an instruction",
         assemble({}, "", {0x02, 1, 0x02, 1, 0x29, 1, 0, 0x02, 2, 0x10}),
         "damaged program: jump into the middle of an instruction at code offset 9"},
        {"jump into the last instruction",
         assemble({}, "", {0x02, 1, 0x02, 1, 0x29, 1, 0, 0x02, 2}),
         "damaged program: jump into the middle of an instruction at code offset 9"},
        {"depths differ", assemble({}, "", {0x02, 1, 0x02, 0, 0x29, 2, 0, 0x02, 5, 0x10}),
         "damaged program: paths meet with different stack depths at code offset 9"},
        {"depths differ at the end", assemble({}, "", {0x02, 1, 0x02, 0, 0x29, 2, 0, 0x02, 5}),
         "damaged program: paths meet with different stack depths at code offset 9"},
        {"unreachable", assemble({}, "", {0x02, 1, 0x28, 2, 0, 0x02, 5}),
         "damaged program: unreachable instruction at code offset 5"},
        {"too many pending jumps", assemble({}, "", join({pendingHead, pendingTail, {0x02, 1}})),
         "damaged program: too many pending jumps at code offset 322"},
    };
    for (const Damage& d : cases) {
        const scripttest::Outcome outcome = run(d.program);
        EXPECT_FALSE(outcome.ok) << d.name;
        EXPECT_EQ(outcome.error, d.reason) << d.name;
        EXPECT_EQ(outcome.value.kind(), Script::ValueType::Empty) << d.name;
    }
}

TEST_F(ScriptDamaged, NullProgramIsRefused) {
    Script::ValueType result;
    EXPECT_FALSE(script_SvrRunProg(nullptr, 0, result, &host));
    EXPECT_FALSE(script_SvrRunProg(nullptr, 20, result, &host));
    EXPECT_EQ(kestro::ScriptService::instance().lastError(), "damaged program: empty program");
}

TEST_F(ScriptDamaged, PendingJumpsUpToTheLimitAreFine) {
    // The same shape with 64 pairs is valid and yields the final 1.
    Bytes head;
    for (int i = 0; i < 64; ++i) {
        head.insert(head.end(), {0x02, 0, 0x29});
        putU16(head, 315);
    }
    const scripttest::Outcome outcome =
        run(assemble({}, "", join({head, repeatCode({0x02, 0, 0x29, 0, 0}, 64), {0x02, 1}})));
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.value.getString(), "1");
}

// Valid programs of every shape whose damaged forms are tried below.
std::vector<Bytes> samplePrograms() {
    const kestro::script::Resolver names = scripttest::tags({{"a", 0}, {"b", 1}, {"s", 2}});
    const char* const sources[] = {
        "a * 2 + 1000",
        "a > 3 && b < 2.5 || !a ? \"high\" + str(b, 2) : s + len(s)",
        "clamp(a, -300, 300) / max(b, 1, 2) - min(1, 2.5)",
        "a ? b ? 1 : 2 : a == 0 ? 3 : int(\"12x\")",
        "\"温度=\" + pow(a, 2) % 7",
    };
    std::vector<Bytes> programs;
    for (const char* source : sources) {
        programs.push_back(scripttest::program(source, names));
    }
    return programs;
}

TEST_F(ScriptDamaged, EveryTruncationIsRefused) {
    host.setInteger(0, 5);
    host.setFloat(1, 1.5);
    host.setString(2, "abc");
    int refusedCuts = 0;
    for (const Bytes& whole : samplePrograms()) {
        ASSERT_TRUE(run(whole).ok) << run(whole).error;
        for (size_t length = 0; length < whole.size(); ++length) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            const scripttest::Outcome outcome = run(cut);
            EXPECT_FALSE(outcome.ok) << "cut at " << length;
            EXPECT_EQ(outcome.error.rfind("damaged program: ", 0), 0u) << outcome.error;
        }
        // Cutting the code and fixing the header to match: a cut inside an instruction or
        // before a jump's target is refused; a cut after a complete operand is a valid
        // shorter program and runs.
        const size_t codeStart = whole.size() - (whole[12] | (whole[13] << 8));
        for (size_t length = codeStart; length < whole.size(); ++length) {
            Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            const uint32_t code = static_cast<uint32_t>(length - codeStart);
            for (int i = 0; i < 4; ++i) {
                cut[12 + i] = static_cast<unsigned char>(code >> (8 * i));
            }
            const scripttest::Outcome outcome = run(cut);
            EXPECT_EQ(outcome.ok, outcome.error.empty()) << "code cut at " << code;
            EXPECT_EQ(outcome.ok, outcome.value.kind() != Script::ValueType::Empty);
            refusedCuts += outcome.error.rfind("damaged program: ", 0) == 0;
        }
    }
    EXPECT_GT(refusedCuts, 0);
}

// Random damage must never crash, hang or read outside the program (run under ASan too).
TEST_F(ScriptDamaged, RandomByteFlipsNeverCrash) {
    host.setInteger(0, 5);
    host.setFloat(1, 1.5);
    host.setString(2, "abc");
    std::mt19937 random(20240611);
    int accepted = 0;
    int refused = 0;
    for (const Bytes& whole : samplePrograms()) {
        for (int round = 0; round < 4000; ++round) {
            Bytes damaged = whole;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                // Mostly in the code, where most of the checks are.
                const size_t at = (round % 4 == 0)
                                      ? random() % damaged.size()
                                      : damaged.size() - 1 - random() % 24 % damaged.size();
                damaged[at] = static_cast<unsigned char>(random());
            }
            // Copy into an exactly sized heap block so that ASan sees any overread.
            std::unique_ptr<unsigned char[]> exact(new unsigned char[damaged.size()]);
            std::memcpy(exact.get(), damaged.data(), damaged.size());
            Script::ValueType result;
            const bool ok = script_SvrRunProg(
                exact.get(), static_cast<unsigned int>(damaged.size()), result, &host);
            (ok ? accepted : refused)++;
            EXPECT_EQ(ok, result.kind() != Script::ValueType::Empty);
            EXPECT_EQ(ok, kestro::ScriptService::instance().lastError().empty());
            kestro::script::disassemble(exact.get(), damaged.size());
        }
    }
    // Both outcomes occur, so the flips did reach the checks and the evaluator.
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

// Random code behind a correct header exercises the instruction checks directly.
TEST_F(ScriptDamaged, RandomCodeNeverCrashes) {
    host.setInteger(0, 5);
    std::mt19937 random(77);
    const unsigned char opcodes[] = {0x01, 0x02, 0x03, 0x10, 0x11, 0x12, 0x13, 0x14,
                                     0x15, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x20,
                                     0x21, 0x28, 0x29, 0x2A, 0x2B, 0x30, 0x00, 0xFF};
    const Bytes constants = join({integerConstant(0), floatConstant(0.0), stringConstant(0, 1)});
    int accepted = 0;
    for (int round = 0; round < 30000; ++round) {
        Bytes code;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            code.push_back(opcodes[random() % sizeof opcodes]);
            const int operands = static_cast<int>(random() % 3);
            for (int j = 0; j < operands; ++j) {
                code.push_back(static_cast<unsigned char>(random() % 4));
            }
        }
        const Bytes program = assemble(constants, "x", code);
        std::unique_ptr<unsigned char[]> exact(new unsigned char[program.size()]);
        std::memcpy(exact.get(), program.data(), program.size());
        Script::ValueType result;
        if (script_SvrRunProg(exact.get(), static_cast<unsigned int>(program.size()), result,
                              round % 2 ? &host : nullptr)) {
            ++accepted;
        }
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
