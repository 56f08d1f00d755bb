#include "runtime/paint/paintrecord.h"

#include <QJsonValue>

#include <ostream>

namespace kestro {

namespace {

// Names of the enumerations, shared by the readable line and the JSON form.
template <typename E>
struct Named {
    E value;
    const char* name;
};

constexpr Named<PaintKind> kKinds[] = {
    {PaintKind::Rects, "rects"},     {PaintKind::Lines, "lines"},
    {PaintKind::Points, "points"},   {PaintKind::Polygon, "polygon"},
    {PaintKind::Ellipse, "ellipse"}, {PaintKind::Path, "path"},
    {PaintKind::Pixmap, "pixmap"},   {PaintKind::TiledPixmap, "tiledpixmap"},
    {PaintKind::Image, "image"},     {PaintKind::Text, "text"},
    {PaintKind::Clip, "clip"},
};

constexpr Named<QPaintEngine::PolygonDrawMode> kPolygonModes[] = {
    {QPaintEngine::OddEvenMode, "oddeven"},
    {QPaintEngine::WindingMode, "winding"},
    {QPaintEngine::ConvexMode, "convex"},
    {QPaintEngine::PolylineMode, "polyline"},
};

constexpr Named<Qt::FillRule> kFillRules[] = {
    {Qt::OddEvenFill, "oddeven"},
    {Qt::WindingFill, "winding"},
};

constexpr Named<Qt::ClipOperation> kClipOperations[] = {
    {Qt::NoClip, "none"},
    {Qt::ReplaceClip, "replace"},
    {Qt::IntersectClip, "intersect"},
};

constexpr Named<Qt::PenStyle> kPenStyles[] = {
    {Qt::NoPen, "none"},
    {Qt::SolidLine, "solid"},
    {Qt::DashLine, "dash"},
    {Qt::DotLine, "dot"},
    {Qt::DashDotLine, "dashdot"},
    {Qt::DashDotDotLine, "dashdotdot"},
    {Qt::CustomDashLine, "custom"},
};

constexpr Named<Qt::PenCapStyle> kCaps[] = {
    {Qt::FlatCap, "flat"},
    {Qt::SquareCap, "square"},
    {Qt::RoundCap, "round"},
};

constexpr Named<Qt::PenJoinStyle> kJoins[] = {
    {Qt::MiterJoin, "miter"},
    {Qt::BevelJoin, "bevel"},
    {Qt::RoundJoin, "round"},
    {Qt::SvgMiterJoin, "svgmiter"},
};

constexpr Named<Qt::BrushStyle> kBrushStyles[] = {
    {Qt::NoBrush, "none"},
    {Qt::SolidPattern, "solid"},
    {Qt::Dense1Pattern, "dense1"},
    {Qt::Dense2Pattern, "dense2"},
    {Qt::Dense3Pattern, "dense3"},
    {Qt::Dense4Pattern, "dense4"},
    {Qt::Dense5Pattern, "dense5"},
    {Qt::Dense6Pattern, "dense6"},
    {Qt::Dense7Pattern, "dense7"},
    {Qt::HorPattern, "hor"},
    {Qt::VerPattern, "ver"},
    {Qt::CrossPattern, "cross"},
    {Qt::BDiagPattern, "bdiag"},
    {Qt::FDiagPattern, "fdiag"},
    {Qt::DiagCrossPattern, "diagcross"},
    {Qt::LinearGradientPattern, "lineargradient"},
    {Qt::RadialGradientPattern, "radialgradient"},
    {Qt::ConicalGradientPattern, "conicalgradient"},
    {Qt::TexturePattern, "texture"},
};

template <typename E, std::size_t N>
QString nameOf(const Named<E> (&table)[N], E value) {
    for (const Named<E>& entry : table) {
        if (entry.value == value) {
            return QString::fromLatin1(entry.name);
        }
    }
    return QString::number(static_cast<int>(value));
}

// ---- comparison ---------------------------------------------------------------------------

bool sameColor(const QColor& a, const QColor& b) {
    return a.isValid() == b.isValid() && (!a.isValid() || a.rgba() == b.rgba());
}

bool sameStops(const QGradientStops& a, const QGradientStops& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].first != b[i].first || !sameColor(a[i].second, b[i].second)) {
            return false;
        }
    }
    return true;
}

