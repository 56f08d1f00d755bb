// Value output: the expression's value as the text of a text-kind owner.
#include "kestrovalumen/animation/anioutput.h"
#include "runtime/host/linguist.h"
#include "tests/kestrovalumen/animation/anitestsupport.h"
#include "tests/support/streamtestutil.h"

#include <climits>

using kestro::HostLog;
using kestro::Rtdb;
using kestro::VarType;

namespace {

constexpr int kAny = INT_MIN; // in the tables: not checked

class AniOutputTest : public anitest::AnimationTest {
protected:
    void SetUp() override {
        AnimationTest::SetUp();
        text = define("Txt", VarType::String);
    }

    void make(int outputType, const std::string& source, int decimals = -1, int intDigits = 0) {
        const kestro::OutputRecord record{{}, offText, onText, outputType, decimals, intDigits, 0};
        owner = std::make_unique<anitest::TextOwner>();
        output = attach<CAniOutput>(*owner, anitest::Record(0, 0, 120, 24),
                                    {anitest::Entry(record, source)});
    }

    std::string offText = "Stop", onText = "Run";
    int text = -1;
    std::unique_ptr<anitest::TextOwner> owner;
    CAniOutput* output = nullptr;
};

TEST_F(AniOutputTest, SwitchChoosesByTheTruncatedValue) {
    struct Step {
        double value;
        int event;
        int result;
        const char* shown;
    };
    // An unchanged text is not set again, also for a forced update (88888).
    const Step steps[] = {
        {0.0, 0, 1, "Stop"},        {0.7, 0, 0, "Stop"}, {-0.9, 0, 0, "Stop"},
        {1.0, 0, 1, "Run"},         {-1.0, 0, 0, "Run"}, {2.5, 88888, 0, "Run"},
        {1e-300, 88888, 1, "Stop"}, {-3e9, 0, 1, "Run"},
    };
    make(0, "Level");
    int changes = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value);
        set(level, step.value);
        EXPECT_EQ(output->Run(step.event), step.result);
        EXPECT_EQ(owner->text(), step.shown);
        EXPECT_EQ(owner->setTextCalls, changes += step.result);
    }
    // An empty on text shows On; texts are translated and narrowed to 8 bits.
    offText = onText = "";
    make(0, "Level");
    set(level, -4.0);
    output->Run(0);
    EXPECT_EQ(owner->text(), "On");
    kestro::Linguist::instance().setText("en", "kOff", "Closed");
    kestro::Linguist::instance().setText("en", "kOn", "开A");
    kestro::Linguist::instance().setCurrentLanguage("en");
    offText = "kOff";
    onText = "kOn";
    make(0, "Level");
    output->Run(0);
    EXPECT_EQ(owner->text(), "?A");
    set(level, 0.0);
    output->Run(0);
    EXPECT_EQ(owner->text(), "Closed");
}

