// The script-visible properties of every drawing object.
#include "kestrovalumen/core/drawobj.h"

#include "kestrovalumen/core/arith.h"
#include "kestrovalumen/core/reports.h"

namespace {

enum PropertyId : uint32_t {
    kPropName = 0,
    kPropX = 1,
    kPropY = 2,
    kPropWidth = 3,
    kPropHeight = 4,
    kPropReserved = 5,
    kPropVisible = 6,
};

void SetInteger(prop_value_c* prop, int32_t value) {
    prop->nType = prop_value_c::TypeInt;
    prop->nValue = value;
    prop->dValue = value;
}

//! The value of a set record by its type; false for a type that carries no number.
bool NumberOf(const prop_value_c* prop, int32_t* value) {
    switch (prop->nType) {
    case prop_value_c::TypeInt:
        *value = prop->nValue;
        return true;
    case prop_value_c::TypeFloat:
        *value = kv::TruncOrMin32(prop->dValue);
        return true;
    default:
        return false;
    }
}

} // namespace

bool CDrawObj::SvrGetProp(prop_value_c* prop) {
    if (!prop) {
        kv::Emit(kv::report::kGetPropNull);
        return false;
    }
    prop->bHandled = 1;
    switch (prop->id) {
    case kPropName:
        prop->nType = prop_value_c::TypeString;
        prop->strValue = m_strName.str();
        return true;
    case kPropX:
        SetInteger(prop, m_rect.left);
        return true;
    case kPropY:
        SetInteger(prop, m_rect.top);
        return true;
    case kPropWidth:
        SetInteger(prop, kv::Wrap32(int64_t{m_rect.right} - m_rect.left));
        return true;
    case kPropHeight:
        SetInteger(prop, kv::Wrap32(int64_t{m_rect.bottom} - m_rect.top));
        return true;
    case kPropReserved:
        SetInteger(prop, 0);
        return true;
    case kPropVisible:
        SetInteger(prop, IsVisible() ? 1 : 0);
        return true;
    default:
        kv::Emit(kv::report::kGetPropUnknown, prop->id);
        return false;
    }
}

bool CDrawObj::SvrSetProp(prop_value_c* prop) {
    if (!prop) {
        kv::Emit(kv::report::kSetPropNull);
        return false;
    }
    prop->bHandled = 1;
    const uint32_t id = prop->id;
    if (id == kPropName || id == kPropReserved) {
        return true;
    }
    if (id > kPropVisible) {
        kv::Emit(kv::report::kSetPropUnknown, id);
        return false;
    }
    int32_t v = 0;
    if (!NumberOf(prop, &v)) {
        return false;
    }
    switch (id) {
    case kPropX: {
        const int64_t width = int64_t{m_rect.right} - m_rect.left;
        m_rect.left = v;
        m_rect.right = kv::Wrap32(v + width);
        break;
    }
    case kPropY: {
        const int64_t height = int64_t{m_rect.bottom} - m_rect.top;
        m_rect.top = v;
        m_rect.bottom = kv::Wrap32(v + height);
        break;
    }
    case kPropWidth:
        if (v >= 0) {
            m_rect.right = kv::Wrap32(int64_t{m_rect.left} + v);
        }
        break;
    case kPropHeight:
        if (v >= 0) {
            m_rect.bottom = kv::Wrap32(int64_t{m_rect.top} + v);
        }
        break;
    default: // kPropVisible
        SetVisible(v != 0);
        break;
    }
    return true;
}
