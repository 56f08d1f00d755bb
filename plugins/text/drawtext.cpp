#include "plugins/text/drawtext.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/shapeframe.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <algorithm>

namespace {

using kv::FrameStyle;

constexpr int kDefaultFontSize = 14;

// A record may carry any word: only the alignment bits reach Qt, never its other text flags.
constexpr int kAlignmentBits = Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask;

// A text may come from a record or a value of any length; what is painted is bounded, so that
// one huge text costs no more than a few screenfuls of glyphs.
constexpr int kMaxPaintedBytes = 64 * 1024;
// Glyphs taller than any screen only cost the font engine.
constexpr int kMaxFontSize = 4096;

QString PaintedText(const CString& text) {
    const char* bytes = text.GetString();
    int count = text.GetLength();
    if (count > kMaxPaintedBytes) {
        count = kMaxPaintedBytes;
        // Never cut a character in two.
        while (count > 0 && (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) {
            --count;
        }
    }
    return QString::fromUtf8(bytes, count);
}

} // namespace

CDrawText::CDrawText() {
    m_crText = 0x000000;
}

void CDrawText::Draw(QPainter* painter) {
    kv::DrawFramed(
        *this, painter, kv::report::kText, FrameStyle().withJoin(Qt::MiterJoin),
        [this](QPainter* p, const QBrush&) {
            // Without outline and fill the box would draw nothing.
            if (m_bPen || m_bBrush) {
                const QRect box = kv::InsetBox(*this, p);
                p->drawRects(&box, 1);
            }
            p->setFont(Font());
            p->setPen(QColor(static_cast<QRgb>(m_crText)));
            // The text may run past the rectangle; only the frame's clip rectangle cuts
            // it.
            const Rect32& r = m_rect;
            const QRect textRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
            p->drawText(textRect, (m_nAlignment & kAlignmentBits) | Qt::TextDontClip, Painted());
        });
}

const QFont& CDrawText::Font() {
    if (m_fontSize != m_nFontSize || m_fontBold != m_bBold) {
        m_font = QFont();
        m_font.setPixelSize(m_nFontSize > 0 ? std::min(m_nFontSize, kMaxFontSize)
                                            : kDefaultFontSize);
        m_font.setBold(m_bBold != 0);
        m_fontSize = m_nFontSize;
        m_fontBold = m_bBold;
    }
    return m_font;
}

const QString& CDrawText::Painted() {
    const char* bytes = m_strText.GetString();
    const size_t count = static_cast<size_t>(m_strText.GetLength());
    if (m_painted.isNull() || m_paintedFrom.size() != count ||
        m_paintedFrom.compare(0, count, bytes, count) != 0) {
        m_paintedFrom.assign(bytes, count);
        m_painted = PaintedText(m_strText);
    }
    return m_painted;
}

bool CDrawText::deserialize(FF::utils::IBuffer* buffer) {
    const bool loaded =
        kv::LoadRecordFramed(*this, buffer, kv::report::kText, [this](FF::utils::IBuffer* b) {
            uint32_t storedColor = 0;
            if (!kv::ReadGuardedString(b, m_strText) || !kv::ReadValue(b, &m_nFontSize) ||
                !kv::ReadValue(b, &m_nAlignment) || !kv::ReadValue(b, &storedColor)) {
                return false;
            }
            m_crText = ColorRefToRgb(storedColor);
            return kv::ReadValue(b, &m_bBold);
        });
    if (loaded) {
        // The common record bound the animations before the text colour was read: bound again,
        // the text-colour and blink animations start from the loaded colour.
        for (int i = 0; i < AnimationCount(); ++i) {
            AnimationAt(i)->InitObj(this);
        }
    }
    return loaded;
}

int CDrawText::GetObjType() const {
    return 2;
}

void CDrawText::GetText(std::string& out) const {
    out.assign(m_strText.GetString(), static_cast<size_t>(m_strText.GetLength()));
}

void CDrawText::SetText(std::string text) {
    m_strText = CString(text.data(), static_cast<int>(text.size()));
}
