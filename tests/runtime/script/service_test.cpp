// The result holder's conversions, the service's installable evaluator and the expression host
// over the real-time database.
#include "runtime/host/rtdb.h"
#include "runtime/host/rtdbhost.h"
#include "tests/support/hostfixture.h"
#include "tests/support/scriptedresults.h"

#include "scripttest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

namespace {

using Kind = Script::ValueType::Kind;

TEST(ScriptValue, EmptyHolder) {
    const Script::ValueType value;
    EXPECT_EQ(value.kind(), Kind::Empty);
    EXPECT_EQ(value.getFloat(), 0.0);
    EXPECT_EQ(value.getString(), "");
}

TEST(ScriptValue, IntegersAsText) {
    const struct {
        int64_t value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {42, "42"},
        {-7, "-7"},
        {1000000, "1000000"},
        {INT64_MAX, "9223372036854775807"},
        {INT64_MIN, "-9223372036854775808"},
    };
    for (const auto& c : cases) {
        Script::ValueType value;
        value.setInteger(c.value);
        EXPECT_EQ(value.kind(), Kind::Integer);
        EXPECT_EQ(value.getString(), c.text);
        EXPECT_EQ(value.getFloat(), static_cast<double>(c.value));
    }
}

TEST(ScriptValue, FloatsAsShortestText) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {2.5, "2.5"},
        {3.0, "3"},
        {-3.0, "-3"},
        {0.0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1.0 / 3.0, "0.3333333333333333"},
        {2.0 / 3.0, "0.6666666666666666"},
        {123.456, "123.456"},
        {-123.456, "-123.456"},
        {123456789.125, "123456789.125"},
        {1e16, "10000000000000000"},
        {1e20, "100000000000000000000"},
        {1e21, "1e+21"},
        {1.5e21, "1.5e+21"},
        {1e300, "1e+300"},
        {1e-6, "0.000001"},
        {1.25e-6, "0.00000125"},
        {1e-7, "1e-7"},
        {-1.5e-7, "-1.5e-7"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& c : cases) {
        Script::ValueType value;
        value.setFloat(c.value);
        EXPECT_EQ(value.kind(), Kind::Float);
        EXPECT_EQ(value.getString(), c.text) << c.text;
        EXPECT_EQ(value.getFloat(), c.value);
    }
}

TEST(ScriptValue, NonFiniteFloatsAsText) {
    // A program never yields these, but a holder filled by a host may hold them.
    Script::ValueType value;
    value.setFloat(HUGE_VAL);
    EXPECT_EQ(value.getString(), "inf");
    value.setFloat(-HUGE_VAL);
    EXPECT_EQ(value.getString(), "-inf");
    value.setFloat(std::nan(""));
    EXPECT_EQ(value.getString(), "nan");
}

TEST(ScriptValue, StringsByTheirLeadingNumber) {
    const struct {
        const char* text;
        double number;
    } cases[] = {
        {"12.5 bar", 12.5}, {"  -3e2x", -300.0},
        {".5", 0.5},        {"5.", 5.0},
        {"+7", 7.0},        {"\t\n 42", 42.0},
        {"1e", 1.0},        {"2e+", 2.0},
        {"0x1A", 0.0},      {"abc", 0.0},
        {"", 0.0},          {"- 5", 0.0},
        {"e5", 0.0},        {".", 0.0},
        {"1e999", 0.0},     {"-.25", -0.25},
        {"007", 7.0},       {"1,5", 1.0},
        {"1.5.2", 1.5},     {"9007199254740993", 9007199254740992.0},
    };
    for (const auto& c : cases) {
        Script::ValueType value;
        value.setString(c.text);
        EXPECT_EQ(value.kind(), Kind::String);
        EXPECT_EQ(value.getString(), c.text);
        EXPECT_EQ(value.getFloat(), c.number) << '"' << c.text << '"';
    }
}

TEST(ScriptValue, StringsWithEmbeddedZeroKeepTheirBytes) {
    Script::ValueType value;
    value.setString("a\0b", 3);
    EXPECT_EQ(value.getString(), std::string("a\0b", 3));
}

TEST(ScriptValue, CopiesAndClears) {
    Script::ValueType text;
    text.setString("a text long enough to live on the heap, not inside the holder");
    Script::ValueType copy(text);
    EXPECT_EQ(copy.getString(), text.getString());
    Script::ValueType number;
    number.setFloat(1.5);
    copy = number;
    EXPECT_EQ(copy.kind(), Kind::Float);
    EXPECT_EQ(copy.getString(), "1.5");
    // Setting another kind forgets the old value.
    text.setInteger(3);
    EXPECT_EQ(text.getString(), "3");
    text.clear();
    EXPECT_EQ(text.kind(), Kind::Empty);
    EXPECT_EQ(text.getString(), "");
}

// Every test program runs scripts through the scripted evaluator (tests/support); these pin
// what the service does with an installed evaluator.
class ScriptEvaluatorSeam : public HostTest {};

