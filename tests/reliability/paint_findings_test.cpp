// Faults of the recording paint device that fuzzing found.
#include "runtime/paint/recordingdevice.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// A pipe of a damaged record reaches the device with corners four thousand million pixels
// apart, more than the int width of QRect holds: the record takes its rectangle from the corners.
TEST(PaintFindings, IntegerRectanglesKeepCornersFarApart) {
    const QRect wide(QPoint(-2000000000, 5), QPoint(2000000000, 15));
    kestro::RecordingDevice device(800, 600);
    {
        QPainter painter(&device);
        painter.drawRect(wide);
        painter.drawEllipse(wide);
    }
    const kestro::PaintRecords rects = device.ofKind(kestro::PaintKind::Rects);
    const kestro::PaintRecords ellipses = device.ofKind(kestro::PaintKind::Ellipse);
    ASSERT_EQ(rects.size(), 1u);
    ASSERT_EQ(ellipses.size(), 1u);
    // Inclusive corners -2e9 and 2e9: 4e9 + 1 pixels wide; 5 to 15: 11 high.
    const QRectF expected(-2000000000.0, 5.0, 4000000001.0, 11.0);
    ASSERT_EQ(rects[0].rects.size(), 1);
    EXPECT_EQ(rects[0].rects[0], expected);
    ASSERT_EQ(ellipses[0].rects.size(), 1);
    EXPECT_EQ(ellipses[0].rects[0], expected);
}

} // namespace
