// Where a drawing may put pixels: a paint device whose engine draws nothing and only collects,
// in device pixels, a rectangle that holds every pixel the calls it received can touch.
//
// The repaint of a changed region asks each object where it paints this way instead of from a
// table per class: the shapes reach outside their rectangle in ways that follow their own fields
// (a polyline band's width, a balloon's tail, percentages beyond 0 to 100, a text that runs past
// its box, a 3-D shape's pixel above or beside it), and the calls a drawing makes are the one
// account of all of them. The rectangle is conservative: a stroke reaches as far as its caps and
// joins can (a square cap's corner, a mitre to the pen's limit; a pixel more for a slanted line
// of a one-pixel pen), a text a quarter of its height beyond the glyphs' box, and the pixels are
// those whose centres lie within, give or take a quarter pixel of the rasteriser's rounding
// (every pixel touched when antialiased); the painter's clip is not applied. It also tells
// whether the drawing's colours depend on where a clip starts its spans (steppedAlongSpans).
#pragma once

#include <QBrush>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QRect>
#include <QTransform>

#include <memory>

namespace kestro {

class ExtentEngine : public QPaintEngine {
public:
    ExtentEngine() : QPaintEngine(AllFeatures) {}

    //! Every pixel the calls since the last reset may touch; empty when there were none.
    QRect extent() const;
    //! True when a call since the last reset drew a gradient, a texture or an image. Qt's
    //! raster engine steps those along each span of pixels from the span's first pixel, so
    //! their colours may differ by a rounding step where a clip makes a span start elsewhere.
    bool steppedAlongSpans() const { return m_stepped; }
    //! Forgets the calls; the painter state stays.
    void reset() {
        m_any = false;
        m_stepped = false;
    }

    bool begin(QPaintDevice* device) override;
    bool end() override { return true; }
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
    //! What the pen may add around a shape: nothing (not stroked), the reach of any cap and
    //! join, or of a rectangle's right-angled corners.
    enum class Corners { None, Any, Right };
    //! Adds a shape's logical bounds.
    void add(const QRectF& bounds, Corners corners);
    //! Adds a rectangle already in device pixels.
    void addDevice(double left, double top, double right, double bottom);

    //! A call in device pixels, a fill or stroke in the current brush and pen; an image, if.
    void noteStepping(bool image);

    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
    bool m_antialiased = false;
    bool m_any = false;
    bool m_stepped = false;
    double m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
};

//! A device at 96 dpi, as large as a device may be, on which every call is measured.
class ExtentDevice : public QPaintDevice {
public:
    ExtentDevice();
    ~ExtentDevice() override;

    QPaintEngine* paintEngine() const override { return m_engine.get(); }
    ExtentEngine& engine() { return *m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    std::unique_ptr<ExtentEngine> m_engine;
};

} // namespace kestro
