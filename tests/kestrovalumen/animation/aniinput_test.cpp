// Value input: keyboards, checks of what is entered or synchronised, write-back, limit programs.
#include "kestrovalumen/animation/aniinput.h"
#include "kestrovalumen/animation/anioutput.h"
#include "runtime/host/gui.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/keyboard.h"
#include "tests/support/obarray.h"

#include <iomanip>
#include <sstream>

using kestro::Gui;
using kestro::HostLog;
using kestro::InputRecord;
using kestro::Rtdb;
using kestro::VarType;

namespace {

enum Type { kSwitch, kNumeric, kString };
enum Var { I, F, S, NoValue, Unset, Missing, None };

class AniInputTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        vars[I] = define("I", VarType::Int);
        vars[F] = define("F", VarType::Float);
        vars[S] = define("S", VarType::String);
        vars[NoValue] = define("NoValue", VarType::Int);
        vars[Unset] = define("Unset", VarType::Float);
    }

    static InputRecord record(int type, Var var, float upper = 0, float lower = 0,
                              int noCurrentValue = 0, int version = 10) {
        const kestro::AnimationHeader header{kestro::AnimationHeader::Form::Current,
                                             static_cast<uint8_t>(version), "", ""};
        return {
            header, type,           "Enter", "Open", "Shut", {false, upper, ""}, {false, lower, ""},
            var,    noCurrentValue, 0,       0};
    }

    //! An owner with an operation-log text (unless withoutLog), the input and more animations;
    //! the input's variable holds current (a text variable "Alpha").
    void make(InputRecord r, double current = 0, std::vector<kestro::AnimationEntry> more = {},
              bool withoutLog = false) {
        r.varId = vars[r.varId];
        Rtdb::instance().setInt(vars[I], static_cast<int>(current));
        Rtdb::instance().setFloat(vars[F], current);
        Rtdb::instance().setString(vars[S], "Alpha");
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

    void click(const std::string& text, bool opens = true) {
        start();
        Gui::instance().queueKeyboardAnswer({opens, text});
        EXPECT_EQ(input->Run(11111), 1);
    }

    size_t newKeyboards() const { return Gui::instance().keyboardCalls().size() - callsBefore; }
    const kestro::KeyboardCall& keyboard() const { return Gui::instance().keyboardCalls().back(); }

    //! Since start(): "kb" per keyboard opened, "log" per operation-log entry of the owner, and
    //! each write as i, f or s (the kind of setter) with its value and, when it is not the
    //! input's variable, "@" and the index.
    std::string effects() const {
        std::ostringstream out;
        out << std::setprecision(9);
        for (size_t i = callsBefore; i < Gui::instance().keyboardCalls().size(); ++i) {
            out << "kb ";
        }
        const auto& log = Gui::instance().operationLog();
        for (size_t i = logsBefore; i < log.size(); ++i) {
            const bool ours = log[i].object == owner.get() && log[i].code == 5;
            out << (ours && log[i].text == "OpKey" ? "log " : "other log ");
        }
        for (const auto& w : Rtdb::instance().writes()) {
            if (w.setter == VarType::Int) {
                out << 'i' << w.intValue;
            } else if (w.setter == VarType::Float) {
                out << 'f' << w.floatValue;
            } else {
                out << 's' << w.text;
            }
            if (w.index != input->m_nVarId) {
                out << '@' << w.index;
            }
            out << ' ';
        }
        std::string text = out.str();
        return text.empty() ? text : text.substr(0, text.size() - 1);
    }

    int vars[7] = {-1, -1, -1, -1, -1, 999, -1};
    std::unique_ptr<CDrawObj> owner;
    CAniInput* input = nullptr;
    size_t logsBefore = 0, callsBefore = 0;
};

