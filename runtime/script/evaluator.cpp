// The evaluator: a verified program runs on a value stack on the C++ stack, as deep as the
// verifier found the program to need.
#include "runtime/script/evaluator.h"

#include "runtime/script/numbers.h"
#include "runtime/script/program.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

namespace kestro::script {

namespace {

struct Value {
    enum Kind : uint8_t { Integer, Float, String } kind = Integer;
    int64_t integer = 0;
    double number = 0.0;
    std::string text; // only used, and only allocating, for strings

    void setInteger(int64_t v) {
        kind = Integer;
        integer = v;
    }
    void setFloat(double v) {
        kind = Float;
        number = v;
    }
    bool isNumber() const { return kind != String; }
    double asDouble() const { return kind == Integer ? static_cast<double>(integer) : number; }
};

const char* kindName(const Value& v) {
    switch (v.kind) {
    case Value::Integer:
        return "integer";
    case Value::Float:
        return "float";
    default:
        return "string";
    }
}

const char* operatorText(uint8_t op) {
    switch (op) {
    case OpAdd:
        return "+";
    case OpSub:
        return "-";
    case OpMul:
        return "*";
    case OpDiv:
        return "/";
    case OpMod:
        return "%";
    case OpNeg:
        return "unary -";
    case OpEq:
        return "==";
    case OpNe:
        return "!=";
    case OpLt:
        return "<";
    case OpLe:
        return "<=";
    case OpGt:
        return ">";
    case OpGe:
        return ">=";
    default:
        return "?";
    }
}

// Appends the text form of a number (or the string itself).
void appendText(std::string& out, const Value& v) {
    if (v.kind == Value::String) {
        out += v.text;
        return;
    }
    char buffer[kNumberTextSize];
    const size_t n = v.kind == Value::Integer ? formatInteger(v.integer, buffer)
                                              : formatNumber(v.number, buffer);
    out.append(buffer, n);
}

std::string numberText(double value) {
    char buffer[kNumberTextSize];
    return std::string(buffer, formatNumber(value, buffer));
}

// Strings are copied as they are pushed and joined. Without a bound, a program of a few hundred
// kilobytes that pushes one long constant again and again, joining it onto itself, builds
// gigabytes in quadratic time; the bytes of text one run may build are bounded instead.
constexpr size_t kTextBudget = size_t{16} << 20;

// One run. Failures build their message only when they happen.
class Machine {
public:
    Machine(const ProgramView& program, Script::IHost* host, std::string* reason)
        : m_program(program), m_host(host), m_reason(reason) {}

    //! Runs on a stack of at least the verified depth.
    bool run(Script::ValueType& result, Value* stack);

private:
    bool fail(std::string message) {
        if (m_reason) {
            *m_reason = std::move(message);
        }
        return false;
    }
    //! Counts bytes of text about to be built; false once the run's budget is spent.
    bool chargeText(size_t bytes) {
        m_textBytes += bytes;
        if (m_textBytes > kTextBudget) {
            return fail("text too long: one run builds at most " + std::to_string(kTextBudget) +
                        " bytes of text");
        }
        return true;
    }
    bool typeError(const std::string& what, const Value& got) {
        return fail("type error: " + what + " needs a number, got " + kindName(got));
    }
    bool truth(const Value& v, bool* out) {
        if (!v.isNumber()) {
            return fail(std::string("type error: a condition needs a number, got string"));
        }
        *out = v.kind == Value::Integer ? v.integer != 0 : v.number != 0.0;
        return true;
    }
    bool finite(double value, Value& into, const char* what) {
        if (!std::isfinite(value)) {
            return fail(std::string("float overflow in '") + what + "'");
        }
        into.setFloat(value);
        return true;
    }

    bool load(uint32_t index, Value& into);
    bool arithmetic(uint8_t op, Value& a, Value& b);
    bool compare(uint8_t op, Value& a, const Value& b);
    bool call(uint8_t function, Value* args, int count);
    bool mathFunction(uint8_t function, Value* args);
    bool integerOf(const Value& v, const char* what, Value& into);

