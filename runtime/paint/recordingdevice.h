// A paint device that draws nothing and records every call its engine receives, in order, with
// the painter state of the moment: what a shape drew, with which pen, brush, clip and transform.
//
// The engine claims every feature, so QPainter neither emulates nor pre-transforms: coordinates
// arrive exactly as the caller gave them, and the transform, gradients and clip arrive as state.
// How QPainter calls arrive here (Qt 6; pinned by tests/runtime/paint/recordingdevice_test.cpp):
//
//   QPainter call                              engine call -> record
//   drawRect(QRect), drawRects(QRect*, n)      drawRects(QRect*)    -> Rects, integer
//   drawRect(QRectF), drawRects(QRectF*, n)    drawRects(QRectF*)   -> Rects
//   fillRect(QRect or QRectF, brush or colour) the same Rects with pen NoPen and that brush,
//                                              also for a no-fill brush; the pen and brush are
//                                              set back for the next call
//   drawEllipse(QRect)                         drawEllipse(QRect)   -> Ellipse, integer, the
//                                              rectangle normalized() first
//   drawEllipse(QRectF), (centre, rx, ry)      drawEllipse(QRectF)  -> Ellipse
//   drawRoundedRect (QRect or QRectF)          drawPath             -> Path of addRoundedRect;
//                                              a radius <= 0 gives Rects (QRectF) instead
//   drawArc                                    drawPath             -> Path (arcMoveTo + arcTo),
//                                              brush NoBrush (stroked)
//   drawPie, drawChord, drawPath               drawPath             -> Path
//   fillPath(path, brush)                      drawPath             -> Path, pen NoPen, that brush
//   drawLine(s) (QLine / QLineF)               drawLines            -> Lines (integer for QLine)
//   drawPolygon(points, n, rule)               drawPolygon          -> Polygon, mode OddEvenMode
//                                              or WindingMode (integer for QPoint)
//   drawPolyline                               drawPolygon          -> Polygon, PolylineMode
//   drawConvexPolygon                          drawPolygon          -> Polygon, ConvexMode
//   drawPoint(s)                               drawPoints           -> Points
//   drawText                                   drawTextItem         -> Text (baseline origin);
//                                              the rectangle form clips to its rectangle unless
//                                              Qt::TextDontClip: Clip records around the Text
//   drawPixmap / drawImage / drawTiledPixmap   the same             -> Pixmap / Image / TiledPixmap
//
// Polygons, polylines and rectangle lists with fewer points than they need (0 rects, < 2
// points) never arrive. With an opaque background mode, dashed pens and patterned brushes are
// emulated by QPainter as several drawPath calls.
//
// State arrives lazily: setPen, setBrush, scale, translate, save and restore send nothing until
// the next drawing, which is preceded by one updateState with the changed parts. The clip is the
// exception, sent at once, and each clip update becomes a Clip record:
//   - setClipRect(QRect, op), setClipRegion, setClipRect(QRectF) with whole coordinates: a
//     region; setClipRect(QRectF) otherwise and setClipPath: a path;
//   - IntersectClip with no clip in force arrives as ReplaceClip;
//   - NoClip arrives as the operation NoClip, clipping still enabled;
//   - restore() after a clip change clears the clip (NoClip) and replays the clip operations of
//     the restored state, each with the transform of its time, then the restored transform;
//     with no clip to restore it sends one NoClip.
#pragma once

#include "runtime/paint/paintrecord.h"

#include <QPaintDevice>
#include <QPaintEngine>

#include <memory>

namespace kestro {

//! The engine of RecordingDevice: one record per primitive call.
class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine();

    //! Calls so far, in order.
    const PaintRecords& records() const { return m_records; }
    //! Forgets the records; the state of an active painter stays.
    void clear() { m_records.clear(); }

    bool begin(QPaintDevice* device) override;
    bool end() override;
    Type type() const override { return User; }
    void updateState(const QPaintEngineState& changed) override;

    void drawRects(const QRect* rects, int count) override;
    void drawRects(const QRectF* rects, int count) override;
    void drawLines(const QLine* lines, int count) override;
    void drawLines(const QLineF* lines, int count) override;
    void drawEllipse(const QRect& rect) override;
    void drawEllipse(const QRectF& rect) override;
    void drawPath(const QPainterPath& path) override;
    void drawPoints(const QPoint* points, int count) override;
    void drawPoints(const QPointF* points, int count) override;
    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override;
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override;
    void drawTiledPixmap(const QRectF& target, const QPixmap& pixmap,
                         const QPointF& offset) override;
    void drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags flags) override;
    void drawTextItem(const QPointF& position, const QTextItem& item) override;

private:
    PaintRecord& add(PaintKind kind, bool integer = false);
    void updateClip(const QPaintEngineState& changed);

    PaintState m_state;
    PaintRecords m_records;
};

//! A metric of a 96-dpi, 32-bit device of that size with no screen behind it, as the host's own
//! paint devices answer them; false for a metric QPaintDevice answers itself.
bool screenlessMetric(QPaintDevice::PaintDeviceMetric metric, int width, int height, int* value);

//! A device of a given size at 96 dpi that records instead of drawing.
class RecordingDevice : public QPaintDevice {
public:
    explicit RecordingDevice(int width = 1920, int height = 1080);
    ~RecordingDevice() override;

    QPaintEngine* paintEngine() const override { return m_engine.get(); }

    const PaintRecords& records() const { return m_engine->records(); }
    //! The records of one kind, in order.
    PaintRecords ofKind(PaintKind kind) const { return kestro::ofKind(records(), kind); }
    //! The records that draw something, without the Clip records.
    PaintRecords drawings() const { return kestro::drawings(records()); }
    void clear() { m_engine->clear(); }

    //! One numbered line per record, for failure messages.
    QString dump() const { return kestro::dump(records()); }
    QJsonArray toJson() const { return kestro::toJson(records()); }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    std::unique_ptr<RecordingEngine> m_engine;
    int m_width;
    int m_height;
};

} // namespace kestro
