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
#include <optional>

using kestro::Gui;
using kestro::HostLog;
using kestro::InputRecord;
using kestro::KeyboardCall;
using kestro::Rtdb;
using kestro::VarType;

namespace {

constexpr int kSwitch = 0;
constexpr int kNumeric = 1;
constexpr int kString = 2;

InputRecord Input(int inputType, int varId, float upper = 0.0f, float lower = 0.0f) {
    InputRecord record;
    record.inputType = inputType;
    record.varId = varId;
    record.prompt = "Enter";
    record.switchText1 = "Open";
    record.switchText2 = "Shut";
    record.upper.value = upper;
    record.lower.value = lower;
    return record;
}

InputRecord Version11(InputRecord record) {
    record.header.version = 11;
    return record;
}

kestro::InputLimit ProgramLimit(const std::string& source) {
    kestro::InputLimit limit;
    limit.isProgram = true;
    limit.program = source.empty() ? std::string() : anitest::Program(source);
    return limit;
}

class AniInputTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        intVar = define("I", VarType::Int);
        floatVar = define("F", VarType::Float);
        stringVar = define("S", VarType::String);
        emptyInt = define("NoValue", VarType::Int);
        limitVar = define("Lim", VarType::Float);
        unsetFloat = define("Unset", VarType::Float);
    }

    //! An owner with an operation-log text (unless withoutLog) and the input, plus any further
    //! animations.
    void make(const InputRecord& record, std::vector<kestro::AnimationEntry> more = {},
              bool withoutLog = false) {
        kestro::ObjectRecord object = anitest::Record(0, 0, 60, 20);
        if (!withoutLog) {
            object.operLogBlock = kestro::OperLogBlock{0, 1, "OpKey"};
        }
        more.insert(more.begin(), kestro::animationEntry(record));
        owner = std::make_unique<CDrawObj>();
        input = attach<CAniInput>(*owner, object, more);
        ASSERT_NE(input, nullptr);
    }

    //! Forgets the writes made while setting the scene up.
    void start() {
        Rtdb::instance().clearWrites();
        HostLog::instance().clear();
        logsBefore = Gui::instance().operationLog().size();
        callsBefore = Gui::instance().keyboardCalls().size();
    }

    void answer(const std::string& text) { Gui::instance().queueKeyboardAnswer({true, text}); }

    //! One click answered with text.
    void click(const std::string& text) {
        start();
        answer(text);
        EXPECT_EQ(input->Run(11111), 1);
    }

    //! One click whose keyboard does not open: nothing is written, the fault is reported.
    void refusedClick(int code, const char* message) {
        start();
        Gui::instance().queueKeyboardAnswer({false, ""});
        EXPECT_EQ(input->Run(11111), 1);
        EXPECT_EQ(newKeyboards(), 1u);
        expectNothingWritten();
        kvtest::expectMonitorOnly(code, message);
    }

    //! A synchronised text handled by one event 5.
    void sync(const std::string& text) {
        start();
        Gui::instance().queueSyncText(text);
        EXPECT_EQ(input->Run(5), 0);
    }

    const std::vector<kestro::RtdbWrite>& writes() const { return Rtdb::instance().writes(); }
    size_t newOperationLogs() const { return Gui::instance().operationLog().size() - logsBefore; }
    size_t newKeyboards() const { return Gui::instance().keyboardCalls().size() - callsBefore; }
    const KeyboardCall& lastKeyboard() const { return Gui::instance().keyboardCalls().back(); }

    //! Exactly one write of value, followed by its operation-log entry.
    void expectWrite(int var, VarType setter, double number, const std::string& text = "") {
        ASSERT_EQ(writes().size(), 1u);
        EXPECT_EQ(writes()[0].index, var);
        EXPECT_EQ(writes()[0].setter, setter);
        if (setter == VarType::Int) {
            EXPECT_EQ(writes()[0].intValue, static_cast<int>(number));
        } else if (setter == VarType::Float) {
            EXPECT_EQ(writes()[0].floatValue, number);
        } else {
            EXPECT_EQ(writes()[0].text, text);
        }
        expectOperationLog();
    }
    void expectIntWrite(int var, int value) { expectWrite(var, VarType::Int, value); }
    void expectFloatWrite(int var, double value) { expectWrite(var, VarType::Float, value); }
    void expectStringWrite(int var, const std::string& value) {
        expectWrite(var, VarType::String, 0, value);
    }
    void expectIntWriteOrNothing(int var, std::optional<int> value) {
        if (value) {
            expectIntWrite(var, *value);
        } else {
            expectNothingWritten();
        }
    }

    void expectOperationLog() {
        ASSERT_EQ(newOperationLogs(), 1u);
        const kestro::OperationLogEntry& entry = Gui::instance().operationLog().back();
        EXPECT_EQ(entry.object, owner.get());
        EXPECT_EQ(entry.code, 5);
        EXPECT_EQ(entry.text, "OpKey");
    }

    //! No write, only the operation-log entry.
    void expectOnlyOperationLog() {
        EXPECT_TRUE(writes().empty());
        expectOperationLog();
    }

    void expectNothingWritten() {
        EXPECT_TRUE(writes().empty());
        EXPECT_EQ(newOperationLogs(), 0u);
    }

    int intVar = -1, floatVar = -1, stringVar = -1, emptyInt = -1, limitVar = -1, unsetFloat = -1;
    std::unique_ptr<CDrawObj> owner;
    CAniInput* input = nullptr;
    size_t logsBefore = 0;
    size_t callsBefore = 0;
};

