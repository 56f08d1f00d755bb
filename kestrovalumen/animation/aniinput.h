// CAniInput: the operator keyboard for one real-time variable, and its write-back.
#pragma once

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/host/MfcToQt.h"

#include <string>

class CAniInput : public CAniObj {
public:
    CAniInput();
    ~CAniInput() override;

    bool deserialize(FF::utils::IBuffer* buf) override;
    //! 11111 opens the keyboard (blocking until the operator is done) and returns 1; 0
    //! refreshes the limit expressions and returns 1; 5 writes a synchronised value back.
    int Run(int nEvent) override;

    int32_t m_bFormatCopied = 0;
    int32_t m_nDecimals = 6;
    int32_t m_nInputType = 0; //!< 0 switch, 1 numeric, 2 string, -1 no variable
    CString m_strPrompt;
    CString m_strSwitchText1;
    CString m_strSwitchText2;
    double m_dUpper = 0.0;
    double m_dLower = 0.0;
    uint8_t m_bUpperExpr = 0;
    uint8_t m_bLowerExpr = 0;
    FF::utils::MemoryBuffer m_bufUpper;
    FF::utils::MemoryBuffer m_bufLower;
    int32_t m_nVarId = 0;
    int32_t m_bNoCurrentValue = 0;
    int32_t m_nKeyCode = 0;
    int32_t m_nKeyFlags = 0;

    // No record sets the settings below; their initial values give the plain keyboards.
    //! String keyboard mode 1, decimal mode 4, integer mode 5 (7 with integer style 1).
    int32_t m_bAltMode = 0;
    //! 1: integer keyboard mode 3; 2: hexadecimal keyboard (kind 1, mode 2) for integer
    //! variables.
    int32_t m_nIntKeyboardStyle = -1;
    //! Nonzero: the host's customised keyboard, with the setting and texts below.
    int32_t m_nKeyboardStyle = 0;
    int32_t m_nCustomSetting = 0;
    CString m_strCustomText1;
    CString m_strCustomText2;
    //! Handed to the keyboard; codes above 10 go as 5.
    int32_t m_nDialogCode = 0;
    int32_t m_nDialogValue1 = 0;
    int32_t m_nDialogValue2 = 0;

private:
    bool ReadVersion10(FF::utils::IBuffer* buf);
    bool ReadVersion11(FF::utils::IBuffer* buf);

    void RefreshLimits();
    void OpenKeyboard();
    void OpenSwitchKeyboard();
    void OpenStringKeyboard();
    void OpenNumericKeyboard();
    void ApplySyncText(const char* text);
    void ApplyNumeric(const char* text);

    //! Opens the keyboard of the current style; false when it was not opened.
    bool OpenDialog(int kind, char* text, int mode, const char* text2, const char* text3);
    int IntegerMode() const;
    void CopyOutputFormat();

    // Write-back of an entered or synchronised text.
    void CommitSwitch(const char* entered, const char* current);
    void CommitString(const char* entered, const std::string& current);
    void CommitInteger(const char* entered, int current, double lo, double hi);
    void CommitDecimal(const char* entered, double current, double lo, double hi);
    void LogOperation();
};
