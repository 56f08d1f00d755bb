// The frame as each shape class uses it: its clip and its report codes.
#include "kestrovalumen/core/shapeframe.h"
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/polylines.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"
#include "runtime/stream/shaperecords.h"
#include "tests/support/shapepainttest.h"

#include <functional>
#include <memory>
#include <string>

namespace {

using kestro::PaintKind;
using kestro::PaintRecords;
using namespace shapetest;

class ShapeFrameTest : public HostTest {};

enum class ClipForm { Inclusive, Polyline };

struct ShapeClass {
    const char* name;
    std::function<std::unique_ptr<CDrawObj>()> make;
    int drawCode;
    int drawLine; // -1: any fixed line
    int loadCode; // 0: the base record alone, without a report
    int loadLine;
    ClipForm clip;
    void (*prepare)(CDrawObj&) = nullptr; //!< vertices for the shapes that need them to draw
};

void twoVertices(CDrawObj& object) {
    auto& poly = static_cast<CDrawPoly&>(object);
    poly.m_nPointCount = 2;
    poly.m_vecRatioX = {0.0, 1.0};
    poly.m_vecRatioY = {0.0, 1.0};
}

void twoVertexBand(CDrawObj& object) {
    auto& band = static_cast<CDrawGuan&>(object);
    band.m_nPointCount = 2;
    band.m_vecCenter = {{10, 10}, {60, 40}};
    band.m_vecPoints.assign(4, QPoint());
    band.Run(-1);
}

template <class T>
std::unique_ptr<CDrawObj> make() {
    return std::make_unique<T>();
}

constexpr ClipForm kIn = ClipForm::Inclusive;

// clang-format off
const ShapeClass kShapes[] = {
    {"CDrawLine",              make<CDrawLine>,              153, -1,   152, -1,   kIn},
    {"CDrawRect",              make<CDrawRect>,              154, -1,   0,   0,    kIn},
    {"CDrawRoundRect",         make<CDrawRoundRect>,         156, -1,   155, -1,   kIn},
    {"CDrawEllipse",           make<CDrawEllipse>,           159, -1,   0,   0,    kIn},
    {"CDrawArc",               make<CDrawArc>,               167, -1,   166, -1,   kIn},
    {"CDrawPoly",              make<CDrawPoly>,              149, -1,   147, -1,   ClipForm::Polyline, twoVertices},
    {"CDrawGuan",              make<CDrawGuan>,              208, -1,   207, -1,   kIn, twoVertexBand},
    {"CDrawParallelogram",     make<CDrawParallelogram>,     169, -1,   168, -1,   kIn},
    {"CDrawTrapezoid",         make<CDrawTrapezoid>,         171, -1,   170, -1,   kIn},
    {"CDrawDiamond",           make<CDrawDiamond>,           172, -1,   0,   0,    kIn},
    {"CDrawOctagon",           make<CDrawOctagon>,           174, -1,   173, -1,   kIn},
    {"CDrawCross",             make<CDrawCross>,             178, -1,   177, -1,   kIn},
    {"CDrawPentagon",          make<CDrawPentagon>,          182, -1,   181, -1,   kIn},
    {"CDrawHexagon",           make<CDrawHexagon>,           184, -1,   183, -1,   kIn},
    {"CDrawIsoscelestriangle", make<CDrawIsoscelestriangle>, 186, -1,   185, -1,   kIn},
    {"CDrawRighttrigngle",     make<CDrawRighttrigngle>,     188, -1,   187, -1,   kIn},
    {"CDrawStar",              make<CDrawStar>,              190, -1,   189, -1,   kIn},
    {"CDrawSeal",              make<CDrawSeal>,              191, -1,   0,   0,    kIn},
    {"CDrawArrow1",            make<CDrawArrow1>,            193, -1,   192, -1,   kIn},
    {"CDrawArrow2",            make<CDrawArrow2>,            195, -1,   194, -1,   kIn},
    {"CDrawArrow3",            make<CDrawArrow3>,            197, -1,   196, -1,   kIn},
    {"CDrawHalfBox",           make<CDrawHalfBox>,           158, -1,   157, -1,   kIn},
    {"CDrawBall3D",            make<CDrawBall3D>,            161, -1,   160, -1,   kIn},
    {"CDrawCircle3D",          make<CDrawCircle3D>,          163, -1,   162, -1,   kIn},
    {"CDrawPentagon3D",        make<CDrawPentagon3D>,        165, -1,   164, -1,   kIn},
    {"CDrawCube",              make<CDrawCube>,              180, -1,   179, -1,   kIn},
    {"CDrawBalloon",           make<CDrawBalloon>,           176, 2335, 175, 2302, kIn},
    {"CDrawPlane1",            make<CDrawPlane1>,            198, 4651, 0,   0,    kIn},
    {"CDrawPlane2",            make<CDrawPlane2>,            199, 4724, 0,   0,    kIn},
    {"CDrawPlane3",            make<CDrawPlane3>,            200, 4797, 0,   0,    kIn},
    {"CDrawPipe1",             make<CDrawPipe1>,             202, 4898, 201, 4874, kIn},
    {"CDrawPipe2",             make<CDrawPipe2>,             204, 5013, 203, 4990, kIn},
    {"CDrawPipe3",             make<CDrawPipe3>,             206, 5146, 205, 5109, kIn},
};
// clang-format on

TEST_F(ShapeFrameTest, EveryClassReportsANullPainterUnderItsDrawCode) {
    for (const ShapeClass& c : kShapes) {
        SCOPED_TRACE(c.name);
        kestro::resetHost();
        std::unique_ptr<CDrawObj> object = c.make();
        object->m_rect = {10, 20, 110, 70};
        object->Draw(nullptr);
        expectFault(c.drawCode, std::string(c.name) + " painter is NULL!", "Draw", c.name,
                    c.drawLine);
    }
}

TEST_F(ShapeFrameTest, EveryClassReportsAFailedBaseRecordUnderItsLoadCode) {
    for (const ShapeClass& c : kShapes) {
        SCOPED_TRACE(c.name);
        for (bool nullBuffer : {false, true}) {
            kestro::resetHost();
            std::unique_ptr<CDrawObj> object = c.make();
            EXPECT_FALSE(nullBuffer ? object->deserialize(nullptr)
                                    : load(*object, brokenCommonRecord()));
            if (c.loadCode == 0) {
                EXPECT_TRUE(nothingReported());
            } else {
                expectFault(c.loadCode, std::string(c.name) + " CDrawObj Serialize error!",
                            "deserialize", c.name, c.loadLine);
            }
        }
    }
}

TEST_F(ShapeFrameTest, EveryClassClipsAroundItsDrawingAndResets) {
    for (const ShapeClass& c : kShapes) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CDrawObj> object = c.make();
        object->m_rect = {10, 10, 70, 50};
        object->m_bPen = 1;
        object->m_bBrush = 1;
        clipTo(*object, 5, 6, 30, 40);
        if (c.prepare) {
            c.prepare(*object);
        }
        const PaintRecords records = paint(*object);
        EXPECT_FALSE(kestro::drawings(records).empty());
        // (5, 6)-(29, 39) inclusive, or two pixels wider for polylines: (5, 6)-(31, 41).
        const QRectF expected = c.clip == kIn ? QRectF(5, 6, 25, 34) : QRectF(5, 6, 27, 36);
        ASSERT_GE(records.size(), 2u) << kestro::dump(records).toStdString();
        EXPECT_EQ(records.front().kind, PaintKind::Clip);
        EXPECT_EQ(records.front().clipOperation, Qt::ReplaceClip);
        EXPECT_EQ(records.front().rects, QList<QRectF>{expected});
        EXPECT_EQ(records.back().kind, PaintKind::Clip);
        EXPECT_EQ(records.back().clipOperation, Qt::NoClip);
        for (size_t i = 1; i + 1 < records.size(); ++i) {
            EXPECT_NE(records[i].kind, PaintKind::Clip);
            EXPECT_TRUE(records[i].state.clip.active());
        }
        object->m_bClip = 0; // the rectangle alone does not clip
        EXPECT_TRUE(clipOps(paint(*object)).empty());
    }
}

} // namespace
