// Byte format of compiled expression programs, shared by the compiler, the verifier, the
// evaluator and the disassembler. docs/expressions.md describes it for humans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestro::script {

// Header: magic, version, constant count, string area length, code length.
constexpr unsigned char kMagic[4] = {'K', 'X', 'P', 'R'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kConstantSize = 9; //!< tag byte + 8 payload bytes

//! Values a program may hold on its stack at once; the evaluator keeps them on the C++ stack.
constexpr int kMaxStack = 64;
//! Forward jumps that may be pending at one point (nesting of ?:, && and ||).
constexpr int kMaxPendingJumps = 64;

enum ConstantTag : uint8_t {
    ConstInteger = 1, //!< int64 LE
    ConstFloat = 2,   //!< IEEE double LE, finite
    ConstString = 3,  //!< uint32 LE offset, uint32 LE length into the string area
};

enum Opcode : uint8_t {
    OpConst = 0x01,    //!< u16 constant index: push the constant
    OpSmallInt = 0x02, //!< i8 value: push a small integer
    OpLoad = 0x03,     //!< u32 variable index (at most INT32_MAX): push the variable
    OpAdd = 0x10,
    OpSub = 0x11,
    OpMul = 0x12,
    OpDiv = 0x13,
    OpMod = 0x14,
    OpNeg = 0x15,
    OpEq = 0x18,
    OpNe = 0x19,
    OpLt = 0x1A,
    OpLe = 0x1B,
    OpGt = 0x1C,
    OpGe = 0x1D,
    OpNot = 0x20,
    OpTest = 0x21,        //!< replace the top by 1 when true, 0 when false
    OpJump = 0x28,        //!< u16 forward offset
    OpJumpIfFalse = 0x29, //!< u16: pop; jump when false
    OpAndJump = 0x2A,     //!< u16: when the top is false make it 0 and jump, else pop
    OpOrJump = 0x2B,      //!< u16: when the top is true make it 1 and jump, else pop
    OpCall = 0x30,        //!< u8 function, u8 argument count
};

//! Operand bytes that follow the opcode, or -1 for an unknown opcode.
constexpr int operandSize(uint8_t op) {
    switch (op) {
    case OpConst:
        return 2;
    case OpSmallInt:
        return 1;
    case OpLoad:
        return 4;
    case OpAdd:
    case OpSub:
    case OpMul:
    case OpDiv:
    case OpMod:
    case OpNeg:
    case OpEq:
    case OpNe:
    case OpLt:
    case OpLe:
    case OpGt:
    case OpGe:
    case OpNot:
    case OpTest:
        return 0;
    case OpJump:
    case OpJumpIfFalse:
    case OpAndJump:
    case OpOrJump:
        return 2;
    case OpCall:
        return 2;
    default:
        return -1;
    }
}

//! Mnemonic of an opcode for the disassembler, or null.
const char* mnemonic(uint8_t op);

enum Function : uint8_t {
    FnAbs,
    FnMin,
    FnMax,
    FnClamp,
    FnFloor,
    FnCeil,
    FnRound,
    FnInt,
    FnFloat,
    FnStr,
    FnLen,
    FnDiv,
    FnSqrt,
    FnPow,
    FnExp,
    FnLog,
    FnLog10,
    FnSin,
    FnCos,
    FnTan,
    FnAsin,
    FnAcos,
    FnAtan,
    FnAtan2,
    FnCount
};

struct FunctionInfo {
    const char* name;
    int minArgs;
    int maxArgs;
};

// The function library, indexed by Function.
constexpr FunctionInfo kFunctions[FnCount] = {
    {"abs", 1, 1},  {"min", 2, kMaxStack}, {"max", 2, kMaxStack}, {"clamp", 3, 3}, {"floor", 1, 1},
    {"ceil", 1, 1}, {"round", 1, 1},       {"int", 1, 1},         {"float", 1, 1}, {"str", 1, 2},
    {"len", 1, 1},  {"div", 2, 2},         {"sqrt", 1, 1},        {"pow", 2, 2},   {"exp", 1, 1},
    {"log", 1, 1},  {"log10", 1, 1},       {"sin", 1, 1},         {"cos", 1, 1},   {"tan", 1, 1},
    {"asin", 1, 1}, {"acos", 1, 1},        {"atan", 1, 1},        {"atan2", 2, 2},
};

// Little-endian access; the caller has checked the bounds.
inline uint16_t readU16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t readU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t readU64(const unsigned char* p) {
    return static_cast<uint64_t>(readU32(p)) | (static_cast<uint64_t>(readU32(p + 4)) << 32);
}
inline int64_t readI64(const unsigned char* p) {
    return static_cast<int64_t>(readU64(p));
}
inline double readF64(const unsigned char* p) {
    const uint64_t bits = readU64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace kestro::script
