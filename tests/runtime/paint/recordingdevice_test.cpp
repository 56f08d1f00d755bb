// The recording paint device: which engine call each QPainter call of the shapes becomes, with
// exact coordinates, and the pen, brush, clip and transform recorded with it.
#include "runtime/paint/recordingdevice.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <functional>

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;
using kestro::RecordingDevice;

namespace {

using Draw = std::function<void(QPainter&)>;

class RecordingDeviceTest : public ::testing::Test {
protected:
    //! Paints with a fresh painter and returns everything recorded so far.
    PaintRecords paint(const Draw& draw) {
        QPainter painter(&device);
        draw(painter);
        painter.end();
        return device.records();
    }

    //! The single drawing that draw makes.
    PaintRecord only(const Draw& draw) {
        const PaintRecords all = kestro::drawings(paint(draw));
        EXPECT_EQ(all.size(), 1u) << kestro::dump(all).toStdString();
        return all.empty() ? PaintRecord() : all.front();
    }

    RecordingDevice device;
};

// ---- expected records (coordinates only; the state is compared in its own tests) ----------

PaintRecord rects(bool integer, QList<QRectF> list) {
    PaintRecord r;
    r.kind = PaintKind::Rects;
    r.integer = integer;
    r.rects = list;
    return r;
}

PaintRecord ellipse(bool integer, QRectF rect) {
    PaintRecord r = rects(integer, {rect});
    r.kind = PaintKind::Ellipse;
    return r;
}

PaintRecord lines(bool integer, QList<QLineF> list) {
    PaintRecord r;
    r.kind = PaintKind::Lines;
    r.integer = integer;
    r.lines = list;
    return r;
}

PaintRecord polygon(bool integer, QPaintEngine::PolygonDrawMode mode, QPolygonF points) {
    PaintRecord r;
    r.kind = PaintKind::Polygon;
    r.integer = integer;
    r.polygonMode = mode;
    r.points = points;
    return r;
}

PaintRecord points(bool integer, QPolygonF list) {
    PaintRecord r = polygon(integer, QPaintEngine::OddEvenMode, list);
    r.kind = PaintKind::Points;
    return r;
}

PaintRecord picture(PaintKind kind, QRectF target, QRectF source, QPointF offset = {}) {
    PaintRecord r = rects(false, {target});
    r.kind = kind;
    r.source = source;
    r.position = offset;
    return r;
}

QPixmap redPixmap() {
    QPixmap pixmap(4, 4);
    pixmap.fill(Qt::red);
    return pixmap;
}

struct PrimitiveCase {
    const char* name;
    Draw draw;
    PaintRecord expected;
};

const QPoint kPentagon[] = {{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}};
const QPointF kTriangleF[] = {{0.5, 0}, {10, 0.25}, {5, 5.75}};

TEST_F(RecordingDeviceTest, PrimitivesArriveWithExactCoordinates) {
    const QRect twoRects[] = {{1, 1, 2, 2}, {3, 3, 4, 4}};
    const QLine line(50, 10, 50, 89);
    const PrimitiveCase cases[] = {
        {"drawRect QRect", [](QPainter& p) { p.drawRect(QRect(11, 21, 97, 47)); },
         rects(true, {{11, 21, 97, 47}})},
        {"drawRects QRect x2", [&](QPainter& p) { p.drawRects(twoRects, 2); },
         rects(true, {{1, 1, 2, 2}, {3, 3, 4, 4}})},
        {"drawRect QRectF", [](QPainter& p) { p.drawRect(QRectF(1.5, 2.25, 3, 4)); },
         rects(false, {{1.5, 2.25, 3, 4}})},
        {"fillRect QRect", [](QPainter& p) { p.fillRect(QRect(1, 2, 3, 4), Qt::green); },
         rects(true, {{1, 2, 3, 4}})},
        {"fillRect no-fill brush", [](QPainter& p) { p.fillRect(QRect(1, 2, 3, 4), QBrush()); },
         rects(true, {{1, 2, 3, 4}})},
        {"fillRect QRectF", [](QPainter& p) { p.fillRect(QRectF(1, 2, 3.5, 4), Qt::green); },
         rects(false, {{1, 2, 3.5, 4}})},
        {"drawEllipse QRect", [](QPainter& p) { p.drawEllipse(QRect(5, 6, 7, 8)); },
         ellipse(true, {5, 6, 7, 8})},
        {"drawEllipse QRectF", [](QPainter& p) { p.drawEllipse(QRectF(5.5, 6, 7, 8)); },
         ellipse(false, {5.5, 6, 7, 8})},
        {"drawEllipse centre", [](QPainter& p) { p.drawEllipse(QPointF(5, 6), 7, 8); },
         ellipse(false, {-2, -2, 14, 16})},
        {"drawRoundedRect radius 0",
         [](QPainter& p) { p.drawRoundedRect(QRect(0, 0, 100, 50), 0, 5, Qt::AbsoluteSize); },
         rects(false, {{0, 0, 100, 50}})},
        {"drawLines QLine", [&](QPainter& p) { p.drawLines(&line, 1); },
         lines(true, {{50, 10, 50, 89}})},
        {"drawLine ints", [](QPainter& p) { p.drawLine(10, 40, 89, 40); },
         lines(true, {{10, 40, 89, 40}})},
        {"drawLine QLineF", [](QPainter& p) { p.drawLine(QLineF(0.5, 1, 2, 3.5)); },
         lines(false, {{0.5, 1, 2, 3.5}})},
        {"drawPolygon odd-even", [](QPainter& p) { p.drawPolygon(kPentagon, 5, Qt::OddEvenFill); },
         polygon(true, QPaintEngine::OddEvenMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}}))},
        {"drawPolygon winding", [](QPainter& p) { p.drawPolygon(kPentagon, 3, Qt::WindingFill); },
         polygon(true, QPaintEngine::WindingMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}}))},
        {"drawPolyline", [](QPainter& p) { p.drawPolyline(kPentagon, 4); },
         polygon(true, QPaintEngine::PolylineMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}, {99, 20}}))},
        {"drawPolyline two points", [](QPainter& p) { p.drawPolyline(kPentagon, 2); },
         polygon(true, QPaintEngine::PolylineMode, QPolygonF(QList<QPointF>{{0, 49}, {0, 20}}))},
        {"drawConvexPolygon", [](QPainter& p) { p.drawConvexPolygon(kPentagon, 3); },
         polygon(true, QPaintEngine::ConvexMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}}))},
        {"drawPolygon QPointF", [](QPainter& p) { p.drawPolygon(kTriangleF, 3); },
         polygon(false, QPaintEngine::OddEvenMode,
                 QPolygonF(QList<QPointF>{{0.5, 0}, {10, 0.25}, {5, 5.75}}))},
        {"drawPolyline QPointF", [](QPainter& p) { p.drawPolyline(kTriangleF, 3); },
         polygon(false, QPaintEngine::PolylineMode,
                 QPolygonF(QList<QPointF>{{0.5, 0}, {10, 0.25}, {5, 5.75}}))},
        {"drawPoint", [](QPainter& p) { p.drawPoint(7, 8); },
         points(true, QPolygonF(QList<QPointF>{{7, 8}}))},
        {"drawPoint QPointF", [](QPainter& p) { p.drawPoint(QPointF(7.5, 8)); },
         points(false, QPolygonF(QList<QPointF>{{7.5, 8}}))},
        {"drawPixmap",
         [](QPainter& p) { p.drawPixmap(QRect(3, 4, 8, 8), redPixmap(), {1, 1, 2, 2}); },
         picture(PaintKind::Pixmap, {3, 4, 8, 8}, {1, 1, 2, 2})},
        {"drawImage", [](QPainter& p) { p.drawImage(QPoint(3, 4), redPixmap().toImage()); },
         picture(PaintKind::Image, {3, 4, 4, 4}, {0, 0, 4, 4})},
        {"drawTiledPixmap",
         [](QPainter& p) { p.drawTiledPixmap(QRect(3, 4, 8, 8), redPixmap(), QPoint(1, 2)); },
         picture(PaintKind::TiledPixmap, {3, 4, 8, 8}, {}, {1, 2})},
    };
    for (const PrimitiveCase& c : cases) {
        SCOPED_TRACE(c.name);
        device.clear();
        const PaintRecord actual = only(c.draw);
        PaintRecord expected = c.expected;
        expected.state = actual.state;
        EXPECT_EQ(actual, expected);
    }
}

