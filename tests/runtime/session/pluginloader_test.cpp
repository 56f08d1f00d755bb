// Loading the real plug-in as the host does, from the build's lib directory.
#include "runtime/session/pluginloader.h"

#include "kestrovalumen/host/rtti.h"
#include "runtime/host/registry.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace kestro;

namespace {

std::string libDir() {
    const char* dir = std::getenv("KV_BINARY_DIR");
    return std::string(dir ? dir : "") + "/lib";
}

TEST(PluginSet, LoadsOurPluginsAndUnloadsThem) {
    ClassRegistry& registry = ClassRegistry::instance();
    ASSERT_TRUE(registry.classes().empty());
    {
        PluginSet plugins;
        std::string error;
        ASSERT_TRUE(plugins.loadDirectory(libDir(), &error)) << error;
        // The directory also holds the host library and static libraries, which are no
        // plug-ins; the plug-ins come in name order.
        const LoadedPlugin* module = nullptr;
        std::vector<rtti::clazz_c*> all;
        std::string previous;
        for (const LoadedPlugin& plugin : plugins.plugins()) {
            EXPECT_EQ(plugin.identifier.rfind("vorn_", 0), 0u) << plugin.path;
            EXPECT_LT(previous, plugin.path);
            previous = plugin.path;
            all.insert(all.end(), plugin.classes.begin(), plugin.classes.end());
            if (plugin.identifier == "vorn_kestrovalumen") {
                module = &plugin;
            }
        }
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->initResult, 1);
        EXPECT_EQ(module->path, libDir() + "/libkestrovalumen.so");
        ASSERT_EQ(module->classes.size(), 33u);
        EXPECT_EQ(module->classes.front()->class_name(), "CDrawLine");
        EXPECT_EQ(module->classes.back()->class_id(), 0x5022u);
        EXPECT_EQ(registry.classes(), all);
        EXPECT_EQ(plugins.ownerOf(registry.byName("CDrawRect")), module);
        EXPECT_EQ(plugins.ownerOf(nullptr), nullptr);
    }
    // __plugin_cleanup withdrew every class.
    EXPECT_TRUE(registry.classes().empty());
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

    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_TRUE(plugins.loadDirectory(empty.path().toStdString(), &error));
    EXPECT_TRUE(plugins.plugins().empty());
}

// Where the tools look without --plugins: an installation's plug-in directory when there is one
// beside the executable, else the build tree's lib directory.
TEST(PluginSet, DefaultDirectoryBesideTheExecutable) {
    namespace fs = std::filesystem;
    enum Layout { BuildTree, Installed, InstalledNameIsAFile };
    const struct {
        Layout layout;
        bool expectInstalled;
    } cases[] = {{BuildTree, false}, {Installed, true}, {InstalledNameIsAFile, false}};
    for (const auto& c : cases) {
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const fs::path bin = fs::path(root.path().toStdString()) / "bin";
        const fs::path installed = (bin / PluginSet::kInstalledDirectory).lexically_normal();
        // Never the library directory itself: on a system that is /usr/lib, full of libraries.
        ASSERT_NE(installed, (bin / ".." / "lib").lexically_normal());
        fs::create_directories(bin);
        fs::create_directories(bin / ".." / "lib");
        if (c.layout == Installed) {
            fs::create_directories(installed);
        } else if (c.layout == InstalledNameIsAFile) {
            fs::create_directories(installed.parent_path());
            std::ofstream(installed.string()) << "not a directory";
        }
        const fs::path expected =
            c.expectInstalled ? installed : (bin / ".." / "lib").lexically_normal();
        EXPECT_EQ(PluginSet::directoryBeside(bin.string()), expected.string()) << c.layout;
    }
}

} // namespace
