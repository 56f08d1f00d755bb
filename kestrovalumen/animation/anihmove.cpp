#include "kestrovalumen/animation/anihmove.h"

#include "kestrovalumen/animation/animove.h"
#include "kestrovalumen/host/toolscom.h"

namespace {

const kv::ExprFailure kExprFailure{19, "CAniHMove expressFloat run error", "animation\\anihmove",
                                   98, "CAniHMove ExpressFloat errorCod",  "error",
                                   2};

} // namespace

CAniHMove::CAniHMove() {
    m_nAniType = KV_ANI_HMOVE;
}

bool CAniHMove::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, 17, "CAniHMove flag非法") ||
        !kv::ReadMoveRange(buf, m_nMinOffset, m_nMaxOffset, m_dMinValue, m_dMaxValue)) {
        return false;
    }
    // An empty value range would divide by zero when interpolating.
    if (Vorn_IsEqual(m_dMaxValue, m_dMinValue, 1e-6L)) {
        m_dMaxValue = m_dMinValue + 1.0;
    }
    return true;
}

int CAniHMove::Run(int nEvent) {
    return kv::RunMove(*this, nEvent, kExprFailure, kv::MoveAxis::Horizontal,
                       kv::Interpolation::ProductFirst);
}

void CAniHMove::InitObj(CDrawObj* owner) {
    if (Attach(owner, 18, "CAniHMove::InitObj failed！para is null!")) {
        m_nBaseCenter = kv::StartMove(*owner, kv::MoveAxis::Horizontal);
    }
}
