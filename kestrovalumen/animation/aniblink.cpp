#include "kestrovalumen/animation/aniblink.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/vornDrawPubInter.h"

namespace {

bool IsTextKind(int kind) {
    return kind == 1 || kind == 2;
}

// One part of the owner's look. It decides its own phase by what it shows now, so a part that
// something else has recoloured falls back to the saved look first.
void FlipPart(int32_t& flag, uint32_t& color, int32_t savedFlag, uint32_t savedColor,
              uint32_t blinkColor) {
    if (flag == savedFlag && color == savedColor) {
        flag = 1;
        color = blinkColor;
    } else {
        color = savedColor;
        flag = savedFlag;
    }
}

} // namespace

CAniBlink::CAniBlink() {
    m_nAniType = KV_ANI_BLINK;
}

int CAniBlink::IsBlink() {
    return 1;
}

bool CAniBlink::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kBlinkHeader)) {
        return false;
    }
    if (!kv::ReadField(buf, m_nBlinkExtra) || !kv::ReadField(buf, m_nBlinkType)) {
        return false;
    }
    for (uint32_t* colour : {&m_crBlinkText, &m_crBlinkPen, &m_crBlinkBrush}) {
        if (!kv::ReadField(buf, *colour)) {
            return false;
        }
        *colour = ColorRefToRgb(*colour);
    }
    return true;
}

int CAniBlink::Run(int nEvent) {
    if (nEvent < KV_EVENT_BLINK1 || nEvent > KV_EVENT_BLINK3 || m_pDrawObj == nullptr) {
        return 0;
    }
    double value = 0.0;
    if (!kv::EvaluateFloat(*this, value, kv::report::kBlinkRun)) {
        return 0;
    }
    const bool condition = kv::TruncSaturate32(value) != 0;
    return m_nBlinkType == 0 ? RunShowHide(*m_pDrawObj, condition)
                             : RunColors(*m_pDrawObj, condition);
}

int CAniBlink::RunShowHide(CDrawObj& owner, bool condition) {
    if (condition) {
        m_bBlinking = 1;
        owner.SetShown(!owner.IsShown());
        return 1;
    }
    // Leaving is only needed from the hidden phase; in the shown phase the owner already looks
    // like itself, and the blink stays armed until a tick finds it hidden.
    if (m_bBlinking != 0 && !owner.IsShown()) {
        owner.SetShown(true);
        m_bBlinking = 0;
        return 1;
    }
    return 0;
}

int CAniBlink::RunColors(CDrawObj& owner, bool condition) {
    const int kind = owner.GetObjType();
    if (condition) {
        m_bBlinking = 1;
        FlipPart(owner.m_bPen, owner.m_logPen.color, m_bSavedPen, m_crSavedPen, m_crBlinkPen);
        FlipPart(owner.m_bBrush, owner.m_logBrush.color, m_bSavedBrush, m_crSavedBrush,
                 m_crBlinkBrush);
        if (IsTextKind(kind)) {
            owner.m_crText = owner.m_crText == m_crSavedText ? m_crBlinkText : m_crSavedText;
        }
        return 1;
    }
    if (m_bBlinking == 0) {
        return 0;
    }
    // Only kind 2 gets its text colour back; kind 1 keeps whatever phase it was left in.
    if (kind == 2) {
        owner.m_crText = m_crSavedText;
    }
    owner.m_logPen.color = m_crSavedPen;
    owner.m_logBrush.color = m_crSavedBrush;
    owner.m_bPen = m_bSavedPen;
    owner.m_bBrush = m_bSavedBrush;
    m_bBlinking = 0;
    return 1;
}

void CAniBlink::InitObj(CDrawObj* owner) {
    if (owner == nullptr) {
        return;
    }
    m_pDrawObj = owner;
    m_crSavedPen = owner->m_logPen.color;
    m_crSavedBrush = owner->m_logBrush.color;
    m_bSavedPen = owner->m_bPen;
    m_bSavedBrush = owner->m_bBrush;
    m_crSavedText = IsTextKind(owner->GetObjType()) ? owner->m_crText : 0;
    owner->m_bAnimated = 1;
}
