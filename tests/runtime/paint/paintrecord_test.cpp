// Paint records: the readable line used in failure messages, the JSON form of traces, and
// equality.
#include "runtime/paint/recordingdevice.h"

#include <gtest/gtest.h>

#include <functional>

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;

namespace {

// A JSON array holding one array. (QJsonArray{QJsonArray{...}} is a copy for some compilers.)
QJsonArray listOf(const QJsonArray& item) {
    return QJsonArray{QJsonValue(item)};
}

PaintRecord record(PaintKind kind, bool integer = false) {
    PaintRecord r;
    r.kind = kind;
    r.integer = integer;
    return r;
}

QPen miterPen(QColor color, qreal width) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QBrush radialBrush() {
    QRadialGradient g(QPointF(30, 20), 25, QPointF(28, 18));
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, Qt::blue);
    return QBrush(g);
}

// ---- the readable line ---------------------------------------------------------------------

struct DescribeCase {
    const char* name;
    std::function<PaintRecord()> make;
    const char* expected;
};

TEST(PaintRecordDescribe, OneLinePerKindWithItsState) {
    const DescribeCase cases[] = {
        {"rects with translucent brush",
         [] {
             PaintRecord r = record(PaintKind::Rects, true);
             r.rects = {QRectF(11, 21, 97, 47)};
             r.state.pen = miterPen(Qt::red, 3);
             r.state.brush = QBrush(QColor(0, 255, 0, 128));
             return r;
         },
         "rects int [(11,21 97x47)] | pen solid 3 #ff0000 square miter | brush solid #00ff00@128"},
        {"float polygon under a transform",
         [] {
             PaintRecord r = record(PaintKind::Polygon);
             r.polygonMode = QPaintEngine::WindingMode;
             r.points = QPolygonF(QList<QPointF>{{0.5, 0}, {10, 0.25}});
             r.state.pen = QPen(Qt::NoPen);
             r.state.transform = QTransform::fromScale(2, 3);
             return r;
         },
         "polygon winding [(0.5,0) (10,0.25)] | pen none | brush none | transform [2 0 0 3 0 0]"},
        {"path with a curve, cosmetic pen",
         [] {
             PaintRecord r = record(PaintKind::Path);
             r.path.moveTo(0, 0);
             r.path.lineTo(10, 0);
             r.path.cubicTo(10, 5, 5, 10, 0, 10);
             r.state.pen = QPen(Qt::black, 0);
             return r;
         },
         "path oddeven [M(0,0) L(10,0) C(10,5 5,10 0,10)] | pen solid 0 #000000 square bevel "
         "cosmetic | brush none"},
        {"clip record",
         [] {
             PaintRecord r = record(PaintKind::Clip);
             r.clipOperation = Qt::IntersectClip;
             r.rects = {QRectF(0, 0, 10, 10)};
             r.state.clip.enabled = true;
             r.state.clip.operation = Qt::IntersectClip;
             r.state.clip.region = QRegion(5, 5, 5, 5);
             return r;
         },
         "clip intersect [(0,0 10x10)] => clip [(5,5 5x5)] | pen solid 1 #000000 square bevel | "
         "brush none"},
        {"ellipse with radial gradient",
         [] {
             PaintRecord r = record(PaintKind::Ellipse, true);
             r.rects = {QRectF(0, 0, 60, 40)};
             r.state.pen = QPen(Qt::NoPen);
             r.state.brush = radialBrush();
             return r;
         },
         "ellipse int (0,0 60x40) | pen none | brush radialgradient centre (30,20) radius 25 "
         "focal (28,18) [0 #ffffff, 1 #0000ff]"},
        {"clipped lines, invalid brush colour, opacity",
         [] {
             PaintRecord r = record(PaintKind::Lines, true);
             r.lines = {QLineF(50, 10, 50, 89)};
             r.state.pen = QPen(Qt::NoPen);
             r.state.brush.setColor(QColor());
             r.state.clip.enabled = true;
             r.state.clip.operation = Qt::ReplaceClip;
             r.state.clip.region = QRegion(0, 0, 8, 9);
             r.state.opacity = 0.5;
             return r;
         },
         "lines int [(50,10)-(50,89)] | pen none | brush none invalid | clip [(0,0 8x9)] | "
         "opacity 0.5"},
        {"pixmap",
         [] {
             PaintRecord r = record(PaintKind::Pixmap);
             r.rects = {QRectF(3, 4, 8, 8)};
             r.source = QRectF(1, 1, 2, 2);
             r.state.pen = QPen(Qt::NoPen);
             return r;
         },
         "pixmap (3,4 8x8) from (1,1 2x2) | pen none | brush none"},
        {"text",
         [] {
             PaintRecord r = record(PaintKind::Text);
             r.position = QPointF(10, 20);
             r.text = "Hi";
             r.font = QFont("Sans", 12);
             r.state.pen = QPen(Qt::NoPen);
             return r;
         },
         "text (10,20) \"Hi\" font Sans 12 | pen none | brush none"},
    };
    for (const DescribeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kestro::describe(c.make()).toStdString(), c.expected);
    }
}

