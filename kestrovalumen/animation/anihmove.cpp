#include "kestrovalumen/animation/anihmove.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/drawobj.h"
#include "kestrovalumen/drawobj_stream.h"
#include "kestrovalumen/host/toolscom.h"
#include "kestrovalumen/report.h"

#include <cmath>

namespace kv {

int32_t EdgeCentre(int32_t low, int32_t high) {
    return static_cast<int32_t>((static_cast<int64_t>(low) + high) / 2);
}

int MoveCentreTo(double target, int32_t& low, int32_t& high) {
    // A value that is no number has no place to go.
    if (std::isnan(target)) {
        return 0;
    }
    const int32_t current = EdgeCentre(low, high);
    if (std::trunc(target) == static_cast<double>(current)) {
        return 0;
    }
    const double half = static_cast<double>((static_cast<int64_t>(high) - low) / 2);
    if (target + half > 2147483647.0) {
        target = 2147483647.0 - half;
    }
    if (target - half < -2147483648.0) {
        target = half - 2147483648.0;
    }
    // The target is finite and within a few 2^31 of the centre here, so the shift fits in 64
    // bits. The edges stay 32-bit words: the extra pixel of an odd extent right at the end of
    // the range wraps rather than overflowing.
    const int64_t shift = static_cast<int64_t>(std::trunc(target - current));
    low = static_cast<int32_t>(static_cast<uint32_t>(low + shift));
    high = static_cast<int32_t>(static_cast<uint32_t>(high + shift));
    return 1;
}

} // namespace kv

namespace {

const kv::ExprFailure kExprFailure{19, "CAniHMove expressFloat run error", "animation\\anihmove",
                                   98, "CAniHMove ExpressFloat errorCod",  "error",
                                   2};

} // namespace

CAniHMove::CAniHMove() {
    m_nAniType = KV_ANI_HMOVE;
}

bool CAniHMove::deserialize(FF::utils::IBuffer* buf) {
    if (!CAniObj::deserialize(buf)) {
        kv::Fault(17, "CAniHMove flag非法");
        return false;
    }
    float minValue = 0.0f;
    float maxValue = 0.0f;
    if (!kv::ReadField(buf, m_nMinOffset) || !kv::ReadField(buf, m_nMaxOffset)) {
        return false;
    }
    if (!kv::ReadField(buf, minValue)) {
        return false;
    }
    m_dMinValue = minValue;
    if (!kv::ReadField(buf, maxValue)) {
        return false;
    }
    m_dMaxValue = maxValue;
    // An empty value range would divide by zero when interpolating.
    if (Vorn_IsEqual(m_dMaxValue, m_dMinValue, 1e-6L)) {
        m_dMaxValue = m_dMinValue + 1.0;
    }
    return true;
}

int CAniHMove::Run(int nEvent) {
    if (nEvent != KV_EVENT_REFRESH || m_pDrawObj == nullptr) {
        return 0;
    }
    double value = 0.0;
    if (!kv::EvaluateFloat(*this, value, kExprFailure)) {
        return 0;
    }
    double offset = m_nMinOffset;
    if (!Vorn_IsEqual(m_dMaxValue, m_dMinValue, 1e-6L)) {
        // Product first, then the quotient; the offset span is taken in double so that no pair
        // of offsets can overflow it.
        const double span = static_cast<double>(m_nMaxOffset) - m_nMinOffset;
        offset = m_nMinOffset + (value - m_dMinValue) * span / (m_dMaxValue - m_dMinValue);
    }
    return kv::MoveCentreTo(m_nBaseCenter + offset, m_pDrawObj->m_rect.left,
                            m_pDrawObj->m_rect.right);
}

void CAniHMove::InitObj(CDrawObj* owner) {
    if (owner == nullptr) {
        kv::Fault(18, "CAniHMove::InitObj failed！para is null!");
        return;
    }
    CAniObj::InitObj(owner);
    m_nBaseCenter = kv::EdgeCentre(owner->m_rect.left, owner->m_rect.right);
    owner->m_bAnimated = 1;
}
