// The records of the eleven animation kinds. Each row is a record written item by item: the
// module loads it into the fields shown, every cut fails without a report, and the host's reader
// and writer give the same bytes back.
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
#include "runtime/stream/reader.h"
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

StreamWriter header(uint8_t version = 10) {
    StreamWriter out;
    out.u8(version).i32(1).raw("E");
    return out;
}
const size_t kHeaderSize = 6;

using Check = std::function<void(const CAniObj&)>;
template <class T, class F>
Check fields(F f) {
    return [f](const CAniObj& a) {
        const T* loaded = dynamic_cast<const T*>(&a);
        ASSERT_NE(loaded, nullptr);
        f(*loaded);
    };
}

struct RecordRow {
    uint32_t type;
    const char* what;
    std::string bytes;
    Check check;
    bool oldForm = false;
};

std::vector<RecordRow> rows() {
    const float nearFive = 5.0000005f; // within 1e-6 of 5, yet not equal
    auto move = [](int32_t minOffset, int32_t maxOffset, float lo, float hi) {
        return header().i32(minOffset).i32(maxOffset).f32(lo).f32(hi).take();
    };
    auto moved = [](double lo, double hi) {
        return [=](const auto& m) {
            EXPECT_EQ(m.m_nMinOffset, 1);
            EXPECT_EQ(m.m_nMaxOffset, -2);
            EXPECT_EQ(m.m_dMinValue, lo);
            EXPECT_EQ(m.m_dMaxValue, hi);
        };
    };
    auto size = [](float lo, float hi) {
        return header().i32(3).f32(lo).i32(-5).f32(hi).i32(250).i32(1).take();
    };
    auto sized = [](double lo, double hi) {
        return fields<CAniSize>([=](const CAniSize& s) {
            EXPECT_EQ(s.m_nSizeType, 3);
            EXPECT_EQ(s.m_dMinValue, lo);
            EXPECT_EQ(s.m_nMinPercent, -5);
            EXPECT_EQ(s.m_dMaxValue, hi);
            EXPECT_EQ(s.m_nMaxPercent, 250);
            EXPECT_EQ(s.m_nSizeMode, 1);
        });
    };
    const std::string table =
        header().i32(3).f32(10.0f).f32(20.5f).f32(-0.1f).i32(2).u32(0xFF).u32(0x123456).take();
    auto colours = [](const auto& a) {
        EXPECT_EQ(a.m_arrayValue, (std::vector<double>{10.0, 20.5, static_cast<double>(-0.1f)}));
        EXPECT_EQ(a.m_arrayColor, (std::vector<uint32_t>{0xFF0000, 0x563412}));
    };
    auto input10 = [](StreamWriter head, int32_t varId) {
        head.i32(1).hostString("Prompt").hostString("On").hostString("Off");
        return head.f32(100.5f).f32(-2.0f).i32(varId).i32(1).i32(0x141).i32(0x302).take();
    };
    auto input10Fields = [](int32_t varId) {
        return fields<CAniInput>([=](const CAniInput& a) {
            EXPECT_EQ(a.m_byVersion, 10);
            EXPECT_EQ(a.m_nInputType, 1);
            EXPECT_STREQ(a.m_strPrompt.GetString(), "Prompt");
            EXPECT_STREQ(a.m_strSwitchText1.GetString(), "On");
            EXPECT_STREQ(a.m_strSwitchText2.GetString(), "Off");
            EXPECT_EQ(a.m_dUpper, 100.5);
            EXPECT_EQ(a.m_dLower, -2.0);
            EXPECT_EQ(a.m_bUpperExpr + a.m_bLowerExpr, 0);
            EXPECT_EQ(a.m_nVarId, varId);
            EXPECT_EQ(a.m_bNoCurrentValue, 1);
            EXPECT_EQ(a.m_nKeyCode, 0x241); // the low bytes of both codes
            EXPECT_EQ(a.m_nKeyFlags, 2);
        });
    };
    StreamWriter click = header();
    click.i32(2).hostString("打印当前屏幕").hostString("").i32(3).i32(1).i32(0).i32(0x100);
    click.i32(1).i32(0x10005).i32(0x141).i32(0x302);
    StreamWriter constantLimits = header(11);
    constantLimits.i32(0x1).i32(2).hostString("p").hostString("").hostString("");
    constantLimits.f32(10.0f).f32(100.0f).i32(-1).i32(65).i32(0);
    // Bit 2 upper program, bit 1 lower program; upper comes first.
    StreamWriter programLimits = header(11);
    programLimits.i32(0x6).i32(1).hostString("").hostString("").hostString("");
    programLimits.i32(3).raw("UPP").i32(2).raw("LO").i32(17).i32(0).i32(0);

    // An empty move range is widened, the horizontal one to min + 1, the vertical one to
    // max + 1; a size maximum below the minimum becomes the minimum, then min + 1.
    return {
        {kestro::kAniVisible, "visible", header().i32(7).take(),
         fields<CAniVisible>([](const CAniVisible& a) {
             EXPECT_EQ(a.m_nShowType, 7);
             EXPECT_EQ(bytesOf(a.m_bufExpress), "E");
         })},
        {kestro::kAniBlink, "blink, colours stored as 0x00BBGGRR",
         header().i32(5).i32(1).u32(0x112233).u32(0xFF).u32(0xFF0000).take(),
         fields<CAniBlink>([](const CAniBlink& a) {
             EXPECT_EQ(a.m_nBlinkExtra, 5);
             EXPECT_EQ(a.m_nBlinkType, 1);
             EXPECT_EQ(a.m_crBlinkText, 0x332211u);
             EXPECT_EQ(a.m_crBlinkPen, 0xFF0000u);
             EXPECT_EQ(a.m_crBlinkBrush, 0x0000FFu);
         })},
        {kestro::kAniPen, "pen", table, fields<CAniPen>(colours)},
        {kestro::kAniBrush, "brush", table, fields<CAniBrush>(colours)},
        {kestro::kAniTextColor, "text colour", table, fields<CAniTextColor>(colours)},
        {kestro::kAniHMove, "hmove", move(1, -2, 0, 10), fields<CAniHMove>(moved(0, 10))},
        {kestro::kAniHMove, "hmove reversed", move(1, -2, 10, 2.5f),
         fields<CAniHMove>(moved(10, 2.5))},
        {kestro::kAniHMove, "hmove nearly equal", move(1, -2, nearFive, 5),
         fields<CAniHMove>(moved(nearFive, double(nearFive) + 1))},
        {kestro::kAniHMove, "hmove nearly equal, other way", move(1, -2, 5, nearFive),
         fields<CAniHMove>(moved(5, 6))},
        {kestro::kAniVMove, "vmove", move(1, -2, 0, 10), fields<CAniVMove>(moved(0, 10))},
        {kestro::kAniVMove, "vmove nearly equal", move(1, -2, nearFive, 5),
         fields<CAniVMove>(moved(nearFive, 6))},
        {kestro::kAniVMove, "vmove nearly equal, other way", move(1, -2, 5, nearFive),
         fields<CAniVMove>(moved(5, double(nearFive) + 1))},
        {kestro::kAniSize, "size", size(0, 100), sized(0, 100)},
        {kestro::kAniSize, "size reversed", size(10, 3), sized(10, 11)},
        {kestro::kAniSize, "size equal", size(5, 5), sized(5, 6)},
        {kestro::kAniSize, "size negative", size(-20, -10), sized(-20, -10)},
        {kestro::kAniClick, "click", click.take(), fields<CAniClick>([](const CAniClick& a) {
             ASSERT_EQ(a.m_arrText.GetSize(), 2);
             EXPECT_STREQ(a.m_arrText[0].GetString(), "打印当前屏幕");
             EXPECT_EQ(a.m_arrFlag, (std::vector<int32_t>{1, 0, 0x100}));
             EXPECT_EQ(a.m_arrParam, (std::vector<int32_t>{0x10005}));
             EXPECT_EQ(a.m_nKeyCode, 0x241); // the low bytes of both codes
             EXPECT_EQ(a.m_nKeyFlags, 2);
         })},
        {kestro::kAniClick, "click, all key bits",
         header().i32(0).i32(0).i32(0).i32(-1).i32(-1).take(),
         fields<CAniClick>([](const CAniClick& a) {
             EXPECT_EQ(a.m_nKeyCode, 0xFFFF);
             EXPECT_EQ(a.m_nKeyFlags, 0xFF);
         })},
        {kestro::kAniInput, "input 10", input10(header(10), 42), input10Fields(42)},
        {kestro::kAniInput, "input in the old header",
         input10(StreamWriter().hostString("src").i32(1).raw("E"), 9), input10Fields(9), true},
        {kestro::kAniInput, "input 11, constant limits, variable -1", constantLimits.take(),
         fields<CAniInput>([](const CAniInput& a) {
             EXPECT_EQ(a.m_byVersion, 11);
             EXPECT_EQ(a.m_bNoCurrentValue, 1);
             EXPECT_EQ(a.m_bUpperExpr + a.m_bLowerExpr, 0);
             EXPECT_EQ(a.m_dUpper, 10.0);
             EXPECT_EQ(a.m_dLower, 100.0);
             EXPECT_EQ(a.m_nInputType, -1);
             EXPECT_EQ(a.m_nKeyCode, 65);
         })},
        {kestro::kAniInput, "input 11, program limits", programLimits.take(),
         fields<CAniInput>([](const CAniInput& a) {
             EXPECT_EQ(a.m_bNoCurrentValue, 0);
             EXPECT_EQ(a.m_bUpperExpr + a.m_bLowerExpr, 2);
             EXPECT_EQ(bytesOf(a.m_bufUpper), "UPP");
             EXPECT_EQ(bytesOf(a.m_bufLower), "LO");
             EXPECT_EQ(a.m_nVarId, 17);
         })},
        {kestro::kAniOutput, "output",
         header().hostString("关").hostString("开").i32(1).i32(2).i32(3).i32(4).take(),
         fields<CAniOutput>([](const CAniOutput& a) {
             EXPECT_STREQ(a.m_strOffText.GetString(), "关");
             EXPECT_STREQ(a.m_strOnText.GetString(), "开");
             EXPECT_EQ(a.m_nOutputType, 1);
             EXPECT_EQ(a.m_nDecimals, 2);
             EXPECT_EQ(a.m_nIntDigits, 3);
             EXPECT_EQ(a.m_nOutputExtra, 4);
         })},
    };
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
    uint64_t consumed = 0;
};

