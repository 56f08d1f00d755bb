// CAniVisible: shows or hides its owner by a condition expression.
#pragma once

#include "kestrovalumen/animation/aniobj.h"

class CAniVisible : public CAniObj {
public:
    CAniVisible();

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a refresh: sets the owner's visibility from the value; 1 only when it changed.
    int Run(int nEvent) override;
    //! Attaches the owner and makes it visible when there is a program to decide otherwise.
    void InitObj(CDrawObj* owner) override;

    int32_t m_nShowType = 0; //!< 0: visible while the value is nonzero; else while it is zero
};
