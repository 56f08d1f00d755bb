// The recording paint device: each painter call as recorded, a trace's JSON, equality.
#include "runtime/paint/recordingdevice.h"

#include <QJsonDocument>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::RecordingDevice;

namespace {

const QPoint kPentagon[] = {{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}};
const QRect kNone[1] = {};

struct Row {
    const char* name;
    std::function<void(QPainter&)> draw;
    const char* records; //!< describe() of each record, one a line
};

const Row kRows[] = {
    // clang-format off
    {"drawRect QRect", [](QPainter& p) { p.drawRect(QRect(11, 21, 97, 47)); },
     "rects int [(11,21 97x47)] | pen solid 1 #000000 square bevel | brush none"},
    {"fillRect", [](QPainter& p) { p.setPen(QPen(Qt::red, 2));
         p.fillRect(QRect(1, 2, 3, 4), QColor(0x40, 0x50, 0x60)); p.drawRect(QRect(0, 0, 10, 9)); },
     "rects int [(1,2 3x4)] | pen none | brush solid #405060\n"
     "rects int [(0,0 10x9)] | pen solid 2 #ff0000 square bevel | brush none"},
    {"nothing to draw", [](QPainter& p) { p.drawPolygon(kPentagon, 1);
         p.drawPolyline(kPentagon, 1); p.drawRects(kNone, 0); }, ""},
    {"miter pen, translucent brush", [](QPainter& p) { QPen pen(Qt::red, 3);
         pen.setJoinStyle(Qt::MiterJoin); p.setPen(pen); p.setBrush(QColor(0, 255, 0, 128));
         p.drawRect(QRect(0, 0, 5, 5)); },
     "rects int [(0,0 5x5)] | pen solid 3 #ff0000 square miter | brush solid #00ff00@128"},
    {"transform", [](QPainter& p) { p.scale(1, 0.5); p.translate(QPointF(0, 10));
         p.drawEllipse(QRect(0, 0, 10, 10)); },
     "ellipse int (0,0 10x10) | pen solid 1 #000000 square bevel | brush none | transform [1 0 "
     "0 0.5 0 5]"},
    {"restore", [](QPainter& p) { p.setPen(QPen(Qt::red, 2)); p.setBrush(Qt::blue); p.save();
         p.setPen(Qt::NoPen); p.setBrush(Qt::green); p.scale(2, 3); p.drawPoint(1, 1);
         p.restore(); p.drawPoint(1, 1); },
     "points int [(1,1)] | pen none | brush solid #00ff00 | transform [2 0 0 3 0 0]\n"
     "points int [(1,1)] | pen solid 2 #ff0000 square bevel | brush solid #0000ff"},
    {"a shape's clip frame", [](QPainter& p) {
         p.setClipRect(QRect(QPoint(10, 20), QPoint(59, 49)), Qt::IntersectClip);
         p.drawPoint(0, 0); p.setClipRect(QRect(10, 20, 50, 30), Qt::NoClip); p.drawPoint(0, 0); },
     "clip replace [(10,20 50x30)] => clip [(10,20 50x30)] | pen solid 1 #000000 square bevel "
     "| brush none\n"
     "points int [(0,0)] | pen solid 1 #000000 square bevel | brush none | clip [(10,20 "
     "50x30)]\n"
     "clip none [(10,20 50x30)] => no clip | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(0,0)] | pen solid 1 #000000 square bevel | brush none"},
    {"a second intersection narrows", [](QPainter& p) {
         p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip);
         p.setClipRect(QRect(10, 30, 100, 100), Qt::IntersectClip); p.drawPoint(20, 40); },
     "clip replace [(0,0 50x50)] => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | "
     "brush none\n"
     "clip intersect [(10,30 100x100)] => clip [(10,30 40x20)] | pen solid 1 #000000 square "
     "bevel | brush none\n"
     "points int [(20,40)] | pen solid 1 #000000 square bevel | brush none | clip [(10,30 "
     "40x20)]"},
    {"clip in device pixels", [](QPainter& p) { p.translate(5, 7);
         p.setClipRect(QRect(0, 0, 10, 10)); p.drawPoint(0, 0); },
     "clip replace [(0,0 10x10)] => clip [(5,7 10x10)] | pen solid 1 #000000 square bevel | "
     "brush none | transform [1 0 0 1 5 7]\n"
     "points int [(0,0)] | pen solid 1 #000000 square bevel | brush none | clip [(5,7 10x10)] "
     "| transform [1 0 0 1 5 7]"},
    {"restore without a saved clip drops it", [](QPainter& p) { p.save();
         p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip); p.restore(); p.drawPoint(1, 1); },
     "clip replace [(0,0 50x50)] => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | "
     "brush none\n"
     "clip none => no clip | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(1,1)] | pen solid 1 #000000 square bevel | brush none"},
    // clang-format on
};