TEST_F(RecordingDeviceTest, CallsWithNothingToDrawDoNotArrive) {
    const QRect none[1] = {};
    const Draw calls[] = {
        [&](QPainter& p) { p.drawRects(none, 0); },
        [](QPainter& p) { p.drawPolygon(kPentagon, 0); },
        [](QPainter& p) { p.drawPolygon(kPentagon, 1); },
        [](QPainter& p) { p.drawPolyline(kPentagon, 1); },
        [](QPainter& p) { p.drawLines(static_cast<const QLine*>(nullptr), 0); },
    };
    for (const Draw& call : calls) {
        device.clear();
        EXPECT_TRUE(paint(call).empty()) << device.dump().toStdString();
    }
}

// ---- calls that reach a plain engine as paths ----------------------------------------------

TEST_F(RecordingDeviceTest, RoundedRectArrivesAsItsPath) {
    const PaintRecord r = only([](QPainter& p) {
        p.setBrush(Qt::blue);
        p.drawRoundedRect(QRectF(2, 3, 100, 50), 10, 5, Qt::AbsoluteSize);
    });
    QPainterPath expected;
    expected.addRoundedRect(QRectF(2, 3, 100, 50), 10, 5, Qt::AbsoluteSize);
    EXPECT_EQ(r.kind, PaintKind::Path);
    EXPECT_EQ(r.path, expected);
    // Filled and stroked in one call: the painter's own pen and brush.
    EXPECT_EQ(r.state.pen.style(), Qt::SolidLine);
    EXPECT_EQ(r.state.brush.color(), QColor(Qt::blue));
    // The corners' size is absolute: the path spans exactly the rectangle.
    EXPECT_EQ(r.path.boundingRect(), QRectF(2, 3, 100, 50));
}

