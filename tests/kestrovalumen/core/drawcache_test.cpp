// Shapes keep what they built for the next draw: after any change it paints what a new object does.
#include "kestrovalumen/core/drawcache.h"
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"
#include "tests/support/hostfixture.h"
#include "tests/support/shapepainttest.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using kestro::PaintRecords;
using namespace shapetest;

class DrawCacheTest : public HostTest {};

template <class T>
T* As(CDrawObj* o) {
    return static_cast<T*>(o);
}

void Outlined(CDrawObj* o, const Rect32& rect, int penWidth) {
    o->m_rect = rect;
    o->m_bPen = 1;
    o->m_logPen.widthX = penWidth;
    o->m_logPen.color = 0x203040;
    o->m_bBrush = 1;
    o->m_logBrush.color = 0xC0D0E0;
}

template <class T>
CDrawObj* make() {
    return new T;
}

void halfBoxCorner(CDrawObj* o) {
    As<CDrawHalfBox>(o)->m_nCornerWidth = 10;
    As<CDrawHalfBox>(o)->m_nCornerHeight = 6;
}
void ringOf150(CDrawObj* o) {
    As<CDrawCircle3D>(o)->m_nRingWidth = 150;
}
void elbowDesign(CDrawObj* o) {
    auto* e = As<CDrawPipe3>(o);
    e->m_rcDesign = Rect32{0, 0, 100, 80};
    e->m_nHorzThick = 20;
    e->m_nVertThick = 15;
}

struct ChangeCase {
    const char* name;
    CDrawObj* (*make)();
    Rect32 rect;
    int penWidth;
    void (*setUp)(CDrawObj*);  //!< the first draw's own fields, after the outline and fill
    void (*change)(CDrawObj*); //!< then this, before the second draw
};

// clang-format off
const ChangeCase kChanges[] = {
    {"half box: the other half", make<CDrawHalfBox>, {0, 0, 100, 60}, 3, halfBoxCorner, [](CDrawObj* o) { As<CDrawHalfBox>(o)->m_bOtherHalf = 1; }},
    {"half box: split", make<CDrawHalfBox>, {0, 0, 100, 60}, 3, nullptr, [](CDrawObj* o) { As<CDrawHalfBox>(o)->m_bVerticalSplit = 1; }},
    {"half box: pen width moves the outline", make<CDrawHalfBox>, {0, 0, 100, 60}, 3, nullptr, [](CDrawObj* o) { o->m_logPen.widthX = 6; }},
    {"half box: odd corner", make<CDrawHalfBox>, {0, 0, 100, 60}, 1, halfBoxCorner, [](CDrawObj* o) { As<CDrawHalfBox>(o)->m_nCornerHeight = 7; }},
    {"half box: moved", make<CDrawHalfBox>, {0, 0, 100, 60}, 1, nullptr, [](CDrawObj* o) { o->m_rect = Rect32{5, 7, 105, 67}; }},
    {"ring: width", make<CDrawCircle3D>, {0, 0, 120, 80}, 1, ringOf150, [](CDrawObj* o) { As<CDrawCircle3D>(o)->m_nRingWidth = 300; }},
    {"ring: colours", make<CDrawCircle3D>, {0, 0, 120, 80}, 1, ringOf150, [](CDrawObj* o) { o->m_logBrush.color = 0x00FF00, o->m_logPen.color = 0x0000FF; }},
    {"ring: wide to tall", make<CDrawCircle3D>, {0, 0, 120, 80}, 1, ringOf150, [](CDrawObj* o) { o->m_rect = Rect32{0, 0, 80, 120}; }},
    {"straight pipe: colour", make<CDrawPipe1>, {0, 0, 100, 40}, 1, [](CDrawObj* o) { As<CDrawPipe1>(o)->m_bHorizontal = 1; }, [](CDrawObj* o) { o->m_logBrush.color = 0x112233; }},
    {"straight pipe: run", make<CDrawPipe2>, {0, 0, 100, 40}, 1, nullptr, [](CDrawObj* o) { As<CDrawPipe2>(o)->m_bHorizontal = 1; }},
    {"elbow: corner", make<CDrawPipe3>, {0, 0, 100, 80}, 1, elbowDesign, [](CDrawObj* o) { As<CDrawPipe3>(o)->m_nElbowType = 2; }},
    {"elbow: thickness", make<CDrawPipe3>, {0, 0, 100, 80}, 1, elbowDesign, [](CDrawObj* o) { As<CDrawPipe3>(o)->m_nVertThick = 30; }},
    {"balloon: tail", make<CDrawBalloon>, {0, 0, 120, 90}, 2, [](CDrawObj* o) { As<CDrawBalloon>(o)->m_nTailPos = 40; }, [](CDrawObj* o) { As<CDrawBalloon>(o)->m_nTailSide = 3; }},
    {"balloon: fill colour", make<CDrawBalloon>, {0, 0, 120, 90}, 2, nullptr, [](CDrawObj* o) { o->m_logBrush.color = 0x445566; }},
    {"triangle: apex", make<CDrawIsoscelestriangle>, {0, 0, 80, 60}, 1, [](CDrawObj* o) { As<CDrawIsoscelestriangle>(o)->m_nPercent = 25; }, [](CDrawObj* o) { As<CDrawIsoscelestriangle>(o)->m_nPercent = 75; }},
    {"rectangle: pen colour", make<CDrawRect>, {0, 0, 80, 60}, 2, nullptr, [](CDrawObj* o) { o->m_logPen.color = 0x0000FF; }},
    {"rectangle: pen style and width", make<CDrawRect>, {0, 0, 80, 60}, 2, nullptr, [](CDrawObj* o) { o->m_logPen.style = 1, o->m_logPen.widthX = 4; }},
    {"rectangle: brush style", make<CDrawRect>, {0, 0, 80, 60}, 2, nullptr, [](CDrawObj* o) { o->m_logBrush.style = 11; }},
    {"rectangle: fill off", make<CDrawRect>, {0, 0, 80, 60}, 2, nullptr, [](CDrawObj* o) { o->m_bBrush = 0; }},
};
// clang-format on

