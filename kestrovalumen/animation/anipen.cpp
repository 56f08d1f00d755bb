#include "kestrovalumen/animation/anipen.h"

#include "kestrovalumen/animation/anicolortable.h"

namespace {

const kv::ExprFailure kRunFailure = {
    25,        "CAniPen expressFloat run error", "animation\\anipen", 114,
    "CAniPen", "CAniPen ExpressFloat errorCode"};

} // namespace

CAniPen::CAniPen() {
    m_nAniType = KV_ANI_PEN;
}

bool CAniPen::deserialize(FF::utils::IBuffer* buf) {
    return ReadHeader(buf, 23, "CAniPen flag非法") &&
           kv::ReadColorTable(buf, m_arrayValue, m_arrayColor);
}

int CAniPen::Run(int nEvent) {
    return kv::RunPartColor(*this, nEvent, kRunFailure, kv::OwnerPart::Outline);
}

void CAniPen::InitObj(CDrawObj* owner) {
    if (Attach(owner, 24, "CAniPen::InitObj failed！para is null!")) {
        kv::TakePartColor(*this, kv::OwnerPart::Outline);
    }
}