TEST_F(RecordingDeviceTest, ArcArrivesAsAStrokedPathWithoutBrush) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setPen(QPen(Qt::red, 3));
        p.setBrush(Qt::blue);
        p.drawArc(QRectF(0, 0, 100, 50), 0, 90 * 16);
        p.drawRect(QRect(0, 0, 1, 1));
    });
    ASSERT_EQ(all.size(), 2u) << kestro::dump(all).toStdString();
    const PaintRecord& arc = all[0];
    EXPECT_EQ(arc.kind, PaintKind::Path);
    EXPECT_EQ(arc.state.brush.style(), Qt::NoBrush);
    EXPECT_EQ(arc.state.pen.color(), QColor(Qt::red));
    EXPECT_EQ(arc.state.pen.widthF(), 3.0);
    // Counter-clockwise from 0 degrees (right end of the horizontal axis) to 90 (top middle).
    ASSERT_GE(arc.path.elementCount(), 2);
    EXPECT_TRUE(arc.path.elementAt(0).isMoveTo());
    EXPECT_EQ(QPointF(arc.path.elementAt(0)), QPointF(100, 25));
    EXPECT_EQ(arc.path.currentPosition(), QPointF(50, 0));
    // The painter's brush is back for the next call.
    EXPECT_EQ(all[1].state.brush.color(), QColor(Qt::blue));
    EXPECT_EQ(all[1].state.brush.style(), Qt::SolidPattern);
}

TEST_F(RecordingDeviceTest, FillPathArrivesAsPathWithNoPenAndTheGivenBrush) {
    QPainterPath triangle;
    triangle.moveTo(0, 0);
    triangle.lineTo(10, 0);
    triangle.lineTo(0, 10);
    triangle.lineTo(0, 0);
    const PaintRecords all = paint([&](QPainter& p) {
        p.setPen(QPen(Qt::red, 2));
        p.setBrush(Qt::blue);
        p.fillPath(triangle, QColor(0x11, 0x22, 0x33));
        p.drawPath(triangle);
    });
    ASSERT_EQ(all.size(), 2u) << kestro::dump(all).toStdString();
    EXPECT_EQ(all[0].kind, PaintKind::Path);
    EXPECT_EQ(all[0].path, triangle);
    EXPECT_EQ(all[0].state.pen.style(), Qt::NoPen);
    EXPECT_EQ(all[0].state.brush.style(), Qt::SolidPattern);
    EXPECT_EQ(all[0].state.brush.color(), QColor(0x11, 0x22, 0x33));
    // drawPath uses the painter's pen and brush, set back after fillPath.
    EXPECT_EQ(all[1].path, triangle);
    EXPECT_EQ(all[1].state.pen.color(), QColor(Qt::red));
    EXPECT_EQ(all[1].state.brush.color(), QColor(Qt::blue));
}

