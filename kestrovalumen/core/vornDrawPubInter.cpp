#include "kestrovalumen/core/vornDrawPubInter.h"

#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/core/reports.h"

#include <QBrush>
#include <QColor>
#include <QLine>
#include <QPainter>
#include <QPen>

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        kv::Emit(kv::report::kMulDivByZero, 0);
        return -1;
    }
    // The product wraps in 32 bits, as callers expect; only then is it divided in double.
    const double q = static_cast<double>(kv::Mul32(a, b)) / static_cast<double>(c);
    return kv::RoundHalfAwayOrMin32(q);
}

namespace {

Qt::PenStyle PenStyleOf(uint32_t code) {
    // clang-format off
    switch (code) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    case 5: return Qt::NoPen;
    default: return Qt::SolidLine; // 0, 6, 7, 8 and every unknown code
    }
    // clang-format on
}

Qt::BrushStyle BrushStyleOf(uint32_t code) {
    if (code == 0) {
        return Qt::SolidPattern;
    }
    if (code <= 9) {
        return Qt::NoBrush; // hollow, hatched and pattern kinds of the classic brush
    }
    if (code <= 18) {
        return static_cast<Qt::BrushStyle>(code - 1); // HorPattern .. ConicalGradientPattern
    }
    if (code == 19) {
        return Qt::TexturePattern;
    }
    return Qt::SolidPattern;
}

} // namespace

void ApplyLogPen(QPen& pen, const LogPen& rec) {
    pen.setStyle(PenStyleOf(rec.style));
    pen.setWidth(rec.widthX);
    pen.setColor(QColor(QRgb(rec.color)));
}

void ApplyLogBrush(QBrush& brush, const LogBrush& rec) {
    const Qt::BrushStyle style = BrushStyleOf(rec.style);
    // A plain brush cannot carry the gradient or the image these styles need: QBrush refuses
    // them and keeps its style, so they are not asked for (and fill nothing on a new brush).
    const bool needsPattern = style == Qt::LinearGradientPattern ||
                              style == Qt::RadialGradientPattern ||
                              style == Qt::ConicalGradientPattern || style == Qt::TexturePattern;
    if (!needsPattern) {
        brush.setStyle(style);
    }
    brush.setColor(QColor(QRgb(rec.color)));
}

bool DrawEdge(QPainter* painter, int left, int top, int right, int bottom, unsigned nEdge) {
    // clang-format off
    enum Line { OuterTop, OuterLeft, OuterBottom, OuterRight, InnerTop, InnerLeft, InnerBottom,
                InnerRight };
    // clang-format on
    struct Stroke {
        QRgb color;
        Line lines[4];
        int count;
    };
    static const QRgb kWhite = 0xFFFFFF, kLight = 0xE3E3E3, kDark = 0x696969, kMid = 0xA0A0A0;
    static const Stroke kStyle5[] = {{kWhite, {OuterTop, OuterLeft, OuterBottom, OuterRight}, 4}};
    static const Stroke kStyle6[] = {{kLight, {OuterLeft, OuterTop}, 2},
                                     {kWhite, {InnerLeft, InnerTop}, 2},
                                     {kDark, {OuterRight, OuterBottom}, 2},
                                     {kMid, {InnerRight, InnerBottom}, 2}};
    static const Stroke kStyle7[] = {{kMid, {OuterLeft, OuterTop}, 2},
                                     {kDark, {InnerLeft, InnerTop}, 2},
                                     {kWhite, {OuterRight, OuterBottom}, 2},
                                     {kLight, {InnerRight, InnerBottom}, 2}};
    static const Stroke kStyle8[] = {{kWhite, {InnerTop, InnerLeft, OuterBottom, OuterRight}, 4},
                                     {kMid, {OuterTop, OuterLeft, InnerBottom, InnerRight}, 4}};

    const Stroke* strokes = nullptr;
    int strokeCount = 0;
    // clang-format off
    switch (nEdge) {
    case 5: strokes = kStyle5, strokeCount = 1; break;
    case 6: strokes = kStyle6, strokeCount = 4; break;
    case 7: strokes = kStyle7, strokeCount = 4; break;
    case 8: strokes = kStyle8, strokeCount = 2; break;
    default:
        kv::Emit(kv::report::kDrawEdgeUnknown, nEdge);
        return false;
    }
    // clang-format on

    const int L = left, T = top, R = right, B = bottom;
    // clang-format off
    const QLine lines[] = {
        QLine(L, T, R, T),                 QLine(L, T, L, B),
        QLine(L, B, R, B),                 QLine(R, T, R, B),
        QLine(L + 1, T + 1, R - 1, T + 1), QLine(L + 1, T + 1, L + 1, B - 1),
        QLine(L + 1, B - 1, R - 1, B - 1), QLine(R - 1, T + 1, R - 1, B - 1),
    };
    // clang-format on

    // Cosmetic pens (one pixel whatever the transform) of the four colours, built once.
    static const QRgb kColors[] = {kWhite, kLight, kDark, kMid};
    static const QPen kPens[] = {QPen(QBrush(QColor(kWhite)), 0), QPen(QBrush(QColor(kLight)), 0),
                                 QPen(QBrush(QColor(kDark)), 0), QPen(QBrush(QColor(kMid)), 0)};
    const auto penOf = [](QRgb color) -> const QPen& {
        int i = 0;
        while (i < 3 && color != kColors[i]) {
            ++i;
        }
        return kPens[i];
    };

    const QPen saved = painter->pen();
    for (int s = 0; s < strokeCount; ++s) {
        painter->setPen(penOf(strokes[s].color));
        for (int i = 0; i < strokes[s].count; ++i) {
            painter->drawLines(&lines[strokes[s].lines[i]], 1);
        }
    }
    painter->setPen(saved);
    return true;
}
