#include "kestrovalumen/shapes/polygons.h"

#include "kestrovalumen/core/shapeframe.h"

#include <QPainterPath>
#include <QPoint>

#include <algorithm>
#include <array>
#include <optional>

namespace {

using kv::FrameStyle;

constexpr std::nullopt_t kNone = std::nullopt; // Qt's default cap or join stays

struct PolygonKind {
    const kv::ShapeInfo& info;
    std::optional<Qt::PenCapStyle> cap;
    std::optional<Qt::PenJoinStyle> join;
    bool normalises; //!< orders the stored rectangle before drawing
};

enum Kind {
    kParallelogram,
    kTrapezoid,
    kDiamond,
    kOctagon,
    kCross,
    kPentagon,
    kHexagon,
    kIsosceles,
    kRightTriangle,
    kStar,
    kSeal,
    kArrow1,
    kArrow2,
    kArrow3,
};

// clang-format off
const PolygonKind kKinds[] = {
    // reports                          cap           join           normalises
    {kv::report::kParallelogram,     kNone,        kNone,         false},
    {kv::report::kTrapezoid,         kNone,        Qt::RoundJoin, false},
    {kv::report::kDiamond,           kNone,        kNone,         false},
    {kv::report::kOctagon,           kNone,        Qt::BevelJoin, false},
    {kv::report::kCross,             kNone,        kNone,         true},
    {kv::report::kPentagon,          Qt::FlatCap,  kNone,         true},
    {kv::report::kHexagon,           Qt::RoundCap, Qt::RoundJoin, true},
    {kv::report::kIsoscelesTriangle, Qt::RoundCap, Qt::RoundJoin, false},
    {kv::report::kRightTriangle,     Qt::RoundCap, Qt::RoundJoin, false},
    {kv::report::kStar,              Qt::RoundCap, Qt::RoundJoin, false},
    {kv::report::kSeal,              Qt::FlatCap,  Qt::RoundJoin, false},
    {kv::report::kArrow1,            Qt::RoundCap, Qt::RoundJoin, true},
    {kv::report::kArrow2,            Qt::RoundCap, Qt::RoundJoin, true},
    {kv::report::kArrow3,            Qt::RoundCap, Qt::RoundJoin, true},
};
// clang-format on

FrameStyle StyleOf(const PolygonKind& kind) {
    FrameStyle style;
    if (kind.cap) {
        style.withCap(*kind.cap);
    }
    if (kind.join) {
        style.withJoin(*kind.join);
    }
    return style;
}

// Inclusive corners and the extent of the rectangle.
struct Box {
    int x1, y1, x2, y2;
    int W, H; // x2 - x1 + 1 and y2 - y1 + 1
};

Box BoxOf(const Rect32& r) {
    return {r.left, r.top, r.right - 1, r.bottom - 1, r.right - r.left, r.bottom - r.top};
}

// "p% of W" and its kin: a 32-bit product, then truncating division.
int Scaled(int whole, int factor, int divisor) {
    return kv::Mul32(whole, factor) / divisor;
}

//! The vertices of one draw; no vertices means nothing is drawn.
struct Outline {
    std::array<QPoint, 32> points;
    int count = 0;
};

Outline OutlineOf(std::initializer_list<QPoint> points) {
    Outline outline;
    std::copy(points.begin(), points.end(), outline.points.begin());
    outline.count = static_cast<int>(points.size());
    return outline;
}

//! The row of a per-direction table; an orientation outside 0 to 3 has none.
template <std::size_t N>
Outline ByDirection(const QPoint (&table)[4][N], int direction) {
    Outline outline;
    if (direction >= 0 && direction <= 3) {
        std::copy(std::begin(table[direction]), std::end(table[direction]), outline.points.begin());
        outline.count = static_cast<int>(N);
    }
    return outline;
}

//! The drawing frame around a polygon whose vertices come from the (ordered) rectangle.
template <class Vertices>
void DrawPolygonKind(CDrawObj& object, QPainter* painter, Kind which, Vertices&& vertices,
                     FrameStyle::Brush brushMode = FrameStyle::BrushFromFlags) {
    const PolygonKind& kind = kKinds[which];
    FrameStyle style = StyleOf(kind);
    style.brush = brushMode;
    kv::DrawFramed(object, painter, kind.info, style, [&](QPainter* p, const QBrush&) {
        if (kind.normalises) {
            kv::NormalizeRect(object.m_rect);
        }
        const Outline outline = vertices(BoxOf(object.m_rect));
        if (outline.count > 0) {
            p->drawPolygon(outline.points.data(), outline.count, Qt::OddEvenFill);
        }
    });
}

Outline ParallelogramVertices(const Box& b, int percent, int direction) {
    const int aw = Scaled(b.W, percent, 100);
    const int ah = Scaled(b.H, percent, 100);
    const QPoint table[4][4] = {
        {{b.x1, b.y1}, {b.x2 - aw, b.y1}, {b.x2, b.y2}, {b.x1 + aw, b.y2}},
        {{b.x1 + aw, b.y1}, {b.x2, b.y1}, {b.x2 - aw, b.y2}, {b.x1, b.y2}},
        {{b.x1, b.y1}, {b.x2, b.y1 + ah}, {b.x2, b.y2}, {b.x1, b.y2 - ah}},
        {{b.x1, b.y1 + ah}, {b.x2, b.y1}, {b.x2, b.y2 - ah}, {b.x1, b.y2}},
    };
    return ByDirection(table, direction);
}

Outline TrapezoidVertices(const Box& b, int percent, int direction) {
    // Half the percentage comes off each end of the narrow side.
    const int aw = Scaled(b.W, percent, 200);
    const int ah = Scaled(b.H, percent, 200);
    const QPoint table[4][4] = {
        {{b.x1, b.y1}, {b.x2, b.y1}, {b.x2 - aw, b.y2}, {b.x1 + aw, b.y2}},
        {{b.x1, b.y1 + ah}, {b.x2, b.y1}, {b.x2, b.y2}, {b.x1, b.y2 - ah}},
        {{b.x1 + aw, b.y1}, {b.x2 - aw, b.y1}, {b.x2, b.y2}, {b.x1, b.y2}},
        {{b.x1, b.y1}, {b.x2, b.y1 + ah}, {b.x2, b.y2 - ah}, {b.x1, b.y2}},
    };
    return ByDirection(table, direction);
}

Outline DiamondVertices(const Box& b) {
    const int mx = b.x1 + (b.x2 - b.x1) / 2;
    const int my = b.y1 + (b.y2 - b.y1) / 2;
    return OutlineOf({{mx, b.y1}, {b.x2, my}, {mx, b.y2}, {b.x1, my}});
}

Outline OctagonVertices(const Box& b, int percent) {
    // The cut is measured on the height; only its horizontal part is limited, by half the width.
    const int c = Scaled(b.H, percent, 200);
    const int d = std::min(b.W / 2, c);
    // clang-format off
    return OutlineOf({{b.x1 + d, b.y1}, {b.x2 - d, b.y1}, {b.x2, b.y1 + c}, {b.x2, b.y2 - c},
                      {b.x2 - d, b.y2}, {b.x1 + d, b.y2}, {b.x1, b.y2 - c}, {b.x1, b.y1 + c}});
    // clang-format on
}

Outline CrossVertices(const Box& b, int percent) {
    const int s = std::min(b.x2 - b.x1, b.y2 - b.y1) + 1;
    const int t = Scaled(s, percent, 200);
    const int l = b.x1 + t - 1, r = b.x2 - t + 1; // the arms' sides
    const int u = b.y1 + t - 1, d = b.y2 - t + 1;
    // clang-format off
    return OutlineOf({{l, b.y1}, {r, b.y1}, {r, u}, {b.x2, u}, {b.x2, d}, {r, d},
                      {r, b.y2}, {l, b.y2}, {l, d}, {b.x1, d}, {b.x1, u}, {l, u}});
    // clang-format on
}

Outline PentagonVertices(const Box& b, int percent, int direction) {
    const int h = Scaled(b.H, percent, 100);
    const int v = Scaled(b.W, percent, 100);
    const int mx = b.x1 + b.W / 2;
    const int my = b.y1 + b.H / 2;
    const QPoint table[4][5] = {
        {{b.x1, b.y2}, {b.x1, b.y1 + h}, {mx, b.y1}, {b.x2, b.y1 + h}, {b.x2, b.y2}},
        {{b.x1, b.y1}, {b.x2 - v, b.y1}, {b.x2, my}, {b.x2 - v, b.y2}, {b.x1, b.y2}},
        {{b.x2, b.y1}, {b.x2, b.y2 - h}, {mx, b.y2}, {b.x1, b.y2 - h}, {b.x1, b.y1}},
        {{b.x2, b.y2}, {b.x1 + v, b.y2}, {b.x1, my}, {b.x1 + v, b.y1}, {b.x2, b.y1}},
    };
    return ByDirection(table, direction);
}

Outline HexagonVertices(const Box& b, int percent, int direction) {
    const int hw = b.W / 2;
    const int hh = b.H / 2;
    // clang-format off
    if (direction != 0) { // pointed top and bottom
        const int a = Scaled(hh, percent, 100);
        return OutlineOf({{b.x1 + hw, b.y1}, {b.x2, b.y1 + a}, {b.x2, b.y2 - a},
                          {b.x1 + hw, b.y2}, {b.x1, b.y2 - a}, {b.x1, b.y1 + a}});
    }
    const int a = Scaled(hw, percent, 100); // pointed left and right
    return OutlineOf({{b.x1, b.y1 + hh}, {b.x1 + a, b.y1}, {b.x2 - a, b.y1},
                      {b.x2, b.y1 + hh}, {b.x2 - a, b.y2}, {b.x1 + a, b.y2}});
    // clang-format on
}

Outline RightTriangleVertices(const Box& b, int direction) {
    // The right angle sits in the corner named by the direction, first in each row.
    const QPoint table[4][3] = {
        {{b.x1, b.y1}, {b.x2, b.y1}, {b.x1, b.y2}}, // top-left
        {{b.x2, b.y1}, {b.x2, b.y2}, {b.x1, b.y1}}, // top-right
        {{b.x2, b.y2}, {b.x1, b.y2}, {b.x2, b.y1}}, // bottom-right
        {{b.x1, b.y2}, {b.x1, b.y1}, {b.x2, b.y2}}, // bottom-left
    };
    return ByDirection(table, direction);
}

Outline IsoscelesVertices(const Box& b, int percent, int direction) {
    const int pw = Scaled(b.W, percent, 100);
    const int ph = Scaled(b.H, percent, 100);
    const QPoint table[4][3] = {
        {{b.x1, b.y1}, {b.x2, b.y1}, {b.x2 - pw, b.y2}}, // base at the top
        {{b.x2, b.y1}, {b.x2, b.y2}, {b.x1, b.y2 - ph}}, // base at the right
        {{b.x2, b.y2}, {b.x1, b.y2}, {b.x1 + pw, b.y1}}, // base at the bottom
        {{b.x1, b.y2}, {b.x1, b.y1}, {b.x2, b.y1 + ph}}, // base at the left
    };
    return ByDirection(table, direction);
}

// A block arrow; the shaft is narrowed by W / insetDivisor (H / insetDivisor) on each side.
Outline BlockArrowVertices(const Box& b, int percent, int direction, int insetDivisor) {
    const int mx = (b.x1 + b.x2) / 2;
    const int my = (b.y1 + b.y2) / 2;
    const int ew = b.W / insetDivisor; // up and down
    const int eh = b.H / insetDivisor; // right and left
    const int hyUp = b.y1 + Scaled(b.H, percent, 100);
    const int hxRight = b.x2 - Scaled(b.W, percent, 100);
    const int hyDown = b.y2 - Scaled(b.H, percent, 100);
    const int hxLeft = b.x1 + Scaled(b.W, percent, 100);
    const QPoint table[4][7] = {
        {{mx, b.y1},
         {b.x2, hyUp},
         {b.x2 - ew, hyUp},
         {b.x2 - ew, b.y2},
         {b.x1 + ew, b.y2},
         {b.x1 + ew, hyUp},
         {b.x1, hyUp}},
        {{b.x2, my},
         {hxRight, b.y2},
         {hxRight, b.y2 - eh},
         {b.x1, b.y2 - eh},
         {b.x1, b.y1 + eh},
         {hxRight, b.y1 + eh},
         {hxRight, b.y1}},
        {{mx, b.y2},
         {b.x1, hyDown},
         {b.x1 + ew, hyDown},
         {b.x1 + ew, b.y1},
         {b.x2 - ew, b.y1},
         {b.x2 - ew, hyDown},
         {b.x2, hyDown}},
        {{b.x1, my},
         {hxLeft, b.y1},
         {hxLeft, b.y1 + eh},
         {b.x2, b.y1 + eh},
         {b.x2, b.y2 - eh},
         {hxLeft, b.y2 - eh},
         {hxLeft, b.y2}},
    };
    return ByDirection(table, direction);
}

Outline NotchedArrowVertices(const Box& b, int direction) {
    // The notch sits one third of the length from the back.
    const int mx = (b.x1 + b.x2) / 2;
    const int my = (b.y1 + b.y2) / 2;
    const QPoint table[4][4] = {
        {{b.x1, b.y2}, {mx, b.y1}, {b.x2, b.y2}, {mx, (b.y1 + 2 * b.y2) / 3}},
        {{b.x1, b.y1}, {b.x2, my}, {b.x1, b.y2}, {(b.x2 + 2 * b.x1) / 3, my}},
        {{b.x2, b.y1}, {mx, b.y2}, {b.x1, b.y1}, {mx, (b.y2 + 2 * b.y1) / 3}},
        {{b.x2, b.y2}, {b.x1, my}, {b.x2, b.y1}, {(b.x1 + 2 * b.x2) / 3, my}},
    };
    return ByDirection(table, direction);
}

Outline StarVertices(const Box& b, int direction) {
    const int x1 = b.x1, y1 = b.y1, x2 = b.x2, y2 = b.y2;
    const int cx = (x1 + x2) / 2;
    const int cy = (y1 + y2) / 2;
    // Offsets in 1/10000 of the width or the height, from the edge each is named after.
    const auto L = [&b](int f) { return b.x1 + Scaled(b.W, f, 10000); };
    const auto R = [&b](int f) { return b.x2 - Scaled(b.W, f, 10000); };
    const auto T = [&b](int f) { return b.y1 + Scaled(b.H, f, 10000); };
    const auto B = [&b](int f) { return b.y2 - Scaled(b.H, f, 10000); };
    // Tips and inner corners alternate. Downward, the inner corners P1 and P3 use 3487 and 2796
    // rather than the mirror images of P9 and P7: that star is not symmetric.
    // clang-format off
    const QPoint byPoint[10][4] = {
        //  0 up                1 right             2 down              3 left
        {{cx, y1},           {x2, cy},           {cx, y2},           {x1, cy}},
        {{R(3816), T(3802)}, {R(3802), B(3816)}, {L(3487), B(3802)}, {L(3802), T(3816)}},
        {{x2, T(3802)},      {R(3802), y2},      {x1, B(3802)},      {L(3802), y1}},
        {{R(3125), T(6198)}, {R(6198), B(3125)}, {L(2796), B(6198)}, {L(6198), T(3125)}},
        {{R(1941), y2},      {x1, B(1941)},      {L(1941), y1},      {x2, T(1941)}},
        {{cx, T(7656)},      {R(7656), cy},      {cx, B(7656)},      {L(7656), cy}},
        {{L(1941), y2},      {x1, T(1941)},      {R(1941), y1},      {x2, B(1941)}},
        {{L(3125), T(6198)}, {R(6198), T(3125)}, {R(3125), B(6198)}, {L(6198), B(3125)}},
        {{x1, T(3802)},      {R(3802), y1},      {x2, B(3802)},      {L(3802), y2}},
        {{L(3816), T(3802)}, {R(3802), T(3816)}, {R(3816), B(3802)}, {L(3802), B(3816)}},
    };
    // clang-format on
    Outline outline;
    if (direction >= 0 && direction <= 3) {
        for (int i = 0; i < 10; ++i) {
            outline.points[i] = byPoint[i][direction];
        }
        outline.count = 10;
    }
    return outline;
}

Outline SealVertices(const Box& b) {
    // The first quarter's seven points, in 1/100000 of the width and the height; the other
    // quarters mirror them.
    static const int kQuarter[7][2] = {{13115, 42723}, {3672, 30845},  {18885, 29061},
                                       {14689, 14554}, {29180, 18779}, {30230, 3756},
                                       {42689, 13146}};
    const auto fx = [&b](int i) { return Scaled(b.W, kQuarter[i - 1][0], 100000); };
    const auto fy = [&b](int i) { return Scaled(b.H, kQuarter[i - 1][1], 100000); };
    const int cx = (b.x1 + b.x2) / 2;
    const int cy = (b.y1 + b.y2) / 2;

    Outline outline;
    outline.count = 32;
    QPoint* p = outline.points.data();
    p[0] = {b.x1, cy};
    p[8] = {cx, b.y1};
    p[16] = {b.x2, cy};
    p[24] = {cx, b.y2};
    for (int i = 1; i <= 7; ++i) {
        p[i] = {b.x1 + fx(i), b.y1 + fy(i)};
        p[16 - i] = {b.x2 - fx(i), b.y1 + fy(i)};
        p[16 + i] = {b.x2 - fx(i), b.y2 - fy(i)};
        p[32 - i] = {b.x1 + fx(i), b.y2 - fy(i)};
    }
    return outline;
}

//! The record frame with the kind's int32 fields in stream order.
bool LoadKind(CDrawObj& object, FF::utils::IBuffer* buffer, Kind which,
              std::initializer_list<int32_t*> fields) {
    return kv::LoadRecordFields(object, buffer, kKinds[which].info, fields);
}

} // namespace

