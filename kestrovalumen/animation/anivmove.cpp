#include "kestrovalumen/animation/anivmove.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/drawobj.h"
#include "kestrovalumen/drawobj_stream.h"
#include "kestrovalumen/host/toolscom.h"
#include "kestrovalumen/report.h"

namespace {

const kv::ExprFailure kExprFailure{36,
                                   "CAniVMove expressFloat run error",
                                   "animation\\anivmove",
                                   94,
                                   "CAniVMove",
                                   "CAniVMove ExpressFloat error",
                                   2};

} // namespace

CAniVMove::CAniVMove() {
    m_nAniType = KV_ANI_VMOVE;
}

bool CAniVMove::deserialize(FF::utils::IBuffer* buf) {
    if (!CAniObj::deserialize(buf)) {
        kv::Fault(34, "CAniVMove flag非法");
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
    if (Vorn_IsEqual(m_dMinValue, m_dMaxValue, 1e-6L)) {
        m_dMaxValue = m_dMaxValue + 1.0;
    }
    return true;
}

int CAniVMove::Run(int nEvent) {
    if (nEvent != KV_EVENT_REFRESH || m_pDrawObj == nullptr) {
        return 0;
    }
    double value = 0.0;
    if (!kv::EvaluateFloat(*this, value, kExprFailure)) {
        return 0;
    }
    double offset = m_nMinOffset;
    if (!Vorn_IsEqual(m_dMaxValue, m_dMinValue, 1e-6L)) {
        // Offset per unit of value first, then times the value's distance from the minimum;
        // the horizontal move multiplies first, and the last bit may differ between the two.
        const double span = static_cast<double>(m_nMaxOffset) - m_nMinOffset;
        offset = m_nMinOffset + span / (m_dMaxValue - m_dMinValue) * (value - m_dMinValue);
    }
    return kv::MoveCentreTo(m_nBaseCenter + offset, m_pDrawObj->m_rect.top,
                            m_pDrawObj->m_rect.bottom);
}

void CAniVMove::InitObj(CDrawObj* owner) {
    if (owner == nullptr) {
        kv::Fault(35, "CAniVMove::InitObj failed！para is null!");
        return;
    }
    CAniObj::InitObj(owner);
    m_nBaseCenter = kv::EdgeCentre(owner->m_rect.top, owner->m_rect.bottom);
    owner->m_bAnimated = 1;
}
