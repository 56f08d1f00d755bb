#include "kestrovalumen/shapes/solids.h"

#include "kestrovalumen/core/shapeframe.h"

#include <QLine>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxNestedOutlines = 32769;

QColor ColorOf(uint32_t word) {
    return QColor(QRgb(word));
}

} // namespace

// ---- CDrawHalfBox -------------------------------------------------------------------------

bool CDrawHalfBox::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(
        *this, buffer, kv::report::kHalfBox,
        {&m_nCornerWidth, &m_nCornerHeight, &m_bVerticalSplit, &m_bOtherHalf});
}

void CDrawHalfBox::Draw(QPainter* painter) {
    kv::FrameStyle style;
    style.brush = kv::FrameStyle::NoBrushStep; // the fill is always drawn, flag or not
    style.withCap(Qt::FlatCap);
    kv::DrawFramed(*this, painter, kv::report::kHalfBox, style, [this](QPainter* p, const QBrush&) {
        DrawBox(p, m_rect.left, m_rect.top, m_rect.right - 1, m_rect.bottom - 1);
    });
}

void CDrawHalfBox::DrawBox(QPainter* p, int x1, int y1, int x2, int y2) {
    QBrush brush;
    ApplyLogBrush(brush, m_logBrush);
    int m = 0; // odd pens sit half a pixel off, so the divider moves by one
    if (m_bPen) {
        const kv::PenInset inset = kv::PenInsetOf(p);
        x1 += inset.nearSide;
        y1 += inset.nearSide;
        x2 -= inset.farSide;
        y2 -= inset.farSide;
        m = inset.width % 2;
    } else {
        x2 -= 1;
        y2 -= 1;
    }
    const int W = x2 - x1 + 1;
    const int H = y2 - y1 + 1;
    // Halved in double: unlike the rounded rectangle, odd corner sizes keep their half pixel.
    const double rx = 0.5 * m_nCornerWidth;
    const double ry = 0.5 * m_nCornerHeight;
    const QRectF box(x1, y1, W - 1, H - 1);

    const bool vertical = m_bVerticalSplit != 0;
    const bool other = m_bOtherHalf != 0;
    QLine divider;
    if (!vertical && !other) { // bottom half filled
        divider = QLine(x1, y1 + H / 2 + m, x1 + W, y1 + H / 2 + m);
    } else if (!vertical) { // top half filled
        divider = QLine(x1, y1 + H / 2 - m, x1 + W, y1 + H / 2 - m);
    } else { // left or right half filled
        divider = QLine(x1 + W / 2 + m, y1, x1 + W / 2 + m, y1 + H);
    }
    // The clipped outline is the dear part of the draw: kept while its inputs stay.
    const QPainterPath& outline =
        m_outline.Get({static_cast<double>(x1), static_cast<double>(y1), static_cast<double>(W),
                       static_cast<double>(H), rx, ry, vertical ? 1.0 : 0.0, other ? 1.0 : 0.0},
                      [&] {
                          QRectF cut;
                          if (!vertical && !other) {
                              cut = QRectF(x1, y1, W, H / 2 + 1);
                          } else if (!vertical) {
                              cut = QRectF(x1, y1 + H / 2, W, H / 2);
                          } else if (!other) {
                              cut = QRectF(x1 + W / 2 + 1, y1, W / 2, H);
                          } else {
                              cut = QRectF(x1, y1, W / 2 + 1, H);
                          }
                          QPainterPath result;
                          result.addRoundedRect(box, rx, ry, Qt::AbsoluteSize);
                          QPainterPath cutPath;
                          cutPath.addRect(cut);
                          result -= cutPath;
                          return result;
                      });
    p->fillPath(outline, brush);

    static const QBrush kTransparent(Qt::transparent, Qt::SolidPattern);
    p->setBrush(kTransparent);
    p->drawRoundedRect(box, rx, ry, Qt::AbsoluteSize);
    p->drawLines(&divider, 1);
}

// ---- CDrawBall3D --------------------------------------------------------------------------

bool CDrawBall3D::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kBall3D,
                                {&m_nBallReserved1, &m_nBallReserved2});
}

void CDrawBall3D::Draw(QPainter* painter) {
    const kv::FrameStyle style = kv::FrameStyle().withoutPaint();
    kv::DrawFramed(*this, painter, kv::report::kBall3D, style, [this](QPainter* p, const QBrush&) {
        DrawBall(p, m_rect.left, m_rect.top, m_rect.right - 1, m_rect.bottom - 1);
    });
}

