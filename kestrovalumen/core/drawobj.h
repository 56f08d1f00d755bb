// CDrawObj: the base of every drawing object of the module.
#pragma once

#include "kestrovalumen/core/rtticlass.h"
#include "kestrovalumen/core/vornDrawPubInter.h"
#include "kestrovalumen/host/MfcToQt.h"
#include "kestrovalumen/host/gui.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class QRegion;
class CAniObj;

namespace kv {

//! An owned array in the four-word form (data, size, capacity, growth step); nothing fills the
//! two of CDrawObj, which only free their data with array delete.
struct FourWordArray {
    void** m_pData = nullptr;
    int32_t m_nSize = 0;
    int32_t m_nMaxSize = 0;
    int32_t m_nGrowBy = 0;

    FourWordArray() = default;
    ~FourWordArray() { delete[] m_pData; }
    FourWordArray(const FourWordArray&) = delete;
    FourWordArray& operator=(const FourWordArray&) = delete;
};

} // namespace kv

//! Marks the inline readers a host compiles into itself (see CDrawObj::View).
#define KV_HOST_READ __attribute__((no_sanitize("vptr")))

//! What a host reads of a drawing object: the values of its members at the time of the call.
struct DrawObjView {
    Rect32 rect;
    int32_t showState = 0; //!< units digit visible, tens digit shown (blink phase)
    int32_t pen = 0;       //!< outline flag
    LogPen logPen;
    int32_t brush = 0; //!< fill flag
    LogBrush logBrush;
    int32_t hasClipRect = 0; //!< 1 when the object holds a clip rectangle
    int32_t clip = 0;        //!< 1 when drawing is cut to clipRect
    Rect32 clipRect;         //!< all 0 without a clip rectangle
    std::string text;        //!< as GetText gives it
};
// Everything before the text is 32-bit fields without padding: a host compares two views'
// numbers as bytes.
static_assert(offsetof(DrawObjView, text) == 80, "DrawObjView's numbers are 20 packed words");

//! Drawing-object class numbers.
enum : uint32_t {
    KV_CLASS_DRAW_OBJECT_IFACE = 0x5000,
    KV_CLASS_DRAW_OBJ = 0x5037,
};

class CDrawObj : public draw_object_c {
    KV_DECLARE_DYNAMIC(CDrawObj)

public:
    CDrawObj();
    ~CDrawObj() override;
    CDrawObj(const CDrawObj&) = delete;
    CDrawObj& operator=(const CDrawObj&) = delete;

    // Operations declared by draw_object_c, in its table order.
    void Draw(QPainter* painter) override;
    void GetBoundRect(int* left, int* top, int* right, int* bottom) const override;
    void SetBounds(int left, int top, int right, int bottom) override;
    int GetAttr() const override;
    bool Run(int nEvent, int = 0, int = 0) override;
    void ToRelative(int x1, int y1, int x2, int y2) override;
    void ToAbsolute(int x1, int y1, int x2, int y2) override;
    std::vector<CEventDispatch*>* GetEventArray() override;
    const char* GetName() const override;
    bool SvrGetProp(prop_value_c* prop) override;
    bool SvrSetProp(prop_value_c* prop) override;
    int CheckArg(int arg) override;
    uint32_t GetObjectId() const override;
    bool IsVisible() const override;
    bool deserialize(FF::utils::IBuffer* buffer) override;
    void SetScriptHost(Script::IHost* host) override;
    Script::IHost* GetScriptHost() const override;
    bool HasOperLog() const override;
    std::string GetOperLogText() const override;
    void SetParent(draw_object_c* parent) override;
    int CheckBase() override;

    // Operations added by CDrawObj.
    virtual uint32_t GetFamilyId() const;
    virtual void Notify(int, int, int, int);
    virtual void SetColors(uint32_t penColour, uint32_t brushColour, int, int bPen, int bBrush);
    virtual void GetColors(uint32_t* penColour, uint32_t* brushColour, int, int* bPen,
                           int* bBrush) const;
    //! Draws the object laid out in the given rectangle; only m_rect is restored afterwards.
    virtual void DrawInRect(QPainter* painter, int x1, int y1, int x2, int y2);
    //! 0 plain shape, 3 polyline; text objects of other modules answer 1 or 2.
    virtual int GetObjType() const;
    virtual void SetRect(const int rect[4]);
    virtual void GetRegion(QRegion* out) const;
    virtual void GetRect(int rect[4]) const;
    virtual void WriteOperLog(int code);
    virtual void GetText(std::string& out) const;
    virtual void SetText(std::string text);

    // Show state: units digit visible, tens digit shown (blink phase).
    bool IsHidden() const;
    bool IsShown() const;
    void SetShown(bool shown);
    void SetVisible(bool visible);

    int GetValue1() const { return m_nValue1; }
    int GetValue2() const { return m_nValue2; }
    void SetValue2(int value) { m_nValue2 = value; }