void CDrawParallelogram::Draw(QPainter* painter) {
    // With the fill off the brush keeps its no-fill style but gets an invalid colour.
    DrawPolygonKind(
        *this, painter, kParallelogram,
        [this](const Box& b) { return ParallelogramVertices(b, m_nPercent, m_nDirection); },
        FrameStyle::BrushInvalidWhenOff);
}

bool CDrawParallelogram::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kParallelogram, {&m_nPercent, &m_nDirection});
}

void CDrawTrapezoid::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kTrapezoid, [this](const Box& b) {
        return TrapezoidVertices(b, m_nPercent, m_nDirection);
    });
}

bool CDrawTrapezoid::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kTrapezoid, {&m_nPercent, &m_nDirection});
}

void CDrawDiamond::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kDiamond, DiamondVertices);
}

void CDrawOctagon::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kOctagon,
                    [this](const Box& b) { return OctagonVertices(b, m_nPercent); });
}

bool CDrawOctagon::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kOctagon, {&m_nPercent});
}

void CDrawCross::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kCross,
                    [this](const Box& b) { return CrossVertices(b, m_nPercent); });
}

bool CDrawCross::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kCross, {&m_nPercent});
}

void CDrawPentagon::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kPentagon,
                    [this](const Box& b) { return PentagonVertices(b, m_nPercent, m_nDirection); });
}

