#include "runtime/session/paintextent.h"

#include "runtime/paint/recordingdevice.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextItem>

#include <algorithm>
#include <cmath>

namespace kestro {

namespace {

constexpr int kSide = 32767; //!< the largest device Qt's painters draw on
//! An aliased drawing sets the pixels whose centres it covers. Qt's rasteriser works in
//! fixed point and flattens curves: a centre this close outside still counts.
constexpr double kCentreSlack = 0.25;
//! Wild coordinates (a damaged record) still give a rectangle whose sides fit an int.
constexpr double kFar = 1 << 30;
constexpr double kSqrt2 = 1.41421356237;

template <class Point>
QRectF pointBounds(const Point* points, int count) {
    if (count <= 0) {
        return QRectF();
    }
    double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (int i = 1; i < count; ++i) {
        left = std::min<double>(left, points[i].x());
        right = std::max<double>(right, points[i].x());
        top = std::min<double>(top, points[i].y());
        bottom = std::max<double>(bottom, points[i].y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

double clampFar(double value) {
    // NaN goes to the far side too: it can only come from a drawing nobody can place.
    return value > -kFar && value < kFar ? value : (value < 0 ? -kFar : kFar);
}

//! Filled from a colour table or a picture rather than one colour or a fixed pattern.
bool stepped(const QBrush& brush) {
    switch (brush.style()) {
    case Qt::LinearGradientPattern:
    case Qt::RadialGradientPattern:
    case Qt::ConicalGradientPattern:
    case Qt::TexturePattern:
        return true;
    default:
        return false;
    }
}

} // namespace

void ExtentEngine::noteStepping(bool image) {
    m_stepped = m_stepped || image || stepped(m_brush) ||
                (m_pen.style() != Qt::NoPen && stepped(m_pen.brush()));
}

QRect ExtentEngine::extent() const {
    if (!m_any) {
        return QRect();
    }
    // The pixels whose centres (i + 0.5) lie within the bounds.
    const auto first = [](double low) {
        return static_cast<int>(std::ceil(clampFar(low) - 0.5 - kCentreSlack));
    };
    const auto last = [](double high) {
        return static_cast<int>(std::floor(clampFar(high) - 0.5 + kCentreSlack));
    };
    return QRect(QPoint(first(m_left), first(m_top)), QPoint(last(m_right), last(m_bottom)));
}

bool ExtentEngine::begin(QPaintDevice*) {
    reset();
    if (state) {
        m_pen = state->pen();
        m_brush = state->brush();
        m_transform = state->transform();
        m_antialiased = state->renderHints() & QPainter::Antialiasing;
    }
    return true;
}

void ExtentEngine::updateState(const QPaintEngineState& changed) {
    if (changed.state() & DirtyPen) {
        m_pen = changed.pen();
    }
    if (changed.state() & DirtyBrush) {
        m_brush = changed.brush();
    }
    if (changed.state() & DirtyTransform) {
        m_transform = changed.transform();
    }
    if (changed.state() & DirtyHints) {
        m_antialiased = changed.renderHints() & QPainter::Antialiasing;
    }
}

void ExtentEngine::addDevice(double left, double top, double right, double bottom) {
    if (!m_any) {
        m_left = left, m_top = top, m_right = right, m_bottom = bottom;
        m_any = true;
        return;
    }
    m_left = std::min(m_left, left);
    m_top = std::min(m_top, top);
    m_right = std::max(m_right, right);
    m_bottom = std::max(m_bottom, bottom);
}

void ExtentEngine::add(const QRectF& bounds, Corners corners) {
    noteStepping(false);
    QRectF logical = bounds.normalized();
    double deviceReach = m_antialiased ? 0.5 : 0.0; // every pixel it touches, not only centres
    // Right angles stay right angles unless the painter turns.
    const bool square = corners == Corners::Right && m_transform.type() <= QTransform::TxScale;
    if (corners != Corners::None && m_pen.style() != Qt::NoPen) {
        // Half the pen, times how far a cap or a join can reach beyond that: a square cap's
        // corner sqrt(2); a mitre its limit in pen widths from the vertex, sqrt(2) halves at a
        // rectangle's right angle.
        double factor = m_pen.capStyle() == Qt::SquareCap ? kSqrt2 : 1.0;
        const Qt::PenJoinStyle join = m_pen.joinStyle();
        if (join == Qt::MiterJoin || join == Qt::SvgMiterJoin) {
            factor = std::max(factor, square ? kSqrt2 : 2 * m_pen.miterLimit());
        }
        if (m_pen.isCosmetic()) {
            deviceReach += std::max(m_pen.widthF(), 1.0) / 2 * factor;
        } else {
            const double reach = m_pen.widthF() / 2 * factor;
            logical.adjust(-reach, -reach, reach, reach);
        }
        // Pens of a pixel are drawn by Qt's cosmetic stroker, which rounds a slanted line's
        // minor axis a pixel further than its end (a polygon's tip one row below it). The
        // straight sides of a rectangle have no minor axis.
        if ((m_pen.isCosmetic() || m_pen.widthF() <= 1) && !square) {
            deviceReach += 1;
        }
    }
    const QRectF device = m_transform.mapRect(logical);
    addDevice(device.left() - deviceReach, device.top() - deviceReach, device.right() + deviceReach,
              device.bottom() + deviceReach);
}

void ExtentEngine::drawRects(const QRect* rects, int count) {
    for (int i = 0; i < count; ++i) {
        const QRect& r = rects[i];
        // Corners as numbers: QRect's width overflows for far-apart corners.
        add(QRectF(QPointF(r.left(), r.top()),
                   QPointF(double(r.right()) + 1, double(r.bottom()) + 1)),
            Corners::Right);
    }
}

void ExtentEngine::drawRects(const QRectF* rects, int count) {
    for (int i = 0; i < count; ++i) {
        add(rects[i], Corners::Right);
    }
}

void ExtentEngine::drawLines(const QLine* lines, int count) {
    for (int i = 0; i < count; ++i) {
        add(QRectF(QPointF(lines[i].p1()), QPointF(lines[i].p2())), Corners::Any);
    }
}

void ExtentEngine::drawLines(const QLineF* lines, int count) {
    for (int i = 0; i < count; ++i) {
        add(QRectF(lines[i].p1(), lines[i].p2()), Corners::Any);
    }
}

void ExtentEngine::drawEllipse(const QRect& rect) {
    drawRects(&rect, 1);
}

void ExtentEngine::drawEllipse(const QRectF& rect) {
    add(rect, Corners::Any);
}

void ExtentEngine::drawPath(const QPainterPath& path) {
    // The control points hold every curve between them.
    add(path.controlPointRect(), Corners::Any);
}

void ExtentEngine::drawPoints(const QPoint* points, int count) {
    add(pointBounds(points, count), Corners::Any);
}

void ExtentEngine::drawPoints(const QPointF* points, int count) {
    add(pointBounds(points, count), Corners::Any);
}

void ExtentEngine::drawPolygon(const QPoint* points, int count, PolygonDrawMode) {
    add(pointBounds(points, count), Corners::Any);
}

void ExtentEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode) {
    add(pointBounds(points, count), Corners::Any);
}

void ExtentEngine::drawPixmap(const QRectF& target, const QPixmap&, const QRectF&) {
    noteStepping(true);
    add(target, Corners::None);
}

void ExtentEngine::drawTiledPixmap(const QRectF& target, const QPixmap&, const QPointF&) {
    noteStepping(true);
    add(target, Corners::None);
}

void ExtentEngine::drawImage(const QRectF& target, const QImage&, const QRectF&,
                             Qt::ImageConversionFlags) {
    noteStepping(true);
    add(target, Corners::None);
}

void ExtentEngine::drawTextItem(const QPointF& position, const QTextItem& item) {
    // The advance box and the glyphs' own box: italics and accents reach out of the former.
    const double height = item.ascent() + item.descent();
    QRectF box(position.x(), position.y() - item.ascent(), item.width(), height);
    box |= QFontMetricsF(item.font()).boundingRect(item.text()).translated(position);
    const double margin = height / 4;
    add(box.adjusted(-margin, -margin, margin, margin), Corners::None);
}

ExtentDevice::ExtentDevice() : m_engine(std::make_unique<ExtentEngine>()) {}

ExtentDevice::~ExtentDevice() = default;

int ExtentDevice::metric(PaintDeviceMetric metric) const {
    int value = 0;
    return screenlessMetric(metric, kSide, kSide, &value) ? value : QPaintDevice::metric(metric);
}

} // namespace kestro