TEST_F(RecordingDeviceTest, FillRectUsesNoPenAndSetsThePainterBack) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setPen(QPen(Qt::red, 2));
        p.fillRect(QRect(0, 0, 10, 9), QColor(0x40, 0x50, 0x60));
        p.drawRect(QRect(0, 0, 10, 9));
    });
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].state.pen.style(), Qt::NoPen);
    EXPECT_EQ(all[0].state.brush.color(), QColor(0x40, 0x50, 0x60));
    EXPECT_EQ(all[1].state.pen.color(), QColor(Qt::red));
    EXPECT_EQ(all[1].state.brush.style(), Qt::NoBrush);
}

TEST_F(RecordingDeviceTest, TextArrivesWithBaselineOriginAndText) {
    const PaintRecord r = only([](QPainter& p) { p.drawText(QPointF(10, 20), "Hi"); });
    EXPECT_EQ(r.kind, PaintKind::Text);
    EXPECT_EQ(r.position, QPointF(10, 20));
    EXPECT_EQ(r.text, "Hi");
}

TEST_F(RecordingDeviceTest, TextThatOverflowsItsRectangleIsClippedToIt) {
    // Far too long for 10 by 10 pixels.
    const Draw overflowing = [](QPainter& p) {
        p.drawText(QRect(0, 0, 10, 10), Qt::AlignLeft, "Hello, world");
    };
    const PaintRecords clipped = paint(overflowing);
    const PaintRecords texts = kestro::ofKind(clipped, PaintKind::Text);
    ASSERT_EQ(texts.size(), 1u) << kestro::dump(clipped).toStdString();
    EXPECT_EQ(texts[0].text, "Hello, world");
    EXPECT_EQ(texts[0].state.clip.rects(), QList<QRect>{QRect(0, 0, 10, 10)});
    EXPECT_FALSE(clipped.back().state.clip.active()) << kestro::dump(clipped).toStdString();

    device.clear();
    const PaintRecords fitting =
        paint([](QPainter& p) { p.drawText(QRect(0, 0, 400, 100), Qt::AlignLeft, "Hi"); });
    ASSERT_EQ(fitting.size(), 1u) << kestro::dump(fitting).toStdString();
    EXPECT_FALSE(fitting[0].state.clip.active());

    device.clear();
    const PaintRecords unclipped = paint([](QPainter& p) {
        p.drawText(QRect(0, 0, 10, 10), Qt::AlignLeft | Qt::TextDontClip, "Hello, world");
    });
    ASSERT_EQ(unclipped.size(), 1u) << kestro::dump(unclipped).toStdString();
    EXPECT_FALSE(unclipped[0].state.clip.active());
}

// ---- state ---------------------------------------------------------------------------------

TEST_F(RecordingDeviceTest, FirstCallHasAFreshPaintersState) {
    // A second painter starts afresh, whatever the first one left.
    paint([](QPainter& p) {
        p.setPen(QPen(Qt::red, 5));
        p.setBrush(Qt::blue);
        p.scale(2, 2);
        p.drawPoint(0, 0);
    });
    device.clear();
    const PaintRecord r = only([](QPainter& p) { p.drawPoint(0, 0); });
    EXPECT_EQ(r.state.pen.style(), Qt::SolidLine);
    EXPECT_EQ(r.state.pen.widthF(), 1.0);
    EXPECT_EQ(r.state.pen.color(), QColor(Qt::black));
    EXPECT_EQ(r.state.pen.capStyle(), Qt::SquareCap);
    EXPECT_EQ(r.state.pen.joinStyle(), Qt::BevelJoin);
    EXPECT_FALSE(r.state.pen.isCosmetic());
    EXPECT_EQ(r.state.brush.style(), Qt::NoBrush);
    EXPECT_TRUE(r.state.transform.isIdentity());
    EXPECT_FALSE(r.state.clip.active());
    EXPECT_EQ(r.state.opacity, 1.0);
    EXPECT_EQ(r.state.composition, QPainter::CompositionMode_SourceOver);
}

