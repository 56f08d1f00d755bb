// The fourteen polygon and symbol shapes: vertices, pen and brush, the normalised rectangle.
#include "kestrovalumen/shapes/polygons.h"
#include "runtime/stream/shaperecords.h"
#include "tests/support/hostfixture.h"
#include "tests/support/shapepainttest.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace {

using kestro::PaintKind;
using kestro::PaintRecord;
using kestro::PaintRecords;
using kestro::StreamWriter;
using namespace shapetest;
using Points = std::vector<QPoint>;

// Every vertex table below is on L=10, T=20, R=110, B=70: x1=10, y1=20, x2=109, y2=69,
// W=100, H=50; with 33 percent, 33% of W is 33 and 33% of H is 1650 / 100 = 16.
const Rect32 kRect{10, 20, 110, 70};

std::optional<Points> polygonOf(CDrawObj& object) {
    const PaintRecords drawn = kestro::drawings(paint(object));
    if (drawn.empty()) {
        return std::nullopt;
    }
    EXPECT_EQ(drawn.size(), 1u) << kestro::dump(drawn).toStdString();
    EXPECT_EQ(drawn[0].kind, PaintKind::Polygon);
    EXPECT_TRUE(drawn[0].integer);
    EXPECT_EQ(drawn[0].polygonMode, QPaintEngine::OddEvenMode);
    return pointsOf(drawn[0]);
}

template <class T, class = void>
struct HasPercent : std::false_type {};
template <class T>
struct HasPercent<T, std::void_t<decltype(std::declval<T&>().m_nPercent)>> : std::true_type {};
template <class T, class = void>
struct HasDirection : std::false_type {};
template <class T>
struct HasDirection<T, std::void_t<decltype(std::declval<T&>().m_nDirection)>> : std::true_type {};

template <class Shape>
std::optional<Points> drawn(int percent, int direction, Rect32 rect) {
    Shape shape;
    shape.m_rect = rect;
    if constexpr (HasPercent<Shape>::value) {
        shape.m_nPercent = percent;
    }
    if constexpr (HasDirection<Shape>::value) {
        shape.m_nDirection = direction;
    }
    return polygonOf(shape);
}

using Drawn = std::optional<Points> (*)(int percent, int direction, Rect32 rect);

struct DirectionCase {
    int direction;
    Points points;
};

