#include "kestrovalumen/animation/anipen.h"

#include "kestrovalumen/animation/anicolortable.h"

namespace {} // namespace

CAniPen::CAniPen() {
    m_nAniType = KV_ANI_PEN;
}

bool CAniPen::deserialize(FF::utils::IBuffer* buf) {
    return ReadHeader(buf, kv::report::kPenHeader) &&
           kv::ReadColorTable(buf, m_arrayValue, m_arrayColor);
}

int CAniPen::Run(int nEvent) {
    return kv::RunPartColor(*this, nEvent, kv::report::kPenRun, kv::OwnerPart::Outline);
}

void CAniPen::InitObj(CDrawObj* owner) {
    if (Attach(owner, kv::report::kPenAttach)) {
        kv::TakePartColor(*this, kv::OwnerPart::Outline);
    }
}
