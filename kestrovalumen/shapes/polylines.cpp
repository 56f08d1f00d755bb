#include "kestrovalumen/shapes/polylines.h"

#include "kestrovalumen/core/reports.h"
#include "kestrovalumen/core/shapeframe.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

//! Which axis falls back to 0.0 when the rectangle is flat.
enum class FlatRule {
    BothAxes, //!< a flat rectangle in either direction zeroes both ratios
    EachAxis, //!< each axis by itself
};

//! Appends n ratio pairs of points (bounds-tested) to the lists.
void AppendRatios(const Rect32& r, const std::vector<QPoint>& points, int n, FlatRule rule,
                  std::vector<double>& ratioX, std::vector<double>& ratioY) {
    const bool flatX = r.left == r.right;
    const bool flatY = r.top == r.bottom;
    const bool zeroX = rule == FlatRule::BothAxes ? (flatX || flatY) : flatX;
    const bool zeroY = rule == FlatRule::BothAxes ? (flatX || flatY) : flatY;
    const double width = static_cast<double>(r.right) - r.left;
    const double height = static_cast<double>(r.bottom) - r.top;
    for (int i = 0; i < n; ++i) {
        const QPoint& p = points.at(i);
        ratioX.push_back(zeroX ? 0.0 : (static_cast<double>(p.x()) - r.left) / width);
        ratioY.push_back(zeroY ? 0.0 : (static_cast<double>(p.y()) - r.top) / height);
    }
}

//! count is at most 65535, yet its vertices (8 bytes each) must be there before any list is
//! sized for them.
bool HasRoomForPoints(const FF::utils::IBuffer* buffer, int count) {
    const uint64_t length = buffer->length();
    const uint64_t position = buffer->position();
    return position <= length && static_cast<uint64_t>(count) * 8 <= length - position;
}

//! A uint16 record field into its int32 member (left as it was on a short read).
bool ReadWord(FF::utils::IBuffer* buffer, int32_t& member) {
    uint16_t word = 0;
    if (!kv::ReadValue(buffer, &word)) {
        return false;
    }
    member = word;
    return true;
}

//! Replaces points with count vertices read from the buffer.
bool ReadPoints(FF::utils::IBuffer* buffer, int count, std::vector<QPoint>& points) {
    points.assign(static_cast<size_t>(count), QPoint());
    for (QPoint& p : points) {
        int32_t x = 0;
        int32_t y = 0;
        if (!kv::ReadValue(buffer, &x) || !kv::ReadValue(buffer, &y)) {
            return false;
        }
        p = QPoint(x, y);
    }
    return true;
}

} // namespace

// ---- CDrawPoly ----------------------------------------------------------------------------

bool CDrawPoly::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFramed(*this, buffer, kv::report::kPoly, [this](FF::utils::IBuffer* b) {
        if (!ReadWord(b, m_nPointCount) || !ReadWord(b, m_nPolyReserved) ||
            !ReadWord(b, m_bClosed) || !HasRoomForPoints(b, m_nPointCount)) {
            return false;
        }
        try {
            return ReadPoints(b, m_nPointCount, m_vecPoints);
        } catch (const std::bad_alloc&) {
            return false;
        }
    });
}

void CDrawPoly::GetBoundRect(int* left, int* top, int* right, int* bottom) const {
    const int64_t h = (static_cast<int64_t>(m_logPen.widthX) + 1) / 2;
    const int64_t x1 = m_rect.left - h;
    const int64_t y1 = m_rect.top - h;
    const int64_t x2 = m_rect.right + h;
    const int64_t y2 = m_rect.bottom + h;
    *left = kv::Saturate32(std::min(x1, x2));
    *top = kv::Saturate32(std::min(y1, y2));
    *right = kv::Saturate32(std::max(x1, x2));
    *bottom = kv::Saturate32(std::max(y1, y2));
}

bool CDrawPoly::Run(int nEvent, int arg2, int arg3) {
    if (nEvent == -1) {
        // Appended after the first set, which stays the one that drawing reads.
        AppendRatios(m_rect, m_vecPoints, m_nPointCount, FlatRule::EachAxis, m_vecRatioX,
                     m_vecRatioY);
    }
    return CDrawObj::Run(nEvent, arg2, arg3);
}

void CDrawPoly::ToAbsolute(int x1, int y1, int x2, int y2) {
    CDrawObj::ToAbsolute(x1, y1, x2, y2);
    if (m_bRatioPending) {
        m_bRatioPending = 0;
        AppendRatios(m_rect, m_vecPoints, m_nPointCount, FlatRule::BothAxes, m_vecRatioX,
                     m_vecRatioY);
    }
}

int CDrawPoly::GetObjType() const {
    return 3;
}

QPoint CDrawPoly::PlaceVertex(int i) const {
    const double width = static_cast<double>(m_rect.right) - m_rect.left;
    const double height = static_cast<double>(m_rect.bottom) - m_rect.top;
    const int dx = kv::TruncSaturate32(width * m_vecRatioX.at(i));
    const int dy = kv::TruncSaturate32(height * m_vecRatioY.at(i));
    return QPoint(kv::Saturate32(static_cast<int64_t>(m_rect.left) + dx),
                  kv::Saturate32(static_cast<int64_t>(m_rect.top) + dy));
}

