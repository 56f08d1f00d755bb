// Verification of compiled expression programs.
#include "runtime/script/program.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace kestro::script {

namespace {

bool refuse(VerifyError* error, const char* reason, long long codeOffset = -1,
            long long detail = -1) {
    if (error) {
        *error = {reason, codeOffset, detail};
    }
    return false;
}

bool verifyConstants(const ProgramView& view, VerifyError* error) {
    for (uint16_t i = 0; i < view.constantCount; ++i) {
        const unsigned char* entry = view.constants + size_t{i} * kConstantSize;
        switch (entry[0]) {
        case ConstInteger:
            break;
        case ConstFloat:
            if (!std::isfinite(readF64(entry + 1))) {
                return refuse(error, "constant is not a finite number", -1, i);
            }
            break;
        case ConstString: {
            const uint64_t offset = readU32(entry + 1);
            const uint64_t length = readU32(entry + 5);
            if (offset + length > view.stringLength) {
                return refuse(error, "string constant outside the string area", -1, i);
            }
            break;
        }
        default:
            return refuse(error, "unknown constant kind", -1, i);
        }
    }
    return true;
}

// Forward jumps not yet reached, with the stack depth they arrive with.
struct PendingJumps {
    struct Entry {
        uint32_t target;
        int depth;
    };
    Entry entries[kMaxPendingJumps];
    int count = 0;

    // False when a jump to the same target brings another depth, or when there is no room.
    bool add(uint32_t target, int depth, bool* full) {
        for (int i = 0; i < count; ++i) {
            if (entries[i].target == target) {
                return entries[i].depth == depth;
            }
        }
        if (count == kMaxPendingJumps) {
            *full = true;
            return false;
        }
        entries[count++] = {target, depth};
        return true;
    }
    // Takes the jump landing at target; -1 when there is none.
    int take(uint32_t target) {
        for (int i = 0; i < count; ++i) {
            if (entries[i].target == target) {
                const int depth = entries[i].depth;
                entries[i] = entries[--count];
                return depth;
            }
        }
        return -1;
    }
    bool anyBefore(uint32_t offset) const {
        for (int i = 0; i < count; ++i) {
            if (entries[i].target < offset) {
                return true;
            }
        }
        return false;
    }
};

bool verifyCode(ProgramView* view, VerifyError* error) {
    const unsigned char* code = view->code;
    const uint32_t length = view->codeLength;
    PendingJumps pending;
    int depth = 0;
    int maxDepth = 0;
    bool reachable = true;
    uint32_t pc = 0;
    while (pc < length) {
        // Jumps only go forward, so every jump landing here has been seen already.
        if (pending.anyBefore(pc)) {
            return refuse(error, "jump into the middle of an instruction", pc);
        }
        const int arriving = pending.take(pc);
        if (arriving >= 0) {
            if (reachable && arriving != depth) {
                return refuse(error, "paths meet with different stack depths", pc);
            }
            depth = arriving;
            reachable = true;
        }
        if (!reachable) {
            return refuse(error, "unreachable instruction", pc);
        }
        const uint8_t op = code[pc];
        const int operands = operandSize(op);
        if (operands < 0) {
            return refuse(error, "unknown opcode", pc, op);
        }
        if (length - pc - 1 < static_cast<uint32_t>(operands)) {
            return refuse(error, "truncated instruction", pc);
        }
        const unsigned char* arg = code + pc + 1;
        const uint32_t next = pc + 1 + static_cast<uint32_t>(operands);
        int pops = 0;
        int pushes = 0;
        switch (op) {
        case OpConst:
            if (readU16(arg) >= view->constantCount) {
                return refuse(error, "constant index out of range", pc, readU16(arg));
            }
            pushes = 1;
            break;
        case OpSmallInt:
            pushes = 1;
            break;
        case OpLoad:
            if (readU32(arg) > INT32_MAX) {
                return refuse(error, "variable index out of range", pc, readU32(arg));
            }
            pushes = 1;
            break;
        case OpNeg:
        case OpNot:
        case OpTest:
            pops = 1;
            pushes = 1;
            break;
        case OpCall: {
            const uint8_t function = arg[0];
            const int count = arg[1];
            if (function >= FnCount) {
                return refuse(error, "unknown function", pc, function);
            }
            if (count < kFunctions[function].minArgs || count > kFunctions[function].maxArgs) {
                return refuse(error, "wrong argument count", pc, count);
            }
            pops = count;
            pushes = 1;
            break;
        }
        case OpJump:
        case OpJumpIfFalse:
        case OpAndJump:
        case OpOrJump:
            pops = op == OpJump ? 0 : 1;
            break;
        default: // the binary operators
            pops = 2;
            pushes = 1;
            break;
        }
        if (depth < pops) {
            return refuse(error, "stack underflow", pc);
        }
        if (op == OpJump || op == OpJumpIfFalse || op == OpAndJump || op == OpOrJump) {
            const uint64_t target = uint64_t{next} + readU16(arg);
            if (target > length) {
                return refuse(error, "jump out of range", pc);
            }
            // And/or jumps carry the operand along; the others arrive as they fall through.
            const int carried = (op == OpAndJump || op == OpOrJump) ? depth : depth - pops;
            bool full = false;
            if (!pending.add(static_cast<uint32_t>(target), carried, &full)) {
                return refuse(
                    error,
                    full ? "too many pending jumps" : "paths meet with different stack depths", pc);
            }
        }
        depth += pushes - pops;
        if (depth > kMaxStack) {
            return refuse(error, "stack overflow", pc);
        }
        if (depth > maxDepth) {
            maxDepth = depth;
        }
        if (op == OpJump) {
            reachable = false;
        }
        pc = next;
    }
    const int arriving = pending.take(length);
    if (pending.count > 0) {
        return refuse(error, "jump into the middle of an instruction", length);
    }
    if (arriving >= 0) {
        if (reachable && arriving != depth) {
            return refuse(error, "paths meet with different stack depths", length);
        }
        depth = arriving;
    }
    if (depth != 1) {
        return refuse(error, "program does not end with exactly one value", length, depth);
    }
    view->maxStack = maxDepth;
    return true;
}

} // namespace

