#include "kestrovalumen/core/shapeframe.h"

#include "kestrovalumen/core/reports.h"

#include <QRect>

#include <string>
#include <utility>

namespace kv {

namespace {

//! Pens and brushes the frame built before, by the record values they were built from. A draw
//! with the same values reuses the object instead of allocating a new one, and the painter
//! sees the very pen or brush it already holds. One small table per thread: painters of
//! different threads never share one.
template <class Key, class Value>
class BuiltTable {
public:
    template <class Build>
    const Value& Get(const Key& key, Build&& build) {
        Slot& slot = m_slots[key.Hash() % kSlots];
        if (!slot.valid || !(slot.key == key)) {
            slot.value = build();
            slot.key = key;
            slot.valid = true;
        }
        return slot.value;
    }

private:
    static constexpr uint32_t kSlots = 16;
    struct Slot {
        Key key{};
        bool valid = false;
        Value value;
    };
    Slot m_slots[kSlots];
};

struct PenKey {
    uint32_t style;
    int32_t width;
    uint32_t color;
    int32_t cap;  //!< -1: Qt's default stays
    int32_t join; //!< -1: Qt's default stays

    bool operator==(const PenKey& o) const {
        return style == o.style && width == o.width && color == o.color && cap == o.cap &&
               join == o.join;
    }
    uint32_t Hash() const {
        return color * 31u + style * 7u + static_cast<uint32_t>(width) * 13u +
               static_cast<uint32_t>(cap) * 3u + static_cast<uint32_t>(join);
    }
};

struct BrushKey {
    uint32_t style;
    uint32_t color;

    bool operator==(const BrushKey& o) const { return style == o.style && color == o.color; }
    uint32_t Hash() const { return color * 31u + style; }
};

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
        EmitNullPainter(info);
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

const QBrush& ApplyFrameBrush(const CDrawObj& object, QPainter* painter, FrameStyle::Brush mode) {
    if (object.m_bBrush) {
        thread_local BuiltTable<BrushKey, QBrush> built;
        const LogBrush& rec = object.m_logBrush;
        const QBrush& brush = built.Get({rec.style, rec.color}, [&rec] {
            QBrush b;
            ApplyLogBrush(b, rec);
            return b;
        });
        painter->setBrush(brush);
        return brush;
    }
    if (mode == FrameStyle::BrushInvalidWhenOff) {
        // The default no-fill style with an invalid colour whose alpha is 0 (a plain QColor()
        // would say 255).
        static const QBrush kNone = [] {
            QColor none;
            none.setAlpha(0);
            QBrush b;
            b.setColor(none);
            return b;
        }();
        painter->setBrush(kNone);
        return kNone;
    }
    static const QBrush kDefault;
    painter->setBrush(Qt::NoBrush);
    return kDefault;
}

void ApplyFramePen(const CDrawObj& object, QPainter* painter, const FrameStyle& style) {
    if (!object.m_bPen) {
        painter->setPen(Qt::NoPen);
        return;
    }
    thread_local BuiltTable<PenKey, QPen> built;
    const LogPen& rec = object.m_logPen;
    const PenKey key{rec.style, rec.widthX, rec.color, style.setCap ? style.cap : -1,
                     style.setJoin ? style.join : -1};
    painter->setPen(built.Get(key, [&rec, &style] {
        QPen pen;
        ApplyLogPen(pen, rec);
        if (style.setCap) {
            pen.setCapStyle(style.cap);
        }
        if (style.setJoin) {
            pen.setJoinStyle(style.join);
        }
        return pen;
    }));
}

bool LoadBaseRecord(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info) {
    if (!object.CDrawObj::deserialize(buffer)) {
        EmitBaseRecordFailure(info);
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