TEST(PolygonVertices, EachShapeAndDirection) {
    const Drawn parallelogram = drawn<CDrawParallelogram>, trapezoid = drawn<CDrawTrapezoid>,
                pentagon = drawn<CDrawPentagon>, rightTriangle = drawn<CDrawRighttrigngle>,
                arrow1 = drawn<CDrawArrow1>, arrow2 = drawn<CDrawArrow2>,
                arrow3 = drawn<CDrawArrow3>, diamond = drawn<CDrawDiamond>,
                octagon = drawn<CDrawOctagon>, cross = drawn<CDrawCross>,
                hexagon = drawn<CDrawHexagon>, star = drawn<CDrawStar>, seal = drawn<CDrawSeal>;
    const struct {
        const char* shape;
        Drawn draw;
        int percent, direction;
        Rect32 rect;
        Points points;
    } cases[] = {
        // clang-format off
        {"parallelogram", parallelogram, 33, 0, kRect, {{10, 20}, {76, 20}, {109, 69}, {43, 69}}},
        {"parallelogram", parallelogram, 33, 1, kRect, {{43, 20}, {109, 20}, {76, 69}, {10, 69}}},
        {"parallelogram", parallelogram, 33, 2, kRect, {{10, 20}, {109, 36}, {109, 69}, {10, 53}}},
        {"parallelogram", parallelogram, 33, 3, kRect, {{10, 36}, {109, 20}, {109, 53}, {10, 69}}},
        // Half the percentage off each end: 3300 / 200 = 16 on the width, 1650 / 200 = 8 on
        // the height.
        {"trapezoid", trapezoid, 33, 0, kRect, {{10, 20}, {109, 20}, {93, 69}, {26, 69}}},
        {"trapezoid", trapezoid, 33, 1, kRect, {{10, 28}, {109, 20}, {109, 69}, {10, 61}}},
        {"trapezoid", trapezoid, 33, 2, kRect, {{26, 20}, {93, 20}, {109, 69}, {10, 69}}},
        {"trapezoid", trapezoid, 33, 3, kRect, {{10, 20}, {109, 28}, {109, 61}, {10, 69}}},
        // mx = 10 + 100 / 2 = 60, my = 20 + 50 / 2 = 45.
        {"pentagon", pentagon, 33, 0, kRect, {{10, 69}, {10, 36}, {60, 20}, {109, 36}, {109, 69}}},
        {"pentagon", pentagon, 33, 1, kRect, {{10, 20}, {76, 20}, {109, 45}, {76, 69}, {10, 69}}},
        {"pentagon", pentagon, 33, 2, kRect, {{109, 20}, {109, 53}, {60, 69}, {10, 53}, {10, 20}}},
        {"pentagon", pentagon, 33, 3, kRect, {{109, 69}, {43, 69}, {10, 45}, {43, 20}, {109, 20}}},
        {"pentagon", pentagon, 40, 0, {0, 0, 100, 50}, {{0, 49}, {0, 20}, {50, 0}, {99, 20}, {99, 49}}},
        // The right angle in the named corner.
        {"right triangle", rightTriangle, 0, 0, kRect, {{10, 20}, {109, 20}, {10, 69}}},
        {"right triangle", rightTriangle, 0, 1, kRect, {{109, 20}, {109, 69}, {10, 20}}},
        {"right triangle", rightTriangle, 0, 2, kRect, {{109, 69}, {10, 69}, {109, 20}}},
        {"right triangle", rightTriangle, 0, 3, kRect, {{10, 69}, {10, 20}, {109, 69}}},
        // Block arrows narrow the shaft by an eighth or a quarter. mx = 59, my = 44; heads at
        // y 36 and 53, x 76 and 43. CDrawArrow1: e = 100 / 8 = 12 across, 50 / 8 = 6 along y.
        {"arrow1", arrow1, 33, 0, kRect, {{59, 20}, {109, 36}, {97, 36}, {97, 69}, {22, 69}, {22, 36}, {10, 36}}},
        {"arrow1", arrow1, 33, 1, kRect, {{109, 44}, {76, 69}, {76, 63}, {10, 63}, {10, 26}, {76, 26}, {76, 20}}},
        {"arrow1", arrow1, 33, 2, kRect, {{59, 69}, {10, 53}, {22, 53}, {22, 20}, {97, 20}, {97, 53}, {109, 53}}},
        {"arrow1", arrow1, 33, 3, kRect, {{10, 44}, {43, 20}, {43, 26}, {109, 26}, {109, 63}, {43, 63}, {43, 69}}},
        // CDrawArrow2: e = 25 and 12.
        {"arrow2", arrow2, 33, 0, kRect, {{59, 20}, {109, 36}, {84, 36}, {84, 69}, {35, 69}, {35, 36}, {10, 36}}},
        {"arrow2", arrow2, 33, 1, kRect, {{109, 44}, {76, 69}, {76, 57}, {10, 57}, {10, 32}, {76, 32}, {76, 20}}},
        {"arrow2", arrow2, 33, 2, kRect, {{59, 69}, {10, 53}, {35, 53}, {35, 20}, {84, 20}, {84, 53}, {109, 53}}},
        {"arrow2", arrow2, 33, 3, kRect, {{10, 44}, {43, 20}, {43, 32}, {109, 32}, {109, 57}, {43, 57}, {43, 69}}},
        // Head at hx = 99 - 30 = 69, inset e = 40 / 4 = 10.
        {"arrow2", arrow2, 30, 1, {0, 0, 100, 40}, {{99, 19}, {69, 39}, {69, 29}, {0, 29}, {0, 10}, {69, 10}, {69, 0}}},
        // The notch a third from the back.
        {"arrow3", arrow3, 0, 0, kRect, {{10, 69}, {59, 20}, {109, 69}, {59, 52}}},  // (20 + 138) / 3
        {"arrow3", arrow3, 0, 1, kRect, {{10, 20}, {109, 44}, {10, 69}, {43, 44}}},  // (109 + 20) / 3
        {"arrow3", arrow3, 0, 2, kRect, {{109, 20}, {59, 69}, {10, 20}, {59, 36}}},  // (69 + 40) / 3
        {"arrow3", arrow3, 0, 3, kRect, {{109, 69}, {10, 44}, {109, 20}, {76, 44}}}, // (10 + 218) / 3
        // mx = 10 + 99 / 2, my = 20 + 49 / 2.
        {"diamond", diamond, 0, 0, kRect, {{59, 20}, {109, 44}, {59, 69}, {10, 44}}},
        // The octagon cuts on the height and limits only the horizontal cut: c = 1650 / 200 = 8,
        // d = min(50, 8); then c = 10, d = 10; then c = 100, not limited, d = min(5, 100).
        {"octagon", octagon, 33, 0, kRect, {{18, 20}, {101, 20}, {109, 28}, {109, 61}, {101, 69}, {18, 69}, {10, 61}, {10, 28}}},
        {"octagon", octagon, 100, 0, {0, 0, 200, 20}, {{10, 0}, {189, 0}, {199, 10}, {199, 9}, {189, 19}, {10, 19}, {0, 9}, {0, 10}}},
        {"octagon", octagon, 100, 0, {0, 0, 10, 200}, {{5, 0}, {4, 0}, {9, 100}, {9, 99}, {4, 199}, {5, 199}, {0, 99}, {0, 100}}},
        // s = min(99, 49) + 1 = 50, t = 1650 / 200 = 8: arms at x 17 and 102, y 27 and 62; with
        // t = 0 the notches reach one pixel beyond each side.
        {"cross", cross, 33, 0, kRect, {{17, 20}, {102, 20}, {102, 27}, {109, 27}, {109, 62}, {102, 62}, {102, 69}, {17, 69}, {17, 62}, {10, 62}, {10, 27}, {17, 27}}},
        {"cross", cross, 0, 0, kRect, {{9, 20}, {110, 20}, {110, 19}, {109, 19}, {109, 70}, {110, 70}, {110, 69}, {9, 69}, {9, 70}, {10, 70}, {10, 19}, {9, 19}}},
        // hw = 50, hh = 25; pointed sides only for 0: a = 1650 / 100 = 16; else a = 825 / 100 = 8.
        {"hexagon", hexagon, 33, 0, kRect, {{10, 45}, {26, 20}, {93, 20}, {109, 45}, {93, 69}, {26, 69}}},
        {"hexagon", hexagon, 33, 3, kRect, {{60, 20}, {109, 28}, {109, 61}, {60, 69}, {10, 61}, {10, 28}}},
        {"hexagon", hexagon, 33, -1, kRect, {{60, 20}, {109, 28}, {109, 61}, {60, 69}, {10, 61}, {10, 28}}},
        // cx = 59, cy = 44. On the width (W * k) / 10000: 3816 -> 38, 3125 -> 31, 1941 -> 19,
        // 3802 -> 38, 6198 -> 61, 7656 -> 76, 3487 -> 34, 2796 -> 27. On the height: 3802 -> 19,
        // 6198 -> 30, 7656 -> 38, 3816 -> 19, 3125 -> 15, 1941 -> 9.
        {"star", star, 0, 0, kRect, {{59, 20}, {71, 39}, {109, 39}, {78, 50}, {90, 69}, {59, 58}, {29, 69}, {41, 50}, {10, 39}, {48, 39}}},
        {"star", star, 0, 1, kRect, {{109, 44}, {71, 50}, {71, 69}, {48, 54}, {10, 60}, {33, 44}, {10, 29}, {48, 35}, {71, 20}, {71, 39}}},
        // Not mirror-symmetric: P1 and P3 use 3487 and 2796.
        {"star", star, 0, 2, kRect, {{59, 69}, {44, 50}, {10, 50}, {37, 39}, {29, 20}, {59, 31}, {90, 20}, {78, 39}, {109, 50}, {71, 50}}},
        {"star", star, 0, 3, kRect, {{10, 44}, {48, 39}, {48, 20}, {71, 35}, {109, 29}, {86, 44}, {109, 60}, {71, 54}, {48, 69}, {48, 50}}},
        // (W * f) / 100000 and (H * f) / 100000: x 13, 3, 18, 14, 29, 30, 42; y 21, 15, 14, 7, 9,
        // 1, 6. The first quarter mirrored three times.
        {"seal", seal, 0, 0, kRect, {{10, 44}, {23, 41}, {13, 35}, {28, 34}, {24, 27}, {39, 29}, {40, 21}, {52, 26}, {59, 20}, {67, 26}, {79, 21}, {80, 29}, {95, 27}, {91, 34}, {106, 35}, {96, 41}, {109, 44}, {96, 48}, {106, 54}, {91, 55}, {95, 62}, {80, 60}, {79, 68}, {67, 63}, {59, 69}, {52, 63}, {40, 68}, {39, 60}, {24, 62}, {28, 55}, {13, 54}, {23, 48}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shape << " " << c.percent << " " << c.direction);
        EXPECT_EQ(c.draw(c.percent, c.direction, c.rect), c.points);
    }
    const std::optional<Points> square = star(0, 0, {0, 0, 100, 100});
    ASSERT_TRUE(square);
    EXPECT_EQ((*square)[1], QPoint(61, 38));
    EXPECT_EQ((*square)[5], QPoint(49, 76));
}

TEST(PolygonVertices, IsoscelesTriangleIsFilledThenStrokedAsAPath) {
    const DirectionCase cases[] = {
        {0, {{10, 20}, {109, 20}, {76, 69}}},
        {1, {{109, 20}, {109, 69}, {10, 53}}},
        {2, {{109, 69}, {10, 69}, {43, 20}}},
        {3, {{10, 69}, {10, 20}, {109, 36}}},
    };
    for (const DirectionCase& c : cases) {
        SCOPED_TRACE(c.direction);
        CDrawIsoscelestriangle triangle;
        triangle.m_rect = kRect;
        triangle.m_nPercent = 33;
        triangle.m_nDirection = c.direction;
        triangle.m_bPen = triangle.m_bBrush = 1;
        triangle.m_logPen.widthX = 2;
        triangle.m_logBrush.color = 0x0000FF00;
        const PaintRecords drawn = kestro::drawings(paint(triangle));
        ASSERT_EQ(drawn.size(), 2u);
        QPainterPath expected(c.points[0]); // back to the start by a line
        expected.lineTo(c.points[1]);
        expected.lineTo(c.points[2]);
        expected.lineTo(c.points[0]);
        EXPECT_EQ(drawn[0].path, expected);
        EXPECT_EQ(drawn[1].path, expected);
        EXPECT_EQ(drawn[0].state.pen.style(), Qt::NoPen); // filled, then stroked with the pen
        EXPECT_EQ(drawn[0].state.brush.color(), QColor(0, 0xFF, 0));
        EXPECT_EQ(drawn[1].state.pen.width(), 2);
        EXPECT_EQ(drawn[1].state.pen.capStyle(), Qt::RoundCap);
    }
    CDrawIsoscelestriangle plain; // with the fill off the fill takes a default brush
    plain.m_rect = kRect;
    const PaintRecords drawn = kestro::drawings(paint(plain));
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].state.brush.style(), Qt::NoBrush);
    EXPECT_EQ(drawn[1].state.pen.style(), Qt::NoPen);
}

