// Paint records: the JSON form of traces, and equality as the golden comparisons use it.
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