std::unique_ptr<CDrawObj> built(const ChangeCase& c, bool changed) {
    std::unique_ptr<CDrawObj> object(c.make());
    Outlined(object.get(), c.rect, c.penWidth);
    if (c.setUp) {
        c.setUp(object.get());
    }
    if (changed) {
        c.change(object.get());
    }
    return object;
}

TEST_F(DrawCacheTest, DrawAfterAChangePaintsWhatANewObjectPaints) {
    for (const ChangeCase& c : kChanges) {
        std::unique_ptr<CDrawObj> kept = built(c, false);
        const PaintRecords first = paint(*kept);
        EXPECT_EQ(paint(*kept), first) << c.name << ": unchanged";
        c.change(kept.get());
        const PaintRecords expected = paint(*built(c, true));
        EXPECT_NE(expected, first) << c.name << ": the change must show";
        EXPECT_EQ(paint(*kept), expected) << c.name;
    }
}

TEST_F(DrawCacheTest, ShapesSharingAPenKeepTheirOwnCapAndJoin) {
    const struct {
        std::function<CDrawObj*()> make;
        Qt::PenCapStyle cap;
        Qt::PenJoinStyle join;
    } shapes[] = {{[] { return new CDrawRect; }, Qt::SquareCap, Qt::MiterJoin},
                  {[] { return new CDrawPentagon; }, Qt::FlatCap, Qt::BevelJoin},
                  {[] { return new CDrawLine; }, Qt::RoundCap, Qt::BevelJoin},
                  {[] { return new CDrawHexagon; }, Qt::RoundCap, Qt::RoundJoin},
                  {[] { return new CDrawPentagon; }, Qt::FlatCap, Qt::BevelJoin}};
    for (const auto& shape : shapes) {
        std::unique_ptr<CDrawObj> object(shape.make());
        Outlined(object.get(), {0, 0, 80, 60}, 3);
        const QPen pen = drawings(paint(*object)).back().state.pen;
        EXPECT_EQ(pen.capStyle(), shape.cap);
        EXPECT_EQ(pen.joinStyle(), shape.join);
    }
}

} // namespace
