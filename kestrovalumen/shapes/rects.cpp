#include "kestrovalumen/shapes/rects.h"

#include "kestrovalumen/core/shapeframe.h"

#include <QLine>
#include <QRect>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace {

using kv::FrameStyle;

} // namespace

void CDrawRect::Draw(QPainter* painter) {
    kv::DrawFramed(*this, painter, kv::report::kRect, FrameStyle().withJoin(Qt::MiterJoin),
                   [this](QPainter* p, const QBrush&) {
                       const QRect rect = kv::InsetBox(*this, p);
                       p->drawRects(&rect, 1);
                   });
}

void CDrawEllipse::Draw(QPainter* painter) {
    kv::DrawFramed(*this, painter, kv::report::kEllipse, FrameStyle(),
                   [this](QPainter* p, const QBrush&) { p->drawEllipse(kv::InsetBox(*this, p)); });
}

void CDrawRoundRect::Draw(QPainter* painter) {
    kv::DrawFramed(
        *this, painter, kv::report::kRoundRect, FrameStyle(), [this](QPainter* p, const QBrush&) {
            const Rect32& r = m_rect;
            QRectF rect(r.left, r.top, r.right - r.left, r.bottom - r.top);
            if (m_bPen) {
                const kv::PenInset in = kv::PenInsetOf(p);
                rect = QRectF(r.left + in.nearSide, r.top + in.nearSide,
                              r.right - r.left - in.width, r.bottom - r.top - in.width);
            }
            // The stored corner sizes are whole ellipses; Qt wants radii.
            p->drawRoundedRect(rect, m_nCornerWidth / 2, m_nCornerHeight / 2, Qt::AbsoluteSize);
        });
}

bool CDrawRoundRect::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(*this, buffer, kv::report::kRoundRect,
                                {&m_nCornerWidth, &m_nCornerHeight});
}

void CDrawLine::Draw(QPainter* painter) {
    // A horizontal or vertical line has an empty rectangle, so only the blink phase hides it.
    FrameStyle style = FrameStyle().withCap(Qt::RoundCap);
    style.visibility = FrameStyle::WhenShown;
    style.brush = FrameStyle::NoBrushStep;
    kv::DrawFramed(*this, painter, kv::report::kLine, style, [this](QPainter* p, const QBrush&) {
        const Rect32& r = m_rect;
        const int x2 = r.left == r.right ? r.left : r.right - 1;
        const int y2 = r.top == r.bottom ? r.top : r.bottom - 1;
        const QLine line(r.left, r.top, x2, y2);
        p->drawLines(&line, 1);
    });
}

bool CDrawLine::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadBaseRecord(*this, buffer, kv::report::kLine);
}

void CDrawLine::GetBoundRect(int* left, int* top, int* right, int* bottom) const {
    const int h = (m_logPen.widthX + 1) / 2;
    const Rect32& r = m_rect;
    *left = std::min(r.left, r.right) - h;
    *top = std::min(r.top, r.bottom) - h;
    *right = std::max(r.left, r.right) + h;
    *bottom = std::max(r.top, r.bottom) + h;
}

bool CDrawLine::Run(int nEvent, int, int) {
    return CDrawObj::Run(nEvent);
}

double ArcPointAngle(int x1, int y1, int x2, int y2, int px, int py) {
    static const double kDegreesPerRadian = 57.295779506;
    static const double kPi = 3.141592654;
    static const double kTwoPi = 6.283185308;

    const int cx = (x1 + x2) / 2;
    const int cy = (y1 + y2) / 2;
    const double a = (x2 - x1 + 1) * 0.5;
    double b = (y2 - y1 + 1) * 0.5;
    const int32_t dx2 = kv::Mul32(px - cx, px - cx);
    const int32_t dy2 = kv::Mul32(py - cy, py - cy);
    // Only an inverted rectangle brings b near zero.
    if (x2 - x1 < y2 - y1) {
        if (std::fabs(b) < 1e-06) {
            b = 0;
        }
    } else if (std::fabs(b) < 1e-16) {
        b = 1e-16;
    }

    if (px == cx && py == cy) {
        return 0;
    }
    if (py == cy) {
        return px > cx ? 0 : 180;
    }
    if (px == cx) {
        return py < cy ? 90 : 270;
    }
    // The tangent of the parametric angle; a zero dx2 (a wrapped square) gives infinity.
    const double t = std::sqrt(static_cast<double>(dy2) / static_cast<double>(dx2)) * a / b;
    if (py < cy) {
        return px > cx ? std::atan(t) * kDegreesPerRadian
                       : (std::atan(-t) + kPi) * kDegreesPerRadian;
    }
    return px < cx ? (std::atan(t) + kPi) * kDegreesPerRadian
                   : (std::atan(-t) + kTwoPi) * kDegreesPerRadian;
}

void CDrawArc::Draw(QPainter* painter) {
    FrameStyle style = FrameStyle().withCap(Qt::RoundCap);
    style.brush = FrameStyle::NoBrushStep;
    kv::DrawFramed(*this, painter, kv::report::kArc, style, [this](QPainter* p, const QBrush&) {
        const Rect32& r = m_rect;
        int x1 = r.left, y1 = r.top, x2 = r.right - 1, y2 = r.bottom - 1;
        if (m_bPen) {
            const kv::PenInset in = kv::PenInsetOf(p);
            x1 += in.nearSide, y1 += in.nearSide;
            x2 -= in.farSide, y2 -= in.farSide;
        }
        const int w = x2 - x1 + 1;
        const int h = y2 - y1 + 1;
        const int sx = x2 + kv::Mul32(m_nStartXPercent, w) / 100;
        const int sy = y2 + kv::Mul32(m_nStartYPercent, h) / 100;
        const int ex = x1 + kv::Mul32(m_nEndXPercent, w) / 100;
        const int ey = y1 + kv::Mul32(m_nEndYPercent, h) / 100;
        const double a1 = ArcPointAngle(x1, y1, x2, y2, sx, sy);
        const double a2 = ArcPointAngle(x1, y1, x2, y2, ex, ey);
        // Written so that a NaN angle fails too.
        if (!(a1 >= 0 && a1 <= 360 && a2 >= 0 && a2 <= 360)) {
            return;
        }
        const int start = static_cast<int>(a1 * 16);
        int span = 5760; // equal angles: a full turn
        if (a2 > a1) {
            span = static_cast<int>((a2 - a1) * 16);
        } else if (a1 > a2) {
            span = static_cast<int>((a2 + 360 - a1) * 16);
        }
        ArcPath& arc = m_arc;
        if (arc.x != x1 || arc.y != y1 || arc.w != w || arc.h != h || arc.start != start ||
            arc.span != span) {
            // As QPainter::drawArc builds it, so that pixels and paint calls stay the same.
            const QRectF rect = QRectF(x1, y1, w, h).normalized();
            QPainterPath path;
            path.arcMoveTo(rect, start / 16.0);
            path.arcTo(rect, start / 16.0, span / 16.0);
            arc = {x1, y1, w, h, start, span, std::move(path)};
        }
        p->strokePath(arc.path, p->pen());
    });
}

bool CDrawArc::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFields(
        *this, buffer, kv::report::kArc,
        {&m_nEndXPercent, &m_nEndYPercent, &m_nStartXPercent, &m_nStartYPercent});
}
