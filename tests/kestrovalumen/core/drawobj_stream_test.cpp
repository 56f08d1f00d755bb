// The common object record: every row, the reload, counts that cannot be in the stream, the
// three reports, the string guard, and a cut at every byte of a record that carries one
// animation of every kind.
#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/core/drawobj.h"
#include "runtime/stream/writer.h"
#include "tests/support/allocations.h"
#include "tests/support/hostfixture.h"
#include "tests/support/obarray.h"
#include "tests/support/printers.h"
#include "tests/support/reports.h"
#include "tests/support/streamtestutil.h"

#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

using kestro::HostLog;
using kestro::StreamWriter;
using kvtest::failNthNothrowAllocation;
using kvtest::monitorCodes;
using namespace streamtest;

namespace {

// The record up to and including the name and the two values, written item by item.
struct Head {
    uint8_t version = 10;
    uint32_t wordA = 0;
    uint32_t wordB = 0;
    std::string operLog; // used when wordA has 0x100
    int32_t rect[4] = {10, 20, 110, 70};
    uint8_t penFlag[2] = {1, 0};
    uint32_t penStyle = 0;
    int32_t penWidthX = 1, penWidthY = 0;
    uint32_t penColor = 0; // as stored
    uint8_t brushFlag[2] = {1, 0};
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
    out.u8(h.penFlag[0]).u8(h.penFlag[1]);
    out.u32(h.penStyle).i32(h.penWidthX).i32(h.penWidthY).u32(h.penColor);
    out.u8(h.brushFlag[0]).u8(h.brushFlag[1]);
    out.u32(h.brushStyle).u32(h.brushColor).u32(h.brushHatch);
    out.u16(h.attr).u16(0xABCD).hostString(h.name).u32(h.value1).u32(h.value2);
    return out;
}

// A visibility record in the current header form.
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

// ---- rows ----

TEST_F(ObjectStream, ReadsEveryRow) {
    Head h;
    h.version = 7;
    h.wordA = 0x00010100;
    h.wordB = 0x00020000;
    h.operLog = "log.key";
    h.rect[0] = -5;
    h.rect[1] = 6;
    h.rect[2] = 300;
    h.rect[3] = 400;
    h.penFlag[0] = 1;
    h.penFlag[1] = 1;
    h.penStyle = 1;
    h.penWidthX = 3;
    h.penWidthY = 9;
    h.penColor = 0x000000FF;
    h.brushFlag[0] = 0xFF;
    h.brushFlag[1] = 0x01;
    h.brushStyle = 2;
    h.brushColor = 0x00336699;
    h.brushHatch = 5;
    h.attr = 0xFFFF;
    h.name = "Tank 1";
    h.value1 = 0xCAFEBABE;
    h.value2 = 7;
    StreamWriter out = writeHead(h);
    out.i32(2).eventRecord(3, "ab").eventRecord(-4, "");
    out.i32(1).u32(0x300B).raw(visibleRecord(1));
    const std::string bytes = out.take();

    CDrawObj object;
    ASSERT_TRUE(load(object, bytes));
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(object.m_byVersion, 7);
    EXPECT_EQ(object.m_nObjectId, 0x00020001u);
    EXPECT_EQ(object.m_bOperLog, 1);
    EXPECT_STREQ(object.m_strOperLog.GetString(), "log.key");
    EXPECT_EQ(object.m_rect, (Rect32{-5, 6, 300, 400}));
    EXPECT_EQ(object.m_bPen, 1); // the second byte is ignored
    EXPECT_EQ(object.m_logPen.style, 1u);
    EXPECT_EQ(object.m_logPen.widthX, 3);
    EXPECT_EQ(object.m_logPen.widthY, 9);
    EXPECT_EQ(object.m_logPen.color, 0x00FF0000u); // stored red in the lowest byte
    EXPECT_EQ(object.m_bBrush, 255);
    EXPECT_EQ(object.m_logBrush.style, 2u);
    EXPECT_EQ(object.m_logBrush.color, 0x00996633u);
    EXPECT_EQ(object.m_logBrush.hatch, 5u);
    EXPECT_EQ(object.m_nAttr, 0xFFFFu); // zero-extended
    EXPECT_STREQ(object.m_strName.GetString(), "Tank 1");
    EXPECT_EQ(object.m_nStreamValue1, 0xCAFEBABEu);
    EXPECT_EQ(object.m_nStreamValue2, 7u);

    ASSERT_EQ(object.m_arrayEvent.size(), 2u);
    EXPECT_EQ(object.m_arrayEvent[0]->m_nEventCode, 3);
    EXPECT_EQ(bytesOf(object.m_arrayEvent[0]->m_program), "ab");
    EXPECT_EQ(object.m_arrayEvent[1]->m_nEventCode, -4);
    EXPECT_EQ(object.m_arrayEvent[1]->m_program.length(), 0u);

    ASSERT_EQ(object.AnimationCount(), 1);
    auto* visible = dynamic_cast<CAniVisible*>(object.AnimationAt(0));
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->m_nShowType, 1);
    EXPECT_EQ(visible->m_pDrawObj, &object);
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(ObjectStream, WithoutBit0x100TheRectangleFollowsWordB) {
    Head h;
    h.wordA = 0xFFFF0000 | 0xFEFF; // every bit but 0x100
    h.wordB = 0x1234FFFF;
    CDrawObj object;
    ASSERT_TRUE(load(object, writeHead(h).i32(0).i32(0).take()));
    EXPECT_EQ(object.m_nObjectId, 0x1234FFFFu);
    EXPECT_EQ(object.m_bOperLog, 0);
    EXPECT_EQ(object.m_strOperLog.str(), "");
    EXPECT_EQ(object.m_rect, (Rect32{10, 20, 110, 70}));
}

TEST_F(ObjectStream, OutlineStylesOtherThan015BecomeSolid) {
    struct Case {
        uint32_t stored, loaded;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {5, 5}, {2, 0}, {3, 0}, {4, 0}, {6, 0}, {0xFFFFFFFF, 0}};
    for (const Case& c : cases) {
        Head h;
        h.penStyle = c.stored;
        h.brushStyle = c.stored; // fill style and hatch are kept as they are
        h.brushHatch = c.stored;
        CDrawObj object;
        ASSERT_TRUE(load(object, writeHead(h).i32(0).i32(0).take()));
        EXPECT_EQ(object.m_logPen.style, c.loaded) << c.stored;
        EXPECT_EQ(object.m_logBrush.style, c.stored);
        EXPECT_EQ(object.m_logBrush.hatch, c.stored);
    }
}

TEST_F(ObjectStream, EmptyListsLoadANullBufferFails) {
    CDrawObj object;
    ASSERT_TRUE(load(object, writeHead(Head()).i32(0).i32(0).take()));
    EXPECT_TRUE(object.m_arrayEvent.empty());
    EXPECT_EQ(object.AnimationCount(), 0);
    EXPECT_FALSE(object.deserialize(nullptr));
}

TEST_F(ObjectStream, FailureKeepsEarlierRowsAndLeavesLaterOnes) {
    Head first;
    first.penColor = 0x00010203;
    first.name = "first";
    CDrawObj object;
    ASSERT_TRUE(load(object, writeHead(first).i32(0).i32(0).take()));

    Head second;
    second.rect[0] = 1;
    second.rect[1] = 2;
    second.rect[2] = 3;
    second.rect[3] = 4;
    second.penColor = 0x00AABBCC;
    const std::string bytes = writeHead(second).take();
    // Cut inside the outline row (offset 9 + 16 + 2 + 8): the rectangle and the outline flag are
    // new, the outline keeps its former colour.
    EXPECT_FALSE(load(object, bytes.substr(0, 35)));
    EXPECT_EQ(object.m_rect, (Rect32{1, 2, 3, 4}));
    EXPECT_EQ(object.m_logPen.color, 0x00030201u);
    EXPECT_STREQ(object.m_strName.GetString(), "first");
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

// ---- counts ----

TEST_F(ObjectStream, EventCountIsCheckedAgainstTheBytesLeft) {
    // Three bytes follow the count: three events pass the check (and the first fails to read,
    // silently); four are refused before anything is allocated.
    {
        CDrawObj object;
        EXPECT_FALSE(load(object, writeHead(Head()).i32(3).raw("xyz").take()));
        ASSERT_EQ(object.m_arrayEvent.size(), 3u);
        EXPECT_NE(object.m_arrayEvent[0], nullptr);
        EXPECT_EQ(object.m_arrayEvent[1], nullptr);
        EXPECT_EQ(object.m_arrayEvent[2], nullptr);
    }
    for (int32_t count : {4, -1, INT32_MIN, INT32_MAX}) {
        CDrawObj object;
        EXPECT_FALSE(load(object, writeHead(Head()).i32(count).raw("xyz").take())) << count;
        EXPECT_TRUE(object.m_arrayEvent.empty()) << count;
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());
}

TEST_F(ObjectStream, AnimationCountIsCheckedAgainstTheBytesLeft) {
    for (int32_t count : {0x40000000, 3, -1, INT32_MIN}) {
        CDrawObj object;
        // Ten bytes left after the count: two entries could be there, three not.
        const std::string bytes =
            writeHead(Head()).i32(0).i32(count).u32(0x300C).u32(0).u16(0).take();
        EXPECT_FALSE(load(object, bytes)) << count;
        EXPECT_EQ(object.AnimationCount(), 0) << count;
    }
    EXPECT_TRUE(HostLog::instance().monitor().empty());

    // Two entries fit in eight bytes: the list is sized and the unknown type is reported.
    CDrawObj object;
    EXPECT_FALSE(load(object, writeHead(Head()).i32(0).i32(2).u32(0x300C).u32(0).take()));
    EXPECT_EQ(object.AnimationCount(), 2);
    EXPECT_EQ(monitorCodes(), std::vector<int>{2});
}

// ---- reports ----

TEST_F(ObjectStream, UnknownAnimationTypeIsReported) {
    CDrawObj object;
    const std::string bytes =
        writeHead(Head()).i32(0).i32(2).u32(0x300B).raw(visibleRecord()).u32(0x300C).take();
    EXPECT_FALSE(load(object, bytes));
    ASSERT_EQ(object.AnimationCount(), 2);
    EXPECT_NE(object.AnimationAt(0), nullptr);
    EXPECT_EQ(object.AnimationAt(1), nullptr);

    kvtest::expectFault(2, "Create Animation obj is fail",
                        {"deserialize", "drawobj", 1020, 1,
                         "Drawobj Create animation property is error", "12300", "%u"});
}

TEST_F(ObjectStream, FailedAnimationRecordIsReportedAfterTheAnimationsOwnReport) {
    CDrawObj object;
    // A visibility record cut inside its header.
    const std::string bytes = writeHead(Head()).i32(0).i32(1).u32(0x300B).u8(10).u16(0).take();
    EXPECT_FALSE(load(object, bytes));
    EXPECT_EQ(monitorCodes(), (std::vector<int>{30, 3}));
    EXPECT_EQ(HostLog::instance().monitor()[1].message, "m_arrayAnimate Serialize is fail");
    kvtest::expectLog(
        {"deserialize", "drawobj", 1032, 1, "DrawObj", "animation serialize is error"});
}

TEST_F(ObjectStream, EventThatCannotBeAllocatedIsReportedWithItsIndex) {
    CDrawObj object;
    const std::string bytes = writeHead(Head())
                                  .i32(3)
                                  .eventRecord(1, "a")
                                  .eventRecord(2, "b")
                                  .eventRecord(3, "c")
                                  .i32(0)
                                  .take();
    failNthNothrowAllocation(2);
    EXPECT_FALSE(load(object, bytes));
    failNthNothrowAllocation(0);
    ASSERT_EQ(object.m_arrayEvent.size(), 3u);
    EXPECT_NE(object.m_arrayEvent[0], nullptr);
    EXPECT_EQ(object.m_arrayEvent[1], nullptr);

    kvtest::expectFault(
        1, "Create m_arrayEvent obj is fail",
        {"deserialize", "drawobj", 985, 1, "Drawobj Create Event is error", "1", "%d"});
}

TEST_F(ObjectStream, AnimationThatCannotBeAllocatedIsReportedAsUnknown) {
    CDrawObj object;
    const std::string bytes = writeHead(Head()).i32(0).i32(1).u32(0x3004).raw("junk").take();
    failNthNothrowAllocation(1);
    EXPECT_FALSE(load(object, bytes));
    failNthNothrowAllocation(0);
    EXPECT_EQ(monitorCodes(), std::vector<int>{2});
    ASSERT_EQ(HostLog::instance().logs().size(), 1u);
    EXPECT_EQ(HostLog::instance().logs()[0].text, "12292");
}

// ---- reload ----

// Records what the loader does to an animation that was in the list before a reload.
class Probe : public CAniObj {
public:
    explicit Probe(std::vector<std::string>& log) : m_log(log) {}
    ~Probe() override { m_log.push_back("destroyed"); }
    void InitObj(CDrawObj* owner) override {
        CAniObj::InitObj(owner);
        char line[96];
        std::snprintf(line, sizeof line, "InitObj pen %06x brush %06x name %s",
                      owner->m_logPen.color, owner->m_logBrush.color, owner->m_strName.GetString());
        m_log.push_back(line);
    }

private:
    std::vector<std::string>& m_log;
};

TEST_F(ObjectStream, ReloadKeepsOnlyTheSecondRecordsListsAndBindsTheOldAnimationsFirst) {
    Head first;
    first.name = "first";
    first.penColor = 0x000000FF;
    StreamWriter one = writeHead(first);
    one.i32(2).eventRecord(1, "a").eventRecord(2, "b");
    one.i32(2).u32(0x300B).raw(visibleRecord());
    one.u32(0x3001).raw(StreamWriter().u8(10).i32(0).i32(0).i32(0).u32(0).u32(0).u32(0).take());

    CDrawObj object;
    ASSERT_TRUE(load(object, one.take()));
    ASSERT_EQ(object.AnimationCount(), 2);
    std::vector<std::string> log;
    kvtest::append(object.m_arrayAnimate, new Probe(log));

    Head second;
    second.name = "second";
    second.penColor = 0x0000FF00;
    second.brushColor = 0x00FF0000;
    StreamWriter two = writeHead(second);
    two.i32(1).eventRecord(9, "z");
    two.i32(1).u32(0x3004).raw(StreamWriter().u8(10).i32(0).i32(0).i32(5).f32(0).f32(1).take());
    ASSERT_TRUE(load(object, two.take()));

    // The old animation saw the new outline and fill, before the name was read, then went.
    EXPECT_EQ(
        log, (std::vector<std::string>{"InitObj pen 00ff00 brush 0000ff name first", "destroyed"}));
    ASSERT_EQ(object.m_arrayEvent.size(), 1u);
    EXPECT_EQ(object.m_arrayEvent[0]->m_nEventCode, 9);
    ASSERT_EQ(object.AnimationCount(), 1);
    auto* move = dynamic_cast<CAniHMove*>(object.AnimationAt(0));
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->m_nMaxOffset, 5);
    EXPECT_EQ(move->m_pDrawObj, &object);
    EXPECT_STREQ(object.m_strName.GetString(), "second");
}

TEST_F(ObjectStream, LoadBindsEveryAnimationOnlyAfterAllAreRead) {
    // A blink and a visibility: both bound to the owner after the load.
    StreamWriter out = writeHead(Head());
    out.i32(0).i32(2).u32(0x3001);
    out.raw(StreamWriter().u8(10).i32(0).i32(0).i32(1).u32(0).u32(0).u32(0).take());
    out.u32(0x300B).raw(visibleRecord());
    CDrawObj object;
    ASSERT_TRUE(load(object, out.take()));
    for (int i = 0; i < object.AnimationCount(); ++i) {
        EXPECT_EQ(object.AnimationAt(i)->m_pDrawObj, &object);
    }
    // On a failed load the entries read so far stay unbound.
    StreamWriter bad = writeHead(Head());
    bad.i32(0).i32(2).u32(0x300B).raw(visibleRecord()).u32(0x300C);
    CDrawObj failed;
    EXPECT_FALSE(load(failed, bad.take()));
    EXPECT_EQ(failed.AnimationAt(0)->m_pDrawObj, nullptr);
}

// ---- the string guard and the exceptions that pass ----

TEST_F(ObjectStream, StringsAreGuardedOtherReadsAreNot) {
    Head h;
    h.wordA = 0x100;
    h.operLog = "key";
    StreamWriter out = writeHead(h);
    const uint64_t nameAt = out.size() - 8 - 4; // before the two values: "obj" takes 4 bytes
    out.i32(1).eventRecord(5, "e");
    const uint64_t eventAt = out.size() - 9;
    out.i32(1).u32(0x300B);
    const uint64_t animationAt = out.size();
    out.raw(visibleRecord());
    const std::string bytes = out.take();
    const uint64_t operLogAt = 9 + 8;
    const uint64_t rectAt = operLogAt + 4;

    for (uint64_t at : {operLogAt, nameAt}) {
        SCOPED_TRACE(at);
        ThrowingBuffer<std::runtime_error> foreign(bytes, at);
        CDrawObj object;
        EXPECT_FALSE(object.deserialize(&foreign));
        ThrowingBuffer<std::bad_alloc> exhausted(bytes, at);
        CDrawObj other;
        EXPECT_FALSE(other.deserialize(&exhausted));
        ThrowingBuffer<FF::utils::deserialize_block_error> block(bytes, at);
        CDrawObj third;
        EXPECT_THROW(third.deserialize(&block), FF::utils::deserialize_block_error);
    }
    for (uint64_t at : {uint64_t(0), rectAt, eventAt, animationAt}) {
        SCOPED_TRACE(at);
        ThrowingBuffer<std::runtime_error> foreign(bytes, at);
        CDrawObj object;
        EXPECT_THROW(object.deserialize(&foreign), std::runtime_error);
    }
    // The intact stream loads, so the offsets above point where they should.
    CDrawObj object;
    EXPECT_TRUE(load(object, bytes));
}

TEST_F(ObjectStream, NameLongerThanTheStreamIsTheHostsBlockError) {
    Head h;
    h.name = "";
    std::string bytes = writeHead(h).take();
    bytes[bytes.size() - 9] = static_cast<char>(200); // the name's length prefix
    auto buffer = bufferOf(bytes);
    CDrawObj object;
    EXPECT_THROW(object.deserialize(&buffer), FF::utils::deserialize_block_error);
    EXPECT_EQ(object.m_strName.str(), "");
}

// ---- a cut at every byte ----

kestro::ObjectRecord everyKind(kestro::AnimationHeader::Form form) {
    using namespace kestro;
    AnimationHeader h;
    h.form = form;
    h.source = "x+1";
    h.program = "PRG";
    ObjectRecord r;
    r.objectId = 0x00030004;
    r.operLogBlock = OperLogBlock{0, 1, "log"};
    r.right = 100;
    r.bottom = 50;
    r.pen = 1;
    r.penColor = 0x00FF0000;
    r.name = "all";
    r.events = {{11111, "EV"}};

    VisibleRecord visible{h, 1};
    BlinkRecord blink;
    blink.header = h;
    blink.blinkType = 1;
    PenRecord pen;
    pen.header = h;
    pen.values = {1, 2};
    pen.colors = {0x0000FF, 0x00FF00};
    BrushRecord brush;
    brush.header = h;
    brush.values = {5};
    brush.colors = {0x123456};
    TextColorRecord text;
    text.header = h;
    HMoveRecord hmove;
    hmove.header = h;
    hmove.maxValue = 10;
    VMoveRecord vmove;
    vmove.header = h;
    vmove.maxOffset = 3;
    SizeRecord size;
    size.header = h;
    size.maxValue = 100;
    size.maxPercent = 100;
    ClickRecord click;
    click.header = h;
    click.texts = {"", "", "", "", "打印当前屏幕", "", "退出运行环境", ""};
    click.flags = {1, 0, 0, 0, 1, 0, 1, 0x100};
    click.params = {3, 0, 0, 0, 0, 0, 0, 9};
    InputRecord input;
    input.header = h;
    input.prompt = "value";
    input.upper.value = 100;
    if (form == AnimationHeader::Form::Current) {
        input.header.version = 11;
        input.upper = InputLimit{true, 0, "UP"};
        input.lower = InputLimit{false, -5, ""};
    }
    input.varId = 4;
    OutputRecord output;
    output.header = h;
    output.offText = "off";
    output.onText = "on";
    r.animations = {animationEntry(visible), animationEntry(blink), animationEntry(pen),
                    animationEntry(brush),   animationEntry(text),  animationEntry(hmove),
                    animationEntry(vmove),   animationEntry(size),  animationEntry(click),
                    animationEntry(input),   animationEntry(output)};
    return r;
}

void sweep(const kestro::ObjectRecord& record) {
    const std::string bytes = kestro::encodeObject(record);
    kestro::ObjectRecord withoutList = record;
    withoutList.animations.clear();
    const size_t listStart = kestro::encodeObject(withoutList).size();

    int refused = 0;
    int blockErrors = 0;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        HostLog::instance().clear();
        auto buffer = bufferOf(bytes.substr(0, cut));
        auto* object = new CDrawObj;
        try {
            EXPECT_FALSE(object->deserialize(&buffer));
            ++refused;
        } catch (const FF::utils::deserialize_block_error&) {
            ++blockErrors; // a cut inside a text
        }
        delete object;
        if (cut < listStart) {
            EXPECT_TRUE(HostLog::instance().monitor().empty());
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(blockErrors, 0);

    auto buffer = bufferOf(bytes);
    CDrawObj object;
    ASSERT_TRUE(object.deserialize(&buffer));
    EXPECT_EQ(buffer.position(), bytes.size());
    ASSERT_EQ(object.AnimationCount(), 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(object.AnimationAt(i)->m_nAniType, record.animations[size_t(i)].typeId);
        EXPECT_EQ(object.AnimationAt(i)->m_pDrawObj, &object);
    }
    ASSERT_EQ(object.m_arrayEvent.size(), 1u);
    EXPECT_EQ(object.m_arrayEvent[0]->m_nEventCode, 11111);
}

TEST_F(ObjectStream, EveryCutOfARecordWithEveryAnimationKindFails) {
    sweep(everyKind(kestro::AnimationHeader::Form::Current));
}

TEST_F(ObjectStream, EveryCutFailsWithTheOldHeaderToo) {
    setVersion(3, 2, 5, 1840);
    sweep(everyKind(kestro::AnimationHeader::Form::Old));
}

} // namespace
