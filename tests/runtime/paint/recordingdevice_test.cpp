// The recording paint device: which engine call each painter call becomes, with exact
// coordinates, and the pen, brush, transform and clip recorded with it.
#include "runtime/paint/recordingdevice.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <functional>

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;
using kestro::PaintState;
using kestro::RecordingDevice;

namespace {

using Draw = std::function<void(QPainter&)>;

class RecordingDeviceTest : public ::testing::Test {
protected:
    PaintRecords paint(const Draw& draw) {
        device.clear();
        QPainter painter(&device);
        draw(painter);
        painter.end();
        return device.records();
    }

    //! The single drawing that draw makes.
    PaintRecord only(const Draw& draw) {
        const PaintRecords all = kestro::drawings(paint(draw));
        EXPECT_EQ(all.size(), 1u) << kestro::dump(all).toStdString();
        return all.empty() ? PaintRecord() : all.back();
    }

    RecordingDevice device;
};

PaintRecord make(PaintKind kind, bool integer) {
    PaintRecord r;
    r.kind = kind;
    r.integer = integer;
    return r;
}

PaintRecord rects(bool integer, QList<QRectF> list) {
    PaintRecord r = make(PaintKind::Rects, integer);
    r.rects = list;
    return r;
}

PaintRecord ellipse(bool integer, QRectF rect) {
    PaintRecord r = rects(integer, {rect});
    r.kind = PaintKind::Ellipse;
    return r;
}

PaintRecord lines(bool integer, QList<QLineF> list) {
    PaintRecord r = make(PaintKind::Lines, integer);
    r.lines = list;
    return r;
}

PaintRecord polygon(bool integer, QPaintEngine::PolygonDrawMode mode, QPolygonF points) {
    PaintRecord r = make(PaintKind::Polygon, integer);
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

PaintRecord path(const QPainterPath& path) {
    PaintRecord r = make(PaintKind::Path, false);
    r.path = path;
    return r;
}

PaintRecord text(QPointF position, QString text) {
    PaintRecord r = make(PaintKind::Text, false);
    r.position = position;
    r.text = text;
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
    QPainterPath triangle;
    triangle.addPolygon(QPolygonF(QList<QPointF>{{0, 0}, {10, 0}, {0, 10}}));
    const PrimitiveCase cases[] = {
        {"drawRect QRect", [](QPainter& p) { p.drawRect(QRect(11, 21, 97, 47)); },
         rects(true, {{11, 21, 97, 47}})},
        {"drawRect QRectF", [](QPainter& p) { p.drawRect(QRectF(1.5, 2.25, 3, 4)); },
         rects(false, {{1.5, 2.25, 3, 4}})},
        {"fillRect QRect", [](QPainter& p) { p.fillRect(QRect(1, 2, 3, 4), Qt::green); },
         rects(true, {{1, 2, 3, 4}})},
        {"drawEllipse QRect", [](QPainter& p) { p.drawEllipse(QRect(5, 6, 7, 8)); },
         ellipse(true, {5, 6, 7, 8})},
        {"drawEllipse QRectF", [](QPainter& p) { p.drawEllipse(QRectF(5.5, 6, 7, 8)); },
         ellipse(false, {5.5, 6, 7, 8})},
        {"drawLine ints", [](QPainter& p) { p.drawLine(10, 40, 89, 40); },
         lines(true, {{10, 40, 89, 40}})},
        {"drawLine QLineF", [](QPainter& p) { p.drawLine(QLineF(0.5, 1, 2, 3.5)); },
         lines(false, {{0.5, 1, 2, 3.5}})},
        {"drawPolygon odd-even", [](QPainter& p) { p.drawPolygon(kPentagon, 5, Qt::OddEvenFill); },
         polygon(true, QPaintEngine::OddEvenMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}}))},
        {"drawPolyline", [](QPainter& p) { p.drawPolyline(kPentagon, 4); },
         polygon(true, QPaintEngine::PolylineMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}, {99, 20}}))},
        {"drawConvexPolygon", [](QPainter& p) { p.drawConvexPolygon(kPentagon, 3); },
         polygon(true, QPaintEngine::ConvexMode,
                 QPolygonF(QList<QPointF>{{0, 49}, {0, 20}, {50, 0}}))},
        {"drawPolygon QPointF", [](QPainter& p) { p.drawPolygon(kTriangleF, 3); },
         polygon(false, QPaintEngine::OddEvenMode,
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
        {"drawPath", [&](QPainter& p) { p.drawPath(triangle); }, path(triangle)},
        {"drawText", [](QPainter& p) { p.drawText(QPointF(10, 20), "Hi"); }, text({10, 20}, "Hi")},
    };
    for (const PrimitiveCase& c : cases) {
        SCOPED_TRACE(c.name);
        device.clear();
        const PaintRecord actual = only(c.draw);
        PaintRecord expected = c.expected;
        expected.state = actual.state;
        expected.font = actual.font;
        EXPECT_EQ(actual, expected);
    }
}

