// Plug-in loading of the reference host.
#include "runtime/session/pluginloader.h"

#include "runtime/host/registry.h"
#include "runtime/session/drawobjaccess.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kestro {

namespace {

using PluginInit = int (*)(char*);
using PluginCleanup = int (*)();

// The identifier is short ("vorn_kestrovalumen" and its zero), but a plug-in of someone else
// may write more: the buffer is generous and always terminated afterwards.
constexpr size_t kIdentifierBuffer = 256;

bool isCandidate(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::string suffix = ".so";
    return name.size() > 3 + suffix.size() && name.compare(0, 3, "lib") == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           name != "libkestrohost.so";
}

} // namespace

bool PluginSet::loadFile(const std::string& path, std::string* error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        *error = "cannot load " + path + ": " + (reason ? reason : "unknown reason");
        return false;
    }
    auto init = reinterpret_cast<PluginInit>(dlsym(handle, "__plugin_init"));
    if (!init) {
        dlclose(handle);
        *error = path + " is not a plug-in: no __plugin_init";
        return false;
    }
    ClassRegistry& registry = ClassRegistry::instance();
    const size_t before = registry.history().size();

    LoadedPlugin plugin;
    plugin.path = path;
    plugin.handle = handle;
    char identifier[kIdentifierBuffer] = {};
    plugin.initResult = init(identifier);
    identifier[sizeof identifier - 1] = '\0';
    plugin.identifier = identifier;
    plugin.sharesDrawObjBase = sharesDrawObjBase(plugin.identifier);
    const auto& history = registry.history();
    for (size_t i = before; i < history.size(); ++i) {
        if (history[i].registered && history[i].accepted) {
            plugin.classes.push_back(history[i].descriptor);
        }
    }
    m_plugins.push_back(std::move(plugin));
    return true;
}

bool PluginSet::loadDirectory(const std::string& directory, std::string* error) {
    std::error_code code;
    std::filesystem::directory_iterator it(directory, code);
    if (code) {
        *error = "cannot read the plug-in directory " + directory + ": " + code.message();
        return false;
    }
    std::vector<std::filesystem::path> files;
    for (; it != std::filesystem::directory_iterator(); it.increment(code)) {
        if (code) {
            *error = "cannot read the plug-in directory " + directory + ": " + code.message();
            return false;
        }
        if (isCandidate(it->path()) && it->is_regular_file(code)) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        // Only libraries that carry the entry point count; anything else is closed again.
        void* probe = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!probe) {
            continue;
        }
        const bool isPlugin = dlsym(probe, "__plugin_init") != nullptr;
        if (isPlugin && !loadFile(file.string(), error)) {
            dlclose(probe);
            return false;
        }
        dlclose(probe);
    }
    return true;
}

int PluginSet::unloadLast() {
    if (m_plugins.empty()) {
        return 0;
    }
    LoadedPlugin& plugin = m_plugins.back();
    int result = 0;
    if (auto cleanup = reinterpret_cast<PluginCleanup>(dlsym(plugin.handle, "__plugin_cleanup"))) {
        result = cleanup();
    }
    dlclose(plugin.handle);
    m_plugins.pop_back();
    return result;
}

void PluginSet::unload() {
    while (!m_plugins.empty()) {
        unloadLast();
    }
}

const LoadedPlugin* PluginSet::ownerOf(const rtti::clazz_c* descriptor) const {
    for (const LoadedPlugin& plugin : m_plugins) {
        if (std::find(plugin.classes.begin(), plugin.classes.end(), descriptor) !=
            plugin.classes.end()) {
            return &plugin;
        }
    }
    return nullptr;
}

const char* const PluginSet::kInstalledDirectory = KESTRO_INSTALLED_PLUGIN_DIR;

std::string PluginSet::defaultDirectory() {
    std::error_code code;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code) {
        return "lib";
    }
    return directoryBeside(exe.parent_path().string());
}

std::string PluginSet::directoryBeside(const std::string& executableDirectory) {
    const std::filesystem::path bin(executableDirectory);
    const std::filesystem::path installed = (bin / kInstalledDirectory).lexically_normal();
    std::error_code code;
    if (std::filesystem::is_directory(installed, code)) {
        return installed.string();
    }
    return (bin / ".." / "lib").lexically_normal().string();
}

} // namespace kestro
