// Drawing faults that fuzzing found, each with the smallest object that shows it.
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/solids.h"
#include "runtime/paint/recordingdevice.h"
#include "tests/reliability/memoryguard.h"
#include "tests/support/hostfixture.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

class ShapeFindings : public HostTest {};

// Record geometry is 32-bit and wraps. The notch of the third arrow sits at (y1 + 2 * y2) / 3;
// with y2 = 1816556132, 2 * y2 is a signed overflow (undefined, and reported by the sanitizer
// build) unless it wraps: 3633112264 - 2^32 = -661855032, divided by 3 is -220618344.
TEST_F(ShapeFindings, ArrowNotchWrapsLikeEveryRecordValue) {
    CDrawArrow3 arrow;
    arrow.m_rect.left = 0;
    arrow.m_rect.top = 0;
    arrow.m_rect.right = 101;         // x2 = 100, mx = 50
    arrow.m_rect.bottom = 1816556133; // y2 = 1816556132
    arrow.m_nDirection = 0;           // up
    arrow.m_bPen = 1;
    arrow.m_bBrush = 1;
    kestro::RecordingDevice device(800, 600);
    {
        QPainter painter(&device);
        arrow.Draw(&painter);
    }
    const kestro::PaintRecords polygons = device.ofKind(kestro::PaintKind::Polygon);
    ASSERT_EQ(polygons.size(), 1u);
    const QPolygonF expected = {QPointF(0, 1816556132), QPointF(50, 0), QPointF(100, 1816556132),
                                QPointF(50, -220618344)};
    EXPECT_EQ(polygons[0].points, expected);
}

// The shaded pentagon draws one nested outline per pixel of half its extent. A damaged
// rectangle two thousand million pixels high asked for a thousand million outlines: a hang on
// a real device, gigabytes of records on the recording one. Beyond 32769 outlines (an extent
// of 65534, twice the widest device) no more are drawn.
TEST_F(ShapeFindings, ShadedPentagonDrawsAtMost32769Outlines) {
    struct Case {
        const char* name;
        int32_t top, bottom;
        int outlines;
    };
    const Case cases[] = {
        {"extent 60: 60 / 2 + 2", 0, 60, 32},
        {"extent 65534: all of them", 0, 65534, 32769},
        {"extent 65536: capped", 0, 65536, 32769},
        {"extent 2000000000: capped", -1000000000, 1000000000, 32769},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawPentagon3D pentagon;
        pentagon.m_rect.left = 0;
        pentagon.m_rect.right = 100;
        pentagon.m_rect.top = c.top;
        pentagon.m_rect.bottom = c.bottom;
        pentagon.m_nPercent = 30;
        pentagon.m_nDirection = 1; // pointing right: one polygon per outline, extent = height
        pentagon.m_bPen = 1;
        pentagon.m_bBrush = 1;
        pentagon.m_logBrush.color = 0xFFFFFF;

        kestro::RecordingDevice device(800, 600);
        {
            kvtest::MemoryGuard guard;
            QPainter painter(&device);
            pentagon.Draw(&painter);
        }
        EXPECT_EQ(device.ofKind(kestro::PaintKind::Polygon).size(),
                  static_cast<size_t>(c.outlines));
    }
}

// The ring moves its wide case by (int)((Wc / Hc - 1) * (Hc / 2 + T)). A damaged rectangle two
// thousand million pixels wide and two high, a thousand million down, makes that 1e18, out of
// the range of int, where a plain conversion is undefined: it saturates.
TEST_F(ShapeFindings, ShadedRingTranslationStaysAnInt) {
    struct Case {
        const char* name;
        int32_t top, right, bottom;
        double scaleY, dy; // of the transform the ring's path is filled with
    };
    const Case cases[] = {
        // Wc 200, Hc 100, T 0: scale(1, 0.5), translate(0, (2 - 1) * 50) = 25 in the device.
        {"in range", 0, 200, 100, 0.5, 25.0},
        // Wc 2e9, Hc 2, T 1e9: scale(1, 1e-9), translate(0, INT_MAX) = 2.147483647.
        {"saturated", 1000000000, 2000000000, 1000000002, 1e-9, 2.147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrawCircle3D ring;
        ring.m_rect.left = 0;
        ring.m_rect.top = c.top;
        ring.m_rect.right = c.right;
        ring.m_rect.bottom = c.bottom;
        ring.m_nRingWidth = 100;
        kestro::RecordingDevice device(800, 600);
        {
            QPainter painter(&device);
            ring.Draw(&painter);
        }
        const kestro::PaintRecords paths = device.ofKind(kestro::PaintKind::Path);
        ASSERT_EQ(paths.size(), 1u);
        const QTransform& t = paths[0].state.transform;
        EXPECT_DOUBLE_EQ(t.m22(), c.scaleY);
        EXPECT_DOUBLE_EQ(t.dy(), c.dy);
    }
}

} // namespace
