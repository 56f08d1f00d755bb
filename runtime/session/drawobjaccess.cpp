#include "runtime/session/drawobjaccess.h"

#include "kestrovalumen/animation/aniinput.h"
#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj.h"
#include "runtime/session/session.h"

#include <utility>

namespace kestro {

bool sharesDrawObjBase(const std::string& identifier) {
    return identifier.rfind("vorn_", 0) == 0;
}

// The base's type record lives in each plug-in, hidden, never in the host: a sanitizer's check
// of the dynamic type would need it here. The plug-in's identity vouches for the type instead.
__attribute__((no_sanitize("vptr"))) void readDrawObjState(draw_object_c* object,
                                                           ObjectState* state) {
    DrawObjView view = static_cast<const CDrawObj*>(object)->View();
    state->rect = {view.rect.left, view.rect.top, view.rect.right, view.rect.bottom};
    state->showState = view.showState;
    state->pen = view.pen;
    state->penStyle = view.logPen.style;
    state->penWidth = view.logPen.widthX;
    state->penColor = view.logPen.color;
    state->brush = view.brush;
    state->brushStyle = view.logBrush.style;
    state->brushColor = view.logBrush.color;
    state->hasClipRect = view.hasClipRect != 0;
    state->clip = view.clip != 0;
    state->clipRect = {view.clipRect.left, view.clipRect.top, view.clipRect.right,
                       view.clipRect.bottom};
    state->text = std::move(view.text);
}

__attribute__((no_sanitize("vptr"))) void readDrawObjView(draw_object_c* object,
                                                          DrawObjView* view) {
    static_cast<const CDrawObj*>(object)->ReadView(*view);
}

__attribute__((no_sanitize("vptr"))) bool takesClicks(const draw_object_c* object) {
    const auto* drawObj = static_cast<const CDrawObj*>(object);
    for (int i = 0; i < drawObj->AnimationCount(); ++i) {
        const CAniObj* animation = drawObj->AnimationAt(i);
        if (animation != nullptr &&
            (animation->m_nAniType == KV_ANI_CLICK || animation->m_nAniType == KV_ANI_INPUT)) {
            return true;
        }
    }
    return false;
}

__attribute__((no_sanitize("vptr"))) ProgramPlace findProgram(const draw_object_c* object,
                                                              const unsigned char* program) {
    const auto* drawObj = static_cast<const CDrawObj*>(object);
    ProgramPlace place;
    if (program == nullptr) {
        return place;
    }
    for (int i = 0; i < drawObj->AnimationCount(); ++i) {
        const CAniObj* animation = drawObj->AnimationAt(i);
        if (animation == nullptr) {
            continue;
        }
        place.animation = i;
        place.type = animation->m_nAniType;
        if (animation->m_bufExpress.data() == program) {
            return place;
        }
        if (animation->m_nAniType == KV_ANI_INPUT) {
            const auto* input = static_cast<const CAniInput*>(animation);
            if (input->m_bufUpper.data() == program) {
                place.slot = ProgramPlace::Upper;
                return place;
            }
            if (input->m_bufLower.data() == program) {
                place.slot = ProgramPlace::Lower;
                return place;
            }
        }
    }
    return ProgramPlace{};
}

} // namespace kestro