struct PenCase {
    const char* name;
    QPen pen;
    Qt::PenStyle style;
    qreal width;
    QRgb rgba;
    Qt::PenCapStyle cap;
    Qt::PenJoinStyle join;
    bool cosmetic;
};

TEST_F(RecordingDeviceTest, PenIsRecordedField_by_field) {
    QPen miter(Qt::red, 3);
    miter.setJoinStyle(Qt::MiterJoin);
    QPen wideCosmetic(Qt::green, 3);
    wideCosmetic.setCosmetic(true);
    const PenCase cases[] = {
        {"default", QPen(), Qt::SolidLine, 1, 0xff000000, Qt::SquareCap, Qt::BevelJoin, false},
        {"miter", miter, Qt::SolidLine, 3, 0xffff0000, Qt::SquareCap, Qt::MiterJoin, false},
        {"dash round translucent",
         QPen(QColor(0x12, 0x34, 0x56, 0x78), 2.5, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin),
         Qt::DashLine, 2.5, 0x78123456, Qt::RoundCap, Qt::RoundJoin, false},
        {"width 0 is cosmetic", QPen(Qt::blue, 0), Qt::SolidLine, 0, 0xff0000ff, Qt::SquareCap,
         Qt::BevelJoin, true},
        {"cosmetic flag", wideCosmetic, Qt::SolidLine, 3, 0xff00ff00, Qt::SquareCap, Qt::BevelJoin,
         true},
        {"no pen", QPen(Qt::NoPen), Qt::NoPen, 1, 0xff000000, Qt::SquareCap, Qt::BevelJoin, false},
    };
    for (const PenCase& c : cases) {
        SCOPED_TRACE(c.name);
        device.clear();
        const QPen pen = only([&](QPainter& p) {
                             p.setPen(c.pen);
                             p.drawRect(QRect(0, 0, 5, 5));
                         }).state.pen;
        EXPECT_EQ(pen.style(), c.style);
        EXPECT_EQ(pen.widthF(), c.width);
        EXPECT_EQ(pen.color().rgba(), c.rgba);
        EXPECT_EQ(pen.capStyle(), c.cap);
        EXPECT_EQ(pen.joinStyle(), c.join);
        EXPECT_EQ(pen.isCosmetic(), c.cosmetic);
    }
}

TEST_F(RecordingDeviceTest, BrushStyleAndColourAreRecorded) {
    struct {
        const char* name;
        QBrush brush;
        Qt::BrushStyle style;
        QRgb rgba;
    } const cases[] = {
        {"solid", QBrush(QColor(0x10, 0x20, 0x30)), Qt::SolidPattern, 0xff102030},
        {"hatched", QBrush(Qt::red, Qt::HorPattern), Qt::HorPattern, 0xffff0000},
        {"transparent solid", QBrush(Qt::transparent, Qt::SolidPattern), Qt::SolidPattern,
         0x00000000},
        {"none", QBrush(Qt::NoBrush), Qt::NoBrush, 0xff000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device.clear();
        const QBrush brush = only([&](QPainter& p) {
                                 p.setBrush(c.brush);
                                 p.drawEllipse(QRect(0, 0, 5, 5));
                             }).state.brush;
        EXPECT_EQ(brush.style(), c.style);
        EXPECT_EQ(brush.color().rgba(), c.rgba);
        EXPECT_EQ(brush.gradient(), nullptr);
    }
}

TEST_F(RecordingDeviceTest, BrushWithInvalidColourKeepsIt) {
    QBrush brush;
    brush.setColor(QColor());
    const PaintRecord r = only([&](QPainter& p) {
        p.setBrush(brush);
        p.drawRect(QRect(0, 0, 5, 5));
    });
    EXPECT_EQ(r.state.brush.style(), Qt::NoBrush);
    EXPECT_FALSE(r.state.brush.color().isValid());
}

TEST_F(RecordingDeviceTest, LinearGradientWithStopsArrivesUnemulated) {
    QLinearGradient pipe(QPointF(49, 0), QPointF(49, 19));
    pipe.setColorAt(0.0, QColor(0x80, 0x80, 0x80));
    pipe.setColorAt(0.5, QColor(0xff, 0xff, 0xff));
    pipe.setColorAt(1.0, QColor(0x80, 0x80, 0x80));
    const PaintRecord r = only([&](QPainter& p) {
        p.setBrush(pipe);
        p.setPen(Qt::NoPen);
        const QRect rect(QPoint(0, 0), QPoint(98, 18));
        p.drawRects(&rect, 1);
    });
    // One rectangle, not the scanlines of an emulated gradient.
    EXPECT_EQ(r.kind, PaintKind::Rects);
    EXPECT_EQ(r.rects, QList<QRectF>{QRectF(0, 0, 99, 19)});
    ASSERT_EQ(r.state.brush.style(), Qt::LinearGradientPattern);
    const auto* g = static_cast<const QLinearGradient*>(r.state.brush.gradient());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->type(), QGradient::LinearGradient);
    EXPECT_EQ(g->start(), QPointF(49, 0));
    EXPECT_EQ(g->finalStop(), QPointF(49, 19));
    const QGradientStops expected{{0.0, QColor(0x80, 0x80, 0x80)},
                                  {0.5, QColor(0xff, 0xff, 0xff)},
                                  {1.0, QColor(0x80, 0x80, 0x80)}};
    EXPECT_EQ(g->stops(), expected);
}

