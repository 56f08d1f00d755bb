// Value input: the three keyboards with their arguments, the range text, the integer and
// decimal checks, the preset taken from the value output, the write-back with its operation
// log, the limit expressions, the synchronised values and the settings no record carries.
#include "kestrovalumen/animation/aniinput.h"
#include "kestrovalumen/animation/anioutput.h"
#include "runtime/host/gui.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/keyboard.h"
#include "tests/support/obarray.h"

#include <cfloat>
#include <climits>

using kestro::Gui;
using kestro::HostLog;
using kestro::InputRecord;
using kestro::Rtdb;
using kestro::VarType;

namespace {

enum Type { kSwitch, kNumeric, kString };
enum Var { I, F, S, NoValue, Unset, Missing, None };

//! What one click or synchronised value did: nothing with ('-') or without ('x') a keyboard,
//! only the operation log ('l', no keyboard), or one write of an integer, float or string with
//! its operation-log entry ('i', 'f', 's').
struct Outcome {
    char what;
    double number = 0;
    const char* text = "";
};

class AniInputTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        vars[I] = define("I", VarType::Int);
        vars[F] = define("F", VarType::Float);
        vars[S] = define("S", VarType::String);
        vars[NoValue] = define("NoValue", VarType::Int);
        vars[Unset] = define("Unset", VarType::Float);
        limitVar = define("Lim", VarType::Float);
    }

    static InputRecord record(int type, Var var, float upper = 0, float lower = 0,
                              int noCurrentValue = 0, int version = 10) {
        InputRecord record;
        record.header.version = static_cast<uint8_t>(version);
        record.inputType = type;
        record.varId = var;
        record.prompt = "Enter";
        record.switchText1 = "Open";
        record.switchText2 = "Shut";
        record.upper.value = upper;
        record.lower.value = lower;
        record.noCurrentValue = noCurrentValue;
        return record;
    }

    //! An owner with an operation-log text (unless withoutLog) and the input, plus any further
    //! animations. The variable's current value is set first.
    void make(InputRecord r, double current = 0, std::vector<kestro::AnimationEntry> more = {},
              bool withoutLog = false) {
        const Var var = static_cast<Var>(r.varId);
        r.varId = vars[var];
        if (var == I) {
            Rtdb::instance().setInt(vars[I], static_cast<int>(current));
        } else if (var == F) {
            Rtdb::instance().setFloat(vars[F], current);
        } else if (var == S) {
            Rtdb::instance().setString(vars[S], "Alpha");
        }
        kestro::ObjectRecord object = anitest::Record(0, 0, 60, 20);
        if (!withoutLog) {
            object.operLogBlock = kestro::OperLogBlock{0, 1, "OpKey"};
        }
        more.insert(more.begin(), kestro::animationEntry(r));
        owner = std::make_unique<CDrawObj>();
        input = attach<CAniInput>(*owner, object, more);
        ASSERT_NE(input, nullptr);
    }

    void start() {
        Rtdb::instance().clearWrites();
        HostLog::instance().clear();
        logsBefore = Gui::instance().operationLog().size();
        callsBefore = Gui::instance().keyboardCalls().size();
    }

    //! One click answered with text (or a keyboard that does not open).
    void click(const std::string& text, bool opens = true) {
        start();
        Gui::instance().queueKeyboardAnswer({opens, text});
        EXPECT_EQ(input->Run(11111), 1);
    }

    //! A synchronised text handled by one event 5.
    void sync(const std::string& text) {
        start();
        Gui::instance().queueSyncText(text);
        EXPECT_EQ(input->Run(5), 0);
    }

    size_t newKeyboards() const { return Gui::instance().keyboardCalls().size() - callsBefore; }
    const kestro::KeyboardCall& keyboard() const { return Gui::instance().keyboardCalls().back(); }

    //! The outcome; a write goes to var, or by default to the variable of its kind.
    void expect(const Outcome& o, bool keyboards = true, int var = -1) {
        const auto& writes = Rtdb::instance().writes();
        const size_t logs = Gui::instance().operationLog().size() - logsBefore;
        if (keyboards) {
            EXPECT_EQ(newKeyboards(), o.what == 'l' || o.what == 'x' ? 0u : 1u);
        }
        EXPECT_EQ(logs, o.what == '-' || o.what == 'x' ? 0u : 1u);
        if (logs == 1) {
            const kestro::OperationLogEntry& entry = Gui::instance().operationLog().back();
            EXPECT_EQ(entry.object, owner.get());
            EXPECT_EQ(entry.code, 5);
            EXPECT_EQ(entry.text, "OpKey");
        }
        if (o.what == '-' || o.what == 'x' || o.what == 'l') {
            EXPECT_TRUE(writes.empty());
            return;
        }
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].index, var >= 0 ? var
                                            : vars[o.what == 'i'   ? I
                                                   : o.what == 'f' ? F
                                                                   : S]);
        if (o.what == 'i') {
            EXPECT_EQ(writes[0].setter, VarType::Int);
            EXPECT_EQ(writes[0].intValue, static_cast<int>(o.number));
        } else if (o.what == 'f') {
            EXPECT_EQ(writes[0].setter, VarType::Float);
            EXPECT_EQ(writes[0].floatValue, o.number);
        } else {
            EXPECT_EQ(writes[0].text, o.text);
        }
    }

    int vars[7] = {-1, -1, -1, -1, -1, 999, -1};
    int limitVar = -1;
    std::unique_ptr<CDrawObj> owner;
    CAniInput* input = nullptr;
    size_t logsBefore = 0;
    size_t callsBefore = 0;
};

