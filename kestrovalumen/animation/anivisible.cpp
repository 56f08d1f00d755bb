#include "kestrovalumen/animation/anivisible.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"

namespace {} // namespace

CAniVisible::CAniVisible() {
    m_nAniType = KV_ANI_VISIBLE;
}

bool CAniVisible::deserialize(FF::utils::IBuffer* buf) {
    return ReadHeader(buf, kv::report::kVisibleHeader) && kv::ReadField(buf, m_nShowType);
}

int CAniVisible::Run(int nEvent) {
    double value = 0.0;
    if (!kv::EvaluateOnRefresh(*this, nEvent, value, kv::report::kVisibleRun)) {
        return 0;
    }
    const int32_t v = kv::TruncSaturate32(value);
    const bool show = m_nShowType == 0 ? v != 0 : v == 0;
    if (m_pDrawObj->IsVisible() == show) {
        return 0;
    }
    m_pDrawObj->SetVisible(show);
    return 1;
}

void CAniVisible::InitObj(CDrawObj* owner) {
    if (!Attach(owner, kv::report::kVisibleAttach)) {
        return;
    }
    // Without a program the animation never decides anything, so the loaded visibility stays.
    if (m_bufExpress.length() >= 1) {
        owner->SetVisible(true);
    }
    owner->m_bAnimated = 1;
}
