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
#include <iomanip>
#include <memory>
#include <sstream>
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

// The loaded fields of an animation of any kind, in record order (colours in hex).
std::string fieldsOf(const CAniObj& a) {
    std::ostringstream out;
    out << std::setprecision(9);
    auto table = [&out](const std::vector<double>& values, const std::vector<uint32_t>& colours) {
        for (double v : values) {
            out << v << ' ';
        }
        for (uint32_t c : colours) {
            out << std::hex << c << std::dec << ' ';
        }
    };
    auto move = [&out](const auto& m) {
        out << m.m_nMinOffset << ' ' << m.m_nMaxOffset << ' ' << m.m_dMinValue << ' '
            << m.m_dMaxValue;
    };
    if (auto* v = dynamic_cast<const CAniVisible*>(&a)) {
        out << v->m_nShowType << ' ' << bytesOf(v->m_bufExpress);
    } else if (auto* b = dynamic_cast<const CAniBlink*>(&a)) {
        out << b->m_nBlinkExtra << ' ' << b->m_nBlinkType << std::hex << ' ' << b->m_crBlinkText
            << ' ' << b->m_crBlinkPen << ' ' << b->m_crBlinkBrush;
    } else if (auto* p = dynamic_cast<const CAniPen*>(&a)) {
        table(p->m_arrayValue, p->m_arrayColor);
    } else if (auto* br = dynamic_cast<const CAniBrush*>(&a)) {
        table(br->m_arrayValue, br->m_arrayColor);
    } else if (auto* t = dynamic_cast<const CAniTextColor*>(&a)) {
        table(t->m_arrayValue, t->m_arrayColor);
    } else if (auto* h = dynamic_cast<const CAniHMove*>(&a)) {
        move(*h);
    } else if (auto* vm = dynamic_cast<const CAniVMove*>(&a)) {
        move(*vm);
    } else if (auto* z = dynamic_cast<const CAniSize*>(&a)) {
        out << z->m_nSizeType << ' ' << z->m_dMinValue << ' ' << z->m_nMinPercent << ' '
            << z->m_dMaxValue << ' ' << z->m_nMaxPercent << ' ' << z->m_nSizeMode;
    } else if (auto* c = dynamic_cast<const CAniClick*>(&a)) {
        for (int i = 0; i < c->m_arrText.GetSize(); ++i) {
            out << '"' << c->m_arrText[i].GetString() << "\" ";
        }
        for (const auto* array : {&c->m_arrFlag, &c->m_arrParam}) {
            for (int32_t v : *array) {
                out << v << ' ';
            }
            out << "| ";
        }
        out << std::hex << c->m_nKeyCode << ' ' << c->m_nKeyFlags;
    } else if (auto* in = dynamic_cast<const CAniInput*>(&a)) {
        out << int(in->m_byVersion) << ' ' << in->m_nInputType << " \""
            << in->m_strPrompt.GetString() << "\" \"" << in->m_strSwitchText1.GetString() << "\" \""
            << in->m_strSwitchText2.GetString() << "\" " << in->m_dUpper << ' ' << in->m_dLower
            << ' ' << int(in->m_bUpperExpr) << int(in->m_bLowerExpr) << ' '
            << bytesOf(in->m_bufUpper) << '/' << bytesOf(in->m_bufLower) << ' ' << in->m_nVarId
            << ' ' << in->m_bNoCurrentValue << std::hex << ' ' << in->m_nKeyCode << ' '
            << in->m_nKeyFlags;
    } else if (auto* o = dynamic_cast<const CAniOutput*>(&a)) {
        out << '"' << o->m_strOffText.GetString() << "\" \"" << o->m_strOnText.GetString() << "\" "
            << o->m_nOutputType << ' ' << o->m_nDecimals << ' ' << o->m_nIntDigits << ' '
            << o->m_nOutputExtra;
    }
    return out.str();
}

struct RecordRow {
    uint32_t type;
    std::string bytes;
    std::string fields;
    bool oldForm = false;
};