bool sameGradient(const QGradient* a, const QGradient* b) {
    if (!a || !b) {
        return a == b;
    }
    if (a->type() != b->type() || !sameStops(a->stops(), b->stops())) {
        return false;
    }
    switch (a->type()) {
    case QGradient::LinearGradient: {
        auto la = static_cast<const QLinearGradient*>(a);
        auto lb = static_cast<const QLinearGradient*>(b);
        return la->start() == lb->start() && la->finalStop() == lb->finalStop();
    }
    case QGradient::RadialGradient: {
        auto ra = static_cast<const QRadialGradient*>(a);
        auto rb = static_cast<const QRadialGradient*>(b);
        return ra->center() == rb->center() && ra->centerRadius() == rb->centerRadius() &&
               ra->focalPoint() == rb->focalPoint() && ra->focalRadius() == rb->focalRadius();
    }
    case QGradient::ConicalGradient: {
        auto ca = static_cast<const QConicalGradient*>(a);
        auto cb = static_cast<const QConicalGradient*>(b);
        return ca->center() == cb->center() && ca->angle() == cb->angle();
    }
    case QGradient::NoGradient:
        break;
    }
    return true;
}

bool samePen(const QPen& a, const QPen& b) {
    return a.style() == b.style() && a.widthF() == b.widthF() && sameColor(a.color(), b.color()) &&
           a.capStyle() == b.capStyle() && a.joinStyle() == b.joinStyle() &&
           a.isCosmetic() == b.isCosmetic();
}

bool sameBrush(const QBrush& a, const QBrush& b) {
    return a.style() == b.style() && sameColor(a.color(), b.color()) &&
           sameGradient(a.gradient(), b.gradient());
}

bool sameClip(const ClipState& a, const ClipState& b) {
    return a.enabled == b.enabled && a.operation == b.operation && a.isPath == b.isPath &&
           a.region == b.region && a.path == b.path;
}

// ---- readable form ------------------------------------------------------------------------