void CDrawBall3D::DrawBall(QPainter* p, int x1, int y1, int x2, int y2) {
    // One pixel up and one pixel narrower than the rectangle.
    const int bx = x1;
    const int by = y1 - 1;
    const int wb = x2 - x1;
    const int hb = y2 - y1 + 1;
    const double fx = bx;
    const double fy = by;
    const double w = wb;
    const double h = hb;
    const double kTolerance = 1e-06;

    p->save();
    p->setPen(Qt::NoPen);
    // A circle of the larger side squeezed into the box keeps the highlight round in its own
    // frame; scale and translate keep the box's top (or left) edge in place.
    enum { Wider, Taller, AsIs } shape = AsIs;
    if (w - h > kTolerance && h > 0) {
        shape = Wider;
    } else if (h - w > kTolerance && w > 0) {
        shape = Taller;
    }
    QPointF centre(fx + w / 2, fy + h / 2);
    double radius = w / 2;
    QRect box(QPoint(bx, by), QPoint(bx + wb - 1, by + hb - 1));
    if (shape == Wider) {
        centre = QPointF(fx + w / 2, fy + w / 2);
        box = QRect(QPoint(bx, by), QPoint(bx + wb - 1, by + wb - 1));
    } else if (shape == Taller) {
        centre = QPointF(fx + h / 2, fy + h / 2);
        radius = h / 2;
        box = QRect(QPoint(bx, by), QPoint(bx + hb - 1, by + hb - 1));
    }
    QRadialGradient gradient(centre, radius, centre);
    gradient.setColorAt(0, ColorOf(m_logBrush.color));
    gradient.setColorAt(1, ColorOf(m_logPen.color));
    p->setBrush(gradient);
    if (shape == Wider) {
        p->scale(1, h / w);
        p->translate(QPointF(0, (w / h - 1) * fy));
    } else if (shape == Taller) {
        p->scale(w / h, 1);
        p->translate(QPointF((h / w - 1) * fx, 0));
    }
    p->drawEllipse(box);
    p->restore();
}

// ---- CDrawCircle3D ------------------------------------------------------------------------

bool CDrawCircle3D::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kCircle3D,
                                {&m_nRingWidth, &m_nCircleReserved});
}

void CDrawCircle3D::Draw(QPainter* painter) {
    // The pen goes before the clip here, so the frame is taken step by step.
    if (!kv::BeginDraw(*this, painter, kv::report::kCircle3D)) {
        return;
    }
    painter->setPen(Qt::NoPen);
    kv::ClipOn(*this, painter);
    DrawRing(painter, m_rect.left, m_rect.top, m_rect.right - 1, m_rect.bottom - 1);
    kv::ClipOff(*this, painter);
}

void CDrawCircle3D::DrawRing(QPainter* p, int x1, int y1, int x2, int y2) {
    // The scale, the ring's path and its gradient depend on nothing else: kept between draws.
    const Ring& ring =
        m_ring.Get({static_cast<double>(x1), static_cast<double>(y1), static_cast<double>(x2),
                    static_cast<double>(y2), static_cast<double>(m_nRingWidth),
                    static_cast<double>(m_logPen.color), static_cast<double>(m_logBrush.color)},
                   [&] { return RingOf(x1, y1, x2, y2); });
    p->save();
    if (ring.scaled) {
        p->scale(ring.sx, ring.sy);
        p->translate(ring.shift);
    }
    p->fillPath(ring.path, ring.brush);
    p->restore();
}

CDrawCircle3D::Ring CDrawCircle3D::RingOf(int x1, int y1, int x2, int y2) const {
    // One pixel to the left of the rectangle.
    const int x0 = x1 - 1;
    const int T = y1;
    const int wc = x2 - x1 + 1;
    const int hc = y2 - y1 + 1;
    const double fx = x0;
    const double fy = T;
    int tx = static_cast<int>(kv::Mul32(wc, m_nRingWidth) / 1000.0);
    int ty = static_cast<int>(kv::Mul32(hc, m_nRingWidth) / 1000.0);
    tx = tx == 0 ? 1 : tx; // a ring is never thinner than a pixel
    ty = ty == 0 ? 1 : ty;
    const int ix = x0 + tx;
    const int iy = T + ty;
    const int wi = wc - 2 * tx;
    const int hi = hc - 2 * ty;
    // A tube lit along its middle: dark at both walls, the fill colour half-way between.
    const double r = static_cast<double>(wi) / wc;
    auto shade = [&](QRadialGradient& g) {
        g.setColorAt(0, Qt::transparent);
        g.setColorAt(r, ColorOf(m_logPen.color));
        g.setColorAt((1 + r) / 2, ColorOf(m_logBrush.color));
        g.setColorAt(1, ColorOf(m_logPen.color));
    };

    Ring ring;
    const QPointF centre(fx + wc / 2, fy + hc / 2);
    QRadialGradient gradient;
    QPainterPath& path = ring.path;
    if (wc > hc && hc > 0) {
        gradient = QRadialGradient(centre, wc / 2);
        ring.scaled = true;
        ring.sx = 1;
        ring.sy = static_cast<double>(hc) / wc;
        ring.shift =
            QPointF(0, kv::TruncSaturate32((static_cast<double>(wc) / hc - 1) * (hc / 2 + T)));
        path.addEllipse(QRectF(ix, iy - (wi - hi) / 2, wi, wi - 1));
        path.addEllipse(QRectF(x0, T - (wc - hc) / 2, wc, wc - 1));
    } else if (hc > wc && wc > 0) {
        gradient = QRadialGradient(centre, hc / 2);
        ring.scaled = true;
        ring.sx = static_cast<double>(wc) / hc;
        ring.sy = 1;
        ring.shift =
            QPointF(kv::TruncSaturate32((static_cast<double>(hc) / wc - 1) * (wc / 2 + x0)), 0);
        path.addEllipse(QRectF(x0 - (hc - wc) / 2 + 1, T - 1, hc - 1, hc));
        path.addEllipse(QRectF(ix - (hi - wi) / 2 + 1, iy - 1, hi - 1, hi));
    } else {
        gradient = QRadialGradient(centre, wc / 2);
        path.addEllipse(QRectF(x0, T - 1, wc, hc));
        path.addEllipse(QRectF(ix, iy - 1, wi, hi));
    }
    shade(gradient);
    path.setFillRule(Qt::OddEvenFill); // the inner ellipse is the hole
    ring.brush = QBrush(gradient);
    return ring;
}

