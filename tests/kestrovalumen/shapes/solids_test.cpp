// Shaded solids: the geometry and shading of each class.
#include "kestrovalumen/shapes/solids.h"
#include "tests/support/hostfixture.h"
#include "tests/support/shapepainttest.h"

#include <QRadialGradient>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;
using kestro::StreamWriter;
using namespace shapetest;

constexpr QRgb kPen = 0xFF102030;
constexpr QRgb kBrush = 0xFFC0D0E0;

class SolidTest : public HostTest {};

void expectScaleAndShift(const QTransform& t, const QTransform& expected) {
    EXPECT_NEAR(t.m11(), expected.m11(), 1e-9);
    EXPECT_NEAR(t.m22(), expected.m22(), 1e-9);
    EXPECT_NEAR(t.dx(), expected.dx(), 1e-9);
    EXPECT_NEAR(t.dy(), expected.dy(), 1e-9);
}

struct HalfBoxCase {
    const char* name;
    Rect32 rect;
    int penWidth; // -1: line off
    int32_t corner[2];
    int32_t split;
    int32_t otherHalf;
    QRectF box;    // the rounded outline's rectangle
    QRectF filled; // bounds of the part left after the cut
    QLine divider;
};

TEST_F(SolidTest, HalfBoxFillsOneHalfThenOutlinesAndDivides) {
    // clang-format off
    const HalfBoxCase cases[] = {
        // Line off on (0,0,100,60): x2 = 98, y2 = 58, W = 99, H = 59.
        {"bottom", {0, 0, 100, 60}, -1, {0, 0}, 0, 0, {0, 0, 98, 58}, {0, 30, 98, 28},
         {0, 29, 99, 29}},
        {"top", {0, 0, 100, 60}, -1, {0, 0}, 0, 1, {0, 0, 98, 58}, {0, 0, 98, 29}, {0, 29, 99, 29}},
        {"left", {0, 0, 100, 60}, -1, {0, 0}, 1, 0, {0, 0, 98, 58}, {0, 0, 50, 58},
         {49, 0, 49, 59}},
        {"right", {0, 0, 100, 60}, -1, {0, 0}, 1, 1, {0, 0, 98, 58}, {50, 0, 48, 58},
         {49, 0, 49, 59}},
        // Width 3: near 1, far 2, so (11,21)-(107,77), W = 97, H = 57, and m = 1.
        {"bottom, odd pen", {10, 20, 110, 80}, 3, {10, 6}, 0, 0, {11, 21, 96, 56}, {11, 50, 96, 27},
         {11, 50, 108, 50}},
        {"top, odd pen", {10, 20, 110, 80}, 3, {10, 6}, 0, 7, {11, 21, 96, 56}, {11, 21, 96, 28},
         {11, 48, 108, 48}},
        // Width 2: near 1, far 1, so (1,1)-(98,58), W = 98, H = 58, and m = 0.
        {"right, even pen", {0, 0, 100, 60}, 2, {0, 0}, 5, 5, {1, 1, 97, 57}, {51, 1, 47, 57},
         {50, 1, 50, 59}},
        // Odd corner sizes halve in double: radii 5.5 and 3.5.
        {"odd corner", {0, 0, 100, 60}, -1, {11, 7}, 0, 0, {0, 0, 98, 58}, {0, 30, 98, 28},
         {0, 29, 99, 29}},
    };
    // clang-format on
    for (const HalfBoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawHalfBox box;
        box.m_rect = c.rect;
        box.m_bPen = c.penWidth >= 0;
        box.m_logPen.widthX = c.penWidth;
        box.m_logPen.color = kPen & 0xFFFFFF;
        box.m_logBrush.color = kBrush & 0xFFFFFF; // filled although the fill flag is off
        box.m_nCornerWidth = c.corner[0];
        box.m_nCornerHeight = c.corner[1];
        box.m_bVerticalSplit = c.split;
        box.m_bOtherHalf = c.otherHalf;
        const PaintRecords records = drawings(paint(box));
        ASSERT_EQ(records.size(), 3u);

        EXPECT_EQ(records[0].kind, PaintKind::Path);
        EXPECT_EQ(records[0].path.boundingRect(), c.filled);
        EXPECT_EQ(records[0].state.brush.style(), Qt::SolidPattern);
        EXPECT_EQ(records[0].state.brush.color().rgba(), kBrush);

        if (c.corner[0] == 0) {
            // A zero radius outlines a plain rectangle.
            EXPECT_EQ(records[1].kind, PaintKind::Rects);
            EXPECT_EQ(records[1].rect(), c.box);
        } else {
            QPainterPath expected;
            expected.addRoundedRect(c.box, 0.5 * c.corner[0], 0.5 * c.corner[1], Qt::AbsoluteSize);
            EXPECT_EQ(records[1].kind, PaintKind::Path);
            EXPECT_EQ(records[1].path, expected);
        }
        EXPECT_EQ(records[1].state.brush.style(), Qt::SolidPattern);
        EXPECT_EQ(records[1].state.brush.color().alpha(), 0);
        if (c.penWidth >= 0) {
            EXPECT_EQ(records[1].state.pen.width(), c.penWidth);
            EXPECT_EQ(records[1].state.pen.capStyle(), Qt::FlatCap);
            EXPECT_EQ(records[1].state.pen.color().rgba(), kPen);
        } else {
            EXPECT_EQ(records[1].state.pen.style(), Qt::NoPen);
        }

        EXPECT_EQ(records[2].kind, PaintKind::Lines);
        EXPECT_EQ(lineOf(records[2]), c.divider);
    }
}

