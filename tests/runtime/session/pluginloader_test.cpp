// Loading the real plug-in as the host does, from the build's lib directory.
#include "runtime/session/pluginloader.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace kestro;

namespace {

std::string libDir() {
    const char* dir = std::getenv("KV_BINARY_DIR");
    return std::string(dir ? dir : "") + "/lib";
}

TEST(PluginSet, LoadsOurPluginsInNameOrderAndUnloadsThem) {
    ClassRegistry& registry = ClassRegistry::instance();
    {
        PluginSet plugins;
        std::string error;
        ASSERT_TRUE(plugins.loadDirectory(libDir(), &error)) << error;
        // The directory also holds the host library and static libraries, which are no plug-ins.
        std::string previous;
        for (const LoadedPlugin& plugin : plugins.plugins()) {
            EXPECT_EQ(plugin.identifier.rfind("vorn_", 0), 0u) << plugin.path;
            EXPECT_LT(previous, plugin.path);
            previous = plugin.path;
        }
        const LoadedPlugin* owner = plugins.ownerOf(registry.byName("CDrawRect"));
        ASSERT_NE(owner, nullptr);
        EXPECT_EQ(owner->path, libDir() + "/libkestrovalumen.so");
    }
    EXPECT_TRUE(registry.classes().empty()); // __plugin_cleanup withdrew every class
}

TEST(PluginSet, RefusesWhatIsNotAPlugin) {
    PluginSet plugins;
    std::string error;
    EXPECT_FALSE(plugins.loadFile(libDir() + "/libkestrohost.so", &error));
    EXPECT_EQ(error, libDir() + "/libkestrohost.so is not a plug-in: no __plugin_init");
    EXPECT_FALSE(plugins.loadFile(libDir() + "/libnothing-here.so", &error));
    EXPECT_EQ(error.rfind("cannot load " + libDir() + "/libnothing-here.so: ", 0), 0u) << error;
    EXPECT_FALSE(plugins.loadDirectory(libDir() + "/no-such-directory", &error));
    EXPECT_EQ(error.rfind("cannot read the plug-in directory ", 0), 0u) << error;
    EXPECT_TRUE(plugins.plugins().empty());
}

} // namespace