struct ClickCase {
    int type;
    Var var;
    double current;
    float upper, lower;
    int noCurrentValue;
    const char* entered;
    Outcome outcome;
    bool synchronised = false; // by event 5, without a keyboard
};

TEST_F(AniInputTest, WhatIsEnteredOrSynchronisedIsWrittenWhenNewAndInRange) {
    // clang-format off
    const ClickCase cases[] = {
        // Switch: 0 for a text that reads as 0, else 1; nothing when unchanged.
        {kSwitch, I, 3, 0, 0, 0, "7", {'i', 1}}, {kSwitch, I, 3, 0, 0, 0, "0", {'i', 0}},
        {kSwitch, I, 3, 0, 0, 0, "abc", {'i', 0}}, {kSwitch, I, 3, 0, 0, 0, "-2", {'i', 1}},
        {kSwitch, I, 3, 0, 0, 0, "3", {'-'}}, {kSwitch, I, 0, 0, 0, 0, "", {'i', 0}},
        {kSwitch, I, 1, 0, 0, 0, " 1", {'i', 1}}, {kSwitch, I, 1, 0, 0, 0, "0.9", {'i', 0}},
        {kSwitch, I, -5, 0, 0, 0, "-5", {'-'}}, {kSwitch, I, -5, 0, 0, 0, "x5", {'i', 0}},
        {kSwitch, I, 1, 0, 0, 0, "1", {'-'}},
        // Integers within 10..100 (limits given either way round), truncated.
        {kNumeric, I, 20, 100, 10, 0, "50", {'i', 50}}, {kNumeric, I, 20, 10, 100, 0, "5", {'-'}},
        {kNumeric, I, 20, 100, 10, 0, "101", {'-'}}, {kNumeric, I, 20, 100, 10, 0, "100", {'i', 100}},
        {kNumeric, I, 20, 100, 10, 0, "10", {'i', 10}}, {kNumeric, I, 20, 100, 10, 0, "9.99", {'-'}},
        {kNumeric, I, 20, 100, 10, 0, "100.5", {'-'}}, {kNumeric, I, 20, 100, 10, 0, "20.0", {'-'}},
        {kNumeric, I, 20, 100, 10, 0, "20.5", {'i', 20}}, {kNumeric, I, 20, 100, 10, 0, "abc", {'-'}},
        {kNumeric, I, 20, 100, 10, 0, "99.9", {'i', 99}}, {kNumeric, I, 20, 100, 10, 0, "1e2", {'i', 100}},
        {kNumeric, I, 20, 100, 10, 0, "3000000000", {'-'}},
        // Equal limits: any value that fits in 32 bits.
        {kNumeric, I, 7, 0, 0, 0, "3000000000", {'-'}}, {kNumeric, I, 7, 42, 42, 0, "-3000000000", {'-'}},
        {kNumeric, I, 7, 0, 0, 0, "2147483647.5", {'-'}}, {kNumeric, I, 7, 42, 42, 0, "-2147483648.5", {'-'}},
        {kNumeric, I, 7, 0, 0, 0, "2147483647", {'i', INT_MAX}},
        {kNumeric, I, 7, 42, 42, 0, "-2147483648", {'i', INT_MIN}},
        {kNumeric, I, 7, 0, 0, 0, "-12.7", {'i', -12}}, {kNumeric, I, 7, 42, 42, 0, "-5000", {'i', -5000}},
        {kNumeric, I, 7, 0, 0, 0, "abc", {'i', 0}}, {kNumeric, I, 7, 42, 42, 0, "7", {'-'}},
        // Decimals within -5..5 in single precision.
        {kNumeric, F, 1.5, -5, 5, 0, "1e-40", {'-'}}, {kNumeric, F, 1.5, -5, 5, 0, "-1e-40", {'-'}},
        {kNumeric, F, 1.5, -5, 5, 0, "0", {'f', 0}}, {kNumeric, F, 1.5, -5, 5, 0, "-5", {'f', -5}},
        {kNumeric, F, 1.5, -5, 5, 0, "5", {'f', 5}},
        {kNumeric, F, 1.5, -5, 5, 0, "5.0000001", {'f', 5.0000001}}, // 5 as a float
        {kNumeric, F, 1.5, -5, 5, 0, "5.000001", {'-'}}, {kNumeric, F, 1.5, -5, 5, 0, "-5.1", {'-'}},
        {kNumeric, F, 1.5, -5, 5, 0, "1e39", {'-'}}, {kNumeric, F, 1.5, -5, 5, 0, "1.5", {'-'}},
        {kNumeric, F, 1.5, -5, 5, 0, "1.2e-38", {'f', 1.2e-38}}, {kNumeric, F, 1.5, -5, 5, 0, "1.1e-38", {'-'}},
        // Equal decimal limits are not checked at all.
        {kNumeric, F, 1.5, 2, 2, 0, "1e-40", {'f', 1e-40}}, {kNumeric, F, 1.5, 2, 2, 0, "1e300", {'f', 1e300}},
        {kNumeric, F, 1.5, 2, 2, 0, "-3.5e38", {'f', -3.5e38}},
        // Texts are compared whole.
        {kString, S, 0, 0, 0, 0, "Beta", {'s', 0, "Beta"}}, {kString, S, 0, 0, 0, 0, "Alpha", {'-'}},
        {kString, S, 0, 0, 0, 0, "Alph", {'s', 0, "Alph"}}, {kString, S, 0, 0, 0, 0, "", {'s', 0, ""}},
        // Without the current value a text is compared with the empty one; a number is not asked.
        {kString, S, 0, 0, 0, 1, "", {'-'}}, {kString, S, 0, 0, 0, 1, "Alpha", {'s', 0, "Alpha"}},
        {kNumeric, F, 1, 0, 0, 1, "2", {'l'}},
        // Without a variable, or of another kind: only the operation log.
        {kNumeric, None, 0, 0, 0, 0, "0", {'l'}}, {kSwitch, None, 0, 0, 0, 0, "0", {'l'}},
        {kString, None, 0, 0, 0, 0, "0", {'l'}}, {3, I, 1, 0, 0, 0, "0", {'l'}},
        {7, I, 1, 0, 0, 0, "0", {'l'}}, {-2, I, 1, 0, 0, 0, "0", {'l'}},
        // Variables that cannot be read open nothing.
        {kSwitch, NoValue, 0, 0, 0, 0, "1", {'x'}}, {kSwitch, F, 1, 0, 0, 0, "1", {'x'}},
        {kSwitch, Missing, 0, 0, 0, 0, "1", {'x'}}, {kNumeric, Unset, 0, 0, 0, 0, "1", {'x'}},
        // Synchronised values.
        {kSwitch, I, 0, 0, 0, 0, "1", {'i', 1}, true}, {kSwitch, I, 1, 0, 0, 0, "0", {'i', 0}, true},
        {kSwitch, I, 1, 0, 0, 0, "1", {'-'}, true}, {kSwitch, I, 0, 0, 0, 0, "9", {'i', 1}, true},
        {kSwitch, NoValue, 0, 0, 0, 0, "4", {'i', 1}, true}, // written although it cannot be read
        {kString, S, 0, 0, 0, 0, "Alpha", {'-'}, true}, {kString, S, 0, 0, 0, 0, "xyz", {'s', 0, "xyz"}, true},
        {kString, S, 0, 0, 0, 1, "Alpha", {'s', 0, "Alpha"}, true}, {kString, S, 0, 0, 0, 1, "", {'-'}, true},
        {kNumeric, I, 5, 10, 0, 0, "7", {'i', 7}, true}, {kNumeric, I, 5, 10, 0, 0, "11", {'-'}, true},
        {kNumeric, I, 5, 10, 0, 0, "5", {'-'}, true}, {kNumeric, I, 5, 10, 0, 0, "3.9", {'i', 3}, true},
        {kNumeric, F, 1, 10, -10, 0, "1e-40", {'-'}, true}, {kNumeric, F, 1, 10, -10, 0, "2.5", {'f', 2.5}, true},
        {kNumeric, F, 1, 0, 0, 1, "3", {'l'}, true}, {kNumeric, None, 0, 0, 0, 0, "3", {'l'}, true},
        {kNumeric, Unset, 0, 0, 0, 0, "3", {'x'}, true},
    };
    // clang-format on
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.type << " " << c.var << " " << c.current << " '" << c.entered << "'");
        make(record(c.type, c.var, c.upper, c.lower, c.noCurrentValue), c.current);
        if (c.synchronised) {
            sync(c.entered);
            EXPECT_EQ(newKeyboards(), 0u);
        } else {
            click(c.entered);
        }
        expect(c.outcome, !c.synchronised, vars[c.var]);
        EXPECT_TRUE(HostLog::instance().monitor().empty());
    }
    // Nothing synchronised, or another event: nothing happens.
    make(record(kSwitch, I), 1);
    start();
    Gui::instance().queueSyncText("0");
    for (int event : {-1, 1, 2, 3, 4, 6, 88888, 11112}) {
        EXPECT_EQ(input->Run(event), 0) << event;
    }
    expect({'x'});
    // An owner without a log text writes no entry.
    make(record(kSwitch, I), 1, {}, /*withoutLog=*/true);
    click("0");
    EXPECT_EQ(Rtdb::instance().writes().size(), 1u);
    EXPECT_EQ(Gui::instance().operationLog().size(), logsBefore);
}