struct FamilyCase {
    const char* name;
    std::function<std::unique_ptr<CDrawObj>()> make;
    bool normalises;
};

template <class T>
std::unique_ptr<CDrawObj> make() {
    return std::make_unique<T>();
}

const FamilyCase kFamily[] = {
    {"CDrawParallelogram", make<CDrawParallelogram>, false},
    {"CDrawTrapezoid", make<CDrawTrapezoid>, false},
    {"CDrawDiamond", make<CDrawDiamond>, false},
    {"CDrawOctagon", make<CDrawOctagon>, false},
    {"CDrawCross", make<CDrawCross>, true},
    {"CDrawPentagon", make<CDrawPentagon>, true},
    {"CDrawHexagon", make<CDrawHexagon>, true},
    {"CDrawIsoscelestriangle", make<CDrawIsoscelestriangle>, false},
    {"CDrawRighttrigngle", make<CDrawRighttrigngle>, false},
    {"CDrawStar", make<CDrawStar>, false},
    {"CDrawSeal", make<CDrawSeal>, false},
    {"CDrawArrow1", make<CDrawArrow1>, true},
    {"CDrawArrow2", make<CDrawArrow2>, true},
    {"CDrawArrow3", make<CDrawArrow3>, true},
};

class PolygonsTest : public HostTest {};

