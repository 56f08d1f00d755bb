// The bevelled frame of the planes: colours and line order of each style, the painter's pen
// given back, and the report of an unknown style.
#include "kestrovalumen/core/vornDrawPubInter.h"
#include "runtime/host/logger.h"
#include "runtime/paint/recordingdevice.h"
#include "tests/support/hostfixture.h"
#include "tests/support/reports.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using kestro::PaintKind;
using kestro::PaintRecords;

// The eight one-pixel lines on the corners (5, 6) and (50, 40), inclusive.
const QLine kOuterTop(5, 6, 50, 6);
const QLine kOuterLeft(5, 6, 5, 40);
const QLine kOuterBottom(5, 40, 50, 40);
const QLine kOuterRight(50, 6, 50, 40);
const QLine kInnerTop(6, 7, 49, 7);
const QLine kInnerLeft(6, 7, 6, 39);
const QLine kInnerBottom(6, 39, 49, 39);
const QLine kInnerRight(49, 7, 49, 39);

const QRgb kWhite = 0xFFFFFF, kLight = 0xE3E3E3, kDark = 0x696969, kMid = 0xA0A0A0;

using Stroke = std::pair<QRgb, QLine>;

struct EdgeCase {
    const char* name;
    unsigned style;
    std::vector<Stroke> strokes; // in drawing order
};

const EdgeCase kEdgeCases[] = {
    {"plain",
     5,
     {{kWhite, kOuterTop}, {kWhite, kOuterLeft}, {kWhite, kOuterBottom}, {kWhite, kOuterRight}}},
    {"raised",
     6,
     {{kLight, kOuterLeft},
      {kLight, kOuterTop},
      {kWhite, kInnerLeft},
      {kWhite, kInnerTop},
      {kDark, kOuterRight},
      {kDark, kOuterBottom},
      {kMid, kInnerRight},
      {kMid, kInnerBottom}}},
    {"sunken",
     7,
     {{kMid, kOuterLeft},
      {kMid, kOuterTop},
      {kDark, kInnerLeft},
      {kDark, kInnerTop},
      {kWhite, kOuterRight},
      {kWhite, kOuterBottom},
      {kLight, kInnerRight},
      {kLight, kInnerBottom}}},
    {"etched",
     8,
     {{kWhite, kInnerTop},
      {kWhite, kInnerLeft},
      {kWhite, kOuterBottom},
      {kWhite, kOuterRight},
      {kMid, kOuterTop},
      {kMid, kOuterLeft},
      {kMid, kInnerBottom},
      {kMid, kInnerRight}}},
};

class DrawEdgeTest : public HostTest {
protected:
    // A pen the painter holds before the call, to see that it comes back.
    const QPen m_callerPen = QPen(QColor(200, 10, 20), 5, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin);
};

TEST_F(DrawEdgeTest, EachStyleDrawsItsColoursInOrderAndGivesThePenBack) {
    for (const EdgeCase& c : kEdgeCases) {
        SCOPED_TRACE(c.name);
        kestro::RecordingDevice device;
        QPainter painter(&device);
        painter.setPen(m_callerPen);
        EXPECT_TRUE(DrawEdge(&painter, 5, 6, 50, 40, c.style));
        EXPECT_EQ(painter.pen(), m_callerPen);
        painter.end();

        const PaintRecords drawn = kestro::drawings(device.records());
        ASSERT_EQ(drawn.size(), c.strokes.size()) << device.dump().toStdString();
        for (size_t i = 0; i < drawn.size(); ++i) {
            SCOPED_TRACE(i);
            const kestro::PaintRecord& r = drawn[i];
            EXPECT_EQ(r.kind, PaintKind::Lines);
            EXPECT_TRUE(r.integer);
            ASSERT_EQ(r.lines.size(), 1);
            EXPECT_EQ(r.lines[0].toLine(), c.strokes[i].second);
            EXPECT_EQ(r.state.pen.color(), QColor(c.strokes[i].first));
            // A fresh solid pen of width 0: one pixel whatever the transform.
            EXPECT_EQ(r.state.pen.style(), Qt::SolidLine);
            EXPECT_EQ(r.state.pen.width(), 0);
            EXPECT_TRUE(r.state.pen.isCosmetic());
        }
        EXPECT_TRUE(kestro::HostLog::instance().logs().empty());
    }
}

TEST_F(DrawEdgeTest, PlainStyleOnASmallSquareDrawsOnlyTheOuterLines) {
    kestro::RecordingDevice device;
    QPainter painter(&device);
    EXPECT_TRUE(DrawEdge(&painter, 0, 0, 10, 10, 5));
    painter.end();
    std::vector<QLine> lines;
    for (const kestro::PaintRecord& r : device.ofKind(PaintKind::Lines)) {
        lines.push_back(r.lines.value(0).toLine());
    }
    EXPECT_EQ(lines, (std::vector<QLine>{QLine(0, 0, 10, 0), QLine(0, 0, 0, 10),
                                         QLine(0, 10, 10, 10), QLine(10, 0, 10, 10)}));
}

TEST_F(DrawEdgeTest, UnknownStyleLogsDrawsNothingAndLeavesThePen) {
    struct Unknown {
        unsigned style;
        const char* text;
    };
    const Unknown unknown[] = {
        {0, "nEdge = 0"}, {4, "nEdge = 4"}, {9, "nEdge = 9"}, {0xFFFFFFFFu, "nEdge = 4294967295"}};
    for (const Unknown& u : unknown) {
        SCOPED_TRACE(u.text);
        kestro::resetHost();
        kestro::RecordingDevice device;
        QPainter painter(&device);
        painter.setPen(m_callerPen);
        EXPECT_FALSE(DrawEdge(&painter, 5, 6, 50, 40, u.style));
        EXPECT_EQ(painter.pen(), m_callerPen);
        painter.end();
        EXPECT_TRUE(device.records().empty()) << device.dump().toStdString();

        EXPECT_TRUE(kestro::HostLog::instance().monitor().empty());
        kvtest::expectLog(
            {"DrawEdge", "vornDrawPubInter", 172, 4, "DrawObj", u.text, "nEdge = %u"});
    }
}

} // namespace
