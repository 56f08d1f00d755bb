#include "runtime/session/paintextent.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextItem>

#include <algorithm>
#include <cmath>

namespace kestro {

namespace {

constexpr int kDpi = 96;
constexpr int kSide = 32767; //!< the largest device Qt's painters draw on
//! A pixel around everything: rounding a coordinate to a pixel must never leave the extent.
constexpr double kRounding = 1.0;
//! Wild coordinates (a damaged record) still give a rectangle whose sides fit an int.
constexpr double kFar = 1 << 30;

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

} // namespace

QRect ExtentEngine::extent() const {
    if (!m_any) {
        return QRect();
    }
    const auto side = [](double value, bool low) {
        const double v = clampFar(value);
        return static_cast<int>(low ? std::floor(v) : std::ceil(v));
    };
    return QRect(QPoint(side(m_left, true), side(m_top, true)),
                 QPoint(side(m_right, false), side(m_bottom, false)));
}

bool ExtentEngine::begin(QPaintDevice*) {
    m_any = false;
    if (state) {
        m_pen = state->pen();
        m_transform = state->transform();
    }
    return true;
}

void ExtentEngine::updateState(const QPaintEngineState& changed) {
    if (changed.state() & DirtyPen) {
        m_pen = changed.pen();
    }
    if (changed.state() & DirtyTransform) {
        m_transform = changed.transform();
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

void ExtentEngine::add(const QRectF& bounds, bool stroked) {
    QRectF logical = bounds.normalized();
    double deviceMargin = kRounding;
    if (stroked && m_pen.style() != Qt::NoPen) {
        const double width = m_pen.widthF();
        if (m_pen.isCosmetic()) {
            deviceMargin += std::max(width, 1.0);
        } else {
            logical.adjust(-width, -width, width, width);
        }
    }
    const QRectF device = m_transform.mapRect(logical);
    addDevice(device.left() - deviceMargin, device.top() - deviceMargin,
              device.right() + deviceMargin, device.bottom() + deviceMargin);
}

void ExtentEngine::drawRects(const QRect* rects, int count) {
    for (int i = 0; i < count; ++i) {
        const QRect& r = rects[i];
        // Corners as numbers: QRect's width overflows for far-apart corners.
        add(QRectF(QPointF(r.left(), r.top()),
                   QPointF(double(r.right()) + 1, double(r.bottom()) + 1)),
            true);
    }
}

void ExtentEngine::drawRects(const QRectF* rects, int count) {
    for (int i = 0; i < count; ++i) {
        add(rects[i], true);
    }
}

void ExtentEngine::drawLines(const QLine* lines, int count) {
    for (int i = 0; i < count; ++i) {
        add(QRectF(QPointF(lines[i].p1()), QPointF(lines[i].p2())), true);
    }
}

void ExtentEngine::drawLines(const QLineF* lines, int count) {
    for (int i = 0; i < count; ++i) {
        add(QRectF(lines[i].p1(), lines[i].p2()), true);
    }
}

void ExtentEngine::drawEllipse(const QRect& rect) {
    drawRects(&rect, 1);
}

void ExtentEngine::drawEllipse(const QRectF& rect) {
    add(rect, true);
}

void ExtentEngine::drawPath(const QPainterPath& path) {
    // The control points hold every curve between them.
    add(path.controlPointRect(), true);
}

void ExtentEngine::drawPoints(const QPoint* points, int count) {
    add(pointBounds(points, count), true);
}

void ExtentEngine::drawPoints(const QPointF* points, int count) {
    add(pointBounds(points, count), true);
}

void ExtentEngine::drawPolygon(const QPoint* points, int count, PolygonDrawMode) {
    add(pointBounds(points, count), true);
}

void ExtentEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode) {
    add(pointBounds(points, count), true);
}

void ExtentEngine::drawPixmap(const QRectF& target, const QPixmap&, const QRectF&) {
    add(target, false);
}

void ExtentEngine::drawTiledPixmap(const QRectF& target, const QPixmap&, const QPointF&) {
    add(target, false);
}

void ExtentEngine::drawImage(const QRectF& target, const QImage&, const QRectF&,
                             Qt::ImageConversionFlags) {
    add(target, false);
}

void ExtentEngine::drawTextItem(const QPointF& position, const QTextItem& item) {
    // The advance box and the glyphs' own box: italics and accents reach out of the former.
    const double height = item.ascent() + item.descent();
    QRectF box(position.x(), position.y() - item.ascent(), item.width(), height);
    box |= QFontMetricsF(item.font()).boundingRect(item.text()).translated(position);
    const double margin = height / 4;
    add(box.adjusted(-margin, -margin, margin, margin), false);
}

ExtentDevice::ExtentDevice() : m_engine(std::make_unique<ExtentEngine>()) {}

ExtentDevice::~ExtentDevice() = default;

int ExtentDevice::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
    case PdmHeight:
        return kSide;
    case PdmWidthMM:
    case PdmHeightMM:
        return static_cast<int>(kSide * 25.4 / kDpi);
    case PdmNumColors:
        return 0;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return kDpi;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
    default:
        break;
    }
    return QPaintDevice::metric(metric);
}

} // namespace kestro
