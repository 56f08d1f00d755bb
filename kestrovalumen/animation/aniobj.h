// CAniObj: the base of every dynamic property (animation) of a drawing object.
#pragma once

#include "kestrovalumen/host/utils.h"

#include <cstdint>

class CDrawObj;

namespace kv {
struct Report;
}

//! Animation type ids; the same numbers precede each animation record in the object stream.
enum : uint32_t {
    KV_ANI_BLINK = 0x3001,
    KV_ANI_BRUSH = 0x3002,
    KV_ANI_CLICK = 0x3003,
    KV_ANI_HMOVE = 0x3004,
    KV_ANI_VMOVE = 0x3005,
    KV_ANI_INPUT = 0x3006,
    KV_ANI_OUTPUT = 0x3007,
    KV_ANI_PEN = 0x3008,
    KV_ANI_SIZE = 0x3009,
    KV_ANI_TEXTCOLOR = 0x300A,
    KV_ANI_VISIBLE = 0x300B,
};

//! Event codes of Run.
enum : int {
    KV_EVENT_RATIO = -1,
    KV_EVENT_REFRESH = 0,
    KV_EVENT_BLINK1 = 1,
    KV_EVENT_BLINK2 = 2,
    KV_EVENT_BLINK3 = 3,
    KV_EVENT_SYNC = 5,
    KV_EVENT_CLICK = 11111,
    KV_EVENT_OUTPUT = 88888,
};

class CAniObj {
public:
    CAniObj();
    virtual ~CAniObj();
    CAniObj(const CAniObj&) = delete;
    CAniObj& operator=(const CAniObj&) = delete;

    //! 1 only for the blink animation.
    virtual int IsBlink();
    //! Reads the common record header; derived classes then read their own fields.
    virtual bool deserialize(FF::utils::IBuffer* buf);
    //! Nonzero when the owner changed and must be repainted.
    virtual int Run(int nEvent);
    //! Attaches the owner; derived classes capture what they need from it.
    virtual void InitObj(CDrawObj* owner);

    FF::utils::MemoryBuffer m_bufExpress;
    CDrawObj* m_pDrawObj = nullptr;
    uint32_t m_nAniType = 0;
    uint8_t m_byVersion = 10;

protected:
    //! The common record header of a derived record; a refused header is reported under the
    //! derived class's own code and text.
    bool ReadHeader(FF::utils::IBuffer* buf, const kv::Report& failure);
    //! Attaches owner; a missing owner is reported under the class's own code and text, and
    //! the animation stays as it was.
    bool Attach(CDrawObj* owner, const kv::Report& failure);
};

//! A new animation for a type id (nothrow), with m_nAniType set; null for any other id.
CAniObj* CreateAnimation(uint32_t typeId);
