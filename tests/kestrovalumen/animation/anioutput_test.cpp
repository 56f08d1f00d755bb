// Value output: the expression's value as the text of a text-kind owner, in the switch,
// numeric and string kinds, with the truncating decimal steps, the clamps kept between runs,
// the reuse of the last text, the failure reports and the settings no record carries.
#include "kestrovalumen/animation/anioutput.h"
#include "runtime/host/linguist.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"

#include <type_traits>

using kestro::HostLog;
using kestro::Rtdb;
using kestro::VarType;
using kvtest::ScriptResult;

namespace {

//! A text owner that ignores new texts, so that reading the text back shows no change.
class DeafOwner : public anitest::TextOwner {
public:
    void SetText(std::string) override { ++setTextCalls; }
};

class AniOutputTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        number = define("Val", VarType::Float);
        text = define("Txt", VarType::String);
    }

    //! An owner of the given kind holding one value output of the record, driven by source.
    template <class Owner = anitest::TextOwner>
    void make(kestro::OutputRecord record, const std::string& source, int kind = 2) {
        record.header.program = anitest::Program(source);
        kestro::ObjectRecord object = anitest::Record(0, 0, 120, 24);
        object.animations.push_back(kestro::animationEntry(record));
        if constexpr (std::is_same_v<Owner, anitest::TextOwner>) {
            owner = std::make_unique<Owner>(kind);
        } else {
            owner = std::make_unique<Owner>();
        }
        anitest::Load(*owner, object);
        owner->SetScriptHost(&host);
        output = anitest::Animation<CAniOutput>(*owner);
        ASSERT_NE(output, nullptr);
    }

    void makeNumber(int decimals, int intDigits) {
        kestro::OutputRecord record;
        record.outputType = 1;
        record.decimals = decimals;
        record.intDigits = intDigits;
        make(record, "Val");
    }

    void setNumber(double value) { Rtdb::instance().setFloat(number, value); }

    int number = -1;
    int text = -1;
    std::unique_ptr<anitest::TextOwner> owner;
    CAniOutput* output = nullptr;
};

// ---- events, owner kinds, attaching ----

TEST_F(AniOutputTest, OwnerOfAnotherKindOnlyGetsOne) {
    for (int kind : {0, 1, 3}) {
        SCOPED_TRACE(kind);
        kestro::OutputRecord record;
        record.outputType = 1;
        record.decimals = 2;
        record.intDigits = 5;
        make(record, "Val", kind);
        setNumber(2.0);
        EXPECT_EQ(output->Run(0), 1);
        EXPECT_EQ(output->Run(88888), 1);
        EXPECT_EQ(owner->setTextCalls, 0);
        // Nothing ran: no evaluation, no clamping of the stored settings.
        EXPECT_EQ(scriptRuns(), 0u);
        EXPECT_EQ(output->m_nIntDigits, 5);
        EXPECT_EQ(output->m_dLastValue, static_cast<double>(-923112.3f));
    }
}

TEST_F(AniOutputTest, PlainShapeOwnerGetsOne) {
    kestro::OutputRecord record;
    record.outputType = 2;
    record.header.program = anitest::Program("Txt");
    kestro::ObjectRecord object = anitest::Record(0, 0, 10, 10);
    object.animations.push_back(kestro::animationEntry(record));
    CDrawObj shape;
    anitest::Load(shape, object);
    EXPECT_EQ(shape.m_bAnimated, 1);
    EXPECT_TRUE(shape.Run(0));
    EXPECT_EQ(scriptRuns(), 0u);
}

