// The records of the eleven animation kinds.
#include "kestrovalumen/animation/aniblink.h"
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

#include <iomanip>
#include <memory>
#include <sstream>

using kestro::StreamWriter;
using namespace streamtest;

namespace {

StreamWriter header(uint8_t version = 10) {
    StreamWriter out;
    out.u8(version).i32(1).raw("E");
    return out;
}
const size_t kHeaderSize = 6;

//! The loaded fields of an animation of any kind, in record order (colours in hex).
std::string fieldsOf(const CAniObj& a) {
    std::ostringstream out;
    out << std::setprecision(9);
    auto table = [&out](const kv::SegmentLimits& values, const kv::SegmentColors& colours) {
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

class AniRecord : public HostTest {
protected:
    bool load(CAniObj& animation, const std::string& bytes) {
        auto buffer = bufferOf(bytes);
        const bool ok = animation.deserialize(&buffer);
        consumed = buffer.position();
        return ok;
    }
    uint64_t consumed = 0;
};

TEST_F(AniRecord, EachKindLoadsItsFields) {
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
    StreamWriter emptyLimit = header(11);
    emptyLimit.i32(0x4).i32(1).hostString("").hostString("").hostString("");
    emptyLimit.i32(0).f32(7.0f).i32(3).i32(0).i32(0);
    struct Row {
        uint32_t type;
        std::string bytes, fields;
        bool oldForm = false;
    };
    // Colours are stored as 0x00BBGGRR; key codes keep their low bytes. An empty move range is
    // widened, the horizontal one to min + 1, the vertical one to max + 1; a size maximum below
    // the minimum becomes the minimum, then min + 1. The variable -1 clears the input type; an
    // empty limit program is no limit.
    // clang-format off
    const Row rows[] = {
        {kestro::kAniVisible, header().i32(7).take(), "7 E"},
        {kestro::kAniBlink, header().i32(5).i32(1).u32(0x112233).u32(0xFF).u32(0xFF0000).take(),
         "5 1 332211 ff0000 ff"},
        {kestro::kAniPen, table, "10 20.5 -0.100000001 ff0000 563412 "},
        {kestro::kAniTextColor, table, "10 20.5 -0.100000001 ff0000 563412 "},
        {kestro::kAniHMove, move(10, 2.5f), "1 -2 10 2.5"},
        {kestro::kAniHMove, move(nearFive, 5), "1 -2 5.00000048 6.00000048"},
        {kestro::kAniHMove, move(5, nearFive), "1 -2 5 6"},
        {kestro::kAniVMove, move(nearFive, 5), "1 -2 5.00000048 6"},
        {kestro::kAniVMove, move(5, nearFive), "1 -2 5 6.00000048"},
        {kestro::kAniSize, size(10, 3), "3 10 -5 11 250 1"},
        {kestro::kAniSize, size(5, 5), "3 5 -5 6 250 1"},
        {kestro::kAniClick, click.take(), "\"打印当前屏幕\" \"\" 1 0 256 | 65541 | 241 2"},
        {kestro::kAniClick, header().i32(0).i32(0).i32(0).i32(-1).i32(-1).take(), "| | ffff ff"},
        {kestro::kAniInput, input10(header(10), 42),
         "10 1 \"Prompt\" \"On\" \"Off\" 100.5 -2 00 / 42 1 241 2"},
        {kestro::kAniInput, input10(StreamWriter().hostString("src").i32(1).raw("E"), 9),
         "10 1 \"Prompt\" \"On\" \"Off\" 100.5 -2 00 / 9 1 241 2", true},
        {kestro::kAniInput, constantLimits.take(), "11 -1 \"p\" \"\" \"\" 10 100 00 / -1 1 41 0"},
        {kestro::kAniInput, programLimits.take(), "11 1 \"\" \"\" \"\" 0 0 11 UPP/LO 17 0 0 0"},
        {kestro::kAniInput, emptyLimit.take(),
         "11 1 \"\" \"\" \"\" 1.79769313e+308 7 00 / 3 0 0 0"},
        {kestro::kAniOutput, header().hostString("关").hostString("开").i32(1).i32(2).i32(3).i32(4).take(),
         "\"关\" \"开\" 1 2 3 4"},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fields);
        setVersion(3, 2, row.oldForm ? 5 : 6, 0);
        std::unique_ptr<CAniObj> animation(CreateAnimation(row.type));
        ASSERT_TRUE(load(*animation, row.bytes));
        EXPECT_EQ(consumed, row.bytes.size());
        EXPECT_EQ(fieldsOf(*animation), row.fields);
    }
    EXPECT_TRUE(kvtest::nothingReported());
}

// Counts are checked against the bytes left before anything is read; zero counts empty the
// arrays of an earlier load, and what was read before a refused count stays.
TEST_F(AniRecord, WhatCannotFitOrIsUnknownIsRefused) {
    struct Case {
        const char* what;
        uint32_t type;
        std::string bytes;
        bool ok;
        uint64_t stopsAt;
        size_t limits = 0, colours = 0;
    };
    const size_t h = kHeaderSize;
    StreamWriter negativeProgram = header(11);
    negativeProgram.i32(0x4).i32(1).hostString("").hostString("").hostString("").i32(-1);
    // clang-format off
    const Case cases[] = {
        {"zero counts", 0x3008, header().i32(0).i32(0).take(), true, h + 8},
        {"colours that just fit", 0x3008, header().i32(1).f32(1).i32(1).u32(7).take(), true, h + 16, 1, 1},
        {"1000 limits", 0x3008, header().i32(1000).f32(1).f32(2).i32(0).take(), false, h + 4},
        {"negative limits", 0x3008, header().i32(-1).i32(0).take(), false, h + 4},
        {"colours too many", 0x3008, header().i32(2).f32(1).f32(2).i32(3).u32(1).u32(2).take(), false, h + 16, 2},
        {"1000 texts", 0x3003, header().i32(1000).raw(std::string(100, '\0')).take(), false, h + 4},
        {"flags too many", 0x3003, header().i32(0).i32(5).i32(1).i32(1).i32(1).i32(1).take(), false, h + 8},
        {"params too many", 0x3003, header().i32(0).i32(0).i32(4).i32(1).i32(1).i32(1).take(), false, h + 12},
        {"negative program", 0x3006, negativeProgram.raw("abcdefgh").take(), false, h + 15},
        {"input version 12", 0x3006, header(12).i32(1).take(), false, kHeaderSize},
        {"negative program length", 0, StreamWriter().u8(10).i32(-1).raw("abcd").take(), false, 5},
        {"program beyond the bytes", 0, StreamWriter().u8(10).i32(5).raw("abcd").take(), false, 5},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CAniObj> animation(c.type ? CreateAnimation(c.type) : new CAniObj);
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
        } else if (auto* click = dynamic_cast<CAniClick*>(animation.get())) {
            EXPECT_EQ(click->m_arrText.GetSize() + click->m_arrFlag.size() +
                          click->m_arrParam.size(),
                      0u);
        } else if (auto* input = dynamic_cast<CAniInput*>(animation.get())) {
            EXPECT_EQ(input->m_bufUpper.length(), 0u);
        } else {
            EXPECT_EQ(animation->m_bufExpress.length(), 0u);
        }
    }
    EXPECT_TRUE(kvtest::nothingReported());
}

} // namespace
