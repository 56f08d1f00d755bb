// Plug-in entry points and the class descriptors of the module.
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtti.h"
#include "kestrovalumen/host/utils.h"
#include "kestrovalumen/shapeclasses.h"
#include "kestrovalumen/shapes/pipes.h"
#include "kestrovalumen/shapes/polygons.h"
#include "kestrovalumen/shapes/polylines.h"
#include "kestrovalumen/shapes/rects.h"
#include "kestrovalumen/shapes/solids.h"

#include <cstring>
#include <typeinfo>

#define KV_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

KV_SHAPE_CLASSES(KV_IMPLEMENT_DYNAMIC)

namespace {

template <class Class>
rtti::clazz_c* DescriptorOf() {
    return Class::static_clazz();
}

using DescriptorAccessor = rtti::clazz_c* (*)();

#define KV_DESCRIPTOR_OF(Class, Number, Recognition) DescriptorOf<Class>,
//! The registered classes, in registration order.
constexpr DescriptorAccessor kRegisteredClasses[] = {KV_SHAPE_CLASSES(KV_DESCRIPTOR_OF)};
#undef KV_DESCRIPTOR_OF

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
