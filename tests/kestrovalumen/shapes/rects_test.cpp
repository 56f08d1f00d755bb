// Rectangles, ellipses, rounded rectangles and arcs: the pen inset and the arc angles.
#include "kestrovalumen/shapes/rects.h"
#include "tests/support/hostfixture.h"
#include "tests/support/shapepainttest.h"

#include <gtest/gtest.h>

namespace {

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;
using kestro::StreamWriter;
using namespace shapetest;

void penOn(CDrawObj& object, int width) {
    object.m_bPen = 1;
    object.m_logPen.style = 0;
    object.m_logPen.widthX = width;
    object.m_logPen.color = 0x336699;
}

PaintRecord onlyDrawing(const PaintRecords& records) {
    const PaintRecords drawn = kestro::drawings(records);
    EXPECT_EQ(drawn.size(), 1u) << kestro::dump(records).toStdString();
    return drawn.size() == 1 ? drawn[0] : PaintRecord();
}

QRectF corners(int x1, int y1, int x2, int y2) {
    return QRectF(QRect(QPoint(x1, y1), QPoint(x2, y2)));
}

class RectsTest : public HostTest {};

struct InsetCase {
    int penWidth; // -1: line off
    QRectF drawn;
};

// On L=10, T=20, R=110, B=70: left and top move in by w / 2, right and bottom by w - w / 2.
const InsetCase kInsetCases[] = {
    {-1, corners(10, 20, 108, 68)}, {0, corners(10, 20, 109, 69)}, {1, corners(10, 20, 108, 68)},
    {2, corners(11, 21, 108, 68)},  {3, corners(11, 21, 107, 67)}, {4, corners(12, 22, 107, 67)},
    {5, corners(12, 22, 106, 66)},
};

TEST_F(RectsTest, RectangleAndEllipseKeepTheirOutlineInsideWithThePenInset) {
    for (const InsetCase& c : kInsetCases) {
        SCOPED_TRACE(c.penWidth);
        CDrawRect rect;
        CDrawEllipse ellipse;
        for (CDrawObj* shape : {static_cast<CDrawObj*>(&rect), static_cast<CDrawObj*>(&ellipse)}) {
            shape->m_rect = {10, 20, 110, 70};
            if (c.penWidth >= 0) {
                penOn(*shape, c.penWidth);
            }
        }
        const PaintRecord r = onlyDrawing(paint(rect));
        EXPECT_EQ(r.kind, PaintKind::Rects);
        EXPECT_TRUE(r.integer);
        EXPECT_EQ(r.rects, QList<QRectF>{c.drawn});
        const PaintRecord e = onlyDrawing(paint(ellipse));
        EXPECT_EQ(e.kind, PaintKind::Ellipse);
        EXPECT_TRUE(e.integer);
        EXPECT_EQ(e.rect(), c.drawn);
    }
}

TEST_F(RectsTest, RoundRectangleHalvesTheCornerSizesIntoRadii) {
    struct Case {
        const char* name;
        int penWidth; // -1: line off
        QRectF rect;
    };
    // On L=10, T=20, R=110, B=70; with the line off one pixel wider than the plain rectangle.
    const Case cases[] = {
        {"line off", -1, QRectF(10, 20, 100, 50)},
        {"width 3", 3, QRectF(11, 21, 97, 47)},
        {"width 4", 4, QRectF(12, 22, 96, 46)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawRoundRect round;
        round.m_rect = {10, 20, 110, 70};
        round.m_nCornerWidth = 21;
        round.m_nCornerHeight = 10;
        if (c.penWidth >= 0) {
            penOn(round, c.penWidth);
        }
        const PaintRecord r = onlyDrawing(paint(round));
        ASSERT_EQ(r.kind, PaintKind::Path);
        QPainterPath expected;
        expected.addRoundedRect(c.rect, 10, 5, Qt::AbsoluteSize);
        EXPECT_EQ(r.path, expected);
        EXPECT_EQ(r.state.pen.joinStyle(), Qt::BevelJoin);
    }
}

TEST_F(RectsTest, ArcPointAngleCountsCounterClockwiseFromTheRight) {
    struct Case {
        int x1, y1, x2, y2, px, py;
        double degrees;
    };
    const Case cases[] = {
        {0, 0, 99, 99, 150, 49, 0},
        {0, 0, 99, 99, 49, 0, 90},
        {0, 0, 99, 99, -5, 49, 180},
        {0, 0, 99, 99, 49, 120, 270},
        {0, 0, 99, 99, 49, 49, 0},
        {0, 0, 99, 99, 99, -1, 45},
        {0, 0, 99, 99, -1, -1, 135},
        {0, 0, 99, 99, -1, 99, 225},
        {0, 0, 99, 99, 99, 99, 315},
        // Twice as wide as high: the tangent is scaled by a / b = 100 / 50.
        {0, 0, 199, 99, 149, 24, 45},
        {0, 0, 199, 99, 49, 74, 225},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.px << "," << c.py << " in " << c.x2 << "x" << c.y2);
        EXPECT_NEAR(ArcPointAngle(c.x1, c.y1, c.x2, c.y2, c.px, c.py), c.degrees, 1e-6);
    }
}

} // namespace