QPen pen(QColor color, qreal width, Qt::PenJoinStyle join = Qt::BevelJoin, bool cosmetic = false) {
    QPen p(color, width);
    p.setJoinStyle(join);
    p.setCosmetic(cosmetic);
    return p;
}

template <class Gradient>
QBrush gradient(Gradient g) {
    g.setColorAt(0, Qt::transparent);
    g.setColorAt(0.5, Qt::white);
    g.setColorAt(1, Qt::blue);
    return QBrush(g);
}

struct StateCase {
    const char* name;
    Draw draw; //!< the last drawing it makes is compared
    std::function<void(PaintState&)> expect;
    size_t drawings = 1;
};

TEST_F(RecordingDeviceTest, StateArrivesWithEachCall) {
    // Whatever an earlier painter left, a new one starts from Qt's defaults.
    paint([](QPainter& p) {
        p.setPen(QPen(Qt::red, 5));
        p.setBrush(Qt::blue);
        p.scale(2, 2);
        p.drawPoint(0, 0);
    });
    const PaintState fresh = only([](QPainter& p) { p.drawPoint(0, 0); }).state;
    EXPECT_EQ(fresh.pen.color(), QColor(Qt::black));
    EXPECT_EQ(fresh.pen.widthF(), 1.0);
    EXPECT_EQ(fresh.pen.capStyle(), Qt::SquareCap);
    EXPECT_EQ(fresh.pen.joinStyle(), Qt::BevelJoin);
    EXPECT_EQ(fresh.brush.style(), Qt::NoBrush);
    EXPECT_TRUE(fresh.transform.isIdentity());
    EXPECT_FALSE(fresh.clip.active());
    EXPECT_EQ(fresh.opacity, 1.0);
    EXPECT_EQ(fresh.composition, QPainter::CompositionMode_SourceOver);

    const QPen dashed(QColor(0x12, 0x34, 0x56, 0x78), 2.5, Qt::DashLine, Qt::RoundCap,
                      Qt::RoundJoin);
    const QBrush linear = gradient(QLinearGradient(QPointF(49, 0), QPointF(49, 19)));
    const QBrush radial = gradient(QRadialGradient(QPointF(30, 20), 25, QPointF(28, 18)));
    const QBrush conical = gradient(QConicalGradient(QPointF(5, 6), 45));
    QBrush invalidColour;
    invalidColour.setColor(QColor());
    const auto withPen = [](QPen pen) {
        return [pen](QPainter& p) {
            p.setPen(pen);
            p.drawRect(QRect(0, 0, 5, 5));
        };
    };
    const auto withBrush = [](QBrush brush) {
        return [brush](QPainter& p) {
            p.setBrush(brush);
            p.drawRect(QRect(0, 0, 5, 5));
        };
    };
    const StateCase cases[] = {
        {"miter pen", withPen(pen(Qt::red, 3, Qt::MiterJoin)),
         [](PaintState& s) { s.pen = pen(Qt::red, 3, Qt::MiterJoin); }},
        {"dashed translucent pen", withPen(dashed), [&](PaintState& s) { s.pen = dashed; }},
        {"width 0 is cosmetic", withPen(QPen(Qt::blue, 0)),
         [](PaintState& s) { s.pen = pen(Qt::blue, 0, Qt::BevelJoin, true); }},
        {"cosmetic flag", withPen(pen(Qt::green, 3, Qt::BevelJoin, true)),
         [](PaintState& s) { s.pen = pen(Qt::green, 3, Qt::BevelJoin, true); }},
        {"no pen", withPen(Qt::NoPen), [](PaintState& s) { s.pen = QPen(Qt::NoPen); }},
        {"hatched brush", withBrush(QBrush(Qt::red, Qt::HorPattern)),
         [](PaintState& s) { s.brush = QBrush(Qt::red, Qt::HorPattern); }},
        {"transparent brush", withBrush(QBrush(Qt::transparent, Qt::SolidPattern)),
         [](PaintState& s) { s.brush = QBrush(Qt::transparent, Qt::SolidPattern); }},
        {"brush with an invalid colour", withBrush(invalidColour),
         [&](PaintState& s) { s.brush = invalidColour; }},
        // One rectangle each, not the scanlines of an emulated gradient.
        {"linear gradient", withBrush(linear), [&](PaintState& s) { s.brush = linear; }},
        {"radial gradient", withBrush(radial), [&](PaintState& s) { s.brush = radial; }},
        {"conical gradient", withBrush(conical), [&](PaintState& s) { s.brush = conical; }},
        {"transform",
         [](QPainter& p) {
             p.scale(1, 0.5);
             p.translate(QPointF(0, 10)); // in the scaled frame: 5 device pixels down
             p.drawEllipse(QRect(0, 0, 10, 10));
         },
         [](PaintState& s) { s.transform = QTransform(1, 0, 0, 0.5, 0, 5); }},
        {"opacity, composition and hints",
         [](QPainter& p) {
             p.setOpacity(0.25);
             p.setCompositionMode(QPainter::CompositionMode_Source);
             p.setRenderHint(QPainter::Antialiasing);
             p.drawPoint(1, 1);
         },
         [](PaintState& s) {
             s.opacity = 0.25;
             s.composition = QPainter::CompositionMode_Source;
             s.hints = QPainter::Antialiasing | QPainter::TextAntialiasing; // with Qt's own
         }},
        {"restore",
         [](QPainter& p) {
             p.setPen(QPen(Qt::red, 2));
             p.setBrush(Qt::blue);
             p.save();
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::green);
             p.scale(2, 3);
             p.drawRect(QRect(1, 1, 4, 4));
             p.restore();
             p.drawRect(QRect(1, 1, 4, 4));
         },
         [](PaintState& s) {
             s.pen = QPen(Qt::red, 2);
             s.brush = QBrush(Qt::blue);
         },
         2},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PaintRecords all = kestro::drawings(paint(c.draw));
        ASSERT_EQ(all.size(), c.drawings) << kestro::dump(all).toStdString();
        const PaintRecord& actual = all.back();
        PaintState expected = fresh;
        c.expect(expected);
        EXPECT_EQ(actual.state, expected) << kestro::describe(actual).toStdString();
    }
}