TEST_F(AniInputTest, WhatIsEnteredOrSynchronisedIsWrittenWhenNewAndInRange) {
    struct Case {
        int type;
        Var var;
        double current;
        float upper, lower;
        int noCurrentValue;
        const char* entered;
        const char* effects;
        bool synchronised = false; // by event 5, without a keyboard
    };
    // clang-format off
    const Case cases[] = {
        // Switch: 0 for a text that reads as 0, else 1; nothing when the text is the current one.
        {kSwitch, I, 3, 0, 0, 0, "7", "kb log i1"}, {kSwitch, I, 3, 0, 0, 0, "abc", "kb log i0"},
        {kSwitch, I, 3, 0, 0, 0, "3", "kb"}, {kSwitch, I, 0, 0, 0, 0, "", "kb log i0"},
        {kSwitch, I, 1, 0, 0, 0, " 1", "kb log i1"}, {kSwitch, I, 1, 0, 0, 0, "0.9", "kb log i0"},
        // Integers within 10..100 (limits given either way round), truncated.
        {kNumeric, I, 20, 100, 10, 0, "50", "kb log i50"}, {kNumeric, I, 20, 10, 100, 0, "5", "kb"},
        {kNumeric, I, 20, 100, 10, 0, "101", "kb"}, {kNumeric, I, 20, 100, 10, 0, "100", "kb log i100"},
        {kNumeric, I, 20, 100, 10, 0, "10", "kb log i10"}, {kNumeric, I, 20, 100, 10, 0, "9.99", "kb"},
        {kNumeric, I, 20, 100, 10, 0, "100.5", "kb"}, {kNumeric, I, 20, 100, 10, 0, "20.0", "kb"},
        {kNumeric, I, 20, 100, 10, 0, "20.5", "kb log i20"}, {kNumeric, I, 20, 100, 10, 0, "abc", "kb"},
        // Equal limits: any value that fits in 32 bits.
        {kNumeric, I, 7, 0, 0, 0, "2147483647.5", "kb"}, {kNumeric, I, 7, 42, 42, 0, "-2147483648.5", "kb"},
        {kNumeric, I, 7, 0, 0, 0, "2147483647", "kb log i2147483647"},
        {kNumeric, I, 7, 42, 42, 0, "-2147483648", "kb log i-2147483648"},
        {kNumeric, I, 7, 0, 0, 0, "-12.7", "kb log i-12"}, {kNumeric, I, 7, 0, 0, 0, "abc", "kb log i0"},
        {kNumeric, I, 7, 42, 42, 0, "7", "kb"},
        // Decimals within -5..5 in single precision.
        {kNumeric, F, 1.5, -5, 5, 0, "1e-40", "kb"}, {kNumeric, F, 1.5, -5, 5, 0, "-5", "kb log f-5"},
        {kNumeric, F, 1.5, -5, 5, 0, "5.0000001", "kb log f5.0000001"}, // 5 as a float
        {kNumeric, F, 1.5, -5, 5, 0, "5.000001", "kb"}, {kNumeric, F, 1.5, -5, 5, 0, "-5.1", "kb"},
        {kNumeric, F, 1.5, -5, 5, 0, "1e39", "kb"}, {kNumeric, F, 1.5, -5, 5, 0, "1.5", "kb"},
        {kNumeric, F, 1.5, -5, 5, 0, "1.2e-38", "kb log f1.2e-38"}, {kNumeric, F, 1.5, -5, 5, 0, "1.1e-38", "kb"},
        // Equal decimal limits are not checked at all.
        {kNumeric, F, 1.5, 2, 2, 0, "1e-40", "kb log f1e-40"}, {kNumeric, F, 1.5, 2, 2, 0, "1e300", "kb log f1e+300"},
        {kString, S, 0, 0, 0, 0, "Alpha", "kb"}, {kString, S, 0, 0, 0, 0, "Alph", "kb log sAlph"},
        {kString, S, 0, 0, 0, 0, "", "kb log s"},
        // Without the current value a text is compared with the empty one; a number is not asked.
        {kString, S, 0, 0, 0, 1, "", "kb"}, {kString, S, 0, 0, 0, 1, "Alpha", "kb log sAlpha"},
        {kNumeric, F, 1, 0, 0, 1, "2", "log"},
        // Without a variable, or of another kind: only the operation log.
        {kNumeric, None, 0, 0, 0, 0, "0", "log"}, {3, I, 1, 0, 0, 0, "0", "log"},
        {-2, I, 1, 0, 0, 0, "0", "log"},
        // Variables that cannot be read open nothing.
        {kSwitch, NoValue, 0, 0, 0, 0, "1", ""}, {kSwitch, F, 1, 0, 0, 0, "1", ""},
        {kSwitch, Missing, 0, 0, 0, 0, "1", ""}, {kNumeric, Unset, 0, 0, 0, 0, "1", ""},
        {kSwitch, I, 1, 0, 0, 0, "0", "log i0", true}, {kSwitch, I, 1, 0, 0, 0, "1", "", true},
        {kSwitch, NoValue, 0, 0, 0, 0, "4", "log i1", true}, // written although it cannot be read
        {kString, S, 0, 0, 0, 0, "Alpha", "", true}, {kString, S, 0, 0, 0, 0, "xyz", "log sxyz", true},
        {kString, S, 0, 0, 0, 1, "Alpha", "log sAlpha", true}, {kString, S, 0, 0, 0, 1, "", "", true},
        {kNumeric, I, 5, 10, 0, 0, "11", "", true}, {kNumeric, I, 5, 10, 0, 0, "3.9", "log i3", true},
        {kNumeric, F, 1, 10, -10, 0, "1e-40", "", true}, {kNumeric, F, 1, 0, 0, 1, "3", "log", true},
        {kNumeric, None, 0, 0, 0, 0, "3", "log", true}, {kNumeric, Unset, 0, 0, 0, 0, "3", "", true},
    };
    // clang-format on
    make(record(kSwitch, I), 1, {}, /*withoutLog=*/true);
    click("0");
    EXPECT_EQ(effects(), "kb i0");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.type << " " << c.var << " " << c.current << " '" << c.entered << "'");
        make(record(c.type, c.var, c.upper, c.lower, c.noCurrentValue), c.current);
        if (c.synchronised) {
            start();
            Gui::instance().queueSyncText(c.entered);
            EXPECT_EQ(input->Run(5), 0);
        } else {
            click(c.entered);
        }
        EXPECT_EQ(effects(), c.effects);
        EXPECT_TRUE(HostLog::instance().monitor().empty());
    }
    // A synchronised value waits for event 5.
    make(record(kSwitch, I), 1);
    start();
    Gui::instance().queueSyncText("0");
    for (int event : {-1, 1, 2, 3, 4, 6, 88888, 11112}) {
        EXPECT_EQ(input->Run(event), 0) << event;
    }
    EXPECT_EQ(effects(), "");
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
        {record(kNumeric, F, 2.5f, -0.125f), 1234567.0,
         {false, 1, "1.23457e+06", 0, "Enter", false, "", true, "-0.125,2.5", 0, 0, 0, 0}},
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
    make(record(kString, S));
    Rtdb::instance().setString(vars[S], std::string(2000, 'q'));
    click("short");
    EXPECT_EQ(keyboard().preset, std::string(1023, 'q'));
    // Without the current value the variable is not read at all.
    make(record(kString, Unset, 0, 0, 1, 11));
    click("x");
    EXPECT_EQ(keyboard().preset, "");

    // Settings no record carries: the alternative mode and the integer keyboard's style.
    struct Setting {
        int type;
        Var var;
        int altMode, intStyle, mode;
    };
    const Setting settings[] = {
        {kString, S, 1, -1, 1}, {kNumeric, F, 1, -1, 4}, {kNumeric, I, 1, -1, 5},
        {kNumeric, I, 0, 1, 3}, {kNumeric, I, 1, 1, 7},  {kNumeric, I, 0, 2, 2},
        {kSwitch, I, 1, 1, -1},
    };
    for (const Setting& s : settings) {
        SCOPED_TRACE(testing::Message() << s.type << " " << s.altMode << " " << s.intStyle);
        make(record(s.type, s.var), 1);
        input->m_bAltMode = s.altMode;
        input->m_nIntKeyboardStyle = s.intStyle;
        click("1");
        EXPECT_EQ(keyboard().mode, s.mode);
    }
    // The hexadecimal keyboard reads what is entered in base 16.
    make(record(kNumeric, I), 26);
    input->m_nIntKeyboardStyle = 2;
    click("0x1F");
    EXPECT_EQ(keyboard().preset, "26");
    EXPECT_EQ(effects(), "kb log i31");
}

