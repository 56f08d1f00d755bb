// The lower limit of a drawing: the painter calls an object made, recorded once on the recording
// paint device and played back with everything prepared, so that a run costs Qt's own work and
// nothing else.
#pragma once

#include "runtime/paint/paintrecord.h"

#include <QPainter>
#include <QPolygon>
#include <QRect>

#include <optional>
#include <vector>

namespace kvbench {

//! Painter calls rebuilt from paint records. Each engine call goes back to the painter call that
//! sends it: rectangles to drawRects, ellipses to drawEllipse, lines to drawLines, polygons to
//! drawPolygon, drawPolyline or drawConvexPolygon by their mode, paths to drawPath (what
//! QPainter makes of drawArc, drawPie, drawChord, fillPath and, off the raster engine,
//! drawRoundedRect), text items to drawText at their baseline in their font, clip records to
//! setClipRegion or setClipPath. The pen, brush and transform
//! of each record are set before it when they differ from the one before.
//!
//! A rectangle or path drawn with Qt::NoPen is either a fill (fillRect, fillPath: the painter's
//! pen and brush stay as they were) or a drawing made after setPen(Qt::NoPen) and setBrush. The
//! records look the same; the state after tells them apart: only the second leaves the painter
//! with no pen. The state after the last record is the painter's when the calls end, when
//! known; without it the last such record counts as a fill.
class Replay {
public:
    //! The painter's pen and brush when the recorded calls ended.
    struct After {
        QPen pen;
        QBrush brush;
    };

    Replay() = default;
    explicit Replay(const kestro::PaintRecords& records, const std::optional<After>& after = {});

    //! Plays the calls on the painter; a transform that was set is reset at the end.
    void play(QPainter* painter) const;

    bool empty() const { return m_steps.empty(); }
    //! Records it could not rebuild (pixmaps, images): zero for the module's shapes.
    int skipped() const { return m_skipped; }
    //! The last record was a drawing with no pen and its brush set, not a fill.
    bool endsWithNoPenDrawing() const { return m_endsWithNoPenDrawing; }

private:
    enum class Op {
        Pen,
        Brush,
        Transform,
        ResetTransform,
        ClipRegion,
        ClipPath,
        RectsInt,
        RectsF,
        EllipseInt,
        EllipseF,
        LinesInt,
        LinesF,
        PolygonInt,
        PolygonF,
        Path,
        PointsF,
        Text,
        FillPath,
        FillRectsInt,
        FillRectsF,
    };
    struct Step {
        Op op;
        int index; //!< into the store of its kind
        int mode;  //!< polygon mode, clip operation; the brush of a fill
    };

    std::vector<Step> m_steps;
    std::vector<QPen> m_pens;
    std::vector<QBrush> m_brushes;
    std::vector<QTransform> m_transforms;
    std::vector<QRegion> m_regions;
    std::vector<QPainterPath> m_paths;
    std::vector<std::vector<QRect>> m_rects;
    std::vector<std::vector<QRectF>> m_rectsF;
    std::vector<std::vector<QLine>> m_lines;
    std::vector<std::vector<QLineF>> m_linesF;
    std::vector<QPolygon> m_polygons;
    std::vector<QPolygonF> m_polygonsF;
    struct TextItem {
        QPointF position;
        QString text;
        QFont font;
    };
    std::vector<TextItem> m_texts;
    int m_skipped = 0;
    bool m_endsWithNoPenDrawing = false;
};

} // namespace kvbench
