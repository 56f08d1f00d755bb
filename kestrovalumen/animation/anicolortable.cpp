#include "kestrovalumen/animation/anicolortable.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/vornDrawPubInter.h"

namespace kv {

bool ReadColorTable(FF::utils::IBuffer* buf, SegmentLimits& values, SegmentColors& colors) {
    return ReadCountedRun<float>(buf, values, [](float stored) { return double{stored}; }) &&
           ReadCountedRun<uint32_t>(buf, colors, ColorRefToRgb);
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
