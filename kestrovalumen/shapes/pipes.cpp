#include "kestrovalumen/shapes/pipes.h"

#include "kestrovalumen/core/shapeframe.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace {

using PipeGradient = kv::DrawCache<QBrush, 6>;

//! Sets the pipe gradient from one point to another as the brush and returns it: outline
//! colour at both walls, fill colour along the middle, whatever the line and fill flags say.
//! The brush is kept between draws while its points and colours stay.
const QBrush& SetPipeGradient(QPainter* p, const CDrawObj& pipe, const QPointF& from,
                              const QPointF& to, PipeGradient& cache) {
    const uint32_t pen = pipe.m_logPen.color;
    const uint32_t fill = pipe.m_logBrush.color;
    const QBrush& brush = cache.Get(
        {from.x(), from.y(), to.x(), to.y(), static_cast<double>(pen), static_cast<double>(fill)},
        [&] {
            QLinearGradient gradient(from, to);
            gradient.setColorAt(0.0, QColor(QRgb(pen)));
            gradient.setColorAt(0.5, QColor(QRgb(fill)));
            gradient.setColorAt(1.0, QColor(QRgb(pen)));
            return QBrush(gradient);
        });
    p->setBrush(brush);
    return brush;
}

//! The straight pipe of both registered kinds.
void DrawStraightPipe(const CDrawObj& pipe, bool horizontal, QPainter* painter,
                      const kv::ShapeInfo& info, PipeGradient& cache) {
    const kv::FrameStyle style = kv::FrameStyle().withoutPaint();
    kv::DrawFramed(
        pipe, painter, info, style, [&pipe, horizontal, &cache](QPainter* p, const QBrush&) {
            const int L = pipe.m_rect.left;
            const int T = pipe.m_rect.top;
            const int x2 = pipe.m_rect.right - 1;
            const int y2 = pipe.m_rect.bottom - 1;
            // The coordinate along the run does not change the colours.
            if (horizontal) {
                SetPipeGradient(p, pipe, QPointF(L + x2 / 2, T), QPointF(L + x2 / 2, y2), cache);
            } else {
                SetPipeGradient(p, pipe, QPointF(L, T + y2 / 2), QPointF(x2, T + y2 / 2), cache);
            }
            p->setPen(Qt::NoPen);
            const QRect body(QPoint(L, T), QPoint(pipe.m_rect.right - 2, pipe.m_rect.bottom - 2));
            p->drawRects(&body, 1);
        });
}

//! The flat panel of the three plane kinds, which differ only in the frame's edge style.
void DrawPlane(const CDrawObj& plane, unsigned edgeStyle, QPainter* painter,
               const kv::ShapeInfo& info) {
    kv::FrameStyle style;
    style.withCap(Qt::FlatCap).withJoin(Qt::MiterJoin);
    kv::DrawFramed(plane, painter, info, style,
                   [&plane, edgeStyle](QPainter* p, const QBrush& brush) {
                       const int L = plane.m_rect.left;
                       const int T = plane.m_rect.top;
                       const int x2 = plane.m_rect.right - 1;
                       const int bottom = plane.m_rect.bottom - 2;
                       // With the fill off the frame's brush is the default one: nothing filled.
                       p->fillRect(QRect(QPoint(L, T), QPoint(x2, bottom)), brush);
                       DrawEdge(p, L, T, x2, bottom, edgeStyle);
                   });
}

//! A leg's thickness at the current size: the 32-bit product divided in floating point.
int ScaledThickness(int size, int thick, int designLow, int designHigh) {
    if (size == 0 || designLow == designHigh) {
        return 0;
    }
    const double scaled = kv::Mul32(size, thick) / (static_cast<double>(designHigh) - designLow);
    return kv::TruncSaturate32(scaled);
}

} // namespace

// ---- Straight pipes -----------------------------------------------------------------------

bool CDrawPipe1::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kPipe1, {&m_bHorizontal});
}

void CDrawPipe1::Draw(QPainter* painter) {
    DrawStraightPipe(*this, m_bHorizontal != 0, painter, kv::report::kPipe1, m_gradient);
}

bool CDrawPipe2::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kPipe2, {&m_bHorizontal});
}

void CDrawPipe2::Draw(QPainter* painter) {
    DrawStraightPipe(*this, m_bHorizontal != 0, painter, kv::report::kPipe2, m_gradient);
}

