// The segment table and the steps shared by the outline, fill and text colour animations. The
// three classes keep their own fields (m_arrayValue, m_arrayColor, m_crCurrent, m_pBlink); the
// templates below work on those.
#pragma once

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/animation/segmenttable.h"
#include "kestrovalumen/host/utils.h"

#include <cstddef>
#include <cstdint>

class CDrawObj;

namespace kv {

//! Reads the limits and colours that follow the common header: a counted run of float32 limits,
//! then a counted run of stored colours, converted. Counts that cannot be in the stream are
//! refused before anything is resized; what was read stays on a failure.
bool ReadColorTable(FF::utils::IBuffer* buf, SegmentLimits& values, SegmentColors& colors);

//! Segment of value among non-empty limits: the last one when value is at or above the last
//! limit, else the first limit that value does not exceed. limits.size() when there is none,
//! which only a NaN value can give. Inline: every colour animation looks it up on every refresh.
inline size_t SegmentIndex(const SegmentLimits& limits, double value) {
    const size_t last = limits.size() - 1;
    if (value >= limits[last]) {
        return last;
    }
    for (size_t i = 0; i < last; ++i) {
        if (value <= limits[i]) {
            return i;
        }
    }
    // Below the last limit but above all others: only the last limit is not exceeded. NaN
    // compares false with everything and finds no segment.
    return value <= limits[last] ? last : limits.size();
}

//! The colour of value's segment into color. False when there are no limits or the segment has
//! no colour; the caller then leaves its owner as it is.
inline bool SegmentColor(const SegmentLimits& limits, const SegmentColors& colors, double value,
                         uint32_t& color) {
    if (limits.empty()) {
        return false;
    }
    // The record does not tie the two counts together: a segment past the end of the colours
    // has no colour, and the owner keeps the one it has.
    const size_t index = SegmentIndex(limits, value);
    if (index >= colors.size()) {
        return false;
    }
    color = colors[index];
    return true;
}

//! The owner's first animation that answers IsBlink, or null.
CAniObj* FindBlinkSibling(const CDrawObj& owner);

//! The refresh step of a colour animation: true, with the program's value and its segment's
//! colour, when that colour differs from the current one.
template <class ColorAnimation>
bool NewSegmentColor(const ColorAnimation& animation, int nEvent, const Report& failure,
                     double& value, uint32_t& color) {
    return EvaluateOnRefresh(animation, nEvent, value, failure) &&
           SegmentColor(animation.m_arrayValue, animation.m_arrayColor, value, color) &&
           color != animation.m_crCurrent;
}

//! The part of the owner that an outline or fill animation colours.
enum class OwnerPart { Outline, Fill };

//! The part's switch (m_bPen, m_bBrush) and colour (m_logPen, m_logBrush).
int32_t& PartFlag(CDrawObj& owner, OwnerPart part);
uint32_t& PartColor(CDrawObj& owner, OwnerPart part);

//! Run of the outline and fill animations: on a new segment colour the part is switched on in
//! it; 1 when the colour changed.
template <class ColorAnimation>
int RunPartColor(ColorAnimation& animation, int nEvent, const Report& failure, OwnerPart part) {
    double value = 0.0;
    uint32_t color = 0;
    if (!NewSegmentColor(animation, nEvent, failure, value, color)) {
        return 0;
    }
    CDrawObj& owner = *animation.m_pDrawObj;
    PartFlag(owner, part) = 1;
    PartColor(owner, part) = color;
    animation.m_crCurrent = color;
    // The blink animation saves the owner's own look; the new colour is that look from now on.
    if (animation.m_pBlink != nullptr) {
        animation.m_pBlink->InitObj(animation.m_pDrawObj);
    }
    return 1;
}

//! The rest of InitObj of the outline and fill animations, once the owner is attached: finds
//! the blink animation and, without one, takes the part's colour as the current one.
template <class ColorAnimation>
void TakePartColor(ColorAnimation& animation, OwnerPart part) {
    CDrawObj& owner = *animation.m_pDrawObj;
    // With a blink sibling the part may be in its blink phase right now, so the loaded colour
    // is not taken as the current one.
    animation.m_pBlink = FindBlinkSibling(owner);
    if (animation.m_pBlink == nullptr) {
        animation.m_crCurrent = PartColor(owner, part);
    }
}

} // namespace kv