// ---- CDrawPentagon3D ----------------------------------------------------------------------

bool CDrawPentagon3D::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kPentagon3D,
                                {&m_nPercent, &m_nDirection});
}

namespace {

//! The start pentagon pointing in direction dir (0 up, 1 right, 2 down, 3 left) in the
//! rectangle; false for any other direction.
bool StartPentagon(const Rect32& r, int dir, int percent, QPoint P[5]) {
    const int L = r.left;
    const int T = r.top;
    const int R = r.right;
    const int B = r.bottom;
    auto percentOf = [percent](int length) { return kv::Mul32(length, percent) / 100; };
    switch (dir) {
    case 0: // up
        P[0] = {L, B - 1};
        P[1] = {L, T + percentOf(B - T)};
        P[2] = {(L + R) / 2, T + 1};
        P[3] = {R - 1, T + percentOf(B - T)};
        P[4] = {R - 1, B - 1};
        return true;
    case 1: // right
        P[0] = {L + 1, T};
        P[1] = {R - percentOf(R - L), T};
        P[2] = {R - 1, (T + B) / 2};
        P[3] = {R - percentOf(R - L), B - 1};
        P[4] = {L + 1, B - 1};
        return true;
    case 2: // down
        P[0] = {R - 1, T + 1};
        P[1] = {R - 1, B - percentOf(B - T)};
        P[2] = {(L + R) / 2, B - 1};
        P[3] = {L, B - percentOf(B - T)};
        P[4] = {L, T + 1};
        return true;
    case 3: // left
        P[0] = {R - 1, B - 1};
        P[1] = {L + percentOf(R - L), B - 1};
        P[2] = {L + 1, (T + B) / 2};
        P[3] = {L + percentOf(R - L), T};
        P[4] = {R - 1, T};
        return true;
    default:
        return false;
    }
}

//! Per colour byte (lowest first), the outline colour's and the change per nested outline in
//! hundredths toward the fill colour over an extent E.
struct OutlineColors {
    int pen[3];
    int step[3];
};

OutlineColors OutlineColorsOf(uint32_t penColor, uint32_t brushColor, int E) {
    OutlineColors colors;
    for (int b = 0; b < 3; ++b) {
        colors.pen[b] = static_cast<int>((penColor >> (8 * b)) & 0xFF);
        const int brush = static_cast<int>((brushColor >> (8 * b)) & 0xFF);
        colors.step[b] = MulDiv(brush - colors.pen[b], 200, E);
    }
    return colors;
}

//! The nested outlines from the start pentagon P inward, over an extent E, each a colour step
//! further from the outline colour.
void DrawNestedOutlines(QPainter* p, QPoint P[5], int dir, int E, const OutlineColors& colors) {
    const int* pen = colors.pen;
    const int* step = colors.step;
    // Moves of P0/P1 and of P3/P4 per outline; the tip P2 stays.
    static const QPoint kShrink[4][2] = {
        {{1, 0}, {-1, 0}}, // up: the sides close in horizontally
        {{0, 1}, {0, -1}}, // right
        {{-1, 0}, {1, 0}}, // down
        {{0, -1}, {0, 1}}, // left
    };
    int sum[3] = {0, 0, 0};
    // One outline per pixel of half the extent; no device is wider than 32767 pixels, so past
    // 32769 outlines (an extent of 65534) a damaged rectangle would only ask for millions of
    // draws nobody sees.
    const int outlines = std::min(E / 2 + 2, kMaxNestedOutlines);
    for (int k = 0; k < outlines; ++k) {
        uint32_t word = 0;
        for (int b = 0; b < 3; ++b) {
            const int byte = std::clamp(pen[b] + sum[b] / 100, 0, 255);
            word |= static_cast<uint32_t>(byte) << (8 * b);
            sum[b] += step[b];
        }
        QPen outlinePen(ColorOf(word));
        outlinePen.setWidth(0); // cosmetic, one pixel whatever the transform
        p->setPen(outlinePen);
        if (dir == 0) {
            for (int i = 0; i < 5; ++i) {
                const QLine side(P[i], P[(i + 1) % 5]);
                p->drawLines(&side, 1);
            }
        } else {
            p->drawPolygon(P, 5, Qt::OddEvenFill);
        }
        P[0] += kShrink[dir][0];
        P[1] += kShrink[dir][0];
        P[3] += kShrink[dir][1];
        P[4] += kShrink[dir][1];
    }
}

} // namespace

