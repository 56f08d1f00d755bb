// The records of the eleven animation classes: defaults, every item in record order, the
// adjustments made after reading, counts that cannot be in the stream, and silent field
// failures. Records are written byte by byte here, independent of the host's stream writer.
#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anibrush.h"
#include "kestrovalumen/animation/aniclick.h"
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/aniinput.h"
#include "kestrovalumen/animation/anioutput.h"
#include "kestrovalumen/animation/anipen.h"
#include "kestrovalumen/animation/anisize.h"
#include "kestrovalumen/animation/anitextcolor.h"
#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/animation/anivmove.h"
#include "runtime/stream/writer.h"
#include "tests/support/hostfixture.h"
#include "tests/support/streamtestutil.h"

#include <cfloat>
#include <functional>
#include <memory>
#include <stdexcept>

using kestro::HostLog;
using kestro::StreamWriter;
using namespace streamtest;

namespace {

// Current header form: record version, program length, program.
StreamWriter header(uint8_t version = 10, const std::string& program = "E") {
    StreamWriter out;
    out.u8(version).i32(int32_t(program.size())).raw(program);
    return out;
}

class AniRecord : public HostTest {
protected:
    //! Loads bytes into the animation; the buffer's final position goes to consumed.
    bool load(CAniObj& animation, const std::string& bytes) {
        auto buffer = bufferOf(bytes);
        const bool ok = animation.deserialize(&buffer);
        consumed = buffer.position();
        return ok;
    }

    //! Every cut of a valid record inside the class's own fields fails without a report (a
    //! cut inside a text is the host reader's block error).
    template <class Animation>
    void expectSilentCuts(const std::string& bytes, size_t headerSize) {
        for (size_t cut = headerSize; cut < bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            Animation animation;
            try {
                EXPECT_FALSE(load(animation, bytes.substr(0, cut)));
            } catch (const FF::utils::deserialize_block_error&) {
            }
        }
        EXPECT_TRUE(HostLog::instance().monitor().empty());
        EXPECT_TRUE(HostLog::instance().logs().empty());
    }

