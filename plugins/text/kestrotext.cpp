// Entry points of the text plug-in and its class descriptors.
#include "kestrovalumen/host/rtti.h"
#include "plugins/text/drawtext.h"

#include <cstring>

#define KV_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

KV_IMPLEMENT_DYNAMIC(CDrawText, KV_CLASS_DRAW_TEXT, WithInterface)

namespace {

constexpr char kPluginIdentifier[] = "vorn_kestrotext";

} // namespace

KV_PLUGIN_EXPORT int __plugin_init(char* buffer) {
    std::memcpy(buffer, kPluginIdentifier, sizeof kPluginIdentifier);
    __register_class(CDrawText::static_clazz());
    return 1;
}

KV_PLUGIN_EXPORT int __plugin_cleanup() {
    __unregister_class(CDrawText::static_clazz());
    return 1;
}
