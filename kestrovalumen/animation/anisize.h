// CAniSize: sizes its owner, or clips its drawing, to an interpolated percentage.
#pragma once

#include "kestrovalumen/animation/aniobj.h"

class CAniSize : public CAniObj {
public:
    CAniSize();

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a refresh, sizes the owner's rectangle (or, in clip mode, its clip rectangle) to the
    //! percentage of the base size that the value gives, kept at the anchor; 1 when it changed.
    int Run(int nEvent) override;
    //! Captures the owner's size as the base of every later sizing.
    void InitObj(CDrawObj* owner) override;

    int32_t m_nSizeType = 0; //!< anchor code 0 to 6
    double m_dMinValue = 0.0;
    int32_t m_nMinPercent = 0;
    double m_dMaxValue = 0.0;
    int32_t m_nMaxPercent = 0;
    int32_t m_nSizeMode = 0; //!< 0 resize, else clip
    int32_t m_nBaseWidth = 0;
    int32_t m_nBaseHeight = 0;
};