// ---- CDrawPipe3 ---------------------------------------------------------------------------

bool CDrawPipe3::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFramed(*this, buffer, kv::report::kPipe3, [this](FF::utils::IBuffer* b) {
        uint16_t elbow = 0;
        if (!kv::ReadValue(b, &elbow)) {
            return false;
        }
        m_nElbowType = elbow;
        if (!kv::ReadValue(b, &m_nHorzThick) || !kv::ReadValue(b, &m_nVertThick)) {
            return false;
        }
        m_rcDesign = m_rect;
        return true;
    });
}

void CDrawPipe3::ToAbsolute(int x1, int y1, int x2, int y2) {
    CDrawObj::ToAbsolute(x1, y1, x2, y2);
    if (m_bFirstAbsolute) {
        m_bFirstAbsolute = 0;
        m_rcDesign = m_rect;
    }
}

void CDrawPipe3::Draw(QPainter* painter) {
    const kv::FrameStyle style = kv::FrameStyle().withoutPaint();
    kv::DrawFramed(*this, painter, kv::report::kPipe3, style, [this](QPainter* p, const QBrush&) {
        const int L = m_rect.left;
        const int T = m_rect.top;
        const int R = m_rect.right;
        const int B = m_rect.bottom;
        const int x2 = R - 1;
        const int y2 = B - 1;
        const int tx = ScaledThickness(R - L, m_nVertThick, m_rcDesign.left, m_rcDesign.right);
        const int ty = ScaledThickness(B - T, m_nHorzThick, m_rcDesign.top, m_rcDesign.bottom);
        p->setPen(Qt::NoPen);
        const int elbow = m_nElbowType;
        if (elbow < 0 || elbow > 3) {
            return;
        }
        const double xm = L + (x2 - L) * 0.5;
        const double ym = T + (y2 - T) * 0.5;

        // The horizontal leg first: the vertical leg's slanted end mitres over it.
        QRect leg;
        if (elbow <= 1) { // along the top
            SetPipeGradient(p, *this, QPointF(xm, T - 1), QPointF(xm, T + ty), m_legGradient);
            leg = QRect(QPoint(L, T - 1), QPoint(R - 2, T - 1 + ty));
        } else { // along the bottom
            SetPipeGradient(p, *this, QPointF(xm, y2 - ty), QPointF(xm, B), m_legGradient);
            leg = QRect(QPoint(L, y2 - ty), QPoint(R - 2, y2));
        }
        p->drawRects(&leg, 1);

        const bool leftLeg = elbow == 0 || elbow == 3;
        const QBrush& across = leftLeg ? SetPipeGradient(p, *this, QPointF(L - 1, ym),
                                                         QPointF(L + tx, ym), m_acrossGradient)
                                       : SetPipeGradient(p, *this, QPointF(x2 - tx, ym),
                                                         QPointF(R, ym), m_acrossGradient);
        QPointF outline[4];
        switch (elbow) {
        case 0: // left leg, top elbow
            outline[0] = QPointF(L - 1, T - 2), outline[1] = QPointF(L + tx, T + ty);
            outline[2] = QPointF(L + tx, y2), outline[3] = QPointF(L - 1, y2);
            break;
        case 1: // right leg, top elbow
            outline[0] = QPointF(R, T - 2), outline[1] = QPointF(R, y2);
            outline[2] = QPointF(R - tx - 1, y2), outline[3] = QPointF(R - tx - 1, T + ty);
            break;
        case 2: // right leg, bottom elbow
            outline[0] = QPointF(R, B), outline[1] = QPointF(R, T);
            outline[2] = QPointF(x2 - tx, T), outline[3] = QPointF(x2 - tx, y2 - ty);
            break;
        default: // 3: left leg, bottom elbow
            outline[0] = QPointF(L - 1, T), outline[1] = QPointF(L + tx, T);
            outline[2] = QPointF(L + tx, y2 - ty), outline[3] = QPointF(L - 1, B);
            break;
        }
        const QPainterPath& path =
            m_outline.Get({outline[0].x(), outline[0].y(), outline[1].x(), outline[1].y(),
                           outline[2].x(), outline[2].y(), outline[3].x(), outline[3].y()},
                          [&outline] {
                              QPainterPath built;
                              built.addPolygon(QPolygonF(QList<QPointF>(outline, outline + 4)));
                              built.closeSubpath();
                              return built;
                          });
        p->fillPath(path, across);
    });
}