QString num(qreal value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString coords(const QPointF& p) {
    return num(p.x()) + QLatin1Char(',') + num(p.y());
}
QString point(const QPointF& p) {
    return QLatin1Char('(') + coords(p) + QLatin1Char(')');
}

QString rect(const QRectF& r) {
    return QStringLiteral("(%1,%2 %3x%4)")
        .arg(num(r.x()), num(r.y()), num(r.width()), num(r.height()));
}

QString color(const QColor& c) {
    if (!c.isValid()) {
        return QStringLiteral("invalid");
    }
    QString text = c.name(QColor::HexRgb);
    if (c.alpha() != 255) {
        text += QLatin1Char('@') + QString::number(c.alpha());
    }
    return text;
}

template <typename T, typename F>
QString joined(const T& items, F describeItem) {
    QStringList parts;
    for (const auto& item : items) {
        parts << describeItem(item);
    }
    return QLatin1Char('[') + parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

QString pathText(const QPainterPath& path) {
    QStringList parts;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            parts << QLatin1Char('M') + point(e);
        } else if (e.isLineTo()) {
            parts << QLatin1Char('L') + point(e);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            parts << QStringLiteral("C(%1 %2 %3)")
                         .arg(coords(e), coords(path.elementAt(i + 1)),
                              coords(path.elementAt(i + 2)));
            i += 2;
        }
    }
    return nameOf(kFillRules, path.fillRule()) + QStringLiteral(" [") +
           parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

QString stopsText(const QGradientStops& stops) {
    QStringList parts;
    for (const QGradientStop& stop : stops) {
        parts << num(stop.first) + QLatin1Char(' ') + color(stop.second);
    }
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString penText(const QPen& pen) {
    if (pen.style() == Qt::NoPen) {
        return QStringLiteral("pen none");
    }
    QString text = QStringLiteral("pen %1 %2 %3 %4 %5")
                       .arg(nameOf(kPenStyles, pen.style()), num(pen.widthF()), color(pen.color()),
                            nameOf(kCaps, pen.capStyle()), nameOf(kJoins, pen.joinStyle()));
    if (pen.isCosmetic()) {
        text += QStringLiteral(" cosmetic");
    }
    return text;
}

QString gradientText(const QGradient& g) {
    switch (g.type()) {
    case QGradient::LinearGradient: {
        const auto& l = static_cast<const QLinearGradient&>(g);
        return point(l.start()) + QStringLiteral("->") + point(l.finalStop());
    }
    case QGradient::RadialGradient: {
        const auto& r = static_cast<const QRadialGradient&>(g);
        QString text = QStringLiteral("centre %1 radius %2 focal %3")
                           .arg(point(r.center()), num(r.centerRadius()), point(r.focalPoint()));
        if (r.focalRadius() != 0) {
            text += QStringLiteral(" focalradius ") + num(r.focalRadius());
        }
        return text;
    }
    case QGradient::ConicalGradient: {
        const auto& c = static_cast<const QConicalGradient&>(g);
        return QStringLiteral("centre %1 angle %2").arg(point(c.center()), num(c.angle()));
    }
    case QGradient::NoGradient:
        break;
    }
    return QString();
}

QString brushText(const QBrush& brush) {
    QString text = QStringLiteral("brush ") + nameOf(kBrushStyles, brush.style());
    if (const QGradient* g = brush.gradient()) {
        return text + QLatin1Char(' ') + gradientText(*g) + QLatin1Char(' ') +
               stopsText(g->stops());
    }
    // A no-fill brush says its colour only when it is not the default one.
    if (brush.style() != Qt::NoBrush || !sameColor(brush.color(), QBrush().color())) {
        text += QLatin1Char(' ') + color(brush.color());
    }
    return text;
}

QString clipText(const ClipState& clip) {
    if (!clip.active()) {
        return QStringLiteral("no clip");
    }
    if (clip.isPath) {
        return QStringLiteral("clip path ") + pathText(clip.path);
    }
    return QStringLiteral("clip ") + joined(clip.rects(), [](const QRect& r) { return rect(r); });
}

QString stateText(const PaintState& state, bool withClip) {
    QStringList parts{penText(state.pen), brushText(state.brush)};
    if (withClip && state.clip.active()) {
        parts << clipText(state.clip);
    }
    if (!state.transform.isIdentity()) {
        const QTransform& t = state.transform;
        parts << QStringLiteral("transform [%1 %2 %3 %4 %5 %6]")
                     .arg(num(t.m11()), num(t.m12()), num(t.m21()), num(t.m22()), num(t.dx()),
                          num(t.dy()));
    }
    if (state.opacity != 1.0) {
        parts << QStringLiteral("opacity ") + num(state.opacity);
    }
    if (state.composition != QPainter::CompositionMode_SourceOver) {
        parts << QStringLiteral("composition ") + QString::number(state.composition);
    }
    if (state.hints != QPainter::RenderHints()) {
        parts << QStringLiteral("hints ") + QString::number(static_cast<int>(state.hints.toInt()));
    }
    return parts.join(QStringLiteral(" | "));
}

// ---- JSON: writing ------------------------------------------------------------------------

QJsonArray jsonPoint(const QPointF& p) {
    return {p.x(), p.y()};
}
QJsonArray jsonRect(const QRectF& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}
QJsonArray jsonLine(const QLineF& l) {
    return {l.x1(), l.y1(), l.x2(), l.y2()};
}

void putColor(QJsonObject& object, const QColor& c) {
    if (!c.isValid()) {
        object[QLatin1String("color")] = QJsonValue::Null;
        return;
    }
    object[QLatin1String("color")] = c.name(QColor::HexRgb);
    object[QLatin1String("alpha")] = c.alpha();
}

QJsonObject jsonPath(const QPainterPath& path) {
    QJsonArray elements;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            elements.append(QJsonArray{QStringLiteral("M"), e.x, e.y});
        } else if (e.isLineTo()) {
            elements.append(QJsonArray{QStringLiteral("L"), e.x, e.y});
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            elements.append(QJsonArray{QStringLiteral("C"), e.x, e.y, c2.x, c2.y, end.x, end.y});
            i += 2;
        }
    }
    return {{QLatin1String("fill"), nameOf(kFillRules, path.fillRule())},
            {QLatin1String("elements"), elements}};
}

QJsonObject jsonPen(const QPen& pen) {
    QJsonObject o{{QLatin1String("style"), nameOf(kPenStyles, pen.style())},
                  {QLatin1String("width"), pen.widthF()},
                  {QLatin1String("cap"), nameOf(kCaps, pen.capStyle())},
                  {QLatin1String("join"), nameOf(kJoins, pen.joinStyle())},
                  {QLatin1String("cosmetic"), pen.isCosmetic()}};
    putColor(o, pen.color());
    return o;
}