TEST_F(AniRecord, EachKindLoadsAndRoundTrips) {
    for (const RecordRow& row : rows()) {
        SCOPED_TRACE(row.what);
        const uint32_t type = row.type;
        const auto form = row.oldForm ? kestro::AnimationHeader::Form::Old
                                      : kestro::AnimationHeader::Form::Current;
        if (row.oldForm) {
            setVersion(3, 2, 5, 1840);
        }
        std::unique_ptr<CAniObj> animation(CreateAnimation(type));
        ASSERT_NE(animation, nullptr);
        ASSERT_TRUE(load(*animation, row.bytes));
        EXPECT_EQ(consumed, row.bytes.size());
        row.check(*animation);

        kestro::StreamReader in(row.bytes);
        kestro::AnimationRecord decoded;
        ASSERT_TRUE(kestro::readAnimation(in, type, form, &decoded));
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(kestro::animationEntry(decoded).record, row.bytes);

        // A cut inside a text is the host reader's block error.
        const size_t headerSize = row.oldForm ? kHeaderSize + 3 : kHeaderSize;
        for (size_t cut = headerSize; cut < row.bytes.size(); ++cut) {
            std::unique_ptr<CAniObj> partial(CreateAnimation(type));
            try {
                EXPECT_FALSE(load(*partial, row.bytes.substr(0, cut))) << cut;
            } catch (const FF::utils::deserialize_block_error&) {
            }
        }
        EXPECT_TRUE(kvtest::nothingReported());
        kestro::resetHost();
    }
}

