#include "kestrovalumen/animation/anibrush.h"

#include "kestrovalumen/animation/anicolortable.h"

CAniBrush::CAniBrush() {
    m_nAniType = KV_ANI_BRUSH;
}

bool CAniBrush::deserialize(FF::utils::IBuffer* buf) {
    return ReadHeader(buf, kv::report::kBrushHeader) &&
           kv::ReadColorTable(buf, m_arrayValue, m_arrayColor);
}

int CAniBrush::Run(int nEvent) {
    return kv::RunPartColor(*this, nEvent, kv::report::kBrushRun, kv::OwnerPart::Fill);
}

void CAniBrush::InitObj(CDrawObj* owner) {
    if (Attach(owner, kv::report::kBrushAttach)) {
        kv::TakePartColor(*this, kv::OwnerPart::Fill);
    }
}
