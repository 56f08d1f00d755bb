// Polylines and bands: vertex lists, ratios, placement and drawing.
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/shapes/polylines.h"
#include "tests/support/hostfixture.h"
#include "tests/support/obarray.h"
#include "tests/support/shapepainttest.h"

#include <gtest/gtest.h>

namespace {

using kestro::PaintKind;
using kestro::PaintRecords;
using kestro::StreamWriter;
using namespace shapetest;

std::string extra(std::vector<uint16_t> words, const std::vector<QPoint>& points) {
    StreamWriter out;
    for (uint16_t word : words) {
        out.u16(word);
    }
    for (const QPoint& p : points) {
        out.i32(p.x()).i32(p.y());
    }
    return out.take();
}
std::string polyExtra(uint16_t count, uint16_t reserved, uint16_t closed,
                      const std::vector<QPoint>& points) {
    return extra({count, reserved, closed}, points);
}
std::string guanExtra(uint16_t width, uint16_t count, const std::vector<QPoint>& points) {
    return extra({width, count}, points);
}

void placeAbsolute(CDrawPoly& poly, int left, int top, int right, int bottom) {
    // 1/10000 units of a 10000 by 10000 reference are the coordinates themselves.
    poly.m_rect = Rect32{left, top, right, bottom};
    poly.ToAbsolute(0, 0, 10000, 10000);
}

class PolylineTest : public HostTest {};

TEST_F(PolylineTest, LoadReplacesTheVertexListAndRefusesCountsBeyondTheBytesLeft) {
    CDrawPoly poly;
    ASSERT_TRUE(
        load(poly, withExtra(objectOn(0, 0, 9, 9), polyExtra(3, 0, 0, {{1, 1}, {2, 2}, {3, 3}}))));
    ASSERT_TRUE(load(poly, withExtra(objectOn(0, 0, 9, 9), polyExtra(1, 0, 0, {{8, 9}}))));
    EXPECT_EQ(poly.m_vecPoints, (std::vector<QPoint>{{8, 9}}));
    // 65535 vertices announced, one present: refused before the list is sized.
    EXPECT_FALSE(load(poly, withExtra(objectOn(0, 0, 9, 9), polyExtra(65535, 0, 0, {{1, 1}}))));
    EXPECT_EQ(poly.m_vecPoints, (std::vector<QPoint>{{8, 9}}));
    CDrawGuan guan;
    EXPECT_FALSE(load(guan, withExtra(objectOn(0, 0, 9, 9), guanExtra(4, 40000, {{1, 1}}))));
    EXPECT_TRUE(guan.m_vecPoints.empty());
    EXPECT_TRUE(guan.m_vecCenter.empty());
}

TEST_F(PolylineTest, FirstToAbsoluteComputesTheRatiosOnce) {
    CDrawPoly poly;
    poly.m_nPointCount = 3;
    poly.m_vecPoints = {{10, 20}, {60, 70}, {35, 45}};
    placeAbsolute(poly, 10, 20, 110, 120);
    EXPECT_EQ(poly.m_rect, (Rect32{10, 20, 110, 120}));
    EXPECT_EQ(poly.m_bRatioPending, 0);
    EXPECT_EQ(poly.m_vecRatioX, (std::vector<double>{0.0, 0.5, 0.25}));
    EXPECT_EQ(poly.m_vecRatioY, (std::vector<double>{0.0, 0.5, 0.25}));
    placeAbsolute(poly, 0, 0, 50, 50);
    EXPECT_EQ(poly.m_vecRatioX.size(), 3u);
}

TEST_F(PolylineTest, PolyRunMinusOneAppendsEachAxisByItself) {
    CDrawPoly poly;
    poly.m_nPointCount = 2;
    poly.m_vecPoints = {{10, 20}, {60, 20}};
    poly.m_rect = Rect32{10, 20, 60, 20};
    EXPECT_FALSE(poly.Run(-1));
    EXPECT_EQ(poly.m_vecRatioX, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(poly.m_vecRatioY, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(poly.m_bRatioPending, 1);
    poly.Run(-1);
    EXPECT_EQ(poly.m_vecRatioX, (std::vector<double>{0.0, 1.0, 0.0, 1.0}));
    poly.Run(0); // other events leave the ratios alone
    EXPECT_EQ(poly.m_vecRatioX.size(), 4u);
}

TEST_F(PolylineTest, GuanRunMinusOneReplacesTheRatiosFromThePath) {
    CDrawGuan guan;
    guan.m_nPointCount = 2;
    guan.m_vecCenter = {{10, 20}, {60, 70}};
    guan.m_vecPoints.assign(4, QPoint());
    placeAbsolute(guan, 10, 20, 60, 70);
    // The inherited first conversion reads the zeroed outline buffer.
    EXPECT_EQ(guan.m_vecRatioX, (std::vector<double>{-0.2, -0.2}));
    EXPECT_EQ(guan.m_vecRatioY, (std::vector<double>{-0.4, -0.4}));
    guan.Run(-1);
    EXPECT_EQ(guan.m_vecRatioX, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(guan.m_vecRatioY, (std::vector<double>{0.0, 1.0}));
    guan.m_rect = Rect32{10, 20, 10, 70};
    guan.Run(-1);
    EXPECT_EQ(guan.m_vecRatioX, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(guan.m_vecRatioY, (std::vector<double>{0.0, 0.0})); // both, not each axis
}

class CountingAnimation : public CAniObj {
public:
    explicit CountingAnimation(std::vector<int>* events) : m_events(events) {}
    int Run(int nEvent) override {
        m_events->push_back(nEvent);
        return 1;
    }

private:
    std::vector<int>* m_events;
};

TEST_F(PolylineTest, RunPassesEveryEventOnToTheAnimations) {
    std::vector<int> events;
    CDrawPoly poly;
    CDrawGuan guan;
    kvtest::append(poly.m_arrayAnimate, new CountingAnimation(&events));
    kvtest::append(guan.m_arrayAnimate, new CountingAnimation(&events));
    EXPECT_TRUE(poly.Run(-1));
    EXPECT_TRUE(poly.Run(0));
    EXPECT_TRUE(guan.Run(-1));
    EXPECT_TRUE(guan.Run(11111));
    EXPECT_EQ(events, (std::vector<int>{-1, 0, -1, 11111}));
}

CDrawPoly* loadedPoly(CDrawPoly& poly, uint16_t closed, const std::vector<QPoint>& points,
                      Rect32 rect) {
    kestro::ObjectRecord record = objectOn(rect.left, rect.top, rect.right, rect.bottom);
    record.pen = 1;
    record.penWidthX = 3;
    record.penColor = 0x123456;
    EXPECT_TRUE(load(poly, withExtra(record, polyExtra(static_cast<uint16_t>(points.size()), 0,
                                                       closed, points))));
    return &poly;
}

TEST_F(PolylineTest, PolylineFollowsItsRectangle) {
    CDrawPoly poly;
    loadedPoly(poly, 0, {{0, 0}, {50, 100}, {100, 0}}, {0, 0, 100, 100});
    placeAbsolute(poly, 0, 0, 100, 100);
    PaintRecords polys = ofKind(paint(poly), PaintKind::Polygon);
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].polygonMode, QPaintEngine::PolylineMode);
    EXPECT_TRUE(polys[0].integer);
    EXPECT_EQ(pointsOf(polys[0]), (std::vector<QPoint>{{0, 0}, {50, 100}, {100, 0}}));
    EXPECT_EQ(polys[0].state.pen.capStyle(), Qt::RoundCap);
    EXPECT_EQ(polys[0].state.pen.width(), 3);
    EXPECT_EQ(polys[0].state.pen.color().rgb(), 0xFF123456u);

    poly.m_rect = Rect32{0, 0, 200, 100};
    polys = ofKind(paint(poly), PaintKind::Polygon);
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(pointsOf(polys[0]), (std::vector<QPoint>{{0, 0}, {100, 100}, {200, 0}}));
}

TEST_F(PolylineTest, ClosedPolylineIsAnOddEvenPolygonFromThreeVertices) {
    CDrawPoly poly;
    loadedPoly(poly, 1, {{10, 10}, {30, 10}, {20, 40}}, {10, 10, 30, 40});
    placeAbsolute(poly, 10, 10, 30, 40);
    const PaintRecords polys = ofKind(paint(poly), PaintKind::Polygon);
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].polygonMode, QPaintEngine::OddEvenMode);
    EXPECT_EQ(pointsOf(polys[0]), (std::vector<QPoint>{{10, 10}, {30, 10}, {20, 40}}));
}

TEST_F(PolylineTest, FewerThanTwoVerticesAreLoggedWithoutAMonitorReport) {
    for (int count : {0, 1}) {
        kestro::HostLog::instance().clear();
        CDrawPoly poly;
        loadedPoly(poly, 0, std::vector<QPoint>(static_cast<size_t>(count), QPoint(5, 5)),
                   {0, 0, 10, 10});
        placeAbsolute(poly, 0, 0, 10, 10);
        EXPECT_TRUE(drawings(paint(poly)).empty());
        EXPECT_TRUE(kestro::HostLog::instance().monitor().empty());
        kvtest::expectLog({"Draw", "kestrovalumen", -1, 2, "CDrawPoly",
                           "CDrawPoly point count is too less!",
                           "CDrawPoly point count is too less!"});
    }
}

void loadedGuan(CDrawGuan& guan, int width, const std::vector<QPoint>& path, Rect32 rect) {
    kestro::ObjectRecord record = objectOn(rect.left, rect.top, rect.right, rect.bottom);
    record.brush = 1;
    record.brushColor = 0x00AA00;
    record.pen = 1;
    record.penWidthX = 2;
    ASSERT_TRUE(load(guan, withExtra(record, guanExtra(static_cast<uint16_t>(width),
                                                       static_cast<uint16_t>(path.size()), path))));
    guan.Run(-1);
}

TEST_F(PolylineTest, BandOutlineRunsBesideThePathAndBackAlongIt) {
    struct Case {
        const char* name;
        std::vector<QPoint> path;
        Rect32 rect;
        std::vector<QPoint> outline;
    };
    // clang-format off
    const Case cases[] = {
        {"right then down", {{10, 10}, {60, 10}, {60, 40}}, {10, 10, 60, 40},
         {{10, 14}, {56, 14}, {56, 40}, {60, 40}, {60, 10}, {10, 10}}},
        {"left then up", {{60, 40}, {10, 40}, {10, 10}}, {10, 10, 60, 40},
         {{60, 36}, {14, 36}, {14, 10}, {10, 10}, {10, 40}, {60, 40}}},
        {"down then right", {{10, 10}, {10, 40}, {60, 40}}, {10, 10, 60, 40},
         {{6, 10}, {6, 44}, {60, 44}, {60, 40}, {10, 40}, {10, 10}}},
        {"slanted counts as vertical", {{10, 10}, {40, 30}}, {10, 10, 40, 30},
         {{6, 10}, {6, 30}, {40, 30}, {10, 10}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        CDrawGuan guan;
        loadedGuan(guan, 4, c.path, c.rect);
        const PaintRecords records = paint(guan);
        const PaintRecords polys = ofKind(records, PaintKind::Polygon);
        ASSERT_EQ(polys.size(), 1u) << c.name;
        EXPECT_EQ(polys[0].polygonMode, QPaintEngine::OddEvenMode) << c.name;
        EXPECT_EQ(pointsOf(polys[0]), c.outline) << c.name;
        EXPECT_EQ(guan.m_vecPoints, c.outline) << c.name;
        EXPECT_EQ(polys[0].state.pen.capStyle(), Qt::FlatCap) << c.name;
        EXPECT_EQ(polys[0].state.brush.color().rgb(), 0xFF00AA00u) << c.name;
    }
}

TEST_F(PolylineTest, BandPathMovesWithItsRectangle) {
    CDrawGuan guan;
    loadedGuan(guan, 4, {{10, 10}, {60, 10}, {60, 40}}, {10, 10, 60, 40});
    guan.m_rect = Rect32{0, 0, 100, 60};
    const PaintRecords polys = ofKind(paint(guan), PaintKind::Polygon);
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(pointsOf(polys[0]),
              (std::vector<QPoint>{{0, 4}, {96, 4}, {96, 60}, {100, 60}, {100, 0}, {0, 0}}));
    EXPECT_EQ(guan.m_vecCenter, (std::vector<QPoint>{{0, 0}, {100, 0}, {100, 60}}));
}

} // namespace