bool CDrawPentagon::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kPentagon, {&m_nPercent, &m_nDirection});
}

void CDrawHexagon::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kHexagon,
                    [this](const Box& b) { return HexagonVertices(b, m_nPercent, m_nDirection); });
}

bool CDrawHexagon::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kHexagon, {&m_nPercent, &m_nDirection});
}

void CDrawIsoscelestriangle::Draw(QPainter* painter) {
    // Drawn as a path: filled with the frame's brush (a default one with the fill off), then
    // stroked.
    kv::DrawFramed(*this, painter, kKinds[kIsosceles].info, StyleOf(kKinds[kIsosceles]),
                   [this](QPainter* p, const QBrush& brush) {
                       const Outline outline =
                           IsoscelesVertices(BoxOf(m_rect), m_nPercent, m_nDirection);
                       if (outline.count == 0) {
                           return;
                       }
                       const QPoint* v = outline.points.data();
                       const QPainterPath& path = m_path.Get(
                           {static_cast<double>(v[0].x()), static_cast<double>(v[0].y()),
                            static_cast<double>(v[1].x()), static_cast<double>(v[1].y()),
                            static_cast<double>(v[2].x()), static_cast<double>(v[2].y())},
                           [v] {
                               QPainterPath built;
                               built.moveTo(v[0]);
                               built.lineTo(v[1]);
                               built.lineTo(v[2]);
                               // Back to the start by a line: the subpath stays open.
                               built.lineTo(v[0]);
                               return built;
                           });
                       p->fillPath(path, brush);
                       p->drawPath(path);
                   });
}

