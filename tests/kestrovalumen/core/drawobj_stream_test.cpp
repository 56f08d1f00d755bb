// The common object record: rows, counts and reports.
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/core/drawobj.h"
#include "runtime/stream/writer.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"
#include "tests/support/printers.h"
#include "tests/support/reports.h"
#include "tests/support/streamtestutil.h"

using kestro::HostLog;
using kestro::StreamWriter;
using kvtest::failNthNothrowAllocation;
using kvtest::monitorCodes;
using namespace streamtest;

namespace {

struct Head {
    uint8_t version = 10;
    uint32_t wordA = 0, wordB = 0;
    std::string operLog; // written when wordA has 0x100
    int32_t rect[4] = {10, 20, 110, 70};
    uint8_t penFlag = 1;
    uint32_t penStyle = 0;
    int32_t penWidthX = 1, penWidthY = 0;
    uint32_t penColor = 0;
    uint8_t brushFlag = 1;
    uint32_t brushStyle = 0, brushColor = 0, brushHatch = 0;
    uint16_t attr = 0;
    std::string name = "obj";
    uint32_t value1 = 0, value2 = 0;
};

StreamWriter writeHead(const Head& h) {
    StreamWriter out;
    out.u8(h.version).u32(h.wordA).u32(h.wordB);
    if (h.wordA & 0x100) {
        out.u32(0xDEADBEEF).i32(1).hostString(h.operLog);
    }
    for (int32_t v : h.rect) {
        out.i32(v);
    }
    out.u8(h.penFlag).u8(1).u32(h.penStyle).i32(h.penWidthX).i32(h.penWidthY).u32(h.penColor);
    out.u8(h.brushFlag).u8(1).u32(h.brushStyle).u32(h.brushColor).u32(h.brushHatch);
    out.u16(h.attr).u16(0xABCD).hostString(h.name).u32(h.value1).u32(h.value2);
    return out;
}

std::string visibleRecord(int32_t showType = 0) {
    return StreamWriter().u8(10).i32(1).raw("V").i32(showType).take();
}

class ObjectStream : public HostTest {
protected:
    bool load(CDrawObj& object, const std::string& bytes) {
        auto buffer = bufferOf(bytes);
        const bool ok = object.deserialize(&buffer);
        consumed = buffer.position();
        return ok;
    }
    uint64_t consumed = 0;
};

TEST_F(ObjectStream, ReadsEveryRow) {
    // Version, two words, log key, rectangle, pen flag, style, widths, colour, brush flag, style,
    // colour, hatch, attribute word, name, the two values.
    Head h{7, 0x00010100, 0x00020000, "log.key", {-5, 20, 110, 70}, 1,          1, 3, 9, 0xFF, 0xFF,
           2, 0x00336699, 5,          0xFFFF,    "Tank 1",          0xCAFEBABE, 7};
    StreamWriter out = writeHead(h);
    out.i32(2).eventRecord(3, "ab").eventRecord(-4, "");
    out.i32(1).u32(0x300B).raw(visibleRecord(1));
    const std::string bytes = out.take();

    CDrawObj o;
    ASSERT_TRUE(load(o, bytes));
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(o.m_strOperLog.str(), "log.key");
    EXPECT_EQ(o.m_strName.str(), "Tank 1");
    EXPECT_EQ(o.m_rect, (Rect32{-5, 20, 110, 70}));
    // Colours are stored with red in the lowest byte; the attribute word is zero-extended.
    EXPECT_EQ(
        (std::vector<int64_t>{o.m_byVersion, o.m_nObjectId, o.m_bOperLog, o.m_bPen,
                              o.m_logPen.style, o.m_logPen.widthX, o.m_logPen.widthY,
                              o.m_logPen.color, o.m_bBrush, o.m_logBrush.style, o.m_logBrush.color,
                              o.m_logBrush.hatch, o.m_nAttr, o.m_nStreamValue1, o.m_nStreamValue2}),
        (std::vector<int64_t>{7, 0x00020001, 1, 1, 1, 3, 9, 0x00FF0000, 255, 2, 0x00996633, 5,
                              0xFFFF, 0xCAFEBABE, 7}));
    ASSERT_EQ(o.m_arrayEvent.size(), 2u);
    EXPECT_EQ(o.m_arrayEvent[0]->m_nEventCode, 3);
    EXPECT_EQ(bytesOf(o.m_arrayEvent[0]->m_program), "ab");
    EXPECT_EQ(o.m_arrayEvent[1]->m_nEventCode, -4);
    ASSERT_EQ(o.AnimationCount(), 1);
    auto* visible = dynamic_cast<CAniVisible*>(o.AnimationAt(0));
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->m_nShowType, 1);
    EXPECT_EQ(visible->m_pDrawObj, &o);
    EXPECT_TRUE(HostLog::instance().monitor().empty());

