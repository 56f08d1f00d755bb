// CAniTextColor: the text colour of a text-kind owner from a segment table.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/animation/segmenttable.h"

class CAniTextColor : public CAniObj {
public:
    CAniTextColor();

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a refresh: the text colour of the value's segment, on owners of the text kinds.
    int Run(int nEvent) override;
    //! Attaches the owner, takes its text colour as the current one and finds its blink animation.
    void InitObj(CDrawObj* owner) override;

    uint32_t m_crCurrent = 0;       //!< the colour last applied (1 on a kind-1 owner)
    kv::SegmentLimits m_arrayValue; //!< segment limits
    kv::SegmentColors m_arrayColor; //!< one colour per limit, 0x00RRGGBB
    CAniObj* m_pBlink = nullptr;    //!< the owner's blink animation, not owned
};