TEST_F(AniOutputTest, NumbersByTheSettings) {
    struct Case {
        int decimals, intDigits;
        double value;
        const char* shown;
        int storedDigits, storedDecimals;
        int radix = -1;
        bool leadingZero = false, round = false;
    };
    // Fixed decimals are truncated after the formatter's six (which round); digits beyond 16 and
    // decimals beyond 6 are clamped. Without leading zeros the record's integer digits give way
    // to one digit. Automatic precision (-1) takes the integer digits as significant digits.
    // clang-format off
    const Case cases[] = {
        {2, 3, 3.14159, "3.14", 1, 2}, {2, 3, -2.678, "-2.67", 1, 2}, {0, 3, -12.9, "-12", 1, 0},
        {3, 3, 0.5, "0.500", 1, 3}, {1, 3, 0.96, "0.9", 1, 1}, {2, 3, 123456.789, "123456.78", 1, 2},
        {6, 3, 1.23456789, "1.234568", 1, 6}, {5, 3, 0.9999996, "1.00000", 1, 5},
        {2, 3, 1e-7, "0.00", 1, 2}, {2, 3, -0.001, "-0.00", 1, 2}, {2, 3, -1e-7, "-0.00", 1, 2},
        {4, 3, -0.0, "0.0000", 1, 4}, {9, 3, 2.5, "2.500000", 1, 6},
        {1, 1, 1e20, "100000000000000000000.0", 1, 1}, {1, 1, -2147483649.25, "-2147483649.2", 1, 1},
        {-1, 4, 3.14159, "3.142", 4, -1}, {-1, 1, 3.14159, "3", 1, -1},
        {-1, 2, 0.000123, "0.00012", 2, -1}, {-1, 3, 123456.0, "1.23e+05", 3, -1},
        {-1, 16, 1.0 / 3.0, "0.3333333333333333", 16, -1}, {-1, 16, 0.1, "0.1", 16, -1},
        {-1, 0, 1234567.0, "1.23457e+06", 0, -1}, {-1, 17, 3.14159, "3.14159", 0, -1},
        {-1, -3, 0.5, "0.5", 0, -1},
        // Decimals below -1: fixed the first time with the clamp to -1, automatic after.
        {-5, 3, 3.14159, "3.141590", 1, -1},
        {2, 4, 3.14159, "0003.14", 4, 2, -1, true}, {2, 4, -3.5, "-0003.50", 4, 2, -1, true},
        {0, 4, 7.9, "0007", 4, 0, -1, true}, {1, 4, 12345.67, "12345.6", 4, 1, -1, true},
        {1, 40, 2.0, "0000000000000002.0", 16, 1, -1, true}, {1, -7, 2.0, "2.0", 1, 1, -1, true},
        {2, 1, 2.678, "2.68", kAny, kAny, -1, false, true}, {2, 1, -2.678, "-2.68", kAny, kAny, -1, false, true},
        {0, 1, 12.6, "13", kAny, kAny, -1, false, true}, {3, 1, 0.0004, "0.000", kAny, kAny, -1, false, true},
        {2, 3, -1.005, "-001.00", kAny, kAny, -1, true, true}, // stored just below -1.005
        // Integer displays: decimal, hexadecimal and binary of the 32-bit value.
        {2, 4, 42.9, "0042.00", kAny, kAny, 0, true}, {0, 1, -42.9, "-42", kAny, kAny, 0, true},
        {-1, 20, 5.0, "0000000000000005", kAny, kAny, 0, true}, {9, 3, 7.0, "007.000000", kAny, kAny, 0, true},
        {-1, 4, 255.7, "0x00FF", kAny, kAny, 1, true}, {-1, 1, 255.0, "0xFF", kAny, kAny, 1, true},
        {-1, 12, 1.0, "0x00000001", kAny, kAny, 1, true}, {-1, 2, -1.0, "0xFFFFFFFF", kAny, kAny, 1, true},
        {-1, 8, 5.0, "00000101", kAny, kAny, 2, true}, {-1, 1, 0.0, "0", kAny, kAny, 2, true},
        {-1, 0, 6.0, "110", kAny, kAny, 2, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.decimals << " " << c.intDigits << " " << c.value);
        make(1, "Level", c.decimals, c.intDigits);
        output->m_nRadix = c.radix;
        output->m_bLeadingZero = c.leadingZero;
        output->m_bRound = c.round;
        owner->m_text = "x";
        set(level, c.value);
        EXPECT_EQ(output->Run(0), 1);
        EXPECT_EQ(owner->text(), c.shown);
        if (c.radix == -1) {
            EXPECT_EQ(output->m_strLastText.str(), c.shown);
            EXPECT_EQ(output->m_dLastValue, c.value);
        }
        if (c.storedDigits != kAny) {
            EXPECT_EQ(output->m_nIntDigits, c.storedDigits);
            EXPECT_EQ(output->m_nDecimals, c.storedDecimals);
        }
    }
    // After the first value, decimals below -1 give automatic precision with one digit.
    make(1, "Level", -5, 3);
    set(level, 3.14159);
    output->Run(0);
    set(level, -0.04);
    output->Run(0);
    EXPECT_EQ(owner->text(), "-0.04");
    set(level, 2.71828);
    output->Run(0);
    EXPECT_EQ(owner->text(), "3");
}

