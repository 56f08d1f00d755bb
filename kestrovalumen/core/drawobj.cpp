#include "kestrovalumen/core/drawobj.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/host/linguist.h"

#include <QRect>
#include <QRegion>
#include <QString>

#include <algorithm>

// Each plug-in built on this base carries its own CDrawObj descriptor.
KV_IMPLEMENT_DYNAMIC(CDrawObj, KV_CLASS_DRAW_OBJ, WithInterface)

namespace {

//! The current-language text of a stored language key, as UTF-8.
std::string TranslateKey(const char* key) {
    const QString keyText = QString::fromLatin1(key);
    QString text;
    __linguist_get_lan_string_from_serialize(&text, &keyText);
    return text.toUtf8().toStdString();
}

//! The reference rectangle of ToRelative and ToAbsolute, corners in any order.
struct Reference {
    int32_t minX, minY, width, height;

    Reference(int x1, int y1, int x2, int y2)
        : minX(std::min(x1, x2)), minY(std::min(y1, y2)),
          width(kv::Wrap32(int64_t{std::max(x1, x2)} - std::min(x1, x2))),
          height(kv::Wrap32(int64_t{std::max(y1, y2)} - std::min(y1, y2))) {}

    void ToRelative(Rect32& r) const {
        r.left = MulDiv(kv::Wrap32(int64_t{r.left} - minX), 10000, width);
        r.right = MulDiv(kv::Wrap32(int64_t{r.right} - minX), 10000, width);
        r.top = MulDiv(kv::Wrap32(int64_t{r.top} - minY), 10000, height);
        r.bottom = MulDiv(kv::Wrap32(int64_t{r.bottom} - minY), 10000, height);
    }

    void ToAbsolute(Rect32& r) const {
        r.left = kv::Wrap32(int64_t{MulDiv(r.left, width, 10000)} + minX);
        r.right = kv::Wrap32(int64_t{MulDiv(r.right, width, 10000)} + minX);
        r.top = kv::Wrap32(int64_t{MulDiv(r.top, height, 10000)} + minY);
        r.bottom = kv::Wrap32(int64_t{MulDiv(r.bottom, height, 10000)} + minY);
    }
};

} // namespace

CDrawObj::CDrawObj() = default;

CDrawObj::~CDrawObj() {
    m_nValue3 = 0;
    delete m_pClipRect;
    m_pClipRect = nullptr;
    ClearAnimations();
    ClearEvents();
}

void CDrawObj::ClearAnimations() {
    for (int i = 0; i < m_arrayAnimate.GetSize(); ++i) {
        delete AnimationAt(i);
    }
    m_arrayAnimate.SetSize(0, -1);
}

void CDrawObj::ClearEvents() {
    for (CEventDispatch* event : m_arrayEvent) {
        delete event;
    }
    m_arrayEvent.clear();
}

void CDrawObj::Draw(QPainter*) {}

void CDrawObj::GetBoundRect(int* left, int* top, int* right, int* bottom) const {
    int32_t margin = 0;
    if (m_rect.left != m_rect.right && m_rect.top != m_rect.bottom) {
        bool outlined = m_bPen != 0;
        // A blinking object without an outline still gets the outline's margin: its blink
        // phase may draw one.
        for (int i = 0; !outlined && i < AnimationCount(); ++i) {
            CAniObj* animation = AnimationAt(i);
            outlined = animation && animation->IsBlink() == 1;
        }
        if (outlined) {
            margin = kv::Wrap32((int64_t{m_logPen.widthX} + 1) / 2);
        }
    }
    *left = kv::Wrap32(int64_t{m_rect.left} - margin);
    *top = kv::Wrap32(int64_t{m_rect.top} - margin);
    *right = kv::Wrap32(int64_t{m_rect.right} + margin - 1);
    *bottom = kv::Wrap32(int64_t{m_rect.bottom} + margin - 1);
}

void CDrawObj::SetBounds(int left, int top, int right, int bottom) {
    m_rect.left = left;
    m_rect.top = top;
    m_rect.right = kv::Wrap32(int64_t{right} + 1);
    m_rect.bottom = kv::Wrap32(int64_t{bottom} + 1);
}

int CDrawObj::GetAttr() const {
    return static_cast<int>(m_nAttr | 0x200u);
}

bool CDrawObj::Run(int nEvent, int, int) {
    bool changed = false;
    for (int i = 0; i < AnimationCount(); ++i) {
        CAniObj* animation = AnimationAt(i);
        if (animation && animation->Run(nEvent) != 0) {
            changed = true;
        }
    }
    return changed;
}

void CDrawObj::ToRelative(int x1, int y1, int x2, int y2) {
    const Reference reference(x1, y1, x2, y2);
    reference.ToRelative(m_rect);
    if (m_pClipRect) {
        reference.ToRelative(*m_pClipRect);
    }
}

