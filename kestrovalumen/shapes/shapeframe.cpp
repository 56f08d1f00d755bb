#include "kestrovalumen/shapes/shapeframe.h"

#include "kestrovalumen/report.h"

#include <QRect>

#include <string>
#include <utility>

namespace kv {

namespace {

QRect ClipRectOf(const Rect32& r, FrameStyle::Clip clip) {
    // Polylines clip two pixels wider on the right and bottom than the other shapes.
    if (clip == FrameStyle::ClipPolyline) {
        return QRect(QPoint(r.left, r.top), QPoint(r.right + 1, r.bottom + 1));
    }
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

} // namespace

PenInset PenInsetOf(const QPainter* painter) {
    PenInset inset;
    inset.width = painter->pen().width();
    inset.nearSide = inset.width / 2;
    inset.farSide = inset.width - inset.nearSide;
    return inset;
}

QRect InsetBox(const CDrawObj& object, const QPainter* painter) {
    const Rect32& r = object.m_rect;
    if (!object.m_bPen) {
        return QRect(QPoint(r.left, r.top), QPoint(r.right - 2, r.bottom - 2));
    }
    const PenInset in = PenInsetOf(painter);
    return QRect(QPoint(r.left + in.nearSide, r.top + in.nearSide),
                 QPoint(r.right - 1 - in.farSide, r.bottom - 1 - in.farSide));
}

void NormalizeRect(Rect32& rect) {
    if (rect.left > rect.right) {
        std::swap(rect.left, rect.right);
    }
    if (rect.top > rect.bottom) {
        std::swap(rect.top, rect.bottom);
    }
}

bool BeginDraw(const CDrawObj& object, QPainter* painter, const ShapeInfo& info,
               FrameStyle::Visibility visibility) {
    if (painter == nullptr) {
        const std::string message = std::string(info.name) + " painter is NULL!";
        FaultAndLogMessage(info.drawCode, message.c_str(),
                           {"Draw", "kestrovalumen", info.drawLine, 2, info.name});
        return false;
    }
    if (visibility == FrameStyle::WhenShown) {
        return object.IsShown();
    }
    return !object.IsHidden();
}

void ClipOn(const CDrawObj& object, QPainter* painter, FrameStyle::Clip clip) {
    if (clip != FrameStyle::NoClipStep && object.m_bClip && object.m_pClipRect != nullptr) {
        painter->setClipRect(ClipRectOf(*object.m_pClipRect, clip), Qt::IntersectClip);
    }
}

void ClipOff(const CDrawObj& object, QPainter* painter, FrameStyle::Clip clip) {
    if (clip != FrameStyle::NoClipStep && object.m_bClip && object.m_pClipRect != nullptr) {
        painter->setClipRect(ClipRectOf(*object.m_pClipRect, clip), Qt::NoClip);
    }
}

QBrush ApplyFrameBrush(const CDrawObj& object, QPainter* painter, FrameStyle::Brush mode) {
    QBrush brush;
    if (object.m_bBrush) {
        ApplyLogBrush(brush, object.m_logBrush);
        painter->setBrush(brush);
    } else if (mode == FrameStyle::BrushInvalidWhenOff) {
        // The default no-fill style with an invalid colour whose alpha is 0 (a plain QColor()
        // would say 255).
        QColor none;
        none.setAlpha(0);
        brush.setColor(none);
        painter->setBrush(brush);
    } else {
        painter->setBrush(Qt::NoBrush);
    }
    return brush;
}

void ApplyFramePen(const CDrawObj& object, QPainter* painter, const FrameStyle& style) {
    if (!object.m_bPen) {
        painter->setPen(Qt::NoPen);
        return;
    }
    QPen pen;
    ApplyLogPen(pen, object.m_logPen);
    if (style.setCap) {
        pen.setCapStyle(style.cap);
    }
    if (style.setJoin) {
        pen.setJoinStyle(style.join);
    }
    painter->setPen(pen);
}

bool LoadBaseRecord(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info) {
    if (!object.CDrawObj::deserialize(buffer)) {
        const std::string message = std::string(info.name) + " CDrawObj Serialize error!";
        FaultAndLogMessage(info.loadCode, message.c_str(),
                           {"deserialize", "kestrovalumen", info.loadLine, 2, info.name});
        return false;
    }
    return buffer != nullptr;
}

bool LoadRecordFields(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info,
                      std::initializer_list<int32_t*> fields) {
    return LoadRecordFramed(object, buffer, info, [&](FF::utils::IBuffer* b) {
        for (int32_t* field : fields) {
            if (!ReadValue(b, field)) {
                return false;
            }
        }
        return true;
    });
}

} // namespace kv