TEST_F(AniRecord, BlinkConvertsEachColourRightAfterItsRead) {
    CAniBlink blink;
    EXPECT_FALSE(load(blink, header().i32(0).i32(1).u32(0xAA).u32(0xBB0000).take()));
    EXPECT_EQ(blink.m_crBlinkText, 0xAA0000u);
    EXPECT_EQ(blink.m_crBlinkPen, 0x0000BBu);
    EXPECT_EQ(blink.m_crBlinkBrush, 0xFFFFFFu);
}

// Counts are checked against the bytes left before anything is read; zero counts empty the
// arrays of an earlier load, and what was read before a refused count stays.
TEST_F(AniRecord, CountsThatCannotFitAreRefused) {
    struct Case {
        const char* what;
        uint32_t type;
        std::string bytes;
        bool ok;
        uint64_t stopsAt;
        size_t limits = 0, colours = 0;
    };
    const size_t h = kHeaderSize;
    // clang-format off
    const Case cases[] = {
        {"zero counts", 0x3008, header().i32(0).i32(0).take(), true, h + 8},
        {"colours that just fit", 0x3008, header().i32(1).f32(1).i32(1).u32(7).take(), true, h + 16, 1, 1},
        {"1000 limits", 0x3008, header().i32(1000).f32(1).f32(2).i32(0).take(), false, h + 4},
        {"negative limits", 0x3008, header().i32(-1).i32(0).take(), false, h + 4},
        {"min int limits", 0x3008, header().i32(INT32_MIN).take(), false, h + 4},
        {"colours too many", 0x3008, header().i32(2).f32(1).f32(2).i32(3).u32(1).u32(2).take(), false, h + 16, 2},
        {"negative colours", 0x3008, header().i32(0).i32(-4).u32(1).take(), false, h + 8},
        {"1000 texts", 0x3003, header().i32(1000).raw(std::string(100, '\0')).take(), false, h + 4},
        {"negative texts", 0x3003, header().i32(-1).i32(0).i32(0).i32(0).i32(0).take(), false, h + 4},
        {"flags too many", 0x3003, header().i32(0).i32(5).i32(1).i32(1).i32(1).i32(1).take(), false, h + 8},
        {"negative flags", 0x3003, header().i32(0).i32(-2).i32(0).i32(0).i32(0).take(), false, h + 8},
        {"params too many", 0x3003, header().i32(0).i32(0).i32(4).i32(1).i32(1).i32(1).take(), false, h + 12},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.type));
        auto* pen = dynamic_cast<CAniPen*>(animation.get());
        if (pen && c.ok) {
            pen->m_arrayValue = {1.0, 2.0, 3.0};
            pen->m_arrayColor = {3, 4, 5, 6};
        }
        EXPECT_EQ(load(*animation, c.bytes), c.ok);
        EXPECT_EQ(consumed, c.stopsAt);
        if (pen) {
            EXPECT_EQ(pen->m_arrayValue.size(), c.limits);
            EXPECT_EQ(pen->m_arrayColor.size(), c.colours);
        } else {
            auto& click = dynamic_cast<CAniClick&>(*animation);
            EXPECT_EQ(click.m_arrText.GetSize() + click.m_arrFlag.size() + click.m_arrParam.size(),
                      0u);
        }
    }
    EXPECT_TRUE(kvtest::nothingReported());
}