TEST_F(RecordingDeviceTest, RadialAndConicalGradientsKeepTheirGeometry) {
    QRadialGradient ball(QPointF(30, 20), 25, QPointF(28, 18));
    ball.setColorAt(0, Qt::white);
    ball.setColorAt(1, Qt::blue);
    QConicalGradient cone(QPointF(5, 6), 45);
    cone.setColorAt(0, Qt::transparent);
    cone.setColorAt(1, Qt::red);
    const PaintRecords all = paint([&](QPainter& p) {
        p.setBrush(ball);
        p.drawEllipse(QRect(0, 0, 60, 40));
        p.setBrush(cone);
        p.drawEllipse(QRect(0, 0, 10, 12));
    });
    ASSERT_EQ(all.size(), 2u);
    const auto* radial = static_cast<const QRadialGradient*>(all[0].state.brush.gradient());
    ASSERT_NE(radial, nullptr);
    EXPECT_EQ(radial->type(), QGradient::RadialGradient);
    EXPECT_EQ(radial->center(), QPointF(30, 20));
    EXPECT_EQ(radial->radius(), 25.0);
    EXPECT_EQ(radial->focalPoint(), QPointF(28, 18));
    EXPECT_EQ(radial->stops(), (QGradientStops{{0, QColor(Qt::white)}, {1, QColor(Qt::blue)}}));
    const auto* conical = static_cast<const QConicalGradient*>(all[1].state.brush.gradient());
    ASSERT_NE(conical, nullptr);
    EXPECT_EQ(conical->center(), QPointF(5, 6));
    EXPECT_EQ(conical->angle(), 45.0);
    EXPECT_EQ(conical->stops().first().second.alpha(), 0);
}

TEST_F(RecordingDeviceTest, TransformArrivesAsStateWithUntransformedCoordinates) {
    const PaintRecord r = only([](QPainter& p) {
        p.scale(1, 0.5);
        p.translate(QPointF(0, 10)); // in the scaled frame: 5 device pixels down
        p.drawEllipse(QRect(0, 0, 10, 10));
    });
    EXPECT_EQ(r.kind, PaintKind::Ellipse);
    EXPECT_TRUE(r.integer);
    EXPECT_EQ(r.rect(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(r.state.transform, QTransform(1, 0, 0, 0.5, 0, 5));
}

TEST_F(RecordingDeviceTest, RestoreBringsBackPenBrushAndTransform) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setPen(QPen(Qt::red, 2));
        p.setBrush(Qt::blue);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::green);
        p.scale(2, 3);
        p.drawRect(QRect(1, 1, 4, 4));
        p.restore();
        p.drawRect(QRect(1, 1, 4, 4));
    });
    ASSERT_EQ(all.size(), 2u) << kestro::dump(all).toStdString();
    EXPECT_EQ(all[0].state.pen.style(), Qt::NoPen);
    EXPECT_EQ(all[0].state.brush.color(), QColor(Qt::green));
    EXPECT_EQ(all[0].state.transform, QTransform::fromScale(2, 3));
    EXPECT_EQ(all[1].state.pen.color(), QColor(Qt::red));
    EXPECT_EQ(all[1].state.pen.widthF(), 2.0);
    EXPECT_EQ(all[1].state.brush.color(), QColor(Qt::blue));
    EXPECT_TRUE(all[1].state.transform.isIdentity());
}

