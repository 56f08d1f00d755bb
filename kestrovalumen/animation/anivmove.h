// CAniVMove: moves its owner vertically by an interpolated offset.
#pragma once

#include "kestrovalumen/animation/aniobj.h"

class CAniVMove : public CAniObj {
public:
    CAniVMove();

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a refresh, puts the owner's vertical centre at the base centre plus the offset
    //! interpolated (or extrapolated) from the value; positive offsets move down. 1 when the
    //! owner moved.
    int Run(int nEvent) override;
    //! Captures the owner's vertical centre as the base of every later move.
    void InitObj(CDrawObj* owner) override;

    int32_t m_nMinOffset = 0;
    int32_t m_nMaxOffset = 0;
    int32_t m_nBaseCenter = 0; //!< vertical centre of the owner when attached
    double m_dMinValue = 0.0;
    double m_dMaxValue = 0.0;
};