QJsonObject jsonGradient(const QGradient& g) {
    QJsonObject o;
    switch (g.type()) {
    case QGradient::LinearGradient: {
        const auto& l = static_cast<const QLinearGradient&>(g);
        o[QLatin1String("type")] = QStringLiteral("linear");
        o[QLatin1String("start")] = jsonPoint(l.start());
        o[QLatin1String("finalStop")] = jsonPoint(l.finalStop());
        break;
    }
    case QGradient::RadialGradient: {
        const auto& r = static_cast<const QRadialGradient&>(g);
        o[QLatin1String("type")] = QStringLiteral("radial");
        o[QLatin1String("center")] = jsonPoint(r.center());
        o[QLatin1String("radius")] = r.centerRadius();
        o[QLatin1String("focalPoint")] = jsonPoint(r.focalPoint());
        o[QLatin1String("focalRadius")] = r.focalRadius();
        break;
    }
    case QGradient::ConicalGradient: {
        const auto& c = static_cast<const QConicalGradient&>(g);
        o[QLatin1String("type")] = QStringLiteral("conical");
        o[QLatin1String("center")] = jsonPoint(c.center());
        o[QLatin1String("angle")] = c.angle();
        break;
    }
    case QGradient::NoGradient:
        break;
    }
    QJsonArray stops;
    for (const QGradientStop& stop : g.stops()) {
        QJsonObject s{{QLatin1String("at"), stop.first}};
        putColor(s, stop.second);
        stops.append(s);
    }
    o[QLatin1String("stops")] = stops;
    return o;
}

QJsonObject jsonBrush(const QBrush& brush) {
    QJsonObject o{{QLatin1String("style"), nameOf(kBrushStyles, brush.style())}};
    putColor(o, brush.color());
    if (const QGradient* g = brush.gradient()) {
        o[QLatin1String("gradient")] = jsonGradient(*g);
    }
    return o;
}

QJsonValue jsonTransform(const QTransform& t) {
    if (t.isAffine()) {
        return QJsonArray{t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    }
    return QJsonArray{t.m11(), t.m12(), t.m13(), t.m21(), t.m22(),
                      t.m23(), t.m31(), t.m32(), t.m33()};
}

QJsonObject jsonClip(const ClipState& clip) {
    QJsonObject o{{QLatin1String("enabled"), clip.enabled},
                  {QLatin1String("operation"), nameOf(kClipOperations, clip.operation)}};
    if (clip.isPath) {
        o[QLatin1String("path")] = jsonPath(clip.path);
    } else {
        QJsonArray rects;
        for (const QRect& r : clip.region) {
            rects.append(jsonRect(r));
        }
        o[QLatin1String("rects")] = rects;
    }
    return o;
}

} // namespace

// ---- public -------------------------------------------------------------------------------

QList<QRect> ClipState::rects() const {
    QList<QRect> result;
    if (!isPath && active()) {
        for (const QRect& r : region) {
            result.append(r);
        }
    }
    return result;
}

PaintRecords ofKind(const PaintRecords& records, PaintKind kind) {
    PaintRecords result;
    for (const PaintRecord& r : records) {
        if (r.kind == kind) {
            result.push_back(r);
        }
    }
    return result;
}

PaintRecords drawings(const PaintRecords& records) {
    PaintRecords result;
    for (const PaintRecord& r : records) {
        if (r.kind != PaintKind::Clip) {
            result.push_back(r);
        }
    }
    return result;
}

bool operator==(const PaintState& a, const PaintState& b) {
    return samePen(a.pen, b.pen) && sameBrush(a.brush, b.brush) && a.transform == b.transform &&
           sameClip(a.clip, b.clip) && a.composition == b.composition && a.hints == b.hints &&
           a.opacity == b.opacity;
}

bool operator==(const PaintRecord& a, const PaintRecord& b) {
    return a.kind == b.kind && a.integer == b.integer && a.rects == b.rects && a.lines == b.lines &&
           a.points == b.points && a.polygonMode == b.polygonMode && a.path == b.path &&
           a.source == b.source && a.position == b.position && a.text == b.text &&
           (a.kind != PaintKind::Text || a.font == b.font) && a.clipOperation == b.clipOperation &&
           a.state == b.state;
}

QString kindName(PaintKind kind) {
    return nameOf(kKinds, kind);
}