struct BallCase {
    const char* name;
    Rect32 rect;
    QPointF centre;
    double radius;
    QRect ellipse;
    QTransform transform;
};

TEST_F(SolidTest, BallSqueezesACircleOfTheLargerSideIntoItsBox) {
    const BallCase cases[] = {
        // 50 by 50: Wb = 49, Hb = 50 (taller); box from (10,19); scale(0.98, 1) then
        // translate((50/49 - 1) * 10, 0): dx = 0.98 * 10/49 = 0.2.
        {"taller", {10, 20, 60, 70}, {35, 44}, 25, {10, 19, 50, 50}, {0.98, 0, 0, 1, 0.2, 0}},
        // Wb = 100, Hb = 41: scale(1, 0.41) then translate(0, (100/41 - 1) * -1): dy = -0.59.
        {"wider", {0, 0, 101, 41}, {50, 49}, 50, {0, -1, 100, 100}, {1, 0, 0, 0.41, 0, -0.59}},
        // Wb = Hb = 50: no transform.
        {"round", {0, 1, 51, 51}, {25, 25}, 25, {0, 0, 50, 50}, {}},
        // One pixel wide is still taller: Wb = 1, Hb = 11, scale(1/11, 1), no translation.
        {"one pixel wide",
         {0, 0, 2, 11},
         {5.5, 4.5},
         5.5,
         {0, -1, 11, 11},
         {1.0 / 11, 0, 0, 1, 0, 0}},
    };
    for (const BallCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawBall3D ball;
        ball.m_rect = c.rect;
        ball.m_bPen = 1;
        ball.m_logPen.widthX = 5;
        ball.m_logPen.color = kPen & 0xFFFFFF;
        ball.m_logBrush.color = kBrush & 0xFFFFFF;
        ball.m_logBrush.style = 3; // a hollow style: the gradient does not care
        const PaintRecords records = drawings(paint(ball));
        ASSERT_EQ(records.size(), 1u);
        const PaintRecord& r = records[0];
        EXPECT_EQ(r.kind, PaintKind::Ellipse);
        EXPECT_TRUE(r.integer);
        EXPECT_EQ(r.rect(), QRectF(c.ellipse));
        EXPECT_EQ(r.state.pen.style(), Qt::NoPen);
        ASSERT_EQ(r.state.brush.style(), Qt::RadialGradientPattern);
        const auto* g = static_cast<const QRadialGradient*>(r.state.brush.gradient());
        EXPECT_EQ(g->center(), c.centre);
        EXPECT_EQ(g->focalPoint(), c.centre);
        EXPECT_DOUBLE_EQ(g->radius(), c.radius);
        EXPECT_EQ(stopsOf(r.state.brush),
                  (std::vector<std::pair<double, QRgb>>{{0.0, kBrush}, {1.0, kPen}}));
        expectScaleAndShift(r.state.transform, c.transform);
    }
}

