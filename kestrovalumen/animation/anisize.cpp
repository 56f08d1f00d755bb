#include "kestrovalumen/animation/anisize.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/animation/animove.h"
#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/host/toolscom.h"

#include <cmath>
#include <new>

namespace {

// The rectangle r sized to w x h around the anchor; cx, cy are the centres of r.
void Anchor(int32_t type, int32_t w, int32_t h, Rect32& r) {
    const int32_t cx = kv::EdgeCentre(r.left, r.right);
    const int32_t cy = kv::EdgeCentre(r.top, r.bottom);
    switch (type) {
    case 0: // centre
        r.left = kv::Sub32(cx, w / 2);
        r.right = kv::Add32(cx, w / 2);
        r.top = kv::Sub32(cy, h / 2);
        r.bottom = kv::Add32(cy, h / 2);
        break;
    case 1: // horizontal centre
        r.left = kv::Sub32(cx, w / 2);
        r.right = kv::Add32(cx, w / 2);
        break;
    case 2: // vertical centre
        r.top = kv::Sub32(cy, h / 2);
        r.bottom = kv::Add32(cy, h / 2);
        break;
    case 3: // bottom edge
        r.top = kv::Sub32(r.bottom, h);
        break;
    case 4: // top edge
        r.bottom = kv::Add32(r.top, h);
        break;
    case 5: // right edge
        r.left = kv::Sub32(r.right, w);
        break;
    case 6: // left edge
        r.right = kv::Add32(r.left, w);
        break;
    default: // no anchor: the rectangle stays whole
        break;
    }
}

} // namespace

CAniSize::CAniSize() {
    m_nAniType = KV_ANI_SIZE;
}

bool CAniSize::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kSizeHeader)) {
        return false;
    }
    float minValue = 0.0f;
    float maxValue = 0.0f;
    if (!kv::ReadField(buf, m_nSizeType) || !kv::ReadField(buf, minValue)) {
        return false;
    }
    m_dMinValue = minValue;
    if (!kv::ReadField(buf, m_nMinPercent) || !kv::ReadField(buf, maxValue)) {
        return false;
    }
    m_dMaxValue = maxValue;
    if (!kv::ReadField(buf, m_nMaxPercent) || !kv::ReadField(buf, m_nSizeMode)) {
        return false;
    }
    if (!(m_dMaxValue > m_dMinValue)) {
        m_dMaxValue = m_dMinValue;
    }
    // An empty value range would divide by zero when interpolating.
    if (Vorn_IsEqual(m_dMaxValue, m_dMinValue, 1e-6L)) {
        m_dMaxValue = m_dMinValue + 1.0;
    }
    return true;
}

int CAniSize::Run(int nEvent) {
    double value = 0.0;
    if (!kv::EvaluateOnRefresh(*this, nEvent, value, kv::report::kSizeRun)) {
        return 0;
    }
    if (value > m_dMaxValue) {
        value = m_dMaxValue;
    }
    if (value < m_dMinValue) {
        value = m_dMinValue;
    }
    int32_t percent = m_nMinPercent;
    if (!Vorn_IsEqual(m_dMinValue, m_dMaxValue, 1e-6L)) {
        // Percent per unit of value first; only the interpolated part is truncated.
        const double perUnit =
            (static_cast<double>(m_nMaxPercent) - m_nMinPercent) / (m_dMaxValue - m_dMinValue);
        percent = kv::TruncSaturate32(m_nMinPercent + std::trunc((value - m_dMinValue) * perUnit));
    }
    if (percent < 0) {
        percent = 0;
    }
    const int32_t w = MulDiv(m_nBaseWidth, percent, 100);
    const int32_t h = MulDiv(m_nBaseHeight, percent, 100);

    CDrawObj& owner = *m_pDrawObj;
    Rect32 r = owner.m_rect;
    Anchor(m_nSizeType, w, h, r);

    if (m_nSizeMode == 0) {
        const Rect32& now = owner.m_rect;
        if (kv::Sub32(r.right, r.left) == kv::Sub32(now.right, now.left) &&
            kv::Sub32(r.bottom, r.top) == kv::Sub32(now.bottom, now.top)) {
            return 0;
        }
        const int rect[4] = {r.left, r.top, r.right, r.bottom};
        owner.SetRect(rect);
        return 1;
    }

    // An unchanged clip is kept without allocating: Run allocates only when the clip changes.
    if (owner.m_pClipRect != nullptr && *owner.m_pClipRect == r) {
        return 0;
    }
    // The new clip rectangle is made before the old one goes, so an allocation failure leaves
    // the owner exactly as it was.
    Rect32* clip = new (std::nothrow) Rect32(r);
    if (clip == nullptr) {
        return 0;
    }
    delete owner.m_pClipRect;
    owner.m_pClipRect = clip;
    owner.m_bClip = 1;
    return 1;
}

void CAniSize::InitObj(CDrawObj* owner) {
    if (!Attach(owner, kv::report::kSizeAttach)) {
        return;
    }
    m_nBaseWidth = kv::Sub32(owner->m_rect.right, owner->m_rect.left);
    m_nBaseHeight = kv::Sub32(owner->m_rect.bottom, owner->m_rect.top);
    owner->m_bAnimated = 1;
}
