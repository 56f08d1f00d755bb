// Class registry of the reference host.
#include "runtime/host/registry.h"

#include "kestrovalumen/host/rtti.h"

#include <algorithm>

namespace kestro {

ClassRegistry& ClassRegistry::instance() {
    static ClassRegistry registry;
    return registry;
}

bool ClassRegistry::add(rtti::clazz_c* descriptor) {
    const bool accepted = descriptor && !byNumber(descriptor->class_id());
    if (accepted) {
        m_classes.push_back(descriptor);
    }
    m_history.push_back({true, descriptor, accepted});
    return accepted;
}

bool ClassRegistry::remove(rtti::clazz_c* descriptor) {
    const auto found = std::find(m_classes.begin(), m_classes.end(), descriptor);
    const bool accepted = descriptor && found != m_classes.end();
    if (accepted) {
        m_classes.erase(found);
    }
    m_history.push_back({false, descriptor, accepted});
    return accepted;
}

rtti::clazz_c* ClassRegistry::byNumber(uint32_t number) const {
    for (rtti::clazz_c* descriptor : m_classes) {
        if (descriptor->class_id() == number) {
            return descriptor;
        }
    }
    return nullptr;
}

rtti::clazz_c* ClassRegistry::byName(const std::string& name) const {
    for (rtti::clazz_c* descriptor : m_classes) {
        if (descriptor->class_name() == name) {
            return descriptor;
        }
    }
    return nullptr;
}

rtti::object_c* ClassRegistry::create(uint32_t number) const {
    rtti::clazz_c* descriptor = byNumber(number);
    return descriptor ? descriptor->create_object() : nullptr;
}

rtti::object_c* ClassRegistry::create(const std::string& name) const {
    rtti::clazz_c* descriptor = byName(name);
    return descriptor ? descriptor->create_object() : nullptr;
}

} // namespace kestro