void CDrawObj::ToAbsolute(int x1, int y1, int x2, int y2) {
    const Reference reference(x1, y1, x2, y2);
    reference.ToAbsolute(m_rect);
    if (m_pClipRect) {
        reference.ToAbsolute(*m_pClipRect);
    }
}

std::vector<CEventDispatch*>* CDrawObj::GetEventArray() {
    return &m_arrayEvent;
}

const char* CDrawObj::GetName() const {
    return m_strName.GetString();
}

int CDrawObj::CheckArg(int) {
    return 1;
}

uint32_t CDrawObj::GetObjectId() const {
    return m_nObjectId;
}

bool CDrawObj::IsVisible() const {
    return m_nShowState % 10 != 0;
}

void CDrawObj::SetScriptHost(Script::IHost* host) {
    m_pScriptHost = host;
}

Script::IHost* CDrawObj::GetScriptHost() const {
    return m_pScriptHost;
}

bool CDrawObj::HasOperLog() const {
    return m_bOperLog != 0;
}

std::string CDrawObj::GetOperLogText() const {
    return TranslateKey(m_strOperLog.GetString());
}

void CDrawObj::SetParent(draw_object_c* parent) {
    m_pParent = parent;
}

int CDrawObj::CheckBase() {
    return 1;
}

uint32_t CDrawObj::GetFamilyId() const {
    return KV_CLASS_DRAW_OBJECT_IFACE;
}

void CDrawObj::Notify(int, int, int, int) {}

void CDrawObj::SetColors(uint32_t penColour, uint32_t brushColour, int, int bPen, int bBrush) {
    m_logPen.color = penColour;
    m_logBrush.color = brushColour;
    m_bPen = bPen;
    m_bBrush = bBrush;
}

void CDrawObj::GetColors(uint32_t* penColour, uint32_t* brushColour, int, int* bPen,
                         int* bBrush) const {
    *penColour = m_logPen.color;
    *brushColour = m_logBrush.color;
    *bPen = m_bPen;
    *bBrush = m_bBrush;
}

void CDrawObj::DrawInRect(QPainter* painter, int x1, int y1, int x2, int y2) {
    // The clip rectangle is laid out too but deliberately not restored.
    const Rect32 saved = m_rect;
    ToAbsolute(x1, y1, x2, y2);
    Draw(painter);
    m_rect = saved;
}

int CDrawObj::GetObjType() const {
    return 0;
}

void CDrawObj::SetRect(const int rect[4]) {
    m_rect.left = rect[0];
    m_rect.top = rect[1];
    m_rect.right = rect[2];
    m_rect.bottom = rect[3];
}

void CDrawObj::GetRegion(QRegion* out) const {
    int rect[4];
    GetRect(rect);
    int64_t left = std::min(rect[0], rect[2]);
    int64_t top = std::min(rect[1], rect[3]);
    int64_t right = std::max(rect[0], rect[2]);
    int64_t bottom = std::max(rect[1], rect[3]);
    // The whole outline width, not half: the region must cover an outline drawn either way.
    if (m_bPen) {
        const int64_t width = m_logPen.widthX;
        left -= width;
        top -= width;
        right += width;
        bottom += width;
    }
    *out = QRegion(QRect(QPoint(kv::Wrap32(left), kv::Wrap32(top)),
                         QPoint(kv::Wrap32(right - 1), kv::Wrap32(bottom - 1))));
}

void CDrawObj::GetRect(int rect[4]) const {
    rect[0] = m_rect.left;
    rect[1] = m_rect.top;
    rect[2] = m_rect.right;
    rect[3] = m_rect.bottom;
}

void CDrawObj::WriteOperLog(int code) {
    // A member of a group logs under the group's entry or not at all.
    if (m_pParent) {
        if (m_pParent->HasOperLog()) {
            const std::string text = TranslateKey(m_pParent->GetOperLogText().c_str());
            __gui_operation_log_print(m_pParent, code, text.c_str());
        }
        return;
    }
    if (m_bOperLog) {
        const std::string text = TranslateKey(m_strOperLog.GetString());
        __gui_operation_log_print(this, code, text.c_str());
    }
}

void CDrawObj::GetText(std::string& out) const {
    out.clear();
}

void CDrawObj::SetText(std::string) {}

bool CDrawObj::IsHidden() const {
    return m_rect.left == m_rect.right || m_rect.top == m_rect.bottom || !IsShown();
}

bool CDrawObj::IsShown() const {
    return m_nShowState / 10 != 0;
}

void CDrawObj::SetShown(bool shown) {
    m_nShowState = (shown ? 10 : 0) + m_nShowState % 10;
}

void CDrawObj::SetVisible(bool visible) {
    m_nShowState = m_nShowState / 10 * 10 + (visible ? 1 : 0);
}
