#include "kestrovalumen/animation/aniobj.h"

#include "kestrovalumen/animation/aniblink.h"
#include "kestrovalumen/animation/anibrush.h"
#include "kestrovalumen/animation/aniclick.h"
#include "kestrovalumen/animation/anihmove.h"
#include "kestrovalumen/animation/aniinput.h"
#include "kestrovalumen/animation/anioutput.h"
#include "kestrovalumen/animation/anipen.h"
#include "kestrovalumen/animation/anisize.h"
#include "kestrovalumen/animation/anitextcolor.h"
#include "kestrovalumen/animation/anivisible.h"
#include "kestrovalumen/animation/anivmove.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/reports.h"
#include "kestrovalumen/host/gui.h"

#include <new>
#include <string>

namespace {

// Projects older than 3.2.5.1841 carry the expression's source text instead of a version byte.
bool UsesOldHeader(int major, int minor, int build, int revision) {
    if (major != 3) {
        return major < 3;
    }
    if (minor != 2) {
        return minor < 2;
    }
    if (build != 5) {
        return build < 5;
    }
    return revision < 1841;
}

template <class Animation>
CAniObj* Make() {
    return new (std::nothrow) Animation;
}

struct FactoryEntry {
    uint32_t typeId;
    CAniObj* (*make)();
};

constexpr FactoryEntry kFactory[] = {
    {KV_ANI_BLINK, Make<CAniBlink>},     {KV_ANI_BRUSH, Make<CAniBrush>},
    {KV_ANI_CLICK, Make<CAniClick>},     {KV_ANI_HMOVE, Make<CAniHMove>},
    {KV_ANI_VMOVE, Make<CAniVMove>},     {KV_ANI_INPUT, Make<CAniInput>},
    {KV_ANI_OUTPUT, Make<CAniOutput>},   {KV_ANI_PEN, Make<CAniPen>},
    {KV_ANI_SIZE, Make<CAniSize>},       {KV_ANI_TEXTCOLOR, Make<CAniTextColor>},
    {KV_ANI_VISIBLE, Make<CAniVisible>},
};
constexpr size_t kFactorySize = sizeof kFactory / sizeof kFactory[0];

// The ids are consecutive, so the factory is looked up by index rather than searched.
constexpr bool IdsFollowOneAnother() {
    for (size_t i = 0; i < kFactorySize; ++i) {
        if (kFactory[i].typeId != KV_ANI_BLINK + i) {
            return false;
        }
    }
    return true;
}
static_assert(IdsFollowOneAnother(), "kFactory is indexed by type id - KV_ANI_BLINK");

} // namespace

CAniObj::CAniObj() = default;

CAniObj::~CAniObj() = default;

int CAniObj::IsBlink() {
    return 0;
}

bool CAniObj::deserialize(FF::utils::IBuffer* buf) {
    // A host that does not know the version leaves the integers alone: major 4 then selects
    // the current header.
    int major = 4;
    int minor = 0;
    int build = 0;
    int revision = 0;
    std::string text;
    __gui_get_vornset_version(&major, &minor, &build, &revision, &text);
    const bool oldHeader = UsesOldHeader(major, minor, build, revision);

    if (buf == nullptr) {
        return false;
    }
    if (oldHeader) {
        CString source; // the expression's source text is of no use at run time
        if (!kv::ReadGuardedString(buf, source)) {
            return false;
        }
    } else if (!kv::ReadField(buf, m_byVersion)) {
        return false;
    }
    return kv::ReadProgram(buf, m_bufExpress);
}

int CAniObj::Run(int) {
    return 0;
}

void CAniObj::InitObj(CDrawObj* owner) {
    m_pDrawObj = owner;
}

bool CAniObj::ReadHeader(FF::utils::IBuffer* buf, const kv::Report& failure) {
    if (!CAniObj::deserialize(buf)) {
        kv::Emit(failure);
        return false;
    }
    return true;
}

bool CAniObj::Attach(CDrawObj* owner, const kv::Report& failure) {
    if (owner == nullptr) {
        kv::Emit(failure);
        return false;
    }
    m_pDrawObj = owner;
    return true;
}

CAniObj* CreateAnimation(uint32_t typeId) {
    // Unsigned: an id below the first wraps to a huge index.
    const uint32_t index = typeId - KV_ANI_BLINK;
    if (index >= kFactorySize) {
        return nullptr;
    }
    CAniObj* animation = kFactory[index].make();
    if (animation != nullptr) {
        animation->m_nAniType = typeId;
    }
    return animation;
}