    //! The one way a host reads an object of any plug-in built on this base. Inline, so that the
    //! host needs none of the module's symbols: it reads the members at the layout every such
    //! plug-in shares (asserted below) and asks the object itself for its text. The type record
    //! of this class lives hidden in each plug-in, so a sanitizer's dynamic-type check compiled
    //! into the host could not link: the readers the host calls go without it.
    KV_HOST_READ DrawObjView View() const {
        DrawObjView view;
        ReadView(view);
        return view;
    }
    //! View into an existing view, whose text keeps its storage: a host that looks at every
    //! object after every event allocates nothing.
    KV_HOST_READ void ReadView(DrawObjView& view) const {
        view.rect = m_rect;
        view.showState = m_nShowState;
        view.pen = m_bPen;
        view.logPen = m_logPen;
        view.brush = m_bBrush;
        view.logBrush = m_logBrush;
        view.hasClipRect = m_pClipRect != nullptr ? 1 : 0;
        view.clip = m_bClip != 0 && m_pClipRect != nullptr ? 1 : 0;
        view.clipRect = m_pClipRect != nullptr ? *m_pClipRect : Rect32{};
        GetText(view.text);
    }

    KV_HOST_READ int AnimationCount() const { return m_arrayAnimate.GetSize(); }
    KV_HOST_READ CAniObj* AnimationAt(int index) const {
        return static_cast<CAniObj*>(m_arrayAnimate.GetAt(index));
    }

    int32_t m_nValue1 = 0;
    int32_t m_nValue2 = 1;
    int32_t m_nValue3 = 0;
    std::vector<CEventDispatch*> m_arrayEvent;
    uint32_t m_nStreamValue1 = 0;
    uint32_t m_nStreamValue2 = 0;
    uint32_t m_nAttr = 0;
    Rect32* m_pClipRect = nullptr;
    int32_t m_bClip = 0;
    uint8_t m_byReserved1 = 0;
    int32_t m_bAnimated = 0;
    int32_t m_nReserved1 = 0;
    int32_t m_nReserved2 = 1;
    int32_t m_nReserved3 = -1;
    int32_t m_bPen = 0;
    LogPen m_logPen;
    int32_t m_bBrush = 0;
    Rect32 m_rect;
    LogBrush m_logBrush;
    uint32_t m_crText = 0; // text kinds give it its real first value
    uint8_t m_byVersion = 10;
    CObArray m_arrayAnimate;
    kv::FourWordArray m_arrayReservedA;
    kv::FourWordArray m_arrayReservedB;
    CString m_strName;
    uint8_t m_byReserved2 = 0;
    int32_t m_nReserved4 = 0;
    Script::IHost* m_pScriptHost = nullptr;
    int32_t m_bOperLog = 0;
    CString m_strOperLog;
    int32_t m_nShowState = 11;
    draw_object_c* m_pParent = nullptr;
    uint32_t m_nObjectId = 0;

protected:
    //! Destroys every animation and empties the list.
    void ClearAnimations();
    //! Destroys every event handler and empties the list.
    void ClearEvents();
};

// Plug-ins built separately share this layout with each other and with the host's View calls:
// every member keeps its offset, also the reserved ones that nothing in the module reads
// (m_nValue3, m_nStreamValue1/2, m_byReserved1/2, m_nReserved1..4, m_arrayReservedA/B).
#if defined(__x86_64__) || defined(__aarch64__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CDrawObj) == 376, "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_nValue1) == 8 && offsetof(CDrawObj, m_nValue3) == 16 &&
                  offsetof(CDrawObj, m_arrayEvent) == 24,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_nStreamValue1) == 48 &&
                  offsetof(CDrawObj, m_nStreamValue2) == 52 && offsetof(CDrawObj, m_nAttr) == 56,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_pClipRect) == 64 && offsetof(CDrawObj, m_bClip) == 72 &&
                  offsetof(CDrawObj, m_byReserved1) == 76 && offsetof(CDrawObj, m_bAnimated) == 80,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_nReserved1) == 84 && offsetof(CDrawObj, m_nReserved2) == 88 &&
                  offsetof(CDrawObj, m_nReserved3) == 92,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_bPen) == 96 && offsetof(CDrawObj, m_logPen) == 100 &&
                  offsetof(CDrawObj, m_bBrush) == 116 && offsetof(CDrawObj, m_rect) == 120 &&
                  offsetof(CDrawObj, m_logBrush) == 136 && offsetof(CDrawObj, m_crText) == 148,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_byVersion) == 152 && offsetof(CDrawObj, m_arrayAnimate) == 160 &&
                  offsetof(CDrawObj, m_arrayReservedA) == 216 &&
                  offsetof(CDrawObj, m_arrayReservedB) == 240,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_strName) == 264 && offsetof(CDrawObj, m_byReserved2) == 296 &&
                  offsetof(CDrawObj, m_nReserved4) == 300 &&
                  offsetof(CDrawObj, m_pScriptHost) == 304,
              "CDrawObj layout");
static_assert(offsetof(CDrawObj, m_bOperLog) == 312 && offsetof(CDrawObj, m_strOperLog) == 320 &&
                  offsetof(CDrawObj, m_nShowState) == 352 && offsetof(CDrawObj, m_pParent) == 360 &&
                  offsetof(CDrawObj, m_nObjectId) == 368,
              "CDrawObj layout");
#pragma GCC diagnostic pop
#endif
