#include "runtime/paint/recordingdevice.h"

#include <QtMath>

namespace kestro {

namespace {

constexpr int kDpi = 96;

int toMillimetres(int pixels) {
    return qRound(pixels * 25.4 / kDpi);
}

//! QRectF(rect) without QRect::width(), whose int arithmetic overflows for the far-apart
//! corners that a damaged record can give a shape.
QRectF exactRect(const QRect& rect) {
    return QRectF(rect.left(), rect.top(), static_cast<double>(rect.right()) - rect.left() + 1,
                  static_cast<double>(rect.bottom()) - rect.top() + 1);
}

//! Combines a clip update into the clip in force. Regions stay regions, so that a rectangular
//! clip can be read back as rectangles; once a path takes part the clip is a path.
void combine(ClipState& clip, Qt::ClipOperation operation, const QRegion* region,
             const QPainterPath* path) {
    const bool intersect = operation == Qt::IntersectClip && clip.operation != Qt::NoClip;
    clip.operation = operation;
    if (operation == Qt::NoClip) {
        clip.isPath = false;
        clip.region = QRegion();
        clip.path = QPainterPath();
        return;
    }
    if (!intersect) {
        clip.isPath = path != nullptr;
        clip.region = region ? *region : QRegion();
        clip.path = path ? *path : QPainterPath();
        return;
    }
    if (region && !clip.isPath) {
        clip.region &= *region;
        return;
    }
    QPainterPath current = clip.path;
    if (!clip.isPath) {
        current = QPainterPath();
        current.addRegion(clip.region);
    }
    QPainterPath added;
    if (path) {
        added = *path;
    } else {
        added.addRegion(*region);
    }
    clip.isPath = true;
    clip.region = QRegion();
    clip.path = current.intersected(added);
}

} // namespace

RecordingEngine::RecordingEngine() : QPaintEngine(AllFeatures) {}

bool RecordingEngine::begin(QPaintDevice* /*device*/) {
    // QPainter sends no initial state: take it from the painter's own state, which Qt has
    // already attached, so the first call is recorded with the pen and brush it really had.
    m_state = PaintState();
    if (state) {
        m_state.pen = state->pen();
        m_state.brush = state->brush();
        m_state.transform = state->transform();
        m_state.composition = state->compositionMode();
        m_state.hints = state->renderHints();
        m_state.opacity = state->opacity();
    }
    return true;
}

bool RecordingEngine::end() {
    return true;
}

void RecordingEngine::updateState(const QPaintEngineState& changed) {
    const DirtyFlags flags = changed.state();
    if (flags & DirtyPen) {
        m_state.pen = changed.pen();
    }
    if (flags & DirtyBrush) {
        m_state.brush = changed.brush();
    }
    if (flags & DirtyTransform) {
        m_state.transform = changed.transform();
    }
    if (flags & DirtyCompositionMode) {
        m_state.composition = changed.compositionMode();
    }
    if (flags & DirtyHints) {
        m_state.hints = changed.renderHints();
    }
    if (flags & DirtyOpacity) {
        m_state.opacity = changed.opacity();
    }
    if (flags & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled)) {
        updateClip(changed);
    }
}

void RecordingEngine::updateClip(const QPaintEngineState& changed) {
    const DirtyFlags flags = changed.state();
    PaintRecord record;
    record.kind = PaintKind::Clip;
    record.clipOperation = m_state.clip.operation;
    // Qt reports the clip in the coordinates of its time; the transform of that moment comes with
    // it (also during the replay of restore(), where it is not the painter's current one).
    const QTransform toDevice = changed.transform();
    if (flags & DirtyClipRegion) {
        const QRegion region = changed.clipRegion();
        for (const QRect& r : region) {
            record.rects.append(QRectF(r));
        }
        record.clipOperation = changed.clipOperation();
        const QRegion mapped = toDevice.map(region);
        combine(m_state.clip, changed.clipOperation(), &mapped, nullptr);
    }
    if (flags & DirtyClipPath) {
        record.path = changed.clipPath();
        record.clipOperation = changed.clipOperation();
        const QPainterPath mapped = toDevice.map(changed.clipPath());
        combine(m_state.clip, changed.clipOperation(), nullptr, &mapped);
    }
    if (flags & DirtyClipEnabled) {
        m_state.clip.enabled = changed.isClipEnabled();
    }
    record.state = m_state;
    m_records.push_back(std::move(record));
}

PaintRecord& RecordingEngine::add(PaintKind kind, bool integer) {
    PaintRecord record;
    record.kind = kind;
    record.integer = integer;
    record.state = m_state;
    m_records.push_back(std::move(record));
    return m_records.back();
}

