// Listing of compiled expression programs.
#include "runtime/script/disassembler.h"

#include "runtime/host/textformat.h"
#include "runtime/script/numbers.h"
#include "runtime/script/program.h"

#include <cstdio>

namespace kestro::script {

namespace {

std::string constantText(const Constant& c) {
    char buffer[kNumberTextSize];
    switch (c.tag) {
    case ConstInteger:
        return std::string(buffer, formatInteger(c.integer, buffer));
    case ConstFloat: {
        std::string text(buffer, formatNumber(c.number, buffer));
        // Keep floats recognisable as floats in the listing.
        if (text.find_first_of(".e") == std::string::npos) {
            text += ".0";
        }
        return text;
    }
    default:
        return quotedText(c.text, c.length, ControlEscape::Hex);
    }
}

const char* constantKind(ConstantTag tag) {
    return tag == ConstInteger ? "int" : (tag == ConstFloat ? "float" : "string");
}

} // namespace

std::string disassemble(const unsigned char* program, size_t length, const VariableNamer& namer) {
    ProgramView view;
    VerifyError error;
    if (!verify(program, length, &view, &error)) {
        return "invalid program: " + describe(error) + "\n";
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "program version %u: %u constants, %u string bytes, %u code bytes, stack %d\n",
                  unsigned{kVersion}, unsigned{view.constantCount}, unsigned{view.stringLength},
                  unsigned{view.codeLength}, view.maxStack);
    std::string out = line;
    for (uint16_t i = 0; i < view.constantCount; ++i) {
        const Constant c = constantAt(view, i);
        std::snprintf(line, sizeof line, "  #%-4u %-6s ", unsigned{i}, constantKind(c.tag));
        out += line + constantText(c) + "\n";
    }
    uint32_t pc = 0;
    while (pc < view.codeLength) {
        const uint8_t op = view.code[pc];
        const unsigned char* arg = view.code + pc + 1;
        const uint32_t next = pc + 1 + static_cast<uint32_t>(operandSize(op));
        std::snprintf(line, sizeof line, "  %04x  %-9s", unsigned{pc}, mnemonic(op));
        std::string text = line;
        switch (op) {
        case OpConst: {
            const uint16_t index = readU16(arg);
            text += " #" + std::to_string(index) + "  ; " + constantText(constantAt(view, index));
            break;
        }
        case OpSmallInt:
            text += " " + std::to_string(static_cast<int8_t>(arg[0]));
            break;
        case OpLoad: {
            const int index = static_cast<int>(readU32(arg));
            text += " var " + std::to_string(index);
            const std::string name = namer ? namer(index) : std::string();
            if (!name.empty()) {
                text += "  ; " + name;
            }
            break;
        }
        case OpJump:
        case OpJumpIfFalse:
        case OpAndJump:
        case OpOrJump:
            std::snprintf(line, sizeof line, " -> %04x", unsigned{next + readU16(arg)});
            text += line;
            break;
        case OpCall:
            text += std::string(" ") + kFunctions[arg[0]].name + "/" + std::to_string(arg[1]);
            break;
        default:
            break;
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out += text + "\n";
        pc = next;
    }
    return out;
}

} // namespace kestro::script
