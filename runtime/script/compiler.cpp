// Compiler of the expression language: a recursive-descent parser that emits code as it goes.
#include "runtime/script/compiler.h"

#include "runtime/script/format.h"
#include "runtime/script/lexer.h"
#include "runtime/script/program.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>

namespace kestro::script {

namespace {

constexpr int kMaxNesting = 64;

// Code and constants under construction, with the stack depth the code reaches.
class Emitter {
public:
    void op(uint8_t opcode) { m_code.push_back(opcode); }
    void u8(uint8_t value) { m_code.push_back(value); }
    void u16(uint16_t value) {
        m_code.push_back(static_cast<uint8_t>(value));
        m_code.push_back(static_cast<uint8_t>(value >> 8));
    }
    void u32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            m_code.push_back(static_cast<uint8_t>(value >> shift));
        }
    }

    void integer(int64_t value, size_t at);
    void decimal(double value, size_t at);
    void string(const std::string& value, size_t at);

    //! Emits a jump with its offset still open; returns where the offset goes.
    size_t jump(uint8_t opcode) {
        op(opcode);
        const size_t patch = m_code.size();
        u16(0);
        return patch;
    }
    //! Points the jump at patch to the current end of the code.
    void land(size_t patch, size_t at) {
        const size_t distance = m_code.size() - (patch + 2);
        if (distance > 0xFFFF) {
            throw SourceError(at, "expression too long: a branch exceeds 65535 bytes of code");
        }
        m_code[patch] = static_cast<uint8_t>(distance);
        m_code[patch + 1] = static_cast<uint8_t>(distance >> 8);
    }

    void push(size_t at) {
        if (++m_depth > kMaxStack) {
            throw SourceError(at, "expression too complex: more than " + std::to_string(kMaxStack) +
                                      " values pending at once");
        }
    }
    void pop(int count) { m_depth -= count; }
    int depth() const { return m_depth; }
    void setDepth(int depth) { m_depth = depth; }

    std::vector<unsigned char> finish() const;

private:
    uint16_t constant(uint8_t tag, uint64_t payload, size_t at);

    std::vector<unsigned char> m_code;
    std::vector<unsigned char> m_constants;
    std::string m_strings;
    std::map<std::pair<uint8_t, uint64_t>, uint16_t> m_known;
    std::map<std::string, uint32_t> m_knownStrings;
    int m_depth = 0;
};

uint16_t Emitter::constant(uint8_t tag, uint64_t payload, size_t at) {
    const auto key = std::make_pair(tag, payload);
    const auto found = m_known.find(key);
    if (found != m_known.end()) {
        return found->second;
    }
    const size_t index = m_constants.size() / kConstantSize;
    if (index > 0xFFFF) {
        throw SourceError(at, "expression too long: more than 65536 constants");
    }
    m_constants.push_back(tag);
    for (int shift = 0; shift < 64; shift += 8) {
        m_constants.push_back(static_cast<uint8_t>(payload >> shift));
    }
    m_known.emplace(key, static_cast<uint16_t>(index));
    return static_cast<uint16_t>(index);
}

void Emitter::integer(int64_t value, size_t at) {
    push(at);
    if (value >= INT8_MIN && value <= INT8_MAX) {
        op(OpSmallInt);
        u8(static_cast<uint8_t>(value));
        return;
    }
    op(OpConst);
    u16(constant(ConstInteger, static_cast<uint64_t>(value), at));
}

void Emitter::decimal(double value, size_t at) {
    push(at);
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    op(OpConst);
    u16(constant(ConstFloat, bits, at));
}

void Emitter::string(const std::string& value, size_t at) {
    push(at);
    auto found = m_knownStrings.find(value);
    if (found == m_knownStrings.end()) {
        if (m_strings.size() + value.size() > UINT32_MAX) {
            throw SourceError(at, "expression too long: string constants exceed 4 GiB");
        }
        found = m_knownStrings.emplace(value, static_cast<uint32_t>(m_strings.size())).first;
        m_strings += value;
    }
    const uint64_t payload = uint64_t{found->second} | (uint64_t{value.size()} << 32);
    op(OpConst);
    u16(constant(ConstString, payload, at));
}

std::vector<unsigned char> Emitter::finish() const {
    std::vector<unsigned char> out(kMagic, kMagic + sizeof kMagic);
    auto put = [&out](uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<unsigned char>(value >> (8 * i)));
        }
    };
    put(kVersion, 2);
    put(m_constants.size() / kConstantSize, 2);
    put(m_strings.size(), 4);
    put(m_code.size(), 4);
    out.insert(out.end(), m_constants.begin(), m_constants.end());
    out.insert(out.end(), m_strings.begin(), m_strings.end());
    out.insert(out.end(), m_code.begin(), m_code.end());
    return out;
}