TEST_F(AniOutputTest, TextsShowUnchangedMaskedOrWithTheUnit) {
    make(2, "Txt", 3);
    Rtdb::instance().setString(text, "  Pump A\r\n");
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "  Pump A\r\n");
    EXPECT_EQ(output->Run(0), 0);
    EXPECT_EQ(output->Run(88888), 0);
    Rtdb::instance().setString(text, "");
    EXPECT_EQ(output->Run(88888), 1);
    EXPECT_EQ(owner->text(), "");
    EXPECT_EQ(output->m_nIntDigits, 1);
    // Another kind gives the engine's text of a number.
    make(7, "Level * 2");
    set(level, 1.25);
    EXPECT_EQ(output->Run(0), 1);
    EXPECT_EQ(owner->text(), "2.5");

    // A byte of 0x80 or above and the next one make one masked character.
    make(2, "Txt");
    output->m_bPassword = 1;
    Rtdb::instance().setString(text, "a\xD6\xD0"
                                     "b\xC1");
    output->Run(0);
    EXPECT_EQ(owner->text(), "****");
    make(1, "Level", 2, 1);
    output->m_bPassword = 1;
    set(level, -1.5);
    output->Run(0);
    EXPECT_EQ(owner->text(), "*****");

    // The unit is translated without line breaks and follows the reused text too.
    kestro::Linguist::instance().setText("zh", "kUnit",
                                         "\xC2\xB0"
                                         "C\r\n/h");
    kestro::Linguist::instance().setCurrentLanguage("zh");
    make(1, "Level", 1, 1);
    output->m_bShowUnit = 1;
    output->m_strUnit = "kUnit";
    set(level, 2.5);
    for (int run = 0; run < 2; ++run) {
        output->Run(0);
        EXPECT_EQ(owner->text(), "2.5\xC2\xB0"
                                 "C/h");
        EXPECT_EQ(output->m_strLastText.str(), "2.5");
    }
}

TEST_F(AniOutputTest, IntegerDisplaysWantAnIntegerProgram) {
    struct Case {
        int radix;
        std::string program;
        std::string after;
    };
    // A program longer than four bytes whose first word is 0 gets 1 there.
    const std::string zeroWord("\0\0\0\0\x09\x08", 6);
    const Case cases[] = {
        {2, zeroWord, std::string("\x01\0\0\0\x09\x08", 6)},
        {0, zeroWord, std::string("\x01\0\0\0\x09\x08", 6)},
        {2, std::string(4, '\0'), std::string(4, '\0')},
        {1, std::string("\0\0\0\0\x07", 5), std::string("\x01\0\0\0\x07", 5)},
        {1, std::string("\0\x02\0\0\x01", 5), std::string("\0\x02\0\0\x01", 5)},
        {-1, zeroWord, zeroWord},
        {3, zeroWord, zeroWord},
    };
    make(1, "Level");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radix);
        output->m_nRadix = c.radix;
        output->m_bufExpress.assign(c.program.data(), c.program.size());
        output->InitObj(owner.get());
        EXPECT_EQ(streamtest::bytesOf(output->m_bufExpress), c.after);
    }
    // Only the numeric kind has integer displays.
    make(2, "Level");
    output->m_nRadix = 1;
    output->m_bufExpress.assign(zeroWord.data(), zeroWord.size());
    output->InitObj(owner.get());
    EXPECT_EQ(streamtest::bytesOf(output->m_bufExpress), zeroWord);
}

} // namespace