TEST_F(ScriptEvaluatorSeam, QueuedResultsWinInOrderThenTheEngineAnswers) {
    kvtest::queueScriptResult(kvtest::ScriptResult::value(12.5));
    kvtest::queueScriptResult(kvtest::ScriptResult::string("open"));
    kvtest::queueScriptResult(kvtest::ScriptResult::failure());
    EXPECT_EQ(kvtest::ScriptedResults::instance().queued(), 3u);

    // Whatever the program says, or even when it is damaged.
    const std::vector<unsigned char> program = scripttest::program("1 + 2");
    const std::vector<unsigned char> damaged = {1, 2, 3};
    const struct {
        const std::vector<unsigned char>* bytes;
        bool ok;
        const char* text;
        const char* error;
    } runs[] = {
        {&program, true, "12.5", ""},
        {&damaged, true, "open", ""},
        {&program, false, "", "scripted failure"},
        {&program, true, "3", ""}, // the queue is empty: the engine
        {&damaged, false, "", "damaged program"},
    };
    for (const auto& r : runs) {
        const scripttest::Outcome outcome = scripttest::runBytes(*r.bytes, nullptr);
        EXPECT_EQ(outcome.ok, r.ok) << r.text;
        EXPECT_EQ(outcome.value.getString(), r.text);
        EXPECT_EQ(outcome.error.rfind(r.error, 0), 0u) << outcome.error;
        if (!r.ok) {
            EXPECT_EQ(outcome.value.kind(), Kind::Empty);
        }
    }
    EXPECT_EQ(kvtest::scriptRuns(), std::size(runs));
}

TEST_F(ScriptEvaluatorSeam, WithoutAnEvaluatorTheEngineRunsUncounted) {
    kvtest::queueScriptResult(kvtest::ScriptResult::value(1));
    kestro::ScriptService::instance().setEvaluator(nullptr);
    const scripttest::Outcome engine = scripttest::run("1 / 0");
    kvtest::ScriptedResults::instance().install();
    EXPECT_FALSE(engine.ok);
    EXPECT_EQ(engine.error, "division by zero in '/'");
    EXPECT_EQ(kvtest::scriptRuns(), 0u);
    EXPECT_EQ(kvtest::ScriptedResults::instance().queued(), 1u);
}

TEST_F(ScriptEvaluatorSeam, ResetForgetsQueueCountAndErrorAndKeepsTheEvaluator) {
    kvtest::queueScriptResult(kvtest::ScriptResult::value(1));
    scripttest::run("1 / 0");
    kvtest::queueScriptResult(kvtest::ScriptResult::value(2));
    kestro::resetHost();
    EXPECT_EQ(kvtest::ScriptedResults::instance().queued(), 0u);
    EXPECT_EQ(kvtest::scriptRuns(), 0u);
    EXPECT_EQ(kestro::ScriptService::instance().lastError(), "");
    EXPECT_EQ(kestro::ScriptService::instance().evaluator(), &kvtest::ScriptedResults::instance());
}

class ScriptRtdbHost : public HostTest {};

TEST_F(ScriptRtdbHost, ReadsVariablesOfEveryType) {
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    const int level = rtdb.define("Tank1.Level", kestro::VarType::Int);
    const int temp = rtdb.define("Tank1.Temp", kestro::VarType::Float);
    const int name = rtdb.define("Tank1.Name", kestro::VarType::String);
    rtdb.define("Tank1.Unset", kestro::VarType::Int);
    ASSERT_EQ(rtdb.setInt(level, 75), 0);
    ASSERT_EQ(rtdb.setFloat(temp, 21.5), 0);
    ASSERT_EQ(rtdb.setString(name, "north"), 0);

    kestro::RtdbScriptHost host;
    const auto eval = [&host](const std::string& source) {
        const kestro::script::CompileResult compiled = kestro::script::compile(source);
        EXPECT_TRUE(compiled.ok()) << compiled.error.text();
        return scripttest::runBytes(compiled.bytes, &host);
    };
    const scripttest::Outcome integer = eval("Tank1.Level");
    EXPECT_EQ(integer.value.kind(), Kind::Integer);
    EXPECT_EQ(integer.value.getString(), "75");
    const scripttest::Outcome number = eval("Tank1.Temp");
    EXPECT_EQ(number.value.kind(), Kind::Float);
    EXPECT_EQ(number.value.getString(), "21.5");
    EXPECT_EQ(eval("Tank1.Name + \": \" + Tank1.Level / 2 + \" %\"").value.getString(),
              "north: 37.5 %");

    const scripttest::Outcome unset = eval("Tank1.Unset + 1");
    EXPECT_FALSE(unset.ok);
    EXPECT_EQ(unset.error, "variable 3 is unknown or has no value");
}

TEST_F(ScriptRtdbHost, SeesTheCurrentValue) {
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    const int level = rtdb.define("Level", kestro::VarType::Int);
    rtdb.setInt(level, 10);
    const std::vector<unsigned char> program =
        scripttest::program("Level > 50 ? 2 : 1", [](const std::string& tag) {
            return kestro::Rtdb::instance().indexOf(tag);
        });
    kestro::RtdbScriptHost host;
    EXPECT_EQ(scripttest::runBytes(program, &host).value.getString(), "1");
    rtdb.setInt(level, 80);
    EXPECT_EQ(scripttest::runBytes(program, &host).value.getString(), "2");
}

TEST_F(ScriptRtdbHost, UnknownIndexAndNonFiniteValues) {
    kestro::Rtdb& rtdb = kestro::Rtdb::instance();
    const int bad = rtdb.define("Bad", kestro::VarType::Float);
    rtdb.setFloat(bad, std::nan(""));
    kestro::RtdbScriptHost host;
    Script::ValueType out;
    EXPECT_FALSE(host.getVariable(7, out));
    EXPECT_FALSE(host.getVariable(-1, out));
    EXPECT_TRUE(host.getVariable(bad, out));
    const scripttest::Outcome outcome =
        scripttest::run("Bad * 2", &host, scripttest::tags({{"Bad", bad}}));
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, "variable 0 holds no finite number");
}

} // namespace
