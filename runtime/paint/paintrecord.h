// One recorded paint-engine call with the painter state it was made under, and its readable
// and JSON forms. Written by RecordingEngine (recordingdevice.h); read by tests and tools.
#pragma once

#include <QBrush>
#include <QFont>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineF>
#include <QList>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <iosfwd>
#include <vector>

namespace kestro {

//! Which engine call a record stands for.
enum class PaintKind {
    Rects,       //!< drawRects
    Lines,       //!< drawLines
    Points,      //!< drawPoints
    Polygon,     //!< drawPolygon, any mode (drawPolyline arrives here as PolylineMode)
    Ellipse,     //!< drawEllipse
    Path,        //!< drawPath
    Pixmap,      //!< drawPixmap
    TiledPixmap, //!< drawTiledPixmap
    Image,       //!< drawImage
    Text,        //!< drawTextItem
    Clip,        //!< updateState carrying a clip change: not a drawing, but part of the order
};

//! The clip in force, kept by the engine from the clip updates it receives. Qt only reports
//! each operation; the combined clip is ours.
struct ClipState {
    bool enabled = false;                     //!< as Qt reports it (setClipping, any setClip*)
    Qt::ClipOperation operation = Qt::NoClip; //!< the last operation Qt reported
    bool isPath = false;                      //!< a path took part: see path, else region
    QRegion region;                           //!< the combined clip in device pixels
    QPainterPath path;                        //!< the combined clip in device coordinates

    //! Drawing is clipped. Qt leaves clipping enabled after NoClip; the operation tells.
    bool active() const { return enabled && operation != Qt::NoClip; }
    //! The rectangles of the combined clip (empty for a path clip or no clip).
    QList<QRect> rects() const;
};

//! The painter state a call was made under, as far as the engine was told of it.
struct PaintState {
    QPen pen;     //!< Qt 6 default: solid black, width 1, square cap, bevel join
    QBrush brush; //!< gradient brushes keep their gradient: brush.gradient()
    QTransform transform;
    ClipState clip;
    QPainter::CompositionMode composition = QPainter::CompositionMode_SourceOver;
    QPainter::RenderHints hints;
    qreal opacity = 1.0;
};

struct PaintRecord {
    PaintKind kind = PaintKind::Rects;
    bool integer = false; //!< came through the int overload (QRect, QLine, QPoint)
    //! Rects: the rectangles; Ellipse, Pixmap, TiledPixmap, Image: the one target rectangle;
    //! Clip: the rectangles of the region Qt reported (logical coordinates).
    QList<QRectF> rects;
    QList<QLineF> lines;                                                   //!< Lines
    QPolygonF points;                                                      //!< Points, Polygon
    QPaintEngine::PolygonDrawMode polygonMode = QPaintEngine::OddEvenMode; //!< Polygon
    QPainterPath path; //!< Path; Clip: the path Qt reported
    QRectF source;     //!< Pixmap, Image: the source rectangle
    QPointF position;  //!< Text: the baseline origin; TiledPixmap: the offset
    QString text;      //!< Text
    QFont font;        //!< Text
    Qt::ClipOperation clipOperation = Qt::NoClip; //!< Clip: the operation Qt reported
    PaintState state;

    //! The first rectangle (the target of an ellipse, pixmap or image), or a null one.
    QRectF rect() const { return rects.value(0); }
};

using PaintRecords = std::vector<PaintRecord>;

//! The records of one kind, in order.
PaintRecords ofKind(const PaintRecords& records, PaintKind kind);
//! The records that draw something (everything but Clip), in order.
PaintRecords drawings(const PaintRecords& records);

//! Equal as far as the readable and JSON forms tell: pens by style, width, colour, cap, join and
//! cosmetic; brushes by style, colour and gradient (type, points, stops); colours by RGBA.
bool operator==(const PaintState& a, const PaintState& b);
bool operator==(const PaintRecord& a, const PaintRecord& b);
inline bool operator!=(const PaintRecord& a, const PaintRecord& b) {
    return !(a == b);
}

//! Name of a kind as in the readable and JSON forms ("rects", "polygon", "clip", ...).
QString kindName(PaintKind kind);

//! One line: kind, coordinates, then pen and brush, and clip, transform, opacity, composition
//! when not at their defaults. Colours as #rrggbb, with "@alpha" when not opaque.
QString describe(const PaintRecord& record);
//! One line per record, numbered from 0; for failure messages.
QString dump(const PaintRecords& records);

QJsonObject toJson(const PaintRecord& record);
QJsonArray toJson(const PaintRecords& records);

//! For test failure messages (GoogleTest prints values through this).
std::ostream& operator<<(std::ostream& out, const PaintRecord& record);

} // namespace kestro
