// Pipes, planes and the balloon: geometry, and what an unknown code draws.
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/solids.h"
#include "tests/support/hostfixture.h"
#include "tests/support/shapepainttest.h"

#include <QLinearGradient>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;
using kestro::StreamWriter;
using namespace shapetest;

constexpr QRgb kPen = 0xFF102030;
constexpr QRgb kBrush = 0xFFC0D0E0;

class PipeTest : public HostTest {};

//! Outline and fill colours set, the flags off: pipes shade with the colours regardless.
template <class Shape>
void colour(Shape& shape) {
    shape.m_logPen.color = kPen & 0xFFFFFF;
    shape.m_logBrush.color = kBrush & 0xFFFFFF;
}

void expectPipeGradient(const PaintRecord& r, QPointF from, QPointF to) {
    ASSERT_EQ(r.state.brush.style(), Qt::LinearGradientPattern);
    const auto* g = static_cast<const QLinearGradient*>(r.state.brush.gradient());
    EXPECT_EQ(g->start(), from);
    EXPECT_EQ(g->finalStop(), to);
    EXPECT_EQ(stopsOf(r.state.brush),
              (std::vector<std::pair<double, QRgb>>{{0.0, kPen}, {0.5, kBrush}, {1.0, kPen}}));
    EXPECT_EQ(r.state.pen.style(), Qt::NoPen);
}

std::vector<QPointF> pathPoints(const QPainterPath& path) {
    std::vector<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i) {
        points.emplace_back(path.elementAt(i).x, path.elementAt(i).y);
    }
    return points;
}

TEST_F(PipeTest, StraightPipeShadesAcrossItsRun) {
    struct Case {
        const char* name;
        int32_t horizontal;
        QPointF from;
        QPointF to;
    };
    // (10,20,110,40): x2 = 109, y2 = 39; the middle is L + x2 / 2 = 64 or T + y2 / 2 = 39.
    const Case cases[] = {
        {"horizontal", 1, {64, 20}, {64, 39}},
        {"vertical", 0, {10, 39}, {109, 39}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawPipe1 pipe1;
        CDrawPipe2 pipe2;
        for (CDrawObj* object : {static_cast<CDrawObj*>(&pipe1), static_cast<CDrawObj*>(&pipe2)}) {
            object->m_rect = Rect32{10, 20, 110, 40};
            colour(*object);
            object->m_bPen = 1;
            object->m_logPen.widthX = 3;
        }
        pipe1.m_bHorizontal = c.horizontal;
        pipe2.m_bHorizontal = c.horizontal;
        const PaintRecords records = drawings(paint(pipe1));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].kind, PaintKind::Rects);
        EXPECT_TRUE(records[0].integer);
        EXPECT_EQ(records[0].rect(), QRectF(10, 20, 99, 19)); // (10,20)-(108,38)
        expectPipeGradient(records[0], c.from, c.to);
        EXPECT_EQ(drawings(paint(pipe2)), records);
    }
}

std::string elbowExtra(uint16_t type, int32_t horz, int32_t vert) {
    return StreamWriter().u16(type).i32(horz).i32(vert).take();
}

struct ElbowCase {
    const char* name;
    int32_t type;
    QPointF legFrom, legTo;
    QRectF leg;
    QPointF upFrom, upTo;
    std::vector<QPointF> path; // closed: the start again at the end
};

TEST_F(PipeTest, ElbowLegsFollowTheCornerCode) {
    // Designed on (0,0,100,100) with thicknesses 10 (horizontal) and 20 (vertical), drawn on
    // (0,0,200,100): tx = 200 * 20 / 100 = 40, ty = 10; x2 = 199, y2 = 99, Xm = 99.5, Ym = 49.5.
    // clang-format off
    const ElbowCase cases[] = {
        {"top-left", 0, {99.5, -1}, {99.5, 10}, {0, -1, 199, 11}, {-1, 49.5}, {40, 49.5},
         {{-1, -2}, {40, 10}, {40, 99}, {-1, 99}, {-1, -2}}},
        {"top-right", 1, {99.5, -1}, {99.5, 10}, {0, -1, 199, 11}, {159, 49.5}, {200, 49.5},
         {{200, -2}, {200, 99}, {159, 99}, {159, 10}, {200, -2}}},
        {"bottom-right", 2, {99.5, 89}, {99.5, 100}, {0, 89, 199, 11}, {159, 49.5}, {200, 49.5},
         {{200, 100}, {200, 0}, {159, 0}, {159, 89}, {200, 100}}},
        {"bottom-left", 3, {99.5, 89}, {99.5, 100}, {0, 89, 199, 11}, {-1, 49.5}, {40, 49.5},
         {{-1, 0}, {40, 0}, {40, 89}, {-1, 100}, {-1, 0}}},
    };
    // clang-format on
    for (const ElbowCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawPipe3 elbow;
        ASSERT_TRUE(load(elbow, withExtra(objectOn(0, 0, 100, 100),
                                          elbowExtra(static_cast<uint16_t>(c.type), 10, 20))));
        elbow.m_rect = Rect32{0, 0, 200, 100};
        colour(elbow);
        const PaintRecords records = drawings(paint(elbow));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].kind, PaintKind::Rects);
        EXPECT_EQ(records[0].rect(), c.leg);
        expectPipeGradient(records[0], c.legFrom, c.legTo);
        EXPECT_EQ(records[1].kind, PaintKind::Path);
        EXPECT_EQ(pathPoints(records[1].path), c.path);
        expectPipeGradient(records[1], c.upFrom, c.upTo);
    }
}

