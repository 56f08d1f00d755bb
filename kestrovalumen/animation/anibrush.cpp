#include "kestrovalumen/animation/anibrush.h"

#include "kestrovalumen/animation/anicolortable.h"

namespace {

// The log line of this class carries its message in the tag position.
const kv::ExprFailure kRunFailure = {15,  "CAnibrush expressFloat run error", "animation\\anibrush",
                                     112, "CAnibrush ExpressFloat errorCod",  "erro!"};

} // namespace

CAniBrush::CAniBrush() {
    m_nAniType = KV_ANI_BRUSH;
}

bool CAniBrush::deserialize(FF::utils::IBuffer* buf) {
    return ReadHeader(buf, 13, "CAniBrush flag非法") &&
           kv::ReadColorTable(buf, m_arrayValue, m_arrayColor);
}

int CAniBrush::Run(int nEvent) {
    return kv::RunPartColor(*this, nEvent, kRunFailure, kv::OwnerPart::Fill);
}

void CAniBrush::InitObj(CDrawObj* owner) {
    if (Attach(owner, 14, "CAniBrush::InitObj failed！para is null!")) {
        kv::TakePartColor(*this, kv::OwnerPart::Fill);
    }
}
