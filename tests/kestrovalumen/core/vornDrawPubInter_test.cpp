// Shared arithmetic, the pen and brush mapping, and the bevelled frame of the planes.
#include "kestrovalumen/core/vornDrawPubInter.h"
#include "runtime/host/logger.h"
#include "runtime/paint/recordingdevice.h"
#include "tests/support/hostfixture.h"
#include "tests/support/reports.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using kestro::HostLog;
using kestro::PaintKind;

class PubInterTest : public HostTest {};

TEST_F(PubInterTest, MulDivRoundsHalfAwayFromZeroAndLogsAZeroDivisor) {
    struct Case {
        int a, b, c, expected;
    };
    // Halves round away from zero; the product wraps in 32 bits before the division
    // (70000 * 70000 = 4.9e9 - 2^32 = 605032704).
    // clang-format off
    const Case cases[] = {
        {3, 5, 2, 8}, {-3, 5, 2, -8}, {3, -5, 2, -8}, {-3, -5, 2, 8}, {3, 5, -2, -8},
        {1, 1, 3, 0}, {2, 1, 3, 1}, {-2, 1, 3, -1}, {0, 5, 7, 0}, {10, 10000, 100, 1000},
        {6667, 3, 10000, 2}, {7, 0, 10000, 0}, {46340, 46340, 46340, 46340},
        {-46340, 46340, -1, 2147395600}, {70000, 70000, 100, 6050327}, {65536, 65536, 1, 0},
        {50000, 50000, 1, -1794967296},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
    }
    EXPECT_TRUE(HostLog::instance().logs().empty());
    EXPECT_EQ(MulDiv(-5, 100, 0), -1); // a zero divisor is logged, not monitored
    EXPECT_TRUE(HostLog::instance().monitor().empty());
    kvtest::expectLog(
        {"MulDiv", "vornDrawPubInter", 52, 2, "DrawObj", "height = 0", "height = %d", 4});
}

// The gradient and texture codes (16 to 19) name styles that a plain brush cannot take, so a new
// brush keeps its no-fill style. Pens keep their cap and join.
TEST(ApplyLogPenAndBrush, StyleWidthAndOpaqueColourFromTheRecord) {
    const Qt::PenStyle styles[] = {Qt::SolidLine,      Qt::DashLine, Qt::DotLine,  Qt::DashDotLine,
                                   Qt::DashDotDotLine, Qt::NoPen,    Qt::SolidLine};
    for (uint32_t code : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 100u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(code);
        QPen pen(QBrush(), 1, Qt::DotLine, Qt::RoundCap, Qt::MiterJoin);
        ApplyLogPen(pen, LogPen{code, 3, 9, 0xAA336699});
        EXPECT_EQ(pen, QPen(QColor(0x33, 0x66, 0x99), 3, styles[std::min(code, 6u)], Qt::RoundCap,
                            Qt::MiterJoin));
    }
    const struct {
        uint32_t code;
        Qt::BrushStyle style;
    } cases[] = {{0, Qt::SolidPattern},  {1, Qt::NoBrush},       {9, Qt::NoBrush},
                 {10, Qt::HorPattern},   {11, Qt::VerPattern},   {12, Qt::CrossPattern},
                 {13, Qt::BDiagPattern}, {14, Qt::FDiagPattern}, {15, Qt::DiagCrossPattern},
                 {16, Qt::NoBrush},      {17, Qt::NoBrush},      {18, Qt::NoBrush},
                 {19, Qt::NoBrush},      {20, Qt::SolidPattern}, {0xFFFFFFFF, Qt::SolidPattern}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        QBrush brush;
        LogBrush rec;
        rec.style = c.code;
        rec.color = 0xFF0A0B0C;
        ApplyLogBrush(brush, rec);
        EXPECT_EQ(brush.style(), c.style);
        EXPECT_EQ(brush.color(), QColor(0x0A, 0x0B, 0x0C, 255));
    }
}

TEST_F(PubInterTest, DrawEdgeKnownStylesDrawCosmeticLinesUnknownOnesLog) {
    const QPen callerPen(QColor(200, 10, 20), 5, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin);
    struct Case {
        unsigned style;
        const char* text; // nullptr: drawn
        std::vector<QLine> lines;
    };
    const Case cases[] = {
        {5, nullptr, {{0, 0, 10, 0}, {0, 0, 0, 10}, {0, 10, 10, 10}, {10, 0, 10, 10}}},
        {0, "nEdge = 0", {}},
        {0xFFFFFFFFu, "nEdge = 4294967295", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        kestro::resetHost();
        kestro::RecordingDevice device;
        QPainter painter(&device);
        painter.setPen(callerPen);
        EXPECT_EQ(DrawEdge(&painter, 0, 0, 10, 10, c.style), c.text == nullptr);
        EXPECT_EQ(painter.pen(), callerPen);
        painter.end();
        std::vector<QLine> lines;
        for (const kestro::PaintRecord& r : device.drawings()) {
            EXPECT_EQ(r.kind, PaintKind::Lines);
            EXPECT_EQ(r.state.pen.width(), 0);
            EXPECT_TRUE(r.state.pen.isCosmetic());
            lines.push_back(r.lines.value(0).toLine());
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_TRUE(kestro::HostLog::instance().monitor().empty());
        if (c.text == nullptr) {
            EXPECT_TRUE(kestro::HostLog::instance().logs().empty());
        } else {
            kvtest::expectLog(
                {"DrawEdge", "vornDrawPubInter", 172, 4, "DrawObj", c.text, "nEdge = %u"});
        }
    }
}

} // namespace
