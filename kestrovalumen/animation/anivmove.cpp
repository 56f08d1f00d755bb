#include "kestrovalumen/animation/anivmove.h"

#include "kestrovalumen/animation/animove.h"
#include "kestrovalumen/host/toolscom.h"

namespace {} // namespace

CAniVMove::CAniVMove() {
    m_nAniType = KV_ANI_VMOVE;
}

bool CAniVMove::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kVMoveHeader) ||
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
    return kv::RunMove(*this, nEvent, kv::report::kVMoveRun, kv::MoveAxis::Vertical,
                       kv::Interpolation::QuotientFirst);
}

void CAniVMove::InitObj(CDrawObj* owner) {
    if (Attach(owner, kv::report::kVMoveAttach)) {
        m_nBaseCenter = kv::StartMove(*owner, kv::MoveAxis::Vertical);
    }
}