TEST(PaintRecordDescribe, DumpNumbersTheLines) {
    PaintRecord a = record(PaintKind::Points, true);
    a.points = QPolygonF(QList<QPointF>{{1, 2}});
    a.state.pen = QPen(Qt::NoPen);
    PaintRecord b = a;
    b.points = QPolygonF(QList<QPointF>{{3, 4}});
    EXPECT_EQ(kestro::dump({a, b}).toStdString(), "0 points int [(1,2)] | pen none | brush none\n"
                                                  "1 points int [(3,4)] | pen none | brush none\n");
}

// ---- JSON ----------------------------------------------------------------------------------

TEST(PaintRecordJson, WritesKindCoordinatesAndState) {
    PaintRecord r = record(PaintKind::Rects, true);
    r.rects = {QRectF(11, 21, 97, 47)};
    r.state.pen = miterPen(Qt::red, 3);
    r.state.brush = QBrush(QColor(0, 255, 0, 128));
    const QJsonObject o = kestro::toJson(r);
    EXPECT_EQ(o["kind"].toString(), "rects");
    EXPECT_EQ(o["int"].toBool(), true);
    EXPECT_EQ(o["rects"].toArray(), (listOf({11, 21, 97, 47})));
    const QJsonObject pen = o["pen"].toObject();
    EXPECT_EQ(pen["style"].toString(), "solid");
    EXPECT_EQ(pen["width"].toDouble(), 3.0);
    EXPECT_EQ(pen["color"].toString(), "#ff0000");
    EXPECT_EQ(pen["alpha"].toInt(), 255);
    EXPECT_EQ(pen["cap"].toString(), "square");
    EXPECT_EQ(pen["join"].toString(), "miter");
    EXPECT_EQ(pen["cosmetic"].toBool(true), false);
    const QJsonObject brush = o["brush"].toObject();
    EXPECT_EQ(brush["style"].toString(), "solid");
    EXPECT_EQ(brush["color"].toString(), "#00ff00");
    EXPECT_EQ(brush["alpha"].toInt(), 128);
    // A fresh painter's clip, transform, opacity, composition and hints are left out.
    for (const char* key : {"clip", "transform", "opacity", "composition", "hints", "text"}) {
        EXPECT_FALSE(o.contains(key)) << key;
    }
}

