// Painting a session: the image of the current window (byte for byte the same every time, and
// scaled on request) and the trace of every paint call per object.
#include "tests/support/sessiontest.h"

#include "runtime/paint/paintrecord.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

using namespace kestro;
using namespace sessiontest;

namespace {

using SessionPaint = PluginTest;

Project smallScreen() {
    ProjectBuilder b;
    b.tag("Alarm", VarType::Int, 1);
    ObjectRecord box = ProjectBuilder::shape("Box", 10, 20, 50, 60, 0xFF0000);
    ObjectRecord ring = ProjectBuilder::shape("Ring", 60, 10, 110, 60, 0xFFFF00);
    ring.pen = 1;
    ring.penWidthX = 2;
    ring.penColor = 0x000080;
    BlinkRecord blink;
    blink.header = b.header("Alarm");
    blink.blinkType = 1;
    blink.blinkBrushColor = 0x00FFFF;
    ring.animations.push_back(animationEntry(blink));
    b.window(1, 120, 80, 0x00FF00).objects = {ProjectBuilder::object(box),
                                              ProjectBuilder::object(ring, kEllipse)};
    return b.project;
}

QByteArray pngAt(const SessionOptions& options, double seconds) {
    Session session(options);
    std::string error;
    EXPECT_TRUE(session.load(smallScreen(), &error)) << error;
    session.advance(seconds);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(session.render().save(&buffer, "PNG"));
    return bytes;
}

TEST_F(SessionPaint, RenderShowsBackgroundAndObjectsTheSameEveryTime) {
    const QByteArray first = pngAt(options(), 0.25);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first, pngAt(options(), 0.25));
    const QImage image = QImage::fromData(first);
    ASSERT_EQ(image.size(), QSize(120, 80));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0x00FF00));
    EXPECT_EQ(image.pixelColor(30, 40), QColor(0xFF0000));
    EXPECT_EQ(image.pixelColor(85, 35), QColor(0x00FFFF)); // one colour-blink tick
    // The box's right edge: with no outline the fill ends at right - 2.
    EXPECT_EQ(image.pixelColor(48, 40), QColor(0xFF0000));
    EXPECT_EQ(image.pixelColor(50, 40), QColor(0x00FF00));

    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(smallScreen(), &error)) << error;
    const QImage scaled = session.render(QSize(240, 160));
    ASSERT_EQ(scaled.size(), QSize(240, 160));
    EXPECT_EQ(scaled.pixelColor(60, 80), QColor(0xFF0000));
    EXPECT_EQ(scaled.pixelColor(110, 80), QColor(0x00FF00));
}

TEST_F(SessionPaint, TraceRecordsEveryCallPerObject) {
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(smallScreen(), &error)) << error;
    session.start();
    const Session::Trace trace = session.trace();
    EXPECT_EQ(trace.size, QSize(120, 80));

    ASSERT_EQ(trace.background.size(), 1u);
    const PaintRecord& background = trace.background[0];
    EXPECT_EQ(background.kind, PaintKind::Rects);
    EXPECT_EQ(background.rect(), QRectF(0, 0, 120, 80));
    EXPECT_EQ(background.state.brush.color(), QColor(0x00FF00));
    EXPECT_EQ(background.state.pen.style(), Qt::NoPen);

    ASSERT_EQ(trace.objects.size(), 2u);
    EXPECT_EQ(trace.objects[1].index, 1);
    EXPECT_EQ(trace.objects[0].name, "Box");
    EXPECT_EQ(trace.objects[1].className, "CDrawEllipse");
    const PaintRecords box = drawings(trace.objects[0].records);
    ASSERT_EQ(box.size(), 1u) << dump(trace.objects[0].records).toStdString();
    EXPECT_EQ(box[0].kind, PaintKind::Rects);
    // No outline: corners (10, 20) and (50 - 2, 60 - 2).
    EXPECT_EQ(box[0].rect(), QRectF(10, 20, 39, 39));
    EXPECT_EQ(box[0].state.brush.color(), QColor(0xFF0000));
    EXPECT_EQ(box[0].state.pen.style(), Qt::NoPen);

    const PaintRecords ring = drawings(trace.objects[1].records);
    ASSERT_EQ(ring.size(), 1u) << dump(trace.objects[1].records).toStdString();
    EXPECT_EQ(ring[0].kind, PaintKind::Ellipse);
    // Outline 2: corners (60 + 1, 10 + 1) and (110 - 1 - 1, 60 - 1 - 1).
    EXPECT_EQ(ring[0].rect(), QRectF(61, 11, 48, 48));
    EXPECT_EQ(ring[0].state.pen.color(), QColor(0x000080));
    EXPECT_EQ(ring[0].state.pen.width(), 2);
    EXPECT_EQ(ring[0].state.brush.color(), QColor(0xFFFF00));
}

} // namespace
