// Differential test: random expression trees are printed as source, compiled and run, and
// compared with the same trees evaluated directly here from the language's rules.
#include "tests/support/hostfixture.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>

namespace {

struct Val {
    bool isInt = true;
    int64_t i = 0;
    double f = 0.0;
    double asDouble() const { return isInt ? static_cast<double>(i) : f; }
    static Val integer(int64_t v) { return {true, v, 0.0}; }
    static Val number(double v) { return {false, 0, v}; }
};
using Result = std::optional<Val>; // empty: the run must fail

enum class Type { IntLit, FloatLit, Var, Neg, Not, Binary, And, Or, Cond, Call };
enum class Bin { Add, Sub, Mul, Div, Mod, Eq, Ne, Lt, Le, Gt, Ge };
enum class Fn { Abs, Min, Max, Clamp, Floor, Ceil, Round, Int, Float, Div, Sqrt, Exp };

const char* const kBinText[] = {"+", "-", "*", "/", "%", "==", "!=", "<", "<=", ">", ">="};
const char* const kFnName[] = {"abs",   "min", "max",   "clamp", "floor", "ceil",
                               "round", "int", "float", "div",   "sqrt",  "exp"};

struct Node {
    Type type = Type::IntLit;
    Bin op = Bin::Add;
    Fn fn = Fn::Abs;
    Val literal;
    int var = 0;
    std::vector<std::unique_ptr<Node>> kids;
};

// Binding levels, loosest first, as the language documents them.
int level(const Node& n) {
    switch (n.type) {
    case Type::Cond:
        return 1;
    case Type::Or:
        return 2;
    case Type::And:
        return 3;
    case Type::Binary:
        switch (n.op) {
        case Bin::Eq:
        case Bin::Ne:
            return 4;
        case Bin::Lt:
        case Bin::Le:
        case Bin::Gt:
        case Bin::Ge:
            return 5;
        case Bin::Add:
        case Bin::Sub:
            return 6;
        default:
            return 7;
        }
    case Type::Neg:
    case Type::Not:
        return 8;
    case Type::IntLit:
        return n.literal.i < 0 ? 8 : 9;
    case Type::FloatLit:
        return std::signbit(n.literal.f) ? 8 : 9;
    default:
        return 9;
    }
}

const char* const kVarNames[] = {"a", "b", "c", "d"};

class Generator {
public:
    explicit Generator(uint32_t seed) : m_random(seed) {}

    std::unique_ptr<Node> tree(int depth) {
        auto node = std::make_unique<Node>();
        if (depth == 0 || chance(25)) {
            leaf(*node);
            return node;
        }
        const int pick = static_cast<int>(m_random() % 100);
        if (pick < 8) {
            node->type = Type::Neg;
            node->kids.push_back(tree(depth - 1));
        } else if (pick < 13) {
            node->type = Type::Not;
            node->kids.push_back(tree(depth - 1));
        } else if (pick < 60) {
            node->type = Type::Binary;
            node->op = static_cast<Bin>(m_random() % 11);
            node->kids.push_back(tree(depth - 1));
            node->kids.push_back(tree(depth - 1));
        } else if (pick < 68) {
            node->type = chance(50) ? Type::And : Type::Or;
            node->kids.push_back(tree(depth - 1));
            node->kids.push_back(tree(depth - 1));
        } else if (pick < 78) {
            node->type = Type::Cond;
            for (int i = 0; i < 3; ++i) {
                node->kids.push_back(tree(depth - 1));
            }
        } else {
            node->type = Type::Call;
            node->fn = static_cast<Fn>(m_random() % 12);
            int count = 1;
            if (node->fn == Fn::Min || node->fn == Fn::Max) {
                count = 2 + static_cast<int>(m_random() % 3);
            } else if (node->fn == Fn::Clamp) {
                count = 3;
            } else if (node->fn == Fn::Div) {
                count = 2;
            }
            for (int i = 0; i < count; ++i) {
                node->kids.push_back(tree(depth - 1));
            }
        }
        return node;
    }

