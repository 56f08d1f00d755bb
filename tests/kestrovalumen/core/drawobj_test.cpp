// CDrawObj: geometry, coordinates, show state, region, lifetime.
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj.h"
#include "runtime/host/logger.h"
#include "tests/support/hostfixture.h"
#include "tests/support/obarray.h"
#include "tests/support/printers.h"

#include <QRegion>

#include <gtest/gtest.h>

namespace {

using kestro::HostLog;

//! An animation that may blink, and notes what its owner looked like when it was destroyed.
class ProbeAnimation : public CAniObj {
public:
    struct Journal {
        int destroyed = 0;
        bool sawOwner = false;
        int32_t ownerValue3 = -1;
        bool ownerClipRectFreed = false;
        size_t ownerEventCount = 0;
    };

    explicit ProbeAnimation(Journal* journal, int blink = 0) : m_journal(journal), m_blink(blink) {}
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

    CDrawObj* m_owner = nullptr;

private:
    Journal* m_journal;
    int m_blink;
};

class DrawObjTest : public HostTest {};

TEST_F(DrawObjTest, BoundRectWidensByHalfTheOutline) {
    enum Anim { None, Blink, Plain, PlainThenBlink };
    const struct {
        Rect32 rect;
        int bPen, width;
        Anim animations;
        Rect32 expected; // inclusive
    } cases[] = {
        {{10, 20, 31, 41}, 1, 3, None, {8, 18, 32, 42}},
        {{10, 20, 31, 41}, 1, 0, None, {10, 20, 30, 40}},
        {{10, 20, 31, 41}, 1, 1, None, {9, 19, 31, 41}},
        {{10, 20, 31, 41}, 1, 4, None, {8, 18, 32, 42}},
        {{10, 20, 31, 41}, 1, -4, None, {11, 21, 29, 39}},
        {{10, 20, 31, 41}, 0, 3, None, {10, 20, 30, 40}},
        // Without a pen only a blinking animation, wherever it is in the list, widens.
        {{10, 20, 31, 41}, 0, 3, Blink, {8, 18, 32, 42}},
        {{10, 20, 31, 41}, 0, 3, Plain, {10, 20, 30, 40}},
        {{10, 20, 31, 41}, 0, 5, PlainThenBlink, {7, 17, 33, 43}},
        {{10, 20, 10, 41}, 1, 3, None, {10, 20, 9, 40}},
        {{10, 20, 31, 20}, 0, 3, Blink, {10, 20, 30, 19}},
    };
    for (const auto& c : cases) {
        ProbeAnimation::Journal journal;
        CDrawObj obj;
        obj.m_rect = c.rect;
        obj.m_bPen = c.bPen;
        obj.m_logPen.widthX = c.width;
        if (c.animations == Plain || c.animations == PlainThenBlink) {
            kvtest::append(obj.m_arrayAnimate, new ProbeAnimation(&journal));
        }
        if (c.animations == Blink || c.animations == PlainThenBlink) {
            kvtest::append(obj.m_arrayAnimate, new ProbeAnimation(&journal, 1));
        }
        int l = 0, t = 0, r = 0, b = 0;
        obj.GetBoundRect(&l, &t, &r, &b);
        EXPECT_EQ((Rect32{l, t, r, b}), c.expected) << c.width << " " << c.animations;
    }
}

TEST_F(DrawObjTest, ToRelativeAndBack) {
    const struct {
        Rect32 start;
        int x1, y1, x2, y2;
        Rect32 relative;
    } cases[] = {
        {{10, 20, 30, 40}, 0, 0, 100, 200, {1000, 1000, 3000, 2000}},
        {{10, 20, 30, 40}, 100, 200, 0, 0, {1000, 1000, 3000, 2000}},
        {{75, 110, 100, 160}, 50, 60, 150, 260, {2500, 2500, 5000, 5000}},
        {{1, 1, 2, 2}, 0, 0, 3, 3, {3333, 3333, 6667, 6667}},
        {{-10, -5, 0, 110}, 0, 0, 100, 100, {-1000, -500, 0, 11000}},
    };
    for (const auto& c : cases) {
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

    CDrawObj flat;
    flat.m_rect = {10, 20, 30, 40};
    flat.ToRelative(5, 0, 5, 100); // no width: both x coordinates become -1, logged twice
    EXPECT_EQ(flat.m_rect, (Rect32{-1, 2000, -1, 4000}));
    ASSERT_EQ(HostLog::instance().logs().size(), 2u);
    EXPECT_EQ(HostLog::instance().logs()[1].text, "height = 0");
    HostLog::instance().clear();
    flat.m_rect = {5000, 5000, 10000, 10000};
    flat.ToAbsolute(7, 3, 7, 3); // scaling by zero collapses onto the corner, no divisor of 0
    EXPECT_EQ(flat.m_rect, (Rect32{7, 3, 7, 3}));
    EXPECT_TRUE(HostLog::instance().logs().empty());
}

TEST_F(DrawObjTest, ShowStateDigits) {
    enum Op { Visible, Shown };
    const struct {
        int start;
        Op op;
        bool value;
        int expected;
    } cases[] = {
        {11, Visible, false, 10}, {11, Shown, false, 1},      {10, Visible, true, 11},
        {1, Shown, true, 11},     {0, Visible, true, 1},      {0, Shown, true, 10},
        {11, Visible, true, 11},  {11, Shown, true, 11},      {25, Visible, false, 20},
        {25, Visible, true, 21},  {25, Shown, false, 5},      {25, Shown, true, 15},
        {111, Shown, false, 1},   {111, Visible, false, 110},
    };
    for (const auto& c : cases) {
        CDrawObj obj;
        obj.m_nShowState = c.start;
        c.op == Visible ? obj.SetVisible(c.value) : obj.SetShown(c.value);
        EXPECT_EQ(obj.m_nShowState, c.expected) << c.start << " " << c.op << " " << c.value;
    }
}

TEST_F(DrawObjTest, RegionCoversTheRectangleAndTheWholeOutline) {
    const struct {
        Rect32 rect;
        int bPen, width;
        QRect expected;
    } cases[] = {
        {{10, 20, 30, 40}, 0, 3, QRect(10, 20, 20, 20)},
        {{10, 20, 30, 40}, 1, 3, QRect(7, 17, 26, 26)},
        {{10, 20, 30, 40}, 1, 0, QRect(10, 20, 20, 20)},
        {{30, 40, 10, 20}, 0, 0, QRect(10, 20, 20, 20)},
        {{30, 40, 10, 20}, 1, 1, QRect(9, 19, 22, 22)},
    };
    for (const auto& c : cases) {
        CDrawObj obj;
        obj.m_rect = c.rect;
        obj.m_bPen = c.bPen;
        obj.m_logPen.widthX = c.width;
        QRegion region(QRect(100, 100, 5, 5));
        obj.GetRegion(&region);
        EXPECT_EQ(region, QRegion(c.expected)) << c.bPen << " " << c.width;
    }
}

TEST_F(DrawObjTest, DestructorReleasesWhatTheObjectOwns) {
    ProbeAnimation::Journal journal;
    auto* obj = new CDrawObj;
    obj->m_nValue3 = 77;
    obj->m_pClipRect = new Rect32{1, 2, 3, 4};
    for (int i = 0; i < 3; ++i) {
        auto* animation = new ProbeAnimation(&journal);
        animation->m_owner = obj;
        kvtest::append(obj->m_arrayAnimate, animation);
    }
    kvtest::append(obj->m_arrayAnimate, nullptr); // an entry left empty by a failed load
    obj->m_arrayEvent.push_back(new CEventDispatch);
    obj->m_arrayEvent.push_back(nullptr);
    obj->m_arrayEvent.push_back(new CEventDispatch);

    delete static_cast<rtti::object_c*>(obj); // the way the host deletes it

    EXPECT_EQ(journal.destroyed, 3);
    ASSERT_TRUE(journal.sawOwner);
    EXPECT_EQ(journal.ownerValue3, 0);
    EXPECT_TRUE(journal.ownerClipRectFreed);
    EXPECT_EQ(journal.ownerEventCount, 3u); // events go after the animations
}

} // namespace
