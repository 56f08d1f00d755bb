// CDrawObj: geometry, coordinates, show state, region, operation log, lifetime.
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/script.h"
#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"
#include "runtime/host/logger.h"
#include "tests/support/hostfixture.h"
#include "tests/support/obarray.h"
#include "tests/support/printers.h"
#include "tests/support/reports.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kestro::HostLog;

//! An animation that records what happens to it.
class ProbeAnimation : public CAniObj {
public:
    struct Journal {
        std::vector<std::string> runs;
        int destroyed = 0;
        // What the owner looked like when the first probe was destroyed.
        bool sawOwner = false;
        int32_t ownerValue3 = -1;
        bool ownerClipRectFreed = false;
        size_t ownerEventCount = 0;
    };

    ProbeAnimation(Journal* journal, std::string name, int result = 0, int blink = 0)
        : m_journal(journal), m_name(std::move(name)), m_result(result), m_blink(blink) {}
    ~ProbeAnimation() override {
        ++m_journal->destroyed;
        if (m_owner && !m_journal->sawOwner) {
            m_journal->sawOwner = true;
            m_journal->ownerValue3 = m_owner->m_nValue3;
            m_journal->ownerClipRectFreed = m_owner->m_pClipRect == nullptr;
            m_journal->ownerEventCount = m_owner->m_arrayEvent.size();
        }
    }

    int IsBlink() override { return m_blink; }
    int Run(int nEvent) override {
        m_journal->runs.push_back(m_name + ":" + std::to_string(nEvent));
        return m_result;
    }

    CDrawObj* m_owner = nullptr; //!< looked at while the owner is being destroyed

private:
    Journal* m_journal;
    std::string m_name;
    int m_result;
    int m_blink;
};

class DrawObjTest : public HostTest {};