std::vector<RecordRow> rows() {
    const float nearFive = 5.0000005f; // within 1e-6 of 5, yet not equal
    auto move = [](float lo, float hi) { return header().i32(1).i32(-2).f32(lo).f32(hi).take(); };
    auto size = [](float lo, float hi) {
        return header().i32(3).f32(lo).i32(-5).f32(hi).i32(250).i32(1).take();
    };
    const std::string table =
        header().i32(3).f32(10.0f).f32(20.5f).f32(-0.1f).i32(2).u32(0xFF).u32(0x123456).take();
    auto input10 = [](StreamWriter head, int32_t varId) {
        head.i32(1).hostString("Prompt").hostString("On").hostString("Off");
        return head.f32(100.5f).f32(-2.0f).i32(varId).i32(1).i32(0x141).i32(0x302).take();
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

    // Colours are stored as 0x00BBGGRR; key codes keep their low bytes. An empty move range is
    // widened, the horizontal one to min + 1, the vertical one to max + 1; a size maximum below
    // the minimum becomes the minimum, then min + 1. The variable -1 clears the input type.
    // clang-format off
    return {
        {kestro::kAniVisible, header().i32(7).take(), "7 E"},
        {kestro::kAniBlink, header().i32(5).i32(1).u32(0x112233).u32(0xFF).u32(0xFF0000).take(),
         "5 1 332211 ff0000 ff"},
        {kestro::kAniPen, table, "10 20.5 -0.100000001 ff0000 563412 "},
        {kestro::kAniBrush, table, "10 20.5 -0.100000001 ff0000 563412 "},
        {kestro::kAniTextColor, table, "10 20.5 -0.100000001 ff0000 563412 "},
        {kestro::kAniHMove, move(0, 10), "1 -2 0 10"},
        {kestro::kAniHMove, move(10, 2.5f), "1 -2 10 2.5"},
        {kestro::kAniHMove, move(nearFive, 5), "1 -2 5.00000048 6.00000048"},
        {kestro::kAniHMove, move(5, nearFive), "1 -2 5 6"},
        {kestro::kAniVMove, move(0, 10), "1 -2 0 10"},
        {kestro::kAniVMove, move(nearFive, 5), "1 -2 5.00000048 6"},
        {kestro::kAniVMove, move(5, nearFive), "1 -2 5 6.00000048"},
        {kestro::kAniSize, size(0, 100), "3 0 -5 100 250 1"},
        {kestro::kAniSize, size(10, 3), "3 10 -5 11 250 1"},
        {kestro::kAniSize, size(5, 5), "3 5 -5 6 250 1"},
        {kestro::kAniSize, size(-20, -10), "3 -20 -5 -10 250 1"},
        {kestro::kAniClick, click.take(), "\"打印当前屏幕\" \"\" 1 0 256 | 65541 | 241 2"},
        {kestro::kAniClick, header().i32(0).i32(0).i32(0).i32(-1).i32(-1).take(), "| | ffff ff"},
        {kestro::kAniInput, input10(header(10), 42),
         "10 1 \"Prompt\" \"On\" \"Off\" 100.5 -2 00 / 42 1 241 2"},
        {kestro::kAniInput, input10(StreamWriter().hostString("src").i32(1).raw("E"), 9),
         "10 1 \"Prompt\" \"On\" \"Off\" 100.5 -2 00 / 9 1 241 2", true},
        {kestro::kAniInput, constantLimits.take(), "11 -1 \"p\" \"\" \"\" 10 100 00 / -1 1 41 0"},
        {kestro::kAniInput, programLimits.take(), "11 1 \"\" \"\" \"\" 0 0 11 UPP/LO 17 0 0 0"},
        {kestro::kAniOutput, header().hostString("关").hostString("开").i32(1).i32(2).i32(3).i32(4).take(),
         "\"关\" \"开\" 1 2 3 4"},
    };
    // clang-format on
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
        SCOPED_TRACE(row.fields);
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
        EXPECT_EQ(fieldsOf(*animation), row.fields);

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
