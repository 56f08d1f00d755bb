#include "kestrovalumen/animation/anitextcolor.h"

#include "kestrovalumen/animation/anicolortable.h"
#include "kestrovalumen/core/drawobj.h"

namespace {} // namespace

CAniTextColor::CAniTextColor() {
    m_nAniType = KV_ANI_TEXTCOLOR;
}

bool CAniTextColor::deserialize(FF::utils::IBuffer* buf) {
    return ReadHeader(buf, kv::report::kTextColorHeader) &&
           kv::ReadColorTable(buf, m_arrayValue, m_arrayColor);
}

int CAniTextColor::Run(int nEvent) {
    double value = 0.0;
    uint32_t color = 0;
    if (!kv::NewSegmentColor(*this, nEvent, kv::report::kTextColorRun, value, color)) {
        return 0;
    }
    switch (m_pDrawObj->GetObjType()) {
    case 2:
        m_pDrawObj->m_crText = color;
        m_crCurrent = color;
        return 1;
    case 1:
        // Kind 1 texts keep 1 as their current colour, so every refresh applies the colour
        // again (unless the colour happens to be 1).
        m_pDrawObj->m_crText = color;
        m_crCurrent = 1;
        return 1;
    default:
        // No text to colour; the top segment still asks for a redraw on every refresh.
        return value >= m_arrayValue.back() ? 1 : 0;
    }
}

void CAniTextColor::InitObj(CDrawObj* owner) {
    if (!Attach(owner, kv::report::kTextColorAttach)) {
        return;
    }
    const int kind = owner->GetObjType();
    if (kind == 2 || kind == 1) {
        m_crCurrent = owner->m_crText;
    }
    m_pBlink = kv::FindBlinkSibling(*owner);
}
