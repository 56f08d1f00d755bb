// CAniClick: host actions on a click or on its trigger code.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/host/MfcToQt.h"

#include <vector>

class CAniClick : public CAniObj {
public:
    CAniClick();
    ~CAniClick() override;

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! On a click, or on the trigger code, of a visible owner: runs the switched-on actions in
    //! the order strategy, open window, print screen, stop, set variable, close window; 1 when
    //! the event was accepted.
    int Run(int nEvent) override;

    int32_t m_nKeyCode = 0;          //!< trigger code; 0 none
    int32_t m_nKeyFlags = 0;         //!< low byte of the record's second code
    std::vector<int32_t> m_arrParam; //!< one parameter per action slot
    std::vector<int32_t> m_arrFlag;  //!< one switch per action slot
    CStringArray m_arrText;          //!< one text per action slot

private:
    // Elements of the slot; see Run for what a slot the record does not reach gives.
    int32_t Flag(int slot) const;
    int32_t Param(int slot) const;
    const char* Text(int slot) const;

    void RunStrategy() const;
    void OpenWindow() const;
    void CaptureScreen() const;
    void StopRuntime() const;
    void SetVariable() const;
    void CloseWindow() const;
};