TEST_F(PipeTest, PlanesFillThenFrameInTheirEdgeStyle) {
    // (10,20,110,60): the frame's corners are (10,20) and (109,58).
    const QLine outerTop(10, 20, 109, 20), outerLeft(10, 20, 10, 58), outerBottom(10, 58, 109, 58),
        outerRight(109, 20, 109, 58);
    const QLine innerTop(11, 21, 108, 21), innerLeft(11, 21, 11, 57), innerBottom(11, 57, 108, 57),
        innerRight(108, 21, 108, 57);
    const QRgb white = 0xFFFFFFFF, light = 0xFFE3E3E3, dark = 0xFF696969, mid = 0xFFA0A0A0;
    struct Case {
        const char* name;
        std::function<CDrawObj*()> make;
        std::vector<std::pair<QRgb, QLine>> frame;
    };
    // clang-format off
    const Case cases[] = {
        {"etched", [] { return new CDrawPlane1; },
         {{white, innerTop}, {white, innerLeft}, {white, outerBottom}, {white, outerRight},
          {mid, outerTop}, {mid, outerLeft}, {mid, innerBottom}, {mid, innerRight}}},
        {"sunken", [] { return new CDrawPlane2; },
         {{mid, outerLeft}, {mid, outerTop}, {dark, innerLeft}, {dark, innerTop},
          {white, outerRight}, {white, outerBottom}, {light, innerRight}, {light, innerBottom}}},
        {"raised", [] { return new CDrawPlane3; },
         {{light, outerLeft}, {light, outerTop}, {white, innerLeft}, {white, innerTop},
          {dark, outerRight}, {dark, outerBottom}, {mid, innerRight}, {mid, innerBottom}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CDrawObj> plane(c.make());
        EXPECT_TRUE(load(*plane, kestro::encodeObject(objectOn(10, 20, 110, 60))));
        plane->m_bBrush = 1;
        plane->m_logBrush.color = 0x123456;
        plane->m_bPen = 1;
        plane->m_logPen.widthX = 5;
        plane->m_logPen.color = 0xFF0000;
        const PaintRecords records = drawings(paint(*plane));
        ASSERT_EQ(records.size(), 9u);
        EXPECT_EQ(records[0].kind, PaintKind::Rects);
        EXPECT_EQ(records[0].rect(), QRectF(10, 20, 100, 39));
        EXPECT_EQ(records[0].state.brush.color().rgba(), 0xFF123456u);
        for (size_t i = 0; i < 8; ++i) {
            EXPECT_EQ(lineOf(records[i + 1]), c.frame[i].second) << i;
            EXPECT_EQ(records[i + 1].state.pen.color().rgba(), c.frame[i].first) << i;
        }
    }
}

TEST_F(PipeTest, BalloonWithTheTailAtTheBottom) {
    // (0,0,121,61): W = 120, H = 60, rx = 20, ry = 10; tail position 100 gives d = 60 and the
    // tip (60,60); the body ends at y = 50 and the tail's base runs from 90 to 100.
    CDrawBalloon balloon;
    balloon.m_rect = Rect32{0, 0, 121, 61};
    balloon.m_nTailPos = 100;
    balloon.m_bPen = 1;
    balloon.m_logPen.widthX = 2;
    balloon.m_bBrush = 1;
    balloon.m_logBrush.color = 0x00FF00;
    const PaintRecords records = drawings(paint(balloon));
    ASSERT_EQ(records.size(), 11u);

    const PaintRecord& fill = records[0];
    EXPECT_EQ(fill.kind, PaintKind::Path);
    EXPECT_EQ(fill.state.pen.style(), Qt::NoPen);
    EXPECT_EQ(fill.state.brush.color().rgba(), 0xFF00FF00u);
    // The outline anticlockwise from the top edge's right end: edges, tail and the four corner
    // quarters.
    QPainterPath outline(QPointF(100, 0));
    outline.lineTo(20, 0);
    outline.arcTo(QRectF(0, 0, 40, 20), 90, 90);
    outline.lineTo(0, 40);
    outline.arcTo(QRectF(0, 30, 40, 20), 180, 90);
    outline.lineTo(90, 50);
    outline.lineTo(60, 60);
    outline.lineTo(100, 50);
    outline.arcTo(QRectF(80, 30, 40, 20), 270, 90);
    outline.lineTo(120, 10);
    outline.arcTo(QRectF(80, 0, 40, 20), 0, 90);
    outline.closeSubpath();
    EXPECT_EQ(fill.path, outline);

    const std::vector<QLine> lines = {
        {0, 10, 0, 40},     // left
        {20, 0, 100, 0},    // top
        {120, 10, 120, 40}, // right
        {20, 50, 90, 50},   // bottom, up to the tail
        {90, 50, 60, 60},   // tail
        {60, 60, 100, 50},
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(records[1 + i].kind, PaintKind::Lines) << i;
        EXPECT_EQ(lineOf(records[1 + i]), lines[i]) << i;
        EXPECT_EQ(records[1 + i].state.pen.capStyle(), Qt::RoundCap) << i;
        EXPECT_EQ(records[1 + i].state.pen.joinStyle(), Qt::RoundJoin) << i;
    }
    const struct {
        QRectF rect;
        double start;
    } arcs[] = {{{0, 0, 40, 20}, 90},
                {{80, 0, 40, 20}, 0},
                {{0, 30, 40, 20}, 180},
                {{80, 30, 40, 20}, 270}};
    for (size_t i = 0; i < 4; ++i) {
        QPainterPath expected;
        expected.arcMoveTo(arcs[i].rect, arcs[i].start);
        expected.arcTo(arcs[i].rect, arcs[i].start, 90);
        EXPECT_EQ(records[7 + i].kind, PaintKind::Path) << i;
        EXPECT_EQ(records[7 + i].path, expected) << i;
        EXPECT_EQ(records[7 + i].state.brush.style(), Qt::NoBrush) << i;
    }
}

TEST_F(PipeTest, BalloonTailOnEverySideAndEnd) {
    // (0,0,121,61) at position 50: d = 30 along the width, 15 along the height.
    struct Case {
        int32_t side;
        int32_t atEnd;
        QLine rest; // the tail side's straight part up to the base
        QPoint baseLow, tip, baseHigh;
    };
    const Case cases[] = {
        {0, 0, {20, 50, 90, 50}, {90, 50}, {90, 60}, {100, 50}},
        {0, 1, {30, 50, 100, 50}, {20, 50}, {30, 60}, {30, 50}},
        {1, 0, {20, 10, 20, 45}, {20, 45}, {0, 45}, {20, 50}},
        {1, 1, {20, 15, 20, 50}, {20, 10}, {0, 15}, {20, 15}},
        {2, 0, {30, 10, 100, 10}, {20, 10}, {30, 0}, {30, 10}},
        {2, 1, {20, 10, 90, 10}, {90, 10}, {90, 0}, {100, 10}},
        {3, 0, {100, 15, 100, 50}, {100, 10}, {120, 15}, {100, 15}},
        {3, 1, {100, 10, 100, 45}, {100, 45}, {120, 45}, {100, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << c.atEnd);
        CDrawBalloon balloon;
        balloon.m_rect = Rect32{0, 0, 121, 61};
        balloon.m_nTailSide = c.side;
        balloon.m_bTailAtEnd = c.atEnd;
        balloon.m_nTailPos = 50;
        const PaintRecords records = drawings(paint(balloon));
        ASSERT_EQ(records.size(), 10u); // no fill with the brush off
        EXPECT_EQ(lineOf(records[3]), c.rest);
        EXPECT_EQ(lineOf(records[4]), QLine(c.baseLow, c.tip));
        EXPECT_EQ(lineOf(records[5]), QLine(c.tip, c.baseHigh));
        EXPECT_EQ(records[0].state.pen.style(), Qt::NoPen);
    }
}

void expectNothingDrawn(CDrawObj& object) {
    object.m_rect = Rect32{0, 0, 100, 100};
    clipTo(object, 0, 0, 50, 50);
    const PaintRecords records = paint(object);
    EXPECT_TRUE(drawings(records).empty());
    EXPECT_EQ(clipOps(records), (std::vector<Qt::ClipOperation>{Qt::ReplaceClip, Qt::NoClip}));
}

TEST_F(PipeTest, UnknownCornerSideOrDirectionDrawsNothingButResetsTheClip) {
    for (int32_t code : {-1, 4, 0xFFFF}) {
        SCOPED_TRACE(code);
        CDrawPipe3 elbow;
        elbow.m_rcDesign = Rect32{0, 0, 100, 100};
        elbow.m_nElbowType = code;
        expectNothingDrawn(elbow);
        CDrawBalloon balloon;
        balloon.m_nTailSide = code;
        balloon.m_bBrush = 1;
        expectNothingDrawn(balloon);
        CDrawPentagon3D pentagon;
        pentagon.m_nDirection = code == 0xFFFF ? 5 : code;
        expectNothingDrawn(pentagon);
    }
    EXPECT_TRUE(nothingReported());
}

} // namespace