// ---- events ----

TEST_F(AniInputTest, UnhandledEventsDoNothing) {
    Rtdb::instance().setInt(intVar, 1);
    make(Input(kSwitch, intVar));
    start();
    Gui::instance().queueSyncText("0");
    for (int event : {-1, 1, 2, 3, 4, 6, 88888, 11112}) {
        EXPECT_EQ(input->Run(event), 0) << event;
    }
    EXPECT_EQ(newKeyboards(), 0u);
    expectNothingWritten();
    EXPECT_EQ(scriptRuns(), 0u);
}

TEST_F(AniInputTest, WithoutVariableOrOfAnotherKindAClickOnlyLogs) {
    Rtdb::instance().setInt(intVar, 1);
    struct Case {
        int type;
        int var;
    };
    const Case cases[] = {{kNumeric, -1}, {kSwitch, -1}, {kString, -1},
                          {3, intVar},    {7, intVar},   {-2, intVar}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        make(Input(c.type, c.var));
        if (c.var == -1) {
            EXPECT_EQ(input->m_nInputType, -1);
        }
        click("0");
        EXPECT_EQ(newKeyboards(), 0u);
        expectOnlyOperationLog();
    }
    // An owner without a log text writes no entry.
    make(Input(kSwitch, intVar), {}, /*withoutLog=*/true);
    click("0");
    ASSERT_EQ(writes().size(), 1u);
    EXPECT_EQ(newOperationLogs(), 0u);
}

// ---- switch keyboard ----

TEST_F(AniInputTest, SwitchKeyboardArguments) {
    Rtdb::instance().setInt(intVar, 3);
    make(Input(kSwitch, intVar));
    click("7");
    ASSERT_EQ(newKeyboards(), 1u);
    // The first text of the keyboard is the record's second one.
    kvtest::expectKeyboardCall(
        lastKeyboard(), {false, 2, "3", -1, "Enter", true, "Shut", true, "Open", 0, 0, 0, 0});
    expectIntWrite(intVar, 1);
}

TEST_F(AniInputTest, SwitchWritesZeroOrOne) {
    struct Case {
        int current;
        const char* entered;
        std::optional<int> written;
    };
    const Case cases[] = {
        {3, "7", 1},    {3, "0", 0},   {3, "abc", 0}, {3, "-2", 1}, {3, "03", 1},
        {3, "3", {}},   {0, "0", {}},  {0, "", 0},    {1, " 1", 1}, {1, "0.9", 0},
        {-5, "-5", {}}, {-5, "x5", 0}, {0, "1", 1},   {1, "1", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " '" << c.entered << "'");
        Rtdb::instance().setInt(intVar, c.current);
        make(Input(kSwitch, intVar));
        click(c.entered);
        expectIntWriteOrNothing(intVar, c.written);
    }
}

