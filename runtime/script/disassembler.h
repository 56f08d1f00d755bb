// Readable listing of a compiled expression program, for debugging and documentation.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace kestro::script {

//! Names a variable index in the listing; may return "" to show the bare index.
using VariableNamer = std::function<std::string(int index)>;

//! The listing: a header line, the constants, then one line per instruction. A program that
//! fails verification gives a single line "invalid program: <reason>".
std::string disassemble(const unsigned char* program, size_t length,
                        const VariableNamer& namer = {});

} // namespace kestro::script
