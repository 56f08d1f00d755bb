// Reading a drawing object of our plug-ins through CDrawObj.
#include "runtime/session/drawobjaccess.h"

#include "kestrovalumen/core/drawobj.h"
#include "runtime/session/session.h"

namespace kestro {

// The base's type record lives in each plug-in, hidden, never in the host: a sanitizer's check
// of the dynamic type would need it here. The plug-in guarantees the type instead.
__attribute__((no_sanitize("vptr"))) void readDrawObjState(draw_object_c* object,
                                                           ObjectState* state) {
    const CDrawObj& o = *static_cast<CDrawObj*>(object);
    state->rect = {o.m_rect.left, o.m_rect.top, o.m_rect.right, o.m_rect.bottom};
    state->showState = o.m_nShowState;
    state->pen = o.m_bPen;
    state->penStyle = o.m_logPen.style;
    state->penWidth = o.m_logPen.widthX;
    state->penColor = o.m_logPen.color;
    state->brush = o.m_bBrush;
    state->brushStyle = o.m_logBrush.style;
    state->brushColor = o.m_logBrush.color;
    state->hasClipRect = o.m_pClipRect != nullptr;
    state->clip = o.m_bClip != 0 && o.m_pClipRect;
    if (o.m_pClipRect) {
        state->clipRect = {o.m_pClipRect->left, o.m_pClipRect->top, o.m_pClipRect->right,
                           o.m_pClipRect->bottom};
    }
    static_cast<CDrawObj*>(object)->GetText(state->text);
}

} // namespace kestro