TEST_F(AniInputTest, UnreadableVariablesOpenNothing) {
    Rtdb::instance().setFloat(floatVar, 1.0);
    struct Case {
        int type;
        int var;
    };
    // Never written, of another type, no such variable.
    const Case cases[] = {{kSwitch, emptyInt},
                          {kSwitch, floatVar},
                          {kSwitch, 999},
                          {kString, stringVar},
                          {kNumeric, unsetFloat}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.var);
        make(Input(c.type, c.var));
        click("1");
        EXPECT_EQ(newKeyboards(), 0u);
        expectNothingWritten();
        EXPECT_TRUE(HostLog::instance().monitor().empty());
    }
}

TEST_F(AniInputTest, KeyboardsThatDoNotOpenAreReported) {
    Rtdb::instance().setInt(intVar, 1);
    Rtdb::instance().setFloat(floatVar, 1.0);
    Rtdb::instance().setString(stringVar, "v");
    make(Input(kSwitch, intVar));
    refusedClick(37, "打开开关型键盘失败！");
    make(Input(kString, stringVar));
    refusedClick(40, "打开字符型键盘失败！");
    make(Input(kNumeric, intVar));
    refusedClick(38, "打开整型键盘失败！");
    EXPECT_EQ(input->m_bFormatCopied, 0); // integer variables never need the output format
    input->m_nIntKeyboardStyle = 2;
    refusedClick(38, "打开十六进制键盘失败！");
    make(Input(kNumeric, floatVar));
    refusedClick(39, "打开数值型键盘失败！");
}

// ---- string keyboard ----

TEST_F(AniInputTest, StringKeyboard) {
    Rtdb::instance().setString(stringVar, "Alpha");
    make(Input(kString, stringVar));
    click("Beta");
    ASSERT_EQ(newKeyboards(), 1u);
    kvtest::expectKeyboardCall(lastKeyboard(),
                               {false, 0, "Alpha", 0, "Enter", false, "", false, "", 0, 0, 0, 0});
    expectStringWrite(stringVar, "Beta");

    // Unchanged text, and a text that differs only in length.
    Rtdb::instance().setString(stringVar, "Alpha");
    click("Alpha");
    expectNothingWritten();
    click("Alph");
    expectStringWrite(stringVar, "Alph");
    Rtdb::instance().setString(stringVar, "Alpha");
    click("");
    expectStringWrite(stringVar, "");

    // The preset is cut to 1023 bytes.
    Rtdb::instance().setString(stringVar, std::string(2000, 'q'));
    click("short");
    EXPECT_EQ(lastKeyboard().preset, std::string(1023, 'q'));
    expectStringWrite(stringVar, "short");
}

TEST_F(AniInputTest, StringWithoutCurrentValueOpensEmpty) {
    Rtdb::instance().setString(stringVar, "Alpha");
    InputRecord record = Input(kString, stringVar);
    record.noCurrentValue = 1;
    make(record);
    click("");
    EXPECT_EQ(lastKeyboard().preset, "");
    expectNothingWritten();
    // Compared with the empty text, not with the variable.
    click("Alpha");
    expectStringWrite(stringVar, "Alpha");

    // The variable is not read at all.
    make(Version11(Input(kString, unsetFloat)));
    input->m_bNoCurrentValue = 1;
    click("x");
    EXPECT_EQ(newKeyboards(), 1u);
}

// ---- numeric keyboard: integer variables ----

TEST_F(AniInputTest, IntegerKeyboardWithReversedLimits) {
    Rtdb::instance().setInt(intVar, 20);
    make(Input(kNumeric, intVar, 10.0f, 100.0f));
    click("50");
    ASSERT_EQ(newKeyboards(), 1u);
    kvtest::expectKeyboardCall(lastKeyboard(),
                               {false, 1, "20", 1, "Enter", false, "", true, "10,100", 0, 0, 0, 0});
    expectIntWrite(intVar, 50);
}

struct IntegerCase {
    const char* entered;
    std::optional<int> written;
};

TEST_F(AniInputTest, IntegerChecksWithinLimits) {
    const IntegerCase cases[] = {
        {"50", 50},   {"5", {}},     {"101", {}},  {"100", 100},       {"10", 10},
        {"9.99", {}}, {"100.5", {}}, {"20", {}},   {"20.0", {}},       {"20.5", 20},
        {"abc", {}},  {"99.9", 99},  {"1e2", 100}, {"3000000000", {}},
    };
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE(c.entered);
        Rtdb::instance().setInt(intVar, 20);
        make(Input(kNumeric, intVar, 100.0f, 10.0f));
        click(c.entered);
        expectIntWriteOrNothing(intVar, c.written);
    }
}

