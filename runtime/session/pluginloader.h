// Loading drawing plug-ins the way the host does: dlopen, __plugin_init with an identifier
// buffer, descriptors arriving in the class registry; __plugin_cleanup and dlclose at the end.
#pragma once

#include <string>
#include <vector>

namespace rtti {
class clazz_c;
}

namespace kestro {

struct LoadedPlugin {
    std::string path;
    std::string identifier; //!< what __plugin_init wrote into its buffer
    int initResult = 0;
    bool sharesDrawObjBase = false;      //!< its objects may be read (drawobjaccess.h)
    std::vector<rtti::clazz_c*> classes; //!< descriptors it registered, in order
    void* handle = nullptr;
};

//! The plug-ins of one run. Objects created from their classes must be destroyed before the set
//! unloads them (their code lives in the plug-ins).
class PluginSet {
public:
    PluginSet() = default;
    ~PluginSet() { unload(); }
    PluginSet(const PluginSet&) = delete;
    PluginSet& operator=(const PluginSet&) = delete;

    //! Loads one plug-in. False with a reason when it cannot be opened or is not a plug-in.
    bool loadFile(const std::string& path, std::string* error);
    //! Loads every lib*.so of the directory that exports __plugin_init, in name order, except
    //! the host library itself. False with a reason when the directory cannot be read; a
    //! directory without plug-ins is not an error (plugins() stays empty).
    bool loadDirectory(const std::string& directory, std::string* error);
    //! __plugin_cleanup and dlclose for the last loaded plug-in; what its cleanup returned (0
    //! without one, or without a plug-in).
    int unloadLast();
    //! unloadLast() for every plug-in, the last loaded first.
    void unload();

    const std::vector<LoadedPlugin>& plugins() const { return m_plugins; }
    //! The plug-in that registered the descriptor, or null.
    const LoadedPlugin* ownerOf(const rtti::clazz_c* descriptor) const;

    //! Where the kestro tools look by default: directoryBeside the running executable's
    //! directory.
    static std::string defaultDirectory();
    //! The installation's plug-in directory (kInstalledDirectory) when the executable directory
    //! has one beside it, else ../lib (the build tree).
    static std::string directoryBeside(const std::string& executableDirectory);
    //! The plug-in directory of an installation, relative to its executables' directory.
    static const char* const kInstalledDirectory;
    //! The environment variable that overrides the default directory.
    static constexpr const char* kDirectoryVariable = "KESTRO_PLUGIN_DIR";

private:
    std::vector<LoadedPlugin> m_plugins;
};

} // namespace kestro