struct RingCase {
    const char* name;
    Rect32 rect;
    int32_t ringWidth;
    QPointF centre;
    double radius;
    double r; // inner width over outer width: where the tube starts
    QRectF first;
    QRectF second;
    QTransform transform;
};

TEST_F(SolidTest, RingIsAnOddEvenPairOfEllipsesShadedLikeATube) {
    // clang-format off
    const RingCase cases[] = {
        // x0 = -1, Wc = Hc = 100, tx = ty = 10, inner (9,10) 80 by 80.
        {"round", {0, 0, 100, 100}, 100, {49, 50}, 50, 0.8, {-1, -1, 100, 100}, {9, 9, 80, 80}, {}},
        // Thickness 0 becomes 1: inner (0,1) 48 by 48.
        {"thinnest", {0, 0, 50, 50}, 0, {24, 25}, 25, 0.96, {-1, -1, 50, 50}, {0, 0, 48, 48}, {}},
        // Wc = 200, Hc = 100, T = 10: tx = 20, ty = 10, inner (19,20) 160 by 80; translate by
        // (int)((2 - 1) * (50 + 10)) = 60 after scale(1, 0.5).
        {"wider", {0, 10, 200, 110}, 100, {99, 60}, 100, 0.8, {19, -20, 160, 159},
         {-1, -40, 200, 199}, {1, 0, 0, 0.5, 0, 30}},
        // Wc = 100, Hc = 200: tx = 10, ty = 20, inner (9,20) 80 by 160; translate by
        // (int)((2 - 1) * (50 - 1)) = 49 after scale(0.5, 1).
        {"taller", {0, 0, 100, 200}, 100, {49, 100}, 100, 0.8, {-50, -1, 199, 200},
         {-30, 19, 159, 160}, {0.5, 0, 0, 1, 24.5, 0}},
    };
    // clang-format on
    for (const RingCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawCircle3D ring;
        ring.m_rect = c.rect;
        ring.m_nRingWidth = c.ringWidth;
        ring.m_bPen = 1;
        ring.m_logPen.widthX = 4;
        ring.m_logPen.color = kPen & 0xFFFFFF;
        ring.m_logBrush.color = kBrush & 0xFFFFFF;
        const PaintRecords records = drawings(paint(ring));
        ASSERT_EQ(records.size(), 1u);
        const PaintRecord& rec = records[0];
        EXPECT_EQ(rec.kind, PaintKind::Path);
        QPainterPath expected;
        expected.addEllipse(c.first);
        expected.addEllipse(c.second);
        expected.setFillRule(Qt::OddEvenFill);
        EXPECT_EQ(rec.path, expected);
        EXPECT_EQ(rec.state.pen.style(), Qt::NoPen);
        ASSERT_EQ(rec.state.brush.style(), Qt::RadialGradientPattern);
        const auto* g = static_cast<const QRadialGradient*>(rec.state.brush.gradient());
        EXPECT_EQ(g->center(), c.centre);
        EXPECT_EQ(g->focalPoint(), c.centre);
        EXPECT_DOUBLE_EQ(g->radius(), c.radius);
        const auto stops = stopsOf(rec.state.brush);
        ASSERT_EQ(stops.size(), 4u);
        EXPECT_EQ(stops[0], std::make_pair(0.0, QRgb(0x00000000)));
        EXPECT_DOUBLE_EQ(stops[1].first, c.r);
        EXPECT_EQ(stops[1].second, kPen);
        EXPECT_DOUBLE_EQ(stops[2].first, (1 + c.r) / 2);
        EXPECT_EQ(stops[2].second, kBrush);
        EXPECT_EQ(stops[3], std::make_pair(1.0, kPen));
        expectScaleAndShift(rec.state.transform, c.transform);
    }
}