TEST_F(AniInputTest, IntegerChecksWithEqualLimits) {
    const IntegerCase cases[] = {
        {"3000000000", {}},
        {"-3000000000", {}},
        {"2147483647.5", {}},
        {"-2147483648.5", {}},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"12.7", 12},
        {"-12.7", -12},
        {"-5000", -5000},
        {"abc", 0},
        {"7", {}},
    };
    for (float limit : {0.0f, 42.0f}) {
        for (const IntegerCase& c : cases) {
            SCOPED_TRACE(testing::Message() << limit << " " << c.entered);
            Rtdb::instance().setInt(intVar, 7);
            make(Input(kNumeric, intVar, limit, limit));
            click(c.entered);
            expectIntWriteOrNothing(intVar, c.written);
        }
    }
}

// ---- numeric keyboard: decimal variables ----

TEST_F(AniInputTest, DecimalKeyboardAndItsRangeText) {
    Rtdb::instance().setFloat(floatVar, 1.5);
    make(Input(kNumeric, floatVar, 5.0f, -5.0f));
    click("2.25");
    ASSERT_EQ(newKeyboards(), 1u);
    kvtest::expectKeyboardCall(lastKeyboard(),
                               {false, 1, "1.5", 0, "Enter", false, "", true, "-5,5", 0, 0, 0, 0});
    expectFloatWrite(floatVar, 2.25);

    // The range text uses the short format.
    make(Input(kNumeric, floatVar, 2.5f, -0.125f));
    click("1");
    EXPECT_EQ(lastKeyboard().text3, "-0.125,2.5");
    make(Input(kNumeric, floatVar, -1e-5f, 1e10f));
    click("1");
    EXPECT_EQ(lastKeyboard().text3, "-1e-05,1e+10");
}

TEST_F(AniInputTest, DecimalChecksInSinglePrecision) {
    struct Case {
        const char* entered;
        std::optional<double> written;
    };
    const Case cases[] = {
        {"1e-40", {}},
        {"-1e-40", {}},
        {"0", 0.0},
        {"-0", -0.0},
        {"5", 5.0},
        {"-5", -5.0},
        // Equal to 5 as a float, so not above the limit; written as entered.
        {"5.0000001", 5.0000001},
        {"5.000001", {}},
        {"-5.1", {}},
        {"6", {}},
        {"1e39", {}},
        {"1.5", {}},
        {"1.2e-38", 1.2e-38},
        {"1.1e-38", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entered);
        Rtdb::instance().setFloat(floatVar, 1.5);
        make(Input(kNumeric, floatVar, -5.0f, 5.0f));
        click(c.entered);
        if (c.written) {
            expectFloatWrite(floatVar, *c.written);
        } else {
            expectNothingWritten();
        }
    }
}

TEST_F(AniInputTest, DecimalWithEqualLimitsIsNotChecked) {
    for (const char* entered : {"1e-40", "1e300", "-3.5e38", "123.25"}) {
        SCOPED_TRACE(entered);
        Rtdb::instance().setFloat(floatVar, 1.5);
        make(Input(kNumeric, floatVar, 2.0f, 2.0f));
        click(entered);
        EXPECT_EQ(lastKeyboard().text3, "2,2");
        expectFloatWrite(floatVar, std::atof(entered));
    }
}

TEST_F(AniInputTest, NumericWithoutCurrentValueOnlyLogs) {
    Rtdb::instance().setFloat(floatVar, 1.0);
    InputRecord record = Input(kNumeric, floatVar);
    record.noCurrentValue = 1;
    make(record);
    click("2");
    EXPECT_EQ(newKeyboards(), 0u);
    expectOnlyOperationLog();
}

// ---- decimal preset ----

kestro::AnimationEntry OutputWithDecimals(int decimals) {
    kestro::OutputRecord record;
    record.outputType = 1;
    record.decimals = decimals;
    return kestro::animationEntry(record);
}

