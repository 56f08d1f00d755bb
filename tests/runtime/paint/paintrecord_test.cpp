// ctest-label: shapes
// Paint records: the readable line used in failure messages, the JSON form of traces, reading it
// back, and the equality the round trip relies on.
#include "runtime/paint/recordingdevice.h"

#include <QImage>
#include <QJsonDocument>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
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

// A scene with every kind of record and every part of the state away from its default.
PaintRecords paintEverything() {
    kestro::RecordingDevice device(200, 100);
    QPainter p(&device);
    QPen dashed(QColor(0x12, 0x34, 0x56, 0x78), 2.5, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(dashed);
    p.setBrush(QBrush(Qt::red, Qt::HorPattern));
    p.setClipRect(QRect(0, 0, 150, 90));
    const QRect rects[] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    p.drawRects(rects, 2);
    p.drawRect(QRectF(0.5, 0.25, 3, 4));
    p.drawLine(QLineF(0.5, 1, 2, 3.5));
    p.drawLine(1, 2, 3, 4);
    p.drawPoint(QPointF(7.5, 8));
    const QPoint pentagon[] = {{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}};
    p.drawPolygon(pentagon, 5, Qt::WindingFill);
    p.drawPolyline(pentagon, 3);
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(radialBrush());
    p.drawEllipse(QRect(0, 0, 60, 40));
    QLinearGradient linear(QPointF(49, 0), QPointF(49, 19));
    linear.setColorAt(0, QColor(0x80, 0x80, 0x80));
    linear.setColorAt(0.5, Qt::transparent);
    linear.setColorAt(1, QColor(0x80, 0x80, 0x80));
    p.fillRect(QRect(0, 0, 99, 19), linear);
    QConicalGradient cone(QPointF(5, 6), 45);
    cone.setColorAt(0.25, Qt::green);
    p.setBrush(cone);
    p.drawRoundedRect(QRectF(2, 3, 100, 50), 10, 5, Qt::AbsoluteSize);
    p.drawArc(QRect(0, 0, 100, 50), 0, 5760);
    QBrush invalid;
    invalid.setColor(QColor());
    p.setBrush(invalid);
    p.save();
    p.setClipRect(QRectF(0.5, 0.5, 20, 20), Qt::IntersectClip);
    p.setOpacity(0.25);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(1, 0.5);
    p.translate(QPointF(0, 10));
    p.drawEllipse(QRectF(0.5, 0, 7, 8));
    p.setWorldTransform(QTransform(1, 0, 0.001, 0, 1, 0, 0, 0, 1)); // a perspective one
    p.drawPoint(1, 1);
    p.restore();
    QPixmap pixmap(4, 4);
    pixmap.fill(Qt::red);
    p.drawPixmap(QRect(3, 4, 8, 8), pixmap, QRect(1, 1, 2, 2));
    p.drawTiledPixmap(QRect(3, 4, 8, 8), pixmap, QPoint(1, 2));
    p.drawImage(QPoint(3, 4), pixmap.toImage());
    p.setBrush(QBrush(pixmap));
    p.drawRect(QRect(0, 0, 4, 4));
    p.setFont(QFont("Sans", 14));
    p.drawText(QPointF(10, 20), "Hello \"world\"");
    p.setClipRect(QRect(0, 0, 150, 90), Qt::NoClip);
    p.end();
    return device.records();
}

TEST(PaintRecordJson, RoundTripsThroughText) {
    const PaintRecords painted = paintEverything();
    const QByteArray text = QJsonDocument(kestro::toJson(painted)).toJson();
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(text, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    PaintRecords read;
    ASSERT_TRUE(kestro::fromJson(parsed.array(), &read));
    ASSERT_EQ(read.size(), painted.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i], painted[i]) << "record " << i;
    }
    // The scene does reach every kind and the state parts the test means to carry.
    for (PaintKind kind :
         {PaintKind::Rects, PaintKind::Lines, PaintKind::Points, PaintKind::Polygon,
          PaintKind::Ellipse, PaintKind::Path, PaintKind::Pixmap, PaintKind::TiledPixmap,
          PaintKind::Image, PaintKind::Text, PaintKind::Clip}) {
        EXPECT_FALSE(kestro::ofKind(painted, kind).empty()) << kestro::kindName(kind).toStdString();
    }
    const auto any = [&](const std::function<bool(const PaintRecord&)>& test) {
        return std::any_of(painted.begin(), painted.end(), test);
    };
    EXPECT_TRUE(any([](const PaintRecord& r) { return r.state.clip.isPath; }));
    EXPECT_TRUE(any([](const PaintRecord& r) { return !r.state.transform.isAffine(); }));
    EXPECT_TRUE(any([](const PaintRecord& r) { return !r.state.brush.color().isValid(); }));
    EXPECT_TRUE(
        any([](const PaintRecord& r) { return r.state.brush.style() == Qt::TexturePattern; }));
}

TEST(PaintRecordJson, EmptyArrayReadsAsNoRecords) {
    PaintRecords read(1);
    ASSERT_TRUE(kestro::fromJson(QJsonArray(), &read));
    EXPECT_TRUE(read.empty());
}