void RecordingEngine::drawRects(const QRect* rects, int count) {
    PaintRecord& r = add(PaintKind::Rects, true);
    for (int i = 0; i < count; ++i) {
        r.rects.append(exactRect(rects[i]));
    }
}

void RecordingEngine::drawRects(const QRectF* rects, int count) {
    PaintRecord& r = add(PaintKind::Rects);
    for (int i = 0; i < count; ++i) {
        r.rects.append(rects[i]);
    }
}

void RecordingEngine::drawLines(const QLine* lines, int count) {
    PaintRecord& r = add(PaintKind::Lines, true);
    for (int i = 0; i < count; ++i) {
        r.lines.append(QLineF(lines[i]));
    }
}

void RecordingEngine::drawLines(const QLineF* lines, int count) {
    PaintRecord& r = add(PaintKind::Lines);
    for (int i = 0; i < count; ++i) {
        r.lines.append(lines[i]);
    }
}

void RecordingEngine::drawEllipse(const QRect& rect) {
    add(PaintKind::Ellipse, true).rects.append(exactRect(rect));
}

void RecordingEngine::drawEllipse(const QRectF& rect) {
    add(PaintKind::Ellipse).rects.append(rect);
}

void RecordingEngine::drawPath(const QPainterPath& path) {
    add(PaintKind::Path).path = path;
}

void RecordingEngine::drawPoints(const QPoint* points, int count) {
    PaintRecord& r = add(PaintKind::Points, true);
    for (int i = 0; i < count; ++i) {
        r.points.append(QPointF(points[i]));
    }
}

void RecordingEngine::drawPoints(const QPointF* points, int count) {
    add(PaintKind::Points).points = QPolygonF(QList<QPointF>(points, points + count));
}

void RecordingEngine::drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) {
    PaintRecord& r = add(PaintKind::Polygon, true);
    r.polygonMode = mode;
    for (int i = 0; i < count; ++i) {
        r.points.append(QPointF(points[i]));
    }
}

void RecordingEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) {
    PaintRecord& r = add(PaintKind::Polygon);
    r.polygonMode = mode;
    r.points = QPolygonF(QList<QPointF>(points, points + count));
}

void RecordingEngine::drawPixmap(const QRectF& target, const QPixmap& /*pixmap*/,
                                 const QRectF& source) {
    PaintRecord& r = add(PaintKind::Pixmap);
    r.rects.append(target);
    r.source = source;
}

void RecordingEngine::drawTiledPixmap(const QRectF& target, const QPixmap& /*pixmap*/,
                                      const QPointF& offset) {
    PaintRecord& r = add(PaintKind::TiledPixmap);
    r.rects.append(target);
    r.position = offset;
}

void RecordingEngine::drawImage(const QRectF& target, const QImage& /*image*/, const QRectF& source,
                                Qt::ImageConversionFlags /*flags*/) {
    PaintRecord& r = add(PaintKind::Image);
    r.rects.append(target);
    r.source = source;
}

void RecordingEngine::drawTextItem(const QPointF& position, const QTextItem& item) {
    PaintRecord& r = add(PaintKind::Text);
    r.position = position;
    r.text = item.text();
    r.font = item.font();
}

RecordingDevice::RecordingDevice(int width, int height)
    : m_engine(std::make_unique<RecordingEngine>()), m_width(width), m_height(height) {}

RecordingDevice::~RecordingDevice() = default;

bool screenlessMetric(QPaintDevice::PaintDeviceMetric metric, int width, int height, int* value) {
    switch (metric) {
    case QPaintDevice::PdmWidth:
        *value = width;
        return true;
    case QPaintDevice::PdmHeight:
        *value = height;
        return true;
    case QPaintDevice::PdmWidthMM:
        *value = toMillimetres(width);
        return true;
    case QPaintDevice::PdmHeightMM:
        *value = toMillimetres(height);
        return true;
    case QPaintDevice::PdmNumColors:
        *value = 0; // true colour
        return true;
    case QPaintDevice::PdmDepth:
        *value = 32;
        return true;
    case QPaintDevice::PdmDpiX:
    case QPaintDevice::PdmDpiY:
    case QPaintDevice::PdmPhysicalDpiX:
    case QPaintDevice::PdmPhysicalDpiY:
        *value = kDpi;
        return true;
    case QPaintDevice::PdmDevicePixelRatio:
        *value = 1;
        return true;
    case QPaintDevice::PdmDevicePixelRatioScaled:
        *value = static_cast<int>(QPaintDevice::devicePixelRatioFScale());
        return true;
    default:
        return false;
    }
}

int RecordingDevice::metric(PaintDeviceMetric metric) const {
    int value = 0;
    return screenlessMetric(metric, m_width, m_height, &value) ? value
                                                               : QPaintDevice::metric(metric);
}

} // namespace kestro
