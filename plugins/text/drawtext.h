// CDrawText: the host's text object, a drawing object of the text kind that the value-output and
// text-colour animations act on.
#pragma once

#include "kestrovalumen/core/drawobj.h"

#include <QtCore/qnamespace.h>

#include <cstdint>
#include <string>

//! Class number of CDrawText, outside the drawing-object numbers of kestrovalumen.
constexpr uint32_t KV_CLASS_DRAW_TEXT = 0x6001;

class CDrawText : public CDrawObj {
    KV_DECLARE_DYNAMIC(CDrawText)

public:
    //! Black text; the base gives the colour no value of its own.
    CDrawText();

    //! The rectangle as CDrawRect draws it, then the text aligned in the object's rectangle.
    void Draw(QPainter* painter) override;
    //! The common record, then text, pixel size, alignment, colour (0x00BBGGRR) and bold.
    bool deserialize(FF::utils::IBuffer* buffer) override;
    //! 2: the text kind.
    int GetObjType() const override;
    void GetText(std::string& out) const override;
    void SetText(std::string text) override;

    CString m_strText;                                       //!< UTF-8
    int32_t m_nFontSize = 14;                                //!< pixels
    int32_t m_nAlignment = Qt::AlignLeft | Qt::AlignVCenter; //!< Qt::Alignment
    int32_t m_bBold = 0;
};