TEST_F(RecordingDeviceTest, OpacityCompositionAndHintsAreRecorded) {
    const PaintRecord r = only([](QPainter& p) {
        p.setOpacity(0.25);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPoint(1, 1);
    });
    EXPECT_EQ(r.state.opacity, 0.25);
    EXPECT_EQ(r.state.composition, QPainter::CompositionMode_Source);
    EXPECT_TRUE(r.state.hints.testFlag(QPainter::Antialiasing));
}

// ---- clip ----------------------------------------------------------------------------------

TEST_F(RecordingDeviceTest, ShapeClipFrameIntersectsThenResets) {
    // What a shape does with its clip rectangle (left 10, top 20, right 60, bottom 50).
    const QRect clip(QPoint(10, 20), QPoint(59, 49));
    const PaintRecords all = paint([&](QPainter& p) {
        p.setClipRect(clip, Qt::IntersectClip);
        p.drawRect(QRect(0, 0, 100, 100));
        p.setClipRect(clip, Qt::NoClip);
        p.drawRect(QRect(0, 0, 100, 100));
    });
    ASSERT_EQ(all.size(), 4u) << kestro::dump(all).toStdString();
    // With no clip in force Qt turns the intersection into a replacement.
    EXPECT_EQ(all[0].kind, PaintKind::Clip);
    EXPECT_EQ(all[0].clipOperation, Qt::ReplaceClip);
    EXPECT_EQ(all[0].rects, QList<QRectF>{QRectF(10, 20, 50, 30)});
    EXPECT_TRUE(all[1].state.clip.active());
    EXPECT_EQ(all[1].state.clip.rects(), QList<QRect>{QRect(10, 20, 50, 30)});
    EXPECT_EQ(all[2].kind, PaintKind::Clip);
    EXPECT_EQ(all[2].clipOperation, Qt::NoClip);
    // Qt leaves clipping enabled after NoClip; nothing clips all the same.
    EXPECT_TRUE(all[3].state.clip.enabled);
    EXPECT_FALSE(all[3].state.clip.active());
    EXPECT_TRUE(all[3].state.clip.rects().isEmpty());
}

TEST_F(RecordingDeviceTest, SecondIntersectionNarrowsTheClip) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip);
        p.setClipRect(QRect(10, 30, 100, 100), Qt::IntersectClip);
        p.drawPoint(20, 40);
    });
    ASSERT_EQ(all.size(), 3u) << kestro::dump(all).toStdString();
    EXPECT_EQ(all[1].clipOperation, Qt::IntersectClip);
    EXPECT_EQ(all[1].rects, QList<QRectF>{QRectF(10, 30, 100, 100)});
    EXPECT_EQ(all[2].state.clip.rects(), QList<QRect>{QRect(10, 30, 40, 20)});
}

TEST_F(RecordingDeviceTest, ClipIsKeptInDeviceCoordinates) {
    const PaintRecords all = paint([](QPainter& p) {
        p.translate(5, 7);
        p.setClipRect(QRect(0, 0, 10, 10));
        p.drawPoint(0, 0);
    });
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].rects, QList<QRectF>{QRectF(0, 0, 10, 10)}); // as the caller gave it
    EXPECT_EQ(all[1].state.clip.rects(), QList<QRect>{QRect(5, 7, 10, 10)});
}

TEST_F(RecordingDeviceTest, RestoreReplaysTheSavedClip) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setClipRect(QRect(0, 0, 50, 50));
        p.save();
        p.setClipRect(QRect(20, 20, 50, 50), Qt::IntersectClip);
        p.drawPoint(30, 30);
        p.restore();
        p.drawPoint(30, 30);
    });
    const PaintRecords points = kestro::ofKind(all, PaintKind::Points);
    ASSERT_EQ(points.size(), 2u) << kestro::dump(all).toStdString();
    EXPECT_EQ(points[0].state.clip.rects(), QList<QRect>{QRect(20, 20, 30, 30)});
    EXPECT_EQ(points[1].state.clip.rects(), QList<QRect>{QRect(0, 0, 50, 50)});
}