void CDrawPoly::Draw(QPainter* painter) {
    kv::FrameStyle style;
    // A horizontal or vertical polyline has an empty rectangle, so only the blink phase counts.
    style.visibility = kv::FrameStyle::WhenShown;
    style.clip = kv::FrameStyle::ClipPolyline;
    style.withCap(Qt::RoundCap);
    kv::DrawFramed(*this, painter, kv::report::kPoly, style, [this](QPainter* p, const QBrush&) {
        const int n = m_nPointCount;
        if (n < 2) {
            kv::Emit(kv::report::kPolyTooFewPoints);
            return;
        }
        QVarLengthArray<QPoint, 64> points(n);
        // Before the first ToAbsolute or Run(-1) there are no ratios to place the vertices by;
        // the bounds test then fails and the polyline is simply not drawn yet.
        try {
            for (int i = 0; i < n; ++i) {
                points[i] = PlaceVertex(i);
            }
        } catch (const std::out_of_range&) {
            return;
        }
        if (m_bClosed == 0) {
            p->drawPolyline(points.data(), n);
        } else if (n > 2) {
            p->drawPolygon(points.data(), n, Qt::OddEvenFill);
        }
    });
}

// ---- CDrawGuan ----------------------------------------------------------------------------

bool CDrawGuan::deserialize(FF::utils::IBuffer* buffer) {
    return kv::LoadRecordFramed(*this, buffer, kv::report::kGuan, [this](FF::utils::IBuffer* b) {
        if (!ReadWord(b, m_nPipeWidth) || !ReadWord(b, m_nPointCount) ||
            !HasRoomForPoints(b, m_nPointCount)) {
            return false;
        }
        try {
            m_vecPoints.assign(2 * static_cast<size_t>(m_nPointCount), QPoint());
            return ReadPoints(b, m_nPointCount, m_vecCenter);
        } catch (const std::bad_alloc&) {
            return false;
        }
    });
}

bool CDrawGuan::Run(int nEvent, int arg2, int arg3) {
    if (nEvent == -1) {
        m_vecRatioX.clear();
        m_vecRatioY.clear();
        AppendRatios(m_rect, m_vecCenter, m_nPointCount, FlatRule::BothAxes, m_vecRatioX,
                     m_vecRatioY);
    }
    return CDrawObj::Run(nEvent, arg2, arg3);
}

void CDrawGuan::BuildOutline() {
    const int n = m_nPointCount;
    const int64_t w = m_nPipeWidth;
    // Place the whole path before storing it, so that a missing ratio leaves it as it was.
    QVarLengthArray<QPoint, 64> placed(n);
    for (int i = 0; i < n; ++i) {
        placed[i] = PlaceVertex(i);
    }
    for (int i = 0; i < n; ++i) {
        m_vecCenter.at(i) = placed[i];
    }
    const std::vector<QPoint>& P = m_vecCenter;
    std::vector<QPoint>& Q = m_vecPoints;
    for (int i = 0; i + 1 < n; ++i) {
        const QPoint a = P.at(i);
        const QPoint b = P.at(i + 1);
        int sx = 0;
        int sy = 0;
        if (a.y() == b.y()) {
            sx = a.x() <= b.x() ? 1 : -1;
        } else {
            sy = a.y() <= b.y() ? 1 : -1; // slanted segments count as vertical
        }
        // w pixels to the right of the direction of travel (y grows downward).
        QPoint q(kv::Saturate32(a.x() - sy * w), kv::Saturate32(a.y() + sx * w));
        if (i > 0) {
            // Meet the previous segment's offset line at the corner.
            if (sx == 0) {
                q.setY(Q.at(i - 1).y());
            } else {
                q.setX(Q.at(i - 1).x());
            }
        }
        Q.at(i) = q;
    }
    const int k = n - 1;
    Q.at(k) = P.at(k).y() == P.at(k - 1).y() ? QPoint(P.at(k).x(), Q.at(k - 1).y())
                                             : QPoint(Q.at(k - 1).x(), P.at(k).y());
    for (int a = 0; a < n; ++a) {
        Q.at(n + a) = P.at(n - 1 - a); // back along the path itself
    }
}

void CDrawGuan::Draw(QPainter* painter) {
    // A band needs more than a pixel across both axes and at least one segment.
    const bool hasRoom = static_cast<int64_t>(m_rect.right) - m_rect.left > 1 &&
                         static_cast<int64_t>(m_rect.bottom) - m_rect.top > 1 && m_nPointCount > 1;
    if (painter != nullptr && !hasRoom) {
        return;
    }
    kv::FrameStyle style;
    style.withCap(Qt::FlatCap);
    kv::DrawFramed(*this, painter, kv::report::kGuan, style, [this](QPainter* p, const QBrush&) {
        // Without ratios (nothing computed them yet) the band cannot be placed: draw nothing.
        try {
            BuildOutline();
        } catch (const std::out_of_range&) {
            return;
        }
        const int count = 2 * m_nPointCount;
        QVarLengthArray<QPoint, 128> points(count);
        std::copy(m_vecPoints.begin(), m_vecPoints.begin() + count, points.begin());
        p->drawPolygon(points.data(), count, Qt::OddEvenFill);
    });
}