QJsonObject validRecord() {
    PaintRecord r = record(PaintKind::Polygon, true);
    r.points = QPolygonF(QList<QPointF>{{0, 0}, {10, 0}, {5, 5}});
    r.path.moveTo(0, 0); // not read for a polygon, but a place to break a path
    r.state.brush = QBrush(QLinearGradient(0, 0, 0, 10));
    QJsonObject o = kestro::toJson(r);
    QJsonObject path{{"fill", "oddeven"}, {"elements", listOf({"M", 0, 0})}};
    o["path"] = path;
    return o;
}

struct BrokenCase {
    const char* name;
    std::function<void(QJsonObject&)> breakIt;
};

TEST(PaintRecordJson, RejectsWhatItDoesNotKnowAndKeepsTheOldRecords) {
    const auto set = [](const char* key, QJsonValue value) {
        return [=](QJsonObject& o) { o[key] = value; };
    };
    const auto setIn = [](const char* object, const char* key, QJsonValue value) {
        return [=](QJsonObject& o) {
            QJsonObject inner = o[object].toObject();
            inner[key] = value;
            o[object] = inner;
        };
    };
    const BrokenCase cases[] = {
        {"unknown kind", set("kind", "circle")},
        {"kind missing", [](QJsonObject& o) { o.remove("kind"); }},
        {"pen missing", [](QJsonObject& o) { o.remove("pen"); }},
        {"int not a bool", set("int", "yes")},
        {"point of three numbers", set("points", listOf({1, 2, 3}))},
        {"point with a string", set("points", listOf({1, "2"}))},
        {"points not an array", set("points", 3)},
        {"rect of three numbers", set("rects", listOf({1, 2, 3}))},
        {"line of two numbers", set("lines", listOf({1, 2}))},
        {"unknown polygon mode", set("mode", "spiral")},
        {"named pen colour", setIn("pen", "color", "skyblue")},
        {"pen colour too long", setIn("pen", "color", "#ff00000")},
        {"pen colour not hex", setIn("pen", "color", "#gg0000")},
        {"alpha above 255", setIn("pen", "alpha", 256)},
        {"alpha not whole", setIn("pen", "alpha", 1.5)},
        {"alpha missing",
         [](QJsonObject& o) {
             QJsonObject pen = o["pen"].toObject();
             pen.remove("alpha");
             o["pen"] = pen;
         }},
        {"unknown pen style", setIn("pen", "style", "wavy")},
        {"unknown cap", setIn("pen", "cap", "pointed")},
        {"width not a number", setIn("pen", "width", "3")},
        {"cosmetic not a bool", setIn("pen", "cosmetic", 1)},
        {"gradient style without gradient",
         [](QJsonObject& o) {
             QJsonObject brush = o["brush"].toObject();
             brush.remove("gradient");
             o["brush"] = brush;
         }},
        {"gradient of another style", setIn("brush", "style", "radialgradient")},
        {"stop beyond 1",
         [](QJsonObject& o) {
             QJsonObject brush = o["brush"].toObject();
             QJsonObject g = brush["gradient"].toObject();
             g["stops"] =
                 QJsonArray{QJsonObject{{"at", 1.5}, {"color", "#000000"}, {"alpha", 255}}};
             brush["gradient"] = g;
             o["brush"] = brush;
         }},
        {"unknown path element",
         set("path", QJsonObject{{"fill", "oddeven"}, {"elements", listOf({"Q", 1, 2})}})},
        {"curve with two numbers",
         set("path", QJsonObject{{"fill", "oddeven"}, {"elements", listOf({"C", 1, 2})}})},
        {"empty path element",
         set("path", QJsonObject{{"fill", "oddeven"}, {"elements", listOf({})}})},
        {"unknown fill rule",
         set("path", QJsonObject{{"fill", "even"}, {"elements", QJsonArray{}}})},
        {"transform of four numbers", set("transform", QJsonArray{1, 0, 0, 1})},
        {"unknown clip operation",
         set("clip",
             QJsonObject{{"enabled", true}, {"operation", "unite"}, {"rects", QJsonArray{}}})},
        {"clip without rects or path",
         set("clip", QJsonObject{{"enabled", true}, {"operation", "replace"}})},
        {"composition out of range", set("composition", 999)},
        {"negative hints", set("hints", -1)},
        {"opacity not a number", set("opacity", "half")},
        {"text not a string", set("text", 5)},
    };
    const PaintRecords before = {record(PaintKind::Points)};
    {
        PaintRecords read = before;
        ASSERT_TRUE(kestro::fromJson(QJsonArray{validRecord()}, &read));
        ASSERT_EQ(read.size(), 1u);
    }
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject broken = validRecord();
        c.breakIt(broken);
        PaintRecords read = before;
        EXPECT_FALSE(kestro::fromJson(QJsonArray{validRecord(), broken}, &read));
        EXPECT_EQ(read, before);
    }
    PaintRecords read = before;
    EXPECT_FALSE(kestro::fromJson(QJsonArray{42}, &read));
    EXPECT_EQ(read, before);
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
