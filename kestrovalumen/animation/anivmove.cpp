#include "kestrovalumen/animation/anivmove.h"

#include "kestrovalumen/animation/animove.h"
#include "kestrovalumen/host/toolscom.h"

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
    if (!ReadHeader(buf, 34, "CAniVMove flag非法") ||
        !kv::ReadMoveRange(buf, m_nMinOffset, m_nMaxOffset, m_dMinValue, m_dMaxValue)) {
        return false;
    }
    // An empty value range would divide by zero when interpolating. Unlike the horizontal move,
    // the maximum is widened from itself.
    if (Vorn_IsEqual(m_dMinValue, m_dMaxValue, 1e-6L)) {
        m_dMaxValue = m_dMaxValue + 1.0;
    }
    return true;
}

int CAniVMove::Run(int nEvent) {
    return kv::RunMove(*this, nEvent, kExprFailure, kv::MoveAxis::Vertical,
                       kv::Interpolation::QuotientFirst);
}

void CAniVMove::InitObj(CDrawObj* owner) {
    if (Attach(owner, 35, "CAniVMove::InitObj failed！para is null!")) {
        m_nBaseCenter = kv::StartMove(*owner, kv::MoveAxis::Vertical);
    }
}