    //! Random variable values: a and b integers, c and d floats.
    void variables(scripttest::MapHost& host, Val* values) {
        for (int v = 0; v < 2; ++v) {
            values[v] = Val::integer(smallInteger());
            host.setInteger(v, values[v].i);
        }
        for (int v = 2; v < 4; ++v) {
            values[v] = Val::number(someFloat());
            host.setFloat(v, values[v].f);
        }
    }

    bool chance(int percent) { return static_cast<int>(m_random() % 100) < percent; }

private:
    int64_t smallInteger() {
        if (chance(15)) {
            return 0;
        }
        return static_cast<int64_t>(m_random() % 41) - 20;
    }
    double someFloat() {
        if (chance(10)) {
            return 0.0;
        }
        if (chance(50)) {
            return static_cast<double>(static_cast<int>(m_random() % 401) - 200) / 8.0;
        }
        return std::uniform_real_distribution<double>(-1000.0, 1000.0)(m_random);
    }

    void leaf(Node& node) {
        const int pick = static_cast<int>(m_random() % 100);
        if (pick < 35) {
            node.type = Type::IntLit;
            if (chance(8)) {
                // Near the ends of the range, to reach the overflow checks.
                const int64_t big = INT64_MAX - static_cast<int64_t>(m_random() % 3);
                node.literal = Val::integer(chance(50) ? big : -big - 1);
            } else if (chance(8)) {
                node.literal = Val::integer(int64_t{1} << (40 + m_random() % 22));
            } else {
                node.literal = Val::integer(smallInteger() * (chance(20) ? 100 : 1));
            }
        } else if (pick < 55) {
            node.type = Type::FloatLit;
            node.literal = Val::number(chance(5) ? 1e300 : someFloat());
        } else {
            node.type = Type::Var;
            node.var = static_cast<int>(m_random() % 4);
        }
    }

    std::mt19937 m_random;
};

std::string literalText(const Val& v) {
    char text[64];
    if (v.isInt) {
        std::snprintf(text, sizeof text, "%" PRId64, v.i);
        return text;
    }
    std::snprintf(text, sizeof text, "%.17g", v.f);
    std::string out = text;
    if (out.find_first_of(".e") == std::string::npos) {
        out += ".0"; // keep it a float constant
    }
    return out;
}

class Printer {
public:
    explicit Printer(uint32_t seed) : m_random(seed) {}

    std::string print(const Node& n) {
        std::string text = bare(n);
        // Now and then redundant parentheses, which must change nothing.
        return m_random() % 10 == 0 ? "(" + text + ")" : text;
    }

private:
    std::string wrap(const Node& n, bool needed) {
        return needed ? "(" + print(n) + ")" : print(n);
    }

    std::string bare(const Node& n) {
        const int own = level(n);
        switch (n.type) {
        case Type::IntLit:
        case Type::FloatLit:
            return literalText(n.literal);
        case Type::Var:
            return kVarNames[n.var];
        case Type::Neg:
            return "-" + wrap(*n.kids[0], level(*n.kids[0]) < own);
        case Type::Not:
            return "!" + wrap(*n.kids[0], level(*n.kids[0]) < own);
        case Type::Binary:
        case Type::And:
        case Type::Or: {
            const char* op = n.type == Type::And  ? "&&"
                             : n.type == Type::Or ? "||"
                                                  : kBinText[static_cast<int>(n.op)];
            // Left-associative: the right operand needs parentheses already at equal level.
            return wrap(*n.kids[0], level(*n.kids[0]) < own) + " " + op + " " +
                   wrap(*n.kids[1], level(*n.kids[1]) <= own);
        }
        case Type::Cond:
            return wrap(*n.kids[0], level(*n.kids[0]) <= own) + " ? " + print(*n.kids[1]) + " : " +
                   print(*n.kids[2]);
        case Type::Call: {
            std::string text = std::string(kFnName[static_cast<int>(n.fn)]) + "(";
            for (size_t i = 0; i < n.kids.size(); ++i) {
                text += (i ? ", " : "") + print(*n.kids[i]);
            }
            return text + ")";
        }
        }
        return {};
    }