TEST_F(AniOutputTest, InitObjMarksTheOwnerAnimatedAndANullOwnerKeepsTheFormerOne) {
    makeNumber(-1, 0);
    EXPECT_EQ(owner->m_bAnimated, 1);
    EXPECT_EQ(output->m_pDrawObj, owner.get());

    anitest::TextOwner other;
    output->InitObj(&other);
    EXPECT_EQ(output->m_pDrawObj, &other);
    EXPECT_EQ(other.m_bAnimated, 1);
    EXPECT_TRUE(kvtest::nothingReported());

    output->InitObj(nullptr);
    EXPECT_EQ(output->m_pDrawObj, &other);
    kvtest::expectMonitorOnly(22, "CAniOutput::InitObj failed！para is null!");

    // Unattached, even a forced update does nothing.
    CAniOutput detached;
    EXPECT_EQ(detached.Run(88888), 0);
    EXPECT_EQ(scriptRuns(), 0u);
}

// ---- switch kind ----

struct SwitchCase {
    double value;
    const char* shown;
};

TEST_F(AniOutputTest, SwitchChoosesByTheTruncatedValue) {
    kestro::OutputRecord record;
    record.offText = "Stop";
    record.onText = "Run";
    make(record, "Val");
    const SwitchCase cases[] = {
        {0.0, "Stop"}, {0.7, "Stop"}, {-0.9, "Stop"}, {1.0, "Run"},
        {-1.0, "Run"}, {2.5, "Run"},  {-3e9, "Run"},  {1e-300, "Stop"},
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(c.value);
        owner->presetText("old");
        setNumber(c.value);
        EXPECT_EQ(output->Run(0), 1);
        EXPECT_EQ(owner->text(), c.shown);
    }
}

TEST_F(AniOutputTest, SwitchUnchangedTextIsNotSetAgain) {
    kestro::OutputRecord record;
    record.offText = "Stop";
    record.onText = "Run";
    make(record, "Val");
    setNumber(1.0);
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->setTextCalls, 1);
    // Unchanged, also for a forced update.
    EXPECT_EQ(output->Run(0), 0);
    EXPECT_EQ(output->Run(88888), 0);
    EXPECT_EQ(owner->setTextCalls, 1);
    setNumber(0.0);
    EXPECT_EQ(output->Run(88888), 1);
    EXPECT_EQ(owner->text(), "Stop");
    EXPECT_EQ(owner->setTextCalls, 2);
}

TEST_F(AniOutputTest, SwitchEmptyTextsShowOffAndOn) {
    kestro::OutputRecord record;
    make(record, "Val");
    setNumber(0.0);
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "Off");
    setNumber(-4.0);
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "On");
}

TEST_F(AniOutputTest, SwitchTextsAreTranslatedAndNarrowed) {
    kestro::Linguist::instance().setText("en", "kOff", "Closed");
    // Characters outside Latin-1 do not survive the narrowing to 8 bits.
    kestro::Linguist::instance().setText("en", "kOn", "开A");
    kestro::Linguist::instance().setCurrentLanguage("en");
    kestro::OutputRecord record;
    record.offText = "kOff";
    record.onText = "kOn";
    make(record, "Val");
    setNumber(0.0);
    output->Run(0);
    EXPECT_EQ(owner->text(), "Closed");
    setNumber(1.0);
    output->Run(0);
    EXPECT_EQ(owner->text(), "?A");
}

// ---- numeric kind: fixed decimals ----

struct FixedCase {
    int decimals;
    double value;
    const char* shown;
};

