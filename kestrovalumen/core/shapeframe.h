// The two frames every shape shares: the drawing frame around its geometry and the record frame
// around its extra fields.
#pragma once

#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/reports.h"

#include <QBrush>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <initializer_list>

namespace kv {

//! How the frame prepares the painter before the geometry is drawn.
struct FrameStyle {
    enum Visibility { UnlessHidden, WhenShown }; //!< IsHidden, or IsShown for lines
    enum Brush {
        BrushFromFlags,     //!< the fill record, or Qt::NoBrush with the fill off
        NoBrushStep,        //!< shapes without a fill: the painter's brush stays
        BrushInvalidWhenOff //!< with the fill off, no-fill style and an invalid colour of alpha 0
    };
    enum Pen { PenFromFlags, NoPenStep };
    enum Clip {
        ClipInclusive, //!< corners (left, top) and (right - 1, bottom - 1) of the clip rectangle
        ClipPolyline,  //!< corners (left, top) and (right + 1, bottom + 1)
        NoClipStep
    };

    Visibility visibility = UnlessHidden;
    Brush brush = BrushFromFlags;
    Pen pen = PenFromFlags;
    Clip clip = ClipInclusive;
    bool setCap = false; //!< false: Qt's default cap (square) stays; likewise the join (bevel)
    Qt::PenCapStyle cap = Qt::SquareCap;
    bool setJoin = false;
    Qt::PenJoinStyle join = Qt::BevelJoin;

    FrameStyle& withCap(Qt::PenCapStyle c) {
        setCap = true, cap = c;
        return *this;
    }
    FrameStyle& withJoin(Qt::PenJoinStyle j) {
        setJoin = true, join = j;
        return *this;
    }
    //! For geometry that sets its own brush and pen: the frame leaves both alone.
    FrameStyle& withoutPaint() {
        brush = NoBrushStep, pen = NoPenStep;
        return *this;
    }
};

//! Pen inset: a stroked outline kept inside the rectangle moves left and top in by near and
//! right and bottom in by far.
struct PenInset {
    int width = 0;
    int nearSide = 0;
    int farSide = 0;
};
PenInset PenInsetOf(const QPainter* painter);

//! The box a framed rectangle strokes (the rectangle, the ellipse, the text plug-in's frame):
//! inside the pen with the line on; with the line off one pixel short of the exclusive edge on
//! the right and bottom.
QRect InsetBox(const CDrawObj& object, const QPainter* painter);

//! Orders the stored rectangle so that left <= right and top <= bottom (kept after the draw).
void NormalizeRect(Rect32& rect);

//! Frame steps 1 (null painter) and 2 (hidden test): false when nothing is to be drawn.
bool BeginDraw(const CDrawObj& object, QPainter* painter, const ShapeInfo& info,
               FrameStyle::Visibility visibility = FrameStyle::UnlessHidden);
//! Frame step 3: intersects the painter's clip with the object's clip rectangle when set.
void ClipOn(const CDrawObj& object, QPainter* painter,
            FrameStyle::Clip clip = FrameStyle::ClipInclusive);
//! Frame step 7: resets the clip set by ClipOn.
void ClipOff(const CDrawObj& object, QPainter* painter,
             FrameStyle::Clip clip = FrameStyle::ClipInclusive);
//! Frame step 4: the brush from the fill flag and record; returns the brush it set (a default
//! one when it set Qt::NoBrush), valid until the next draw on this thread.
const QBrush& ApplyFrameBrush(const CDrawObj& object, QPainter* painter,
                              FrameStyle::Brush mode = FrameStyle::BrushFromFlags);
//! Frame step 5: the pen from the outline flag and record, with the shape's cap and join.
void ApplyFramePen(const CDrawObj& object, QPainter* painter, const FrameStyle& style);

//! The whole drawing frame around geometry(painter, brush).
template <class Geometry>
void DrawFramed(const CDrawObj& object, QPainter* painter, const ShapeInfo& info,
                const FrameStyle& style, Geometry&& geometry) {
    if (!BeginDraw(object, painter, info, style.visibility)) {
        return;
    }
    ClipOn(object, painter, style.clip);
    static const QBrush kNoStep;
    // A copy (a reference count): a nested draw may reuse the slot the frame's brush sits in.
    const QBrush brush = style.brush != FrameStyle::NoBrushStep
                             ? ApplyFrameBrush(object, painter, style.brush)
                             : kNoStep;
    if (style.pen != FrameStyle::NoPenStep) {
        ApplyFramePen(object, painter, style);
    }
    geometry(painter, brush);
    ClipOff(object, painter, style.clip);
}

//! The record frame: the common record, reported under the class's load code when it fails,
//! then the extra fields read by readExtra(buffer).
template <class ReadExtra>
bool LoadRecordFramed(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info,
                      ReadExtra&& readExtra);
//! Record frame steps 1 and 2 alone: the common record with the class's report when it fails.
//! A class with a report of its own but no extra fields (the line) loads with this.
bool LoadBaseRecord(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info);

//! The record frame with extra fields that are all 4-byte little-endian int32, in stream order.
bool LoadRecordFields(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info,
                      std::initializer_list<int32_t*> fields);

template <class ReadExtra>
bool LoadRecordFramed(CDrawObj& object, FF::utils::IBuffer* buffer, const ShapeInfo& info,
                      ReadExtra&& readExtra) {
    if (!LoadBaseRecord(object, buffer, info)) {
        return false;
    }
    return readExtra(buffer);
}

//! Reads one little-endian value of the field's width.
template <class T>
bool ReadValue(FF::utils::IBuffer* buffer, T* value) {
    return buffer->read(value, sizeof(T));
}

} // namespace kv