TEST_F(AniRecord, InputLimitPrograms) {
    struct Case {
        int32_t flags;
        double upper, lower;
    };
    // Empty programs mean no limit; the other limit is a constant 7.
    const Case cases[] = {
        {0x4, DBL_MAX, 7.0},
        {0x2, 7.0, -DBL_MAX},
        {0x6, DBL_MAX, -DBL_MAX},
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
        EXPECT_EQ(input.m_bUpperExpr + input.m_bLowerExpr, 0);
        EXPECT_EQ(input.m_dUpper, c.upper);
        EXPECT_EQ(input.m_dLower, c.lower);
    }
    StreamWriter negative = header(11);
    negative.i32(0x4).i32(1).hostString("").hostString("").hostString("").i32(-1).raw("abcdefgh");
    CAniInput input;
    EXPECT_FALSE(load(input, negative.take()));
    EXPECT_EQ(input.m_bufUpper.length(), 0u);

    for (uint8_t version : {0, 9, 12, 255}) {
        CAniInput other;
        StreamWriter bytes = header(version);
        bytes.i32(1).hostString("").hostString("").hostString("").f32(1).f32(0).i32(1);
        EXPECT_FALSE(load(other, bytes.i32(0).i32(0).i32(0).take())) << int(version);
    }
    EXPECT_TRUE(kvtest::nothingReported());
}