std::vector<QPoint> pentagonAt(const PaintRecords& lines, size_t first) {
    // Five separate lines P0-P1 .. P4-P0: their starting points are the pentagon.
    std::vector<QPoint> points;
    for (size_t i = first; i < first + 5; ++i) {
        points.push_back(lineOf(lines[i]).p1());
        EXPECT_EQ(lineOf(lines[i]).p2(), lineOf(lines[first + (i - first + 1) % 5]).p1());
    }
    return points;
}

struct PentagonCase {
    const char* name;
    int32_t direction;
    Rect32 rect;
    int32_t percent;
    std::function<std::vector<QPoint>(int)> outline;
};

TEST_F(SolidTest, PentagonShrinksItsOutlinesFromPenToBrushColour) {
    // Extent 10 in every case: k = 0..6; the colour bytes (lowest first) step by
    // MulDiv(0x20, 200, 10) = 640, 400 and 200 hundredths.
    const QRgb colours[7] = {0x000000, 0x020406, 0x04080C, 0x060C13, 0x081019, 0x0A1420, 0x0C1826};
    // clang-format off
    const PentagonCase cases[] = {
        {"up", 0, {100, 200, 110, 220}, 50, [](int k) {
             return std::vector<QPoint>{{100 + k, 219}, {100 + k, 210}, {105, 201}, {109 - k, 210}, {109 - k, 219}}; }},
        {"right", 1, {100, 200, 120, 210}, 30, [](int k) {
             return std::vector<QPoint>{{101, 200 + k}, {114, 200 + k}, {119, 205}, {114, 209 - k}, {101, 209 - k}}; }},
        {"down", 2, {100, 200, 110, 220}, 50, [](int k) {
             return std::vector<QPoint>{{109 - k, 201}, {109 - k, 210}, {105, 219}, {100 + k, 210}, {100 + k, 201}}; }},
        {"left", 3, {100, 200, 120, 210}, 30, [](int k) {
             return std::vector<QPoint>{{119, 209 - k}, {106, 209 - k}, {101, 205}, {106, 200 + k}, {119, 200 + k}}; }},
    };
    // clang-format on
    for (const PentagonCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawPentagon3D pentagon;
        pentagon.m_rect = c.rect;
        pentagon.m_nDirection = c.direction;
        pentagon.m_nPercent = c.percent;
        pentagon.m_logPen.color = 0x000000;
        pentagon.m_logBrush.color = 0x0A1420;
        pentagon.m_bBrush = 1; // the outlines are never filled
        const PaintRecords records = drawings(paint(pentagon));
        const bool asLines = c.direction == 0;
        ASSERT_EQ(records.size(), asLines ? 35u : 7u);
        for (int k = 0; k < 7; ++k) {
            const PaintRecord& first = records[asLines ? 5 * k : k];
            if (asLines) {
                EXPECT_EQ(first.kind, PaintKind::Lines);
                EXPECT_EQ(pentagonAt(records, 5 * k), c.outline(k)) << k;
            } else {
                EXPECT_EQ(first.kind, PaintKind::Polygon);
                EXPECT_EQ(first.polygonMode, QPaintEngine::OddEvenMode);
                EXPECT_EQ(pointsOf(first), c.outline(k)) << k;
            }
            EXPECT_EQ(first.state.pen.color().rgba(), 0xFF000000 | colours[k]) << k;
            EXPECT_TRUE(first.state.pen.isCosmetic());
            EXPECT_EQ(first.state.brush.style(), Qt::NoBrush);
        }
    }
}

TEST_F(SolidTest, PentagonColourBytesAreClampedToTheByteRange) {
    // Extent 3: steps MulDiv(-255, 200, 3) = -17000 (blue) and 17000 (red), k = 0..2.
    CDrawPentagon3D pentagon;
    pentagon.m_rect = Rect32{0, 0, 3, 10};
    pentagon.m_logPen.color = 0x0000FF;
    pentagon.m_logBrush.color = 0xFF0000;
    const PaintRecords records = drawings(paint(pentagon));
    ASSERT_EQ(records.size(), 15u);
    const QRgb expected[3] = {0xFF0000FF, 0xFFAA0055, 0xFFFF0000};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(records[5 * k + i].state.pen.color().rgba(), expected[k]) << k;
        }
    }
}

} // namespace
