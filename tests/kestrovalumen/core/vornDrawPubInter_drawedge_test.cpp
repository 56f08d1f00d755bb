// The bevelled frame of the planes (the planes' own tests give the colours of each style): the
// plain style's lines, the painter's pen given back, and the report of an unknown style.
#include "kestrovalumen/core/vornDrawPubInter.h"
#include "runtime/host/logger.h"
#include "runtime/paint/recordingdevice.h"
#include "tests/support/hostfixture.h"
#include "tests/support/reports.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

namespace {

using kestro::PaintKind;

class DrawEdgeTest : public HostTest {};

TEST_F(DrawEdgeTest, KnownStylesDrawCosmeticLinesUnknownOnesLog) {
    const QPen callerPen(QColor(200, 10, 20), 5, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin);
    struct Case {
        unsigned style;
        const char* text; // nullptr: drawn
        std::vector<QLine> lines;
    };
    const Case cases[] = {
        {5, nullptr, {{0, 0, 10, 0}, {0, 0, 0, 10}, {0, 10, 10, 10}, {10, 0, 10, 10}}},
        {0, "nEdge = 0", {}},
        {4, "nEdge = 4", {}},
        {9, "nEdge = 9", {}},
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