TEST_F(PolygonsTest, PenAndBrushOffAndOnAndTheNormalisedRectangle) {
    for (const FamilyCase& c : kFamily) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CDrawObj> object = c.make();
        object->m_rect = {110, 70, 10, 20};
        paint(*object);
        EXPECT_EQ(object->m_rect, c.normalises ? kRect : (Rect32{110, 70, 10, 20}));
        object->m_rect = kRect;
        const PaintRecord off = kestro::drawings(paint(*object)).back();
        EXPECT_EQ(off.state.pen.style(), Qt::NoPen);
        EXPECT_EQ(off.state.brush.style(), Qt::NoBrush);
        if (c.name == std::string("CDrawParallelogram")) {
            // Not Qt::NoBrush itself: the default style with an invalid colour of alpha 0.
            EXPECT_FALSE(off.state.brush.color().isValid());
            EXPECT_EQ(off.state.brush.color().alpha(), 0);
        } else if (c.name != std::string("CDrawIsoscelestriangle")) {
            EXPECT_EQ(off.state.brush, QBrush(Qt::NoBrush));
        }

        object->m_bBrush = 1;
        object->m_logBrush.style = 12;
        object->m_logBrush.color = 0x00AABBCC;
        const PaintRecord on = kestro::drawings(paint(*object)).front();
        EXPECT_EQ(on.state.brush.style(), Qt::CrossPattern);
        EXPECT_EQ(on.state.brush.color(), QColor(0xAA, 0xBB, 0xCC));
    }
}

} // namespace