    uint64_t consumed = 0;
};

const size_t kHeaderSize = 6; // version byte, length, one program byte

// Defaults that a record does not always overwrite, or that are not zero.
TEST_F(AniRecord, Defaults) {
    CAniVisible visible;
    CAniBlink blink;
    CAniPen pen;
    CAniSize size;
    CAniInput input;
    CAniOutput output;
    struct Case {
        const char* field;
        double actual;
        double expected;
    };
    const Case cases[] = {
        {"CAniVisible::m_nShowType", double(visible.m_nShowType), 0},
        {"CAniBlink::m_crBlinkBrush", double(blink.m_crBlinkBrush), 0x00FFFFFF},
        {"CAniBlink::m_crBlinkPen", double(blink.m_crBlinkPen), 0},
        {"CAniBlink::m_bSavedPen", double(blink.m_bSavedPen), 1},
        {"CAniBlink::m_bSavedBrush", double(blink.m_bSavedBrush), 1},
        {"CAniBlink::m_bBlinking", double(blink.m_bBlinking), 0},
        {"CAniPen::m_crCurrent", double(pen.m_crCurrent), 0},
        {"CAniSize::m_nBaseWidth", double(size.m_nBaseWidth), 0},
        {"CAniInput::m_nDecimals", double(input.m_nDecimals), 6},
        {"CAniInput::m_bFormatCopied", double(input.m_bFormatCopied), 0},
        {"CAniOutput::m_dLastValue", output.m_dLastValue, -923112.3125},
        {"CAniOutput::m_nDecimals", double(output.m_nDecimals), -1},
        {"CAniOutput::m_nRadix", double(output.m_nRadix), -1},
        {"CAniOutput::m_nIntDigits", double(output.m_nIntDigits), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.field;
    }
    EXPECT_EQ(pen.m_pBlink, nullptr);
    EXPECT_TRUE(pen.m_arrayValue.empty() && pen.m_arrayColor.empty());
    EXPECT_EQ(output.m_strLastText.str(), "");
}

// ---- visibility and blinking ----

TEST_F(AniRecord, VisibleReadsItsShowType) {
    CAniVisible animation;
    const std::string bytes = header(10, "PQ").i32(7).take();
    ASSERT_TRUE(load(animation, bytes));
    EXPECT_EQ(animation.m_nShowType, 7);
    EXPECT_EQ(bytesOf(animation.m_bufExpress), "PQ");
    EXPECT_EQ(consumed, bytes.size());
    expectSilentCuts<CAniVisible>(header().i32(7).take(), kHeaderSize);
}

TEST_F(AniRecord, BlinkReadsFiveItemsAndConvertsTheColours) {
    // Extra first, then the type, then text, outline and fill colours stored as 0x00BBGGRR.
    const std::string bytes =
        header().i32(5).i32(1).u32(0x00112233).u32(0x000000FF).u32(0x00FF0000).take();
    CAniBlink blink;
    ASSERT_TRUE(load(blink, bytes));
    EXPECT_EQ(blink.m_nBlinkExtra, 5);
    EXPECT_EQ(blink.m_nBlinkType, 1);
    EXPECT_EQ(blink.m_crBlinkText, 0x00332211u);
    EXPECT_EQ(blink.m_crBlinkPen, 0x00FF0000u);
    EXPECT_EQ(blink.m_crBlinkBrush, 0x000000FFu);
    EXPECT_EQ(consumed, bytes.size());
    expectSilentCuts<CAniBlink>(bytes, kHeaderSize);
}

TEST_F(AniRecord, BlinkConvertsEachColourRightAfterItsRead) {
    // Cut after the outline colour: text and outline are converted, the fill keeps its default.
    const std::string bytes = header().i32(0).i32(1).u32(0x000000AA).u32(0x00BB0000).take();
    CAniBlink blink;
    EXPECT_FALSE(load(blink, bytes));
    EXPECT_EQ(blink.m_crBlinkText, 0x00AA0000u);
    EXPECT_EQ(blink.m_crBlinkPen, 0x000000BBu);
    EXPECT_EQ(blink.m_crBlinkBrush, 0x00FFFFFFu);
}

// ---- colour tables ----

struct ColorTableView {
    std::vector<double>* values;
    std::vector<uint32_t>* colors;
};

// The three classes read the same record into differently ordered fields.
struct ColorClass {
    const char* name;
    std::function<std::unique_ptr<CAniObj>()> make;
    std::function<ColorTableView(CAniObj&)> view;
};

std::vector<ColorClass> colorClasses() {
    return {
        {"CAniPen", [] { return std::unique_ptr<CAniObj>(new CAniPen); },
         [](CAniObj& a) {
             auto& p = static_cast<CAniPen&>(a);
             return ColorTableView{&p.m_arrayValue, &p.m_arrayColor};
         }},
        {"CAniBrush", [] { return std::unique_ptr<CAniObj>(new CAniBrush); },
         [](CAniObj& a) {
             auto& p = static_cast<CAniBrush&>(a);
             return ColorTableView{&p.m_arrayValue, &p.m_arrayColor};
         }},
        {"CAniTextColor", [] { return std::unique_ptr<CAniObj>(new CAniTextColor); },
         [](CAniObj& a) {
             auto& p = static_cast<CAniTextColor&>(a);
             return ColorTableView{&p.m_arrayValue, &p.m_arrayColor};
         }},
    };
}

TEST_F(AniRecord, ColorTableReadsLimitsAndColours) {
    // Three limits, two colours: nothing ties the counts together.
    StreamWriter out = header();
    out.i32(3).f32(10.0f).f32(20.5f).f32(-0.1f);
    out.i32(2).u32(0x000000FF).u32(0x00123456);
    const std::string bytes = out.take();
    for (const ColorClass& c : colorClasses()) {
        SCOPED_TRACE(c.name);
        auto animation = c.make();
        ASSERT_TRUE(load(*animation, bytes));
        ColorTableView t = c.view(*animation);
        EXPECT_EQ(*t.values, (std::vector<double>{10.0, 20.5, static_cast<double>(-0.1f)}));
        EXPECT_EQ(*t.colors, (std::vector<uint32_t>{0x00FF0000, 0x00563412}));
        EXPECT_EQ(consumed, bytes.size());
    }
    for (const ColorClass& c : colorClasses()) {
        SCOPED_TRACE(c.name);
        for (size_t cut = kHeaderSize; cut < bytes.size(); ++cut) {
            auto animation = c.make();
            EXPECT_FALSE(load(*animation, bytes.substr(0, cut))) << cut;
        }
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(AniRecord, ColorTableZeroCountsEmptyTheArrays) {
    for (const ColorClass& c : colorClasses()) {
        SCOPED_TRACE(c.name);
        auto animation = c.make();
        ColorTableView t = c.view(*animation);
        *t.values = {1.0, 2.0};
        *t.colors = {3, 4, 5};
        ASSERT_TRUE(load(*animation, header().i32(0).i32(0).take()));
        EXPECT_TRUE(t.values->empty());
        EXPECT_TRUE(t.colors->empty());
    }
}

TEST_F(AniRecord, ColorTableCountsThatCannotFitAreRefusedBeforeReading) {
    struct Case {
        const char* what;
        std::string bytes;
        size_t valuesAfter;
        size_t colorsAfter;
        uint64_t stopsAt; // position after the refused count
    };
    // 1000 limits with a few bytes left; negative counts; colours that do not fit after two
    // limits that do (the limits stay).
    const Case cases[] = {
        {"1000 limits", header().i32(1000).f32(1).f32(2).i32(0).take(), 0, 0, kHeaderSize + 4},
        {"negative limits", header().i32(-1).i32(0).take(), 0, 0, kHeaderSize + 4},
        {"min int limits", header().i32(INT32_MIN).take(), 0, 0, kHeaderSize + 4},
        {"colours too many", header().i32(2).f32(1).f32(2).i32(3).u32(1).u32(2).take(), 2, 0,
         kHeaderSize + 16},
        {"negative colours", header().i32(0).i32(-4).u32(1).take(), 0, 0, kHeaderSize + 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAniPen pen;
        EXPECT_FALSE(load(pen, c.bytes));
        EXPECT_EQ(pen.m_arrayValue.size(), c.valuesAfter);
        EXPECT_EQ(pen.m_arrayColor.size(), c.colorsAfter);
        EXPECT_EQ(consumed, c.stopsAt);
    }
    // A colour count of exactly the bytes left passes.
    CAniBrush brush;
    EXPECT_TRUE(load(brush, header().i32(2).f32(1).f32(2).i32(1).u32(7).take()));
    EXPECT_EQ(brush.m_arrayColor, std::vector<uint32_t>{0x00070000});
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

// ---- movement and size ----

struct MoveCase {
    const char* what;
    int32_t minOffset, maxOffset;
    float minValue, maxValue;
    double hMax, vMax; // maxima after loading
};

TEST_F(AniRecord, MoveReadsOffsetsAndValuesAndWidensAnEmptyRange) {
    const float nearFive = 5.0000005f; // within 1e-6 of 5, yet not equal
    const MoveCase cases[] = {
        {"plain range", -10, 100, 0.0f, 10.0f, 10.0, 10.0},
        {"reversed range stays", 0, 50, 10.0f, 2.5f, 2.5, 2.5},
        {"equal values", 1, 2, 5.0f, 5.0f, 6.0, 6.0},
        // The horizontal move raises max to min + 1, the vertical one to max + 1.
        {"nearly equal values", 1, 2, 5.0f, nearFive, 6.0, static_cast<double>(nearFive) + 1.0},
        {"nearly equal, other way", 1, 2, nearFive, 5.0f, static_cast<double>(nearFive) + 1.0, 6.0},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes =
            header().i32(c.minOffset).i32(c.maxOffset).f32(c.minValue).f32(c.maxValue).take();
        CAniHMove h;
        ASSERT_TRUE(load(h, bytes));
        EXPECT_EQ(h.m_nMinOffset, c.minOffset);
        EXPECT_EQ(h.m_nMaxOffset, c.maxOffset);
        EXPECT_EQ(h.m_dMinValue, static_cast<double>(c.minValue));
        EXPECT_EQ(h.m_dMaxValue, c.hMax);
        CAniVMove v;
        ASSERT_TRUE(load(v, bytes));
        EXPECT_EQ(v.m_nMinOffset, c.minOffset);
        EXPECT_EQ(v.m_nMaxOffset, c.maxOffset);
        EXPECT_EQ(v.m_dMinValue, static_cast<double>(c.minValue));
        EXPECT_EQ(v.m_dMaxValue, c.vMax);
        EXPECT_EQ(consumed, bytes.size());
    }
    const std::string bytes = header().i32(1).i32(2).f32(3).f32(4).take();
    expectSilentCuts<CAniHMove>(bytes, kHeaderSize);
    expectSilentCuts<CAniVMove>(bytes, kHeaderSize);
}

struct SizeCase {
    const char* what;
    float minValue, maxValue;
    double expectedMax;
};

TEST_F(AniRecord, SizeReadsSixItemsAndOrdersTheRange) {
    const SizeCase cases[] = {
        {"plain", 0.0f, 100.0f, 100.0},
        {"maximum below minimum becomes minimum, then min + 1", 10.0f, 3.0f, 11.0},
        {"equal", 5.0f, 5.0f, 6.0},
        {"negative range", -20.0f, -10.0f, -10.0},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes =
            header().i32(3).f32(c.minValue).i32(-5).f32(c.maxValue).i32(250).i32(1).take();
        CAniSize s;
        ASSERT_TRUE(load(s, bytes));
        EXPECT_EQ(s.m_nSizeType, 3);
        EXPECT_EQ(s.m_dMinValue, static_cast<double>(c.minValue));
        EXPECT_EQ(s.m_nMinPercent, -5);
        EXPECT_EQ(s.m_dMaxValue, c.expectedMax);
        EXPECT_EQ(s.m_nMaxPercent, 250);
        EXPECT_EQ(s.m_nSizeMode, 1);
        EXPECT_EQ(consumed, bytes.size());
    }
    expectSilentCuts<CAniSize>(header().i32(0).f32(0).i32(0).f32(1).i32(100).i32(0).take(),
                               kHeaderSize);
}

// ---- click actions ----

TEST_F(AniRecord, ClickReadsItsThreeArraysAndCombinesTheKey) {
    StreamWriter out = header();
    out.i32(2).hostString("打印当前屏幕").hostString("");
    out.i32(3).i32(1).i32(0).i32(0x100);
    out.i32(1).i32(0x10005);
    out.i32(0x41).i32(0x02);
    const std::string bytes = out.take();
    CAniClick click;
    ASSERT_TRUE(load(click, bytes));
    ASSERT_EQ(click.m_arrText.GetSize(), 2);
    EXPECT_STREQ(click.m_arrText[0].GetString(), "打印当前屏幕");
    EXPECT_STREQ(click.m_arrText[1].GetString(), "");
    EXPECT_EQ(click.m_arrFlag, (std::vector<int32_t>{1, 0, 0x100}));
    EXPECT_EQ(click.m_arrParam, (std::vector<int32_t>{0x10005}));
    EXPECT_EQ(click.m_nKeyCode, 0x0241);
    EXPECT_EQ(click.m_nKeyFlags, 2);
    EXPECT_EQ(consumed, bytes.size());
    expectSilentCuts<CAniClick>(header().i32(0).i32(1).i32(1).i32(1).i32(7).i32(0).i32(0).take(),
                                kHeaderSize);
}

struct KeyCase {
    int32_t first, second;
    int32_t keyCode, keyFlags;
};

TEST_F(AniRecord, ClickKeyKeepsLowBytesOnly) {
    const KeyCase cases[] = {
        {0x41, 0x02, 577, 2}, {0x141, 0x302, 577, 2}, {0, 0, 0, 0},
        {65, 0, 65, 0},       {-1, -1, 0xFFFF, 0xFF},
    };
    for (const KeyCase& c : cases) {
        CAniClick click;
        ASSERT_TRUE(load(click, header().i32(0).i32(0).i32(0).i32(c.first).i32(c.second).take()));
        EXPECT_EQ(click.m_nKeyCode, c.keyCode) << c.first << "," << c.second;
        EXPECT_EQ(click.m_nKeyFlags, c.keyFlags);
    }
}

TEST_F(AniRecord, ClickCountsThatCannotFitAreRefusedBeforeReading) {
    // 1000 strings with 100 bytes left: refused before any string is read.
    StreamWriter out = header();
    out.i32(1000);
    for (int i = 0; i < 100; ++i) {
        out.u8(0);
    }
    CAniClick click;
    EXPECT_FALSE(load(click, out.take()));
    EXPECT_EQ(click.m_arrText.GetSize(), 0);
    EXPECT_EQ(consumed, kHeaderSize + 4);

    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"negative texts", header().i32(-1).i32(0).i32(0).i32(0).i32(0).take()},
        {"flags too many", header().i32(0).i32(5).i32(1).i32(1).i32(1).i32(1).take()},
        {"negative flags", header().i32(0).i32(-2).i32(0).i32(0).i32(0).take()},
        {"params too many", header().i32(0).i32(0).i32(4).i32(1).i32(1).i32(1).take()},
    };
    for (const Case& c : cases) {
        CAniClick refused;
        EXPECT_FALSE(load(refused, c.bytes)) << c.what;
        EXPECT_TRUE(refused.m_arrFlag.size() + refused.m_arrParam.size() == 0) << c.what;
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(AniRecord, ClickStringExceptionsReachTheCaller) {
    // A text longer than the stream: the host's block error is not caught here.
    CAniClick click;
    const std::string bytes = header().i32(1).u8(200).raw("abc").i32(0).take();
    auto buffer = bufferOf(bytes);
    EXPECT_THROW(click.deserialize(&buffer), FF::utils::deserialize_block_error);
    // Nor is any other exception from a text read.
    ThrowingBuffer<std::runtime_error> throwing(
        header().i32(1).hostString("x").i32(0).i32(0).i32(0).i32(0).take(), kHeaderSize + 4);
    CAniClick other;
    EXPECT_THROW(other.deserialize(&throwing), std::runtime_error);
}

// ---- value input ----

std::string inputVersion10(StreamWriter head, int32_t varId) {
    head.i32(1).hostString("Prompt").hostString("On").hostString("Off");
    head.f32(100.5f).f32(-2.0f).i32(varId).i32(1).i32(0x141).i32(0x302);
    return head.take();
}

TEST_F(AniRecord, InputVersion10) {
    const std::string bytes = inputVersion10(header(10), 42);
    CAniInput input;
    ASSERT_TRUE(load(input, bytes));
    EXPECT_EQ(input.m_nInputType, 1);
    EXPECT_STREQ(input.m_strPrompt.GetString(), "Prompt");
    EXPECT_STREQ(input.m_strSwitchText1.GetString(), "On");
    EXPECT_STREQ(input.m_strSwitchText2.GetString(), "Off");
    EXPECT_EQ(input.m_dUpper, 100.5);
    EXPECT_EQ(input.m_dLower, -2.0);
    EXPECT_EQ(input.m_bUpperExpr, 0);
    EXPECT_EQ(input.m_bLowerExpr, 0);
    EXPECT_EQ(input.m_nVarId, 42);
    EXPECT_EQ(input.m_bNoCurrentValue, 1);
    EXPECT_EQ(input.m_nKeyCode, 0x241);
    EXPECT_EQ(input.m_nKeyFlags, 2);
    EXPECT_EQ(consumed, bytes.size());
    expectSilentCuts<CAniInput>(bytes, kHeaderSize);
}

TEST_F(AniRecord, InputOldHeaderReadsVersion10) {
    setVersion(3, 2, 5, 1840);
    StreamWriter head;
    head.hostString("src").i32(1).raw("E");
    CAniInput input;
    ASSERT_TRUE(load(input, inputVersion10(std::move(head), 9)));
    EXPECT_EQ(input.m_byVersion, 10);
    EXPECT_EQ(input.m_nVarId, 9);
    EXPECT_EQ(input.m_dUpper, 100.5);
}

TEST_F(AniRecord, InputVersion11WithConstantLimits) {
    // Flag bits beyond the three known ones are ignored.
    StreamWriter out = header(11);
    out.i32(0x7FFFFFF8 | 0x1).i32(2).hostString("p").hostString("a").hostString("b");
    out.f32(10.0f).f32(100.0f).i32(-1).i32(65).i32(0);
    const std::string bytes = out.take();
    CAniInput input;
    ASSERT_TRUE(load(input, bytes));
    EXPECT_EQ(input.m_byVersion, 11);
    EXPECT_EQ(input.m_bNoCurrentValue, 1);
    EXPECT_EQ(input.m_bUpperExpr, 0);
    EXPECT_EQ(input.m_bLowerExpr, 0);
    EXPECT_EQ(input.m_dUpper, 10.0);
    EXPECT_EQ(input.m_dLower, 100.0);
    EXPECT_EQ(input.m_nInputType, -1); // variable -1
    EXPECT_EQ(input.m_nKeyCode, 65);
    EXPECT_EQ(input.m_nKeyFlags, 0);
    EXPECT_EQ(consumed, bytes.size());
}

TEST_F(AniRecord, InputVersion11WithProgramLimits) {
    // Bit 2 upper program, bit 1 lower program; upper comes first in the record.
    StreamWriter out = header(11);
    out.i32(0x6).i32(1).hostString("").hostString("").hostString("");
    out.i32(3).raw("UPP").i32(2).raw("LO").i32(17).i32(0).i32(0);
    const std::string bytes = out.take();
    CAniInput input;
    ASSERT_TRUE(load(input, bytes));
    EXPECT_EQ(input.m_bNoCurrentValue, 0);
    EXPECT_EQ(input.m_bUpperExpr, 1);
    EXPECT_EQ(input.m_bLowerExpr, 1);
    EXPECT_EQ(bytesOf(input.m_bufUpper), "UPP");
    EXPECT_EQ(bytesOf(input.m_bufLower), "LO");
    EXPECT_EQ(input.m_dUpper, 0.0);
    EXPECT_EQ(input.m_dLower, 0.0);
    EXPECT_EQ(input.m_nVarId, 17);
    EXPECT_EQ(consumed, bytes.size());
    expectSilentCuts<CAniInput>(bytes, kHeaderSize);
}

TEST_F(AniRecord, InputEmptyLimitProgramsMeanNoLimit) {
    struct Case {
        int32_t flags;
        uint8_t upperExpr, lowerExpr;
        double upper, lower;
    };
    // Upper program empty; lower program empty; both empty. The other limit is a constant 7.
    const Case cases[] = {
        {0x4, 0, 0, DBL_MAX, 7.0},
        {0x2, 0, 0, 7.0, -DBL_MAX},
        {0x6, 0, 0, DBL_MAX, -DBL_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        StreamWriter out = header(11);
        out.i32(c.flags).i32(1).hostString("").hostString("").hostString("");
        for (int32_t bit : {0x4, 0x2}) {
            if (c.flags & bit) {
                out.i32(0);
            } else {
                out.f32(7.0f);
            }
        }
        out.i32(3).i32(0).i32(0);
        CAniInput input;
        ASSERT_TRUE(load(input, out.take()));
        EXPECT_EQ(input.m_bUpperExpr, c.upperExpr);
        EXPECT_EQ(input.m_bLowerExpr, c.lowerExpr);
        EXPECT_EQ(input.m_dUpper, c.upper);
        EXPECT_EQ(input.m_dLower, c.lower);
    }
}

TEST_F(AniRecord, InputRefusesBadLimitProgramsAndOtherVersions) {
    StreamWriter negative = header(11);
    negative.i32(0x4).i32(1).hostString("").hostString("").hostString("").i32(-1).raw("abcdefgh");
    CAniInput input;
    EXPECT_FALSE(load(input, negative.take()));
    EXPECT_EQ(input.m_bufUpper.length(), 0u);

    for (uint8_t version : {0, 9, 12, 255}) {
        CAniInput other;
        EXPECT_FALSE(load(other, inputVersion10(header(version), 1))) << int(version);
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(AniRecord, InputStringGuard) {
    // Offset of the prompt in a version 10 record: header, then the input type.
    const std::string bytes = inputVersion10(header(10), 1);
    ThrowingBuffer<std::runtime_error> foreign(bytes, kHeaderSize + 4);
    CAniInput input;
    EXPECT_FALSE(input.deserialize(&foreign));
    ThrowingBuffer<FF::utils::deserialize_block_error> block(bytes, kHeaderSize + 4);
    EXPECT_THROW(input.deserialize(&block), FF::utils::deserialize_block_error);
    // A limit program is not a string: its exceptions pass.
    StreamWriter out = header(11);
    out.i32(0x4).i32(1).hostString("").hostString("").hostString("");
    out.i32(1).raw("U").f32(0).i32(0).i32(0).i32(0);
    const std::string v11 = out.take();
    // Upper limit length at 17, its program byte at 21.
    for (uint64_t at : {uint64_t(17), uint64_t(21)}) {
        ThrowingBuffer<std::runtime_error> atProgram(v11, at);
        CAniInput limit;
        EXPECT_THROW(limit.deserialize(&atProgram), std::runtime_error) << at;
    }
}

// ---- value output ----

TEST_F(AniRecord, OutputReadsTwoTextsAndFourIntegers) {
    const std::string bytes =
        header().hostString("关").hostString("开").i32(1).i32(2).i32(3).i32(4).take();
    CAniOutput output;
    ASSERT_TRUE(load(output, bytes));
    EXPECT_STREQ(output.m_strOffText.GetString(), "关");
    EXPECT_STREQ(output.m_strOnText.GetString(), "开");
    EXPECT_EQ(output.m_nOutputType, 1);
    EXPECT_EQ(output.m_nDecimals, 2);
    EXPECT_EQ(output.m_nIntDigits, 3);
    EXPECT_EQ(output.m_nOutputExtra, 4);
    EXPECT_EQ(consumed, bytes.size());
    expectSilentCuts<CAniOutput>(
        header().hostString("").hostString("").i32(1).i32(2).i32(3).i32(4).take(), kHeaderSize);
}

TEST_F(AniRecord, OutputStringGuard) {
    const std::string bytes =
        header().hostString("a").hostString("b").i32(0).i32(0).i32(0).i32(0).take();
    for (uint64_t at : {uint64_t(kHeaderSize), uint64_t(kHeaderSize + 2)}) {
        ThrowingBuffer<std::runtime_error> foreign(bytes, at);
        CAniOutput output;
        EXPECT_FALSE(output.deserialize(&foreign)) << at;
        ThrowingBuffer<FF::utils::deserialize_block_error> block(bytes, at);
        EXPECT_THROW(output.deserialize(&block), FF::utils::deserialize_block_error) << at;
    }
    // Integers are not guarded.
    ThrowingBuffer<std::runtime_error> atInteger(bytes, kHeaderSize + 4);
    CAniOutput output;
    EXPECT_THROW(output.deserialize(&atInteger), std::runtime_error);
}

} // namespace