TEST_F(AniOutputTest, FixedDecimalsAreTruncated) {
    const FixedCase cases[] = {
        {2, 3.14159, "3.14"},
        {2, -2.678, "-2.67"},
        {2, 2.678, "2.67"},
        {0, 12.9, "12"},
        {0, -12.9, "-12"},
        {3, 0.5, "0.500"},
        {1, 0.96, "0.9"},
        {2, 123456.789, "123456.78"},
        // The formatter's six decimals come first: they are rounded.
        {6, 1.23456789, "1.234568"},
        {5, 0.9999996, "1.00000"},
        {2, 1e-7, "0.00"},
        // A value that prints as zero keeps its sign.
        {2, -0.001, "-0.00"},
        {2, -1e-7, "-0.00"}, // "-0.000000" from the formatter
        {4, -0.0, "0.0000"},
        {2, 0.0, "0.00"},
        // Decimals above six are cut to six.
        {9, 2.5, "2.500000"},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.decimals << " " << c.value);
        makeNumber(c.decimals, 3);
        owner->presetText("x");
        setNumber(c.value);
        EXPECT_EQ(output->Run(0), 1);
        EXPECT_EQ(owner->text(), c.shown);
        EXPECT_EQ(output->m_strLastText.str(), c.shown);
        EXPECT_EQ(output->m_dLastValue, c.value);
        // The record's integer digits give way to one digit without leading zeros; decimals
        // above six are stored back as six.
        EXPECT_EQ(output->m_nIntDigits, 1);
        EXPECT_EQ(output->m_nDecimals, c.decimals > 6 ? 6 : c.decimals);
    }
}

TEST_F(AniOutputTest, DecimalsBelowMinusOneTurnAutomaticAfterTheFirstValue) {
    makeNumber(-5, 3);
    setNumber(3.14159);
    output->Run(0);
    // First value: fixed formatting with the clamp to -1, so the six formatter decimals stay.
    EXPECT_EQ(owner->text(), "3.141590");
    EXPECT_EQ(output->m_nDecimals, -1);
    EXPECT_EQ(output->m_nIntDigits, 1);
    // Later values: automatic precision with the one digit left by the first run.
    setNumber(2.71828);
    output->Run(0);
    EXPECT_EQ(owner->text(), "3");
    setNumber(-0.04);
    output->Run(0);
    EXPECT_EQ(owner->text(), "-0.04");
}

TEST_F(AniOutputTest, LargeAndTinyFixedValues) {
    makeNumber(1, 1);
    setNumber(1e20);
    output->Run(0);
    EXPECT_EQ(owner->text(), "100000000000000000000.0");
    setNumber(-2147483649.25);
    output->Run(0);
    EXPECT_EQ(owner->text(), "-2147483649.2");
}

// ---- numeric kind: automatic precision ----

struct AutoCase {
    int intDigits;
    double value;
    const char* shown;
    int storedDigits;
};

TEST_F(AniOutputTest, AutomaticPrecision) {
    const AutoCase cases[] = {
        {4, 3.14159, "3.142", 4},
        {1, 3.14159, "3", 1},
        {2, 0.000123, "0.00012", 2},
        {3, 123456.0, "1.23e+05", 3},
        {16, 1.0 / 3.0, "0.3333333333333333", 16},
        {16, 0.1, "0.1", 16}, // no trailing zeros in this form
        {0, 3.14159, "3.14159", 0},
        {0, 1234567.0, "1.23457e+06", 0},
        {17, 3.14159, "3.14159", 0},
        {100, 2.0, "2", 0},
        {-3, 0.5, "0.5", 0},
    };
    for (const AutoCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.intDigits << " " << c.value);
        makeNumber(-1, c.intDigits);
        setNumber(c.value);
        output->Run(0);
        EXPECT_EQ(owner->text(), c.shown);
        EXPECT_EQ(output->m_nIntDigits, c.storedDigits);
        EXPECT_EQ(output->m_nDecimals, -1);
    }
}

// ---- numeric kind: last value and results ----

TEST_F(AniOutputTest, FirstValueEqualToTheInitialLastValueShowsTheEmptyText) {
    makeNumber(2, 1);
    setNumber(-923112.3125);
    EXPECT_EQ(output->Run(0), 0); // empty before, empty after
    EXPECT_EQ(owner->setTextCalls, 1);
    EXPECT_EQ(owner->text(), "");

    owner->presetText("12.00");
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "");

    // The nearest double to -923112.3 is another value and is formatted.
    setNumber(-923112.3);
    output->Run(0);
    EXPECT_EQ(owner->text(), "-923112.30");
}