TEST_F(AniInputTest, KeyboardsThatDoNotOpenAreReported) {
    struct Case {
        int type;
        Var var;
        int intStyle, keyboardStyle, code;
        const char* message;
    };
    const Case cases[] = {
        {kSwitch, I, 0, 0, 37, "打开开关型键盘失败！"},
        {kSwitch, I, 0, 1, 37, "打开开关型键盘失败！"}, // customised
        {kString, S, 0, 0, 40, "打开字符型键盘失败！"},
        {kNumeric, I, 0, 0, 38, "打开整型键盘失败！"},
        {kNumeric, I, 2, 0, 38, "打开十六进制键盘失败！"},
        {kNumeric, F, 0, 0, 39, "打开数值型键盘失败！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        make(record(c.type, c.var), 1);
        input->m_nIntKeyboardStyle = c.intStyle;
        input->m_nKeyboardStyle = c.keyboardStyle;
        click("", /*opens=*/false);
        EXPECT_EQ(newKeyboards(), 1u);
        EXPECT_EQ(effects(), "kb");
        kvtest::expectMonitorOnly(c.code, c.message);
    }
}

TEST_F(AniInputTest, DecimalPresetFromTheFirstValueOutput) {
    auto outputWith = [](int decimals) {
        return kestro::animationEntry(kestro::OutputRecord{{}, "", "", 1, decimals, 0, 0});
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
    }
    // An output constructed and added later counts as well.
    auto* output = new CAniOutput; // owned by the object from here on
    output->m_nDecimals = 3;
    kvtest::append(owner->m_arrayAnimate, output);
    Rtdb::instance().setFloat(vars[F], 2.5);
    click("1");
    EXPECT_EQ(keyboard().preset, "2.500");
}

kestro::InputLimit programLimit(const std::string& source) {
    return {true, 0, source.empty() ? std::string() : anitest::Program(source)};
}

TEST_F(AniInputTest, LimitExpressionsAreRefreshed) {
    InputRecord r = record(kNumeric, F, 0, 0, 0, 11);
    r.upper = programLimit("Level");
    r.lower = programLimit("Level - 10");
    make(r, 1.0);
    set(level, 7.5);
    start();
    EXPECT_EQ(input->Run(0), 1);
    EXPECT_EQ(input->m_dLower, -2.5);
    EXPECT_TRUE(HostLog::instance().logs().empty());
    // Expression limits are compared as doubles only: no single-precision test.
    const std::pair<const char*, const char*> entries[] = {
        {"8", "kb"}, {"-3", "kb"}, {"1e-40", "kb log f1e-40"}, {"7.5", "kb log f7.5"}};
    for (const auto& [entered, outcome] : entries) {
        SCOPED_TRACE(entered);
        Rtdb::instance().setFloat(vars[F], 1.0);
        click(entered);
        EXPECT_EQ(keyboard().text3, "-2.5,7.5");
        EXPECT_EQ(effects(), outcome);
    }
    // A failing program is logged on every refresh; the limit takes the failed result's value,
    // which this host gives as 0.
    r = record(kNumeric, F, 0, 1, 0, 11);
    r.upper = programLimit("Unset");
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
    EXPECT_EQ(input->m_dUpper, 0.0);
    EXPECT_EQ(input->m_dLower, 1.0);
}

} // namespace
