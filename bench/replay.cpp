#include "bench/replay.h"

#include <QLine>

namespace kvbench {

Replay::Replay(const kestro::PaintRecords& records, const std::optional<After>& after) {
    using kestro::PaintKind;
    // Whether the painter has no pen after record i: then the record's pen was set, as far as
    // the records tell (a fill with no pen before it is the same work either way).
    const auto leftWithNoPen = [&](size_t i) {
        for (size_t next = i + 1; next < records.size(); ++next) {
            if (records[next].kind != PaintKind::Clip) {
                return records[next].state.pen.style() == Qt::NoPen;
            }
        }
        return after && after->pen.style() == Qt::NoPen;
    };
    bool first = true;
    QPen pen;
    QBrush brush;
    QTransform transform;
    bool transformed = false;
    for (size_t i = 0; i < records.size(); ++i) {
        const kestro::PaintRecord& record = records[i];
        if (record.kind == PaintKind::Clip) {
            if (!record.path.isEmpty()) {
                m_paths.push_back(record.path);
                m_steps.push_back(
                    {Op::ClipPath, static_cast<int>(m_paths.size()) - 1, record.clipOperation});
            } else {
                QRegion region;
                for (const QRectF& r : record.rects) {
                    region += r.toRect();
                }
                m_regions.push_back(region);
                m_steps.push_back(
                    {Op::ClipRegion, static_cast<int>(m_regions.size()) - 1, record.clipOperation});
            }
            continue;
        }
        const kestro::PaintState& state = record.state;
        const bool noPenShape = state.pen.style() == Qt::NoPen && state.transform == transform &&
                                (record.kind == PaintKind::Path || record.kind == PaintKind::Rects);
        const bool fill = noPenShape && !leftWithNoPen(i);
        m_endsWithNoPenDrawing = noPenShape && !fill;
        if (fill) {
            m_brushes.push_back(state.brush);
            const int brushIndex = static_cast<int>(m_brushes.size()) - 1;
            if (record.kind == PaintKind::Path) {
                m_paths.push_back(record.path);
                m_steps.push_back({Op::FillPath, static_cast<int>(m_paths.size()) - 1, brushIndex});
            } else if (record.integer) {
                std::vector<QRect> rects;
                for (const QRectF& r : record.rects) {
                    rects.push_back(r.toRect());
                }
                m_rects.push_back(rects);
                m_steps.push_back(
                    {Op::FillRectsInt, static_cast<int>(m_rects.size()) - 1, brushIndex});
            } else {
                m_rectsF.emplace_back(record.rects.begin(), record.rects.end());
                m_steps.push_back(
                    {Op::FillRectsF, static_cast<int>(m_rectsF.size()) - 1, brushIndex});
            }
            continue;
        }
        if (first || !(state.pen == pen)) {
            pen = state.pen;
            m_pens.push_back(pen);
            m_steps.push_back({Op::Pen, static_cast<int>(m_pens.size()) - 1, 0});
        }
        if (first || !(state.brush == brush)) {
            brush = state.brush;
            m_brushes.push_back(brush);
            m_steps.push_back({Op::Brush, static_cast<int>(m_brushes.size()) - 1, 0});
        }
        if (state.transform != transform) {
            transform = state.transform;
            transformed = true;
            m_transforms.push_back(transform);
            m_steps.push_back({Op::Transform, static_cast<int>(m_transforms.size()) - 1, 0});
        }
        first = false;
        switch (record.kind) {
        case PaintKind::Rects:
            if (record.integer) {
                std::vector<QRect> rects;
                for (const QRectF& r : record.rects) {
                    rects.push_back(r.toRect());
                }
                m_rects.push_back(rects);
                m_steps.push_back({Op::RectsInt, static_cast<int>(m_rects.size()) - 1, 0});
            } else {
                m_rectsF.emplace_back(record.rects.begin(), record.rects.end());
                m_steps.push_back({Op::RectsF, static_cast<int>(m_rectsF.size()) - 1, 0});
            }
            break;
        case PaintKind::Ellipse:
            if (record.integer) {
                m_rects.push_back({record.rect().toRect()});
                m_steps.push_back({Op::EllipseInt, static_cast<int>(m_rects.size()) - 1, 0});
            } else {
                m_rectsF.push_back({record.rect()});
                m_steps.push_back({Op::EllipseF, static_cast<int>(m_rectsF.size()) - 1, 0});
            }
            break;
        case PaintKind::Lines:
            if (record.integer) {
                std::vector<QLine> lines;
                for (const QLineF& l : record.lines) {
                    lines.push_back(l.toLine());
                }
                m_lines.push_back(lines);
                m_steps.push_back({Op::LinesInt, static_cast<int>(m_lines.size()) - 1, 0});
            } else {
                m_linesF.emplace_back(record.lines.begin(), record.lines.end());
                m_steps.push_back({Op::LinesF, static_cast<int>(m_linesF.size()) - 1, 0});
            }
            break;
        case PaintKind::Polygon:
            if (record.integer) {
                m_polygons.push_back(record.points.toPolygon());
                m_steps.push_back(
                    {Op::PolygonInt, static_cast<int>(m_polygons.size()) - 1, record.polygonMode});
            } else {
                m_polygonsF.push_back(record.points);
                m_steps.push_back(
                    {Op::PolygonF, static_cast<int>(m_polygonsF.size()) - 1, record.polygonMode});
            }
            break;
        case PaintKind::Path:
            m_paths.push_back(record.path);
            m_steps.push_back({Op::Path, static_cast<int>(m_paths.size()) - 1, 0});
            break;
        case PaintKind::Points:
            m_polygonsF.push_back(record.points);
            m_steps.push_back({Op::PointsF, static_cast<int>(m_polygonsF.size()) - 1, 0});
            break;
        case PaintKind::Text:
            m_texts.push_back({record.position, record.text, record.font});
            m_steps.push_back({Op::Text, static_cast<int>(m_texts.size()) - 1, 0});
            break;
        default:
            ++m_skipped;
            break;
        }
    }
    if (transformed) {
        m_steps.push_back({Op::ResetTransform, 0, 0});
    }
}

namespace {

template <class Point>
void drawPolygonIn(QPainter* painter, const Point* points, int count, int mode) {
    switch (mode) {
    case QPaintEngine::ConvexMode:
        painter->drawConvexPolygon(points, count);
        break;
    case QPaintEngine::PolylineMode:
        painter->drawPolyline(points, count);
        break;
    case QPaintEngine::WindingMode:
        painter->drawPolygon(points, count, Qt::WindingFill);
        break;
    default:
        painter->drawPolygon(points, count, Qt::OddEvenFill);
        break;
    }
}

} // namespace

void Replay::play(QPainter* painter) const {
    for (const Step& step : m_steps) {
        const size_t i = static_cast<size_t>(step.index);
        switch (step.op) {
        case Op::Pen:
            painter->setPen(m_pens[i]);
            break;
        case Op::Brush:
            painter->setBrush(m_brushes[i]);
            break;
        case Op::Transform:
            painter->setTransform(m_transforms[i]);
            break;
        case Op::ResetTransform:
            painter->resetTransform();
            break;
        case Op::ClipRegion:
            painter->setClipRegion(m_regions[i], static_cast<Qt::ClipOperation>(step.mode));
            break;
        case Op::ClipPath:
            painter->setClipPath(m_paths[i], static_cast<Qt::ClipOperation>(step.mode));
            break;
        case Op::RectsInt:
            painter->drawRects(m_rects[i].data(), static_cast<int>(m_rects[i].size()));
            break;
        case Op::RectsF:
            painter->drawRects(m_rectsF[i].data(), static_cast<int>(m_rectsF[i].size()));
            break;
        case Op::EllipseInt:
            painter->drawEllipse(m_rects[i][0]);
            break;
        case Op::EllipseF:
            painter->drawEllipse(m_rectsF[i][0]);
            break;
        case Op::LinesInt:
            painter->drawLines(m_lines[i].data(), static_cast<int>(m_lines[i].size()));
            break;
        case Op::LinesF:
            painter->drawLines(m_linesF[i].data(), static_cast<int>(m_linesF[i].size()));
            break;
        case Op::PolygonInt:
            drawPolygonIn(painter, m_polygons[i].constData(),
                          static_cast<int>(m_polygons[i].size()), step.mode);
            break;
        case Op::PolygonF:
            drawPolygonIn(painter, m_polygonsF[i].constData(),
                          static_cast<int>(m_polygonsF[i].size()), step.mode);
            break;
        case Op::Path:
            painter->drawPath(m_paths[i]);
            break;
        case Op::PointsF:
            painter->drawPoints(m_polygonsF[i].constData(),
                                static_cast<int>(m_polygonsF[i].size()));
            break;
        case Op::FillPath:
            painter->fillPath(m_paths[i], m_brushes[static_cast<size_t>(step.mode)]);
            break;
        case Op::FillRectsInt:
            for (const QRect& r : m_rects[i]) {
                painter->fillRect(r, m_brushes[static_cast<size_t>(step.mode)]);
            }
            break;
        case Op::FillRectsF:
            for (const QRectF& r : m_rectsF[i]) {
                painter->fillRect(r, m_brushes[static_cast<size_t>(step.mode)]);
            }
            break;
        case Op::Text:
            painter->setFont(m_texts[i].font);
            painter->drawText(m_texts[i].position, m_texts[i].text);
            break;
        }
    }
}

} // namespace kvbench