TEST(RecordingDevice, EachPainterCallAsRecorded) {
    RecordingDevice device;
    // Whatever an earlier painter left, a new one starts from Qt's defaults.
    {
        QPainter painter(&device);
        painter.setPen(QPen(Qt::red, 5));
        painter.setBrush(Qt::blue);
        painter.setClipRect(QRect(0, 0, 5, 5));
        painter.scale(2, 2);
    }
    for (const Row& row : kRows) {
        device.clear();
        QPainter painter(&device);
        row.draw(painter);
        painter.end();
        QStringList lines;
        for (const kestro::PaintRecord& record : device.records()) {
            lines << kestro::describe(record);
        }
        EXPECT_EQ(lines.join('\n').toStdString(), row.records) << row.name;
    }
}

QBrush radialBrush(qreal focalY = 18, qreal lastStop = 1) {
    QRadialGradient g(QPointF(30, 20), 25, QPointF(28, focalY));
    g.setColorAt(0, Qt::white);
    g.setColorAt(lastStop, Qt::blue);
    return QBrush(g);
}

PaintRecord sample() {
    PaintRecord r;
    r.kind = PaintKind::Polygon;
    r.integer = true;
    r.points = QPolygonF(QList<QPointF>{{0, 0}, {10, 0}, {5, 5}});
    r.state.pen = QPen(Qt::red, 3);
    r.state.pen.setJoinStyle(Qt::MiterJoin);
    r.state.brush = radialBrush();
    r.state.transform = QTransform(1, 0, 0, 0.5, 0, 5);
    r.state.clip.enabled = true;
    r.state.clip.operation = Qt::ReplaceClip;
    r.state.clip.region = QRegion(10, 20, 50, 30);
    return r;
}

// A fresh painter's opacity, composition and hints are left out.
TEST(PaintRecordJson, KindCoordinatesAndState) {
    EXPECT_EQ(QJsonDocument(kestro::toJson(sample())).toJson(QJsonDocument::Compact).toStdString(),
              "{\"brush\":{\"color\":null,\"gradient\":{\"center\":[30,20],\"focalPoint\":[28,18],"
              "\"focalRadius\":0,\"radius\":25,\"stops\":[{\"alpha\":255,\"at\":0,"
              "\"color\":\"#ffffff\"},{\"alpha\":255,\"at\":1,\"color\":\"#0000ff\"}],"
              "\"type\":\"radial\"},\"style\":\"radialgradient\"},\"clip\":{\"enabled\":true,"
              "\"operation\":\"replace\",\"rects\":[[10,20,50,30]]},\"int\":true,"
              "\"kind\":\"polygon\",\"mode\":\"oddeven\",\"pen\":{\"alpha\":255,\"cap\":\"square\","
              "\"color\":\"#ff0000\",\"cosmetic\":false,\"join\":\"miter\",\"style\":\"solid\","
              "\"width\":3},\"points\":[[0,0],[10,0],[5,5]],\"transform\":[1,0,0,0.5,0,5]}");
    PaintRecord solid = sample();
    solid.state.brush = QBrush(QColor(0, 255, 0, 128));
    EXPECT_EQ(kestro::toJson(solid)["brush"].toObject(),
              (QJsonObject{{"style", "solid"}, {"color", "#00ff00"}, {"alpha", 128}}));
}

TEST(PaintRecordEquality, EveryRecordedPartCounts) {
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
        {"gradient stop", [](PaintRecord& r) { r.state.brush = radialBrush(18, 0.9); }},
        {"gradient focal point", [](PaintRecord& r) { r.state.brush = radialBrush(19); }},
        {"clip rect", [](PaintRecord& r) { r.state.clip.region = QRegion(0, 0, 10, 11); }},
        {"clip enabled", [](PaintRecord& r) { r.state.clip.enabled = false; }},
        {"transform", [](PaintRecord& r) { r.state.transform.translate(0, 1); }},
        {"opacity", [](PaintRecord& r) { r.state.opacity = 0.5; }},
    };
    const PaintRecord base = sample();
    for (const auto& [name, change] : changes) {
        PaintRecord changed = base;
        change(changed);
        EXPECT_NE(changed, base) << name;
    }
    EXPECT_EQ(PaintRecord(base), base);
}

} // namespace