namespace {

// The path QPainter::drawArc strokes for these arguments, as the recording device sees it.
QPainterPath drawArcPath(const QRectF& rect, int start, int span) {
    kestro::RecordingDevice device(800, 600);
    QPainter painter(&device);
    painter.drawArc(rect, start, span);
    painter.end();
    const PaintRecords drawn = kestro::drawings(device.records());
    return drawn.size() == 1 ? drawn[0].path : QPainterPath();
}

TEST_F(RectsTest, EachArcDrawStrokesWhatDrawArcWouldForItsStateThen) {
    struct Step {
        const char* what;
        Rect32 rect;
        int penWidth; // -1: line off
        int startX, startY, endX, endY;
    };
    // clang-format off
    const Step steps[] = {
        {"first draw", {10, 20, 110, 70}, 1, -50, 0, 50, 0},
        {"drawn again", {10, 20, 110, 70}, 1, -50, 0, 50, 0},
        {"moved", {30, 20, 130, 70}, 1, -50, 0, 50, 0},
        {"a wider pen", {30, 20, 130, 70}, 4, -50, 0, 50, 0},
        {"line off", {30, 20, 130, 70}, -1, -50, 0, 50, 0},
        {"other points", {30, 20, 130, 70}, -1, 0, -50, 0, 50},
        {"the first state again", {10, 20, 110, 70}, 1, -50, 0, 50, 0},
    };
    // clang-format on
    CDrawArc arc;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        arc.m_rect = s.rect;
        arc.m_bPen = 0;
        if (s.penWidth >= 0) {
            penOn(arc, s.penWidth);
        }
        arc.m_nStartXPercent = s.startX;
        arc.m_nStartYPercent = s.startY;
        arc.m_nEndXPercent = s.endX;
        arc.m_nEndYPercent = s.endY;
        const PaintRecord r = onlyDrawing(paint(arc));
        ASSERT_EQ(r.kind, PaintKind::Path);
        // The arc's rectangle: the inclusive corners, moved in by the pen as the rectangle's.
        const int near = s.penWidth > 0 ? s.penWidth / 2 : 0;
        const int far = s.penWidth > 0 ? s.penWidth - s.penWidth / 2 : 0;
        const int x1 = s.rect.left + near, y1 = s.rect.top + near;
        const int x2 = s.rect.right - 1 - far, y2 = s.rect.bottom - 1 - far;
        const int w = x2 - x1 + 1, h = y2 - y1 + 1;
        const double a1 =
            ArcPointAngle(x1, y1, x2, y2, x2 + s.startX * w / 100, y2 + s.startY * h / 100);
        const double a2 =
            ArcPointAngle(x1, y1, x2, y2, x1 + s.endX * w / 100, y1 + s.endY * h / 100);
        const int start = static_cast<int>(a1 * 16);
        const int span = a2 > a1   ? static_cast<int>((a2 - a1) * 16)
                         : a1 > a2 ? static_cast<int>((a2 + 360 - a1) * 16)
                                   : 5760;
        EXPECT_EQ(r.path, drawArcPath(QRectF(x1, y1, w, h), start, span));
    }
}

} // namespace