TEST_F(AniInputTest, DecimalPresetWithoutValueOutput) {
    Rtdb::instance().setFloat(floatVar, 1234567.0);
    make(Input(kNumeric, floatVar));
    click("1");
    // 'g' with the default precision: six significant digits.
    EXPECT_EQ(lastKeyboard().preset, "1.23457e+06");
    EXPECT_EQ(input->m_bFormatCopied, 0);
    EXPECT_EQ(input->m_nDecimals, 6);

    Rtdb::instance().setFloat(floatVar, 0.1234567);
    click("1");
    EXPECT_EQ(lastKeyboard().preset, "0.123457");
}

TEST_F(AniInputTest, DecimalPresetFromTheFirstValueOutput) {
    Rtdb::instance().setFloat(floatVar, 2.5);
    make(Input(kNumeric, floatVar), {OutputWithDecimals(2), OutputWithDecimals(3)});
    click("1");
    EXPECT_EQ(lastKeyboard().preset, "2.50");
    EXPECT_EQ(input->m_bFormatCopied, 1);
    EXPECT_EQ(input->m_nDecimals, 2);

    // Copied once: later changes of the output do not reach the keyboard.
    anitest::Animation<CAniOutput>(*owner)->m_nDecimals = 4;
    Rtdb::instance().setFloat(floatVar, 2.0 / 3.0);
    click("1");
    EXPECT_EQ(lastKeyboard().preset, "0.67");

    Rtdb::instance().setFloat(floatVar, 2.25);
    make(Input(kNumeric, floatVar), {OutputWithDecimals(0)});
    click("1");
    EXPECT_EQ(lastKeyboard().preset, "2");

    // An automatic output keeps the 'g' form.
    Rtdb::instance().setFloat(floatVar, 1234567.0);
    make(Input(kNumeric, floatVar), {OutputWithDecimals(-1)});
    click("1");
    EXPECT_EQ(input->m_bFormatCopied, 1);
    EXPECT_EQ(input->m_nDecimals, -1);
    EXPECT_EQ(lastKeyboard().preset, "1.23457e+06");
}

TEST_F(AniInputTest, ValueOutputIsLookedForAgainUntilFound) {
    Rtdb::instance().setFloat(floatVar, 2.5);
    make(Input(kNumeric, floatVar));
    click("1");
    EXPECT_EQ(input->m_bFormatCopied, 0);
    EXPECT_EQ(lastKeyboard().preset, "2.5");

    auto* output = new CAniOutput; // owned by the object from here on
    output->m_nDecimals = 3;
    kvtest::append(owner->m_arrayAnimate, output);
    Rtdb::instance().setFloat(floatVar, 2.5);
    click("1");
    EXPECT_EQ(input->m_bFormatCopied, 1);
    EXPECT_EQ(lastKeyboard().preset, "2.500");
}

// ---- limit expressions ----

TEST_F(AniInputTest, LimitExpressionsAreRefreshed) {
    InputRecord record = Version11(Input(kNumeric, floatVar));
    record.upper = ProgramLimit("Lim");
    record.lower = ProgramLimit("Lim - 10");
    make(record);
    EXPECT_EQ(input->m_bUpperExpr, 1);
    EXPECT_EQ(input->m_bLowerExpr, 1);
    EXPECT_EQ(input->m_dUpper, 0.0);
    EXPECT_EQ(input->m_dLower, 0.0);

    Rtdb::instance().setFloat(limitVar, 7.5);
    Rtdb::instance().setFloat(floatVar, 1.0);
    start();
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(input->m_dUpper, 7.5);
    EXPECT_EQ(input->m_dLower, -2.5);
    EXPECT_TRUE(HostLog::instance().logs().empty());

    click("8");
    EXPECT_EQ(lastKeyboard().text3, "-2.5,7.5");
    expectNothingWritten();
    click("-3");
    expectNothingWritten();
    // Expression limits are compared as doubles only: no single-precision test.
    click("1e-40");
    expectFloatWrite(floatVar, 1e-40);
    Rtdb::instance().setFloat(floatVar, 1.0);
    click("7.5");
    expectFloatWrite(floatVar, 7.5);
}