// ---- Planes -------------------------------------------------------------------------------

void CDrawPlane1::Draw(QPainter* painter) {
    DrawPlane(*this, 8, painter, kv::report::kPlane1);
}

void CDrawPlane2::Draw(QPainter* painter) {
    DrawPlane(*this, 7, painter, kv::report::kPlane2);
}

void CDrawPlane3::Draw(QPainter* painter) {
    DrawPlane(*this, 6, painter, kv::report::kPlane3);
}

// ---- CDrawBalloon -------------------------------------------------------------------------

bool CDrawBalloon::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kBalloon,
                                {&m_nTailSide, &m_bTailAtEnd, &m_nTailPos});
}

namespace {

enum Side { Bottom = 0, Left = 1, Top = 2, Right = 3 };

//! The balloon's outline: a body with quarter-ellipse corners and a tail on one side.
struct BalloonShape {
    int L, T, x2, y2;   // the object's rectangle, inclusive
    int rx, ry;         // corner radii
    int bl, bt, br, bb; // the body: the rectangle less a strip on the tail side
    Side tailSide;
    bool highEnd;          // the tail sits at the high (right, bottom) end of its side
    int baseLow, baseHigh; // the tail's base along the tail side
    QPoint tip;

    //! The point of a side's body edge at a position along it.
    QPoint OnEdge(Side side, int along) const {
        switch (side) {
        case Bottom:
            return QPoint(along, bb);
        case Left:
            return QPoint(bl, along);
        case Top:
            return QPoint(along, bt);
        default:
            return QPoint(br, along);
        }
    }
    //! Start and end of a side's straight part, low to high along the side.
    int StraightLow(Side side) const { return side == Bottom || side == Top ? bl + rx : bt + ry; }
    int StraightHigh(Side side) const { return side == Bottom || side == Top ? br - rx : bb - ry; }
    QRectF CornerTopLeft() const { return QRectF(bl, bt, 2 * rx, 2 * ry); }
    QRectF CornerTopRight() const { return QRectF(br - 2 * rx, bt, 2 * rx, 2 * ry); }
    QRectF CornerBottomLeft() const { return QRectF(bl, bb - 2 * ry, 2 * rx, 2 * ry); }
    QRectF CornerBottomRight() const { return QRectF(br - 2 * rx, bb - 2 * ry, 2 * rx, 2 * ry); }
};

//! False for an unknown tail side.
bool BalloonShapeOf(const CDrawBalloon& balloon, BalloonShape& s) {
    if (balloon.m_nTailSide < 0 || balloon.m_nTailSide > 3) {
        return false;
    }
    s.L = balloon.m_rect.left;
    s.T = balloon.m_rect.top;
    s.x2 = balloon.m_rect.right - 1;
    s.y2 = balloon.m_rect.bottom - 1;
    const int W = s.x2 - s.L;
    const int H = s.y2 - s.T;
    s.rx = W / 6;
    s.ry = H / 6;
    s.tailSide = static_cast<Side>(balloon.m_nTailSide);
    const bool alongX = s.tailSide == Bottom || s.tailSide == Top;
    const int d = kv::Mul32(alongX ? W : H, balloon.m_nTailPos) / 200;

    s.bl = s.tailSide == Left ? s.L + s.rx : s.L;
    s.bt = s.tailSide == Top ? s.T + s.ry : s.T;
    s.br = s.tailSide == Right ? s.x2 - s.rx : s.x2;
    s.bb = s.tailSide == Bottom ? s.y2 - s.ry : s.y2;

    // Without the end flag, bottom and left tails sit at the high end of their side (right,
    // bottom), top and right tails at the low end (left, top); the flag swaps the ends.
    s.highEnd = (s.tailSide == Bottom || s.tailSide == Left) == (balloon.m_bTailAtEnd == 0);
    const int r = alongX ? s.rx : s.ry;
    const int low = s.StraightLow(s.tailSide);
    const int high = s.StraightHigh(s.tailSide);
    s.baseLow = s.highEnd ? high - r / 2 : low;
    s.baseHigh = s.highEnd ? high : low + r / 2;

    const int tipAlong = s.highEnd ? (alongX ? s.x2 : s.y2) - d : (alongX ? s.L : s.T) + d;
    switch (s.tailSide) {
    case Bottom:
        s.tip = QPoint(tipAlong, s.y2);
        break;
    case Left:
        s.tip = QPoint(s.L, tipAlong);
        break;
    case Top:
        s.tip = QPoint(tipAlong, s.T);
        break;
    case Right:
        s.tip = QPoint(s.x2, tipAlong);
        break;
    }
    return true;
}

//! Adds a side's straight part to the path, from one end to the other, with the tail on it.
void AddEdge(QPainterPath& path, const BalloonShape& s, Side side, bool lowToHigh) {
    const int low = s.StraightLow(side);
    const int high = s.StraightHigh(side);
    if (side == s.tailSide) {
        const int first = lowToHigh ? s.baseLow : s.baseHigh;
        const int second = lowToHigh ? s.baseHigh : s.baseLow;
        path.lineTo(s.OnEdge(side, first));
        path.lineTo(s.tip);
        path.lineTo(s.OnEdge(side, second));
    }
    path.lineTo(s.OnEdge(side, lowToHigh ? high : low));
}

} // namespace

