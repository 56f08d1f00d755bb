// CAniBlink: makes its owner blink, by showing and hiding or by colours, while a condition holds.
#pragma once

#include "kestrovalumen/animation/aniobj.h"

class CAniBlink : public CAniObj {
public:
    CAniBlink();

    int IsBlink() override;
    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a blink tick: one phase flip while the condition holds, the owner's own look after.
    int Run(int nEvent) override;
    //! Attaches the owner and saves its outline, fill and text colours as its own look.
    void InitObj(CDrawObj* owner) override;

    int32_t m_nBlinkType = 0;  //!< 0 show and hide, else colours
    int32_t m_nBlinkExtra = 0; //!< kept from the record only
    uint32_t m_crBlinkText = 0;
    uint32_t m_crBlinkPen = 0;
    uint32_t m_crBlinkBrush = 0x00FFFFFF;
    int32_t m_bBlinking = 0;
    int32_t m_bSavedPen = 1;
    int32_t m_bSavedBrush = 1;
    uint32_t m_crSavedPen = 0;
    uint32_t m_crSavedBrush = 0;
    uint32_t m_crSavedText = 0;

private:
    int RunShowHide(CDrawObj& owner, bool condition);
    int RunColors(CDrawObj& owner, bool condition);
};
