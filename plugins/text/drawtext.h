// CDrawText: the host's text object, a drawing object of the text kind that the value-output and
// text-colour animations act on.
#pragma once

#include "kestrovalumen/core/drawobj.h"

#include <QFont>
#include <QString>
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

private:
    //! The font of the record's size and weight, built again only when they change.
    const QFont& Font();
    //! The text as painted, converted again only when its bytes change.
    const QString& Painted();

    // A font and a converted text are a heap block each, and most texts stay as they are from
    // one repaint to the next.
    QFont m_font;
    int32_t m_fontSize = -1; //!< the m_nFontSize m_font was built for; -1: none yet
    int32_t m_fontBold = 0;
    std::string m_paintedFrom; //!< the bytes m_painted was converted from
    QString m_painted;
};