    std::mt19937 m_random;
};

bool truth(const Val& v) {
    return v.isInt ? v.i != 0 : v.f != 0.0;
}

Result finite(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return Val::number(value);
}

// The language's rules, written out again for numbers only.
class Reference {
public:
    explicit Reference(const Val* variables) : m_vars(variables) {}

    Result eval(const Node& n) {
        switch (n.type) {
        case Type::IntLit:
        case Type::FloatLit:
            return n.literal;
        case Type::Var:
            return m_vars[n.var];
        case Type::Neg: {
            const Result v = eval(*n.kids[0]);
            if (!v) {
                return v;
            }
            if (v->isInt) {
                if (v->i == INT64_MIN) {
                    return std::nullopt;
                }
                return Val::integer(-v->i);
            }
            return Val::number(-v->f);
        }
        case Type::Not: {
            const Result v = eval(*n.kids[0]);
            return v ? Result(Val::integer(truth(*v) ? 0 : 1)) : v;
        }
        case Type::And:
        case Type::Or: {
            const Result left = eval(*n.kids[0]);
            if (!left) {
                return left;
            }
            if (truth(*left) == (n.type == Type::Or)) {
                return Val::integer(truth(*left) ? 1 : 0);
            }
            const Result right = eval(*n.kids[1]);
            return right ? Result(Val::integer(truth(*right) ? 1 : 0)) : right;
        }
        case Type::Cond: {
            const Result c = eval(*n.kids[0]);
            if (!c) {
                return c;
            }
            return eval(*n.kids[truth(*c) ? 1 : 2]);
        }
        case Type::Binary:
            return binary(n);
        case Type::Call:
            return call(n);
        }
        return std::nullopt;
    }

private:
    Result binary(const Node& n) {
        const Result l = eval(*n.kids[0]);
        const Result r = eval(*n.kids[1]);
        if (!l || !r) {
            return std::nullopt;
        }
        const bool ints = l->isInt && r->isInt;
        const double x = l->asDouble();
        const double y = r->asDouble();
        int64_t out = 0;
        switch (n.op) {
        case Bin::Add:
            if (ints) {
                return __builtin_add_overflow(l->i, r->i, &out) ? Result() : Val::integer(out);
            }
            return finite(x + y);
        case Bin::Sub:
            if (ints) {
                return __builtin_sub_overflow(l->i, r->i, &out) ? Result() : Val::integer(out);
            }
            return finite(x - y);
        case Bin::Mul:
            if (ints) {
                return __builtin_mul_overflow(l->i, r->i, &out) ? Result() : Val::integer(out);
            }
            return finite(x * y);
        case Bin::Div:
            return y == 0.0 ? Result() : finite(x / y);
        case Bin::Mod:
            if (ints) {
                if (r->i == 0) {
                    return std::nullopt;
                }
                return Val::integer(r->i == -1 ? 0 : l->i % r->i);
            }
            return y == 0.0 ? Result() : finite(std::fmod(x, y));
        default:
            break;
        }
        int order;
        if (ints) {
            order = l->i < r->i ? -1 : (l->i > r->i ? 1 : 0);
        } else {
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
        bool result = false;
        switch (n.op) {
        case Bin::Eq:
            result = order == 0;
            break;
        case Bin::Ne:
            result = order != 0;
            break;
        case Bin::Lt:
            result = order < 0;
            break;
        case Bin::Le:
            result = order <= 0;
            break;
        case Bin::Gt:
            result = order > 0;
            break;
        default:
            result = order >= 0;
            break;
        }
        return Val::integer(result ? 1 : 0);
    }

    Result call(const Node& n) {
        std::vector<Val> args;
        bool ints = true;
        for (const auto& kid : n.kids) {
            const Result v = eval(*kid);
            if (!v) {
                return v;
            }
            args.push_back(*v);
            ints = ints && v->isInt;
        }
        const Val& x = args[0];
        switch (n.fn) {
        case Fn::Abs:
            if (x.isInt) {
                return x.i == INT64_MIN ? Result() : Val::integer(x.i < 0 ? -x.i : x.i);
            }
            return Val::number(std::fabs(x.f));
        case Fn::Min:
        case Fn::Max:
        case Fn::Clamp: {
            auto lower = [&](const Val& a, const Val& b) {
                return ints ? Val::integer(a.i < b.i ? a.i : b.i)
                            : Val::number(std::fmin(a.asDouble(), b.asDouble()));
            };
            auto upper = [&](const Val& a, const Val& b) {
                return ints ? Val::integer(a.i > b.i ? a.i : b.i)
                            : Val::number(std::fmax(a.asDouble(), b.asDouble()));
            };
            if (n.fn == Fn::Clamp) {
                return lower(upper(args[0], args[1]), args[2]);
            }
            Val r = ints ? x : Val::number(x.asDouble());
            for (size_t i = 1; i < args.size(); ++i) {
                r = n.fn == Fn::Min ? lower(r, args[i]) : upper(r, args[i]);
            }
            return r;
        }
        case Fn::Floor:
            return x.isInt ? x : Val::number(std::floor(x.f));
        case Fn::Ceil:
            return x.isInt ? x : Val::number(std::ceil(x.f));
        case Fn::Round:
            return x.isInt ? x : Val::number(std::round(x.f));
        case Fn::Int: {
            if (x.isInt) {
                return x;
            }
            const double t = std::trunc(x.f);
            if (t < -9223372036854775808.0 || t >= 9223372036854775808.0) {
                return std::nullopt;
            }
            return Val::integer(static_cast<int64_t>(t));
        }
        case Fn::Float:
            return Val::number(x.asDouble());
        case Fn::Div:
            if (!ints || args[1].i == 0 || (x.i == INT64_MIN && args[1].i == -1)) {
                return std::nullopt;
            }
            return Val::integer(x.i / args[1].i);
        case Fn::Sqrt:
            return finite(std::sqrt(x.asDouble()));
        case Fn::Exp:
            return finite(std::exp(x.asDouble()));
        }
        return std::nullopt;
    }

    const Val* m_vars;
};

std::string describe(const Result& r) {
    if (!r) {
        return "failure";
    }
    char text[80];
    if (r->isInt) {
        std::snprintf(text, sizeof text, "integer %" PRId64, r->i);
    } else {
        std::snprintf(text, sizeof text, "float %.17g", r->f);
    }
    return text;
}

class ScriptDifferential : public HostTest {};

TEST_F(ScriptDifferential, EngineAgreesWithDirectEvaluation) {
    const kestro::script::Resolver names =
        scripttest::tags({{"a", 0}, {"b", 1}, {"c", 2}, {"d", 3}});
    Generator generator(4242);
    Printer printer(99);
    int succeeded = 0;
    int failed = 0;
    for (int round = 0; round < 6000; ++round) {
        const std::unique_ptr<Node> tree = generator.tree(1 + round % 6);
        scripttest::MapHost host;
        Val variables[4];
        generator.variables(host, variables);
        const std::string source = printer.print(*tree);
        const Result expected = Reference(variables).eval(*tree);

        const kestro::script::CompileResult compiled = kestro::script::compile(source, names);
        ASSERT_TRUE(compiled.ok()) << source << ": " << compiled.error.text();
        const scripttest::Outcome outcome = scripttest::runBytes(compiled.bytes, &host);

        const std::string context = source + "   with a=" + std::to_string(variables[0].i) +
                                    " b=" + std::to_string(variables[1].i) +
                                    " c=" + literalText(variables[2]) +
                                    " d=" + literalText(variables[3]);
        ASSERT_EQ(outcome.ok, expected.has_value())
            << context << "\nexpected " << describe(expected) << ", engine: " << outcome.error;
        if (!expected) {
            ++failed;
            continue;
        }
        ++succeeded;
        if (expected->isInt) {
            ASSERT_EQ(outcome.value.kind(), Script::ValueType::Integer) << context;
            ASSERT_EQ(outcome.value.integer(), expected->i) << context;
        } else {
            ASSERT_EQ(outcome.value.kind(), Script::ValueType::Float) << context;
            ASSERT_EQ(outcome.value.getFloat(), expected->f) << context;
        }
    }
    // The mix must exercise both roads substantially.
    EXPECT_GT(succeeded, 2000);
    EXPECT_GT(failed, 200);
}

} // namespace