TEST_F(AniOutputTest, UnchangedValueReusesTheLastText) {
    makeNumber(2, 1);
    setNumber(4.5);
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "4.50");
    // The same value is not formatted again: the stored text is shown as it is.
    output->m_strLastText = "kept";
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "kept");
    EXPECT_EQ(owner->setTextCalls, 2);
    // Unchanged text: handed over again, but no redraw on refresh.
    EXPECT_EQ(output->Run(0), 0);
    EXPECT_EQ(owner->setTextCalls, 3);
    // A forced update always asks for a redraw.
    EXPECT_EQ(output->Run(88888), 1);
    EXPECT_EQ(owner->setTextCalls, 4);
}

TEST_F(AniOutputTest, RefreshResultComesFromTheTextReadBack) {
    kestro::OutputRecord record;
    record.outputType = 1;
    record.decimals = 1;
    make<DeafOwner>(record, "Val");
    setNumber(7.25);
    EXPECT_EQ(output->Run(0), 0);
    EXPECT_EQ(owner->setTextCalls, 1);
    setNumber(8.0);
    EXPECT_EQ(output->Run(88888), 1);
    EXPECT_EQ(owner->setTextCalls, 2);
}

// ---- string kind ----

TEST_F(AniOutputTest, StringShowsTheTextUnchanged) {
    kestro::OutputRecord record;
    record.outputType = 2;
    record.decimals = 3; // no meaning for strings, but still replaces the integer digits
    make(record, "Txt");
    Rtdb::instance().setString(text, "  Pump A\r\n");
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "  Pump A\r\n");
    EXPECT_EQ(output->Run(0), 0);
    EXPECT_EQ(output->Run(88888), 0);
    EXPECT_EQ(owner->setTextCalls, 1);
    Rtdb::instance().setString(text, "");
    EXPECT_EQ(output->Run(88888), 1);
    EXPECT_EQ(owner->text(), "");
    EXPECT_EQ(output->m_nIntDigits, 1);
}

TEST_F(AniOutputTest, StringOfANumberIsTheEngineText) {
    kestro::OutputRecord record;
    record.outputType = 7;
    make(record, "Val * 2");
    setNumber(1.25);
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "2.5");
}

TEST_F(AniOutputTest, StringForcedUpdateDoesNotReadBack) {
    kestro::OutputRecord record;
    record.outputType = 2;
    make<DeafOwner>(record, "Txt");
    Rtdb::instance().setString(text, "abc");
    EXPECT_EQ(output->Run(0), 0); // set, but the owner still shows the old text
    EXPECT_EQ(owner->setTextCalls, 1);
    EXPECT_EQ(output->Run(88888), 1);
    EXPECT_EQ(owner->setTextCalls, 2);
}

// ---- failures ----

struct FailureCase {
    int outputType;
    int radix;
    int code;
    const char* message;
    int line;
    const char* text;
};

