#include "kestrovalumen/core/rtticlass.h"

#include "kestrovalumen/core/drawobj.h"

namespace kv {

rtti::object_c* CastByTable(rtti::object_c* object, const rtti::clazz_c* clazz,
                            Recognition recognition, const rtti::clazz_c* self) {
    // Root first, the class itself last. Every descriptor comes from its accessor, so asking
    // builds it on first use.
    if (clazz == rtti::object_c::static_clazz()) {
        return object;
    }
    if (recognition == Recognition::WithInterface && clazz == draw_object_c::static_clazz()) {
        return object;
    }
    if (clazz == CDrawObj::static_clazz()) {
        return object;
    }
    if (clazz == self) {
        return object;
    }
    return nullptr;
}

} // namespace kv
