#include "kestrovalumen/animation/anicolortable.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/drawobj.h"
#include "kestrovalumen/drawobj_stream.h"
#include "kestrovalumen/vornDrawPubInter.h"

namespace kv {

bool ReadColorTable(FF::utils::IBuffer* buf, std::vector<double>& values,
                    std::vector<uint32_t>& colors) {
    return ReadCountedRun<float>(buf, values, [](float stored) { return double{stored}; }) &&
           ReadCountedRun<uint32_t>(buf, colors, ColorRefToRgb);
}

size_t SegmentIndex(const std::vector<double>& limits, double value) {
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

bool SegmentColor(const std::vector<double>& limits, const std::vector<uint32_t>& colors,
                  double value, uint32_t& color) {
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

int32_t& PartFlag(CDrawObj& owner, OwnerPart part) {
    return part == OwnerPart::Outline ? owner.m_bPen : owner.m_bBrush;
}

uint32_t& PartColor(CDrawObj& owner, OwnerPart part) {
    return part == OwnerPart::Outline ? owner.m_logPen.color : owner.m_logBrush.color;
}

CAniObj* FindBlinkSibling(const CDrawObj& owner) {
    for (int i = 0; i < owner.AnimationCount(); ++i) {
        CAniObj* sibling = owner.AnimationAt(i);
        if (sibling != nullptr && sibling->IsBlink() == 1) {
            return sibling;
        }
    }
    return nullptr;
}

} // namespace kv