TEST_F(AniOutputTest, FailedEvaluationReportsByKind) {
    const FailureCase cases[] = {
        {0, -1, 41, "CAniOutput--script_SvrRunExpressFloat retrun error!", 212,
         "script_SvrRunExpressFloat retrun error!"},
        {1, -1, 43, "CAniOutput--script_SvrRunExpressFloat retrun error!", 251,
         "script_SvrRunExpressFloat retrun error!"},
        {2, -1, 44, "CAniOutput--script_SvrRunExpressStr retrun error!", 318,
         "script_SvrRunExpressStr retrun error!"},
        {-4, -1, 44, "CAniOutput--script_SvrRunExpressStr retrun error!", 318,
         "script_SvrRunExpressStr retrun error!"},
        {1, 1, 42, "CAniOutput--script_SvrRunExpressInt retrun error!", 226,
         "script_SvrRunExpressInt retrun error!"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outputType << " " << c.radix);
        HostLog::instance().clear();
        kestro::OutputRecord record;
        record.outputType = c.outputType;
        record.decimals = 2;
        make(record, "Val");
        output->m_nRadix = c.radix;
        owner->presetText("before");
        // Val has no value yet: the engine cannot run the program.
        EXPECT_EQ(output->Run(0), 0);
        EXPECT_EQ(output->Run(88888), 0);
        EXPECT_EQ(owner->text(), "before");
        EXPECT_EQ(owner->setTextCalls, 0);
        EXPECT_EQ(output->m_dLastValue, static_cast<double>(-923112.3f));

        // One report per run, the second like the first.
        EXPECT_EQ(kvtest::monitorCodes(), (std::vector<int>{c.code, c.code}));
        ASSERT_EQ(HostLog::instance().logs().size(), 2u);
        HostLog::instance().clear();
        output->Run(0);
        kvtest::expectFault(c.code, c.message,
                            {"Run", "animation\\anioutput", c.line, 2, "CAniOutput", c.text});
    }
}

TEST_F(AniOutputTest, FailureKeepsTheLastValue) {
    makeNumber(1, 1);
    setNumber(3.0);
    output->Run(0);
    kvtest::queueScriptResult(ScriptResult::failure());
    EXPECT_EQ(output->Run(88888), 0);
    EXPECT_EQ(output->m_dLastValue, 3.0);
    EXPECT_EQ(output->m_strLastText.str(), "3.0");
    EXPECT_EQ(owner->setTextCalls, 1);
}

// ---- settings no record carries ----

TEST_F(AniOutputTest, LeadingZeroKeepsTheIntegerDigits) {
    const FixedCase cases[] = {
        {2, 3.14159, "0003.14"},
        {2, -3.5, "-0003.50"},
        {0, 7.9, "0007"},
        {1, 12345.67, "12345.6"},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(c.value);
        makeNumber(c.decimals, 4);
        output->m_bLeadingZero = 1;
        setNumber(c.value);
        output->Run(0);
        EXPECT_EQ(owner->text(), c.shown);
        EXPECT_EQ(output->m_nIntDigits, 4);
    }
}

TEST_F(AniOutputTest, IntegerDigitsAreClampedForFixedDecimals) {
    makeNumber(1, 40);
    output->m_bLeadingZero = 1;
    setNumber(2.0);
    output->Run(0);
    EXPECT_EQ(output->m_nIntDigits, 16);
    EXPECT_EQ(owner->text(), "0000000000000002.0");

    makeNumber(1, -7);
    output->m_bLeadingZero = 1;
    setNumber(2.0);
    output->Run(0);
    EXPECT_EQ(output->m_nIntDigits, 1);
    EXPECT_EQ(owner->text(), "2.0");
}

TEST_F(AniOutputTest, RoundingFormatsInOneStep) {
    const FixedCase cases[] = {
        {2, 2.678, "2.68"},
        {2, -2.678, "-2.68"},
        {0, 12.6, "13"},
        {3, 0.0004, "0.000"},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(c.value);
        makeNumber(c.decimals, 1);
        output->m_bRound = 1;
        setNumber(c.value);
        output->Run(0);
        EXPECT_EQ(owner->text(), c.shown);
    }
    // With leading zeros the width covers the integer digits.
    makeNumber(2, 3);
    output->m_bRound = 1;
    output->m_bLeadingZero = 1;
    setNumber(-1.005);
    output->Run(0);
    EXPECT_EQ(owner->text(), "-001.00"); // -1.005 is stored just below -1.005
}

TEST_F(AniOutputTest, PasswordMasksEveryCharacter) {
    kestro::OutputRecord record;
    record.outputType = 2;
    make(record, "Txt");
    output->m_bPassword = 1;
    // A byte of 0x80 or above and the next one make one character.
    Rtdb::instance().setString(text, "a\xD6\xD0"
                                     "b\xC1");
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "****");

    makeNumber(2, 1);
    output->m_bPassword = 1;
    setNumber(-1.5);
    output->Run(0);
    EXPECT_EQ(owner->text(), "*****");
    EXPECT_EQ(output->m_strLastText.str(), "*****");
}

