// CDrawObj::deserialize: the common object record, its event handlers and its animation list.
#include "kestrovalumen/core/drawobj.h"

#include "kestrovalumen/animation/aniobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/reports.h"

#include <cstring>
#include <new>
#include <utility>

namespace kv {

bool ReadGuardedString(FF::utils::IBuffer* buffer, CString& out) {
    CString text;
    try {
        if (!text.deserialize(buffer)) {
            return false;
        }
    } catch (const FF::utils::deserialize_block_error&) {
        throw;
    } catch (...) {
        return false;
    }
    out = std::move(text);
    return true;
}

} // namespace kv

namespace {

constexpr uint32_t kOperLogBit = 0x100;

// Fixed-size rows are read as one block each, so that a short row leaves its fields alone.
template <size_t N>
struct Row {
    unsigned char bytes[N];

    bool Read(FF::utils::IBuffer* buffer) { return buffer->read(bytes, N); }
    uint32_t U32(size_t at) const {
        uint32_t v;
        std::memcpy(&v, bytes + at, sizeof v);
        return v;
    }
    int32_t I32(size_t at) const {
        int32_t v;
        std::memcpy(&v, bytes + at, sizeof v);
        return v;
    }
};

bool IsKnownPenStyle(uint32_t style) {
    return style == 0 || style == 1 || style == 5;
}

//! Version, object id and the optional operation-log block.
bool ReadIdentity(CDrawObj& o, FF::utils::IBuffer* buffer) {
    if (!kv::ReadField(buffer, o.m_byVersion)) {
        return false;
    }
    uint32_t wordA = 0;
    uint32_t wordB = 0;
    if (!kv::ReadField(buffer, wordA) || !kv::ReadField(buffer, wordB)) {
        return false;
    }
    o.m_nObjectId = (wordA >> 16) | (wordB & 0xFFFF0000u);
    if (wordA & kOperLogBit) {
        uint32_t ignored = 0;
        if (!kv::ReadField(buffer, ignored) || !kv::ReadField(buffer, o.m_bOperLog)) {
            return false;
        }
        if (!kv::ReadGuardedString(buffer, o.m_strOperLog)) {
            return false;
        }
    }
    return true;
}

//! Geometry, outline and fill, each row read whole.
bool ReadAppearance(CDrawObj& o, FF::utils::IBuffer* buffer) {
    Row<16> rect;
    if (!rect.Read(buffer)) {
        return false;
    }
    o.m_rect = {rect.I32(0), rect.I32(4), rect.I32(8), rect.I32(12)};

    Row<2> penFlag;
    if (!penFlag.Read(buffer)) {
        return false;
    }
    o.m_bPen = penFlag.bytes[0];

    Row<16> pen;
    if (!pen.Read(buffer)) {
        return false;
    }
    o.m_logPen.style = IsKnownPenStyle(pen.U32(0)) ? pen.U32(0) : 0;
    o.m_logPen.widthX = pen.I32(4);
    o.m_logPen.widthY = pen.I32(8);
    o.m_logPen.color = ColorRefToRgb(pen.U32(12));

    Row<2> brushFlag;
    if (!brushFlag.Read(buffer)) {
        return false;
    }
    o.m_bBrush = brushFlag.bytes[0];

    Row<12> brush;
    if (!brush.Read(buffer)) {
        return false;
    }
    o.m_logBrush.style = brush.U32(0);
    o.m_logBrush.color = ColorRefToRgb(brush.U32(4));
    o.m_logBrush.hatch = brush.U32(8);
    return true;
}

//! Attributes, name and the two stream values.
bool ReadAttributes(CDrawObj& o, FF::utils::IBuffer* buffer) {
    uint16_t attr = 0;
    if (!kv::ReadField(buffer, attr)) {
        return false;
    }
    o.m_nAttr = attr;
    uint16_t reserved = 0;
    if (!kv::ReadField(buffer, reserved) || !kv::ReadGuardedString(buffer, o.m_strName)) {
        return false;
    }
    return kv::ReadField(buffer, o.m_nStreamValue1) && kv::ReadField(buffer, o.m_nStreamValue2);
}

//! The event handlers into an empty list: each record takes at least one byte.
bool ReadEvents(CDrawObj& o, FF::utils::IBuffer* buffer) {
    int32_t eventCount = 0;
    if (!kv::ReadField(buffer, eventCount) || !kv::CountFits(buffer, eventCount, 1)) {
        return false;
    }
    o.m_arrayEvent.assign(static_cast<size_t>(eventCount), nullptr);
    for (int32_t i = 0; i < eventCount; ++i) {
        // The nothrow form still frees the storage if the constructor throws.
        CEventDispatch* event = new (std::nothrow) CEventDispatch;
        o.m_arrayEvent[static_cast<size_t>(i)] = event;
        if (event == nullptr) {
            kv::Emit(kv::report::kEventAllocation, i);
            return false;
        }
        if (!event->deserialize(buffer)) {
            return false;
        }
    }
    return true;
}

//! The animations into an empty list: each entry takes at least its four-byte type number.
bool ReadAnimations(CDrawObj& o, FF::utils::IBuffer* buffer) {
    int32_t animationCount = 0;
    if (!kv::ReadField(buffer, animationCount) || !kv::CountFits(buffer, animationCount, 4)) {
        return false;
    }
    o.m_arrayAnimate.SetSize(animationCount, -1);
    for (int32_t i = 0; i < animationCount; ++i) {
        uint32_t typeId = 0;
        if (!kv::ReadField(buffer, typeId)) {
            return false;
        }
        CAniObj* animation = CreateAnimation(typeId);
        o.m_arrayAnimate.SetAt(i, animation);
        if (animation == nullptr) {
            kv::Emit(kv::report::kAnimationType, typeId);
            return false;
        }
        if (!animation->deserialize(buffer)) {
            kv::Emit(kv::report::kAnimationRecord);
            return false;
        }
    }
    return true;
}

//! InitObj(owner) on every animation of the list.
void AttachAnimations(CDrawObj& o) {
    for (int i = 0; i < o.AnimationCount(); ++i) {
        if (CAniObj* animation = o.AnimationAt(i)) {
            animation->InitObj(&o);
        }
    }
}

} // namespace

bool CDrawObj::deserialize(FF::utils::IBuffer* buffer) {
    if (buffer == nullptr || !ReadIdentity(*this, buffer) || !ReadAppearance(*this, buffer)) {
        return false;
    }
    // On a reload the old animations pick up the new outline and fill before they go.
    AttachAnimations(*this);
    if (!ReadAttributes(*this, buffer)) {
        return false;
    }
    ClearAnimations();
    ClearEvents();
    if (!ReadEvents(*this, buffer) || !ReadAnimations(*this, buffer)) {
        return false;
    }
    // Attached only now, so that an animation can look at all its siblings.
    AttachAnimations(*this);
    return true;
}
