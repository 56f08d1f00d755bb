#include "kestrovalumen/animation/anibrush.h"

#include "kestrovalumen/animation/anicolortable.h"
#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/drawobj.h"
#include "kestrovalumen/report.h"

namespace {

// The log line of this class has always carried its message in the tag position.
const kv::ExprFailure kRunFailure = {15,  "CAnibrush expressFloat run error", "animation\\anibrush",
                                     112, "CAnibrush ExpressFloat errorCod",  "erro!"};

} // namespace

CAniBrush::CAniBrush() {
    m_nAniType = KV_ANI_BRUSH;
}

bool CAniBrush::deserialize(FF::utils::IBuffer* buf) {
    if (!CAniObj::deserialize(buf)) {
        kv::Fault(13, "CAniBrush flag非法");
        return false;
    }
    return kv::ReadColorTable(buf, m_arrayValue, m_arrayColor);
}

int CAniBrush::Run(int nEvent) {
    if (nEvent != KV_EVENT_REFRESH || m_pDrawObj == nullptr) {
        return 0;
    }
    double value = 0.0;
    if (!kv::EvaluateFloat(*this, value, kRunFailure)) {
        return 0;
    }
    uint32_t color = 0;
    if (!kv::SegmentColor(m_arrayValue, m_arrayColor, value, color) || color == m_crCurrent) {
        return 0;
    }
    m_pDrawObj->m_bBrush = 1;
    m_pDrawObj->m_logBrush.color = color;
    m_crCurrent = color;
    // The blink animation saves the owner's own look; the new colour is that look from now on.
    if (m_pBlink != nullptr) {
        m_pBlink->InitObj(m_pDrawObj);
    }
    return 1;
}

void CAniBrush::InitObj(CDrawObj* owner) {
    if (owner == nullptr) {
        kv::Fault(14, "CAniBrush::InitObj failed！para is null!");
        return;
    }
    m_pDrawObj = owner;
    // With a blink sibling the fill may be in its blink phase right now, so the loaded colour
    // is not taken as the current one.
    m_pBlink = kv::FindBlinkSibling(*owner);
    if (m_pBlink == nullptr) {
        m_crCurrent = owner->m_logBrush.color;
    }
}