void CDrawBalloon::Draw(QPainter* painter) {
    kv::FrameStyle style;
    style.brush = kv::FrameStyle::NoBrushStep; // the fill goes through the path only
    style.withCap(Qt::RoundCap).withJoin(Qt::RoundJoin);
    kv::DrawFramed(*this, painter, kv::report::kBalloon, style, [this](QPainter* p, const QBrush&) {
        BalloonShape s;
        if (!BalloonShapeOf(*this, s)) {
            return;
        }
        if (m_bBrush) {
            const QBrush& brush = m_fillBrush.Get(
                {static_cast<double>(m_logBrush.style), static_cast<double>(m_logBrush.color)},
                [this] {
                    QBrush built;
                    ApplyLogBrush(built, m_logBrush);
                    return built;
                });
            // The shape follows from these fields alone: the path is kept while they stay.
            const QPainterPath& path = m_fillPath.Get(
                {static_cast<double>(m_rect.left), static_cast<double>(m_rect.top),
                 static_cast<double>(m_rect.right), static_cast<double>(m_rect.bottom),
                 static_cast<double>(m_nTailSide), static_cast<double>(m_bTailAtEnd),
                 static_cast<double>(m_nTailPos)},
                [&s] {
                    // Anticlockwise from the top edge's right end, corner arcs in 90-degree
                    // steps.
                    QPainterPath built;
                    built.moveTo(s.OnEdge(Top, s.StraightHigh(Top)));
                    AddEdge(built, s, Top, false);
                    built.arcTo(s.CornerTopLeft(), 90, 90);
                    AddEdge(built, s, Left, true);
                    built.arcTo(s.CornerBottomLeft(), 180, 90);
                    AddEdge(built, s, Bottom, true);
                    built.arcTo(s.CornerBottomRight(), 270, 90);
                    AddEdge(built, s, Right, false);
                    built.arcTo(s.CornerTopRight(), 0, 90);
                    built.closeSubpath();
                    return built;
                });
            p->fillPath(path, brush);
        }

        // The straight edges without the tail, then the tail side up to the tail's base.
        QLine lines[6];
        int n = 0;
        for (Side side : {Bottom, Left, Top, Right}) {
            if (side != s.tailSide) {
                lines[n++] = QLine(s.OnEdge(side, s.StraightLow(side)),
                                   s.OnEdge(side, s.StraightHigh(side)));
            }
        }
        lines[n++] = s.highEnd ? QLine(s.OnEdge(s.tailSide, s.StraightLow(s.tailSide)),
                                       s.OnEdge(s.tailSide, s.baseLow))
                               : QLine(s.OnEdge(s.tailSide, s.baseHigh),
                                       s.OnEdge(s.tailSide, s.StraightHigh(s.tailSide)));
        lines[n++] = QLine(s.OnEdge(s.tailSide, s.baseLow), s.tip);
        lines[n++] = QLine(s.tip, s.OnEdge(s.tailSide, s.baseHigh));
        for (const QLine& line : lines) {
            p->drawLines(&line, 1);
        }
        p->drawArc(s.CornerTopLeft(), 1440, 1440);
        p->drawArc(s.CornerTopRight(), 0, 1440);
        p->drawArc(s.CornerBottomLeft(), 2880, 1440);
        p->drawArc(s.CornerBottomRight(), 4320, 1440);
    });
}
