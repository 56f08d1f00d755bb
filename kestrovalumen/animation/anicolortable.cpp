#include "kestrovalumen/animation/anicolortable.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/drawobj.h"
#include "kestrovalumen/drawobj_stream.h"
#include "kestrovalumen/vornDrawPubInter.h"

namespace kv {

bool ReadColorTable(FF::utils::IBuffer* buf, std::vector<double>& values,
                    std::vector<uint32_t>& colors) {
    int32_t valueCount = 0;
    if (!ReadField(buf, valueCount) || !CountFits(buf, valueCount, 4)) {
        return false;
    }
    values.assign(static_cast<size_t>(valueCount), 0.0);
    for (double& value : values) {
        float stored = 0.0f;
        if (!ReadField(buf, stored)) {
            return false;
        }
        value = stored;
    }

    int32_t colorCount = 0;
    if (!ReadField(buf, colorCount) || !CountFits(buf, colorCount, 4)) {
        return false;
    }
    colors.assign(static_cast<size_t>(colorCount), 0u);
    for (uint32_t& color : colors) {
        if (!ReadField(buf, color)) {
            return false;
        }
        color = ColorRefToRgb(color);
    }
    return true;
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
