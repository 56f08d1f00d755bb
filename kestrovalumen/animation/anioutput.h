// CAniOutput: the value of an expression as the text of a text-kind owner.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/host/MfcToQt.h"

#include <string>

namespace Script {
class ValueType;
}

class CAniOutput : public CAniObj {
public:
    CAniOutput();
    ~CAniOutput() override;

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! Shows the value on refresh (0) and forced update (88888); nonzero when the owner's text
    //! may have changed. Owners that are not of the text kind 2 only get 1.
    int Run(int nEvent) override;
    //! Attaches the owner and marks it animated.
    void InitObj(CDrawObj* owner) override;

    // The single-precision constant -923112.3 stands for "nothing shown yet".
    double m_dLastValue = static_cast<double>(-923112.3f);
    CString m_strOffText;
    CString m_strOnText;
    CString m_strLastText;
    int32_t m_nOutputType = 0; //!< 0 switch, 1 numeric, else string
    int32_t m_nDecimals = -1;  //!< -1 automatic precision
    int32_t m_nIntDigits = 0;
    int32_t m_nOutputExtra = 0;

    // No record sets the settings below; their initial values give the plain decimal display.
    //! 0 decimal integer, 1 hexadecimal, 2 binary display of a numeric value; -1 none.
    int32_t m_nRadix = -1;
    int32_t m_bShowUnit = 0;
    int32_t m_bPassword = 0;
    //! Fixed decimals rounded by the formatter instead of truncated.
    int32_t m_bRound = 0;
    //! Keeps m_nIntDigits as a zero-filled minimum width of the integer part.
    int32_t m_bLeadingZero = 0;
    CString m_strUnit;

private:
    //! The numeric kind shown as an integer in one of the radix displays.
    bool IsIntegerDisplay() const;
    int ShowSwitch(const Script::ValueType& result, const std::string& oldText);
    void ShowNumber(double value, const std::string& unit);
    CString FormatAutomatic(double value);
    CString FormatFixed(double value);
    CString FormatInteger(double value) const;
};