struct ClipCase {
    const char* name;
    Draw draw; //!< the clip in force at its last drawing is compared
    bool active;
    QList<QRect> rects;
};

TEST_F(RecordingDeviceTest, TheClipInForceIsKeptInDevicePixels) {
    const ClipCase cases[] = {
        {"a shape's clip frame", // with no clip in force Qt turns the intersection into a replace
         [](QPainter& p) {
             p.setClipRect(QRect(QPoint(10, 20), QPoint(59, 49)), Qt::IntersectClip);
             p.drawPoint(0, 0);
         },
         true,
         {QRect(10, 20, 50, 30)}},
        {"reset by NoClip",
         [](QPainter& p) {
             p.setClipRect(QRect(10, 20, 50, 30), Qt::IntersectClip);
             p.setClipRect(QRect(10, 20, 50, 30), Qt::NoClip);
             p.drawPoint(0, 0);
         },
         false,
         {}},
        {"a second intersection narrows",
         [](QPainter& p) {
             p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip);
             p.setClipRect(QRect(10, 30, 100, 100), Qt::IntersectClip);
             p.drawPoint(20, 40);
         },
         true,
         {QRect(10, 30, 40, 20)}},
        {"translated",
         [](QPainter& p) {
             p.translate(5, 7);
             p.setClipRect(QRect(0, 0, 10, 10));
             p.drawPoint(0, 0);
         },
         true,
         {QRect(5, 7, 10, 10)}},
        {"restore replays the saved clip",
         [](QPainter& p) {
             p.setClipRect(QRect(0, 0, 50, 50));
             p.save();
             p.setClipRect(QRect(20, 20, 50, 50), Qt::IntersectClip);
             p.restore();
             p.drawPoint(30, 30);
         },
         true,
         {QRect(0, 0, 50, 50)}},
        {"restore without a saved clip drops it",
         [](QPainter& p) {
             p.save();
             p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip);
             p.restore();
             p.drawPoint(1, 1);
         },
         false,
         {}},
        {"switched off",
         [](QPainter& p) {
             p.setClipRect(QRect(0, 0, 50, 50));
             p.setClipping(false);
             p.drawPoint(1, 1);
         },
         false,
         {}},
        {"text overflowing its rectangle",
         [](QPainter& p) { p.drawText(QRect(0, 0, 10, 10), Qt::AlignLeft, "Hello, world"); },
         true,
         {QRect(0, 0, 10, 10)}},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PaintRecords all = kestro::drawings(paint(c.draw));
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().state.clip.active(), c.active);
        EXPECT_EQ(all.back().state.clip.rects(), c.rects);
    }

    const PaintRecords all = paint([](QPainter& p) {
        p.translate(1, 0);
        p.setClipRect(QRect(10, 30, 100, 100), Qt::IntersectClip);
        p.setClipRect(QRectF(0.5, 0, 30, 40), Qt::IntersectClip); // fractional: a path
        p.drawPoint(1, 1);
    });
    ASSERT_EQ(all.size(), 3u) << kestro::dump(all).toStdString();
    EXPECT_EQ(all[0].kind, PaintKind::Clip);
    EXPECT_EQ(all[0].clipOperation, Qt::ReplaceClip);
    EXPECT_EQ(all[0].rects, QList<QRectF>{QRectF(10, 30, 100, 100)}); // as the caller gave it
    EXPECT_FALSE(all[1].path.isEmpty());
    const kestro::ClipState& clip = all[2].state.clip;
    EXPECT_TRUE(clip.active());
    EXPECT_TRUE(clip.isPath);
    EXPECT_EQ(clip.path.boundingRect(), QRectF(11, 30, 20.5, 10));
}

} // namespace
