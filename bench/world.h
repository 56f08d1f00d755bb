// What the benchmarks stand on: the plug-ins loaded as the host loads them, projects compiled
// from project files, objects created through their class descriptors, and one set-up at a time
// (a session takes over the host while it lives).
#pragma once

#include "runtime/project/project.h"

#include <QJsonObject>

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

class draw_object_c;

namespace kestro {
class PluginSet;
}

namespace kvbench {

//! The plug-ins of the build (../lib beside the program, or KESTRO_PLUGIN_DIR); loaded once.
kestro::PluginSet& plugins();

//! The source tree: KV_SOURCE_DIR, or the directory the program was built from.
std::string sourceDir();
std::string readFile(const std::string& path);

//! Compiles a project file; aborts the program with the compiler's message on an error.
kestro::Project compileProject(const std::string& json, const std::string& name);
kestro::Project compileProject(const QJsonObject& json, const std::string& name);
QJsonObject readJson(const std::string& path);

//! A new object of the class, its record loaded, as the host loads it (expression host, no
//! parent, Run(-1) once). Aborts when the record does not load.
std::unique_ptr<draw_object_c> loadObject(const kestro::ObjectDef& def);

//! A set-up that only one of at a time may live (sessions take over the host).
class Stage {
public:
    virtual ~Stage() = default;
};

extern std::unique_ptr<Stage> g_stage;
extern const std::type_info* g_stageType;

//! The live set-up of type T, made with make() when another (or none) is live; the one before
//! is destroyed first.
template <class T, class Make>
T& stage(Make&& make) {
    if (g_stageType == nullptr || *g_stageType != typeid(T)) {
        g_stage.reset();
        g_stageType = nullptr;
        g_stage = make();
        g_stageType = &typeid(T);
    }
    return static_cast<T&>(*g_stage);
}
void dropStage();

//! Aborts the program with the message.
[[noreturn]] void fail(const std::string& message);

} // namespace kvbench
