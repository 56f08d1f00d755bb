// CAniPen: the outline colour of its owner from a segment table.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/animation/segmenttable.h"

class CAniPen : public CAniObj {
public:
    CAniPen();

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a refresh: outline on, in the colour of the value's segment; 1 when the colour changed.
    int Run(int nEvent) override;
    //! Attaches the owner and finds its blink animation.
    void InitObj(CDrawObj* owner) override;

    kv::SegmentLimits m_arrayValue; //!< segment limits
    kv::SegmentColors m_arrayColor; //!< one colour per limit, 0x00RRGGBB
    uint32_t m_crCurrent = 0;       //!< the colour last applied
    CAniObj* m_pBlink = nullptr;    //!< the owner's blink animation, not owned
};
