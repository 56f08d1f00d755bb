// Plug-in entry points and the class descriptors of the module.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtti.h"
#include "kestrovalumen/host/utils.h"
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/polylines.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"

#include <cstring>
#include <typeinfo>

#define KV_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

KV_IMPLEMENT_DYNAMIC(CDrawLine, 0x5002, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawArc, 0x5003, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawRect, 0x5004, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawRoundRect, 0x5005, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawEllipse, 0x5006, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPoly, 0x5007, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawParallelogram, 0x500A, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawTrapezoid, 0x500B, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawDiamond, 0x500C, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawOctagon, 0x500D, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawBalloon, 0x500E, WithoutInterface)
KV_IMPLEMENT_DYNAMIC(CDrawCross, 0x500F, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawCube, 0x5010, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPentagon, 0x5011, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawHexagon, 0x5012, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawIsoscelestriangle, 0x5013, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawRighttrigngle, 0x5014, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawStar, 0x5015, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawSeal, 0x5016, WithoutInterface)
// Derived from CDrawPoly, yet it answers neither to CDrawPoly nor to draw_object_c.
KV_IMPLEMENT_DYNAMIC(CDrawGuan, 0x5017, WithoutInterface)
KV_IMPLEMENT_DYNAMIC(CDrawHalfBox, 0x5018, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawArrow1, 0x5019, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawArrow2, 0x501A, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawArrow3, 0x501B, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPlane1, 0x501C, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPlane2, 0x501D, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPlane3, 0x501E, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPipe1, 0x501F, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPipe2, 0x5020, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPipe3, 0x5021, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawBall3D, 0x5023, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawCircle3D, 0x5024, WithInterface)
KV_IMPLEMENT_DYNAMIC(CDrawPentagon3D, 0x5022, WithInterface)

namespace {

template <class Class>
rtti::clazz_c* DescriptorOf() {
    return Class::static_clazz();
}

using DescriptorAccessor = rtti::clazz_c* (*)();

//! The registered classes, in registration order (the last three are not in number order).
constexpr DescriptorAccessor kRegisteredClasses[] = {
    DescriptorOf<CDrawLine>,          DescriptorOf<CDrawArc>,
    DescriptorOf<CDrawRect>,          DescriptorOf<CDrawRoundRect>,
    DescriptorOf<CDrawEllipse>,       DescriptorOf<CDrawPoly>,
    DescriptorOf<CDrawParallelogram>, DescriptorOf<CDrawTrapezoid>,
    DescriptorOf<CDrawDiamond>,       DescriptorOf<CDrawOctagon>,
    DescriptorOf<CDrawBalloon>,       DescriptorOf<CDrawCross>,
    DescriptorOf<CDrawCube>,          DescriptorOf<CDrawPentagon>,
    DescriptorOf<CDrawHexagon>,       DescriptorOf<CDrawIsoscelestriangle>,
    DescriptorOf<CDrawRighttrigngle>, DescriptorOf<CDrawStar>,
    DescriptorOf<CDrawSeal>,          DescriptorOf<CDrawGuan>,
    DescriptorOf<CDrawHalfBox>,       DescriptorOf<CDrawArrow1>,
    DescriptorOf<CDrawArrow2>,        DescriptorOf<CDrawArrow3>,
    DescriptorOf<CDrawPlane1>,        DescriptorOf<CDrawPlane2>,
    DescriptorOf<CDrawPlane3>,        DescriptorOf<CDrawPipe1>,
    DescriptorOf<CDrawPipe2>,         DescriptorOf<CDrawPipe3>,
    DescriptorOf<CDrawBall3D>,        DescriptorOf<CDrawCircle3D>,
    DescriptorOf<CDrawPentagon3D>,
};

// The host matches these types by the type records that its plug-ins export; referring to them
// here is what puts the records into the module's export table.
__attribute__((used)) const std::type_info* const kExportedTypeRecords[] = {
    &typeid(process_main_base_c),
    &typeid(FF::utils::MemoryBuffer),
};

constexpr char kPluginIdentifier[] = "vorn_kestrovalumen";

} // namespace

KV_PLUGIN_EXPORT int __plugin_init(char* buffer) {
    std::memcpy(buffer, kPluginIdentifier, sizeof kPluginIdentifier);
    for (DescriptorAccessor descriptor : kRegisteredClasses) {
        __register_class(descriptor());
    }
    return 1;
}

KV_PLUGIN_EXPORT int __plugin_cleanup() {
    for (DescriptorAccessor descriptor : kRegisteredClasses) {
        __unregister_class(descriptor());
    }
    return 1;
}