TEST_F(DrawObjTest, BoundRectWidensByHalfTheOutline) {
    enum Anim { None, Blink, Plain, PlainThenBlink };
    struct Case {
        const char* name;
        Rect32 rect;
        int bPen;
        int width;
        Anim animations;
        Rect32 expected; // inclusive
    };
    const Case cases[] = {
        {"pen width 3", {10, 20, 31, 41}, 1, 3, None, {8, 18, 32, 42}},
        {"pen width 0", {10, 20, 31, 41}, 1, 0, None, {10, 20, 30, 40}},
        {"pen width 1", {10, 20, 31, 41}, 1, 1, None, {9, 19, 31, 41}},
        {"pen width 4", {10, 20, 31, 41}, 1, 4, None, {8, 18, 32, 42}},
        {"pen width -4", {10, 20, 31, 41}, 1, -4, None, {11, 21, 29, 39}},
        {"no pen", {10, 20, 31, 41}, 0, 3, None, {10, 20, 30, 40}},
        {"no pen, blinking", {10, 20, 31, 41}, 0, 3, Blink, {8, 18, 32, 42}},
        {"no pen, other animation", {10, 20, 31, 41}, 0, 3, Plain, {10, 20, 30, 40}},
        {"no pen, blink second", {10, 20, 31, 41}, 0, 5, PlainThenBlink, {7, 17, 33, 43}},
        {"empty width", {10, 20, 10, 41}, 1, 3, None, {10, 20, 9, 40}},
        {"empty height", {10, 20, 31, 20}, 0, 3, Blink, {10, 20, 30, 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeAnimation::Journal journal;
        CDrawObj obj;
        obj.m_rect = c.rect;
        obj.m_bPen = c.bPen;
        obj.m_logPen.widthX = c.width;
        if (c.animations == Plain || c.animations == PlainThenBlink) {
            kvtest::append(obj.m_arrayAnimate, new ProbeAnimation(&journal, "plain"));
        }
        if (c.animations == Blink || c.animations == PlainThenBlink) {
            kvtest::append(obj.m_arrayAnimate, new ProbeAnimation(&journal, "blink", 0, 1));
        }
        int l = 0, t = 0, r = 0, b = 0;
        obj.GetBoundRect(&l, &t, &r, &b);
        EXPECT_EQ((Rect32{l, t, r, b}), c.expected);
        EXPECT_TRUE(journal.runs.empty());
    }
}

TEST_F(DrawObjTest, RunRunsEveryAnimationInOrder) {
    struct Case {
        const char* name;
        std::vector<int> results;
        bool expected;
    };
    const Case cases[] = {
        {"no animations", {}, false},
        {"all unchanged", {0, 0}, false},
        {"only the last changes", {0, 0, 7}, true},
        {"the first changes", {3, 0, 0}, true},
        {"negative counts as change", {0, -1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeAnimation::Journal journal;
        CDrawObj obj;
        std::vector<std::string> expectedRuns;
        for (size_t i = 0; i < c.results.size(); ++i) {
            const std::string name = "a" + std::to_string(i);
            kvtest::append(obj.m_arrayAnimate, new ProbeAnimation(&journal, name, c.results[i]));
            expectedRuns.push_back(name + ":11111");
        }
        EXPECT_EQ(obj.Run(KV_EVENT_CLICK, 4, 5), c.expected);
        EXPECT_EQ(journal.runs, expectedRuns);
    }
}

struct ConversionCase {
    const char* name;
    Rect32 start;
    int x1, y1, x2, y2;
    Rect32 relative;
};

const ConversionCase kConversions[] = {
    {"origin reference", {10, 20, 30, 40}, 0, 0, 100, 200, {1000, 1000, 3000, 2000}},
    {"reference corners swapped", {10, 20, 30, 40}, 100, 200, 0, 0, {1000, 1000, 3000, 2000}},
    {"offset reference", {75, 110, 100, 160}, 50, 60, 150, 260, {2500, 2500, 5000, 5000}},
    {"rounded thirds", {1, 1, 2, 2}, 0, 0, 3, 3, {3333, 3333, 6667, 6667}},
    {"outside the reference", {-10, -5, 0, 110}, 0, 0, 100, 100, {-1000, -500, 0, 11000}},
};

TEST_F(DrawObjTest, ToRelativeAndBack) {
    for (const ConversionCase& c : kConversions) {
        SCOPED_TRACE(c.name);
        CDrawObj obj;
        obj.m_rect = c.start;
        obj.ToRelative(c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(obj.m_rect, c.relative);
        obj.ToAbsolute(c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(obj.m_rect, c.start);
    }
    CDrawObj clipped; // the clip rectangle moves too
    clipped.m_rect = {10, 20, 30, 40};
    clipped.m_pClipRect = new Rect32{0, 0, 50, 100};
    clipped.ToRelative(0, 0, 100, 200);
    EXPECT_EQ(*clipped.m_pClipRect, (Rect32{0, 0, 5000, 5000}));
    clipped.ToAbsolute(100, 100, 300, 200);
    EXPECT_EQ(*clipped.m_pClipRect, (Rect32{100, 100, 200, 150}));
    EXPECT_EQ(clipped.m_rect, (Rect32{120, 110, 160, 120}));
    clipped.SetBounds(1, 2, 3, 4); // inclusive corners
    EXPECT_EQ(clipped.m_rect, (Rect32{1, 2, 4, 5}));
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(DrawObjTest, ZeroSizedReference) {
    CDrawObj obj;
    obj.m_rect = {10, 20, 30, 40};
    obj.ToRelative(5, 0, 5, 100); // no width: both x coordinates become -1
    EXPECT_EQ(obj.m_rect, (Rect32{-1, 2000, -1, 4000}));
    const auto& logs = HostLog::instance().logs();
    ASSERT_EQ(logs.size(), 2u);
    for (const kestro::LogRecord& log : logs) {
        EXPECT_EQ(log.function, "MulDiv");
        EXPECT_EQ(log.text, "height = 0");
    }

    HostLog::instance().clear();
    obj.m_rect = {5000, 5000, 10000, 10000};
    obj.ToAbsolute(7, 3, 7, 3); // scaling by zero collapses onto the corner, no divisor of 0
    EXPECT_EQ(obj.m_rect, (Rect32{7, 3, 7, 3}));
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

//! Records where it is drawn and how it was laid out.
class RecordingObj : public CDrawObj {
public:
    void Draw(QPainter* painter) override {
        ++draws;
        drawnPainter = painter;
        drawnRect = m_rect;
    }
    void ToAbsolute(int x1, int y1, int x2, int y2) override {
        absoluteCalls.push_back({x1, y1, x2, y2});
        CDrawObj::ToAbsolute(x1, y1, x2, y2);
    }
    int draws = 0;
    QPainter* drawnPainter = nullptr;
    Rect32 drawnRect;
    std::vector<std::vector<int>> absoluteCalls;
};

TEST_F(DrawObjTest, DrawInRectLaysOutDrawsAndRestoresOnlyTheRectangle) {
    RecordingObj obj;
    obj.m_rect = {1000, 1000, 3000, 2000};
    obj.m_pClipRect = new Rect32{0, 0, 5000, 5000};
    QImage image(8, 8, QImage::Format_ARGB32);
    QPainter painter(&image);
    obj.DrawInRect(&painter, 0, 0, 100, 200);
    EXPECT_EQ(obj.draws, 1);
    EXPECT_EQ(obj.drawnPainter, &painter);
    EXPECT_EQ(obj.drawnRect, (Rect32{10, 20, 30, 40}));
    ASSERT_EQ(obj.absoluteCalls.size(), 1u);
    EXPECT_EQ(obj.absoluteCalls[0], (std::vector<int>{0, 0, 100, 200}));
    EXPECT_EQ(obj.m_rect, (Rect32{1000, 1000, 3000, 2000}));
    EXPECT_EQ(*obj.m_pClipRect, (Rect32{0, 0, 50, 100}));
}

TEST_F(DrawObjTest, ShowStateDigits) {
    enum Op { Visible, Shown };
    struct Case {
        int start;
        Op op;
        bool value;
        int expected;
    };
    const Case cases[] = {
        {11, Visible, false, 10}, {11, Shown, false, 1},      {10, Visible, true, 11},
        {1, Shown, true, 11},     {0, Visible, true, 1},      {0, Shown, true, 10},
        {11, Visible, true, 11},  {11, Shown, true, 11},      {25, Visible, false, 20},
        {25, Visible, true, 21},  {25, Shown, false, 5},      {25, Shown, true, 15},
        {111, Shown, false, 1},   {111, Visible, false, 110},
    };
    for (const Case& c : cases) {
        CDrawObj obj;
        obj.m_nShowState = c.start;
        if (c.op == Visible) {
            obj.SetVisible(c.value);
        } else {
            obj.SetShown(c.value);
        }
        EXPECT_EQ(obj.m_nShowState, c.expected)
            << c.start << (c.op == Visible ? " SetVisible(" : " SetShown(") << c.value << ")";
    }
}

//! Answers GetRect with a rectangle of its own.
class OwnRectObj : public CDrawObj {
public:
    void GetRect(int rect[4]) const override { rect[0] = 4, rect[1] = 4, rect[2] = 0, rect[3] = 0; }
};

TEST_F(DrawObjTest, RegionCoversTheRectangleAndTheWholeOutline) {
    struct Case {
        const char* name;
        Rect32 rect;
        int bPen;
        int width;
        QRect expected; // x, y, width, height
    };
    const Case cases[] = {
        {"no pen", {10, 20, 30, 40}, 0, 3, QRect(10, 20, 20, 20)},
        {"pen width 3", {10, 20, 30, 40}, 1, 3, QRect(7, 17, 26, 26)},
        {"pen width 0", {10, 20, 30, 40}, 1, 0, QRect(10, 20, 20, 20)},
        {"reversed corners", {30, 40, 10, 20}, 0, 0, QRect(10, 20, 20, 20)},
        {"reversed with pen", {30, 40, 10, 20}, 1, 1, QRect(9, 19, 22, 22)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawObj obj;
        obj.m_rect = c.rect;
        obj.m_bPen = c.bPen;
        obj.m_logPen.widthX = c.width;
        QRegion region(QRect(100, 100, 5, 5));
        obj.GetRegion(&region);
        EXPECT_EQ(region, QRegion(c.expected));
    }

    OwnRectObj own;
    own.m_rect = {10, 20, 30, 40};
    QRegion region;
    own.GetRegion(&region);
    EXPECT_EQ(region, QRegion(QRect(0, 0, 4, 4)));
}

TEST_F(DrawObjTest, OperationLogGoesToTheParentWhenThereIsOne) {
    kestro::Linguist& linguist = kestro::Linguist::instance();
    linguist.setText("zh", "key.own", "本对象");
    linguist.setText("zh", "key.group", "key.group.again");
    linguist.setText("zh", "key.group.again", "组操作");
    linguist.setCurrentLanguage("zh");
    const auto& entries = kestro::Gui::instance().operationLog();
    CDrawObj obj;
    obj.m_strOperLog = "key.own";
    obj.WriteOperLog(3);
    EXPECT_TRUE(entries.empty()); // the flag is off
    obj.m_bOperLog = 1;
    obj.WriteOperLog(4);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].object, &obj);
    EXPECT_EQ(entries[0].code, 4);
    EXPECT_EQ(entries[0].text, "本对象");

    // A parent's text is translated twice, and only a parent with the flag writes.
    CDrawObj group;
    group.m_strOperLog = "key.group";
    obj.SetParent(&group);
    obj.WriteOperLog(9);
    EXPECT_EQ(entries.size(), 1u);
    group.m_bOperLog = 1;
    obj.WriteOperLog(9);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].object, &group);
    EXPECT_EQ(entries[1].code, 9);
    EXPECT_EQ(entries[1].text, "组操作");
}

TEST_F(DrawObjTest, DestructorReleasesWhatTheObjectOwns) {
    ProbeAnimation::Journal journal;
    auto* obj = new CDrawObj;
    obj->m_nValue3 = 77;
    obj->m_pClipRect = new Rect32{1, 2, 3, 4};
    for (const char* name : {"first", "second", "third"}) {
        auto* animation = new ProbeAnimation(&journal, name);
        animation->m_owner = obj;
        kvtest::append(obj->m_arrayAnimate, animation);
    }
    kvtest::append(obj->m_arrayAnimate, nullptr); // an entry left empty by a failed load
    obj->m_arrayEvent.push_back(new CEventDispatch);
    obj->m_arrayEvent.push_back(nullptr);
    obj->m_arrayEvent.push_back(new CEventDispatch);

    // Deleted the way the host does it: through its root interface.
    delete static_cast<rtti::object_c*>(obj);

    EXPECT_EQ(journal.destroyed, 3);
    ASSERT_TRUE(journal.sawOwner);
    EXPECT_EQ(journal.ownerValue3, 0);
    EXPECT_TRUE(journal.ownerClipRectFreed);
    EXPECT_EQ(journal.ownerEventCount, 3u); // events go after the animations
}

} // namespace
