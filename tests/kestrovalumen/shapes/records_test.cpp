// Every shape class loads its own fields, consumes exactly them, and fails on every cut silently.
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/polylines.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"
#include "runtime/stream/shaperecords.h"
#include "tests/support/hostfixture.h"
#include "tests/support/shapepainttest.h"

#include <functional>
#include <memory>

namespace {

using kestro::StreamWriter;
using namespace shapetest;
using Values = std::vector<int64_t>;

struct RecordRow {
    const char* name;
    std::function<CDrawObj*()> make;
    std::string bytes; //!< the fields as the stream holds them
    std::function<Values(CDrawObj&)> read;
    Values expected;
};

template <class T>
CDrawObj* make() {
    return new T;
}

template <class T>
Values percentDirection(CDrawObj& o) {
    return {static_cast<T&>(o).m_nPercent, static_cast<T&>(o).m_nDirection};
}
template <class T>
Values percent(CDrawObj& o) {
    return {static_cast<T&>(o).m_nPercent};
}
template <class T>
Values direction(CDrawObj& o) {
    return {static_cast<T&>(o).m_nDirection};
}
template <class T>
Values horizontal(CDrawObj& o) {
    return {static_cast<T&>(o).m_bHorizontal};
}
Values none(CDrawObj&) {
    return {};
}

std::string i32s(std::initializer_list<int32_t> values) {
    StreamWriter out;
    for (int32_t v : values) {
        out.i32(v);
    }
    return out.take();
}

const std::string kTwo = i32s({-7, 3});
const std::string kOne = i32s({-7});

std::vector<RecordRow> rows() {
    const std::string vertices = i32s({0, 0, 50, -100, 100, 7});
    const std::string path = i32s({10, 10, 60, 10, 60, 40});
    // clang-format off
    return {
        // Classes without fields of their own (rectangle, ellipse, line, diamond, seal, planes)
        // load the common record alone.
        {"CDrawRect", make<CDrawRect>, "", none, {}},
        {"CDrawRoundRect", make<CDrawRoundRect>, i32s({21, -10}), [](CDrawObj& o) { auto& s = static_cast<CDrawRoundRect&>(o); return Values{s.m_nCornerWidth, s.m_nCornerHeight}; }, {21, -10}},
        // The end pair comes first.
        {"CDrawArc", make<CDrawArc>, i32s({1, 2, 3, 4}), [](CDrawObj& o) { auto& s = static_cast<CDrawArc&>(o); return Values{s.m_nEndXPercent, s.m_nEndYPercent, s.m_nStartXPercent, s.m_nStartYPercent}; }, {1, 2, 3, 4}},
        {"CDrawParallelogram", make<CDrawParallelogram>, kTwo, percentDirection<CDrawParallelogram>, {-7, 3}},
        {"CDrawTrapezoid", make<CDrawTrapezoid>, kTwo, percentDirection<CDrawTrapezoid>, {-7, 3}},
        {"CDrawOctagon", make<CDrawOctagon>, kOne, percent<CDrawOctagon>, {-7}},
        {"CDrawCross", make<CDrawCross>, kOne, percent<CDrawCross>, {-7}},
        {"CDrawPentagon", make<CDrawPentagon>, kTwo, percentDirection<CDrawPentagon>, {-7, 3}},
        {"CDrawHexagon", make<CDrawHexagon>, kTwo, percentDirection<CDrawHexagon>, {-7, 3}},
        {"CDrawIsoscelestriangle", make<CDrawIsoscelestriangle>, kTwo, percentDirection<CDrawIsoscelestriangle>, {-7, 3}},
        {"CDrawRighttrigngle", make<CDrawRighttrigngle>, kOne, direction<CDrawRighttrigngle>, {-7}},
        {"CDrawStar", make<CDrawStar>, kOne, direction<CDrawStar>, {-7}},
        {"CDrawArrow1", make<CDrawArrow1>, kTwo, percentDirection<CDrawArrow1>, {-7, 3}},
        {"CDrawArrow2", make<CDrawArrow2>, kTwo, percentDirection<CDrawArrow2>, {-7, 3}},
        {"CDrawArrow3", make<CDrawArrow3>, kOne, direction<CDrawArrow3>, {-7}},
        {"CDrawPentagon3D", make<CDrawPentagon3D>, kTwo, percentDirection<CDrawPentagon3D>, {-7, 3}},
        {"CDrawHalfBox", make<CDrawHalfBox>, i32s({-19, -8, 3, 14}), [](CDrawObj& o) { auto& s = static_cast<CDrawHalfBox&>(o); return Values{s.m_nCornerWidth, s.m_nCornerHeight, s.m_bVerticalSplit, s.m_bOtherHalf}; }, {-19, -8, 3, 14}},
        {"CDrawBall3D", make<CDrawBall3D>, i32s({-19, -8}), [](CDrawObj& o) { auto& s = static_cast<CDrawBall3D&>(o); return Values{s.m_nBallReserved1, s.m_nBallReserved2}; }, {-19, -8}},
        {"CDrawCircle3D", make<CDrawCircle3D>, i32s({-19, -8}), [](CDrawObj& o) { auto& s = static_cast<CDrawCircle3D&>(o); return Values{s.m_nRingWidth, s.m_nCircleReserved}; }, {-19, -8}},
        {"CDrawCube", make<CDrawCube>, i32s({-19, -8, 3}), [](CDrawObj& o) { auto& s = static_cast<CDrawCube&>(o); return Values{s.m_nPercent, s.m_bFrontLeft, s.m_bFrontBottom}; }, {-19, -8, 3}},
        {"CDrawPipe1", make<CDrawPipe1>, kOne, horizontal<CDrawPipe1>, {-7}},
        {"CDrawPipe2", make<CDrawPipe2>, kOne, horizontal<CDrawPipe2>, {-7}},
        // A two-byte type, zero-extended; the design rectangle is the loaded one.
        {"CDrawPipe3", make<CDrawPipe3>, StreamWriter().u16(0xFFFE).i32(12).i32(34).take(), [](CDrawObj& o) { auto& s = static_cast<CDrawPipe3&>(o); return Values{s.m_nElbowType, s.m_nHorzThick, s.m_nVertThick, s.m_rcDesign.left, s.m_rcDesign.bottom, s.m_bFirstAbsolute}; }, {0xFFFE, 12, 34, 1, 4, 1}},
        // Side, at-end flag, position.
        {"CDrawBalloon", make<CDrawBalloon>, i32s({3, 1, 150}), [](CDrawObj& o) { auto& s = static_cast<CDrawBalloon&>(o); return Values{s.m_nTailSide, s.m_bTailAtEnd, s.m_nTailPos}; }, {3, 1, 150}},
        // Count, reserved (zero-extended), closed flag, the vertices; the ratios wait for a placement.
        {"CDrawPoly", make<CDrawPoly>, StreamWriter().u16(3).u16(0xBEEF).u16(1).take() + vertices, [](CDrawObj& o) { auto& s = static_cast<CDrawPoly&>(o); Values v{s.m_nPointCount, s.m_nPolyReserved, s.m_bClosed, s.m_bRatioPending, static_cast<int64_t>(s.m_vecRatioX.size())}; for (const QPoint& p : s.m_vecPoints) { v.push_back(p.x()); v.push_back(p.y()); } return v; }, {3, 0xBEEF, 1, 1, 0, 0, 0, 50, -100, 100, 7}},
        // Band width, count, the path; the outline buffer has two vertices per path vertex.
        {"CDrawGuan", make<CDrawGuan>, StreamWriter().u16(9).u16(3).take() + path, [](CDrawObj& o) { auto& s = static_cast<CDrawGuan&>(o); Values v{s.m_nPipeWidth, s.m_nPointCount, static_cast<int64_t>(s.m_vecPoints.size()), s.m_bClosed}; for (const QPoint& p : s.m_vecCenter) { v.push_back(p.x()); v.push_back(p.y()); } return v; }, {9, 3, 6, 0, 10, 10, 60, 10, 60, 40}},
    };
    // clang-format on
}

class ShapeRecordTest : public HostTest {};

TEST_F(ShapeRecordTest, EveryClassLoadsItsFieldsAndRefusesEveryCut) {
    for (const RecordRow& row : rows()) {
        SCOPED_TRACE(row.name);
        // Bytes after the class's own fields are not the class's.
        const std::string whole = withExtra(objectOn(1, 2, 3, 4), row.bytes + "xyz");
        std::unique_ptr<CDrawObj> object(row.make());
        FF::utils::MemoryBuffer buffer = streamtest::bufferOf(whole);
        ASSERT_TRUE(object->deserialize(&buffer));
        EXPECT_EQ(buffer.length() - buffer.position(), 3u);
        EXPECT_EQ(object->m_rect, (Rect32{1, 2, 3, 4}));
        EXPECT_EQ(row.read(*object), row.expected);
        for (size_t cut = 1; cut <= row.bytes.size(); ++cut) {
            std::unique_ptr<CDrawObj> cutObject(row.make());
            EXPECT_FALSE(load(*cutObject, whole.substr(0, whole.size() - 3 - cut))) << cut;
        }
        EXPECT_TRUE(nothingReported());
    }
}

} // namespace
