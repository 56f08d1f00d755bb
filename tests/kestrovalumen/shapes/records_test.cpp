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

template <class V>
int64_t widened(const V& value) {
    return static_cast<int64_t>(value);
}
template <class P>
int64_t widened(const std::vector<P>& list) {
    return static_cast<int64_t>(list.size());
}

//! Reads the given members of T (its own or inherited), widened; of a list, its size.
template <class T, class... M>
std::function<Values(CDrawObj&)> fields(M... members) {
    return [=](CDrawObj& o) {
        T& shape = static_cast<T&>(o);
        return Values{widened(shape.*members)...};
    };
}

//! The members, then each point's x and y.
template <class T, class... M>
std::function<Values(CDrawObj&)> withPoints(std::vector<QPoint> T::*points, M... members) {
    return [=](CDrawObj& o) {
        Values values = fields<T>(members...)(o);
        for (const QPoint& p : static_cast<T&>(o).*points) {
            values.insert(values.end(), {p.x(), p.y()});
        }
        return values;
    };
}

Values pipe3(CDrawObj& o) {
    const auto& s = static_cast<CDrawPipe3&>(o);
    return {s.m_nElbowType,    s.m_nHorzThick,      s.m_nVertThick,
            s.m_rcDesign.left, s.m_rcDesign.bottom, s.m_bFirstAbsolute};
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
        {"CDrawRect", make<CDrawRect>, "", fields<CDrawRect>(), {}},
        {"CDrawRoundRect", make<CDrawRoundRect>, i32s({21, -10}), fields<CDrawRoundRect>(&CDrawRoundRect::m_nCornerWidth, &CDrawRoundRect::m_nCornerHeight), {21, -10}},
        // The end pair comes first.
        {"CDrawArc", make<CDrawArc>, i32s({1, 2, 3, 4}), fields<CDrawArc>(&CDrawArc::m_nEndXPercent, &CDrawArc::m_nEndYPercent, &CDrawArc::m_nStartXPercent, &CDrawArc::m_nStartYPercent), {1, 2, 3, 4}},
        {"CDrawParallelogram", make<CDrawParallelogram>, kTwo, fields<CDrawParallelogram>(&CDrawParallelogram::m_nPercent, &CDrawParallelogram::m_nDirection), {-7, 3}},
        {"CDrawTrapezoid", make<CDrawTrapezoid>, kTwo, fields<CDrawTrapezoid>(&CDrawTrapezoid::m_nPercent, &CDrawTrapezoid::m_nDirection), {-7, 3}},
        {"CDrawOctagon", make<CDrawOctagon>, kOne, fields<CDrawOctagon>(&CDrawOctagon::m_nPercent), {-7}},
        {"CDrawCross", make<CDrawCross>, kOne, fields<CDrawCross>(&CDrawCross::m_nPercent), {-7}},
        {"CDrawPentagon", make<CDrawPentagon>, kTwo, fields<CDrawPentagon>(&CDrawPentagon::m_nPercent, &CDrawPentagon::m_nDirection), {-7, 3}},
        {"CDrawHexagon", make<CDrawHexagon>, kTwo, fields<CDrawHexagon>(&CDrawHexagon::m_nPercent, &CDrawHexagon::m_nDirection), {-7, 3}},
        {"CDrawIsoscelestriangle", make<CDrawIsoscelestriangle>, kTwo, fields<CDrawIsoscelestriangle>(&CDrawIsoscelestriangle::m_nPercent, &CDrawIsoscelestriangle::m_nDirection), {-7, 3}},
        {"CDrawRighttrigngle", make<CDrawRighttrigngle>, kOne, fields<CDrawRighttrigngle>(&CDrawRighttrigngle::m_nDirection), {-7}},
        {"CDrawStar", make<CDrawStar>, kOne, fields<CDrawStar>(&CDrawStar::m_nDirection), {-7}},
        {"CDrawArrow1", make<CDrawArrow1>, kTwo, fields<CDrawArrow1>(&CDrawArrow1::m_nPercent, &CDrawArrow1::m_nDirection), {-7, 3}},
        {"CDrawArrow2", make<CDrawArrow2>, kTwo, fields<CDrawArrow2>(&CDrawArrow2::m_nPercent, &CDrawArrow2::m_nDirection), {-7, 3}},
        {"CDrawArrow3", make<CDrawArrow3>, kOne, fields<CDrawArrow3>(&CDrawArrow3::m_nDirection), {-7}},
        {"CDrawPentagon3D", make<CDrawPentagon3D>, kTwo, fields<CDrawPentagon3D>(&CDrawPentagon3D::m_nPercent, &CDrawPentagon3D::m_nDirection), {-7, 3}},
        {"CDrawHalfBox", make<CDrawHalfBox>, i32s({-19, -8, 3, 14}), fields<CDrawHalfBox>(&CDrawHalfBox::m_nCornerWidth, &CDrawHalfBox::m_nCornerHeight, &CDrawHalfBox::m_bVerticalSplit, &CDrawHalfBox::m_bOtherHalf), {-19, -8, 3, 14}},
        {"CDrawBall3D", make<CDrawBall3D>, i32s({-19, -8}), fields<CDrawBall3D>(&CDrawBall3D::m_nBallReserved1, &CDrawBall3D::m_nBallReserved2), {-19, -8}},
        {"CDrawCircle3D", make<CDrawCircle3D>, i32s({-19, -8}), fields<CDrawCircle3D>(&CDrawCircle3D::m_nRingWidth, &CDrawCircle3D::m_nCircleReserved), {-19, -8}},
        {"CDrawCube", make<CDrawCube>, i32s({-19, -8, 3}), fields<CDrawCube>(&CDrawCube::m_nPercent, &CDrawCube::m_bFrontLeft, &CDrawCube::m_bFrontBottom), {-19, -8, 3}},
        {"CDrawPipe1", make<CDrawPipe1>, kOne, fields<CDrawPipe1>(&CDrawPipe1::m_bHorizontal), {-7}},
        {"CDrawPipe2", make<CDrawPipe2>, kOne, fields<CDrawPipe2>(&CDrawPipe2::m_bHorizontal), {-7}},
        // A two-byte type, zero-extended; the design rectangle is the loaded one.
        {"CDrawPipe3", make<CDrawPipe3>, StreamWriter().u16(0xFFFE).i32(12).i32(34).take(), pipe3, {0xFFFE, 12, 34, 1, 4, 1}},
        // Side, at-end flag, position.
        {"CDrawBalloon", make<CDrawBalloon>, i32s({3, 1, 150}), fields<CDrawBalloon>(&CDrawBalloon::m_nTailSide, &CDrawBalloon::m_bTailAtEnd, &CDrawBalloon::m_nTailPos), {3, 1, 150}},
        // Count, reserved (zero-extended), closed flag, the vertices; the ratios wait for a placement.
        {"CDrawPoly", make<CDrawPoly>, StreamWriter().u16(3).u16(0xBEEF).u16(1).take() + vertices, withPoints<CDrawPoly>(&CDrawPoly::m_vecPoints, &CDrawPoly::m_nPointCount, &CDrawPoly::m_nPolyReserved, &CDrawPoly::m_bClosed, &CDrawPoly::m_bRatioPending, &CDrawPoly::m_vecRatioX), {3, 0xBEEF, 1, 1, 0, 0, 0, 50, -100, 100, 7}},
        // Band width, count, the path; the outline buffer has two vertices per path vertex.
        {"CDrawGuan", make<CDrawGuan>, StreamWriter().u16(9).u16(3).take() + path, withPoints<CDrawGuan>(&CDrawGuan::m_vecCenter, &CDrawGuan::m_nPipeWidth, &CDrawGuan::m_nPointCount, &CDrawGuan::m_vecPoints, &CDrawGuan::m_bClosed), {9, 3, 6, 0, 10, 10, 60, 10, 60, 40}},
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