    // Without bit 0x100 the rectangle follows the second word.
    h.wordA = 0xFFFFFEFF;
    CDrawObj plain;
    ASSERT_TRUE(load(plain, writeHead(h).i32(0).i32(0).take()));
    EXPECT_EQ(plain.m_nObjectId, 0x0002FFFFu);
    EXPECT_EQ(plain.m_bOperLog, 0);
    EXPECT_EQ(plain.m_rect, (Rect32{-5, 20, 110, 70}));
    EXPECT_FALSE(plain.deserialize(nullptr));
}

TEST_F(ObjectStream, CountsAreCheckedAgainstTheBytesLeft) {
    // Three bytes after the event count: three events pass the check (the first fails to read,
    // silently); four are refused before anything is allocated.
    CDrawObj three;
    EXPECT_FALSE(load(three, writeHead(Head()).i32(3).raw("xyz").take()));
    ASSERT_EQ(three.m_arrayEvent.size(), 3u);
    EXPECT_NE(three.m_arrayEvent[0], nullptr);
    EXPECT_EQ(three.m_arrayEvent[1], nullptr);
    // An event that fails to read stops the load, although what follows would read.
    CDrawObj negative;
    EXPECT_FALSE(load(negative, writeHead(Head()).i32(1).i32(5).i32(-1).i32(0).take()));
    for (int32_t count : {4, -1, INT32_MIN}) {
        CDrawObj o;
        EXPECT_FALSE(load(o, writeHead(Head()).i32(count).raw("xyz").take())) << count;
        EXPECT_TRUE(o.m_arrayEvent.empty()) << count;
    }
    // Ten bytes after the animation count: two entries could be there, three not.
    for (int32_t count : {0x40000000, 3, -1, INT32_MIN}) {
        CDrawObj o;
        EXPECT_FALSE(load(o, writeHead(Head()).i32(0).i32(count).u32(0x300C).u32(0).u16(0).take()));
        EXPECT_EQ(o.AnimationCount(), 0) << count;
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(ObjectStream, UnknownAnimationTypeIsReportedAndNothingIsBound) {
    CDrawObj o;
    const std::string bytes =
        writeHead(Head()).i32(0).i32(2).u32(0x300B).raw(visibleRecord()).u32(0x300C).take();
    EXPECT_FALSE(load(o, bytes));
    ASSERT_EQ(o.AnimationCount(), 2);
    ASSERT_NE(o.AnimationAt(0), nullptr);
    EXPECT_EQ(o.AnimationAt(0)->m_pDrawObj, nullptr); // bound only after all are read
    EXPECT_EQ(o.AnimationAt(1), nullptr);
    kvtest::expectFault(2, "Create Animation obj is fail",
                        {"deserialize", "drawobj", 1020, 1,
                         "Drawobj Create animation property is error", "12300", "%u"});
}

TEST_F(ObjectStream, FailedAnimationRecordIsReportedAfterTheAnimationsOwnReport) {
    CDrawObj o;
    EXPECT_FALSE(load(o, writeHead(Head()).i32(0).i32(1).u32(0x300B).u8(10).u16(0).take()));
    EXPECT_EQ(monitorCodes(), (std::vector<int>{30, 3}));
    EXPECT_EQ(HostLog::instance().monitor()[1].message, "m_arrayAnimate Serialize is fail");
    kvtest::expectLog(
        {"deserialize", "drawobj", 1032, 1, "DrawObj", "animation serialize is error"});
}

TEST_F(ObjectStream, FailedAllocationsAreReported) {
    CDrawObj o;
    const std::string events =
        writeHead(Head()).i32(3).eventRecord(1, "a").eventRecord(2, "b").eventRecord(3, "c").take();
    failNthNothrowAllocation(2);
    EXPECT_FALSE(load(o, events + StreamWriter().i32(0).take()));
    failNthNothrowAllocation(0);
    ASSERT_EQ(o.m_arrayEvent.size(), 3u);
    EXPECT_EQ(o.m_arrayEvent[1], nullptr);
    kvtest::expectFault(
        1, "Create m_arrayEvent obj is fail",
        {"deserialize", "drawobj", 985, 1, "Drawobj Create Event is error", "1", "%d"});

    kestro::resetHost();
    CDrawObj other;
    failNthNothrowAllocation(1);
    EXPECT_FALSE(load(other, writeHead(Head()).i32(0).i32(1).u32(0x3004).raw("junk").take()));
    failNthNothrowAllocation(0);
    EXPECT_EQ(monitorCodes(), std::vector<int>{2});
    ASSERT_EQ(HostLog::instance().logs().size(), 1u);
    EXPECT_EQ(HostLog::instance().logs()[0].text, "12292");
}

} // namespace