bool verify(const unsigned char* program, size_t length, ProgramView* view, VerifyError* error) {
    if (!program || length == 0) {
        return refuse(error, "empty program");
    }
    if (length < kHeaderSize) {
        return refuse(error, "truncated header");
    }
    for (size_t i = 0; i < sizeof kMagic; ++i) {
        if (program[i] != kMagic[i]) {
            return refuse(error, "not an expression program (bad magic)");
        }
    }
    const uint16_t version = readU16(program + 4);
    if (version != kVersion) {
        return refuse(error, "unsupported version", -1, version);
    }
    ProgramView parts;
    parts.constantCount = readU16(program + 6);
    parts.stringLength = readU32(program + 8);
    parts.codeLength = readU32(program + 12);
    const uint64_t expected = uint64_t{kHeaderSize} +
                              uint64_t{parts.constantCount} * kConstantSize + parts.stringLength +
                              parts.codeLength;
    if (expected > length) {
        return refuse(error, "truncated program");
    }
    if (expected < length) {
        return refuse(error, "bytes after the end of the program");
    }
    if (parts.codeLength == 0) {
        return refuse(error, "program has no code");
    }
    parts.constants = program + kHeaderSize;
    parts.strings = parts.constants + size_t{parts.constantCount} * kConstantSize;
    parts.code = parts.strings + parts.stringLength;
    if (!verifyConstants(parts, error) || !verifyCode(&parts, error)) {
        return false;
    }
    if (view) {
        *view = parts;
    }
    return true;
}

std::string describe(const VerifyError& error) {
    std::string text = "damaged program: ";
    text += error.reason ? error.reason : "unknown fault";
    char number[64];
    if (error.detail >= 0) {
        std::snprintf(number, sizeof number, " (%lld)", error.detail);
        text += number;
    }
    if (error.codeOffset >= 0) {
        std::snprintf(number, sizeof number, " at code offset %lld", error.codeOffset);
        text += number;
    }
    return text;
}

Constant constantAt(const ProgramView& program, uint16_t index) {
    const unsigned char* entry = program.constants + size_t{index} * kConstantSize;
    Constant constant;
    constant.tag = static_cast<ConstantTag>(entry[0]);
    switch (constant.tag) {
    case ConstInteger:
        constant.integer = readI64(entry + 1);
        break;
    case ConstFloat:
        constant.number = readF64(entry + 1);
        break;
    case ConstString:
        constant.text = reinterpret_cast<const char*>(program.strings + readU32(entry + 1));
        constant.length = readU32(entry + 5);
        break;
    }
    return constant;
}

const char* mnemonic(uint8_t op) {
    switch (op) {
    case OpConst:
        return "const";
    case OpSmallInt:
        return "int8";
    case OpLoad:
        return "load";
    case OpAdd:
        return "add";
    case OpSub:
        return "sub";
    case OpMul:
        return "mul";
    case OpDiv:
        return "div";
    case OpMod:
        return "mod";
    case OpNeg:
        return "neg";
    case OpEq:
        return "eq";
    case OpNe:
        return "ne";
    case OpLt:
        return "lt";
    case OpLe:
        return "le";
    case OpGt:
        return "gt";
    case OpGe:
        return "ge";
    case OpNot:
        return "not";
    case OpTest:
        return "test";
    case OpJump:
        return "jump";
    case OpJumpIfFalse:
        return "jumpfalse";
    case OpAndJump:
        return "andjump";
    case OpOrJump:
        return "orjump";
    case OpCall:
        return "call";
    default:
        return nullptr;
    }
}

} // namespace kestro::script