void CDrawPentagon3D::Draw(QPainter* painter) {
    const kv::FrameStyle style = kv::FrameStyle().withoutPaint();
    kv::DrawFramed(
        *this, painter, kv::report::kPentagon3D, style, [this](QPainter* p, const QBrush&) {
            p->setBrush(Qt::NoBrush);
            const int dir = m_nDirection;
            const bool across = dir == 1 || dir == 3;
            const int E = across ? m_rect.bottom - m_rect.top : m_rect.right - m_rect.left;
            // The steps come first: a flat rectangle logs its division by zero whatever the
            // direction.
            const OutlineColors colors = OutlineColorsOf(m_logPen.color, m_logBrush.color, E);
            QPoint P[5];
            if (StartPentagon(m_rect, dir, m_nPercent, P)) {
                DrawNestedOutlines(p, P, dir, E, colors);
            }
        });
}

// ---- CDrawCube ----------------------------------------------------------------------------

bool CDrawCube::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kCube,
                                {&m_nPercent, &m_bFrontLeft, &m_bFrontBottom});
}

void CDrawCube::Draw(QPainter* painter) {
    kv::FrameStyle style;
    style.withJoin(Qt::BevelJoin).withCap(Qt::RoundCap);
    kv::DrawFramed(*this, painter, kv::report::kCube, style, [this](QPainter* p, const QBrush&) {
        const int x1 = m_rect.left;
        const int y1 = m_rect.top;
        const int x2 = m_rect.right - 1;
        const int y2 = m_rect.bottom - 1;
        const int height = m_rect.bottom - m_rect.top;
        const int d = kv::Mul32(height, m_nPercent) / 100; // front face size
        const int s = height - d;                          // depth offset
        QPoint P[9];
        if (!m_bFrontBottom && m_bFrontLeft) { // front top-left
            const QPoint table[9] = {{x1, y1 + d - 1},     {x1 + s, y2},     {x2, y2},
                                     {x2 - s, y1 + d - 1}, {x1, y1 + d - 1}, {x1, y1},
                                     {x2 - s, y1},         {x2, y2 - d},     {x2, y2}};
            std::copy(table, table + 9, P);
        } else if (!m_bFrontBottom) { // front top-right
            const QPoint table[9] = {{x2, y1 + d - 1},     {x2 - s, y2},     {x1, y2},
                                     {x1 + s, y1 + d - 1}, {x2, y1 + d - 1}, {x2, y1},
                                     {x1 + s, y1},         {x1, y2 - d},     {x1, y2}};
            std::copy(table, table + 9, P);
        } else if (m_bFrontLeft) { // front bottom-left
            const QPoint table[9] = {
                {x2, y1},        {x1 + s - 1, y1}, {x1, y2 - d + 1}, {x2 - s, y2 - d + 1},
                {x2, y1},        {x2, y1 + d - 1}, {x2 - s, y2},     {x1, y2},
                {x1, y2 - d + 1}};
            std::copy(table, table + 9, P);
        } else { // front bottom-right
            const QPoint table[9] = {
                {x1, y1},     {x2 - s, y1}, {x2, y2 - d + 1}, {x1 + s, y2 - d + 1}, {x1, y1},
                {x1, y1 + d}, {x1 + s, y2}, {x2, y2},         {x2, y2 - d + 1}};
            std::copy(table, table + 9, P);
        }
        const QPoint silhouette[6] = {P[5], P[6], P[7], P[8], P[1], P[0]};
        p->drawPolygon(silhouette, 6, Qt::OddEvenFill);
        p->drawPolyline(P, 9);
        const QLine backEdge(P[3], P[6]);
        p->drawLines(&backEdge, 1);
    });
}
