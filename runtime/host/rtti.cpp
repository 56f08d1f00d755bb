// Run-time type roots of the host (library rtti): object_c, clazz_c and the registry entry points.
#include "kestrovalumen/host/rtti.h"
#include "runtime/host/registry.h"

namespace rtti {

namespace {

class ObjectClazz : public clazz_c {
public:
    std::string class_name() const override { return "object_c"; }
    uint32_t class_id() const override { return 0; }
};

} // namespace

const clazz_c* object_c::get_clazz() const {
    return static_clazz();
}

object_c::~object_c() = default;

clazz_c* object_c::static_clazz() {
    static ObjectClazz instance;
    return &instance;
}

object_c* clazz_c::create_object() const {
    return nullptr;
}

clazz_c::~clazz_c() = default;

} // namespace rtti

int __register_class(rtti::clazz_c* descriptor) {
    return kestro::ClassRegistry::instance().add(descriptor) ? 0 : 1;
}

int __unregister_class(rtti::clazz_c* descriptor) {
    return kestro::ClassRegistry::instance().remove(descriptor) ? 0 : 1;
}
