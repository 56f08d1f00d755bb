// CAniHMove: moves its owner horizontally by an interpolated offset.
#pragma once

#include "kestrovalumen/animation/aniobj.h"

class CAniHMove : public CAniObj {
public:
    CAniHMove();

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a refresh, puts the owner's horizontal centre at the base centre plus the offset
    //! interpolated (or extrapolated) from the value; 1 when the owner moved.
    int Run(int nEvent) override;
    //! Captures the owner's horizontal centre as the base of every later move.
    void InitObj(CDrawObj* owner) override;

    double m_dMinValue = 0.0;
    double m_dMaxValue = 0.0;
    int32_t m_nMinOffset = 0;
    int32_t m_nMaxOffset = 0;
    int32_t m_nBaseCenter = 0; //!< horizontal centre of the owner when attached
};