    const ProgramView& m_program;
    Script::IHost* m_host;
    std::string* m_reason;
    size_t m_textBytes = 0;
};

bool Machine::load(uint32_t index, Value& into) {
    if (!m_host) {
        return fail("no variable host to read variable " + std::to_string(index));
    }
    Script::ValueType value;
    if (!m_host->getVariable(static_cast<int>(index), value) ||
        value.kind() == Script::ValueType::Empty) {
        return fail("variable " + std::to_string(index) + " is unknown or has no value");
    }
    switch (value.kind()) {
    case Script::ValueType::Integer:
        into.setInteger(value.integer());
        return true;
    case Script::ValueType::Float: {
        const double number = value.getFloat();
        if (!std::isfinite(number)) {
            return fail("variable " + std::to_string(index) + " holds no finite number");
        }
        into.setFloat(number);
        return true;
    }
    default:
        into.kind = Value::String;
        into.text = value.getString();
        return chargeText(into.text.size());
    }
}

bool Machine::arithmetic(uint8_t op, Value& a, Value& b) {
    if (op == OpAdd && (!a.isNumber() || !b.isNumber())) {
        // Concatenation; a number on either side joins in its text form. Appending is what
        // costs: a number's text is short, a string's is charged.
        if (!chargeText(b.kind == Value::String ? b.text.size() : 0)) {
            return false;
        }
        if (a.kind == Value::String) {
            appendText(a.text, b);
        } else {
            std::string joined;
            appendText(joined, a);
            joined += b.text;
            a.kind = Value::String;
            a.text = std::move(joined);
        }
        return true;
    }
    if (!a.isNumber() || !b.isNumber()) {
        return fail(std::string("type error: '") + operatorText(op) + "' needs numbers, got " +
                    kindName(a) + " and " + kindName(b));
    }
    if (a.kind == Value::Integer && b.kind == Value::Integer && op != OpDiv) {
        int64_t r = 0;
        bool overflow = false;
        switch (op) {
        case OpAdd:
            overflow = __builtin_add_overflow(a.integer, b.integer, &r);
            break;
        case OpSub:
            overflow = __builtin_sub_overflow(a.integer, b.integer, &r);
            break;
        case OpMul:
            overflow = __builtin_mul_overflow(a.integer, b.integer, &r);
            break;
        default: // OpMod
            if (b.integer == 0) {
                return fail("division by zero in '%'");
            }
            // INT64_MIN % -1 traps on x86 although its remainder is plainly 0.
            r = b.integer == -1 ? 0 : a.integer % b.integer;
            break;
        }
        if (overflow) {
            return fail(std::string("integer overflow in '") + operatorText(op) + "'");
        }
        a.setInteger(r);
        return true;
    }
    const double x = a.asDouble();
    const double y = b.asDouble();
    switch (op) {
    case OpAdd:
        return finite(x + y, a, "+");
    case OpSub:
        return finite(x - y, a, "-");
    case OpMul:
        return finite(x * y, a, "*");
    case OpDiv:
        if (y == 0.0) {
            return fail("division by zero in '/'");
        }
        return finite(x / y, a, "/");
    default:
        if (y == 0.0) {
            return fail("division by zero in '%'");
        }
        return finite(std::fmod(x, y), a, "%");
    }
}

bool Machine::compare(uint8_t op, Value& a, const Value& b) {
    int order = 0;
    if (a.kind == Value::String && b.kind == Value::String) {
        const int c = a.text.compare(b.text);
        order = c < 0 ? -1 : (c > 0 ? 1 : 0);
    } else if (a.isNumber() && b.isNumber()) {
        if (a.kind == Value::Integer && b.kind == Value::Integer) {
            order = a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
        } else {
            const double x = a.asDouble();
            const double y = b.asDouble();
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
    } else {
        return fail(std::string("type error: '") + operatorText(op) + "' cannot compare " +
                    kindName(a) + " with " + kindName(b));
    }
    bool r = false;
    switch (op) {
    case OpEq:
        r = order == 0;
        break;
    case OpNe:
        r = order != 0;
        break;
    case OpLt:
        r = order < 0;
        break;
    case OpLe:
        r = order <= 0;
        break;
    case OpGt:
        r = order > 0;
        break;
    default:
        r = order >= 0;
        break;
    }
    a.text.clear();
    a.setInteger(r ? 1 : 0);
    return true;
}

// int(): truncation toward zero; a string by its leading number.
bool Machine::integerOf(const Value& v, const char* what, Value& into) {
    double value = 0.0;
    switch (v.kind) {
    case Value::Integer:
        into.setInteger(v.integer);
        return true;
    case Value::Float:
        value = v.number;
        break;
    case Value::String: {
        const LeadingNumber leading = leadingNumber(v.text.data(), v.text.size());
        if (leading.isInteger) {
            into.kind = Value::Integer;
            into.integer = leading.integer;
            return true;
        }
        value = leading.value;
        break;
    }
    }
    const double truncated = std::trunc(value);
    // 2^63 is exact as a double; everything in [-2^63, 2^63) fits.
    if (!(truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0)) {
        return fail(std::string("integer overflow in '") + what + "'");
    }
    into.setInteger(static_cast<int64_t>(truncated));
    return true;
}

bool Machine::call(uint8_t function, Value* args, int count) {
    const char* name = kFunctions[function].name;
    Value& out = args[0];
    switch (function) {
    case FnStr: {
        if (count == 1) {
            if (out.kind != Value::String) {
                std::string text;
                appendText(text, out);
                out.kind = Value::String;
                out.text = std::move(text);
            }
            return true;
        }
        if (!out.isNumber()) {
            return typeError("str", out);
        }
        if (args[1].kind != Value::Integer) {
            return fail(std::string("type error: str needs an integer count of decimals, got ") +
                        kindName(args[1]));
        }
        if (args[1].integer < 0 || args[1].integer > 17) {
            return fail("str: decimals must be 0 to 17, got " + std::to_string(args[1].integer));
        }
        char buffer[kNumberTextSize];
        const size_t n = formatFixed(out.asDouble(), static_cast<int>(args[1].integer), buffer);
        out.kind = Value::String;
        out.text.assign(buffer, n);
        return true;
    }
    case FnLen: {
        if (out.kind != Value::String) {
            return fail(std::string("type error: len needs a string, got ") + kindName(out));
        }
        int64_t characters = 0;
        for (const char c : out.text) {
            // UTF-8 continuation bytes do not start a character.
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
        out.text.clear();
        out.setInteger(characters);
        return true;
    }
    case FnInt:
        if (!integerOf(out, name, out)) {
            return false;
        }
        out.text.clear();
        return true;
    case FnFloat:
        if (out.kind == Value::String) {
            const double value = leadingNumber(out.text.data(), out.text.size()).value;
            out.text.clear();
            out.setFloat(value);
        } else {
            out.setFloat(out.asDouble());
        }
        return true;
    default:
        break;
    }
    for (int i = 0; i < count; ++i) {
        if (!args[i].isNumber()) {
            return typeError(name, args[i]);
        }
    }
    bool allIntegers = true;
    for (int i = 0; i < count; ++i) {
        allIntegers = allIntegers && args[i].kind == Value::Integer;
    }
    switch (function) {
    case FnAbs:
        if (out.kind == Value::Integer) {
            if (out.integer == INT64_MIN) {
                return fail("integer overflow in 'abs'");
            }
            out.setInteger(out.integer < 0 ? -out.integer : out.integer);
        } else {
            out.setFloat(std::fabs(out.number));
        }
        return true;
    case FnMin:
    case FnMax:
    case FnClamp: {
        // clamp(x, lo, hi) is min(max(x, lo), hi): when lo > hi the result is hi.
        if (allIntegers) {
            int64_t r = args[0].integer;
            if (function == FnClamp) {
                r = std::min(std::max(r, args[1].integer), args[2].integer);
            } else {
                for (int i = 1; i < count; ++i) {
                    r = function == FnMin ? std::min(r, args[i].integer)
                                          : std::max(r, args[i].integer);
                }
            }
            out.setInteger(r);
        } else {
            double r = args[0].asDouble();
            if (function == FnClamp) {
                r = std::fmin(std::fmax(r, args[1].asDouble()), args[2].asDouble());
            } else {
                for (int i = 1; i < count; ++i) {
                    r = function == FnMin ? std::fmin(r, args[i].asDouble())
                                          : std::fmax(r, args[i].asDouble());
                }
            }
            out.setFloat(r);
        }
        return true;
    }
    case FnFloor:
    case FnCeil:
    case FnRound:
        if (out.kind == Value::Float) {
            out.number = function == FnFloor  ? std::floor(out.number)
                         : function == FnCeil ? std::ceil(out.number)
                                              : std::round(out.number);
        }
        return true;
    case FnDiv:
        if (!allIntegers) {
            return fail(std::string("type error: div needs integers, got ") + kindName(args[0]) +
                        " and " + kindName(args[1]));
        }
        if (args[1].integer == 0) {
            return fail("division by zero in 'div'");
        }
        if (args[0].integer == INT64_MIN && args[1].integer == -1) {
            return fail("integer overflow in 'div'");
        }
        out.setInteger(args[0].integer / args[1].integer);
        return true;
    default:
        return mathFunction(function, args);
    }
}

bool Machine::mathFunction(uint8_t function, Value* args) {
    const double x = args[0].asDouble();
    double r = 0.0;
    switch (function) {
    case FnSqrt:
        r = std::sqrt(x);
        break;
    case FnPow:
        r = std::pow(x, args[1].asDouble());
        break;
    case FnExp:
        r = std::exp(x);
        break;
    case FnLog:
        r = std::log(x);
        break;
    case FnLog10:
        r = std::log10(x);
        break;
    case FnSin:
        r = std::sin(x);
        break;
    case FnCos:
        r = std::cos(x);
        break;
    case FnTan:
        r = std::tan(x);
        break;
    case FnAsin:
        r = std::asin(x);
        break;
    case FnAcos:
        r = std::acos(x);
        break;
    case FnAtan:
        r = std::atan(x);
        break;
    default: // FnAtan2
        r = std::atan2(x, args[1].asDouble());
        break;
    }
    if (!std::isfinite(r)) {
        std::string call = std::string(kFunctions[function].name) + "(" + numberText(x);
        if (function == FnPow || function == FnAtan2) {
            call += ", " + numberText(args[1].asDouble());
        }
        return fail(call + ") has no finite result");
    }
    args[0].setFloat(r);
    return true;
}

bool Machine::run(Script::ValueType& result, Value* stack) {
    int sp = 0;
    const unsigned char* code = m_program.code;
    const uint32_t length = m_program.codeLength;
    uint32_t pc = 0;
    // The program is verified: operands are in range and the stack stays within bounds, so
    // the loop checks only what depends on the values.
    while (pc < length) {
        const uint8_t op = code[pc];
        const unsigned char* arg = code + pc + 1;
        pc += 1 + static_cast<uint32_t>(operandSize(op));
        switch (op) {
        case OpConst: {
            const Constant c = constantAt(m_program, readU16(arg));
            Value& v = stack[sp++];
            if (c.tag == ConstInteger) {
                v.setInteger(c.integer);
            } else if (c.tag == ConstFloat) {
                v.setFloat(c.number);
            } else {
                if (!chargeText(c.length)) {
                    return false;
                }
                v.kind = Value::String;
                v.text.assign(c.text, c.length);
            }
            break;
        }
        case OpSmallInt:
            stack[sp++].setInteger(static_cast<int8_t>(arg[0]));
            break;
        case OpLoad:
            if (!load(readU32(arg), stack[sp++])) {
                return false;
            }
            break;
        case OpAdd:
        case OpSub:
        case OpMul:
        case OpDiv:
        case OpMod:
            --sp;
            if (!arithmetic(op, stack[sp - 1], stack[sp])) {
                return false;
            }
            break;
        case OpNeg: {
            Value& v = stack[sp - 1];
            if (v.kind == Value::Integer) {
                if (v.integer == INT64_MIN) {
                    return fail("integer overflow in 'unary -'");
                }
                v.integer = -v.integer;
            } else if (v.kind == Value::Float) {
                v.number = -v.number;
            } else {
                return typeError("'unary -'", v);
            }
            break;
        }
        case OpEq:
        case OpNe:
        case OpLt:
        case OpLe:
        case OpGt:
        case OpGe:
            --sp;
            if (!compare(op, stack[sp - 1], stack[sp])) {
                return false;
            }
            break;
        case OpNot:
        case OpTest: {
            bool t = false;
            if (!truth(stack[sp - 1], &t)) {
                return false;
            }
            stack[sp - 1].setInteger((op == OpNot) != t ? 1 : 0);
            break;
        }
        case OpJump:
            pc += readU16(arg);
            break;
        case OpJumpIfFalse: {
            bool t = false;
            if (!truth(stack[--sp], &t)) {
                return false;
            }
            if (!t) {
                pc += readU16(arg);
            }
            break;
        }
        case OpAndJump:
        case OpOrJump: {
            bool t = false;
            if (!truth(stack[sp - 1], &t)) {
                return false;
            }
            if (t == (op == OpOrJump)) {
                stack[sp - 1].setInteger(t ? 1 : 0);
                pc += readU16(arg);
            } else {
                --sp;
            }
            break;
        }
        case OpCall: {
            const int count = arg[1];
            sp -= count;
            if (!call(arg[0], stack + sp, count)) {
                return false;
            }
            ++sp;
            break;
        }
        default:
            return fail("damaged program: unknown opcode"); // unreachable after verify
        }
    }
    const Value& top = stack[sp - 1];
    switch (top.kind) {
    case Value::Integer:
        result.setInteger(top.integer);
        break;
    case Value::Float:
        result.setFloat(top.number);
        break;
    default:
        result.setString(top.text);
        break;
    }
    return true;
}

// Room for a program's values; only as many as it reaches are constructed (each holds a
// string, whose set-up and tear-down would otherwise cost more than most programs).
constexpr int kShallowStack = 8;

template <int N>
class ValueStack {
public:
    explicit ValueStack(int depth) : m_depth(depth) {
        for (int i = 0; i < m_depth; ++i) {
            new (m_storage + i * sizeof(Value)) Value;
        }
    }
    ~ValueStack() {
        for (int i = 0; i < m_depth; ++i) {
            values()[i].~Value();
        }
    }
    ValueStack(const ValueStack&) = delete;
    ValueStack& operator=(const ValueStack&) = delete;

    Value* values() { return std::launder(reinterpret_cast<Value*>(m_storage)); }

private:
    alignas(Value) unsigned char m_storage[N * sizeof(Value)];
    int m_depth;
};

} // namespace

bool run(const unsigned char* program, size_t length, Script::ValueType& result,
         Script::IHost* host, std::string* reason) {
    ProgramView view;
    VerifyError error;
    if (!verify(program, length, &view, &error)) {
        result.clear();
        if (reason) {
            *reason = describe(error);
        }
        return false;
    }
    try {
        Machine machine(view, host, reason);
        // Every value carries a string, so a stack is only as deep as the verifier found the
        // program to need: most programs reach a few values, never all of kMaxStack.
        if (view.maxStack <= kShallowStack) {
            ValueStack<kShallowStack> stack(view.maxStack);
            if (machine.run(result, stack.values())) {
                return true;
            }
        } else {
            ValueStack<kMaxStack> stack(view.maxStack);
            if (machine.run(result, stack.values())) {
                return true;
            }
        }
    } catch (const std::exception& e) {
        // Out of memory while building a string, or a host that throws from getVariable.
        if (reason) {
            *reason = std::string("run failed: ") + e.what();
        }
    }
    result.clear();
    return false;
}

} // namespace kestro::script