QString describe(const PaintRecord& r) {
    QString line = kindName(r.kind);
    if (r.integer) {
        line += QStringLiteral(" int");
    }
    const auto rectText = [](const QRectF& x) { return rect(x); };
    switch (r.kind) {
    case PaintKind::Rects:
        line += QLatin1Char(' ') + joined(r.rects, rectText);
        break;
    case PaintKind::Lines:
        line += QLatin1Char(' ') + joined(r.lines, [](const QLineF& l) {
                    return point(l.p1()) + QLatin1Char('-') + point(l.p2());
                });
        break;
    case PaintKind::Points:
        line += QLatin1Char(' ') + joined(r.points, point);
        break;
    case PaintKind::Polygon:
        line += QLatin1Char(' ') + nameOf(kPolygonModes, r.polygonMode) + QLatin1Char(' ') +
                joined(r.points, point);
        break;
    case PaintKind::Ellipse:
        line += QLatin1Char(' ') + rect(r.rect());
        break;
    case PaintKind::Path:
        line += QLatin1Char(' ') + pathText(r.path);
        break;
    case PaintKind::Pixmap:
    case PaintKind::Image:
        line += QLatin1Char(' ') + rect(r.rect()) + QStringLiteral(" from ") + rect(r.source);
        break;
    case PaintKind::TiledPixmap:
        line += QLatin1Char(' ') + rect(r.rect()) + QStringLiteral(" offset ") + point(r.position);
        break;
    case PaintKind::Text:
        line += QStringLiteral(" %1 \"%2\" font %3 %4")
                    .arg(point(r.position), r.text, r.font.family(), num(r.font.pointSizeF()));
        break;
    case PaintKind::Clip:
        line += QLatin1Char(' ') + nameOf(kClipOperations, r.clipOperation);
        if (!r.rects.isEmpty()) {
            line += QLatin1Char(' ') + joined(r.rects, rectText);
        }
        if (!r.path.isEmpty()) {
            line += QStringLiteral(" path ") + pathText(r.path);
        }
        line += QStringLiteral(" => ") + clipText(r.state.clip);
        break;
    }
    return line + QStringLiteral(" | ") + stateText(r.state, r.kind != PaintKind::Clip);
}

QString dump(const PaintRecords& records) {
    QString text;
    for (std::size_t i = 0; i < records.size(); ++i) {
        text += QString::number(i) + QLatin1Char(' ') + describe(records[i]) + QLatin1Char('\n');
    }
    return text;
}

QJsonObject toJson(const PaintRecord& r) {
    QJsonObject o{{QLatin1String("kind"), kindName(r.kind)}};
    if (r.integer) {
        o[QLatin1String("int")] = true;
    }
    if (!r.rects.isEmpty()) {
        QJsonArray rects;
        for (const QRectF& x : r.rects) {
            rects.append(jsonRect(x));
        }
        o[QLatin1String("rects")] = rects;
    }
    if (!r.lines.isEmpty()) {
        QJsonArray lines;
        for (const QLineF& l : r.lines) {
            lines.append(jsonLine(l));
        }
        o[QLatin1String("lines")] = lines;
    }
    if (!r.points.isEmpty()) {
        QJsonArray points;
        for (const QPointF& p : r.points) {
            points.append(jsonPoint(p));
        }
        o[QLatin1String("points")] = points;
    }
    switch (r.kind) {
    case PaintKind::Polygon:
        o[QLatin1String("mode")] = nameOf(kPolygonModes, r.polygonMode);
        break;
    case PaintKind::Path:
        o[QLatin1String("path")] = jsonPath(r.path);
        break;
    case PaintKind::Pixmap:
    case PaintKind::Image:
        o[QLatin1String("source")] = jsonRect(r.source);
        break;
    case PaintKind::TiledPixmap:
        o[QLatin1String("position")] = jsonPoint(r.position);
        break;
    case PaintKind::Text:
        o[QLatin1String("position")] = jsonPoint(r.position);
        o[QLatin1String("text")] = r.text;
        o[QLatin1String("font")] = r.font.toString();
        break;
    case PaintKind::Clip:
        o[QLatin1String("operation")] = nameOf(kClipOperations, r.clipOperation);
        if (!r.path.isEmpty()) {
            o[QLatin1String("path")] = jsonPath(r.path);
        }
        break;
    default:
        break;
    }
    const PaintState& s = r.state;
    o[QLatin1String("pen")] = jsonPen(s.pen);
    o[QLatin1String("brush")] = jsonBrush(s.brush);
    // The rest only when it differs from a fresh painter, to keep traces short.
    if (!sameClip(s.clip, ClipState())) {
        o[QLatin1String("clip")] = jsonClip(s.clip);
    }
    if (!s.transform.isIdentity()) {
        o[QLatin1String("transform")] = jsonTransform(s.transform);
    }
    if (s.opacity != 1.0) {
        o[QLatin1String("opacity")] = s.opacity;
    }
    if (s.composition != QPainter::CompositionMode_SourceOver) {
        o[QLatin1String("composition")] = static_cast<int>(s.composition);
    }
    if (s.hints != QPainter::RenderHints()) {
        o[QLatin1String("hints")] = static_cast<int>(s.hints.toInt());
    }
    return o;
}

QJsonArray toJson(const PaintRecords& records) {
    QJsonArray array;
    for (const PaintRecord& r : records) {
        array.append(toJson(r));
    }
    return array;
}

std::ostream& operator<<(std::ostream& out, const PaintRecord& record) {
    return out << describe(record).toStdString();
}

} // namespace kestro
