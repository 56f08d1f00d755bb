#include "bench/world.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/host/host.h"
#include "runtime/host/registry.h"
#include "runtime/project/projectio.h"
#include "runtime/session/pluginloader.h"

#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef KV_BENCH_SOURCE_DIR
#define KV_BENCH_SOURCE_DIR "."
#endif

namespace kvbench {

std::unique_ptr<Stage> g_stage;
const std::type_info* g_stageType = nullptr;

void dropStage() {
    g_stage.reset();
    g_stageType = nullptr;
}

void fail(const std::string& message) {
    std::fprintf(stderr, "kvbench: %s\n", message.c_str());
    std::exit(2);
}

kestro::PluginSet& plugins() {
    static kestro::PluginSet* set = [] {
        auto* loaded = new kestro::PluginSet;
        const char* dir = std::getenv(kestro::PluginSet::kDirectoryVariable);
        const std::string directory = dir != nullptr ? dir : kestro::PluginSet::defaultDirectory();
        std::string error;
        if (!loaded->loadDirectory(directory, &error) || loaded->plugins().empty()) {
            fail("no plug-in loaded from " + directory + (error.empty() ? "" : ": " + error));
        }
        return loaded;
    }();
    return *set;
}

std::string sourceDir() {
    const char* dir = std::getenv("KV_SOURCE_DIR");
    return dir != nullptr ? dir : KV_BENCH_SOURCE_DIR;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail("cannot read " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QJsonObject readJson(const std::string& path) {
    const std::string text = readFile(path);
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

kestro::Project compileProject(const std::string& json, const std::string& name) {
    kestro::Project project;
    kestro::ProjectError error;
    if (!kestro::compileProjectJson(json, name, &project, &error)) {
        fail(error.text());
    }
    return project;
}

kestro::Project compileProject(const QJsonObject& json, const std::string& name) {
    return compileProject(QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString(), name);
}

std::unique_ptr<draw_object_c> loadObject(const kestro::ObjectDef& def) {
    plugins();
    rtti::object_c* created = kestro::ClassRegistry::instance().create(def.classNumber);
    if (created == nullptr) {
        fail("class " + std::to_string(def.classNumber) + " is not registered");
    }
    std::unique_ptr<draw_object_c> object(static_cast<draw_object_c*>(created));
    FF::utils::MemoryBuffer buffer(def.record.data(), def.record.size());
    if (!object->deserialize(&buffer)) {
        fail("the record of " + def.name + " does not load");
    }
    object->SetParent(nullptr);
    object->Run(-1);
    return object;
}

} // namespace kvbench
