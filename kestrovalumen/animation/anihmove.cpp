#include "kestrovalumen/animation/anihmove.h"

#include "kestrovalumen/animation/animove.h"
#include "kestrovalumen/host/toolscom.h"

namespace {} // namespace

CAniHMove::CAniHMove() {
    m_nAniType = KV_ANI_HMOVE;
}

bool CAniHMove::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kHMoveHeader) ||
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
    return kv::RunMove(*this, nEvent, kv::report::kHMoveRun, kv::MoveAxis::Horizontal,
                       kv::Interpolation::ProductFirst);
}

void CAniHMove::InitObj(CDrawObj* owner) {
    if (Attach(owner, kv::report::kHMoveAttach)) {
        m_nBaseCenter = kv::StartMove(*owner, kv::MoveAxis::Horizontal);
    }
}
