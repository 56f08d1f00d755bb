// Expression-engine faults found while checking that no program bytes make it hang or allocate
// beyond what they describe.
#include "kestrovalumen/host/script.h"
#include "runtime/host/script.h"
#include "tests/reliability/memoryguard.h"
#include "tests/support/hostfixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class ScriptFindings : public HostTest {};

void put16(std::vector<unsigned char>& out, uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
}

// A program of one string constant of `length` bytes 'a', pushed, then pushed again and joined
// onto the first `joins` times: "a...a" + "a...a" + ... (the program format of
// docs/expressions.md, built by hand).
std::vector<unsigned char> selfJoining(uint32_t length, uint32_t joins) {
    std::vector<unsigned char> code = {0x01, 0x00, 0x00}; // const #0
    for (uint32_t i = 0; i < joins; ++i) {
        code.insert(code.end(), {0x01, 0x00, 0x00, 0x10}); // const #0, add
    }
    std::vector<unsigned char> program = {'K', 'X', 'P', 'R'};
    put16(program, 1);      // version
    put16(program, 1);      // one constant
    put32(program, length); // string area
    put32(program, static_cast<uint32_t>(code.size()));
    program.push_back(3); // a string constant: offset 0, all of the area
    put32(program, 0);
    put32(program, length);
    program.insert(program.end(), length, 'a');
    program.insert(program.end(), code.begin(), code.end());
    return program;
}

// 220 kilobytes of program can ask for a text of 2.4 gigabytes, copied piece by piece: memory and
// time that grow with the square of the program's length. One run builds at most 16 MiB of text
// (pushes and joins), and says so when a program asks for more.
TEST_F(ScriptFindings, OneRunBuildsAtMost16MiBOfText) {
    struct Case {
        const char* name;
        uint32_t length, joins;
        bool ok;
        size_t resultLength;
    };
    const Case cases[] = {
        // 101 pushes and 100 joins of 1000 bytes: 201000 bytes built.
        {"a long join", 1000, 100, true, 101000},
        // 65 pushes and 64 joins of 131072 bytes: 16908288 bytes, 131072 over the budget.
        {"just over", 131072, 64, false, 0},
        // 63 pushes and 62 joins of 131072 bytes: 16384000 bytes, within the budget.
        {"just under", 131072, 62, true, 63u * 131072u},
        // 40001 pushes of 60000 bytes: 2.4 gigabytes without the budget.
        {"quadratic", 60000, 40000, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> program = selfJoining(c.length, c.joins);
        Script::ValueType result;
        bool ok = false;
        {
            kvtest::MemoryGuard guard;
            ok = script_SvrRunProg(program.data(), static_cast<unsigned int>(program.size()),
                                   result, nullptr);
        }
        EXPECT_EQ(ok, c.ok) << kestro::ScriptService::instance().lastError();
        if (c.ok) {
            EXPECT_EQ(result.getString(), std::string(c.resultLength, 'a'));
        } else {
            EXPECT_EQ(kestro::ScriptService::instance().lastError(),
                      "text too long: one run builds at most 16777216 bytes of text");
            EXPECT_EQ(result.kind(), Script::ValueType::Empty);
        }
    }
}

} // namespace