std::string quoted(const Token& token, const std::string& source) {
    if (token.kind == Tok::End) {
        return "the end of the expression";
    }
    return "'" + source.substr(token.offset, token.length) + "'";
}

std::string argumentCount(int count) {
    return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

// The binary operators by level, loosest first.
struct BinaryOperator {
    Tok token;
    uint8_t opcode;
};
constexpr BinaryOperator kEquality[] = {{Tok::Eq, OpEq}, {Tok::Ne, OpNe}};
constexpr BinaryOperator kRelational[] = {
    {Tok::Lt, OpLt}, {Tok::Le, OpLe}, {Tok::Gt, OpGt}, {Tok::Ge, OpGe}};
constexpr BinaryOperator kAdditive[] = {{Tok::Plus, OpAdd}, {Tok::Minus, OpSub}};
constexpr BinaryOperator kMultiplicative[] = {
    {Tok::Star, OpMul}, {Tok::Slash, OpDiv}, {Tok::Percent, OpMod}};

class Parser {
public:
    Parser(const std::string& source, const Resolver& resolver)
        : m_source(source), m_resolver(resolver), m_lexer(source) {}

    std::vector<unsigned char> parse() {
        advance();
        expression();
        if (m_tok.kind == Tok::RParen) {
            throw SourceError(m_tok.offset, "unmatched ')'");
        }
        if (m_tok.kind != Tok::End) {
            throw SourceError(m_tok.offset, "expected an operator, found " + found());
        }
        return m_out.finish();
    }

private:
    // Counts one level of nesting for as long as it lives, so that hostile input cannot
    // exhaust the C++ stack.
    class Nest {
    public:
        Nest(Parser& parser) : m_parser(parser) {
            if (++m_parser.m_nesting > kMaxNesting) {
                throw SourceError(m_parser.m_tok.offset,
                                  "expression nested too deeply: more than " +
                                      std::to_string(kMaxNesting) + " levels");
            }
        }
        ~Nest() { --m_parser.m_nesting; }

    private:
        Parser& m_parser;
    };

    void advance() { m_tok = m_lexer.next(); }
    std::string found() const { return quoted(m_tok, m_source); }
    void expect(Tok kind, const char* what) {
        if (m_tok.kind != kind) {
            throw SourceError(m_tok.offset, std::string("expected ") + what + ", found " + found());
        }
        advance();
    }

    void expression() {
        Nest nest(*this);
        conditional();
    }

    void conditional() {
        logicalOr();
        if (m_tok.kind != Tok::Question) {
            return;
        }
        const size_t at = m_tok.offset;
        advance();
        const size_t toElse = m_out.jump(OpJumpIfFalse);
        m_out.pop(1);
        const int branchDepth = m_out.depth();
        expression();
        const size_t toEnd = m_out.jump(OpJump);
        m_out.land(toElse, at);
        m_out.setDepth(branchDepth);
        expect(Tok::Colon, "':'");
        Nest nest(*this);
        conditional();
        m_out.land(toEnd, at);
    }

    void logicalOr() {
        logicalAnd();
        while (m_tok.kind == Tok::Or) {
            shortCircuit(OpOrJump, &Parser::logicalAnd);
        }
    }

    void logicalAnd() {
        equality();
        while (m_tok.kind == Tok::And) {
            shortCircuit(OpAndJump, &Parser::equality);
        }
    }

    // The left operand is on the stack; the right one runs only when the left one does not
    // decide the result already.
    void shortCircuit(uint8_t opcode, void (Parser::*operand)()) {
        const size_t at = m_tok.offset;
        advance();
        const size_t skip = m_out.jump(opcode);
        m_out.pop(1);
        (this->*operand)();
        m_out.op(OpTest);
        m_out.land(skip, at);
    }

    void equality() { binaryLevel(kEquality, &Parser::relational); }
    void relational() { binaryLevel(kRelational, &Parser::additive); }
    void additive() { binaryLevel(kAdditive, &Parser::multiplicative); }
    void multiplicative() { binaryLevel(kMultiplicative, &Parser::unary); }

    // One level of left-associative binary operators over the next tighter level.
    template <size_t N>
    void binaryLevel(const BinaryOperator (&operators)[N], void (Parser::*operand)()) {
        (this->*operand)();
        for (;;) {
            const BinaryOperator* found = std::find_if(
                std::begin(operators), std::end(operators),
                [this](const BinaryOperator& candidate) { return candidate.token == m_tok.kind; });
            if (found == std::end(operators)) {
                return;
            }
            advance();
            (this->*operand)();
            binary(found->opcode);
        }
    }

    void binary(uint8_t opcode) {
        m_out.op(opcode);
        m_out.pop(1);
    }

    void unary() {
        if (m_tok.kind != Tok::Minus && m_tok.kind != Tok::Not) {
            primary();
            return;
        }
        Nest nest(*this);
        const bool minus = m_tok.kind == Tok::Minus;
        advance();
        // A minus directly before a number is part of the constant; nothing binds tighter
        // than a unary operator, so the value is the same, and -9223372036854775808 exists.
        if (minus && m_tok.kind == Tok::Integer && !m_tok.integerTooLarge) {
            m_out.integer(static_cast<int64_t>(0 - m_tok.integer), m_tok.offset);
            advance();
            return;
        }
        if (minus && m_tok.kind == Tok::Decimal) {
            m_out.decimal(-m_tok.decimal, m_tok.offset);
            advance();
            return;
        }
        unary();
        m_out.op(minus ? OpNeg : OpNot);
    }

    void primary() {
        switch (m_tok.kind) {
        case Tok::Integer:
            if (m_tok.integerTooLarge || m_tok.integer > static_cast<uint64_t>(INT64_MAX)) {
                throw SourceError(m_tok.offset, "integer constant out of range");
            }
            m_out.integer(static_cast<int64_t>(m_tok.integer), m_tok.offset);
            advance();
            return;
        case Tok::Decimal:
            m_out.decimal(m_tok.decimal, m_tok.offset);
            advance();
            return;
        case Tok::String:
            m_out.string(m_tok.text, m_tok.offset);
            advance();
            return;
        case Tok::LParen:
            advance();
            expression();
            expect(Tok::RParen, "')'");
            return;
        case Tok::Name:
            name();
            return;
        default:
            throw SourceError(m_tok.offset, "expected a value, found " + found());
        }
    }

    void name() {
        const Token token = m_tok;
        advance();
        if (m_tok.kind == Tok::LParen) {
            call(token);
            return;
        }
        if (token.text == "true" || token.text == "false") {
            m_out.integer(token.text == "true" ? 1 : 0, token.offset);
            return;
        }
        const int index = m_resolver ? m_resolver(token.text) : -1;
        if (index < 0) {
            std::string message = "unknown tag '" + token.text + "'";
            if (function(token.text) >= 0) {
                message += " (a function is called with parentheses: " + token.text + "(...))";
            }
            throw SourceError(token.offset, message);
        }
        m_out.push(token.offset);
        m_out.op(OpLoad);
        m_out.u32(static_cast<uint32_t>(index));
    }

    static int function(const std::string& name) {
        for (int i = 0; i < FnCount; ++i) {
            if (name == kFunctions[i].name) {
                return i;
            }
        }
        return -1;
    }

    void call(const Token& token) {
        const int id = function(token.text);
        if (id < 0) {
            throw SourceError(token.offset, "unknown function '" + token.text + "'");
        }
        Nest nest(*this);
        advance(); // '('
        int count = 0;
        if (m_tok.kind != Tok::RParen) {
            for (;;) {
                expression();
                ++count;
                if (m_tok.kind == Tok::RParen) {
                    break;
                }
                expect(Tok::Comma, "',' or ')'");
            }
        }
        advance(); // ')'
        const FunctionInfo& info = kFunctions[id];
        if (count < info.minArgs || count > info.maxArgs) {
            std::string expected;
            if (info.minArgs == info.maxArgs) {
                expected = argumentCount(info.minArgs);
            } else if (info.maxArgs == kMaxStack) {
                expected = std::to_string(info.minArgs) + " or more arguments";
            } else {
                expected = std::to_string(info.minArgs) + " or " + argumentCount(info.maxArgs);
            }
            throw SourceError(token.offset, "expected " + expected + " for '" + token.text +
                                                "', found " + std::to_string(count));
        }
        m_out.op(OpCall);
        m_out.u8(static_cast<uint8_t>(id));
        m_out.u8(static_cast<uint8_t>(count));
        m_out.pop(count - 1);
    }

    const std::string& m_source;
    const Resolver& m_resolver;
    Lexer m_lexer;
    Token m_tok;
    Emitter m_out;
    int m_nesting = 0;
};

CompileError errorAt(const std::string& source, size_t offset, std::string message) {
    CompileError error;
    error.offset = offset;
    error.line = 1;
    error.column = 1;
    for (size_t i = 0; i < offset && i < source.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(source[i]);
        if (c == '\n') {
            ++error.line;
            error.column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++error.column;
        }
    }
    error.message = std::move(message);
    return error;
}

} // namespace

std::string CompileError::text() const {
    return std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

CompileResult compile(const std::string& source, const Resolver& resolver) {
    CompileResult result;
    try {
        std::vector<unsigned char> bytes = Parser(source, resolver).parse();
        // The compiler's output must pass the same checks as any program read from a project.
        VerifyError fault;
        if (!verify(bytes.data(), bytes.size(), nullptr, &fault)) {
            result.error = errorAt(source, 0, "internal error: " + describe(fault));
            return result;
        }
        result.bytes = std::move(bytes);
    } catch (const SourceError& e) {
        result.error = errorAt(source, e.offset, e.what());
    }
    return result;
}

} // namespace kestro::script