TEST(PaintRecordJson, WritesGradientTransformAndClip) {
    PaintRecord r = record(PaintKind::Ellipse, true);
    r.rects = {QRectF(0, 0, 10, 10)};
    r.state.brush = radialBrush();
    r.state.transform = QTransform(1, 0, 0, 0.5, 0, 5);
    r.state.clip.enabled = true;
    r.state.clip.operation = Qt::ReplaceClip;
    r.state.clip.region = QRegion(10, 20, 50, 30);
    const QJsonObject o = kestro::toJson(r);
    const QJsonObject brush = o["brush"].toObject();
    EXPECT_EQ(brush["style"].toString(), "radialgradient");
    const QJsonObject g = brush["gradient"].toObject();
    EXPECT_EQ(g["type"].toString(), "radial");
    EXPECT_EQ(g["center"].toArray(), (QJsonArray{30, 20}));
    EXPECT_EQ(g["radius"].toDouble(), 25.0);
    EXPECT_EQ(g["focalPoint"].toArray(), (QJsonArray{28, 18}));
    const QJsonArray stops = g["stops"].toArray();
    ASSERT_EQ(stops.size(), 2);
    EXPECT_EQ(stops[1].toObject(), (QJsonObject{{"at", 1}, {"color", "#0000ff"}, {"alpha", 255}}));
    EXPECT_EQ(o["transform"].toArray(), (QJsonArray{1, 0, 0, 0.5, 0, 5}));
    EXPECT_EQ(o["clip"].toObject(), (QJsonObject{{"enabled", true},
                                                 {"operation", "replace"},
                                                 {"rects", listOf({10, 20, 50, 30})}}));
}

// ---- equality ------------------------------------------------------------------------------

TEST(PaintRecordEquality, EveryRecordedPartCounts) {
    PaintRecord base = record(PaintKind::Polygon, true);
    base.points = QPolygonF(QList<QPointF>{{0, 0}, {10, 0}, {5, 5}});
    base.state.pen = miterPen(Qt::red, 3);
    base.state.brush = radialBrush();
    base.state.clip.enabled = true;
    base.state.clip.operation = Qt::ReplaceClip;
    base.state.clip.region = QRegion(0, 0, 10, 10);
    const std::pair<const char*, std::function<void(PaintRecord&)>> changes[] = {
        {"kind", [](PaintRecord& r) { r.kind = PaintKind::Points; }},
        {"integer", [](PaintRecord& r) { r.integer = false; }},
        {"point", [](PaintRecord& r) { r.points[2] = QPointF(5, 6); }},
        {"polygon mode", [](PaintRecord& r) { r.polygonMode = QPaintEngine::WindingMode; }},
        {"pen width", [](PaintRecord& r) { r.state.pen.setWidthF(3.5); }},
        {"pen alpha", [](PaintRecord& r) { r.state.pen.setColor(QColor(255, 0, 0, 254)); }},
        {"pen cap", [](PaintRecord& r) { r.state.pen.setCapStyle(Qt::RoundCap); }},
        {"pen join", [](PaintRecord& r) { r.state.pen.setJoinStyle(Qt::BevelJoin); }},
        {"pen cosmetic", [](PaintRecord& r) { r.state.pen.setCosmetic(true); }},
        {"pen style", [](PaintRecord& r) { r.state.pen.setStyle(Qt::DotLine); }},
        {"brush colour", [](PaintRecord& r) { r.state.brush = QBrush(Qt::red); }},
        {"gradient stop",
         [](PaintRecord& r) {
             QRadialGradient g(QPointF(30, 20), 25, QPointF(28, 18));
             g.setColorAt(0, Qt::white);
             g.setColorAt(0.9, Qt::blue);
             r.state.brush = QBrush(g);
         }},
        {"gradient focal point",
         [](PaintRecord& r) {
             QRadialGradient g(QPointF(30, 20), 25, QPointF(28, 19));
             g.setStops(static_cast<const QRadialGradient*>(radialBrush().gradient())->stops());
             r.state.brush = QBrush(g);
         }},
        {"clip rect", [](PaintRecord& r) { r.state.clip.region = QRegion(0, 0, 10, 11); }},
        {"clip enabled", [](PaintRecord& r) { r.state.clip.enabled = false; }},
        {"transform", [](PaintRecord& r) { r.state.transform.translate(0, 1); }},
        {"opacity", [](PaintRecord& r) { r.state.opacity = 0.5; }},
    };
    for (const auto& [name, change] : changes) {
        PaintRecord changed = base;
        change(changed);
        EXPECT_NE(changed, base) << name;
    }
    PaintRecord copy = base;
    EXPECT_EQ(copy, base);
}

} // namespace