TEST_F(RecordingDeviceTest, RestoreWithoutSavedClipDropsTheClip) {
    const PaintRecords all = paint([](QPainter& p) {
        p.save();
        p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip);
        p.drawPoint(1, 1);
        p.restore();
        p.drawPoint(1, 1);
    });
    const PaintRecords points = kestro::ofKind(all, PaintKind::Points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_TRUE(points[0].state.clip.active());
    EXPECT_FALSE(points[1].state.clip.active()) << kestro::dump(all).toStdString();
}

TEST_F(RecordingDeviceTest, ClippingCanBeSwitchedOffAndOn) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setClipRect(QRect(0, 0, 50, 50));
        p.setClipping(false);
        p.drawPoint(1, 1);
        p.setClipping(true);
        p.drawPoint(1, 1);
    });
    const PaintRecords points = kestro::ofKind(all, PaintKind::Points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_FALSE(points[0].state.clip.active());
    EXPECT_TRUE(points[1].state.clip.active());
    EXPECT_EQ(points[1].state.clip.rects(), QList<QRect>{QRect(0, 0, 50, 50)});
}

TEST_F(RecordingDeviceTest, FractionalClipRectangleIsAPath) {
    const PaintRecords all = paint([](QPainter& p) {
        p.setClipRect(QRectF(0.5, 0, 10, 10));
        p.setClipRect(QRect(5, 5, 20, 20), Qt::IntersectClip);
        p.drawPoint(1, 1);
    });
    ASSERT_EQ(all.size(), 3u) << kestro::dump(all).toStdString();
    EXPECT_FALSE(all[0].path.isEmpty());
    const kestro::ClipState& clip = all[2].state.clip;
    EXPECT_TRUE(clip.active());
    EXPECT_TRUE(clip.isPath);
    EXPECT_TRUE(clip.rects().isEmpty());
    EXPECT_EQ(clip.path.boundingRect(), QRectF(5, 5, 5.5, 5));
}

// ---- the device ----------------------------------------------------------------------------

TEST(RecordingDeviceMetrics, SizeAndResolution) {
    const RecordingDevice standard;
    EXPECT_EQ(standard.width(), 1920);
    EXPECT_EQ(standard.height(), 1080);
    EXPECT_EQ(standard.logicalDpiX(), 96);
    EXPECT_EQ(standard.logicalDpiY(), 96);
    EXPECT_EQ(standard.physicalDpiX(), 96);
    EXPECT_EQ(standard.widthMM(), 508); // 1920 / 96 inch
    EXPECT_EQ(standard.depth(), 32);
    EXPECT_EQ(standard.devicePixelRatio(), 1.0);

    const RecordingDevice small(320, 240);
    EXPECT_EQ(small.width(), 320);
    EXPECT_EQ(small.height(), 240);
    EXPECT_EQ(small.heightMM(), 64); // 2.5 inch = 63.5 mm, rounded
}

TEST(RecordingDeviceQueries, OfKindAndDrawingsKeepTheOrder) {
    RecordingDevice device(100, 100);
    {
        QPainter p(&device);
        p.drawPoint(1, 1);
        p.setClipRect(QRect(0, 0, 10, 10));
        p.drawLine(0, 0, 1, 1);
        p.drawPoint(2, 2);
    }
    ASSERT_EQ(device.records().size(), 4u);
    const PaintRecords points = device.ofKind(PaintKind::Points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].points.first(), QPointF(1, 1));
    EXPECT_EQ(points[1].points.first(), QPointF(2, 2));
    const PaintRecords drawings = device.drawings();
    ASSERT_EQ(drawings.size(), 3u);
    EXPECT_EQ(drawings[1].kind, PaintKind::Lines);
    EXPECT_EQ(device.dump().count('\n'), 4);
    EXPECT_EQ(device.toJson().size(), 4);
    device.clear();
    EXPECT_TRUE(device.records().empty());
}

} // namespace