TEST_F(AniInputTest, ConstantSideKeepsItsSinglePrecisionTest) {
    InputRecord record = Version11(Input(kNumeric, floatVar));
    record.upper = ProgramLimit("Lim");
    record.lower.value = -5.0f;
    make(record);
    Rtdb::instance().setFloat(limitVar, 5.0);
    Rtdb::instance().setFloat(floatVar, 1.0);
    input->Run(0);
    click("1e-40");
    expectNothingWritten();
    // The expression side compares the double itself.
    click("5.0000001");
    expectNothingWritten();
    click("4.5");
    expectFloatWrite(floatVar, 4.5);
}

TEST_F(AniInputTest, RefreshWithoutExpressionsRunsNothing) {
    make(Input(kNumeric, floatVar, 3.0f, 1.0f));
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(scriptRuns(), 0u);
    EXPECT_EQ(input->m_dUpper, 3.0);
    EXPECT_EQ(input->m_dLower, 1.0);
}

TEST_F(AniInputTest, FailingLimitExpressionLogsOnEveryRefresh) {
    InputRecord record = Version11(Input(kNumeric, floatVar));
    record.upper = ProgramLimit("Unset"); // no value: the program cannot run
    record.lower.value = 1.0f;
    make(record);
    input->m_dUpper = 42.0;
    start();
    for (int refresh = 1; refresh <= 3; ++refresh) {
        EXPECT_EQ(input->Run(0), 1);
        const auto& logs = HostLog::instance().logs();
        ASSERT_EQ(logs.size(), static_cast<size_t>(refresh));
        kvtest::expectLogLine(logs.back(), {"Run", "animation\\aniinput", 169, 1, "CDrawEdit",
                                            "script_SvrRunExpressFloat return erro!"});
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
    // The limit still takes the failed result's value, which this host gives as 0.
    EXPECT_EQ(input->m_dUpper, 0.0);
    EXPECT_EQ(input->m_dLower, 1.0);

    // Both sides failing log twice per refresh.
    input->m_bLowerExpr = 1;
    input->m_bufLower.assign(input->m_bufUpper.data(), input->m_bufUpper.length());
    start();
    input->Run(0);
    EXPECT_EQ(HostLog::instance().logs().size(), 2u);
}

TEST_F(AniInputTest, EmptyUpperProgramMeansNoUpperLimit) {
    InputRecord record = Version11(Input(kNumeric, floatVar));
    record.upper = ProgramLimit("");
    record.lower.value = 0.0f;
    make(record);
    EXPECT_EQ(input->m_bUpperExpr, 0);
    EXPECT_EQ(input->m_dUpper, DBL_MAX);
    Rtdb::instance().setFloat(floatVar, 1.0);
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(scriptRuns(), 0u);
    EXPECT_EQ(input->m_dUpper, DBL_MAX);

    click("1e30");
    EXPECT_EQ(lastKeyboard().text3, "0,1.79769e+308");
    expectFloatWrite(floatVar, 1e30);
    click("-1");
    expectNothingWritten();
    // The constant upper side still needs a finite single-precision value.
    click("1e300");
    expectNothingWritten();
}

// ---- synchronised values ----

TEST_F(AniInputTest, SyncSwitch) {
    Rtdb::instance().setInt(intVar, 0);
    make(Input(kSwitch, intVar));
    struct Case {
        int current;
        const char* text;
        std::optional<int> written;
    };
    const Case cases[] = {{0, "1", 1}, {1, "0", 0}, {1, "1", {}}, {0, "9", 1}, {0, "0", {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Rtdb::instance().setInt(intVar, c.current);
        sync(c.text);
        EXPECT_EQ(newKeyboards(), 0u);
        expectIntWriteOrNothing(intVar, c.written);
    }
    // Nothing synchronised: nothing happens.
    start();
    EXPECT_EQ(input->Run(5), 0);
    expectNothingWritten();

    // An unreadable variable is still written.
    make(Input(kSwitch, emptyInt));
    sync("4");
    expectIntWrite(emptyInt, 1);
}

TEST_F(AniInputTest, SyncString) {
    Rtdb::instance().setString(stringVar, "abc");
    make(Input(kString, stringVar));
    sync("abc");
    expectNothingWritten();
    sync("xyz");
    expectStringWrite(stringVar, "xyz");

    // Without the current value the text is compared with the empty one.
    input->m_bNoCurrentValue = 1;
    sync("xyz");
    expectStringWrite(stringVar, "xyz");
    sync("");
    expectNothingWritten();
    EXPECT_EQ(Gui::instance().keyboardCalls().size(), 0u);
}

TEST_F(AniInputTest, SyncNumeric) {
    Rtdb::instance().setInt(intVar, 5);
    make(Input(kNumeric, intVar, 10.0f, 0.0f));
    const IntegerCase cases[] = {{"7", 7}, {"11", {}}, {"5", {}}, {"3.9", 3}};
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE(c.entered);
        Rtdb::instance().setInt(intVar, 5);
        sync(c.entered);
        expectIntWriteOrNothing(intVar, c.written);
    }

    Rtdb::instance().setFloat(floatVar, 1.0);
    make(Input(kNumeric, floatVar, 10.0f, -10.0f));
    sync("1e-40");
    expectNothingWritten();
    sync("2.5");
    expectFloatWrite(floatVar, 2.5);
    // No keyboard, so no preset and no format copy either.
    EXPECT_EQ(Gui::instance().keyboardCalls().size(), 0u);
    EXPECT_EQ(input->m_bFormatCopied, 0);
}

TEST_F(AniInputTest, SyncOnlyLogsWithoutCurrentValueOrVariable) {
    Rtdb::instance().setFloat(floatVar, 1.0);
    InputRecord record = Input(kNumeric, floatVar);
    record.noCurrentValue = 1;
    make(record);
    sync("3");
    expectOnlyOperationLog();

    make(Input(kNumeric, -1));
    sync("3");
    expectOnlyOperationLog();

    // An unreadable numeric variable: nothing at all.
    make(Input(kNumeric, unsetFloat));
    sync("3");
    expectNothingWritten();
}

// ---- settings no record carries ----

TEST_F(AniInputTest, AlternativeModes) {
    struct Case {
        int var;
        int type;
        int altMode;
        int intStyle;
        int mode;
    };
    Rtdb::instance().setInt(intVar, 1);
    Rtdb::instance().setFloat(floatVar, 1.0);
    Rtdb::instance().setString(stringVar, "s");
    const Case cases[] = {
        {stringVar, kString, 1, -1, 1}, {floatVar, kNumeric, 1, -1, 4},
        {intVar, kNumeric, 1, -1, 5},   {intVar, kNumeric, 0, 1, 3},
        {intVar, kNumeric, 1, 1, 7},    {intVar, kNumeric, 0, 2, 2},
        {intVar, kSwitch, 1, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.altMode << " " << c.intStyle);
        make(Input(c.type, c.var));
        input->m_bAltMode = c.altMode;
        input->m_nIntKeyboardStyle = c.intStyle;
        click("1");
        ASSERT_EQ(newKeyboards(), 1u);
        EXPECT_EQ(lastKeyboard().mode, c.mode);
    }
}

TEST_F(AniInputTest, HexadecimalKeyboard) {
    Rtdb::instance().setInt(intVar, 26);
    make(Input(kNumeric, intVar));
    input->m_nIntKeyboardStyle = 2;
    click("0x1F");
    EXPECT_EQ(lastKeyboard().preset, "26");
    EXPECT_EQ(lastKeyboard().kind, 1);
    expectIntWrite(intVar, 31);
}

TEST_F(AniInputTest, CustomisedKeyboardAndDialogArguments) {
    Rtdb::instance().setInt(intVar, 0);
    make(Input(kSwitch, intVar));
    input->m_nKeyboardStyle = 1;
    input->m_nCustomSetting = 9;
    input->m_strCustomText1 = "A";
    input->m_strCustomText2 = "B";
    input->m_nDialogCode = 11;
    input->m_nDialogValue1 = 3;
    input->m_nDialogValue2 = 4;
    click("1");
    kvtest::expectKeyboardCall(lastKeyboard(),
                               {true, 2, "0", -1, "Enter", true, "A", true, "B", 9, 5, 3, 4});
    expectIntWrite(intVar, 1);

    // Same messages as the plain keyboard.
    refusedClick(37, "打开开关型键盘失败！");

    input->m_nKeyboardStyle = 0;
    input->m_nDialogCode = 10;
    click("0");
    EXPECT_FALSE(lastKeyboard().customised);
    EXPECT_EQ(lastKeyboard().code, 10);
    EXPECT_EQ(lastKeyboard().reserved, 0);
}

} // namespace