TEST_F(AniInputTest, KeyboardArguments) {
    struct Case {
        InputRecord record;
        double current;
        kestro::KeyboardCall call;
    };
    // The switch keyboard's first text is the record's second one; the range text uses the
    // short format, lower limit first.
    // clang-format off
    const Case cases[] = {
        {record(kSwitch, I), 3, {false, 2, "3", -1, "Enter", true, "Shut", true, "Open", 0, 0, 0, 0}},
        {record(kString, S), 0, {false, 0, "Alpha", 0, "Enter", false, "", false, "", 0, 0, 0, 0}},
        {record(kNumeric, I, 10, 100), 20, {false, 1, "20", 1, "Enter", false, "", true, "10,100", 0, 0, 0, 0}},
        {record(kNumeric, F, 5, -5), 1.5, {false, 1, "1.5", 0, "Enter", false, "", true, "-5,5", 0, 0, 0, 0}},
        {record(kNumeric, F, 2.5f, -0.125f), 1234567.0,
         {false, 1, "1.23457e+06", 0, "Enter", false, "", true, "-0.125,2.5", 0, 0, 0, 0}},
        {record(kNumeric, F, -1e-5f, 1e10f), 0.1234567,
         {false, 1, "0.123457", 0, "Enter", false, "", true, "-1e-05,1e+10", 0, 0, 0, 0}},
        {record(kNumeric, F, 2, 2), 2, {false, 1, "2", 0, "Enter", false, "", true, "2,2", 0, 0, 0, 0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call.text3);
        make(c.record, c.current);
        click("1");
        ASSERT_EQ(newKeyboards(), 1u);
        kvtest::expectKeyboardCall(keyboard(), c.call);
    }
    // The text preset is cut to 1023 bytes.
    make(record(kString, S));
    Rtdb::instance().setString(vars[S], std::string(2000, 'q'));
    click("short");
    EXPECT_EQ(keyboard().preset, std::string(1023, 'q'));
    // Without the current value the variable is not read at all.
    make(record(kString, Unset, 0, 0, 1, 11));
    click("x");
    EXPECT_EQ(keyboard().preset, "");
}

TEST_F(AniInputTest, KeyboardsThatDoNotOpenAreReported) {
    struct Case {
        int type;
        Var var;
        int intStyle;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {kSwitch, I, 0, 37, "打开开关型键盘失败！"},
        {kString, S, 0, 40, "打开字符型键盘失败！"},
        {kNumeric, I, 0, 38, "打开整型键盘失败！"},
        {kNumeric, I, 2, 38, "打开十六进制键盘失败！"},
        {kNumeric, F, 0, 39, "打开数值型键盘失败！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        make(record(c.type, c.var), 1);
        input->m_nIntKeyboardStyle = c.intStyle;
        click("", /*opens=*/false);
        EXPECT_EQ(newKeyboards(), 1u);
        expect({'-'});
        kvtest::expectMonitorOnly(c.code, c.message);
    }
}

TEST_F(AniInputTest, DecimalPresetFromTheFirstValueOutput) {
    auto outputWith = [](int decimals) {
        kestro::OutputRecord record;
        record.outputType = 1;
        record.decimals = decimals;
        return kestro::animationEntry(record);
    };
    struct Case {
        std::vector<int> outputs;
        double current;
        const char* preset;
    };
    const Case cases[] = {{{2, 3}, 2.5, "2.50"},
                          {{0}, 2.25, "2"},
                          {{-1}, 1234567.0, "1.23457e+06"},
                          {{}, 2.5, "2.5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        std::vector<kestro::AnimationEntry> outputs;
        for (int decimals : c.outputs) {
            outputs.push_back(outputWith(decimals));
        }
        make(record(kNumeric, F), c.current, outputs);
        click("1");
        EXPECT_EQ(keyboard().preset, c.preset);
        EXPECT_EQ(input->m_bFormatCopied, c.outputs.empty() ? 0 : 1);
    }
    // Copied once, when found: later changes of the output do not reach the keyboard.
    auto* output = new CAniOutput; // owned by the object from here on
    output->m_nDecimals = 3;
    kvtest::append(owner->m_arrayAnimate, output);
    Rtdb::instance().setFloat(vars[F], 2.5);
    click("1");
    EXPECT_EQ(keyboard().preset, "2.500");
    output->m_nDecimals = 4;
    Rtdb::instance().setFloat(vars[F], 2.0 / 3.0);
    click("1");
    EXPECT_EQ(keyboard().preset, "0.667");
    // Integer variables never need the output format.
    make(record(kNumeric, I), 1, {outputWith(2)});
    click("1");
    EXPECT_EQ(input->m_bFormatCopied, 0);
}

kestro::InputLimit programLimit(const std::string& source) {
    kestro::InputLimit limit;
    limit.isProgram = true;
    limit.program = source.empty() ? std::string() : anitest::Program(source);
    return limit;
}

TEST_F(AniInputTest, LimitExpressionsAreRefreshed) {
    InputRecord r = record(kNumeric, F, 0, 0, 0, 11);
    r.upper = programLimit("Lim");
    r.lower = programLimit("Lim - 10");
    make(r, 1.0);
    Rtdb::instance().setFloat(limitVar, 7.5);
    start();
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(input->m_dUpper, 7.5);
    EXPECT_EQ(input->m_dLower, -2.5);
    EXPECT_TRUE(HostLog::instance().logs().empty());
    // Expression limits are compared as doubles only: no single-precision test.
    const std::pair<const char*, Outcome> entries[] = {
        {"8", {'-'}}, {"-3", {'-'}}, {"1e-40", {'f', 1e-40}}, {"7.5", {'f', 7.5}}};
    for (const auto& [entered, outcome] : entries) {
        SCOPED_TRACE(entered);
        Rtdb::instance().setFloat(vars[F], 1.0);
        click(entered);
        EXPECT_EQ(keyboard().text3, "-2.5,7.5");
        expect(outcome);
    }

    // The constant side keeps its single-precision test; the expression side compares the
    // double itself.
    r.lower = kestro::InputLimit();
    r.lower.value = -5.0f;
    make(r, 1.0);
    Rtdb::instance().setFloat(limitVar, 5.0);
    input->Run(0);
    for (const char* refused : {"1e-40", "5.0000001"}) {
        click(refused);
        expect({'-'});
    }
    // Without expressions a refresh runs nothing.
    make(record(kNumeric, F, 3, 1), 1.0);
    const unsigned long long runs = scriptRuns();
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(scriptRuns(), runs);
    EXPECT_EQ(input->m_dUpper, 3.0);
}

TEST_F(AniInputTest, FailingOrEmptyLimitPrograms) {
    InputRecord r = record(kNumeric, F, 0, 1, 0, 11);
    r.upper = programLimit("Unset"); // no value: the program cannot run
    make(r, 1.0);
    input->m_dUpper = 42.0;
    start();
    for (size_t refresh = 1; refresh <= 2; ++refresh) {
        EXPECT_EQ(input->Run(0), 1);
        ASSERT_EQ(HostLog::instance().logs().size(), refresh);
        kvtest::expectLogLine(HostLog::instance().logs().back(),
                              {"Run", "animation\\aniinput", 169, 1, "CDrawEdit",
                               "script_SvrRunExpressFloat return erro!"});
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
    // The limit still takes the failed result's value, which this host gives as 0.
    EXPECT_EQ(input->m_dUpper, 0.0);
    EXPECT_EQ(input->m_dLower, 1.0);

    // An empty upper program means no upper limit; the lower constant still applies.
    r.upper = programLimit("");
    r.lower.value = 0.0f;
    make(r, 1.0);
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(input->m_dUpper, DBL_MAX);
    click("1e30");
    EXPECT_EQ(keyboard().text3, "0,1.79769e+308");
    expect({'f', 1e30});
    for (const char* refused : {"-1", "1e300"}) { // 1e300 is no single-precision value
        click(refused);
        expect({'-'});
    }
}

TEST_F(AniInputTest, SettingsNoRecordCarries) {
    struct Case {
        int type;
        Var var;
        int altMode, intStyle, mode;
    };
    const Case cases[] = {
        {kString, S, 1, -1, 1}, {kNumeric, F, 1, -1, 4}, {kNumeric, I, 1, -1, 5},
        {kNumeric, I, 0, 1, 3}, {kNumeric, I, 1, 1, 7},  {kNumeric, I, 0, 2, 2},
        {kSwitch, I, 1, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.altMode << " " << c.intStyle);
        make(record(c.type, c.var), 1);
        input->m_bAltMode = c.altMode;
        input->m_nIntKeyboardStyle = c.intStyle;
        click("1");
        EXPECT_EQ(keyboard().mode, c.mode);
    }
    // The hexadecimal keyboard reads what is entered in base 16.
    make(record(kNumeric, I), 26);
    input->m_nIntKeyboardStyle = 2;
    click("0x1F");
    EXPECT_EQ(keyboard().preset, "26");
    expect({'i', 31});

    make(record(kSwitch, I), 0);
    input->m_nKeyboardStyle = 1;
    input->m_nCustomSetting = 9;
    input->m_strCustomText1 = "A";
    input->m_strCustomText2 = "B";
    input->m_nDialogCode = 11;
    input->m_nDialogValue1 = 3;
    input->m_nDialogValue2 = 4;
    click("1");
    kvtest::expectKeyboardCall(keyboard(),
                               {true, 2, "0", -1, "Enter", true, "A", true, "B", 9, 5, 3, 4});
    expect({'i', 1});
    click("", /*opens=*/false);
    kvtest::expectMonitorOnly(37, "打开开关型键盘失败！");
    input->m_nKeyboardStyle = 0;
    input->m_nDialogCode = 10;
    click("0");
    EXPECT_FALSE(keyboard().customised);
    EXPECT_EQ(keyboard().code, 10);
    EXPECT_EQ(keyboard().reserved, 0);
}

} // namespace
