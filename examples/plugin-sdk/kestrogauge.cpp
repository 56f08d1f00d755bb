// Entry points of the gauge plug-in.
#include "drawgauge.h"

#include "kestrovalumen/host/rtti.h"

#include <cstring>

#define GAUGE_EXPORT extern "C" __attribute__((visibility("default")))

KV_IMPLEMENT_DYNAMIC(CDrawGauge, GAUGE_CLASS_DRAW_GAUGE, WithInterface)

namespace {

// kestro creates objects only from plug-ins whose identifier begins with "vorn_".
constexpr char kPluginIdentifier[] = "vorn_kestrogauge";

} // namespace

GAUGE_EXPORT int __plugin_init(char* buffer) {
    std::memcpy(buffer, kPluginIdentifier, sizeof kPluginIdentifier);
    __register_class(CDrawGauge::static_clazz());
    return 1;
}

GAUGE_EXPORT int __plugin_cleanup() {
    __unregister_class(CDrawGauge::static_clazz());
    return 1;
}