// Only the reads of texts are guarded: a foreign exception there fails the load, the host's
// block error passes on, and exceptions from any other item reach the caller.
TEST_F(AniRecord, OnlyTextReadsAreGuarded) {
    enum Outcome { Fails, Throws };
    const std::string click = header().i32(1).hostString("x").i32(0).i32(0).i32(0).i32(0).take();
    const std::string input = [] {
        StreamWriter out = header(10);
        out.i32(1).hostString("P").hostString("").hostString("");
        return out.f32(1).f32(0).i32(1).i32(0).i32(0).i32(0).take();
    }();
    const std::string limit = [] {
        StreamWriter out = header(11);
        out.i32(0x4).i32(1).hostString("").hostString("").hostString("");
        return out.i32(1).raw("U").f32(0).i32(0).i32(0).i32(0).take();
    }();
    const std::string output =
        header().hostString("a").hostString("b").i32(0).i32(0).i32(0).i32(0).take();
    struct Case {
        const char* what;
        uint32_t type;
        const std::string& bytes;
        uint64_t at;
        Outcome foreign;
    };
    // clang-format off
    const Case cases[] = {
        {"click text", 0x3003, click, kHeaderSize + 4, Throws},
        {"input prompt", 0x3006, input, kHeaderSize + 4, Fails},
        {"input limit program length", 0x3006, limit, 17, Throws},
        {"input limit program", 0x3006, limit, 21, Throws},
        {"output off text", 0x3007, output, kHeaderSize, Fails},
        {"output on text", 0x3007, output, kHeaderSize + 2, Fails},
        {"output integer", 0x3007, output, kHeaderSize + 4, Throws},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CAniObj> animation(CreateAnimation(c.type));
        ThrowingBuffer<std::runtime_error> foreign(c.bytes, c.at);
        if (c.foreign == Fails) {
            EXPECT_FALSE(animation->deserialize(&foreign));
            ThrowingBuffer<FF::utils::deserialize_block_error> block(c.bytes, c.at);
            EXPECT_THROW(animation->deserialize(&block), FF::utils::deserialize_block_error);
        } else {
            EXPECT_THROW(animation->deserialize(&foreign), std::runtime_error);
        }
    }
    // A text longer than the stream is the host's block error, not caught either.
    CAniClick longText;
    auto buffer = bufferOf(header().i32(1).u8(200).raw("abc").i32(0).take());
    EXPECT_THROW(longText.deserialize(&buffer), FF::utils::deserialize_block_error);
}

} // namespace
