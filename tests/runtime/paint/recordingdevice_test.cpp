// The recording paint device: which engine call each painter call becomes, with exact
// coordinates and the pen, brush, transform and clip in force, as the traces show them.
#include "runtime/paint/recordingdevice.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <functional>

using kestro::PaintRecords;
using kestro::RecordingDevice;

namespace {

const QPoint kPentagon[] = {{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}};
const QPointF kTriangleF[] = {{0.5, 0}, {10, 0.25}, {5, 5.75}};
const QRect kNone[1] = {};

QPixmap redPixmap() {
    QPixmap pixmap(4, 4);
    pixmap.fill(Qt::red);
    return pixmap;
}

struct Row {
    const char* name;
    std::function<void(QPainter&)> draw;
    const char* records; //!< describe() of each record, one a line
};

const Row kRows[] = {
    // clang-format off
    {"drawRect QRect", [](QPainter& p) { p.drawRect(QRect(11, 21, 97, 47)); },
     "rects int [(11,21 97x47)] | pen solid 1 #000000 square bevel | brush none"},
    {"drawRect QRectF", [](QPainter& p) { p.drawRect(QRectF(1.5, 2.25, 3, 4)); },
     "rects [(1.5,2.25 3x4)] | pen solid 1 #000000 square bevel | brush none"},
    {"fillRect", [](QPainter& p) { p.setPen(QPen(Qt::red, 2));
         p.fillRect(QRect(1, 2, 3, 4), QColor(0x40, 0x50, 0x60)); p.drawRect(QRect(0, 0, 10, 9)); },
     "rects int [(1,2 3x4)] | pen none | brush solid #405060\n"
     "rects int [(0,0 10x9)] | pen solid 2 #ff0000 square bevel | brush none"},
    {"drawEllipse QRect", [](QPainter& p) { p.drawEllipse(QRect(5, 6, 7, 8)); },
     "ellipse int (5,6 7x8) | pen solid 1 #000000 square bevel | brush none"},
    {"drawEllipse QRectF", [](QPainter& p) { p.drawEllipse(QRectF(5.5, 6, 7, 8)); },
     "ellipse (5.5,6 7x8) | pen solid 1 #000000 square bevel | brush none"},
    {"drawLine ints", [](QPainter& p) { p.drawLine(10, 40, 89, 40); },
     "lines int [(10,40)-(89,40)] | pen solid 1 #000000 square bevel | brush none"},
    {"drawLine QLineF", [](QPainter& p) { p.drawLine(QLineF(0.5, 1, 2, 3.5)); },
     "lines [(0.5,1)-(2,3.5)] | pen solid 1 #000000 square bevel | brush none"},
    {"drawPolygon", [](QPainter& p) { p.drawPolygon(kPentagon, 5, Qt::OddEvenFill); },
     "polygon int oddeven [(0,49) (0,20) (50,0) (99,20) (99,49)] | pen solid 1 #000000 square "
     "bevel | brush none"},
    {"drawPolygon winding", [](QPainter& p) { p.drawPolygon(kPentagon, 3, Qt::WindingFill); },
     "polygon int winding [(0,49) (0,20) (50,0)] | pen solid 1 #000000 square bevel | brush "
     "none"},
    {"drawPolyline", [](QPainter& p) { p.drawPolyline(kPentagon, 4); },
     "polygon int polyline [(0,49) (0,20) (50,0) (99,20)] | pen solid 1 #000000 square bevel | "
     "brush none"},
    {"drawConvexPolygon", [](QPainter& p) { p.drawConvexPolygon(kPentagon, 3); },
     "polygon int convex [(0,49) (0,20) (50,0)] | pen solid 1 #000000 square bevel | brush "
     "none"},
    {"drawPolygon QPointF", [](QPainter& p) { p.drawPolygon(kTriangleF, 3); },
     "polygon oddeven [(0.5,0) (10,0.25) (5,5.75)] | pen solid 1 #000000 square bevel | brush "
     "none"},
    {"drawPoint", [](QPainter& p) { p.drawPoint(7, 8); },
     "points int [(7,8)] | pen solid 1 #000000 square bevel | brush none"},
    {"drawPoint QPointF", [](QPainter& p) { p.drawPoint(QPointF(7.5, 8)); },
     "points [(7.5,8)] | pen solid 1 #000000 square bevel | brush none"},
    {"drawPath", [](QPainter& p) { QPainterPath path; path.moveTo(0, 0); path.lineTo(10, 0);
         path.cubicTo(10, 5, 5, 10, 0, 10); p.drawPath(path); },
     "path oddeven [M(0,0) L(10,0) C(10,5 5,10 0,10)] | pen solid 1 #000000 square bevel | "
     "brush none"},
    {"drawPixmap", [](QPainter& p) { p.drawPixmap(QRect(3, 4, 8, 8), redPixmap(), {1, 1, 2, 2}); },
     "pixmap (3,4 8x8) from (1,1 2x2) | pen solid 1 #000000 square bevel | brush none"},
    {"drawImage", [](QPainter& p) { p.drawImage(QPoint(3, 4), redPixmap().toImage()); },
     "image (3,4 4x4) from (0,0 4x4) | pen solid 1 #000000 square bevel | brush none"},
    {"drawTiledPixmap", [](QPainter& p) {
         p.drawTiledPixmap(QRect(3, 4, 8, 8), redPixmap(), QPoint(1, 2)); },
     "tiledpixmap (3,4 8x8) offset (1,2) | pen solid 1 #000000 square bevel | brush none"},
    {"drawText", [](QPainter& p) { p.setFont(QFont("Sans", 12));
         p.drawText(QPointF(10, 20), "Hi"); },
     "text (10,20) \"Hi\" font Sans 12 | pen solid 1 #000000 square bevel | brush none"},
    {"nothing to draw", [](QPainter& p) { p.drawPolygon(kPentagon, 1);
         p.drawPolyline(kPentagon, 1); p.drawRects(kNone, 0); }, ""},
    {"miter pen, translucent brush", [](QPainter& p) { QPen pen(Qt::red, 3);
         pen.setJoinStyle(Qt::MiterJoin); p.setPen(pen); p.setBrush(QColor(0, 255, 0, 128));
         p.drawRect(QRect(0, 0, 5, 5)); },
     "rects int [(0,0 5x5)] | pen solid 3 #ff0000 square miter | brush solid #00ff00@128"},
    {"dashed round pen", [](QPainter& p) {
         p.setPen(QPen(QColor(0x12, 0x34, 0x56, 0x78), 2.5, Qt::DashLine, Qt::RoundCap,
                       Qt::RoundJoin));
         p.drawPoint(0, 0); },
     "points int [(0,0)] | pen dash 2.5 #123456@120 round round | brush none"},
    {"width 0 is cosmetic", [](QPainter& p) { p.setPen(QPen(Qt::blue, 0)); p.drawPoint(0, 0); },
     "points int [(0,0)] | pen solid 0 #0000ff square bevel cosmetic | brush none"},
    {"cosmetic flag", [](QPainter& p) { QPen pen(Qt::green, 3); pen.setCosmetic(true);
         p.setPen(pen); p.drawPoint(0, 0); },
     "points int [(0,0)] | pen solid 3 #00ff00 square bevel cosmetic | brush none"},
    {"hatched brush", [](QPainter& p) { p.setBrush(QBrush(Qt::red, Qt::HorPattern));
         p.drawPoint(0, 0); },
     "points int [(0,0)] | pen solid 1 #000000 square bevel | brush hor #ff0000"},
    {"brush with an invalid colour", [](QPainter& p) { QBrush b; b.setColor(QColor());
         p.setBrush(b); p.drawPoint(0, 0); },
     "points int [(0,0)] | pen solid 1 #000000 square bevel | brush none invalid"},
    {"linear gradient, not emulated", [](QPainter& p) {
         QLinearGradient g(QPointF(49, 0), QPointF(49, 19));
         g.setColorAt(0, QColor(0x80, 0x80, 0x80)); g.setColorAt(0.5, Qt::white); p.setBrush(g);
         p.setPen(Qt::NoPen); p.drawRect(QRect(0, 0, 99, 19)); },
     "rects int [(0,0 99x19)] | pen none | brush lineargradient (49,0)->(49,19) [0 #808080, "
     "0.5 #ffffff]"},
    {"radial gradient", [](QPainter& p) {
         QRadialGradient g(QPointF(30, 20), 25, QPointF(28, 18)); g.setColorAt(0, Qt::white);
         g.setColorAt(1, Qt::blue); p.setBrush(g); p.drawEllipse(QRect(0, 0, 60, 40)); },
     "ellipse int (0,0 60x40) | pen solid 1 #000000 square bevel | brush radialgradient centre "
     "(30,20) radius 25 focal (28,18) [0 #ffffff, 1 #0000ff]"},
    {"conical gradient", [](QPainter& p) { QConicalGradient g(QPointF(5, 6), 45);
         g.setColorAt(0, Qt::transparent); g.setColorAt(1, Qt::red); p.setBrush(g);
         p.drawEllipse(QRect(0, 0, 10, 12)); },
     "ellipse int (0,0 10x12) | pen solid 1 #000000 square bevel | brush conicalgradient "
     "centre (5,6) angle 45 [0 #000000@0, 1 #ff0000]"},
    {"transform", [](QPainter& p) { p.scale(1, 0.5); p.translate(QPointF(0, 10));
         p.drawEllipse(QRect(0, 0, 10, 10)); },
     "ellipse int (0,0 10x10) | pen solid 1 #000000 square bevel | brush none | transform [1 0 "
     "0 0.5 0 5]"},
    {"opacity, composition, hints", [](QPainter& p) { p.setOpacity(0.25);
         p.setCompositionMode(QPainter::CompositionMode_Source);
         p.setRenderHint(QPainter::Antialiasing); p.drawPoint(1, 1); },
     "points int [(1,1)] | pen solid 1 #000000 square bevel | brush none | opacity 0.25 | "
     "composition 3 | hints 3"},
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
    {"restore replays the saved clip", [](QPainter& p) { p.setClipRect(QRect(0, 0, 50, 50));
         p.save(); p.setClipRect(QRect(20, 20, 50, 50), Qt::IntersectClip); p.drawPoint(30, 30);
         p.restore(); p.drawPoint(30, 30); },
     "clip replace [(0,0 50x50)] => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | "
     "brush none\n"
     "clip intersect [(20,20 50x50)] => clip [(20,20 30x30)] | pen solid 1 #000000 square "
     "bevel | brush none\n"
     "points int [(30,30)] | pen solid 1 #000000 square bevel | brush none | clip [(20,20 "
     "30x30)]\n"
     "clip none => no clip | pen solid 1 #000000 square bevel | brush none\n"
     "clip replace [(0,0 50x50)] => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | "
     "brush none\n"
     "clip replace => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(30,30)] | pen solid 1 #000000 square bevel | brush none | clip [(0,0 "
     "50x50)]"},
    {"restore without a saved clip drops it", [](QPainter& p) { p.save();
         p.setClipRect(QRect(0, 0, 50, 50), Qt::IntersectClip); p.restore(); p.drawPoint(1, 1); },
     "clip replace [(0,0 50x50)] => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | "
     "brush none\n"
     "clip none => no clip | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(1,1)] | pen solid 1 #000000 square bevel | brush none"},
    {"clipping off and on", [](QPainter& p) { p.setClipRect(QRect(0, 0, 50, 50));
         p.setClipping(false); p.drawPoint(1, 1); p.setClipping(true); p.drawPoint(1, 1); },
     "clip replace [(0,0 50x50)] => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | "
     "brush none\n"
     "clip replace => no clip | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(1,1)] | pen solid 1 #000000 square bevel | brush none\n"
     "clip replace => clip [(0,0 50x50)] | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(1,1)] | pen solid 1 #000000 square bevel | brush none | clip [(0,0 50x50)]"},
    {"fractional clip is a path", [](QPainter& p) { p.setClipRect(QRectF(0.5, 0, 10, 10));
         p.setClipRect(QRect(5, 5, 20, 20), Qt::IntersectClip); p.drawPoint(1, 1); },
     "clip replace path oddeven [M(0.5,0) L(10.5,0) L(10.5,10) L(0.5,10) L(0.5,0)] => clip "
     "path oddeven [M(0.5,0) L(10.5,0) L(10.5,10) L(0.5,10) L(0.5,0)] | pen solid 1 #000000 "
     "square bevel | brush none\n"
     "clip intersect [(5,5 20x20)] => clip path oddeven [M(5,5) L(10.5,5) L(10.5,10) L(5,10) "
     "L(5,5)] | pen solid 1 #000000 square bevel | brush none\n"
     "points int [(1,1)] | pen solid 1 #000000 square bevel | brush none | clip path oddeven "
     "[M(5,5) L(10.5,5) L(10.5,10) L(5,10) L(5,5)]"},
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

TEST(RecordingDevice, SizeAndResolution) {
    const RecordingDevice standard;
    EXPECT_EQ(standard.width(), 1920);
    EXPECT_EQ(standard.height(), 1080);
    EXPECT_EQ(standard.logicalDpiX(), 96);
    EXPECT_EQ(standard.widthMM(), 508); // 1920 / 96 inch
    const RecordingDevice small(320, 240);
    EXPECT_EQ(small.width(), 320);
    EXPECT_EQ(small.heightMM(), 64); // 2.5 inch = 63.5 mm, rounded
}

} // namespace
