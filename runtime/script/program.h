// Checking a compiled expression program before it runs, and reading its parts.
#pragma once

#include "runtime/script/format.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestro::script {

//! The parts of a program that passed verify(); points into the caller's bytes.
struct ProgramView {
    const unsigned char* constants = nullptr;
    uint16_t constantCount = 0;
    const unsigned char* strings = nullptr;
    uint32_t stringLength = 0;
    const unsigned char* code = nullptr;
    uint32_t codeLength = 0;
    int maxStack = 0; //!< deepest stack the code reaches
};

//! Why verify() refused a program. Kept as fixed data so that checking allocates nothing.
struct VerifyError {
    const char* reason = nullptr;
    long long codeOffset = -1; //!< instruction the reason refers to, or -1
    long long detail = -1;     //!< a number the reason names (version, index, opcode), or -1
};

//! Checks header, sizes, constants and every instruction: operands in range, jumps forward
//! onto instruction starts with matching stack depths, no stack underflow or overflow, one
//! value left at the end. Allocates nothing.
bool verify(const unsigned char* program, size_t length, ProgramView* view, VerifyError* error);

//! The reason as text, e.g. "damaged program: unknown opcode 0x7f at code offset 3".
std::string describe(const VerifyError& error);

struct Constant {
    ConstantTag tag = ConstInteger;
    int64_t integer = 0;
    double number = 0.0;
    const char* text = nullptr;
    uint32_t length = 0;
};
//! Constant index of a verified program.
Constant constantAt(const ProgramView& program, uint16_t index);

} // namespace kestro::script