TEST_F(AniOutputTest, UnitIsTranslatedWithoutLineBreaks) {
    kestro::Linguist::instance().setText("zh", "kUnit",
                                         "\xC2\xB0"
                                         "C\r\n/h");
    kestro::Linguist::instance().setCurrentLanguage("zh");
    makeNumber(1, 1);
    output->m_bShowUnit = 1;
    output->m_strUnit = "kUnit";
    setNumber(2.5);
    output->Run(0);
    EXPECT_EQ(owner->text(), "2.5\xC2\xB0"
                             "C/h");
    EXPECT_EQ(output->m_strLastText.str(), "2.5");
    // The reused text gets the unit too.
    output->Run(0);
    EXPECT_EQ(owner->text(), "2.5\xC2\xB0"
                             "C/h");

    // Without the flag the unit stays away.
    output->m_bShowUnit = 0;
    output->Run(0);
    EXPECT_EQ(owner->text(), "2.5");
}

struct RadixCase {
    int radix;
    int intDigits;
    int decimals;
    double value;
    const char* shown;
};

TEST_F(AniOutputTest, IntegerDisplays) {
    const RadixCase cases[] = {
        {0, 4, 2, 42.9, "0042.00"},
        {0, 1, 0, -42.9, "-42"},
        {0, 20, -1, 5.0, "0000000000000005"},
        {0, 3, 9, 7.0, "007.000000"},
        {1, 4, -1, 255.7, "0x00FF"},
        {1, 1, -1, 255.0, "0xFF"},
        {1, 12, -1, 1.0, "0x00000001"},
        {1, 2, -1, -1.0, "0xFFFFFFFF"},
        {2, 8, -1, 5.0, "00000101"},
        {2, 1, -1, 0.0, "0"},
        {2, 0, -1, 6.0, "110"},
    };
    for (const RadixCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.radix << " " << c.intDigits << " " << c.value);
        makeNumber(c.decimals, c.intDigits);
        output->m_nRadix = c.radix;
        output->m_bLeadingZero = 1;
        setNumber(c.value);
        output->Run(0);
        EXPECT_EQ(owner->text(), c.shown);
    }
}

TEST_F(AniOutputTest, IntegerDisplayProgramWord) {
    makeNumber(-1, 0);
    output->m_nRadix = 2;
    const unsigned char zeroWord[] = {0, 0, 0, 0, 9, 8};
    output->m_bufExpress.assign(zeroWord, sizeof zeroWord);
    output->InitObj(owner.get());
    const unsigned char* bytes = output->m_bufExpress.data();
    ASSERT_EQ(output->m_bufExpress.length(), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 6),
              std::string("\x01\x00\x00\x00\x09\x08", 6));

    // Four bytes, or a nonzero first word, stay as they are.
    const unsigned char shortWord[] = {0, 0, 0, 0};
    output->m_bufExpress.assign(shortWord, sizeof shortWord);
    output->InitObj(owner.get());
    EXPECT_EQ(output->m_bufExpress.data()[0], 0);
    const unsigned char otherWord[] = {0, 2, 0, 0, 1};
    output->m_bufExpress.assign(otherWord, sizeof otherWord);
    output->InitObj(owner.get());
    EXPECT_EQ(output->m_bufExpress.data()[0], 0);
    EXPECT_EQ(output->m_bufExpress.data()[1], 2);

    // Without an integer display the program is left alone.
    output->m_nRadix = -1;
    output->m_bufExpress.assign(zeroWord, sizeof zeroWord);
    output->InitObj(owner.get());
    EXPECT_EQ(output->m_bufExpress.data()[0], 0);
}

} // namespace