bool CDrawIsoscelestriangle::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kIsosceles, {&m_nPercent, &m_nDirection});
}

void CDrawRighttrigngle::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kRightTriangle,
                    [this](const Box& b) { return RightTriangleVertices(b, m_nDirection); });
}

bool CDrawRighttrigngle::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kRightTriangle, {&m_nDirection});
}

void CDrawStar::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kStar,
                    [this](const Box& b) { return StarVertices(b, m_nDirection); });
}

bool CDrawStar::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kStar, {&m_nDirection});
}

void CDrawSeal::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kSeal, SealVertices);
}

void CDrawArrow1::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kArrow1, [this](const Box& b) {
        return BlockArrowVertices(b, m_nPercent, m_nDirection, 8);
    });
}

bool CDrawArrow1::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kArrow1, {&m_nPercent, &m_nDirection});
}

void CDrawArrow2::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kArrow2, [this](const Box& b) {
        return BlockArrowVertices(b, m_nPercent, m_nDirection, 4);
    });
}

bool CDrawArrow2::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kArrow2, {&m_nPercent, &m_nDirection});
}

void CDrawArrow3::Draw(QPainter* painter) {
    DrawPolygonKind(*this, painter, kArrow3,
                    [this](const Box& b) { return NotchedArrowVertices(b, m_nDirection); });
}

bool CDrawArrow3::deserialize(FF::utils::IBuffer* buffer) {
    return LoadKind(*this, buffer, kArrow3, {&m_nDirection});
}
